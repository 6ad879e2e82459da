#include "config/PlainFields.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <utility>

#include "base/Formats.h"
#include "config/DigitClass.h"
#include "config/FieldEdits.h"
#include "config/LineFormat.h"

namespace {

using C = TDisplayConfig;
using TText = std::function<std::optional<std::string>(const C&)>;
using TParse = std::function<bool(const std::string& value, std::vector<TRecordAssignment>& out)>;

using TFields = std::vector<const TRecordField*>;
// For a refusal, in the language: "must be " + allowed.
using TAllowed = std::function<std::string(TLanguage language)>;

// "a, b or c" of the words.
TAllowed oneOf(std::vector<std::string> words)
{
    return [words = std::move(words)](TLanguage language) { return either(words, language); };
}

struct TRow {
    TRow(std::string rowName, bool isNumber, TFields recordFields, TAllowed allowedValues)
        : name(std::move(rowName)), number(isNumber), fields(std::move(recordFields)), allowed(std::move(allowedValues))
    {
    }

    std::string name;
    bool number;
    // The record fields it stands for; a value without a plain form is given by the first.
    TFields fields;
    TText text;
    TParse parse;
    TAllowed allowed;
    // The row that already names this one's value where `named` holds ("input" for "signal").
    int partOf = -1;
    std::function<bool(const C&)> named;
};

bool sameWord(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<std::size_t> wordIndex(const std::vector<std::string>& words, const std::string& value)
{
    for (std::size_t i = 0; i < words.size(); ++i)
        if (sameWord(words[i], value))
            return i;
    return std::nullopt;
}

// The plain words of a field's choices, in list order.
std::vector<std::string> wordsOf(const TRecordField& field)
{
    std::vector<std::string> words;
    for (const TFieldChoice& c : field.choices)
        words.push_back(c.word);
    return words;
}

// An index field with one word a list entry.
TRow choiceRow(std::uint8_t C::*member, std::vector<std::string> words, bool number = false)
{
    const TRecordField* field = &recordField(member);
    TRow row(field->plain, number, {field}, oneOf(words));
    row.text = [member, words](const C& c) -> std::optional<std::string> {
        if (c.*member < words.size())
            return words[c.*member];
        return std::nullopt;
    };
    row.parse = [field, words](const std::string& value, std::vector<TRecordAssignment>& out) {
        const auto i = wordIndex(words, value);
        if (i)
            out.push_back({field, std::to_string(*i), false, false});
        return i.has_value();
    };
    return row;
}

TRow choiceRow(std::uint8_t C::*member, bool number = false)
{
    return choiceRow(member, wordsOf(recordField(member)), number);
}

// An index field that holds a count less its base (digits 2..10 in 0..8).
TRow countRow(std::uint8_t C::*member)
{
    const TRecordField* field = &recordField(member);
    const int offset = field->countBase;
    const auto high = static_cast<int>(field->limits({}).high);
    TRow row(field->plain, true, {field},
             [offset, high](TLanguage language) { return wholeNumberWords(offset, high + offset, language); });
    row.text = [member, offset, high](const C& c) -> std::optional<std::string> {
        if (c.*member <= high)
            return std::to_string(c.*member + offset);
        return std::nullopt;
    };
    row.parse = [field, offset, high](const std::string& value, std::vector<TRecordAssignment>& out) {
        const bool digitsOnly =
            std::all_of(value.begin(), value.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
        if (value.empty() || value.size() > 9 || !digitsOnly)
            return false;
        const int n = std::stoi(value);
        if (n < offset || n > high + offset)
            return false;
        out.push_back({field, std::to_string(n - offset)});
        return true;
    };
    return row;
}

// A number kept as the record keeps it; its bounds are the record field's.
TRow realRow(double C::*member)
{
    const TRecordField* field = &recordField(member);
    TRow row(field->plain, true, {field}, {});
    row.text = [member](const C& c) -> std::optional<std::string> {
        if (std::isfinite(c.*member))
            return exactRealText(c.*member);
        return std::nullopt;
    };
    row.parse = [field](const std::string& value, std::vector<TRecordAssignment>& out) {
        out.push_back({field, value});
        return true;
    };
    return row;
}

std::string setpointText(std::int32_t count, int decimals)
{
    long long scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    const long long magnitude = std::llabs(static_cast<long long>(count));
    std::string text = (count < 0 ? "-" : "") + std::to_string(magnitude / scale);
    if (decimals > 0)
        text += cfmt(".%0*lld", decimals, magnitude % scale);
    return text;
}

// A relay's '0' or '1' byte by its plain word. Any other byte (the zero of a
// relay never set up) has none: it is given by its record name, so that a
// round trip through set keeps the byte the request carries.
std::optional<std::string> plainBit(const TRecordField& field, char byte)
{
    if (const TFieldChoice* c = field.choice(static_cast<unsigned char>(byte)))
        return c->word;
    return std::nullopt;
}

// A relay character's text in an assignment: the byte of choice i.
std::string bitText(const TRecordField& field, std::size_t i)
{
    return std::string(1, static_cast<char>(field.choices[i].value));
}

// A relay row that picks one choice of its character.
TRow bitRow(const TRecordField* field)
{
    const std::vector<std::string> words = wordsOf(*field);
    TRow row(field->plain, false, {field}, oneOf(words));
    row.text = [field](const C& c) -> std::optional<std::string> { return plainBit(*field, c.*field->ch); };
    row.parse = [field, words](const std::string& value, std::vector<TRecordAssignment>& out) {
        const auto i = wordIndex(words, value);
        if (i)
            out.push_back({field, bitText(*field, *i)});
        return i.has_value();
    };
    return row;
}

void addRelayRows(std::vector<TRow>& rows, int n)
{
    // The fields of relay n, found by where relay(n) keeps them.
    static const TDisplayConfig shape{};
    const TConstRelayFields r = shape.relay(n);
    const auto field = [](const void* member) { return &recordFieldAt(shape, member); };
    const TRecordField* enabled = field(&r.Enabled);
    const TRecordField* delayType = field(&r.DelayType);
    const TRecordField* trigger = field(&r.TriggerLevel);
    const int modeRow = static_cast<int>(rows.size());

    // "off", or the delay type of a relay that is on.
    std::vector<std::string> modes = wordsOf(*delayType);
    modes.insert(modes.begin(), enabled->choices[0].word);
    TRow mode(enabled->plain, false, {enabled, delayType}, oneOf(modes));
    mode.text = [n, delayType, modes](const C& c) -> std::optional<std::string> {
        const TConstRelayFields x = c.relay(n);
        if (x.Enabled > 1)
            return std::nullopt;
        if (x.Enabled == 0)
            return modes[0];
        return plainBit(*delayType, x.DelayType);
    };
    mode.parse = [enabled, delayType, trigger, modes](const std::string& value, std::vector<TRecordAssignment>& out) {
        const auto i = wordIndex(modes, value);
        if (!i)
            return false;
        out.push_back({enabled, *i == 0 ? "0" : "1"});
        if (*i > 0) {
            out.push_back({delayType, bitText(*delayType, *i - 1)});
            out.push_back({trigger, bitText(*trigger, 0), false, true});
        }
        return true;
    };
    rows.push_back(mode);

    TRow type = bitRow(delayType);
    type.partOf = modeRow;
    type.named = [n](const C& c) { return c.relay(n).Enabled == 1; };
    rows.push_back(type);
    rows.push_back(bitRow(trigger));

    const TRecordField* delayField = field(&r.Delay);
    TRow delay(delayField->plain, true, {delayField}, {});
    delay.text = [delayField](const C& c) -> std::optional<std::string> {
        const std::int32_t d = c.*delayField->i32;
        const TFieldLimits limits = delayField->limits({});
        if (d >= limits.low && d <= limits.high)
            return std::to_string(d);
        return std::nullopt;
    };
    delay.parse = [delayField](const std::string& value, std::vector<TRecordAssignment>& out) {
        out.push_back({delayField, value});
        return true;
    };
    rows.push_back(delay);

    const TRecordField* setpointField = field(&r.Setpoint);
    TRow setpoint(setpointField->plain, true, {setpointField}, {});
    setpoint.text = [setpointField](const C& c) -> std::optional<std::string> {
        return setpointText(c.*setpointField->i32, digitclass::shownDecimals(c.DigitsIndex, c.DecimalPoint));
    };
    setpoint.parse = [setpointField](const std::string& value, std::vector<TRecordAssignment>& out) {
        out.push_back({setpointField, value, true, false});
        return true;
    };
    rows.push_back(setpoint);
}

const std::vector<TRow>& rows()
{
    static const std::vector<TRow> table = [] {
        std::vector<TRow> t;
        t.push_back(choiceRow(&C::PortIndex));
        t.push_back(choiceRow(&C::BaudIndex, speedWords(), true));
        t.push_back(choiceRow(&C::ParityIndex));
        t.push_back(choiceRow(&C::DataBitsIndex, true));
        t.push_back(choiceRow(&C::StopBitsIndex, true));
        t.push_back(countRow(&C::Address));
        t.push_back(countRow(&C::DigitsIndex));

        // The process signal or the temperature probe, in one word.
        const int inputRow = static_cast<int>(t.size());
        const TRecordField* mode = &recordField(&C::InputMode);
        const TRecordField* signalField = &recordField(&C::ProcessInput);
        const TRecordField* probeField = &recordField(&C::ProbeType);
        const std::vector<std::string> signals = wordsOf(*signalField);
        const std::vector<std::string> probes = wordsOf(*probeField);
        std::vector<std::string> inputs = signals;
        inputs.insert(inputs.end(), probes.begin(), probes.end());
        TRow input(mode->plain, false, {mode, signalField, probeField}, oneOf(inputs));
        input.text = [signals, probes](const C& c) -> std::optional<std::string> {
            if (c.InputMode == 0 && c.ProcessInput < signals.size())
                return signals[c.ProcessInput];
            if (c.InputMode == 1 && c.ProbeType < probes.size())
                return probes[c.ProbeType];
            return std::nullopt;
        };
        input.parse = [=](const std::string& value, std::vector<TRecordAssignment>& out) {
            const auto i = wordIndex(inputs, value);
            if (!i)
                return false;
            const bool process = *i < signals.size();
            out.push_back({mode, process ? "0" : "1"});
            out.push_back({process ? signalField : probeField, std::to_string(process ? *i : *i - signals.size())});
            return true;
        };
        t.push_back(input);
        TRow signal = choiceRow(&C::ProcessInput);
        signal.partOf = inputRow;
        signal.named = [](const C& c) { return c.InputMode == 0; };
        t.push_back(signal);
        TRow probe = choiceRow(&C::ProbeType);
        probe.partOf = inputRow;
        probe.named = [](const C& c) { return c.InputMode == 1; };
        t.push_back(probe);

        t.push_back(countRow(&C::DecimalPoint));
        t.push_back(realRow(&C::InputValue1));
        t.push_back(realRow(&C::DisplayValue1));
        t.push_back(realRow(&C::InputValue2));
        t.push_back(realRow(&C::DisplayValue2));
        t.push_back(choiceRow(&C::TempUnits));
        t.push_back(choiceRow(&C::Resolution, true));
        t.push_back(realRow(&C::TempOffset));
        addRelayRows(t, 1);
        addRelayRows(t, 2);
        return t;
    }();
    return table;
}

// The row's value, or its first record field's as NAME=VALUE when it has no plain form.
TPlainLine lineOf(const TRow& row, const C& c)
{
    if (const auto text = row.text(c))
        return {row.name, *text, row.number};
    const TRecordField& field = *row.fields.front();
    return {field.name, fieldText(field, c), field.type != TFieldType::Character};
}

bool namedByPart(const TRow& row, const C& c)
{
    return row.partOf >= 0 && rows()[static_cast<std::size_t>(row.partOf)].text(c) && row.named(c);
}

} // namespace

TPlainParse expandPlain(const std::string& name, const std::string& value, TLanguage language,
                        std::vector<TRecordAssignment>& out, std::string& error)
{
    for (const TRow& row : rows()) {
        if (name != row.name)
            continue;
        if (row.parse(value, out))
            return TPlainParse::Done;
        error = refusalText(name, row.allowed(language), value, language);
        return TPlainParse::Refused;
    }
    return TPlainParse::NotPlain;
}

std::vector<const TRecordField*> plainFields(const std::string& name)
{
    for (const TRow& row : rows())
        if (row.name == name)
            return row.fields;
    return {};
}

std::string plainNames()
{
    std::string out;
    for (const TRow& row : rows())
        out += (out.empty() ? "" : " ") + row.name;
    return out;
}

std::vector<TPlainLine> plainLines(const TDisplayConfig& cfg)
{
    return plainLines(cfg, [](const TRecordField&) { return true; });
}

std::vector<TPlainLine> plainLines(const TDisplayConfig& cfg, const std::function<bool(const TRecordField&)>& only)
{
    const auto kept = [&](const TRow& row) {
        return std::all_of(row.fields.begin(), row.fields.end(), [&](const TRecordField* f) { return only(*f); });
    };
    std::vector<TPlainLine> out;
    for (const TRow& row : rows()) {
        const bool partKept = row.partOf >= 0 && kept(rows()[static_cast<std::size_t>(row.partOf)]);
        if (kept(row) && !(partKept && namedByPart(row, cfg)))
            out.push_back(lineOf(row, cfg));
    }
    return out;
}

std::vector<TPlainDifference> plainDifferences(const TDisplayConfig& a, const TDisplayConfig& b,
                                               const std::vector<std::string>* only)
{
    std::vector<TPlainDifference> out;
    for (const TRow& row : rows()) {
        if (only && std::none_of(row.fields.begin(), row.fields.end(), [&](const TRecordField* f) {
                return std::find(only->begin(), only->end(), f->name) != only->end();
            }))
            continue;
        // A difference the row it is part of already tells.
        if (namedByPart(row, a) && namedByPart(row, b))
            continue;
        const TPlainLine x = lineOf(row, a);
        const TPlainLine y = lineOf(row, b);
        const std::string xs = x.name == row.name ? x.value : x.name + "=" + x.value;
        const std::string ys = y.name == row.name ? y.value : y.name + "=" + y.value;
        const bool numbers = row.number && x.name == row.name && y.name == row.name;
        // Numbers differ by value: "0.00" and "0", "-0" and "0" are the same.
        if (numbers ? textToDouble(x.value) != textToDouble(y.value) : xs != ys)
            out.push_back({row.name, xs, ys, numbers});
    }
    return out;
}
