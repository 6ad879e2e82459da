#include "config/RecordFields.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "config/DigitClass.h"

namespace {

using C = TDisplayConfig;

using digitclass::powerOfTen;

template <long long Low, long long High, int Decimals = 0> TFieldLimits fixedLimits(TFieldContext)
{
    return {Low, High, Decimals};
}

// -99.9 to 99.9, with the decimals of the input-value field of the digits.
TFieldLimits inputValueLimits(TFieldContext x)
{
    const int decimals = digitclass::inputDecimals(digitclass::of(x.digitsIndex));
    const long long tenth = powerOfTen(decimals - 1);
    return {-999 * tenth, 999 * tenth, decimals};
}

// What the field holds (a sign or digit and `cls` digits, over 10^decimals),
// within -19999 .. 9999 (19999 with five digits).
TFieldLimits displayValueLimits(TFieldContext x)
{
    const int cls = digitclass::of(x.digitsIndex);
    const int decimals = digitclass::shownDecimals(x.digitsIndex, x.decimalPoint);
    const long long scale = powerOfTen(decimals);
    const long long highest = x.digitsIndex == 3 ? 19999 : 9999;
    return {
        std::max(-(powerOfTen(cls) - 1), -19999 * scale), std::min(powerOfTen(cls + 1) - 1, highest * scale), decimals};
}

// Display counts: what the level field of the digits holds.
TFieldLimits setpointLimits(TFieldContext x)
{
    const int cls = digitclass::of(x.digitsIndex);
    return {-(powerOfTen(cls) - 1), powerOfTen(cls + 1) - 1, 0};
}

std::string inputValueMask(TFieldContext x)
{
    return digitclass::inputValueMask(digitclass::of(x.digitsIndex));
}

std::string displayValueMask(TFieldContext x)
{
    return digitclass::displayValueMask(digitclass::of(x.digitsIndex), x.decimalPoint);
}

// Whole degrees; the value is limited when stored.
std::string offsetMask(TFieldContext)
{
    return "#99;0; ";
}

std::string delayMask(TFieldContext)
{
    return "999;0;0";
}

constexpr TFieldChoice kPorts[] = {
    {0, "COM1", "COM1"},
    {1, "COM2", "COM2"},
    {2, "COM3", "COM3"},
    {3, "COM4", "COM4"},
    {4, "COM5", "COM5"},
    {5, "COM6", "COM6"},
};
constexpr TFieldChoice kParities[] = {{0, "even", "Par"}, {1, "odd", "Impar"}, {2, "none", "Sin"}};
constexpr TFieldChoice kDataBits[] = {{0, "7", "7"}, {1, "8", "8"}};
constexpr TFieldChoice kStopBits[] = {{0, "1", "1"}, {1, "2", "2"}};
constexpr TFieldChoice kInputModes[] = {{0, "process"}, {1, "temperature"}};
constexpr TFieldChoice kSignals[] = {{0, "voltage"}, {1, "current"}};
// The panel names a sixth position, which no editor offers.
constexpr TFieldChoice kPoints[] = {
    {0, "0", "0"},
    {1, "1", "0,0"},
    {2, "2", "0,00"},
    {3, "3", "0,000"},
    {4, "4", "0,0000"},
    {5, "5", "0,00000"},
};
constexpr TFieldChoice kUnits[] = {{0, "F", "ºF"}, {1, "C", "ºC"}};
constexpr TFieldChoice kProbes[] = {{0, "pt100", "PT100"}, {1, "j", "TC J"}, {2, "k", "TC K"}, {3, "t", "TC T"}};
constexpr TFieldChoice kResolutions[] = {{0, "1", "1°"}, {1, "0.1", "0,1º"}};
constexpr TFieldChoice kRelayStates[] = {{0, "off"}, {1, "on"}};
constexpr TTexts kTimedMeaning{"retard temporitzat", "retardo temporizado", "temporisation", "timed delay"};
constexpr TTexts kHysteresisMeaning{"histèresi", "histéresis", "hystérésis", "hysteresis"};
constexpr TTexts kAboveMeaning{"activat per sobre del nivell", "activado por encima del nivel", "actif au-dessus du niveau",
                               "on above the level"};
constexpr TTexts kBelowMeaning{"activat per sota", "activado por debajo", "actif en dessous", "on below it"};
constexpr TFieldChoice kDelayTypes[] = {
    {'0', "timed", nullptr, &kTimedMeaning}, {'1', "hysteresis", nullptr, &kHysteresisMeaning}};
constexpr TFieldChoice kTriggers[] = {
    {'0', "above", nullptr, &kAboveMeaning}, {'1', "below", nullptr, &kBelowMeaning}};

constexpr unsigned kInBoth = kInConfigRequest | kInParamsReply;

TRecordField indexField(const char* name, const char* plain, std::size_t offset, std::uint8_t C::*member,
    TFieldLimits (*limits)(TFieldContext), std::span<const TFieldChoice> choices = {}, unsigned frames = kInBoth)
{
    return {.name = name,
        .plain = plain,
        .offset = offset,
        .type = TFieldType::Index,
        .u8 = member,
        .frames = frames,
        .choices = choices,
        .limits = limits};
}

TRecordField realField(const char* name, const char* plain, std::size_t offset, double C::*member,
    TFieldLimits (*limits)(TFieldContext), std::string (*mask)(TFieldContext), unsigned depends)
{
    return {.name = name,
        .plain = plain,
        .offset = offset,
        .type = TFieldType::Real,
        .f64 = member,
        .frames = kInBoth,
        .depends = depends,
        .limits = limits,
        .mask = mask};
}

// The five fields of relay n, from `offset`: one 12-byte block.
void addRelay(std::vector<TRecordField>& out, int n, std::size_t offset)
{
    const bool first = n == 1;
    TRecordField enabled = indexField(first ? "Relay1Enabled" : "Relay2Enabled", first ? "relay1" : "relay2", offset,
        first ? &C::Relay1Enabled : &C::Relay2Enabled, fixedLimits<0, 1>, kRelayStates);
    enabled.relay = n;
    out.push_back(enabled);
    out.push_back({.name = first ? "Relay1DelayType" : "Relay2DelayType",
        .plain = first ? "relay1-type" : "relay2-type",
        .offset = offset + 1,
        .type = TFieldType::Character,
        .ch = first ? &C::Relay1DelayType : &C::Relay2DelayType,
        .relay = n,
        .frames = kInBoth,
        .choices = kDelayTypes});
    out.push_back({.name = first ? "Relay1TriggerLevel" : "Relay2TriggerLevel",
        .plain = first ? "relay1-trigger" : "relay2-trigger",
        .offset = offset + 2,
        .type = TFieldType::Character,
        .ch = first ? &C::Relay1TriggerLevel : &C::Relay2TriggerLevel,
        .relay = n,
        .frames = kInBoth,
        .whileRelayOn = true,
        .choices = kTriggers});
    out.push_back({.name = first ? "Relay1Delay" : "Relay2Delay",
        .plain = first ? "relay1-delay" : "relay2-delay",
        .offset = offset + 4,
        .type = TFieldType::Integer,
        .i32 = first ? &C::Relay1Delay : &C::Relay2Delay,
        .relay = n,
        .frames = kInBoth,
        .limits = fixedLimits<0, 999>,
        .mask = delayMask});
    out.push_back({.name = first ? "Relay1Setpoint" : "Relay2Setpoint",
        .plain = first ? "relay1-setpoint" : "relay2-setpoint",
        .offset = offset + 8,
        .type = TFieldType::Integer,
        .i32 = first ? &C::Relay1Setpoint : &C::Relay2Setpoint,
        .relay = n,
        .frames = kInBoth,
        .depends = kDependsOnDigits,
        .limits = setpointLimits,
        .mask = displayValueMask});
}

const std::vector<TRecordField>& table()
{
    static const std::vector<TRecordField> fields = [] {
        std::vector<TRecordField> t = {
            indexField("PortIndex", "port", 0, &C::PortIndex, fixedLimits<0, 5>, kPorts, kInNoFrame),
            indexField("ParityIndex", "parity", 1, &C::ParityIndex, fixedLimits<0, 2>, kParities, kInNoFrame),
            indexField("DataBitsIndex", "data-bits", 2, &C::DataBitsIndex, fixedLimits<0, 1>, kDataBits, kInNoFrame),
            indexField("StopBitsIndex", "stop-bits", 3, &C::StopBitsIndex, fixedLimits<0, 1>, kStopBits, kInNoFrame),
            // Its speeds are the line format's.
            indexField("BaudIndex", "baud", 4, &C::BaudIndex, fixedLimits<0, 4>, {}, kInNoFrame),
            indexField("Address", "address", 5, &C::Address, fixedLimits<0, 31>, {}, kInNoFrame),
            // Index 0 is two digits.
            {.name = "DigitsIndex",
                .plain = "digits",
                .offset = 6,
                .type = TFieldType::Index,
                .u8 = &C::DigitsIndex,
                .countBase = 2,
                .limits = fixedLimits<0, 8>},
            // Only the reply tells the mode; the request leaves it out.
            indexField("InputMode", "input", 7, &C::InputMode, fixedLimits<0, 1>, kInputModes, kInParamsReply),
            indexField("ProcessInput", "signal", 8, &C::ProcessInput, fixedLimits<0, 1>, kSignals),
            realField("InputValue1", "in1", 16, &C::InputValue1, inputValueLimits, inputValueMask, kDependsOnDigits),
            realField("DisplayValue1", "disp1", 24, &C::DisplayValue1, displayValueLimits, displayValueMask,
                kDependsOnDigits | kDependsOnDecimalPoint),
            realField("InputValue2", "in2", 32, &C::InputValue2, inputValueLimits, inputValueMask, kDependsOnDigits),
            realField("DisplayValue2", "disp2", 40, &C::DisplayValue2, displayValueLimits, displayValueMask,
                kDependsOnDigits | kDependsOnDecimalPoint),
            indexField("DecimalPoint", "point", 48, &C::DecimalPoint, fixedLimits<0, 4>, kPoints),
            indexField("TempUnits", "units", 49, &C::TempUnits, fixedLimits<0, 1>, kUnits),
            indexField("ProbeType", "probe", 50, &C::ProbeType, fixedLimits<0, 3>, kProbes),
            indexField("Resolution", "resolution", 51, &C::Resolution, fixedLimits<0, 1>, kResolutions),
            realField(
                "TempOffset", "offset", 56, &C::TempOffset, fixedLimits<-999, 999, 1>, offsetMask, kDependsOnNothing),
        };
        addRelay(t, 1, 64);
        addRelay(t, 2, 76);
        return t;
    }();
    return fields;
}

template <typename M> const TRecordField& byMember(M TDisplayConfig::*member, M TDisplayConfig::*TRecordField::*slot)
{
    const auto& fields = table();
    return *std::find_if(fields.begin(), fields.end(), [&](const TRecordField& f) { return f.*slot == member; });
}

} // namespace

