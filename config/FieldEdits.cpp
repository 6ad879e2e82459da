#include "config/FieldEdits.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>

#include "base/Formats.h"
#include "config/DigitClass.h"
#include "config/PlainFields.h"

namespace {

// A relay byte as show prints it and set reads it: '0' and '1' as
// themselves, any other byte as "<XX>" in hexadecimal, so that whatever one
// prints the other takes back to the same byte (a display's '2' for a relay
// that is off, the zero of a relay never set up).
std::string relayByteText(char byte)
{
    const auto c = static_cast<unsigned char>(byte);
    return c == '0' || c == '1' ? std::string(1, byte) : cfmt("<%02X>", c);
}

std::optional<char> relayByteOf(const std::string& text)
{
    if (text == "0" || text == "1")
        return text[0];
    if (text.size() != 4 || text[0] != '<' || text[3] != '>' || !std::isxdigit(static_cast<unsigned char>(text[1]))
        || !std::isxdigit(static_cast<unsigned char>(text[2])))
        return std::nullopt;
    return static_cast<char>(std::stoi(text.substr(1, 2), nullptr, 16));
}

using digitclass::powerOfTen;

struct TNumber {
    bool whole = true; // no decimal point
    int decimals = 0;  // decimals that are not trailing zeros
};

// [+-]digits[.digits]: the forms a masked field can hold. Anything else,
// exponents, "nan" and blanks included, is refused.
bool readNumberText(const std::string& text, TNumber& number)
{
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        ++digits;
    number = {};
    if (i < text.size() && text[i] == '.') {
        number.whole = false;
        ++i;
        int lastNonZero = 0;
        for (int d = 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++d) {
            ++digits;
            if (text[i] != '0')
                lastNonZero = d;
        }
        number.decimals = lastNonZero;
    }
    return digits > 0 && i == text.size();
}

std::string decimalsText(int decimals)
{
    return decimals == 0 ? "no decimals" : decimals == 1 ? "at most 1 decimal" : cfmt("at most %d decimals", decimals);
}

// A count of display units with `decimals` decimals, as text.
std::string countText(long long count, int decimals)
{
    return generalFloatText(static_cast<double>(count) / static_cast<double>(powerOfTen(decimals)));
}

// "4 digits"
std::string digitsText(const TDisplayConfig& cfg)
{
    return cfmt("%d digits", cfg.DigitsIndex + recordField(&TDisplayConfig::DigitsIndex).countBase);
}

// " must be a whole number from 0 to 31"
std::string wholeNumberText(const TFieldLimits& limits)
{
    return cfmt(" must be a whole number from %lld to %lld", limits.low, limits.high);
}

// "0 or 1": the bytes a relay character chooses from.
std::string choiceValues(const TRecordField& f)
{
    std::string out;
    for (const TFieldChoice& c : f.choices)
        out += (out.empty() ? "" : " or ") + std::string(1, static_cast<char>(c.value));
    return out;
}

struct TAssignment {
    const TRecordField* field;
    std::string text;
    bool held = false; // the file's value, checked again because a field it depends on changed
    std::string shown; // the name the user gave it by, when not the record name
    bool scaled = false; // a relay setpoint with its decimals
    long long count = 0; // a scaled setpoint as display counts, once known
    bool onlyIfUnset = false;

