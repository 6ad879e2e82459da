// The simulated display's request parser: any bytes, cut into frames at each
// CR and started at their first '@' as the simulator's line does. Input: one
// byte of display options, then the bytes received.
#include "FuzzCheck.h"

#include "tools/sim/SimDisplay.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    TSimOptions options;
    options.address = data[0] % 32;
    options.digits = 2 + data[0] % 9;
    options.decimals = data[0] % 6;
    options.inputMode = data[0] >> 7;
    auto now = TSimClock::time_point{} + std::chrono::seconds(1);
    TSimDisplay display(options, now);

    std::string frame;
    for (std::size_t i = 1; i < size; ++i) {
        frame += static_cast<char>(data[i]);
        if (data[i] != '\r')
            continue;
        const std::size_t at = frame.find('@');
        if (at != std::string::npos) {
            now += std::chrono::milliseconds(data[i - 1]);
            if (const auto reply = display.answer(frame.substr(at), now)) {
                // Every reply is a frame: the address it answers to, then 'R', ending in CR.
                FUZZ_REQUIRE(reply->size() >= 6 && reply->back() == '\r');
                FUZZ_REQUIRE(reply->compare(0, 3, "@" + display.addressText()) == 0 && (*reply)[3] == 'R');
                FUZZ_REQUIRE(reply->find('\r') == reply->size() - 1);
            }
        }
        frame.clear();
    }
    return 0;
}
