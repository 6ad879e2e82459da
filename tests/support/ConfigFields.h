#pragma once
// Field-by-field comparison of two configurations: the fields that differ,
// as "Name: a / b", so that a failure lists them all at once.
#include <cstdio>
#include <string>
#include <vector>

#include "config/DisplayConfig.h"

namespace testsupport {

inline std::string fieldValue(std::uint8_t v) { return std::to_string(v); }
inline std::string fieldValue(char v) { return std::to_string(static_cast<unsigned char>(v)); }
inline std::string fieldValue(std::int32_t v) { return std::to_string(v); }
inline std::string fieldValue(double v)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v); // exact: both sides must hold the same double
    return text;
}

inline std::vector<std::string> configDifferences(const TDisplayConfig& a, const TDisplayConfig& b)
{
    std::vector<std::string> out;
    auto field = [&](const char* name, const auto& x, const auto& y) {
        if (fieldValue(x) != fieldValue(y))
            out.push_back(std::string(name) + ": " + fieldValue(x) + " / " + fieldValue(y));
    };
#define DADIZ_COMPARE(f) field(#f, a.f, b.f)
    DADIZ_COMPARE(PortIndex);
    DADIZ_COMPARE(ParityIndex);
    DADIZ_COMPARE(DataBitsIndex);
    DADIZ_COMPARE(StopBitsIndex);
    DADIZ_COMPARE(BaudIndex);
    DADIZ_COMPARE(Address);
    DADIZ_COMPARE(DigitsIndex);
    DADIZ_COMPARE(InputMode);
    DADIZ_COMPARE(ProcessInput);
    DADIZ_COMPARE(InputValue1);
    DADIZ_COMPARE(DisplayValue1);
    DADIZ_COMPARE(InputValue2);
    DADIZ_COMPARE(DisplayValue2);
    DADIZ_COMPARE(DecimalPoint);
    DADIZ_COMPARE(TempUnits);
    DADIZ_COMPARE(ProbeType);
    DADIZ_COMPARE(Resolution);
    DADIZ_COMPARE(TempOffset);
    DADIZ_COMPARE(Relay1Enabled);
    DADIZ_COMPARE(Relay1DelayType);
    DADIZ_COMPARE(Relay1TriggerLevel);
    DADIZ_COMPARE(Relay1Delay);
    DADIZ_COMPARE(Relay1Setpoint);
    DADIZ_COMPARE(Relay2Enabled);
    DADIZ_COMPARE(Relay2DelayType);
    DADIZ_COMPARE(Relay2TriggerLevel);
    DADIZ_COMPARE(Relay2Delay);
    DADIZ_COMPARE(Relay2Setpoint);
#undef DADIZ_COMPARE
    return out;
}

// What a display reports back for a configuration it was sent: a relay that
// is off comes back with '2' as its level.
inline TDisplayConfig asSentBack(TDisplayConfig cfg)
{
    if (cfg.Relay1Enabled != 1)
        cfg.Relay1TriggerLevel = '2';
    if (cfg.Relay2Enabled != 1)
        cfg.Relay2TriggerLevel = '2';
    cfg.Relay1Enabled = cfg.Relay1Enabled == 1;
    cfg.Relay2Enabled = cfg.Relay2Enabled == 1;
    return cfg;
}

} // namespace testsupport