TFieldContext fieldContext(const TDisplayConfig& cfg)
{
    return {cfg.DigitsIndex, cfg.DecimalPoint};
}

double TFieldLimits::lowest() const
{
    return static_cast<double>(low) / static_cast<double>(powerOfTen(decimals));
}

double TFieldLimits::highest() const
{
    return static_cast<double>(high) / static_cast<double>(powerOfTen(decimals));
}

double TFieldLimits::clamp(double value) const
{
    if (std::isnan(value))
        return 0.0;
    return std::clamp(value, lowest(), highest());
}

const TFieldChoice* TRecordField::choice(int value) const
{
    for (const TFieldChoice& c : choices)
        if (c.value == value)
            return &c;
    return nullptr;
}

const void* TRecordField::placeIn(const TDisplayConfig& cfg) const
{
    switch (type) {
    case TFieldType::Index:
        return &(cfg.*u8);
    case TFieldType::Real:
        return &(cfg.*f64);
    case TFieldType::Character:
        return &(cfg.*ch);
    case TFieldType::Integer:
        return &(cfg.*i32);
    }
    return nullptr;
}

std::string TRecordField::panelText(int value) const
{
    const TFieldChoice* c = choice(value);
    return c && c->panel ? c->panel : "---";
}

std::span<const TRecordField> recordFields()
{
    return table();
}

const TRecordField* findRecordField(std::string_view name)
{
    for (const TRecordField& f : table())
        if (name == f.name)
            return &f;
    return nullptr;
}

const TRecordField& recordField(std::uint8_t TDisplayConfig::*member)
{
    return byMember(member, &TRecordField::u8);
}

const TRecordField& recordField(double TDisplayConfig::*member)
{
    return byMember(member, &TRecordField::f64);
}

const TRecordField& recordField(char TDisplayConfig::*member)
{
    return byMember(member, &TRecordField::ch);
}

const TRecordField& recordField(std::int32_t TDisplayConfig::*member)
{
    return byMember(member, &TRecordField::i32);
}

const TRecordField& recordFieldAt(const TDisplayConfig& cfg, const void* member)
{
    const auto& fields = table();
    return *std::find_if(fields.begin(), fields.end(), [&](const TRecordField& f) { return f.placeIn(cfg) == member; });
}
