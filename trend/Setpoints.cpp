#include "trend/Setpoints.h"

#include "config/DisplayConfig.h"

#include <algorithm>

double TTrendSetpoints::scaled(std::size_t relay) const
{
    static constexpr double kPowers[] = {1.0, 10.0, 100.0, 1000.0, 10000.0};
    return static_cast<double>(relays.at(relay).setpoint) / kPowers[std::min<std::uint8_t>(decimalPoint, 4)];
}

TTrendSetpoints trendSetpoints(const TDisplayConfig& c)
{
    TTrendSetpoints s;
    s.relays[0] = {c.Relay1Enabled != 0, c.Relay1Setpoint};
    s.relays[1] = {c.Relay2Enabled != 0, c.Relay2Setpoint};
    s.decimalPoint = c.DecimalPoint;
    return s;
}
