#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "serial/PortSettings.h"
#include "serial/SerialBackend.h"

// The bytes of one reply arrive a character time apart. Waking the owner for
// each costs far more than the wait thread gathering them: it wakes the owner
// once a frame has ended, the line has been quiet for a while, or gathering
// has gone on for long enough (a line that never falls quiet).
struct TGathering {
    std::int64_t charNs = 0;     // one character time
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
    return {charNs, 2 * charNs, 32 * charNs};
}

enum class TTaken { Nothing, Some, FrameEnd, Full, Lost };

// The bytes the wait thread took from the driver and the owner has not read
// yet. Both threads use them; `readDriver(buf, count)` reads the driver as
// the platform does (bytes, 0 for none, -1 for a failure).
// It also keeps the length of the frames that ended: a display answers the
// same request with a frame of the same length, so once two frames in a row
// were as long, the wait thread need not wake for each byte of the next.
class THeldBytes {
public:
    // The bytes still to come, the CR included, if the frame now arriving is
    // as long as the last two; 0 when that cannot be said.
    std::size_t expectedBytes()
    {
        std::lock_guard lock(mutex_);
        return repeated_ && lastFrame_ > sinceEnd_ ? lastFrame_ - sinceEnd_ : 0;
    }

    // Moves what the driver holds into the held bytes.
    template <typename ReadDriver>
    TTaken take(ReadDriver&& readDriver)
    {
        std::lock_guard lock(mutex_);
        const std::size_t room = kGatherCapacity - std::min(kGatherCapacity, bytes_.size());
        if (room == 0)
            return TTaken::Full;
        const std::size_t before = bytes_.size();
        bytes_.resize(before + room);
        const long n = readDriver(bytes_.data() + before, static_cast<long>(room));
        bytes_.resize(before + static_cast<std::size_t>(std::max(0L, n)));
        if (n < 0)
            return TTaken::Lost;
        if (n == 0)
            return TTaken::Nothing;
        if (noteFrames(bytes_.data() + before, n))
            return TTaken::FrameEnd;
        return bytes_.size() == kGatherCapacity ? TTaken::Full : TTaken::Some;
    }

    // The held bytes come first, then the driver's.
    template <typename ReadDriver>
    long read(unsigned char* buf, long count, ReadDriver&& readDriver)
    {
        if (count <= 0)
            return 0;
        std::lock_guard lock(mutex_);
        const long fromHeld = std::min(count, static_cast<long>(bytes_.size()));
        std::copy_n(bytes_.begin(), fromHeld, buf);
        bytes_.erase(bytes_.begin(), bytes_.begin() + fromHeld);
        if (fromHeld == count)
            return count;
        const long n = readDriver(buf + fromHeld, count - fromHeld);
        if (n < 0)
            return fromHeld > 0 ? fromHeld : -1;
        noteFrames(buf + fromHeld, n);
        return fromHeld + n;
    }

    // The held bytes and the driver's count (negative when it could not say).
    template <typename DriverCount>
    long queued(DriverCount&& driverCount)
    {
        std::lock_guard lock(mutex_);
        const long driver = driverCount();
        if (driver < 0)
            return bytes_.empty() ? -1 : static_cast<long>(bytes_.size());
        return static_cast<long>(bytes_.size()) + driver;
    }

    // Runs `purge` with the held bytes dropped first when the input goes too,
    // so the wait thread cannot hold bytes from before it.
    template <typename Purge>
    int purge(bool input, Purge&& purgeDriver)
    {
        std::lock_guard lock(mutex_);
        if (input) {
            bytes_.clear();
            sinceEnd_ = 0;
        }
        return purgeDriver();
    }

    // At open: nothing held. The last frame's length stays, for the next
    // exchange with the same display.
    void clear()
    {
        std::lock_guard lock(mutex_);
        bytes_.clear();
        sinceEnd_ = 0;
    }

private:
    // Counts frames in bytes that came from the driver; true if one ended.
    bool noteFrames(const unsigned char* bytes, long n)
    {
        bool ended = false;
        for (long i = 0; i < n; ++i) {
            ++sinceEnd_;
            if (bytes[i] == kFrameEnd) {
                repeated_ = sinceEnd_ == lastFrame_;
                lastFrame_ = sinceEnd_;
                sinceEnd_ = 0;
                ended = true;
            }
        }
        return ended;
    }

    std::mutex mutex_;
    std::vector<unsigned char> bytes_;
    std::size_t lastFrame_ = 0;  // bytes of the last frame that ended, its CR included
    std::size_t sinceEnd_ = 0;   // bytes since then
    bool repeated_ = false;      // the frame before it was as long
};

// Whether bytes taken end the gathering: a frame's end, the held bytes full,
// or a line lost (told after the bytes, through `lostAfterData`).
inline std::optional<TWaitOutcome> gatheringEnded(TTaken taken, bool& lostAfterData)
{
    switch (taken) {
    case TTaken::Nothing:
    case TTaken::Some:
        return std::nullopt;
    case TTaken::Lost:
        lostAfterData = true;
        return TWaitOutcome::DataArrived;
    case TTaken::FrameEnd:
    case TTaken::Full:
        break;
    }
    return TWaitOutcome::DataArrived;
}

// What a wait while gathering ended with.
enum class TGatherWake { Data, Quiet, Cancelled, Lost };

// After the first bytes: takes what comes until a frame ends, the held bytes
// are full or `waitMore()` finds the line quiet (or the time for gathering
// gone). A line lost meanwhile sets `lostAfterData`: the bytes are told first.
template <typename WaitMore, typename Take>
TWaitOutcome gatherReply(WaitMore&& waitMore, Take&& take, bool& lostAfterData)
{
    for (;;) {
        switch (waitMore()) {
        case TGatherWake::Cancelled:
            return TWaitOutcome::Cancelled;
        case TGatherWake::Quiet:
            return TWaitOutcome::DataArrived;
        case TGatherWake::Lost:
            lostAfterData = true;
            return TWaitOutcome::DataArrived;
        case TGatherWake::Data:
            break;
        }
        if (const auto ended = gatheringEnded(take(), lostAfterData))
            return *ended;
    }
}
