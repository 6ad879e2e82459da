// The main window's own CPU during continuous reading with the traffic monitor
// and the trend open, against a simulated display behind an adapter that
// echoes, replying with CR LF: four monitor rows a reading.
// The process's user and system time (every thread) over wall time, each
// minute and for the whole run. Under xvfb-run the windows are drawn by an X
// server as on a desktop; without a display, offscreen.
// Usage: bench_window_cpu [SECONDS] (default 600).
#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

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

// Runs the event loop for `ms`. Not QApplication::quit(), which closes every window.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double since(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

} // namespace

int main(int argc, char* argv[])
{
    const int seconds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 600;
    TSimulatedCom1 com1;
    QApplication app(argc, argv);
    if (!com1.start({QStringLiteral("--echo"), QStringLiteral("--crlf")})) {
        std::fprintf(stderr, "bench_window_cpu: the simulated display did not start\n");
        return 1;
    }
    TForm1 window;
    window.show();
    DisplayConfig.BaudIndex = 3; // 9600
    window.controls().trafficMonitorItem->trigger();
    window.controls().trendItem->trigger();
    // The trend window is linked in, so that its module is found without a search.
    if (!window.findChild<TTrendWindow*>())
        std::printf("  the trend window did not open\n");
    QPointer<TTrafficMonitor> monitor = window.findChild<TTrafficMonitor*>();
    if (monitor)
        QObject::connect(monitor, &QObject::destroyed, [] { std::printf("  the monitor was closed\n"); });
    int shown = 0;
    QObject::connect(&window, &TForm1::displayReadingShown, [&] { ++shown; });
    // Let the windows settle before counting.
    runFor(1000);

    std::printf("continuous reading, monitor and trend open, display with echo and CR LF, "
                "platform %s, %d s\n",
        qPrintable(QGuiApplication::platformName()), seconds);
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = cpuSeconds();
    double cpuMinute = cpuStart;
    auto minuteStart = start;
    QTimer minute;
    QObject::connect(&minute, &QTimer::timeout, [&] {
        const double cpu = cpuSeconds();
        std::printf("  minute %2d: %.2f %% of a core\n", static_cast<int>(since(start) / 60.0 + 0.5),
            100.0 * (cpu - cpuMinute) / since(minuteStart));
        std::fflush(stdout);
        cpuMinute = cpu;
        minuteStart = std::chrono::steady_clock::now();
    });
    minute.start(60000);
    window.ModActualit();
    runFor(seconds * 1000);
    const double wall = since(start);
    const double cpu = cpuSeconds() - cpuStart;
    window.ModActualit();

    const int rows = monitor ? monitor->model()->rowCount() : 0;
    std::printf("  readings shown        %d (%.2f a second)\n", shown, shown / wall);
    std::printf("  monitor rows          %d (%.2f a second, at most %zu kept)\n", rows, rows / wall,
        TTrafficModel::kMaxFrames);
    std::printf("  program CPU           %.2f s in %.1f s = %.2f %% of one core\n", cpu, wall, 100.0 * cpu / wall);
    return shown > 0 ? 0 : 1;
}
