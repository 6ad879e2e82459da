#pragma once
#include "config/DisplayConfig.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// Request frames sent to a display: '@', two address digits, a letter, the
// command fields ('E' only) and CR. No check character, no length field.

inline constexpr std::uint8_t kCR = 0x0D;
inline constexpr std::size_t kReadRequestLength = 5;
inline constexpr std::size_t kConfigRequestLength = 93;

// Command letters; the reply repeats them after 'R'.
inline constexpr char kLetterCalibration = 'C';
inline constexpr char kLetterAnalogParams = 'P';
inline constexpr char kLetterDisplayReading = 'L';
inline constexpr char kLetterSendConfig = 'E';

using TReadRequest = std::array<std::uint8_t, kReadRequestLength>;
using TConfigRequest = std::array<std::uint8_t, kConfigRequestLength>;

// The two address characters: "%02d" of the address taken as a signed byte
// (255 gives "-1"); of a longer text only the first two characters are sent.
std::array<char, 2> addressDigits(std::uint8_t address);

// '@', the address digits, `letter`, CR: the 'C', 'P' and 'L' requests.
TReadRequest buildReadRequest(std::uint8_t address, char letter);

// The 93-byte 'E' request carrying the analog input and both relays of `cfg`.
// A DecimalPoint above 4 goes out as 4 and scales the display values as 4
// would, so that the position byte and the values agree. Minus zero goes out
// as zero.
TConfigRequest buildConfigRequest(const TDisplayConfig& cfg);

// The decimal position the 'E' request carries for `decimalPoint`.
std::uint8_t sentDecimalPoint(std::uint8_t decimalPoint);

// The decimals the 'E' request gives an input value ("+%6.3f" cut to seven characters).
int sentInputDecimals(double value);

// What keeps a field of a configuration from reaching a display as it is.
enum class TFrameFault {
    None,
    OutOfRange, // outside what the field's characters can carry (digits would be cut)
    NotFinite,  // not a number, or infinite
    EndsFrame,  // a CR byte, which the display takes for the end of the request
};

struct TFrameCheck {
    TFrameFault fault = TFrameFault::None;
    const char* field = nullptr; // the DisplayConfig name of the first field at fault
    std::string sent;            // the characters it would go out as
};

// Checks that every field the 'E' request carries fits its characters:
// a number keeps all the digits before its point, the address is 0..31.
// buildConfigRequest itself sends whatever it is given.
TFrameCheck checkConfigRequest(const TDisplayConfig& cfg);

// The address check alone, for the 'C', 'P' and 'L' requests.
TFrameCheck checkRequestAddress(std::uint8_t address);
