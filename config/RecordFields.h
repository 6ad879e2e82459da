#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/Texts.h"
#include "config/DisplayConfig.h"

// Every field of the 88-byte record, described once: its names, where it
// sits, which frames carry it, its choices and its limits. The record codec,
// dadizctl, the dialogs, the summary panels and the tests all read it here.

enum class TFieldType {
    Index, // u8: an index into a list, a count or a flag
    Real, // f64
    Character, // a relay's '0' / '1'
    Integer, // i32
};

// The frames that carry a field as a value (the address heads every frame instead).
enum TFieldFrames : unsigned {
    kInNoFrame = 0,
    kInConfigRequest = 1, // 'E'
    kInParamsReply = 2, // 'P'
};

// What a field's limits depend on besides itself.
enum TFieldDepends : unsigned {
    kDependsOnNothing = 0,
    kDependsOnDigits = 1,
    kDependsOnDecimalPoint = 2,
};

// The rest of the configuration that limits depend on.
struct TFieldContext {
    std::uint8_t digitsIndex = 2;
    std::uint8_t decimalPoint = 0;
};
TFieldContext fieldContext(const TDisplayConfig& cfg);

// The values a field takes, as whole counts of its last decimal: a value is
// count / 10^decimals.
struct TFieldLimits {
    long long low = 0;
    long long high = 0;
    int decimals = 0; // the most decimals a value may have

    double lowest() const;
    double highest() const;
    // value within the limits; a value that is not a number gives 0.
    double clamp(double value) const;
};

struct TFieldChoice {
    int value; // the byte the record holds
    const char* word; // the plain word dadizctl reads and prints
    const char* panel = nullptr; // what the summary panel shows, where it shows this list
    const TTexts* meaning = nullptr; // the word explained, where it is too short alone
};

struct TRecordField {
    const char* name; // the DisplayConfig member; also dadizctl's record name and JSON key
    const char* plain; // dadizctl's plain name
    std::size_t offset;
    TFieldType type;
    std::uint8_t TDisplayConfig::*u8 = nullptr;
    double TDisplayConfig::*f64 = nullptr;
    char TDisplayConfig::*ch = nullptr;
    std::int32_t TDisplayConfig::*i32 = nullptr;
    int relay = 0; // 1 or 2 for a relay's field
    unsigned frames = kInNoFrame;
    // The frames carry it only while its relay is on (a relay off sends '2' instead).
    bool whileRelayOn = false;
    std::span<const TFieldChoice> choices{};
    int countBase = 0; // what index 0 counts (the digits: 2)
    unsigned depends = kDependsOnNothing;
    // The values the dialogs and dadizctl accept; none for the relay characters, which have choices.
    TFieldLimits (*limits)(TFieldContext) = nullptr;
    // The masked field that edits it in a dialog; none for fields edited by lists.
    std::string (*mask)(TFieldContext) = nullptr;

    bool carriedBy(TFieldFrames frame) const { return (frames & frame) != 0; }
    // Where cfg keeps it.
    const void* placeIn(const TDisplayConfig& cfg) const;
    TFieldLimits limitsIn(const TDisplayConfig& cfg) const { return limits(fieldContext(cfg)); }
    // The choice holding `value`, or none.
    const TFieldChoice* choice(int value) const;
    // The summary panel's word for `value`, "---" outside the list.
    std::string panelText(int value) const;
};

// In record order.
std::span<const TRecordField> recordFields();
const TRecordField* findRecordField(std::string_view name);

// The field of a member.
const TRecordField& recordField(std::uint8_t TDisplayConfig::*member);
const TRecordField& recordField(double TDisplayConfig::*member);
const TRecordField& recordField(char TDisplayConfig::*member);
const TRecordField& recordField(std::int32_t TDisplayConfig::*member);

// The field whose storage inside cfg is at `member` (cfg.relay(n) hands out references into cfg).
const TRecordField& recordFieldAt(const TDisplayConfig& cfg, const void* member);
