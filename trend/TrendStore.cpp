#include "trend/TrendStore.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr std::uint8_t kKindMask = 0x03;
constexpr std::uint8_t kRelaysKnown = 0x04;
constexpr std::uint8_t kRelayOn[2] = {0x08, 0x10};
constexpr double kInfinity = std::numeric_limits<double>::infinity();

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::int64_t ceilDiv(std::int64_t a, std::int64_t b)
{
    return -floorDiv(-a, b);
}

// Adds [begin, end) to a list in time order, joined to the last interval
// when the space between them is narrower than `join`.
void appendInterval(std::vector<TTrendInterval>& list, TTrendInterval next, double join)
{
    if (next.end <= next.begin)
        return;
    if (!list.empty() && static_cast<double>((next.begin - list.back().end).count()) < join) {
        list.back().end = std::max(list.back().end, next.end);
        return;
    }
    list.push_back(next);
}

// The lowest and highest number of a run of readings with their times, for
// keeping two points where many came.
struct TMinMax {
    std::size_t count = 0;
    double min = kInfinity;
    double max = -kInfinity;
    std::int64_t minAt = 0;
    std::int64_t maxAt = 0;

    void add(double value, std::int64_t at)
    {
        if (count == 0 || value < min) {
            min = value;
            minAt = at;
        }
        if (count == 0 || value > max) {
            max = value;
            maxAt = at;
        }
        ++count;
    }
    void addRange(double lo, std::int64_t loAt, double hi, std::int64_t hiAt, std::size_t n)
    {
        if (n == 0)
            return;
        if (count == 0 || lo < min) {
            min = lo;
            minAt = loAt;
        }
        if (count == 0 || hi > max) {
            max = hi;
            maxAt = hiAt;
        }
        count += n;
    }
};

// Builds the segments of a view point by point.
class TCurveBuilder {
public:
    TCurveBuilder(TTrendView& view, TTrendTime origin) : view_(view), origin_(origin) {}

    void emit(const TMinMax& run)
    {
        if (run.count == 0)
            return;
        if (run.minAt == run.maxAt) {
            point(run.minAt, run.min);
        } else if (run.minAt < run.maxAt) {
            point(run.minAt, run.min);
            point(run.maxAt, run.max);
        } else {
            point(run.maxAt, run.max);
            point(run.minAt, run.min);
        }
    }
    void gap() { newSegment_ = true; }

private:
    void point(std::int64_t at, double value)
    {
        if (newSegment_) {
            view_.segmentStarts.push_back(view_.points.size());
            newSegment_ = false;
        }
        view_.points.push_back({origin_ + std::chrono::milliseconds(at), value});
    }

    TTrendView& view_;
    TTrendTime origin_;
    bool newSegment_ = true;
};

} // namespace

struct TTrendStore::TAggregate {
    TMinMax range;
    double sum = 0.0;
    std::uint64_t nonNumbers = 0;
    std::uint64_t missed = 0;
};

TTrendStore::TTrendStore(std::chrono::milliseconds holdLimit) : holdLimit_(holdLimit)
{
    clear();
}

void TTrendStore::clear()
{
    origin_ = {};
    count_ = 0;
    last_ = 0;
    rawHorizon_ = 0;
    raw_.clear();
    std::int64_t width = kFinestBucketMs;
    for (TLevel& level : levels_) {
        level = TLevel{};
        level.width = width;
        width *= kLevelRatio;
    }
}

const TTrendStore::TBucket* TTrendStore::TLevel::at(std::int64_t index) const
{
    if (index < first || index >= first + static_cast<std::int64_t>(buckets.size()))
        return nullptr;
    return &buckets[static_cast<std::size_t>(index - first)];
}

std::optional<TTrendTime> TTrendStore::firstTime() const
{
    if (empty())
        return std::nullopt;
    return timeOf(std::max<std::int64_t>(0, levels_.back().horizon()));
}

std::optional<TTrendTime> TTrendStore::lastTime() const
{
    if (empty())
        return std::nullopt;
    return timeOf(last_);
}

