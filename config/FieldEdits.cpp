#include "config/FieldEdits.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>

#include "base/Formats.h"
#include "base/Texts.h"
#include "config/DigitClass.h"
#include "config/PlainFields.h"

namespace {

std::string say(const TTexts& texts, TLanguage language, std::initializer_list<std::string> args = {})
{
    return fillIn(texts.pick(language), args);
}

const TTexts kOr{" o ", " o ", " ou ", " or "};
const TTexts kRefused{"%1 ha de ser %2, no \"%3\"", "%1 debe ser %2, no \"%3\"", "%1 doit être %2, et non \"%3\"",
                      "%1 must be %2, not \"%3\""};
const TTexts kNot{"no \"%1\"", "no \"%1\"", "et non \"%1\"", "not \"%1\""};
const TTexts kKeptFromFile{" (conservat de l'arxiu; doneu-li un valor nou a la mateixa ordre)",
                           " (conservado del archivo; dele un valor nuevo en la misma orden)",
                           " (conservé du fichier ; donnez-lui une nouvelle valeur dans la même commande)",
                           " (kept from the file; give it a new value in the same command)"};
const TTexts kWholeNumber{"un nombre enter de %1 a %2", "un número entero de %1 a %2", "un nombre entier de %1 à %2",
                          "a whole number from %1 to %2"};
const TTexts kAnyWholeNumber{"un nombre enter", "un número entero", "un nombre entier", "a whole number"};
const TTexts kPointNumber{"un nombre escrit amb un '.' per als decimals", "un número escrito con un '.' para los decimales",
                          "un nombre écrit avec un '.' pour les décimales", "a number written with a '.' for decimals"};
const TTexts kFromTo{"%1 ha de ser de %2 a %3 %4", "%1 debe ser de %2 a %3 %4", "%1 doit être de %2 à %3 %4",
                     "%1 must be from %2 to %3 %4"};
const TTexts kCountsFromTo{"%1 ha de ser un nombre enter de comptes del visualitzador de %2 a %3",
                           "%1 debe ser un número entero de cuentas del visualizador de %2 a %3",
                           "%1 doit être un nombre entier de points de l'afficheur de %2 à %3",
                           "%1 must be a whole number of display counts from %2 to %3"};
const TTexts kNoDecimals{"sense decimals", "sin decimales", "sans décimale", "with no decimals"};
const TTexts kOneDecimal{"amb 1 decimal com a màxim", "con 1 decimal como máximo", "avec au plus 1 décimale",
                         "with at most 1 decimal"};
const TTexts kDecimals{"amb %1 decimals com a màxim", "con %1 decimales como máximo", "avec au plus %1 décimales",
                       "with at most %1 decimals"};
const TTexts kDigits{"%1 dígits", "%1 dígitos", "%1 chiffres", "%1 digits"};
const TTexts kDecimalPoint{", punt decimal %1", ", punto decimal %1", ", point décimal %1", ", decimal point %1"};
const TTexts kOtherByte{"%1 ha de ser %2 (%3), o un altre byte com a <XX> en hexadecimal, no \"%4\"",
                        "%1 debe ser %2 (%3), u otro byte como <XX> en hexadecimal, no \"%4\"",
                        "%1 doit être %2 (%3), ou un autre octet sous la forme <XX> en hexadécimal, et non \"%4\"",
                        "%1 must be %2 (%3), or another byte as <XX> in hexadecimal, not \"%4\""};
// FIELD=VALUE as set's synopsis writes it, in every language.
const TTexts kNotFieldValue{"\"%1\" no té la forma FIELD=VALUE", "\"%1\" no tiene la forma FIELD=VALUE",
                            "\"%1\" n'est pas de la forme FIELD=VALUE", "\"%1\" is not FIELD=VALUE"};
const TTexts kUnknownField{"camp desconegut \"%1\"; els camps són %2, o pels seus noms del registre %3",
                           "campo desconocido \"%1\"; los campos son %2, o por sus nombres del registro %3",
                           "champ inconnu \"%1\" ; les champs sont %2, ou par leurs noms dans l'enregistrement %3",
                           "unknown field \"%1\"; the fields are %2, or by their record names %3"};
const TTexts kOutside{" és fora de %1..%2", " está fuera de %1..%2", " est hors de %1..%2", " is outside %1..%2"};
const TTexts kNotFinite{"%1 no és un nombre finit", "%1 no es un número finito", "%1 n'est pas un nombre fini",
                        "%1 is not a finite number"};
const TTexts kNotChoice{"%1 no és %2", "%1 no es %2", "%1 n'est pas %2", "%1 is not %2"};
const TTexts kNotChoiceRelayOn{"%1 no és %2 per a un relé activat", "%1 no es %2 para un relé activado",
                               "%1 n'est pas %2 pour un relais activé", "%1 is not %2 for a relay that is on"};

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

std::string decimalsText(int decimals, TLanguage language)
{
    return decimals == 0 ? say(kNoDecimals, language)
         : decimals == 1 ? say(kOneDecimal, language)
                         : say(kDecimals, language, {std::to_string(decimals)});
}

// A count of display units with `decimals` decimals, as text.
std::string countText(long long count, int decimals)
{
    return generalFloatText(static_cast<double>(count) / static_cast<double>(powerOfTen(decimals)));
}

// "4 digits"
std::string digitsText(const TDisplayConfig& cfg, TLanguage language)
{
    return say(kDigits, language, {std::to_string(cfg.DigitsIndex + recordField(&TDisplayConfig::DigitsIndex).countBase)});
}

// "0 or 1": the bytes a relay character chooses from.
std::string choiceValues(const TRecordField& f, TLanguage language)
{
    std::vector<std::string> bytes;
    for (const TFieldChoice& c : f.choices)
        bytes.emplace_back(1, static_cast<char>(c.value));
    return either(bytes, language);
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
std::string notText(const TAssignment& a, TLanguage language)
{
    std::string out = say(kNot, language, {a.text});
    if (a.held)
        out += say(kKeptFromFile, language);
    return out;
}

// Checks that need the whole configuration: the digits and the decimal point
// decide what the masked fields can hold.
bool checkDependent(const TAssignment& a, const TDisplayConfig& cfg, TLanguage language, std::string& error)
{
    const TRecordField& f = *a.field;
    if (f.depends == kDependsOnNothing)
        return true;
    const std::string shown = a.name();
    const TFieldLimits limits = f.limitsIn(cfg);
    const std::string digits = digitsText(cfg, language);
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
            error = say(kFromTo, language,
                        {shown, countText(limits.low, decimals), countText(limits.high, decimals),
                         decimalsText(decimals, language)})
                + " (" + digits + (point ? say(kDecimalPoint, language, {std::to_string(cfg.DecimalPoint)}) : "")
                + "), " + notText(a, language);
            return false;
        }
        return true;
    }
    const std::int32_t v = cfg.*f.i32;
    if (!number.whole || v < limits.low || v > limits.high) {
        error = say(kCountsFromTo, language, {shown, std::to_string(limits.low), std::to_string(limits.high)}) + " ("
            + digits + "), " + notText(a, language);
        return false;
    }
    return true;
}

