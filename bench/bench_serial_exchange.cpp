// Time of one request/reply exchange on a pseudo-terminal through TZComm,
// kept open and opened/closed each time, against bare termios calls in the
// same run; and the CPU the process uses while a port stays open and idle.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "base/Formats.h"
#include "base/UniqueFd.h"
#include "serial/Zcomm.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kRequest = "@07L\r";
const std::string kReply = "@07RL+0012.345RR01\r";  // 19 bytes

// Answers every CR-terminated request on the master side with kReply.
class Responder {
public:
    explicit Responder(int master) : master_(master), stop_(eventfd(0, EFD_CLOEXEC))
    {
        thread_ = std::thread([this] { run(); });
    }
    ~Responder()
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(stop_.get(), &one, sizeof one);
        thread_.join();
    }

private:
    void run()
    {
        std::string got;
        for (;;) {
            pollfd p[2] = {{master_, POLLIN, 0}, {stop_.get(), POLLIN, 0}};
            if (poll(p, 2, -1) < 0)
                continue;
            if (p[1].revents)
                return;
            char buf[64];
            const ssize_t n = read(master_, buf, sizeof buf);
            if (n <= 0) {
                // The slave is closed between exchanges: wait for it to reopen.
                pollfd s{stop_.get(), POLLIN, 0};
                if (poll(&s, 1, 1) > 0)
                    return;
                continue;
            }
            got.append(buf, static_cast<size_t>(n));
            for (size_t cr; (cr = got.find('\r')) != std::string::npos;) {
                got.erase(0, cr + 1);
                [[maybe_unused]] ssize_t w = write(master_, kReply.data(), kReply.size());
            }
        }
    }
    int master_;
    UniqueFd stop_;
    std::thread thread_;
};

struct Stats {
    double median, p99;
};

Stats stats(std::vector<double> us)
{
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[std::min(us.size() - 1, us.size() * 99 / 100)]};
}

int bareOpen(const std::string& path)
{
    UniqueFd fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd || flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return -1;
    termios t{};
    tcgetattr(fd.get(), &t);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetspeed(&t, B9600);
    tcsetattr(fd.get(), TCSANOW, &t);
    return fd.release();
}

// Write the request, then wait in poll() until the whole reply is in.
bool bareExchange(int fd)
{
    if (write(fd, kRequest.data(), kRequest.size()) != static_cast<ssize_t>(kRequest.size()))
        return false;
    size_t got = 0;
    char buf[64];
    while (got < kReply.size()) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 2000) <= 0)
            return false;
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0)
            got += static_cast<size_t>(n);
    }
    return true;
}

// As the program does it: the reply is collected in OnDataAvailable until its CR.
bool zcommExchange(TZComm& port)
{
    std::string reply;
    bool done = false;
    QEventLoop loop;
    port.OnDataAvailable = [&](TZComm* p) {
        unsigned char buf[20];
        const long n = p->ReadComm(buf, 20);
        reply.append(reinterpret_cast<char*>(buf), static_cast<size_t>(n));
        if (!reply.empty() && reply.back() == '\r') {
            done = true;
            loop.quit();
        }
    };
    port.WriteComm(reinterpret_cast<const unsigned char*>(kRequest.data()), static_cast<long>(kRequest.size()));
    // A timer that dies with this call: leftover single-shot timers would
    // fire later, inside the idle measurement.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    guard.start(2000);
    if (!done)
        loop.exec();
    port.OnDataAvailable = nullptr;
    return done && reply == kReply;
}

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

struct Pty {
    UniqueFd master, slave;  // the slave stays open so the master never sees a hang-up
    std::string name;
    bool open()
    {
        int m = -1, s = -1;
        char buf[128] = {};
        if (openpty(&m, &s, buf, nullptr, nullptr) != 0)
            return false;
        master.reset(m);
        slave.reset(s);
        name = buf;
        return true;
    }
};

