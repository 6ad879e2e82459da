#pragma once
#include "trend/Reading.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

// All readings of a session, for drawing and for statistics, in memory that
// does not grow past a fixed bound (about 6 MiB for 24 hours at two readings
// a second, under 30 MiB whatever the session).
//
// Every reading is kept as it came (time, number or kind, relays) in a ring
// of the latest 2^18 readings. Beside it, a pyramid of levels sums the
// readings per time bucket of 2 s, 8 s, 32 s, ... 8192 s: minimum and maximum
// with their times, sum and count of numbers, count of non-numbers and of
// missed readings, and each relay's on time. A level keeps its latest 2^16
// buckets; a finer level never reaches further back than a coarser one.
//
// A query draws from the finest source that is cheap enough for the number
// of columns, so its cost depends on the columns and the levels, never on
// the length of the session.

using TTrendTime = std::chrono::sys_time<std::chrono::milliseconds>;

struct TTrendPoint {
    TTrendTime time;
    double value = 0.0;
    bool operator==(const TTrendPoint&) const = default;
};

struct TTrendInterval {
    TTrendTime begin;
    TTrendTime end;
    bool operator==(const TTrendInterval&) const = default;
};

enum class TSampleKind : std::uint8_t { Number, NotANumber, Missed };

// The curve and the relays over a span, at most two points per column and
// curve run. Where readings are summed per bucket, the buckets at the edges
// are taken whole, so points may lie up to one column outside the span. The curve is cut into segments wherever no number came: a missed
// reading, a value that is not a number, or no reading at all for longer than
// the store's hold limit. A column of many readings keeps its minimum and
// maximum in the order they came.
struct TTrendView {
    std::vector<TTrendPoint> points;
    std::vector<std::size_t> segmentStarts; // index in `points` where each segment begins
    std::array<std::vector<TTrendInterval>, 2> relayOn; // merged, in time order

    std::size_t segmentCount() const { return segmentStarts.size(); }
    std::size_t segmentEnd(std::size_t segment) const
    {
        return segment + 1 < segmentStarts.size() ? segmentStarts[segment + 1] : points.size();
    }
};

struct TTrendStats {
    std::uint64_t readings = 0;   // all of them: numbers, non-numbers and missed
    std::uint64_t missed = 0;
    std::uint64_t nonNumbers = 0; // replies whose value is not a number or absent
    std::optional<double> min;
    std::optional<double> max;
    std::optional<double> mean;
    struct TLatest {
        TTrendTime time;
        TSampleKind kind = TSampleKind::Missed;
        double value = 0.0; // when kind is Number
    };
    // The last reading of the span; known while the span is within the
    // readings kept one by one.
    std::optional<TLatest> latest;
};

class TTrendStore {
public:
    // A reading's relay state and its place in the curve hold until the next
    // reading, but no longer than `holdLimit`: readings further apart than
    // that leave a gap, since nothing was read between them.
    explicit TTrendStore(std::chrono::milliseconds holdLimit = std::chrono::seconds(5));

    // A reading whose time lies before the previous one's (the clock was set
    // back) is taken at the previous one's time.
    void add(const TReading& reading);
    void clear();

    bool empty() const { return count_ == 0; }
    std::uint64_t count() const { return count_; }
    std::optional<TTrendTime> firstTime() const;
    std::optional<TTrendTime> lastTime() const;

    // The curve and relays over [from, to] for `columns` columns (at least 1).
    TTrendView view(TTrendTime from, TTrendTime to, int columns) const;
    // Statistics over [from, to]. Exact while `from` lies within the readings
    // kept one by one; older spans are counted by whole buckets.
    TTrendStats stats(TTrendTime from, TTrendTime to) const;

    // Bytes held by the readings and buckets.
    std::size_t memoryBytes() const;

    static constexpr std::size_t kRawCapacity = std::size_t{1} << 18;
    static constexpr std::size_t kLevelCapacity = std::size_t{1} << 16;
    static constexpr int kLevels = 7;
    static constexpr std::int64_t kFinestBucketMs = 2000;
    static constexpr std::int64_t kLevelRatio = 4;

private:
    struct TSample {
        double value;
        std::uint64_t packed; // time (ms from the origin) << 8 | flags
    };
    struct TBucket {
        double min = 0.0; // of the numbers, when there are any
        double max = 0.0;
        double sum = 0.0;
        std::uint32_t minAt = 0; // ms from the bucket's start
        std::uint32_t maxAt = 0;
        std::uint32_t numbers = 0;
        std::uint32_t nonNumbers = 0;
        std::uint32_t missed = 0;
        std::array<std::uint32_t, 2> onMs{};
    };
    struct TLevel {
        std::int64_t width = 0;
        std::int64_t first = 0; // bucket index of buckets.front()
        std::deque<TBucket> buckets;
        std::int64_t horizon() const { return first * width; }
        const TBucket* at(std::int64_t index) const;
    };
    struct TAggregate;

    static std::int64_t sampleTime(const TSample& s) { return static_cast<std::int64_t>(s.packed >> 8); }
    static std::uint8_t sampleFlags(const TSample& s) { return static_cast<std::uint8_t>(s.packed & 0xFF); }
    std::int64_t offsetOf(TTrendTime t) const { return (t - origin_).count(); }
    TTrendTime timeOf(std::int64_t offset) const { return origin_ + std::chrono::milliseconds(offset); }

    void addToLevel(TLevel& level, std::int64_t t, TSampleKind kind, double value);
    void addOnTime(std::size_t relay, std::int64_t from, std::int64_t to);
    void keepBounds();
    // Index of the first kept reading at or after `t`.
    std::size_t rawLowerBound(std::int64_t t) const;
    bool rawCovers(std::int64_t t) const { return t >= rawHorizon_; }
    std::int64_t holdEnd(std::size_t index) const;

    TTrendView rawView(std::int64_t a, std::int64_t b, double columnWidth) const;
    TTrendView levelView(const TLevel& level, std::int64_t a, std::int64_t b, double columnWidth) const;
    void accumulate(std::int64_t a, std::int64_t b, int level, int finest, TAggregate& out) const;

    std::chrono::milliseconds holdLimit_;
    TTrendTime origin_{};
    std::uint64_t count_ = 0;
    std::int64_t last_ = 0;       // offset of the latest reading
    std::int64_t rawHorizon_ = 0; // every reading from here on is in raw_
    std::deque<TSample> raw_;
    std::array<TLevel, kLevels> levels_;
};
