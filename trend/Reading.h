#pragma once
#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// One reading of the display as continuous reading delivers it, whether a
// reply came or not.
struct TReading {
    std::chrono::system_clock::time_point time;
    // No reading came: no reply, an invalid reply, or a request abandoned by the next one.
    bool missed = false;
    // The value characters exactly as the display sent them (Latin-1, up to
    // eight); absent when the reply had no value part.
    std::optional<std::string> value;
    // Relay 1 and relay 2, on when true; absent when the reply had no relay block.
    std::optional<std::array<bool, 2>> relays;
};

// The display's text read as a decimal number with a '.': blanks around it,
// an optional sign (blanks may stand between the sign and the digits, as a
// right-aligned display shows "-  12.5"), digits with at most one point.
// Anything else is not a number: blank, "----", an overflow text, an
// exponent, a second sign, a comma. Never depends on the locale.
std::optional<double> readingNumber(std::string_view text);

// The same number as plain text: sign, digits, and the decimals as the
// display showed them ("  012.50" gives "12.50", "-  .5" gives "-0.5", "-0.0"
// gives "0.0"); empty when the text is not a number.
std::string readingNumberText(std::string_view text);

// The reading's value as a number; absent when missed, without a value part,
// or when the value is not a number.
std::optional<double> readingNumber(const TReading& reading);
