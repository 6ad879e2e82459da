#include "link/DoctorSearch.h"

#include <algorithm>

namespace {

// Frame formats: the common ones first, then the rest of the serial line
// dialog's combinations (parity even, odd, none; 7 or 8 data bits; 1 or 2 stop bits).
struct TFormat {
    TLineParity parity;
    std::uint8_t data, stop;
};
constexpr TLineParity E = TLineParity::Even, O = TLineParity::Odd, N = TLineParity::None;
constexpr TFormat kFormats[] = {
    {E, 7, 1}, {O, 7, 1}, {N, 8, 1},                       // 7E1, 7O1, 8N1
    {E, 7, 2}, {O, 7, 2}, {N, 7, 1}, {N, 7, 2},            // 7E2, 7O2, 7N1, 7N2
    {E, 8, 1}, {E, 8, 2}, {O, 8, 1}, {O, 8, 2}, {N, 8, 2}, // 8E1, 8E2, 8O1, 8O2, 8N2
};

} // namespace

void TSearchPlan::reset(const TLineFormat& configured, std::uint8_t address)
{
    *this = TSearchPlan{};
    configured_ = configured;
    address_ = address;
}

void TSearchPlan::planSweep(const TLineFormat& line)
{
    if (std::find(swept_.begin(), swept_.end(), line) != swept_.end())
        return;
    swept_.push_back(line);
    std::vector<TSearchTry> sweep;
    for (std::uint8_t a = 0; a <= 31; ++a)
        // The configured address has been tried at this setting already.
        if (a != address_)
            sweep.push_back({line, a});
    tries_.insert(tries_.begin() + static_cast<std::ptrdiff_t>(at_), sweep.begin(), sweep.end());
}

void TSearchPlan::planConfigured()
{
    if (address_ > 31)
        return;
    for (const TFormat& f : kFormats)
        // Fastest first: a try at the top speed costs a sixth of one at the lowest.
        for (auto baud = kLineSpeeds.rbegin(); baud != kLineSpeeds.rend(); ++baud) {
            const TLineFormat line{*baud, f.parity, f.data, f.stop};
            if (!(line == configured_))
                tries_.push_back({line, address_});
        }
}

void TSearchPlan::planEverywhere()
{
    everywhere_ = true;
    for (const TFormat& f : kFormats)
        for (auto baud = kLineSpeeds.rbegin(); baud != kLineSpeeds.rend(); ++baud) {
            const TLineFormat line{*baud, f.parity, f.data, f.stop};
            if (std::find(swept_.begin(), swept_.end(), line) != swept_.end())
                continue;
            for (std::uint8_t a = 0; a <= 31; ++a)
                if (a != address_)
                    tries_.push_back({line, a});
        }
}

void TSearchPlan::addNext(const TSearchTry& t)
{
    tries_.insert(tries_.begin() + static_cast<std::ptrdiff_t>(at_), t);
}
