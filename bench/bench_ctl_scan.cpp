// "dadizctl scan --timeout 100" over 32 addresses with three simulated
// displays answering, against its floor: 29 time-outs plus three exchanges,
// each exchange measured here on the same line through TZComm.
// Then "dadizctl send FILE --address 1-8" at 9600 baud against its wire-time
// floor: a 93-byte request and a 6-byte acknowledgement a display. The
// pseudo-terminal carries the request at once, so the simulated displays
// wait its wire time before they answer and send the answer at the line's
// pace: what a real line would impose.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "base/Formats.h"
#include "base/UniqueFd.h"
#include "protocol/Replies.h"
#include "protocol/Requests.h"
#include "protocol/RxBuffer.h"
#include "serial/Zcomm.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTimeoutMs = 100;
constexpr int kBaud = 19200;
const std::vector<int> kAnswering = {3, 17, 29};

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Starts a program with its stdout on a pipe and its stderr dropped.
pid_t spawn(const char* program, std::vector<std::string> args, UniqueFd& out)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv{const_cast<char*>(program)};
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program, argv.data());
        _exit(127);
    }
    close(fds[1]);
    out.reset(fds[0]);
    return pid;
}

std::string readAll(int fd)
{
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        text.append(buf, static_cast<std::size_t>(n));
    return text;
}

