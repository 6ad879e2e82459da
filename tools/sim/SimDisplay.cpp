#include "tools/sim/SimDisplay.h"

#include "base/Formats.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr std::size_t kConfigFrameLength = 93;

// A number field of the 'E' request: "+ 4.000", "-4.000*", "   125*".
std::string numberText(const std::string& field)
{
    std::string text;
    for (char c : field)
        if (c != ' ' && c != '*')
            text += c;
    return text;
}

bool hasTag(const std::string& frame, std::size_t pos, const char* tag)
{
    return frame[pos] == tag[0] && frame[pos + 1] == tag[1];
}

// Exactly `width` characters, the front kept when the text is longer.
std::string fitted(std::string text, std::size_t width)
{
    if (text.size() > width)
        text.resize(width);
    return std::string(width - text.size(), ' ') + text;
}

char digit(int value)
{
    return static_cast<char>('0' + (value & 0x0F));
}

// Five setpoint characters; the display writes "-1" as one 0xB4 segment pattern.
std::string setpointText(int setpoint)
{
    const int value = std::clamp(setpoint, -19999, 99999);
    if (value < -9999)
        return "\xB4" + cfmt("%04d", -value - 10000);
    return cfmt("%5d", value);
}

long powerOfTen(int exponent)
{
    long p = 1;
    for (int i = 0; i < exponent; ++i)
        p *= 10;
    return p;
}

} // namespace

TSimDisplay::TSimDisplay(const TSimOptions& options, TSimClock::time_point start)
    : options_(options), start_(start), address_(cfmt("%02d", options.address)),
      replyAddress_(cfmt("%02d", options.wrongAddress ? (options.address + 1) % 100 : options.address))
{
    settings_.decimals = options.decimals;
    const long full = powerOfTen(std::min(options.digits, 7)) - 1;
    settings_.displayCount2 = full;
    settings_.relays[0] = {'1', '0', 5, static_cast<int>(full * 6 / 10), false, {}};
    settings_.relays[1] = {'1', '1', 5, static_cast<int>(full * 2 / 10), false, {}};
}

std::optional<std::string> TSimDisplay::answer(const std::string& request, TSimClock::time_point now)
{
    if (request.size() < 5 || request.compare(1, 2, address_) != 0)
        return std::nullopt;
    if (options_.noise)
        return std::string(300, '~');
    switch (request[3]) {
    case 'L':
        return readingReply(now);
    case 'P':
        return paramsReply();
    case 'C':
        return calibrationReply();
    case 'E':
        if (!storeConfig(request))
            return std::nullopt;
        return header('E') + '\r';
    default:
        return std::nullopt;
    }
}

bool TSimDisplay::storeConfig(const std::string& f)
{
    if (f.size() != kConfigFrameLength)
        return false;
    static constexpr std::pair<std::size_t, const char*> kTags[] = {
        {5, "I1"},  {14, "D1"}, {23, "I2"}, {32, "D2"}, {41, "PD"}, {44, "TT"}, {47, "UM"},
        {50, "RE"}, {53, "OF"}, {58, "R1"}, {62, "H1"}, {67, "S1"}, {75, "R2"}, {79, "H2"}, {84, "S2"},
    };
    for (const auto& [pos, tag] : kTags)
        if (!hasTag(f, pos, tag))
            return false;
    TSimSettings& s = settings_;
    s.processInput = f[4] == '1' ? 1 : 0;
    s.inputValue1 = textToDouble(numberText(f.substr(7, 7)));
    s.displayCount1 = textToInt(numberText(f.substr(16, 7)));
    s.inputValue2 = textToDouble(numberText(f.substr(25, 7)));
    s.displayCount2 = textToInt(numberText(f.substr(34, 7)));
    s.decimals = f[43] & 0x0F;
    s.probeType = f[46] & 0x0F;
    s.tempUnits = f[49] & 0x0F;
    s.resolution = f[52] & 0x0F;
    s.offset = {static_cast<std::uint8_t>(f[55]), static_cast<std::uint8_t>(f[56]), static_cast<std::uint8_t>(f[57])};
    for (std::size_t i = 0; i < 2; ++i) {
        const std::size_t base = i == 0 ? 58 : 75;
        TSimRelay& r = s.relays[i];
        r.delayType = static_cast<std::uint8_t>(f[base + 2]);
        r.trigger = static_cast<std::uint8_t>(f[base + 3]);
        r.delay = textToInt(f.substr(base + 6, 3));
        r.setpoint = textToInt(f.substr(base + 11, 6));
        r.on = false;
        r.conditionSince.reset();
    }
    return true;
}

std::string TSimDisplay::header(char letter) const
{
    return "@" + replyAddress_ + "R" + letter;
}