// Parses one value and checks what does not depend on other fields.
bool assign(const TAssignment& a, TDisplayConfig& cfg, TLanguage language, std::string& error)
{
    const TRecordField& f = *a.field;
    const std::string name = a.name();
    const bool fixed = f.depends == kDependsOnNothing;
    TNumber number;
    const bool numeric = readNumberText(a.text, number);
    switch (f.type) {
    case TFieldType::Index: {
        const TFieldLimits limits = f.limitsIn(cfg);
        const std::int32_t v = numeric && number.whole ? textToInt(a.text) : -1;
        if (!numeric || !number.whole || v < limits.low || v > limits.high) {
            error = refusalText(name, wholeNumberWords(limits.low, limits.high, language), a.text, language);
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
                meanings += (meanings.empty() ? "" : ", ") + std::string(1, static_cast<char>(c.value)) + " "
                    + (c.meaning ? c.meaning->pick(language) : c.word);
            error = say(kOtherByte, language, {name, choiceValues(f, language), meanings, a.text});
            return false;
        }
        cfg.*f.ch = *byte;
        return true;
    }
    case TFieldType::Integer: {
        if (a.scaled) {
            TNumber scaled;
            if (!readNumberText(a.text, scaled)) {
                error = refusalText(name, say(kPointNumber, language), a.text, language);
                return false;
            }
            return true;
        }
        const TFieldLimits limits = f.limitsIn(cfg);
        const std::int32_t v = numeric && number.whole ? textToInt(a.text) : 0;
        if (!numeric || !number.whole || (fixed && (v < limits.low || v > limits.high))) {
            const std::string allowed =
                fixed ? wholeNumberWords(limits.low, limits.high, language) : say(kAnyWholeNumber, language);
            error = refusalText(name, allowed, a.text, language);
            return false;
        }
        cfg.*f.i32 = v;
        return true;
    }
    case TFieldType::Real: {
        if (!numeric) {
            error = refusalText(name, say(kPointNumber, language), a.text, language);
            return false;
        }
        const double v = textToDouble(a.text);
        const TFieldLimits limits = f.limitsIn(cfg);
        if (fixed && (v < limits.lowest() || v > limits.highest() || number.decimals > limits.decimals)) {
            error = say(kFromTo, language,
                        {name, countText(limits.low, limits.decimals), countText(limits.high, limits.decimals),
                         decimalsText(limits.decimals, language)})
                + ", " + say(kNot, language, {a.text});
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

std::string either(const std::vector<std::string>& words, TLanguage language)
{
    std::string out;
    for (std::size_t i = 0; i < words.size(); ++i)
        out += (i == 0 ? "" : i + 1 == words.size() ? kOr.pick(language) : ", ") + words[i];
    return out;
}

std::string outsideText(const TFieldLimits& limits, TLanguage language)
{
    return say(kOutside, language, {std::to_string(limits.low), std::to_string(limits.high)});
}

std::string wholeNumberWords(long long low, long long high, TLanguage language)
{
    return say(kWholeNumber, language, {std::to_string(low), std::to_string(high)});
}

std::string refusalText(const std::string& name, const std::string& allowed, const std::string& value, TLanguage language)
{
    return say(kRefused, language, {name, allowed, value});
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

bool applyAssignments(std::span<const std::string> assignments, TLanguage language, TDisplayConfig& cfg,
                      std::string& error)
{
    std::vector<TAssignment> parsed;
    for (const std::string& text : assignments) {
        const auto eq = text.find('=');
        if (eq == std::string::npos) {
            error = say(kNotFieldValue, language, {text});
            return false;
        }
        const std::string name = text.substr(0, eq);
        const std::string value = text.substr(eq + 1);
        if (const TRecordField* field = findRecordField(name)) {
            parsed.push_back({field, value, false, {}, false, 0, false});
            continue;
        }
        std::vector<TRecordAssignment> expanded;
        switch (expandPlain(name, value, language, expanded, error)) {
        case TPlainParse::Refused: return false;
        case TPlainParse::Done:
            for (const TRecordAssignment& r : expanded)
                parsed.push_back({r.field, r.text, false, name, r.scaled, 0, r.onlyIfUnset});
            continue;
        case TPlainParse::NotPlain: break;
        }
        std::string recordNames;
        for (const TRecordField& f : recordFields())
            recordNames += (recordNames.empty() ? "" : " ") + std::string(f.name);
        error = say(kUnknownField, language, {name, plainNames(), recordNames});
        return false;
    }
    const TDisplayConfig before = cfg;
    for (const TAssignment& a : parsed)
        if (!a.onlyIfUnset && !assign(a, cfg, language, error))
            return false;
    for (const TAssignment& a : parsed) {
        const char held = a.onlyIfUnset ? cfg.*(a.field->ch) : '0';
        const bool given = std::any_of(parsed.begin(), parsed.end(), [&](const TAssignment& other) {
            return !other.onlyIfUnset && other.field == a.field;
        });
        if (held != '0' && held != '1' && !given && !assign(a, cfg, language, error))
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
        if (!checkDependent(a, cfg, language, error))
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
        if (!checkDependent({field, held, true, {}, false, 0, false}, cfg, language, error))
            return false;
    }
    return true;
}

std::optional<std::string> receivedValueProblem(const TDisplayConfig& cfg, TLanguage language)
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
                return what + outsideText(limits, language);
            break;
        }
        case TFieldType::Real:
            if (!std::isfinite(cfg.*f.f64))
                return say(kNotFinite, language, {f.name});
            break;
        case TFieldType::Character: {
            // A relay never set up holds the byte zero; the level of a relay
            // that is off is not read ('2' comes from a display).
            const char c = cfg.*f.ch;
            const bool chosen = f.choice(static_cast<unsigned char>(c)) != nullptr;
            if (f.whileRelayOn) {
                if (cfg.relay(f.relay).Enabled == 1 && !chosen)
                    return say(kNotChoiceRelayOn, language, {what, choiceValues(f, language)});
            } else if (!chosen && c != '\0') {
                return say(kNotChoice, language, {what, choiceValues(f, language)});
            }
            break;
        }
        }
    }
    return std::nullopt;
}