    std::string name() const { return shown.empty() ? field->name : shown; }
};

// The display counts of a value with `decimals` decimals ("180.0" with 1 is
// 1800); nothing when it has more decimals than that. Worked out on the
// digits, so that no rounding of binary fractions comes in.
std::optional<long long> countOf(const std::string& text, int decimals)
{
    TNumber number;
    if (!readNumberText(text, number) || number.decimals > decimals)
        return std::nullopt;
    const bool negative = text[0] == '-';
    const std::size_t digitsStart = text[0] == '-' || text[0] == '+' ? 1 : 0;
    const std::size_t point = text.find('.');
    std::string whole = text.substr(digitsStart, point == std::string::npos ? std::string::npos : point - digitsStart);
    std::string fraction = point == std::string::npos ? std::string() : text.substr(point + 1);
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    const auto width = static_cast<std::size_t>(decimals);
    fraction = (fraction + std::string(width, '0')).substr(0, width);
    // Far beyond any field: the range check refuses it.
    if (whole.size() > 12)
        return negative ? -1000000000000000LL : 1000000000000000LL;
    long long n = 0;
    for (char c : whole + fraction)
        n = n * 10 + (c - '0');
    return negative ? -n : n;
}

// "not "X"" closing a refusal; a value kept from the file says so.
std::string notText(const TAssignment& a)
{
    std::string out = "not \"" + a.text + "\"";
    if (a.held)
        out += " (kept from the file; give it a new value in the same command)";
    return out;
}

// Checks that need the whole configuration: the digits and the decimal point
// decide what the masked fields can hold.
bool checkDependent(const TAssignment& a, const TDisplayConfig& cfg, std::string& error)
{
    const TRecordField& f = *a.field;
    if (f.depends == kDependsOnNothing)
        return true;
    const std::string shown = a.name();
    const TFieldLimits limits = f.limitsIn(cfg);
    const std::string digits = digitsText(cfg);
    TNumber number;
    // A value kept from the file may be in a form no one types: it fits no field.
    if (!readNumberText(a.text, number))
        number.decimals = 99;

    if (f.type == TFieldType::Real || a.scaled) {
        // A setpoint given with its decimals: the level as the relay dialog's field shows it.
        const int decimals = a.scaled ? digitclass::shownDecimals(cfg.DigitsIndex, cfg.DecimalPoint) : limits.decimals;
        const bool outside = a.scaled ? a.count < limits.low || a.count > limits.high
                                      : cfg.*f.f64 < limits.lowest() || cfg.*f.f64 > limits.highest();
        if (number.decimals > decimals || outside) {
            const bool point = a.scaled || (f.depends & kDependsOnDecimalPoint) != 0;
            error = shown + " must be from " + countText(limits.low, decimals) + " to "
                + countText(limits.high, decimals) + " with " + decimalsText(decimals) + " (" + digits
                + (point ? cfmt(", decimal point %d", cfg.DecimalPoint) : std::string()) + "), " + notText(a);
            return false;
        }
        return true;
    }
    const std::int32_t v = cfg.*f.i32;
    if (!number.whole || v < limits.low || v > limits.high) {
        error = shown + cfmt(" must be a whole number of display counts from %lld to %lld", limits.low, limits.high)
            + " (" + digits + "), " + notText(a);
        return false;
    }
    return true;
}

// Parses one value and checks what does not depend on other fields.
bool assign(const TAssignment& a, TDisplayConfig& cfg, std::string& error)
{
    const TRecordField& f = *a.field;
    const std::string name = a.name();
    const std::string notGiven = ", not \"" + a.text + "\"";
    const bool fixed = f.depends == kDependsOnNothing;
    TNumber number;
    const bool numeric = readNumberText(a.text, number);
    switch (f.type) {
    case TFieldType::Index: {
        const TFieldLimits limits = f.limitsIn(cfg);
        const std::int32_t v = numeric && number.whole ? textToInt(a.text) : -1;
        if (!numeric || !number.whole || v < limits.low || v > limits.high) {
            error = name + wholeNumberText(limits) + notGiven;
            return false;
        }
        cfg.*f.u8 = static_cast<std::uint8_t>(v);
        return true;
    }
    case TFieldType::Character: {
        // Any byte show prints; one the request cannot carry (a CR) is refused when the file is sent.
        const std::optional<char> byte = relayByteOf(a.text);
        if (!byte) {
            std::string meanings;
            for (const TFieldChoice& c : f.choices)
                meanings += (meanings.empty() ? "" : ", ") + std::string(1, static_cast<char>(c.value)) + " " + c.meaning;
            error = name + " must be " + choiceValues(f) + " (" + meanings
                + "), or another byte as <XX> in hexadecimal" + notGiven;
            return false;
        }
        cfg.*f.ch = *byte;
        return true;
    }
    case TFieldType::Integer: {
        if (a.scaled) {
            TNumber scaled;
            if (!readNumberText(a.text, scaled)) {
                error = name + " must be a number written with a '.' for decimals" + notGiven;
                return false;
            }
            return true;
        }
        const TFieldLimits limits = f.limitsIn(cfg);
        const std::int32_t v = numeric && number.whole ? textToInt(a.text) : 0;
        if (!numeric || !number.whole || (fixed && (v < limits.low || v > limits.high))) {
            error = name + (fixed ? wholeNumberText(limits) : std::string(" must be a whole number")) + notGiven;
            return false;
        }
        cfg.*f.i32 = v;
        return true;
    }
    case TFieldType::Real: {
        if (!numeric) {
            error = name + " must be a number written with a '.' for decimals" + notGiven;
            return false;
        }
        const double v = textToDouble(a.text);
        const TFieldLimits limits = f.limitsIn(cfg);
        if (fixed && (v < limits.lowest() || v > limits.highest() || number.decimals > limits.decimals)) {
            error = name + " must be from " + countText(limits.low, limits.decimals) + " to "
                + countText(limits.high, limits.decimals) + " with " + decimalsText(limits.decimals) + notGiven;
            return false;
        }
        cfg.*f.f64 = v;
        return true;
    }
    }
    return false;
}

} // namespace

