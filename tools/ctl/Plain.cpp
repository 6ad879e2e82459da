#include "tools/ctl/Plain.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <utility>

#include "base/Formats.h"
#include "config/DigitClass.h"
#include "config/LineFormat.h"
#include "tools/ctl/Fields.h"
#include "tools/ctl/JsonText.h"

namespace {

using C = TDisplayConfig;
using TText = std::function<std::optional<std::string>(const C&)>;
using TParse = std::function<bool(const std::string& value, std::vector<TRecordAssignment>& out)>;

struct TRow {
    TRow(std::string rowName, bool isNumber, std::vector<std::string> recordFields, std::string allowedValues)
        : name(std::move(rowName)), number(isNumber), fields(std::move(recordFields)), allowed(std::move(allowedValues))
    {
    }

    std::string name;
    bool number;
    // The record fields it stands for; a value without a plain form is given by the first.
    std::vector<std::string> fields;
    TText text;
    TParse parse;
    std::string allowed; // for a refusal: "must be " + allowed
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

// An index field with one word a list entry.
TRow choiceRow(const std::string& name, const std::string& field, std::uint8_t C::*member, std::vector<std::string> words,
            bool number = false)
{
    TRow row(name, number, {field}, either(words));
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

// An index field that holds a count less `offset` (digits 2..10 in 0..8).
TRow countRow(const std::string& name, const std::string& field, std::uint8_t C::*member, int offset, int high)
{
    TRow row(name, true, {field}, cfmt("a whole number from %d to %d", offset, high + offset));
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
TRow realRow(const std::string& name, const std::string& field, double C::*member)
{
    TRow row(name, true, {field}, {});
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

const std::vector<std::string> kSignals = {"voltage", "current"};
const std::vector<std::string> kProbes = {"pt100", "j", "k", "t"};
const std::vector<std::string> kRelayModes = {"off", "timed", "hysteresis"};
const std::vector<std::string> kDelayTypes = {"timed", "hysteresis"};
const std::vector<std::string> kTriggers = {"above", "below"};

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
std::optional<std::string> plainBit(char byte, const char* zero, const char* one)
{
    if (byte == '0')
        return zero;
    if (byte == '1')
        return one;
    return std::nullopt;
}

void addRelayRows(std::vector<TRow>& rows, int n)
{
    const std::string relay = cfmt("relay%d", n);
    const std::string record = cfmt("Relay%d", n);
    const int modeRow = static_cast<int>(rows.size());

    TRow mode(relay, false, {record + "Enabled", record + "DelayType"}, either(kRelayModes));
    mode.text = [n](const C& c) -> std::optional<std::string> {
        const TConstRelayFields r = c.relay(n);
        if (r.Enabled > 1)
            return std::nullopt;
        if (r.Enabled == 0)
            return "off";
        return plainBit(r.DelayType, "timed", "hysteresis");
    };
    mode.parse = [record](const std::string& value, std::vector<TRecordAssignment>& out) {
        const auto i = wordIndex(kRelayModes, value);
        if (!i)
            return false;
        out.push_back({record + "Enabled", *i == 0 ? "0" : "1"});
        if (*i > 0) {
            out.push_back({record + "DelayType", *i == 1 ? "0" : "1"});
            out.push_back({record + "TriggerLevel", "0", false, true});
        }
        return true;
    };
    rows.push_back(mode);

    TRow type(relay + "-type", false, {record + "DelayType"}, either(kDelayTypes));
    type.text = [n](const C& c) -> std::optional<std::string> {
        return plainBit(c.relay(n).DelayType, "timed", "hysteresis");
    };
    type.parse = [record](const std::string& value, std::vector<TRecordAssignment>& out) {
        const auto i = wordIndex(kDelayTypes, value);
        if (i)
            out.push_back({record + "DelayType", std::to_string(*i)});
        return i.has_value();
    };
    type.partOf = modeRow;
    type.named = [n](const C& c) { return c.relay(n).Enabled == 1; };
    rows.push_back(type);

    TRow trigger(relay + "-trigger", false, {record + "TriggerLevel"}, either(kTriggers));
    trigger.text = [n](const C& c) -> std::optional<std::string> {
        return plainBit(c.relay(n).TriggerLevel, "above", "below");
    };
    trigger.parse = [record](const std::string& value, std::vector<TRecordAssignment>& out) {
        const auto i = wordIndex(kTriggers, value);
        if (i)
            out.push_back({record + "TriggerLevel", std::to_string(*i)});
        return i.has_value();
    };
    rows.push_back(trigger);

    TRow delay(relay + "-delay", true, {record + "Delay"}, {});
    delay.text = [n](const C& c) -> std::optional<std::string> {
        const std::int32_t d = c.relay(n).Delay;
        if (d >= 0 && d <= 999)
            return std::to_string(d);
        return std::nullopt;
    };
    delay.parse = [record](const std::string& value, std::vector<TRecordAssignment>& out) {
        out.push_back({record + "Delay", value});
        return true;
    };
    rows.push_back(delay);

    TRow setpoint(relay + "-setpoint", true, {record + "Setpoint"}, {});
    setpoint.text = [n](const C& c) -> std::optional<std::string> {
        return setpointText(c.relay(n).Setpoint, setpointDecimals(c));
    };
    setpoint.parse = [record](const std::string& value, std::vector<TRecordAssignment>& out) {
        out.push_back({record + "Setpoint", value, true, false});
        return true;
    };
    rows.push_back(setpoint);
}

const std::vector<TRow>& rows()
{
    static const std::vector<TRow> table = [] {
        std::vector<TRow> t;
        t.push_back(choiceRow("port", "PortIndex", &C::PortIndex, {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"}));
        t.push_back(choiceRow("baud", "BaudIndex", &C::BaudIndex, speedWords(), true));
        t.push_back(choiceRow("parity", "ParityIndex", &C::ParityIndex, {"even", "odd", "none"}));
        t.push_back(choiceRow("data-bits", "DataBitsIndex", &C::DataBitsIndex, {"7", "8"}, true));
        t.push_back(choiceRow("stop-bits", "StopBitsIndex", &C::StopBitsIndex, {"1", "2"}, true));
        t.push_back(countRow("address", "Address", &C::Address, 0, 31));
        t.push_back(countRow("digits", "DigitsIndex", &C::DigitsIndex, 2, 8));

        const int inputRow = static_cast<int>(t.size());
        std::vector<std::string> inputs = kSignals;
        inputs.insert(inputs.end(), kProbes.begin(), kProbes.end());
        TRow input("input", false, {"InputMode", "ProcessInput", "ProbeType"}, either(inputs));
        input.text = [](const C& c) -> std::optional<std::string> {
            if (c.InputMode == 0 && c.ProcessInput < kSignals.size())
                return kSignals[c.ProcessInput];
            if (c.InputMode == 1 && c.ProbeType < kProbes.size())
                return kProbes[c.ProbeType];
            return std::nullopt;
        };
        input.parse = [inputs](const std::string& value, std::vector<TRecordAssignment>& out) {
            const auto i = wordIndex(inputs, value);
            if (!i)
                return false;
            const bool process = *i < kSignals.size();
            out.push_back({"InputMode", process ? "0" : "1"});
            out.push_back({process ? "ProcessInput" : "ProbeType",
                           std::to_string(process ? *i : *i - kSignals.size())});
            return true;
        };
        t.push_back(input);
        TRow signal = choiceRow("signal", "ProcessInput", &C::ProcessInput, kSignals);
        signal.partOf = inputRow;
        signal.named = [](const C& c) { return c.InputMode == 0; };
        t.push_back(signal);
        TRow probe = choiceRow("probe", "ProbeType", &C::ProbeType, kProbes);
        probe.partOf = inputRow;
        probe.named = [](const C& c) { return c.InputMode == 1; };
        t.push_back(probe);

        t.push_back(countRow("point", "DecimalPoint", &C::DecimalPoint, 0, 4));
        t.push_back(realRow("in1", "InputValue1", &C::InputValue1));
        t.push_back(realRow("disp1", "DisplayValue1", &C::DisplayValue1));
        t.push_back(realRow("in2", "InputValue2", &C::InputValue2));
        t.push_back(realRow("disp2", "DisplayValue2", &C::DisplayValue2));
        t.push_back(choiceRow("units", "TempUnits", &C::TempUnits, {"F", "C"}));
        t.push_back(choiceRow("resolution", "Resolution", &C::Resolution, {"1", "0.1"}, true));
        t.push_back(realRow("offset", "TempOffset", &C::TempOffset));
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
    const TFieldInfo& field = *findField(row.fields.front());
    return {field.name, fieldText(field, c), field.kind != TFieldKind::Character};
}

bool namedByPart(const TRow& row, const C& c)
{
    return row.partOf >= 0 && rows()[static_cast<std::size_t>(row.partOf)].text(c) && row.named(c);
}

} // namespace

int setpointDecimals(const TDisplayConfig& cfg)
{
    return std::min<int>(cfg.DecimalPoint, digitclass::cap(digitclass::of(cfg.DigitsIndex)));
}

TPlainParse expandPlain(const std::string& name, const std::string& value, std::vector<TRecordAssignment>& out,
                        std::string& error)
{
    for (const TRow& row : rows()) {
        if (name != row.name)
            continue;
        if (row.parse(value, out))
            return TPlainParse::Done;
        error = name + " must be " + row.allowed + ", not \"" + value + "\"";
        return TPlainParse::Refused;
    }
    return TPlainParse::NotPlain;
}

std::vector<std::string> plainFields(const std::string& name)
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
    std::vector<TPlainLine> out;
    for (const TRow& row : rows())
        if (!namedByPart(row, cfg))
            out.push_back(lineOf(row, cfg));
    return out;
}

std::vector<TPlainDifference> plainDifferences(const TDisplayConfig& a, const TDisplayConfig& b,
                                               const std::vector<std::string>* only)
{
    std::vector<TPlainDifference> out;
    for (const TRow& row : rows()) {
        if (only && std::none_of(row.fields.begin(), row.fields.end(), [&](const std::string& f) {
                return std::find(only->begin(), only->end(), f) != only->end();
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
