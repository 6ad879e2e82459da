#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "trend/Setpoints.h"
#include "trend/TrendStore.h"

using namespace std::chrono_literals;

namespace {

const TTrendTime kStart = TTrendTime(std::chrono::sys_days(std::chrono::year(2026) / 12 / 7)) + 9h;

TReading number(TTrendTime t, const char* text, std::optional<std::array<bool, 2>> relays = std::nullopt)
{
    return {t, false, std::string(text), relays};
}

TReading missed(TTrendTime t)
{
    return {t, true, std::nullopt, std::nullopt};
}

std::vector<std::vector<double>> segmentValues(const TTrendView& v)
{
    std::vector<std::vector<double>> out;
    for (std::size_t s = 0; s < v.segmentCount(); ++s) {
        out.emplace_back();
        for (std::size_t i = v.segmentStarts[s]; i < v.segmentEnd(s); ++i)
            out.back().push_back(v.points[i].value);
    }
    return out;
}

} // namespace

TEST(ReadingNumber, WholeTextMustBeADecimalNumber)
{
    struct Row {
        const char* text;
        std::optional<double> value;
        const char* canonical;
    };
    const Row rows[] = {
        {"  180.5 ", 180.5, "180.5"}, {"-  12.5", -12.5, "-12.5"}, {"+7.", 7.0, "7"},
        {"   .5", 0.5, "0.5"},        {"0012.50", 12.5, "12.50"},  {"-0.0", 0.0, "0.0"},
        {"\t42\t", 42.0, "42"},       {"----", {}, ""},            {"        ", {}, ""},
        {"", {}, ""},                 {"1E3", {}, ""},             {"12.5.3", {}, ""},
        {"12,5", {}, ""},             {"OVEr", {}, ""},            {"\xB4" "1234", {}, ""},
        {"1 2", {}, ""},              {"--1", {}, ""},             {"-", {}, ""},
        {".", {}, ""},                {"nan", {}, ""},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(readingNumber(r.text), r.value) << '"' << r.text << '"';
        EXPECT_EQ(readingNumberText(r.text), r.canonical) << '"' << r.text << '"';
    }
    EXPECT_EQ(readingNumber(missed(kStart)), std::nullopt);
    EXPECT_EQ(readingNumber(TReading{kStart, false, std::nullopt, std::array{true, false}}), std::nullopt);
}

TEST(TrendSetpoints, ScaledByTheDecimalPointUpToFour)
{
    TTrendSetpoints s;
    s.relays[0] = {true, 1234};
    s.relays[1] = {false, -25};
    for (auto [dp, first, second] : {std::tuple{0, 1234.0, -25.0}, {1, 123.4, -2.5}, {4, 0.1234, -0.0025},
                                     {5, 0.1234, -0.0025}, {255, 0.1234, -0.0025}}) {
        s.decimalPoint = static_cast<std::uint8_t>(dp);
        EXPECT_DOUBLE_EQ(s.scaled(0), first) << dp;
        EXPECT_DOUBLE_EQ(s.scaled(1), second) << dp;
    }
}

// Missed readings, values that are not numbers and long silences cut the
// curve; nothing of them becomes a point, and they are counted apart.
TEST(TrendStore, GapsCutTheCurveAndAreCountedApart)
{
    TTrendStore store;
    const char* const sequence[] = {"1.0", "2.0", nullptr, "3.0", "4.0", "----", "5.0", "   ", "6.0", "7.0"};
    TTrendTime t = kStart;
    for (const char* text : sequence) {
        store.add(text ? number(t, text) : missed(t));
        t += 500ms;
    }
    store.add(TReading{t, false, std::nullopt, std::array{false, false}}); // no value part
    t += 500ms;
    store.add(number(t, "8.0"));
    store.add(number(t + 10s, "9.0")); // nothing read for 10 s
    store.add(number(t + 10500ms, "10.0"));

    const TTrendView view = store.view(kStart, t + 11s, 800);
    const std::vector<std::vector<double>> expected = {{1, 2}, {3, 4}, {5}, {6, 7}, {8}, {9, 10}};
    EXPECT_EQ(segmentValues(view), expected);

    const TTrendStats all = store.stats(kStart, t + 11s);
    EXPECT_EQ(all.readings, 14u);
    EXPECT_EQ(all.missed, 1u);
    EXPECT_EQ(all.nonNumbers, 3u);
    EXPECT_EQ(all.min, 1.0);
    EXPECT_EQ(all.max, 10.0);
    EXPECT_DOUBLE_EQ(*all.mean, 55.0 / 10.0);
    ASSERT_TRUE(all.latest);
    EXPECT_EQ(all.latest->value, 10.0);

    // A span of the middle only: the readings at 1.5 s .. 3.5 s.
    const TTrendStats part = store.stats(kStart + 1500ms, kStart + 3500ms);
    EXPECT_EQ(part.readings, 5u);
    EXPECT_EQ(part.missed, 0u);
    EXPECT_EQ(part.nonNumbers, 2u);
    EXPECT_EQ(part.min, 3.0);
    EXPECT_EQ(part.max, 5.0);
    EXPECT_EQ(part.latest->kind, TSampleKind::NotANumber);
}

