#include "tools/ctl/Fields.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>

#include "base/Formats.h"
#include "config/DigitClass.h"
#include "protocol/Replies.h"
#include "protocol/Requests.h"
#include "tools/ctl/Plain.h"

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

using C = TDisplayConfig;

TFieldInfo indexField(const char* name, std::uint8_t C::*member, int high)
{
    return {name, TFieldKind::Index, member, nullptr, nullptr, nullptr, high};
}
TFieldInfo realField(const char* name, double C::*member)
{
    return {name, TFieldKind::Real, nullptr, member, nullptr, nullptr, 0};
}
TFieldInfo charField(const char* name, char C::*member)
{
    return {name, TFieldKind::Character, nullptr, nullptr, member, nullptr, 0};
}
TFieldInfo intField(const char* name, std::int32_t C::*member)
{
    return {name, TFieldKind::Integer, nullptr, nullptr, nullptr, member, 0};
}

const TFieldInfo kFields[] = {
    indexField("PortIndex", &C::PortIndex, 5),
    indexField("ParityIndex", &C::ParityIndex, 2),
    indexField("DataBitsIndex", &C::DataBitsIndex, 1),
    indexField("StopBitsIndex", &C::StopBitsIndex, 1),
    indexField("BaudIndex", &C::BaudIndex, 4),
    indexField("Address", &C::Address, 31),
    indexField("DigitsIndex", &C::DigitsIndex, 8),
    indexField("InputMode", &C::InputMode, 1),
    indexField("ProcessInput", &C::ProcessInput, 1),
    realField("InputValue1", &C::InputValue1),
    realField("DisplayValue1", &C::DisplayValue1),
    realField("InputValue2", &C::InputValue2),
    realField("DisplayValue2", &C::DisplayValue2),
    indexField("DecimalPoint", &C::DecimalPoint, 4),
    indexField("TempUnits", &C::TempUnits, 1),
    indexField("ProbeType", &C::ProbeType, 3),
    indexField("Resolution", &C::Resolution, 1),
    realField("TempOffset", &C::TempOffset),
    indexField("Relay1Enabled", &C::Relay1Enabled, 1),
    charField("Relay1DelayType", &C::Relay1DelayType),
    charField("Relay1TriggerLevel", &C::Relay1TriggerLevel),
    intField("Relay1Delay", &C::Relay1Delay),
    intField("Relay1Setpoint", &C::Relay1Setpoint),
    indexField("Relay2Enabled", &C::Relay2Enabled, 1),
    charField("Relay2DelayType", &C::Relay2DelayType),
    charField("Relay2TriggerLevel", &C::Relay2TriggerLevel),
    intField("Relay2Delay", &C::Relay2Delay),
    intField("Relay2Setpoint", &C::Relay2Setpoint),
};

long long powerOfTen(int exponent)
{
    long long p = 1;
    for (int i = 0; i < exponent; ++i)
        p *= 10;
    return p;
}

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

struct TAssignment {
    const TFieldInfo* field;
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
    const std::string name = a.field->name;
    const std::string shown = a.name();
    const int cls = digitclass::of(cfg.DigitsIndex);
    const std::string digits = cfmt("%d digits", cfg.DigitsIndex + 2);
    TNumber number;
    // A value kept from the file may be in a form no one types: it fits no field.
    if (!readNumberText(a.text, number))
        number.decimals = 99;

