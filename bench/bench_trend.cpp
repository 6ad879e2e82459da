// The trend window over a long session, without waiting for it: 24 hours of
// readings at two a second are fed straight to the window (and so to its
// store). Prints the memory they take above the empty window, the time of the
// store's query and of a redraw with its painting at the start and after
// 24 h, and the CPU of live readings at two a second with the window closed,
// then open and recording (5 and 60 minutes shown).
// Usage: bench_trend [SECONDS] (each live run; 20 by default).
#include <QApplication>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "base/Formats.h"
#include "windows/TrendWindow.h"

namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

constexpr int kDayReadings = 24 * 3600 * 2;

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double residentMiB()
{
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double heapMiB()
{
    const struct mallinfo2 m = mallinfo2();
    return static_cast<double>(m.uordblks + m.hblkhd) / 1048576.0;
}

// The simulator's ramp through 25.0 and 180.0, one reading in 200 missed and
// one in 500 showing "----".
TReading reading(int i, system_clock::time_point t)
{
    if (i % 200 == 199)
        return {t, true, std::nullopt, std::nullopt};
    const double phase = (i % 80) / 80.0;
    const double v = 220.0 * (phase < 0.5 ? 2 * phase : 2 - 2 * phase);
    const std::string text = i % 500 == 499 ? "    ----" : cfmt("%8.1f", v);
    return {t, false, text, std::array{v > 180.0, v < 25.0}};
}

// Median time in ms of `f` over a few runs.
template <typename F>
double medianMs(F&& f)
{
    std::vector<double> runs;
    for (int i = 0; i < 15; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        runs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::nth_element(runs.begin(), runs.begin() + 7, runs.end());
    return runs[7];
}

volatile std::size_t sink;

// The store's query and the window's redraw for each span ending at `viewEnd`.
void printTimes(const char* when, TTrendWindow& window, TTrendTime viewEnd)
{
    std::printf("%s\n  span       store query (view + stats)   window redraw and paint   points drawn\n", when);
    for (auto span : {1min, 5min, 15min, 60min, 1440min}) {
        std::size_t points = 0;
        const double query = medianMs([&] {
            const TTrendView v = window.store().view(viewEnd - span, viewEnd, 700);
            const TTrendStats s = window.store().stats(viewEnd - span, viewEnd);
            points = v.points.size();
            sink = points + s.readings;
        });
        std::printf("  %4lld min   %8.1f us", static_cast<long long>(span.count()), query * 1000.0);
        const int index = span == 1min ? 0 : span == 5min ? 1 : span == 15min ? 2 : span == 60min ? 3 : -1;
        if (index >= 0) {
            window.findChild<QComboBox*>(QStringLiteral("spanBox"))->setCurrentIndex(index);
            if (viewEnd != *window.store().lastTime()) {
                const TTrendTime earliest = *window.store().firstTime() + span;
                window.findChild<QScrollBar*>(QStringLiteral("scrollBar"))
                    ->setValue(static_cast<int>(duration_cast<seconds>(viewEnd - earliest).count()));
            }
            auto* view = window.findChild<QChartView*>(QStringLiteral("chartView"));
            const double redraw = medianMs([&] {
                window.redraw();
                view->viewport()->repaint();
            });
            std::printf("                 %8.2f ms              %6zu", redraw, points);
        }
        std::printf("\n");
    }
}

// Live readings at two a second for `seconds`, the event loop running.
double liveCpuPercent(TTrendWindow& window, int seconds, int& index)
{
    QTimer tick;
    tick.setInterval(500);
    QObject::connect(&tick, &QTimer::timeout, &window,
                     [&] { window.addReading(reading(index++, system_clock::now())); });
    QEventLoop loop; // not the application's: quitting that closes the windows
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    tick.start();
    loop.exec();
    return 100.0 * (cpuSeconds() - cpu0) / (static_cast<double>(wall.elapsed()) / 1000.0);
}

} // namespace

int main(int argc, char* argv[])
{
    const int liveSeconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;

    TTrendSetpoints setpoints;
    setpoints.relays[0] = {true, 1800};
    setpoints.relays[1] = {true, 250};
    setpoints.decimalPoint = 1;
    TTrendWindow window(TLanguage::English, setpoints);
    window.resize(900, 600);
    window.show();
    QApplication::processEvents();
    window.redraw();
    for (int i = 0; i < 10; ++i)
        QApplication::processEvents();

    const double rss0 = residentMiB();
    const double heap0 = heapMiB();
    const std::size_t bytes0 = window.store().memoryBytes();

    const auto start = system_clock::now() - 24h;
    for (int i = 0; i < 20; ++i)
        window.addReading(reading(i, start + milliseconds(500 * i)));
    printTimes("After 10 s of readings:", window, *window.store().lastTime());

    QElapsedTimer feed;
    feed.start();
    for (int i = 20; i < kDayReadings; ++i)
        window.addReading(reading(i, start + milliseconds(500LL * i)));
    const double feedMs = static_cast<double>(feed.nsecsElapsed()) / 1e6;
    window.redraw();

    std::printf("\n24 h at 2 readings/s: %d readings fed in %.0f ms (%.2f us a reading)\n", kDayReadings, feedMs,
                feedMs * 1000.0 / kDayReadings);
    std::printf("Memory above the empty window: resident %.2f MiB, heap %.2f MiB, store's own count %.2f MiB\n",
                residentMiB() - rss0, heapMiB() - heap0,
                static_cast<double>(window.store().memoryBytes() - bytes0) / 1048576.0);
    const TTrendTime last = *window.store().lastTime();
    printTimes("\nAfter 24 h, following the latest:", window, last);
    printTimes("\nAfter 24 h, panned to 12 h back:", window, last - 12h);

    window.findChild<QCheckBox*>(QStringLiteral("followBox"))->setChecked(true);
    window.findChild<QComboBox*>(QStringLiteral("spanBox"))->setCurrentIndex(1);

    // Live: the window closed, then open and recording.
    int index = kDayReadings;
    window.hide();
    const double closed = liveCpuPercent(window, liveSeconds, index);
    window.show();
    if (!window.startRecording(dir.filePath(QStringLiteral("trend.csv"))))
        return 1;
    const double open = liveCpuPercent(window, liveSeconds, index);
    window.findChild<QComboBox*>(QStringLiteral("spanBox"))->setCurrentIndex(3);
    const double openHour = liveCpuPercent(window, liveSeconds, index);
    std::printf("\nLive readings at 2/s for %d s each (the store holding 24 h), CPU of one core:\n"
                "  window closed: %.2f %%\n  window open and recording, 5 min span: %.2f %%\n"
                "  window open and recording, 60 min span: %.2f %%\n",
                liveSeconds, closed, open, openHour);
    return 0;
}
