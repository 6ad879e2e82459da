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
// A DecimalPoint above 4 scales the display values as 4 would.
TConfigRequest buildConfigRequest(const TDisplayConfig& cfg);