void TTrendStore::add(const TReading& reading)
{
    const TTrendTime time = std::chrono::floor<std::chrono::milliseconds>(reading.time);
    if (count_ == 0)
        origin_ = time;
    const std::int64_t t = std::max(offsetOf(time), last_);

    const std::optional<double> number = readingNumber(reading);
    const TSampleKind kind = reading.missed ? TSampleKind::Missed
                             : number       ? TSampleKind::Number
                                            : TSampleKind::NotANumber;
    std::uint8_t flags = static_cast<std::uint8_t>(kind);
    if (!reading.missed && reading.relays) {
        flags |= kRelaysKnown;
        for (std::size_t r = 0; r < 2; ++r)
            if ((*reading.relays)[r])
                flags |= kRelayOn[r];
    }

    const std::optional<TSample> previous = raw_.empty() ? std::nullopt : std::optional<TSample>(raw_.back());
    raw_.push_back({number.value_or(0.0), static_cast<std::uint64_t>(t) << 8 | flags});
    for (TLevel& level : levels_)
        addToLevel(level, t, kind, number.value_or(0.0));

    // The previous reading's relay state held until now, or until the hold limit.
    if (previous && (sampleFlags(*previous) & kRelaysKnown)) {
        const std::int64_t from = sampleTime(*previous);
        const std::int64_t to = std::min(t, from + holdLimit_.count());
        for (std::size_t r = 0; r < 2; ++r)
            if (sampleFlags(*previous) & kRelayOn[r])
                addOnTime(r, from, to);
    }

    last_ = t;
    ++count_;
    keepBounds();
}

void TTrendStore::addToLevel(TLevel& level, std::int64_t t, TSampleKind kind, double value)
{
    const std::int64_t index = floorDiv(t, level.width);
    const std::int64_t next = level.first + static_cast<std::int64_t>(level.buckets.size());
    if (level.buckets.empty() || index - next >= static_cast<std::int64_t>(kLevelCapacity)) {
        // First reading, or so long after the last that nothing kept would remain.
        level.buckets.clear();
        level.first = index;
        level.buckets.emplace_back();
    } else {
        for (std::int64_t i = next; i <= index; ++i)
            level.buckets.emplace_back();
    }
    TBucket& b = level.buckets.back();
    switch (kind) {
    case TSampleKind::Number: {
        const auto at = static_cast<std::uint32_t>(t - index * level.width);
        if (b.numbers == 0 || value < b.min) {
            b.min = value;
            b.minAt = at;
        }
        if (b.numbers == 0 || value > b.max) {
            b.max = value;
            b.maxAt = at;
        }
        b.sum += value;
        ++b.numbers;
        break;
    }
    case TSampleKind::NotANumber:
        ++b.nonNumbers;
        break;
    case TSampleKind::Missed:
        ++b.missed;
        break;
    }
}

void TTrendStore::addOnTime(std::size_t relay, std::int64_t from, std::int64_t to)
{
    for (TLevel& level : levels_) {
        for (std::int64_t t = from; t < to;) {
            const std::int64_t index = floorDiv(t, level.width);
            const std::int64_t end = std::min(to, (index + 1) * level.width);
            if (index >= level.first && index < level.first + static_cast<std::int64_t>(level.buckets.size()))
                level.buckets[static_cast<std::size_t>(index - level.first)].onMs[relay] +=
                    static_cast<std::uint32_t>(end - t);
            t = end;
        }
    }
}

void TTrendStore::keepBounds()
{
    for (TLevel& level : levels_) {
        while (level.buckets.size() > kLevelCapacity) {
            level.buckets.pop_front();
            ++level.first;
        }
    }
    // A finer level never reaches back further than the next coarser one, so
    // that any span is covered by the finest level that covers its start.
    for (int k = kLevels - 2; k >= 0; --k) {
        TLevel& fine = levels_[static_cast<std::size_t>(k)];
        const std::int64_t horizon = levels_[static_cast<std::size_t>(k) + 1].horizon();
        while (!fine.buckets.empty() && fine.horizon() < horizon) {
            fine.buckets.pop_front();
            ++fine.first;
        }
    }
    rawHorizon_ = std::max(rawHorizon_, levels_[0].horizon());
    while (raw_.size() > kRawCapacity) {
        rawHorizon_ = std::max(rawHorizon_, sampleTime(raw_.front()) + 1);
        raw_.pop_front();
    }
    while (!raw_.empty() && sampleTime(raw_.front()) < rawHorizon_)
        raw_.pop_front();
}

std::size_t TTrendStore::rawLowerBound(std::int64_t t) const
{
    const auto it = std::partition_point(raw_.begin(), raw_.end(),
                                         [t](const TSample& s) { return sampleTime(s) < t; });
    return static_cast<std::size_t>(it - raw_.begin());
}

