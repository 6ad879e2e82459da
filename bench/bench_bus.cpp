// Displays on the line against the simulated bus paced at 9600 baud (7E1: ten
// bits a character; the simulated displays send their answers at the line's
// pace from their first byte on, and take the request at once):
//  - a round of readings of 8 and of 32 displays against its wire-time floor
//    (a 5-byte request and an 18-byte answer a display), and against what the
//    simulator can impose (17 character times an answer);
//  - the scan of 32 addresses, 3 answering, against its floor (a time-out and
//    the request's wire time a silent address, the exchange's wire time an
//    answering one);
//  - the window's own CPU while it reads 8 displays continuously, and the
//    same readings without a window.
// Usage: bench_bus [SECONDS of the CPU run] (default 60).
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sys/resource.h>

#include "base/Formats.h"
#include "bus/DisplayBus.h"
#include "config/DisplayConfig.h"
#include "session/DisplayLine.h"
#include "session/DisplaySession.h"
#include "tests/support/SimProcess.h"
#include "windows/BusWindow.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kCharMs = 10.0 * 1000.0 / 9600.0;
constexpr int kTimeoutMs = 100;

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
        + static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double msSince(Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

bool waitUntil(const std::function<bool()>& done, int ms)
{
    const auto start = Clock::now();
    while (!done()) {
        if (msSince(start) > ms)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

QStringList simArgs(const std::vector<int>& addresses)
{
    QString list;
    for (int a : addresses)
        list += (list.isEmpty() ? QString() : QStringLiteral(",")) + QString::number(a);
    return {QStringLiteral("--bus"), list, QStringLiteral("--baud"), QStringLiteral("9600")};
}

TDisplayConfig line9600()
{
    TDisplayConfig c;
    resetToDefaults(c);
    c.BaudIndex = 3;
    return c;
}

std::vector<int> range(int first, int count)
{
    std::vector<int> out;
    for (int a = first; a < first + count; ++a)
        out.push_back(a);
    return out;
}

bool rounds(int displays)
{
    testsupport::SimProcess sim(DADIZ_SIM_PATH, simArgs(range(0, displays)));
    if (!sim.ok())
        return false;
    TDisplayBus bus;
    bus.setLineSource(line9600, sim.device);
    bus.setReplyTimeout(kTimeoutMs);
    if (!bus.scan(0, static_cast<std::uint8_t>(displays - 1)) || !waitUntil([&] { return !bus.scanning(); }, 60000)
        || static_cast<int>(bus.rows().size()) != displays)
        return false;
    // The k-th reading of every display makes round k: from its first
    // request written to its last answer.
    std::map<int, std::vector<std::pair<Clock::time_point, Clock::time_point>>> readings;
    int missed = 0;
    for (const auto& row : bus.rows()) {
        const int address = row->address;
        QObject::connect(row->session.get(), &TDisplaySession::reading, [&, address](const TSessionReading& r) {
            if (r.missed)
                ++missed;
            else
                readings[address].emplace_back(r.report.started, r.report.ended);
        });
    }
    const std::size_t kRounds = displays == 8 ? 60 : 30;
    if (!waitUntil([&] {
            return std::ranges::all_of(bus.rows(), [&](const auto& r) { return readings[r->address].size() >= kRounds; });
        }, 120000))
        return false;
    double total = 0;
    // The first rounds start as each display's configuration read ends: left out.
    const std::size_t first = 2;
    for (std::size_t k = first; k < kRounds; ++k) {
        auto from = Clock::time_point::max();
        auto to = Clock::time_point::min();
        for (const auto& [address, times] : readings) {
            from = std::min(from, times[k].first);
            to = std::max(to, times[k].second);
        }
        total += std::chrono::duration<double, std::milli>(to - from).count();
    }
    const double ms = total / static_cast<double>(kRounds - first);
    const double floor = displays * (5 + 18) * kCharMs;
    // The simulated display paces only its answer, from its first byte out.
    const double simFloor = displays * 17 * kCharMs;
    std::printf("  a round of %2d displays   %7.1f ms  wire floor %7.1f ms (%+.1f %%)  simulator's floor %7.1f ms "
                "(%+.1f %%), %d missed\n",
        displays, ms, floor, 100.0 * (ms - floor) / floor, simFloor, 100.0 * (ms - simFloor) / simFloor, missed);
    bus.stopReading();
    waitUntil([&] { return !bus.holdsLine(); }, 5000);
    return true;
}

bool scan32()
{
    const std::vector<int> answering = {3, 17, 29};
    testsupport::SimProcess sim(DADIZ_SIM_PATH, simArgs(answering));
    if (!sim.ok())
        return false;
    TDisplayBus bus;
    bus.setLineSource(line9600, sim.device);
    bus.setReplyTimeout(kTimeoutMs);
    const auto start = Clock::now();
    double ms = 0;
    QObject::connect(&bus, &TDisplayBus::scanEnded, [&] { ms = msSince(start); });
    if (!bus.scan(0, 31) || !waitUntil([&] { return ms > 0; }, 60000))
        return false;
    const double floor = (32 - 3) * (kTimeoutMs + 5 * kCharMs) + 3 * (5 + 18) * kCharMs;
    std::printf("  the scan of 32 addresses %7.1f ms  floor %7.1f ms  (+%.1f %%), %zu found\n", ms, floor,
        100.0 * (ms - floor) / floor, bus.rows().size());
    bus.stopReading();
    waitUntil([&] { return !bus.holdsLine(); }, 5000);
    return bus.rows().size() == answering.size();
}

// Runs the event loop for `ms`: one timer, so that the bench's own wake-ups
// are not counted in the CPU it measures.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU over `seconds` while 8 displays are read: with the window shown, or
// the same readings without a window (what the line and its events cost).
bool readingCpu(int seconds, bool withWindow)
{
    testsupport::SimProcess sim(DADIZ_SIM_PATH, simArgs(range(1, 8)));
    if (!sim.ok())
        return false;
    std::unique_ptr<TBusWindow> window;
    std::unique_ptr<TDisplayBus> alone;
    if (withWindow) {
        window = std::make_unique<TBusWindow>(nullptr, TLanguage::English, kTimeoutMs, line9600, TBusWindow::TMayRun{},
            TBusWindow::TOpenInMain{});
        window->show();
    } else {
        alone = std::make_unique<TDisplayBus>();
        alone->setReplyTimeout(kTimeoutMs);
    }
    TDisplayBus& bus = window ? window->bus() : *alone;
    bus.setLineSource(line9600, sim.device);
    int readings = 0;
    QObject::connect(&bus, &TDisplayBus::rowChanged, [&] { ++readings; });
    if (!bus.scan(1, 8) || !waitUntil([&] { return !bus.scanning() && bus.rows().size() == 8; }, 60000))
        return false;
    runFor(2000);
    readings = 0;
    const auto start = Clock::now();
    const double cpu0 = cpuSeconds();
    runFor(seconds * 1000);
    const double wall = msSince(start) / 1000.0;
    const double cpu = cpuSeconds() - cpu0;
    std::printf("  8 displays read, %-9s %.2f s of CPU in %.1f s = %.2f %% of a core, %.1f readings a second\n",
        withWindow ? "window" : "no window", cpu, wall, 100.0 * cpu / wall, readings / wall);
    bus.stopReading();
    return readings > 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;
    QApplication app(argc, argv);
    std::printf("displays on the line, simulated bus at 9600 baud 7E1, time-out %d ms\n", kTimeoutMs);
    std::printf("platform %s\n", qPrintable(QGuiApplication::platformName()));
    const bool ok = rounds(8) && rounds(32) && scan32() && readingCpu(seconds, true) && readingCpu(seconds, false);
    if (!ok)
        std::fprintf(stderr, "bench_bus: a run did not finish\n");
    return ok ? 0 : 1;
}
