#include <gtest/gtest.h>

#include "base/Formats.h"
#include "tools/sim/SimDisplay.h"

using namespace std::chrono_literals;

// Within one period of the ramp the value passes both set points both ways,
// so each relay is seen on and off, and goes no further than a quarter of
// their distance beyond them.
TEST(SimRamp, BothRelaysSwitchWithinOnePeriod)
{
    for (int digits : {3, 4, 6}) {
        TSimOptions options;
        options.digits = digits;
        options.ramp = true;
        const auto start = TSimClock::now();
        TSimDisplay display(options, start);
        std::array<bool, 2> seenOn{}, seenOff{};
        double lo = 1e9, hi = -1e9;
        for (auto t = 0ms; t < 40s; t += 500ms) {
            const std::optional<std::string> reply = display.answer("@00L\r", start + t);
            ASSERT_TRUE(reply && reply->size() == 18) << digits;
            const double value = textToDouble(reply->substr(5, 8));
            lo = std::min(lo, value);
            hi = std::max(hi, value);
            for (std::size_t r = 0; r < 2; ++r)
                ((*reply)[15 + r] == '1' ? seenOn : seenOff)[r] = true;
        }
        EXPECT_EQ(seenOn, (std::array{true, true})) << digits;
        EXPECT_EQ(seenOff, (std::array{true, true})) << digits;
        const double high = display.settings().relays[0].setpoint / 10.0; // counts of one decimal
        const double low = display.settings().relays[1].setpoint / 10.0;
        const double quarter = (high - low) / 4 + 0.1;
        EXPECT_LT(lo, low) << digits;
        EXPECT_GT(hi, high) << digits;
        EXPECT_GE(lo, low - quarter) << digits;
        EXPECT_LE(hi, high + quarter) << digits;
    }
}