    if (name == "InputValue1" || name == "InputValue2") {
        const int decimals = digitclass::inputDecimals(cls); // "#99.9", "#99.99", "#99.999"
        const double v = cfg.*(a.field->f64);
        if (v < -99.9 || v > 99.9 || number.decimals > decimals) {
            error = shown + " must be from -99.9 to 99.9 with " + decimalsText(decimals) + " (" + digits + "), "
                + notText(a);
            return false;
        }
    } else if (name == "DisplayValue1" || name == "DisplayValue2") {
        // The field holds a sign or digit and `cls` digits; the value is
        // that count over 10^decimals, limited to -19999 .. 9999 (19999 with five digits).
        const int decimals = std::min<int>(cfg.DecimalPoint, digitclass::cap(cls));
        const long long scale = powerOfTen(decimals);
        const long long low = std::max(-(powerOfTen(cls) - 1), -19999 * scale);
        const long long high = std::min(powerOfTen(cls + 1) - 1, (cfg.DigitsIndex == 3 ? 19999 : 9999) * scale);
        const double v = cfg.*(a.field->f64);
        const double count = std::round(v * static_cast<double>(scale));
        if (number.decimals > decimals || count < static_cast<double>(low) || count > static_cast<double>(high)) {
            error = shown + " must be from " + countText(low, decimals) + " to " + countText(high, decimals) + " with "
                + decimalsText(decimals) + " (" + digits + cfmt(", decimal point %d", cfg.DecimalPoint) + "), "
                + notText(a);
            return false;
        }
    } else if (name == "Relay1Setpoint" || name == "Relay2Setpoint") {
        const long long low = -(powerOfTen(cls) - 1);
        const long long high = powerOfTen(cls + 1) - 1;
        if (a.scaled) {
            // The level with its decimals, as the relay dialog's field shows it.
            const int decimals = setpointDecimals(cfg);
            if (number.decimals > decimals || a.count < low || a.count > high) {
                error = shown + " must be from " + countText(low, decimals) + " to " + countText(high, decimals)
                    + " with " + decimalsText(decimals) + " (" + digits + cfmt(", decimal point %d", cfg.DecimalPoint)
                    + "), " + notText(a);
                return false;
            }
            return true;
        }
        const std::int32_t v = cfg.*(a.field->i32);
        if (!number.whole || v < low || v > high) {
            error = shown + cfmt(" must be a whole number of display counts from %lld to %lld", low, high) + " ("
                + digits + "), " + notText(a);
            return false;
        }
    }
    return true;
}

// Parses one value and checks what does not depend on other fields.
bool assign(const TAssignment& a, TDisplayConfig& cfg, std::string& error)
{
    const TFieldInfo& f = *a.field;
    const std::string name = a.name();
    TNumber number;
    const bool numeric = readNumberText(a.text, number);
    switch (f.kind) {
    case TFieldKind::Index: {
        const std::int32_t v = numeric && number.whole ? textToInt(a.text) : -1;
        if (!numeric || !number.whole || v < 0 || v > f.high) {
            error = name + cfmt(" must be a whole number from 0 to %d", f.high) + ", not \"" + a.text + "\"";
            return false;
        }
        cfg.*(f.u8) = static_cast<std::uint8_t>(v);
        return true;
    }
    case TFieldKind::Character: {
        // Any byte show prints; one the request cannot carry (a CR) is refused when the file is sent.
        const std::optional<char> byte = relayByteOf(a.text);
        if (!byte) {
            error = name + " must be 0 or 1 (" + (std::string(f.name).find("DelayType") != std::string::npos
                                                       ? "0 timed delay, 1 hysteresis"
                                                       : "0 on above the level, 1 on below it")
                + "), or another byte as <XX> in hexadecimal, not \"" + a.text + "\"";
            return false;
        }
        cfg.*(f.ch) = *byte;
        return true;
    }
    case TFieldKind::Integer: {
        const bool isDelay = std::string(f.name).find("Delay") != std::string::npos;
        if (a.scaled) {
            TNumber scaled;
            if (!readNumberText(a.text, scaled)) {
                error = name + " must be a number written with a '.' for decimals, not \"" + a.text + "\"";
                return false;
            }
            return true;
        }
        if (!numeric || !number.whole) {
            error = name + " must be a whole number" + (isDelay ? " from 0 to 999" : "") + ", not \"" + a.text + "\"";
            return false;
        }
        const std::int32_t v = textToInt(a.text);
        if (isDelay && (v < 0 || v > 999)) {
            error = name + " must be a whole number from 0 to 999, not \"" + a.text + "\"";
            return false;
        }
        cfg.*(f.i32) = v;
        return true;
    }
    case TFieldKind::Real: {
        if (!numeric) {
            error = name + " must be a number written with a '.' for decimals, not \"" + a.text + "\"";
            return false;
        }
        const double v = textToDouble(a.text);
        if (std::string(f.name) == "TempOffset" && (v < -99.9 || v > 99.9 || number.decimals > 1)) {
            error = name + " must be from -99.9 to 99.9 with at most 1 decimal, not \"" + a.text + "\"";
            return false;
        }
        cfg.*(f.f64) = v;
        return true;
    }
    }
    return false;
}