std::string exactRealText(double v)
{
    for (int precision : {15, 16, 17}) {
        std::string text = cfmt("%.*g", precision, v);
        if (textToDouble(text) == v)
            return text;
    }
    return cfmt("%.17g", v);
}

std::string either(const std::vector<std::string>& words)
{
    std::string out;
    for (std::size_t i = 0; i < words.size(); ++i)
        out += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
    return out;
}

std::string outsideText(const TFieldLimits& limits)
{
    return cfmt(" is outside %lld..%lld", limits.low, limits.high);
}

std::string fieldText(const TRecordField& f, const TDisplayConfig& cfg)
{
    switch (f.type) {
    case TFieldType::Index: return cfmt("%u", static_cast<unsigned>(cfg.*f.u8));
    case TFieldType::Integer: return cfmt("%d", static_cast<int>(cfg.*f.i32));
    case TFieldType::Real: return generalFloatText(cfg.*f.f64);
    case TFieldType::Character: return relayByteText(cfg.*f.ch);
    }
    return {};
}

std::string configJson(const TDisplayConfig& cfg)
{
    std::string out = "{\n";
    bool first = true;
    for (const TRecordField& f : recordFields()) {
        if (!first)
            out += ",\n";
        first = false;
        out += cfmt("  \"%s\": ", f.name);
        switch (f.type) {
        case TFieldType::Real: {
            const double v = cfg.*f.f64;
            out += std::isfinite(v) ? exactRealText(v) : "null";
            break;
        }
        case TFieldType::Character: {
            const auto c = static_cast<unsigned char>(cfg.*f.ch);
            if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\')
                out += cfmt("\"%c\"", c);
            else
                out += cfmt("\"\\u%04x\"", c);
            break;
        }
        default:
            out += fieldText(f, cfg);
        }
    }
    out += "\n}\n";
    return out;
}