// A relay is on from a reading that says so until the next reading; a
// missed reading, a reply without relays or a long silence ends it.
TEST(TrendStore, RelayBandsFollowTheReadings)
{
    TTrendStore store;
    struct Step {
        int ms;
        bool missed;
        std::optional<std::array<bool, 2>> relays;
    };
    const Step steps[] = {
        {0, false, std::array{false, false}},   {500, false, std::array{true, false}},
        {1000, false, std::array{true, true}},  {1500, false, std::array{true, true}},
        {2000, true, std::nullopt},             {2500, false, std::array{true, true}},
        {3000, false, std::nullopt},            {3500, false, std::array{false, true}},
        {20000, false, std::array{false, false}},
    };
    for (const Step& s : steps)
        store.add(s.missed ? missed(kStart + std::chrono::milliseconds(s.ms))
                           : number(kStart + std::chrono::milliseconds(s.ms), "1", s.relays));
    const TTrendView view = store.view(kStart, kStart + 20s, 2000);
    auto at = [](int ms) { return kStart + std::chrono::milliseconds(ms); };
    const std::vector<TTrendInterval> relay1 = {{at(500), at(2000)}, {at(2500), at(3000)}};
    const std::vector<TTrendInterval> relay2 = {{at(1000), at(2000)}, {at(2500), at(3000)}, {at(3500), at(8500)}};
    EXPECT_EQ(view.relayOn[0], relay1);
    EXPECT_EQ(view.relayOn[1], relay2);
}

namespace {

// A day at two readings a second: a slow wave with a fast ripple, one
// reading in 97 missed, one in 101 not a number, relay 1 on above 60,
// relay 2 on below 20, and one spike at 13:00:00.
struct TDay {
    static constexpr int kReadings = 24 * 3600 * 2;
    static TTrendTime time(int i) { return kStart + std::chrono::milliseconds(500LL * i); }
    static double value(int i)
    {
        if (i == 13 * 3600 * 2)
            return 999.0;
        const double s = i / 2.0;
        return std::round(10.0 * (40.0 + 35.0 * std::sin(2 * std::numbers::pi * s / 1800.0) +
                                  2.0 * std::sin(2 * std::numbers::pi * s / 7.0))) / 10.0;
    }
    static bool missed(int i) { return i % 97 == 5; }
    static bool nonNumber(int i) { return i % 101 == 7; }
    static TReading reading(int i)
    {
        if (missed(i))
            return ::missed(time(i));
        if (nonNumber(i))
            return {time(i), false, std::string("  ----  "), std::array{false, false}};
        const double v = value(i);
        char text[16];
        std::snprintf(text, sizeof text, "%8.1f", v);
        return {time(i), false, std::string(text), std::array{v > 60.0, v < 20.0}};
    }
};

class TrendDay : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        store = new TTrendStore;
        for (int i = 0; i < TDay::kReadings; ++i)
            store->add(TDay::reading(i));
    }
    static void TearDownTestSuite() { delete store; }
    static TTrendStore* store;
};
TTrendStore* TrendDay::store = nullptr;

} // namespace

TEST_F(TrendDay, MemoryIsBoundedAndEveryViewKeepsAtMostTwoPointsAColumn)
{
    EXPECT_LT(store->memoryBytes(), 10u << 20);
    const TTrendTime end = TDay::time(TDay::kReadings - 1);
    for (std::chrono::minutes span : {1min, 5min, 15min, 60min, 1440min}) {
        for (int columns : {200, 800, 1920}) {
            for (TTrendTime viewEnd : {end, kStart + 13h + span / 2}) {
                const TTrendTime begin = viewEnd - span;
                const TTrendView v = store->view(begin, viewEnd, columns);
                const auto column = (viewEnd - begin + 1ms) / columns;
                std::vector<int> perColumn(static_cast<std::size_t>(columns) + 2);
                for (const TTrendPoint& p : v.points) {
                    ASSERT_GE(p.time, begin - column);
                    ASSERT_LE(p.time, viewEnd + column);
                    ++perColumn[static_cast<std::size_t>(std::clamp<long long>((p.time - begin) / column, 0, columns))];
                }
                // A column holds two points, or a few more where its readings are cut by gaps.
                const std::size_t cuts = v.segmentCount();
                EXPECT_LE(v.points.size(), 2 * static_cast<std::size_t>(columns) + 2 * cuts);
                EXPECT_LE(*std::max_element(perColumn.begin(), perColumn.end()), 6);
                EXPECT_LE(v.relayOn[0].size(), static_cast<std::size_t>(columns) + 1);
                // The spike survives every decimation that covers it.
                if (viewEnd != end) {
                    EXPECT_TRUE(std::any_of(v.points.begin(), v.points.end(),
                                            [](const TTrendPoint& p) { return p.value == 999.0; }))
                        << span.count() << " min at " << columns;
                }
            }
        }
    }
}