std::int64_t TTrendStore::holdEnd(std::size_t index) const
{
    const std::int64_t t = sampleTime(raw_[index]);
    const std::int64_t next = index + 1 < raw_.size() ? sampleTime(raw_[index + 1]) : t;
    return std::min(next, t + holdLimit_.count());
}

TTrendView TTrendStore::view(TTrendTime from, TTrendTime to, int columns) const
{
    if (empty() || to < from)
        return {};
    const std::int64_t a = offsetOf(from);
    const std::int64_t b = offsetOf(to) + 1;
    const std::int64_t n = std::max(columns, 1);
    const double columnWidth = static_cast<double>(b - a) / static_cast<double>(n);
    const std::int64_t start = std::max<std::int64_t>(a, 0);

    // One by one when there are few enough readings: every gap shows exactly.
    if (rawCovers(start) && rawLowerBound(b) - rawLowerBound(a) <= static_cast<std::size_t>(8 * n))
        return rawView(a, b, columnWidth);

    // The coarsest level whose buckets still fit a column, or a coarser one
    // where the finer ones no longer reach back to the span's start.
    std::size_t k = 0;
    while (k + 1 < levels_.size() && static_cast<double>(levels_[k + 1].width) <= columnWidth)
        ++k;
    while (k + 1 < levels_.size() && levels_[k].horizon() > start)
        ++k;
    return levelView(levels_[k], a, b, columnWidth);
}

TTrendView TTrendStore::rawView(std::int64_t a, std::int64_t b, double columnWidth) const
{
    TTrendView view;
    TCurveBuilder curve(view, origin_);
    const std::size_t lo = rawLowerBound(a);
    const std::size_t hi = rawLowerBound(b);

    TMinMax run;
    std::int64_t runColumn = -1;
    bool inRun = false;
    std::int64_t lastNumber = 0;
    auto cut = [&] {
        curve.emit(run);
        run = {};
        curve.gap();
        inRun = false;
    };
    for (std::size_t i = lo; i < hi; ++i) {
        const std::int64_t t = sampleTime(raw_[i]);
        if (static_cast<TSampleKind>(sampleFlags(raw_[i]) & kKindMask) != TSampleKind::Number) {
            cut();
            continue;
        }
        if (inRun && t - lastNumber > holdLimit_.count())
            cut();
        const auto column = static_cast<std::int64_t>(std::floor(static_cast<double>(t - a) / columnWidth));
        if (column != runColumn) {
            curve.emit(run);
            run = {};
            runColumn = column;
        }
        run.add(raw_[i].value, t);
        inRun = true;
        lastNumber = t;
    }
    curve.emit(run);

    // The reading before the span may hold its relays into it.
    for (std::size_t i = lo > 0 ? lo - 1 : 0; i < hi; ++i) {
        const std::uint8_t flags = sampleFlags(raw_[i]);
        if (!(flags & kRelaysKnown))
            continue;
        const std::int64_t begin = std::max(sampleTime(raw_[i]), a);
        const std::int64_t end = std::min(holdEnd(i), b);
        for (std::size_t r = 0; r < 2; ++r)
            if (flags & kRelayOn[r])
                appendInterval(view.relayOn[r], {timeOf(begin), timeOf(end)}, columnWidth);
    }
    return view;
}

TTrendView TTrendStore::levelView(const TLevel& level, std::int64_t a, std::int64_t b, double columnWidth) const
{
    TTrendView view;
    TCurveBuilder curve(view, origin_);
    const std::int64_t w = level.width;
    // The buckets at the edges are taken whole, so the curve reaches both
    // edges; their points may lie up to one bucket (at most a column) outside.
    const std::int64_t firstIndex = std::max(floorDiv(a, w), level.first);
    const std::int64_t lastIndex =
        std::min(floorDiv(b - 1, w), level.first + static_cast<std::int64_t>(level.buckets.size()) - 1);

    TMinMax column;
    bool columnHasBuckets = false;
    std::int64_t current = -1;
    auto flush = [&] {
        if (column.count > 0)
            curve.emit(column);
        else if (columnHasBuckets)
            curve.gap(); // buckets without a single number
        column = {};
        columnHasBuckets = false;
    };
    for (std::int64_t i = firstIndex; i <= lastIndex; ++i) {
        const TBucket& bucket = *level.at(i);
        const std::int64_t start = i * w;
        const auto index =
            std::max<std::int64_t>(0, static_cast<std::int64_t>(std::floor(static_cast<double>(start - a) / columnWidth)));
        if (index != current) {
            flush();
            current = index;
        }
        columnHasBuckets = true;
        column.addRange(bucket.min, start + bucket.minAt, bucket.max, start + bucket.maxAt, bucket.numbers);
        for (std::size_t r = 0; r < 2; ++r)
            if (bucket.onMs[r] > 0)
                appendInterval(view.relayOn[r], {timeOf(std::max(start, a)), timeOf(std::min(start + w, b))},
                               columnWidth);
    }
    flush();
    return view;
}