std::string TSimDisplay::paramsReply() const
{
    const TSimSettings& s = settings_;
    std::string r = header('P');
    r += digit(options_.inputMode);
    r += digit(s.processInput);
    r += "I1" + fitted(cfmt("%7.3f", s.inputValue1), 7);
    r += "D1" + fitted(cfmt("%7ld", s.displayCount1), 7);
    r += "I2" + fitted(cfmt("%7.3f", s.inputValue2), 7);
    r += "D2" + fitted(cfmt("%7ld", s.displayCount2), 7);
    r += std::string("PD") + digit(s.decimals);
    r += std::string("TT") + digit(s.probeType);
    r += std::string("UM") + digit(s.tempUnits);
    r += std::string("RE") + digit(s.resolution);
    // Least significant character first, the sign last.
    r += "OF";
    r += static_cast<char>(s.offset[2]);
    r += static_cast<char>(s.offset[1]);
    r += static_cast<char>(s.offset[0]);
    r += "000";
    for (std::size_t i = 0; i < 2; ++i) {
        const TSimRelay& relay = s.relays[i];
        const char n = static_cast<char>('1' + i);
        r += std::string("R") + n + static_cast<char>(relay.delayType) + static_cast<char>(relay.trigger);
        r += std::string("H") + n + fitted(cfmt("%03d", relay.delay), 3);
        r += std::string("S") + n + setpointText(relay.setpoint);
    }
    return r + '\r';
}

long TSimDisplay::currentCount(TSimClock::time_point now) const
{
    const int decimals = std::clamp(settings_.decimals, 0, 7);
    if (options_.fixedValue)
        return std::lround(*options_.fixedValue * static_cast<double>(powerOfTen(decimals)));
    // Room for the digits and the point in eight characters; a tenth of the
    // range below zero leaves room for the sign.
    const int width = std::min(options_.digits, 8 - (decimals > 0 ? 1 : 0));
    const double full = static_cast<double>(powerOfTen(width) - 1);
    const double seconds = std::chrono::duration<double>(now - start_).count();
    if (options_.ramp) {
        // A triangle wave of 40 s from a quarter of their distance below the
        // lower set point to as far above the higher one, so both relays switch.
        const TSimRelay& r1 = settings_.relays[0];
        const TSimRelay& r2 = settings_.relays[1];
        const long lo = std::min(r1.setpoint, r2.setpoint);
        const long hi = std::max(r1.setpoint, r2.setpoint);
        const long margin = std::max({(hi - lo) / 4, static_cast<long>(std::max(r1.delay, r2.delay)) + 1, 10L});
        const double bottom = static_cast<double>(std::max(lo - margin, -static_cast<long>(full) / 10));
        const double top = static_cast<double>(std::min(hi + margin, static_cast<long>(full)));
        const double phase = std::fmod(seconds, 40.0) / 40.0;
        return std::lround(bottom + (top - bottom) * (phase < 0.5 ? 2 * phase : 2 - 2 * phase));
    }
    return std::lround(full * (0.4 + 0.5 * std::sin(2.0 * std::numbers::pi * seconds / 20.0)));
}

std::string TSimDisplay::valueText(long count) const
{
    const int decimals = std::clamp(settings_.decimals, 0, 7);
    std::string text = decimals == 0
                           ? cfmt("%ld", count)
                           : cfmt("%.*f", decimals, static_cast<double>(count) / static_cast<double>(powerOfTen(decimals)));
    // The display has no digit to spare for a leading zero.
    if (text.size() > 8 && text.find("0.") != std::string::npos)
        text.erase(text.find("0."), 1);
    if (text.size() > 8)
        text = text.substr(text.size() - 8);
    return std::string(8 - text.size(), ' ') + text;
}

void TSimDisplay::updateRelay(TSimRelay& r, long count, TSimClock::time_point now)
{
    if (r.trigger == '2') {
        r.on = false;
        r.conditionSince.reset();
        return;
    }
    const bool high = r.trigger == '0';
    const bool condition = high ? count > r.setpoint : count < r.setpoint;
    if (r.delayType != '0') {
        // Hysteresis: once on, the relay stays on until the value has come
        // back past the setpoint by the hysteresis amount.
        const bool released = high ? count < r.setpoint - r.delay : count > r.setpoint + r.delay;
        r.on = r.on ? !released : condition;
        return;
    }
    // Timed: on once the condition has held for the delay, in seconds.
    if (!condition) {
        r.on = false;
        r.conditionSince.reset();
        return;
    }
    if (!r.conditionSince)
        r.conditionSince = now;
    r.on = now - *r.conditionSince >= std::chrono::seconds(r.delay);
}

std::string TSimDisplay::readingReply(TSimClock::time_point now)
{
    const long count = currentCount(now);
    std::string r = header('L') + valueText(count) + "RR";
    for (TSimRelay& relay : settings_.relays) {
        updateRelay(relay, count, now);
        r += relay.on ? '1' : '0';
    }
    return r + '\r';
}

std::string TSimDisplay::calibrationReply() const
{
    // Converter counts at the calibration points, then the diode's voltage and temperature.
    static constexpr const char* kItems[] = {
        "00412", "31950", "00398", "32011", "08192", "08205", "08190", "08201", "24570",
        "24583", "24561", "24577", "16384", "16390", "18950", "18961", "06012", "02530",
    };
    std::string r = header('C');
    for (std::size_t n = 0; n < std::size(kItems); ++n) {
        r += static_cast<char>('1' + n % 9);
        r += n < 9 ? 'C' : 'D';
        r += kItems[n];
    }
    return r + '\r';
}

std::string printableFrame(const std::string& frame)
{
    std::string out;
    for (unsigned char c : frame) {
        if (c == '\r')
            out += "<CR>";
        else if (c < 0x20 || c >= 0x7F || c == '<')
            out += cfmt("<%02X>", c);
        else
            out += static_cast<char>(c);
    }
    return out;
}
