#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

struct TDisplayConfig;

// What the trend needs to know of the relays: for each, whether it is used
// and its trigger level in display counts, and where the display puts its
// decimal point.
struct TTrendSetpoints {
    struct TRelay {
        bool enabled = false;
        std::int32_t setpoint = 0; // display counts, decimal point removed
    };
    std::array<TRelay, 2> relays{};
    std::uint8_t decimalPoint = 0;

    // The level as the display shows it: the count over 10^decimalPoint.
    // The displays show at most four decimals, so a larger position scales as four.
    double scaled(std::size_t relay) const;

    bool operator==(const TTrendSetpoints&) const = default;
};

TTrendSetpoints trendSetpoints(const TDisplayConfig& config);
