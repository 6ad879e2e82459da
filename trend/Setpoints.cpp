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
    for (int n : {1, 2})
        s.relays[static_cast<std::size_t>(n - 1)] = {c.relay(n).Enabled != 0, c.relay(n).Setpoint};
    s.decimalPoint = c.DecimalPoint;
    return s;
}
