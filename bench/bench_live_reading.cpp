// Continuous reading by the main window against the simulated display paced
// at 9600 bit/s: the interval between value updates (mean, spread, drift) and
// the program's CPU time, with the traffic monitor closed, then open, then
// with the trend open and recording.
// Usage: bench_live_reading [SECONDS] (default 30 a phase).
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/resource.h>
#include <vector>

#include "SimulatedCom1.h"
#include "app/Qxtest.h"
#include "config/DisplayConfig.h"
#include "windows/TrafficMonitor.h"
#include "windows/TrendWindow.h"

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
        + static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct TPhase {
    const char* name;
    std::function<void(TForm1&)> setUp;
};

// One run of continuous reading: the interval between value updates and the CPU it costs.
int runPhase(QApplication& app, TForm1& window, const TPhase& phase, int seconds)
{
    phase.setUp(window);
    std::vector<double> shown; // seconds since the start of continuous reading
    const auto start = std::chrono::steady_clock::now();
    const auto connection = QObject::connect(&window, &TForm1::displayReadingShown, [&] {
        shown.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    });
    const double cpuBefore = cpuSeconds();
    window.ModActualit();
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    app.exec();
    const double cpu = cpuSeconds() - cpuBefore;
    window.ModActualit();
    QObject::disconnect(connection);
    // Let the last reading end before the next phase.
    QTimer::singleShot(300, &app, &QApplication::quit);
    app.exec();

    std::printf("%s\n", phase.name);
    if (shown.size() < 3) {
        std::printf("  only %zu readings in %d s\n", shown.size(), seconds);
        return 1;
    }
    std::vector<double> gaps;
    for (std::size_t i = 1; i < shown.size(); ++i)
        gaps.push_back((shown[i] - shown[i - 1]) * 1000.0);
    double mean = 0;
    for (double g : gaps)
        mean += g;
    mean /= static_cast<double>(gaps.size());
    double var = 0;
    for (double g : gaps)
        var += (g - mean) * (g - mean);
    const double spread = std::sqrt(var / static_cast<double>(gaps.size()));
    std::sort(gaps.begin(), gaps.end());
    // Drift: where the last reading falls against the 500 ms grid of the first.
    const double expectedLast = shown.front() + 0.5 * static_cast<double>(shown.size() - 1);
    const double drift = (shown.back() - expectedLast) * 1000.0;
    std::printf("  readings shown        %zu (expected about %d)\n", shown.size(), seconds * 2);
    std::printf("  interval mean         %.2f ms\n", mean);
    std::printf("  interval spread (sd)  %.2f ms\n", spread);
    std::printf("  interval min / max    %.2f / %.2f ms\n", gaps.front(), gaps.back());
    std::printf("  drift over the run    %+.2f ms\n", drift);
    std::printf("  program CPU           %.3f s = %.3f%% of one core\n", cpu, 100.0 * cpu / seconds);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 30;
    TSimulatedCom1 com1;
    QApplication app(argc, argv);
    if (!com1.start({QStringLiteral("--baud"), QStringLiteral("9600")})) {
        std::fprintf(stderr, "bench_live_reading: the simulated display did not start\n");
        return 1;
    }

    TForm1 window;
    window.show();
    DisplayConfig.BaudIndex = 3; // 9600
    const TPhase phases[] = {
        {"traffic monitor closed", [](TForm1&) {}},
        {"traffic monitor open", [](TForm1& w) { w.controls().trafficMonitorItem->trigger(); }},
        {"traffic monitor closed, trend open and recording",
            [&com1](TForm1& w) {
                if (auto* monitor = w.findChild<TTrafficMonitor*>())
                    monitor->close();
                w.controls().trendItem->trigger();
                if (auto* trend = w.findChild<TTrendWindow*>())
                    trend->startRecording(com1.filePath(QStringLiteral("readings.csv")));
            }},
    };
    std::printf("continuous reading, simulated display at 9600 bit/s, %d s a phase\n", seconds);
    int failed = 0;
    for (const TPhase& phase : phases)
        failed += runPhase(app, window, phase, seconds);
    return failed == 0 ? 0 : 1;
}