std::string readLine(int fd)
{
    std::string line;
    char c;
    pollfd pfd{fd, POLLIN, 0};
    while (poll(&pfd, 1, 5000) > 0 && read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

struct TRunResult {
    double ms = 0;
    int status = -1;
    std::string out;
};

TRunResult runCtl(std::vector<std::string> args)
{
    UniqueFd out;
    const auto start = Clock::now();
    const pid_t pid = spawn(DADIZ_CTL_PATH, std::move(args), out);
    TRunResult r;
    r.out = readAll(out.get());
    int status = 0;
    waitpid(pid, &status, 0);
    r.ms = msSince(start);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// One 'L' exchange through the program's serial component on an open port.
double exchangeMs(TZComm& port, int address)
{
    const TReadRequest request = buildReadRequest(static_cast<std::uint8_t>(address), kLetterDisplayReading);
    TRxBuffer rx;
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    port.OnDataAvailable = [&](TZComm*) {
        std::uint8_t piece[20];
        long n;
        while ((n = port.ReadComm(piece, sizeof piece)) > 0)
            if (rx.append(std::span<const std::uint8_t>(piece, static_cast<std::size_t>(n)))
                != TRxBuffer::TState::Incomplete)
                loop.quit();
    };
    const auto start = Clock::now();
    port.WriteComm(request.data(), static_cast<long>(request.size()));
    rx.reset();
    guard.start(2000);
    loop.exec();
    const double ms = msSince(start);
    port.OnDataAvailable = nullptr;
    if (!rx.complete() || checkReply(rx.reply(), request) != TReplyCheck::Accepted) {
        std::fprintf(stderr, "bench_ctl_scan: no reply from address %d\n", address);
        std::exit(1);
    }
    return ms;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string minMax(const std::vector<double>& v)
{
    return cfmt("(min %.1f, max %.1f)", *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
}

// send to 8 displays at 9600 baud with `bits` bits a character (10: 7 data
// bits, even parity, 1 stop bit; 11: 8 data bits, even parity).
bool sendFigures(int bits, double startMs)
{
    constexpr int kDisplays = 8;
    constexpr int kLineBaud = 9600;
    constexpr int kRequest = 93;
    constexpr int kAck = 6;
    const double charMs = bits * 1000.0 / kLineBaud;
    // On a wire the acknowledgement is whole 99 characters after the request
    // started; the simulator writes each reply byte at the start of its
    // character time, so it waits the request and one character more.
    const int delayMs = static_cast<int>((kRequest + 1) * charMs + 0.999);
    const double roundingMs = kDisplays * (delayMs - (kRequest + 1) * charMs);
    // The simulator paces replies at 10 bits a byte: a slower rate gives 11.
    const int simBaud = kLineBaud * 10 / bits;

    UniqueFd simOut;
    const pid_t sim = spawn(DADIZ_SIM_PATH,
                            {"--bus", "1,2,3,4,5,6,7,8", "--baud", std::to_string(simBaud), "--delay",
                             std::to_string(delayMs)},
                            simOut);
    const std::string path = readLine(simOut.get());
    if (path.empty()) {
        std::fprintf(stderr, "bench_ctl_scan: dadiz-sim did not start\n");
        return false;
    }
    char dir[] = "/tmp/bench_ctl_send.XXXXXX";
    if (!mkdtemp(dir))
        return false;
    const std::string file = std::string(dir) + "/line.dad";
    runCtl({"new", file, "input=current", "in1=4", "in2=20", "point=1", "disp2=850.5", "relay1=timed",
            "relay1-setpoint=450.0", "relay2=hysteresis", "relay2-setpoint=-10.0"});
    const std::vector<std::string> line = {"--port", path, "--baud", std::to_string(kLineBaud), "--data-bits",
                                           bits == 10 ? "7" : "8"};

    auto args = [&](std::vector<std::string> a) {
        a.insert(a.end(), line.begin(), line.end());
        return a;
    };
    std::vector<double> together;
    std::vector<double> oneByOne;
    for (int round = 0; round < 5; ++round) {
        const TRunResult r = runCtl(args({"send", file, "--address", "1-8"}));
        if (r.status != 0) {
            std::fprintf(stderr, "bench_ctl_scan: send ended with status %d\n", r.status);
            return false;
        }
        together.push_back(r.ms);
        double loop = 0;
        for (int a = 1; a <= kDisplays; ++a)
            loop += runCtl(args({"send", file, "--address", std::to_string(a)})).ms;
        oneByOne.push_back(loop);
    }
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
    unlink(file.c_str());
    rmdir(dir);

    const double floorMs = kDisplays * (kRequest + kAck) * charMs;
    const double total = median(together);
    std::printf("\ndadizctl send FILE --address 1-8, 9600 baud, %d bits a character (simulated line)\n", bits);
    std::printf("%s", cfmt("wire-time floor, 8 x (93 + 6) characters:    %8.1f ms\n", floorMs).c_str());
    std::printf("%s", cfmt("send to 8, whole process (median of 5):      %8.1f ms  %s\n", total,
                           minMax(together).c_str())
                          .c_str());
    std::printf("%s", cfmt("simulated line above the floor (its delay in whole ms): %.1f ms\n", roundingMs).c_str());
    std::printf("%s", cfmt("send / floor: %.3f (%+.1f%%); above the floor and the simulated line's rounding, less the "
                           "process start and end: %.1f ms a display\n",
                           total / floorMs, (total / floorMs - 1) * 100,
                           (total - startMs - floorMs - roundingMs) / kDisplays)
                          .c_str());
    std::printf("%s", cfmt("8 runs of send, one a display (median of 5): %8.1f ms  %s\n", median(oneByOne),
                           minMax(oneByOne).c_str())
                          .c_str());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);

    UniqueFd simOut;
    std::string bus;
    for (int a : kAnswering)
        bus += (bus.empty() ? "" : ",") + std::to_string(a);
    const pid_t sim = spawn(DADIZ_SIM_PATH, {"--bus", bus}, simOut);
    const std::string path = readLine(simOut.get());
    if (path.empty()) {
        std::fprintf(stderr, "bench_ctl_scan: dadiz-sim did not start\n");
        return 1;
    }

    // The exchanges of the answering displays, measured on the same line.
    double exchanges = 0;
    {
        TZComm port;
        port.Port = path;
        port.BaudRate = kBaud;
        if (!port.OpenConnection()) {
            std::fprintf(stderr, "bench_ctl_scan: %s\n", describeOpenFailure(port).c_str());
            return 1;
        }
        for (int a : kAnswering) {
            std::vector<double> samples;
            for (int i = 0; i < 15; ++i)
                samples.push_back(exchangeMs(port, a));
            exchanges += median(samples);
        }
        port.CloseConnection();
    }
    // A time-out waits kTimeoutMs once the 5-byte request has left the port.
    const int transmitMs = (5 * 10 * 1000 + kBaud - 1) / kBaud;
    const double silent = 32.0 - static_cast<double>(kAnswering.size());
    const double floorMs = silent * (kTimeoutMs + transmitMs) + exchanges;
    const double nominalFloorMs = silent * kTimeoutMs + exchanges;

    // The process's own start and end: a run that fails to open a port.
    std::vector<double> starts;
    for (int i = 0; i < 5; ++i)
        starts.push_back(runCtl({"value", "--port", "/nonexistent/tty"}).ms);
    const double startMs = median(starts);

    const std::vector<std::string> scanArgs = {"scan", "--port", path, "--timeout", std::to_string(kTimeoutMs),
                                               "--baud", std::to_string(kBaud)};
    std::vector<double> totals;
    std::string listed;
    for (int i = 0; i < 3; ++i) {
        const TRunResult r = runCtl(scanArgs);
        if (r.status != 0) {
            std::fprintf(stderr, "bench_ctl_scan: scan ended with status %d\n", r.status);
            return 1;
        }
        totals.push_back(r.ms);
        listed = r.out;
    }
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);

    const double total = median(totals);
    std::printf("dadizctl scan, 32 addresses, 3 answering, --timeout %d, --baud %d (pseudo-terminal)\n", kTimeoutMs,
                kBaud);
    std::printf("%s", listed.c_str());
    std::printf("%s", cfmt("three exchanges (measured, median of 15 each): %8.1f ms\n", exchanges).c_str());
    std::printf("%s", cfmt("29 time-outs of %d ms + %d ms request transmission: %8.1f ms\n", kTimeoutMs, transmitMs,
                           silent * (kTimeoutMs + transmitMs))
                          .c_str());
    std::printf("%s", cfmt("floor:                                       %8.1f ms\n", floorMs).c_str());
    std::printf("%s", cfmt("floor without the transmission time:         %8.1f ms\n", nominalFloorMs).c_str());
    std::printf("%s", cfmt("process start and end (median of 5):         %8.1f ms\n", startMs).c_str());
    std::printf("%s", cfmt("scan, whole process (median of 3):           %8.1f ms  (min %.1f, max %.1f)\n", total,
                           *std::min_element(totals.begin(), totals.end()),
                           *std::max_element(totals.begin(), totals.end()))
                          .c_str());
    std::printf("%s", cfmt("scan / floor: %.3f (%+.1f%%), against the floor without transmission: %+.1f%%; target within 10%%\n",
                           total / floorMs, (total / floorMs - 1) * 100, (total / nominalFloorMs - 1) * 100)
                          .c_str());
    if (!sendFigures(10, startMs) || !sendFigures(11, startMs))
        return 1;
    return 0;
}
