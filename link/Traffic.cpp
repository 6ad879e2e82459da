#include "link/Traffic.h"

#include <ctime>

#include "base/Formats.h"

std::string trafficText(std::span<const std::uint8_t> bytes)
{
    std::string out;
    for (const std::uint8_t b : bytes) {
        if (b == 0x0D)
            out += "<CR>";
        else if (b == 0x0A)
            out += "<LF>";
        else if (b >= 0x20 && b < 0x7F)
            out += static_cast<char>(b);
        else
            out += cfmt("<%02X>", b);
    }
    return out;
}

std::string trafficHex(std::span<const std::uint8_t> bytes)
{
    std::string out;
    for (const std::uint8_t b : bytes) {
        if (!out.empty())
            out += ' ';
        out += cfmt("%02X", b);
    }
    return out;
}

std::string trafficTime(std::chrono::system_clock::time_point time)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    return cfmt("%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms));
}