double elapsedUs(Clock::time_point t0)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // One pseudo-terminal for the bare calls, one for the component, each
    // with its responder; the two are measured in turn, exchange by exchange,
    // so that load from other processes falls on both alike.
    Pty bare, comp;
    if (!bare.open() || !comp.open()) {
        std::perror("openpty");
        return 1;
    }
    Responder bareResponder(bare.master.get());
    Responder compResponder(comp.master.get());
    const int n = argc > 1 ? std::max(100, static_cast<int>(textToInt(argv[1]))) : 2000;

    TZComm port;
    port.Port = comp.name;
    std::vector<double> bareKept, compKept, bareCycle, compCycle;
    // Where a component cycle's time goes: the open (device, settings, wait
    // thread started), the exchange, and the close (wait thread stopped).
    std::vector<double> compOpen, compExchange, compClose;
    auto fail = [&](const char* what) {
        std::fprintf(stderr, "%s failed: %s\n", what, describeOpenFailure(port).c_str());
        std::exit(1);
    };
    {
        UniqueFd fd(bareOpen(bare.name));
        if (!fd || !port.OpenConnection())
            fail("open");
        for (int i = 0; i < n; ++i) {
            auto t0 = Clock::now();
            if (!bareExchange(fd.get()))
                fail("bare exchange");
            bareKept.push_back(elapsedUs(t0));
            t0 = Clock::now();
            if (!zcommExchange(port))
                fail("component exchange");
            compKept.push_back(elapsedUs(t0));
        }
        port.CloseConnection();
    }
    for (int i = 0; i < n; ++i) {
        auto t0 = Clock::now();
        {
            UniqueFd fd(bareOpen(bare.name));
            bool ok = false;
            // A waiter thread per connection, as the component has.
            std::thread waiter([&] { ok = fd && bareExchange(fd.get()); });
            waiter.join();
            if (!ok)
                fail("bare cycle");
        }
        bareCycle.push_back(elapsedUs(t0));
        t0 = Clock::now();
        if (!port.OpenConnection())
            fail("component open");
        const auto opened = Clock::now();
        if (!zcommExchange(port))
            fail("component cycle");
        const auto exchanged = Clock::now();
        port.CloseConnection();
        const auto closed = Clock::now();
        compCycle.push_back(std::chrono::duration<double, std::micro>(closed - t0).count());
        compOpen.push_back(std::chrono::duration<double, std::micro>(opened - t0).count());
        compExchange.push_back(std::chrono::duration<double, std::micro>(exchanged - opened).count());
        compClose.push_back(std::chrono::duration<double, std::micro>(closed - exchanged).count());
    }

    auto idleCpuSeconds = [] {
        const double cpu0 = cpuSeconds();
        QEventLoop idle;
        QTimer::singleShot(5000, &idle, &QEventLoop::quit);
        idle.exec();
        return cpuSeconds() - cpu0;
    };
    port.OpenConnection();
    const double openCpu = idleCpuSeconds();
    port.CloseConnection();
    const double closedCpu = idleCpuSeconds();

    const Stats bk = stats(bareKept), ck = stats(compKept), bc = stats(bareCycle), cc = stats(compCycle);
    std::printf("%s", cfmt("exchanges per case: %d (5-byte request, 19-byte reply, pseudo-terminal)\n", n).c_str());
    std::printf("%s", cfmt("bare termios kept open:          median %8.1f us  p99 %8.1f us\n", bk.median, bk.p99).c_str());
    std::printf("%s", cfmt("TZComm kept open:                median %8.1f us  p99 %8.1f us  ratio %.2f / %.2f\n",
                           ck.median, ck.p99, ck.median / bk.median, ck.p99 / bk.p99).c_str());
    std::printf("%s", cfmt("bare termios open+thread+close:  median %8.1f us  p99 %8.1f us\n", bc.median, bc.p99).c_str());
    std::printf("%s", cfmt("TZComm open+exchange+close:      median %8.1f us  p99 %8.1f us  ratio %.2f / %.2f\n",
                           cc.median, cc.p99, cc.median / bc.median, cc.p99 / bc.p99).c_str());
    const Stats co = stats(compOpen), ce = stats(compExchange), cl = stats(compClose);
    std::printf("%s", cfmt("  of which open / exchange / close: median %.1f / %.1f / %.1f us\n", co.median, ce.median,
                           cl.median).c_str());
    std::printf("%s", cfmt("process CPU over 5 s idle: port open %.3f ms, port closed %.3f ms\n",
                           openCpu * 1000, closedCpu * 1000).c_str());
    return 0;
}