bool applyAssignments(std::span<const std::string> assignments, TDisplayConfig& cfg, std::string& error)
{
    std::vector<TAssignment> parsed;
    for (const std::string& text : assignments) {
        const auto eq = text.find('=');
        if (eq == std::string::npos) {
            error = "\"" + text + "\" is not FIELD=VALUE";
            return false;
        }
        const std::string name = text.substr(0, eq);
        const std::string value = text.substr(eq + 1);
        if (const TRecordField* field = findRecordField(name)) {
            parsed.push_back({field, value, false, {}, false, 0, false});
            continue;
        }
        std::vector<TRecordAssignment> expanded;
        switch (expandPlain(name, value, expanded, error)) {
        case TPlainParse::Refused: return false;
        case TPlainParse::Done:
            for (const TRecordAssignment& r : expanded)
                parsed.push_back({r.field, r.text, false, name, r.scaled, 0, r.onlyIfUnset});
            continue;
        case TPlainParse::NotPlain: break;
        }
        error = "unknown field \"" + name + "\"; the fields are " + plainNames() + ", or by their record names";
        for (const TRecordField& f : recordFields())
            error += std::string(" ") + f.name;
        return false;
    }
    const TDisplayConfig before = cfg;
    for (const TAssignment& a : parsed)
        if (!a.onlyIfUnset && !assign(a, cfg, error))
            return false;
    for (const TAssignment& a : parsed) {
        const char held = a.onlyIfUnset ? cfg.*(a.field->ch) : '0';
        const bool given = std::any_of(parsed.begin(), parsed.end(), [&](const TAssignment& other) {
            return !other.onlyIfUnset && other.field == a.field;
        });
        if (held != '0' && held != '1' && !given && !assign(a, cfg, error))
            return false;
    }
    // A setpoint given with its decimals becomes counts with the digits and
    // decimal point now known; a later value for the same field wins.
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        TAssignment& a = parsed[i];
        const bool overridden = std::any_of(parsed.begin() + static_cast<std::ptrdiff_t>(i) + 1, parsed.end(),
                                            [&](const TAssignment& later) { return later.field == a.field; });
        if (!a.scaled || overridden)
            continue;
        const auto count = countOf(a.text, digitclass::shownDecimals(cfg.DigitsIndex, cfg.DecimalPoint));
        a.count = count.value_or(0);
        if (count && *count >= INT32_MIN && *count <= INT32_MAX)
            cfg.*(a.field->i32) = static_cast<std::int32_t>(*count);
    }
    for (const TAssignment& a : parsed)
        if (!checkDependent(a, cfg, error))
            return false;

    // New digits or a new decimal point can leave values the file already
    // holds outside what their fields accept.
    const unsigned changed = cfg.DigitsIndex != before.DigitsIndex       ? kDependsOnDigits
                           : cfg.DecimalPoint != before.DecimalPoint ? kDependsOnDecimalPoint
                                                                     : kDependsOnNothing;
    for (const TRecordField& dependent : recordFields()) {
        if ((dependent.depends & changed) == 0)
            continue;
        const TRecordField* field = &dependent;
        const bool assigned = std::any_of(parsed.begin(), parsed.end(),
                                          [&](const TAssignment& a) { return a.field == field; });
        if (assigned)
            continue;
        const std::string held = field->type == TFieldType::Real ? exactRealText(cfg.*field->f64)
                                                                 : fieldText(*field, cfg);
        if (!checkDependent({field, held, true, {}, false, 0, false}, cfg, error))
            return false;
    }
    return true;
}

std::optional<std::string> receivedValueProblem(const TDisplayConfig& cfg)
{
    for (const TRecordField& f : recordFields()) {
        if (!f.carriedBy(kInParamsReply))
            continue;
        const std::string what = std::string(f.name) + " " + fieldText(f, cfg);
        switch (f.type) {
        case TFieldType::Index:
        case TFieldType::Integer: {
            if (f.depends != kDependsOnNothing)
                break;
            const TFieldLimits limits = f.limitsIn(cfg);
            const long long v = f.type == TFieldType::Index ? cfg.*f.u8 : cfg.*f.i32;
            if (v < limits.low || v > limits.high)
                return what + outsideText(limits);
            break;
        }
        case TFieldType::Real:
            if (!std::isfinite(cfg.*f.f64))
                return std::string(f.name) + " is not a finite number";
            break;
        case TFieldType::Character: {
            // A relay never set up holds the byte zero; the level of a relay
            // that is off is not read ('2' comes from a display).
            const char c = cfg.*f.ch;
            const bool chosen = f.choice(static_cast<unsigned char>(c)) != nullptr;
            if (f.whileRelayOn) {
                if (cfg.relay(f.relay).Enabled == 1 && !chosen)
                    return what + " is not " + choiceValues(f) + " for a relay that is on";
            } else if (!chosen && c != '\0') {
                return what + " is not " + choiceValues(f);
            }
            break;
        }
        }
    }
    return std::nullopt;
}
