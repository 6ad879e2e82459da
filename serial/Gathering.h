#pragma once
#include <cstddef>
#include <cstdint>

#include "serial/PortSettings.h"

// The bytes of one reply arrive a character time apart. Waking the owner for
// each costs far more than the wait thread gathering them: it wakes the owner
// once a frame has ended, the line has been quiet for a while, or gathering
// has gone on for long enough (a line that never falls quiet).
struct TGathering {
    std::int64_t quietNs = 0;    // two character times
    std::int64_t longestNs = 0;  // thirty-two character times
};

// Replies end at their first CR: it wakes the owner at once.
inline constexpr unsigned char kFrameEnd = '\r';
// At most this much is gathered unread; beyond it, each arrival wakes the owner.
inline constexpr std::size_t kGatherCapacity = 4096;

inline TGathering gatheringFor(const TPortSettings& s)
{
    const std::int64_t data = 4 + static_cast<std::int64_t>(s.DataBits);
    const std::int64_t parity = s.Parity == no_parity ? 0 : 1;
    // Tenths of a bit time, so 1.5 stop bits count as they should.
    const std::int64_t stopTenths = s.StopBits == stop1 ? 10 : s.StopBits == stop1x5 ? 15 : 20;
    const std::int64_t tenths = (1 + data + parity) * 10 + stopTenths;
    const std::int64_t baud = s.BaudRate > 0 ? s.BaudRate : 9600;
    const std::int64_t charNs = tenths * 100000000 / baud;
    return {2 * charNs, 32 * charNs};
}
