#pragma once
#include "config/DisplayConfig.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Replies from a display: the request's first three bytes, 'R', the letter,
// the payload, CR. Every function here takes the complete reply, offsets 0 to
// the final CR (TRxBuffer::reply()).
//
// A field or tagged group is read only when it lies wholly before the reply's
// final CR. One that would reach the CR or beyond is treated as absent, never
// read from bytes left behind by an earlier, longer reply.

enum class TReplyCheck {
    Accepted,
    WrongAddress, // a reply frame ('@', two digits, 'R') for another address
    WrongLetters, // not 'R' and the request's letter at offsets 3 and 4
    Noise,        // offsets 0..2 differ from the request's, and it is no reply frame at all
};

// The check of a complete reply against the request it answers. A display
// reading ('L') passes on its address alone: its value part and its relay
// block are each taken only if their own letters are there
// (parseDisplayReadingReply).
TReplyCheck checkReply(std::span<const std::uint8_t> reply, std::span<const std::uint8_t> request);

// A number field of a 'P' reply whose characters are not the number its
// format allows ("12x0", "1e44", " 0?", a letter for a digit).
struct TUnreadableField {
    const char* field; // the DisplayConfig name
    std::string text;  // its characters as received, in reply order
};

// What a 'P' reply held, as its parser found it.
struct TParamsReplyContents {
    // The DisplayConfig names of the fields whose group the reply holds, in
    // record order. A display value is carried even when a decimal point
    // beyond 4 keeps the parser from scaling it.
    std::vector<const char*> carried;
    // The carried number fields that are not numbers; the parser still read
    // them as it always does (as far as they read as a number, else 0).
    std::vector<TUnreadableField> unreadable;

    // The fields a 'P' reply can carry that this one does not, in record order.
    std::vector<const char*> missing() const;
};

// The setpoints a 'P' reply can carry: five characters, 0xB4 standing for "-1".
inline constexpr std::int32_t kReplySetpointLowest = -19999;
inline constexpr std::int32_t kReplySetpointHighest = 99999;

// Every field a 'P' reply can carry, in record order: InputMode and every
// later field of the record (the line, the address and the digits never travel).
std::span<const char* const> paramsReplyFields();

// Writes the 'P' reply into `cfg`, group by group: a group whose tag is
// missing leaves its fields as they were. DecimalPoint is taken before the
// display values it scales.
TParamsReplyContents parseAnalogParamsReply(std::span<const std::uint8_t> reply, TDisplayConfig& cfg);

struct TDisplayReading {
    // The eight value characters as the display shows them (Latin-1 bytes),
    // cut at a 0x00; absent without 'R','L' at offsets 3 and 4.
    std::optional<std::string> value;
    // Relay 1 and relay 2, on when '1'; absent without 'R','R' at offsets 13 and 14.
    std::optional<std::array<bool, 2>> relays;
};

TDisplayReading parseDisplayReadingReply(std::span<const std::uint8_t> reply);

inline constexpr std::size_t kCalibrationItems = 18;

// The calibration texts by box: index 0 is Edit1 ... index 17 is Edit18.
// A box whose item code does not match is absent and keeps its text.
using TCalibrationTexts = std::array<std::optional<std::string>, kCalibrationItems>;

TCalibrationTexts parseCalibrationReply(std::span<const std::uint8_t> reply);