TEST_F(TrendDay, StatisticsOfAnySpanMatchTheReadings)
{
    struct Span {
        int from;
        int to; // reading indices, inclusive
    };
    const Span spans[] = {{0, TDay::kReadings - 1}, {23650, 55323}, {100, 101}, {7, 7}, {40001, 40001 + 7199},
                          {170000, TDay::kReadings - 1}};
    for (const Span& s : spans) {
        std::uint64_t readings = 0, missedCount = 0, nonNumbers = 0, numbers = 0;
        double lo = INFINITY, hi = -INFINITY, sum = 0.0;
        for (int i = s.from; i <= s.to; ++i) {
            ++readings;
            if (TDay::missed(i)) {
                ++missedCount;
            } else if (TDay::nonNumber(i)) {
                ++nonNumbers;
            } else {
                ++numbers;
                lo = std::min(lo, TDay::value(i));
                hi = std::max(hi, TDay::value(i));
                sum += TDay::value(i);
            }
        }
        const TTrendStats st = store->stats(TDay::time(s.from), TDay::time(s.to));
        EXPECT_EQ(st.readings, readings) << s.from;
        EXPECT_EQ(st.missed, missedCount) << s.from;
        EXPECT_EQ(st.nonNumbers, nonNumbers) << s.from;
        if (numbers > 0) {
            EXPECT_EQ(st.min, lo) << s.from;
            EXPECT_EQ(st.max, hi) << s.from;
            EXPECT_NEAR(*st.mean, sum / static_cast<double>(numbers), 1e-9) << s.from;
        }
    }
}

TEST_F(TrendDay, RelayBandsOfTheWholeDayMatchTheWave)
{
    // 2 h is a whole number of periods: the crest (75) is 7.5 min in, the trough (5) 22.5 min in.
    const TTrendTime from = kStart + 2h;
    const TTrendView v = store->view(from, from + 30min, 800);
    auto on = [&](std::size_t relay, TTrendTime t) {
        return std::any_of(v.relayOn[relay].begin(), v.relayOn[relay].end(),
                           [t](const TTrendInterval& i) { return i.begin <= t && t < i.end; });
    };
    EXPECT_TRUE(on(0, from + 7min + 30s));
    EXPECT_FALSE(on(0, from + 22min + 30s));
    EXPECT_TRUE(on(1, from + 22min + 30s));
    EXPECT_FALSE(on(1, from + 7min + 30s));
}

// Forty days at one reading every 10 s overflow the readings kept one by one
// and the three finest levels: memory stays put, and old spans are still
// drawn and counted from the coarser levels.
TEST(TrendStore, LongSessionsDropDetailNotData)
{
    TTrendStore store;
    constexpr int kReadings = 40 * 24 * 360;
    auto time = [](int i) { return kStart + std::chrono::seconds(10LL * i); };
    std::size_t peak = 0;
    for (int i = 0; i < kReadings; ++i) {
        store.add(i % 50 == 0 ? missed(time(i)) : number(time(i), i % 2 ? "10" : "20", std::array{i % 4 == 1, false}));
        if (i % 10000 == 0)
            peak = std::max(peak, store.memoryBytes());
    }
    EXPECT_LT(std::max(peak, store.memoryBytes()), 30u << 20);

    const TTrendStats all = store.stats(time(0), time(kReadings - 1));
    EXPECT_EQ(all.readings, static_cast<std::uint64_t>(kReadings));
    EXPECT_EQ(all.missed, static_cast<std::uint64_t>(kReadings / 50));
    EXPECT_EQ(all.min, 10.0);
    EXPECT_EQ(all.max, 20.0);

    // Day 3: only the coarse levels reach back that far.
    const TTrendView old = store.view(kStart + 72h, kStart + 73h, 400);
    ASSERT_FALSE(old.points.empty());
    EXPECT_GE(old.points.front().time, kStart + 72h - 9s);
    EXPECT_LE(old.points.size(), 800u);
    EXPECT_FALSE(old.relayOn[0].empty());
    const TTrendStats oldHour = store.stats(kStart + 72h, kStart + 73h);
    EXPECT_NEAR(static_cast<double>(oldHour.readings), 360.0, 360.0 * 0.1); // counted by whole buckets
}