// Decimals of one 7-character number field of the 'E' request.
int frameDecimals(const TConfigRequest& frame, std::size_t offset)
{
    int decimals = 0;
    bool afterPoint = false;
    for (std::size_t i = offset; i < offset + 7 && frame[i] != '*'; ++i) {
        if (afterPoint)
            ++decimals;
        if (frame[i] == '.')
            afterPoint = true;
    }
    return decimals;
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

bool travels(const TFieldInfo& f)
{
    return &f - kFields >= 7;
}

const TFieldInfo* findField(std::string_view name)
{
    for (const TFieldInfo& f : kFields)
        if (name == f.name)
            return &f;
    return nullptr;
}

std::string fieldText(const TFieldInfo& f, const TDisplayConfig& cfg)
{
    switch (f.kind) {
    case TFieldKind::Index: return cfmt("%u", static_cast<unsigned>(cfg.*(f.u8)));
    case TFieldKind::Integer: return cfmt("%d", static_cast<int>(cfg.*(f.i32)));
    case TFieldKind::Real: return generalFloatText(cfg.*(f.f64));
    case TFieldKind::Character: return relayByteText(cfg.*(f.ch));
    }
    return {};
}

std::string configJson(const TDisplayConfig& cfg)
{
    std::string out = "{\n";
    bool first = true;
    for (const TFieldInfo& f : kFields) {
        if (!first)
            out += ",\n";
        first = false;
        out += cfmt("  \"%s\": ", f.name);
        switch (f.kind) {
        case TFieldKind::Real: {
            const double v = cfg.*(f.f64);
            out += std::isfinite(v) ? exactRealText(v) : "null";
            break;
        }
        case TFieldKind::Character: {
            const auto c = static_cast<unsigned char>(cfg.*(f.ch));
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
        if (const TFieldInfo* field = findField(name)) {
            parsed.push_back({field, value, false, {}, false, 0, false});
            continue;
        }
        std::vector<TRecordAssignment> expanded;
        switch (expandPlain(name, value, expanded, error)) {
        case TPlainParse::Refused: return false;
        case TPlainParse::Done:
            for (const TRecordAssignment& r : expanded)
                parsed.push_back({findField(r.field), r.text, false, name, r.scaled, 0, r.onlyIfUnset});
            continue;
        case TPlainParse::NotPlain: break;
        }
        error = "unknown field \"" + name + "\"; the fields are " + plainNames() + ", or by their record names";
        for (const TFieldInfo& f : kFields)
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
        const auto count = countOf(a.text, setpointDecimals(cfg));
        a.count = count.value_or(0);
        if (count && *count >= INT32_MIN && *count <= INT32_MAX)
            cfg.*(a.field->i32) = static_cast<std::int32_t>(*count);
    }
    for (const TAssignment& a : parsed)
        if (!checkDependent(a, cfg, error))
            return false;

    // New digits or a new decimal point can leave values the file already
    // holds outside what their fields accept.
    std::vector<const char*> dependents;
    if (cfg.DigitsIndex != before.DigitsIndex)
        dependents = {"InputValue1", "DisplayValue1", "InputValue2", "DisplayValue2", "Relay1Setpoint",
                      "Relay2Setpoint"};
    else if (cfg.DecimalPoint != before.DecimalPoint)
        dependents = {"DisplayValue1", "DisplayValue2"};
    for (const char* name : dependents) {
        const TFieldInfo* field = findField(name);
        const bool assigned = std::any_of(parsed.begin(), parsed.end(),
                                          [&](const TAssignment& a) { return a.field == field; });
        if (assigned)
            continue;
        const std::string held = field->kind == TFieldKind::Real ? exactRealText(cfg.*(field->f64))
                                                                 : fieldText(*field, cfg);
        if (!checkDependent({field, held, true, {}, false, 0, false}, cfg, error))
            return false;
    }
    return true;
}

std::optional<std::string> receivedValueProblem(const TDisplayConfig& cfg)
{
    for (const TFieldInfo& f : kFields) {
        const std::string name = f.name;
        if (!travels(f))
            continue;
        switch (f.kind) {
        case TFieldKind::Index:
            if (cfg.*(f.u8) > f.high)
                return name + " " + fieldText(f, cfg) + cfmt(" is outside 0..%d", f.high);
            break;
        case TFieldKind::Real:
            if (!std::isfinite(cfg.*(f.f64)))
                return name + " is not a finite number";
            break;
        case TFieldKind::Character: {
            // A relay never set up holds the byte zero; the level of a relay
            // that is off is not read ('2' comes from a display).
            const char c = cfg.*(f.ch);
            const bool on = cfg.relay(name[5] - '0').Enabled == 1;
            if (name.find("DelayType") != std::string::npos) {
                if (c != '0' && c != '1' && c != '\0')
                    return name + " " + fieldText(f, cfg) + " is not 0 or 1";
            } else if (on && c != '0' && c != '1') {
                return name + " " + fieldText(f, cfg) + " is not 0 or 1 for a relay that is on";
            }
            break;
        }
        case TFieldKind::Integer:
            if (name.find("Delay") != std::string::npos && (cfg.*(f.i32) < 0 || cfg.*(f.i32) > 999))
                return name + " " + fieldText(f, cfg) + " is outside 0..999";
            break;
        }
    }
    return std::nullopt;
}

std::vector<TFieldDifference> compareWithReply(const TDisplayConfig& sent, std::span<const std::uint8_t> reply)
{
    TDisplayConfig got = sent;
    const TParamsReplyContents contents = parseAnalogParamsReply(reply, got);
    const TConfigRequest frame = buildConfigRequest(sent);

    std::vector<TFieldDifference> out;
    auto differ = [&](const char* name, bool equal) {
        const TFieldInfo& f = *findField(name);
        const auto is = [&](const char* field) { return std::string_view(field) == name; };
        const auto unreadable = std::find_if(contents.unreadable.begin(), contents.unreadable.end(),
                                             [&](const TUnreadableField& u) { return is(u.field); });
        if (std::none_of(contents.carried.begin(), contents.carried.end(), is))
            out.push_back({name, fieldText(f, sent), "not in the reply"});
        else if (unreadable != contents.unreadable.end())
            out.push_back({name, fieldText(f, sent), "not a number: \"" + unreadable->text + "\""});
        else if (!equal)
            out.push_back({name, fieldText(f, sent), fieldText(f, got)});
    };
    auto near = [](double a, double b, double tolerance) {
        return std::fabs(a - b) <= tolerance + 1e-9 * std::max(1.0, std::fabs(a));
    };

    differ("ProcessInput", got.ProcessInput == (sent.ProcessInput == 0 ? 0 : 1));
    // Input values travel as "+%6.3f" cut to seven characters: half a unit of its last digit.
    differ("InputValue1", near(sent.InputValue1, got.InputValue1, 0.5 / powerOfTen(frameDecimals(frame, 7))));
    differ("InputValue2", near(sent.InputValue2, got.InputValue2, 0.5 / powerOfTen(frameDecimals(frame, 25))));
    // Display values travel as whole display counts, and a decimal point above 4 as 4.
    const std::uint8_t decimalPoint = sentDecimalPoint(sent.DecimalPoint);
    const double countUnit = 1.0 / powerOfTen(decimalPoint);
    differ("DisplayValue1", near(sent.DisplayValue1, got.DisplayValue1, countUnit / 2));
    differ("DisplayValue2", near(sent.DisplayValue2, got.DisplayValue2, countUnit / 2));
    differ("DecimalPoint", got.DecimalPoint == decimalPoint);
    differ("ProbeType", got.ProbeType == sent.ProbeType);
    differ("TempUnits", got.TempUnits == sent.TempUnits);
    differ("Resolution", got.Resolution == sent.Resolution);
    // The offset travels as two digits cut from "%05.1f": whole degrees or tenths.
    const double offsetUnit = sent.Resolution == 0 ? 1.0 : 0.1;
    differ("TempOffset", std::fabs(sent.TempOffset - got.TempOffset) < offsetUnit - 1e-9);

    for (int n = 1; n <= 2; ++n) {
        const TConstRelayFields x = sent.relay(n);
        const TConstRelayFields y = std::as_const(got).relay(n);
        const std::string relay = cfmt("Relay%d", n);
        differ((relay + "Enabled").c_str(), (y.Enabled == 1) == (x.Enabled == 1));
        differ((relay + "DelayType").c_str(), y.DelayType == x.DelayType);
        if (x.Enabled == 1) // a relay off sends '2' in place of its level
            differ((relay + "TriggerLevel").c_str(), y.TriggerLevel == x.TriggerLevel);
        differ((relay + "Delay").c_str(), y.Delay == x.Delay);
        // The reply's five characters (0xB4 standing for "-1") carry less than the request's six.
        if (x.Setpoint < -19999 || x.Setpoint > 99999)
            out.push_back({relay + "Setpoint", cfmt("%d", x.Setpoint), kBeyondReply});
        else
            differ((relay + "Setpoint").c_str(), y.Setpoint == x.Setpoint);
    }
    return out;
}