TTrendStats TTrendStore::stats(TTrendTime from, TTrendTime to) const
{
    TTrendStats stats;
    if (empty() || to < from)
        return stats;
    std::int64_t a = std::max<std::int64_t>(offsetOf(from), 0);
    const std::int64_t b = offsetOf(to) + 1;
    if (b <= a)
        return stats;

    // The finest source that reaches back to the span's start.
    int finest = -1;
    if (!rawCovers(a)) {
        finest = 0;
        while (finest + 1 < kLevels && levels_[static_cast<std::size_t>(finest)].horizon() > a)
            ++finest;
        a = std::max(a, levels_[static_cast<std::size_t>(finest)].horizon());
    }
    TAggregate sum;
    accumulate(a, b, kLevels - 1, finest, sum);

    stats.missed = sum.missed;
    stats.nonNumbers = sum.nonNumbers;
    stats.readings = sum.range.count + sum.missed + sum.nonNumbers;
    if (sum.range.count > 0) {
        stats.min = sum.range.min;
        stats.max = sum.range.max;
        stats.mean = sum.sum / static_cast<double>(sum.range.count);
    }
    if (finest == -1) {
        const std::size_t hi = rawLowerBound(b);
        if (hi > rawLowerBound(a)) {
            const TSample& s = raw_[hi - 1];
            stats.latest = TTrendStats::TLatest{timeOf(sampleTime(s)),
                                                static_cast<TSampleKind>(sampleFlags(s) & kKindMask), s.value};
        }
    }
    return stats;
}

// Sums [a, b) with whole buckets of the coarsest level that fits and finer
// ones towards the edges; below `finest` the edge buckets are taken whole.
void TTrendStore::accumulate(std::int64_t a, std::int64_t b, int k, int finest, TAggregate& out) const
{
    if (a >= b)
        return;
    if (k < 0) {
        for (std::size_t i = rawLowerBound(a), end = rawLowerBound(b); i < end; ++i) {
            switch (static_cast<TSampleKind>(sampleFlags(raw_[i]) & kKindMask)) {
            case TSampleKind::Number:
                out.range.add(raw_[i].value, sampleTime(raw_[i]));
                out.sum += raw_[i].value;
                break;
            case TSampleKind::NotANumber:
                ++out.nonNumbers;
                break;
            case TSampleKind::Missed:
                ++out.missed;
                break;
            }
        }
        return;
    }
    const TLevel& level = levels_[static_cast<std::size_t>(k)];
    const std::int64_t w = level.width;
    const bool whole = k == finest;
    const std::int64_t fa = whole ? floorDiv(a, w) : ceilDiv(a, w);
    const std::int64_t fb = whole ? ceilDiv(b, w) : floorDiv(b, w);
    if (fa >= fb) {
        accumulate(a, b, k - 1, finest, out);
        return;
    }
    for (std::int64_t i = fa; i < fb; ++i) {
        const TBucket* bucket = level.at(i);
        if (!bucket)
            continue;
        out.range.addRange(bucket->min, i * w + bucket->minAt, bucket->max, i * w + bucket->maxAt, bucket->numbers);
        out.sum += bucket->sum;
        out.nonNumbers += bucket->nonNumbers;
        out.missed += bucket->missed;
    }
    if (!whole) {
        accumulate(a, fa * w, k - 1, finest, out);
        accumulate(fb * w, b, k - 1, finest, out);
    }
}

std::size_t TTrendStore::memoryBytes() const
{
    std::size_t bytes = sizeof(*this) + raw_.size() * sizeof(TSample);
    for (const TLevel& level : levels_)
        bytes += level.buckets.size() * sizeof(TBucket);
    return bytes;
}
