// A display that never answers: the time from the window's request to the
// notice that says so, at 1200 and 9600 bit/s, against the reply time-out
// plus the request's wire time. Usage: bench_no_reply [TRIES] (default 10).
#include <QApplication>
#include <QLabel>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "SimulatedCom1.h"
#include "app/Qxtest.h"
#include "config/DisplayConfig.h"
#include "link/DisplayLink.h"

int main(int argc, char* argv[])
{
    const int tries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    TSimulatedCom1 com1;
    QApplication app(argc, argv);
    if (!com1.start({QStringLiteral("--silent")})) {
        std::fprintf(stderr, "bench_no_reply: the simulated display did not start\n");
        return 1;
    }

    TForm1 window;
    using Clock = std::chrono::steady_clock;
    std::printf("a silent display: request to notice, %d tries a speed, reply time-out %d ms\n", tries,
        window.Link()->replyTimeout());
    for (const auto& [baudIndex, baud] : {std::pair{0, 1200}, std::pair{3, 9600}}) {
        DisplayConfig.BaudIndex = static_cast<std::uint8_t>(baudIndex);
        std::vector<double> took;
        for (int i = 0; i < tries; ++i) {
            const Clock::time_point asked = Clock::now();
            window.LlegirDisplay();
            while (window.PendingRequest() != NoRequest)
                QApplication::processEvents(QEventLoop::WaitForMoreEvents);
            const Clock::time_point noticed = Clock::now();
            if (window.controls().NoticeLabel->text().isEmpty()) {
                std::fprintf(stderr, "bench_no_reply: no notice after try %d\n", i + 1);
                return 1;
            }
            took.push_back(std::chrono::duration<double, std::milli>(noticed - asked).count());
        }
        std::sort(took.begin(), took.end());
        double mean = 0;
        for (double t : took)
            mean += t;
        mean /= static_cast<double>(took.size());
        // "@00L" and CR at 7E1: ten bits a character.
        const double floor = window.Link()->replyTimeout() + 5.0 * 10.0 * 1000.0 / baud;
        std::printf("  %5d bit/s: mean %.1f ms, min %.1f, max %.1f (time-out + wire time %.1f ms, +%.1f ms)\n", baud,
            mean, took.front(), took.back(), floor, mean - floor);
    }
    return 0;
}
