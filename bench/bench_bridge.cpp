// dadiz-bridge's figures, against displays this program plays on a
// pseudo-terminal at the pace of 9600 bit/s and a private mosquitto:
//   1. from a display's reply (its last byte written) to its value at an MQTT
//      subscriber on the same machine: median and 99th percentile;
//   2. 32 displays at 9600 bit/s read back to back: the time of a round (any 32
//      exchanges in a row) against its wire-time floor (request and reply
//      bytes, 10 bits each);
//   3. 32 displays read once a second for SECONDS (default 600): the bridge's
//      CPU (user and system time over wall time) and memory, sampled in ten
//      steps; once with replies coming a byte at a time, as from a UART, and
//      once whole after their time on the wire, as a USB adapter hands them on.
//   bench_bridge [SECONDS]

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <mosquitto.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tests/support/ProcStat.h"
#include "tests/support/Sockets.h"

namespace {

using testsupport::cpuSeconds;
using testsupport::freePort;
using testsupport::rssKiB;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kBaud = 9600;
constexpr double kByteMs = 10.0 * 1000.0 / kBaud;
constexpr std::size_t kRequestBytes = 5; // "@NNL" CR
constexpr std::size_t kReplyBytes = 18;  // "@NNRL", eight value characters, "RR", two relays, CR

pid_t spawn(const std::vector<std::string>& args)
{
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void end(pid_t pid)
{
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

// Displays on the far side of a pseudo-terminal: each reading reply carries a
// number never sent before, paced at 9600 bit/s; the time its last byte was
// written is kept by that number, and the time each request arrived.
class TPacedBus {
public:
    // `whole`: each reply written in one piece once its time on the wire has passed.
    explicit TPacedBus(int count, bool whole = false) : count_(count), whole_(whole)
    {
        int m = -1;
        int s = -1;
        char name[128] = {};
        openpty(&m, &s, name, nullptr, nullptr);
        termios t{};
        tcgetattr(s, &t);
        cfmakeraw(&t);
        tcsetattr(s, TCSANOW, &t);
        master_ = m;
        slave_ = s;
        path_ = name;
        thread_ = std::thread([this] { serve(); });
    }
    ~TPacedBus()
    {
        stop_ = true;
        thread_.join();
        close(master_);
        close(slave_);
    }
    const std::string& path() const { return path_; }

    std::optional<Clock::time_point> replied(long number)
    {
        std::lock_guard lock(mutex_);
        const auto found = replied_.find(number);
        return found == replied_.end() ? std::nullopt : std::optional(found->second);
    }
    std::vector<Clock::time_point> asked()
    {
        std::lock_guard lock(mutex_);
        return asked_;
    }

private:
    void serve()
    {
        std::string request;
        while (!stop_) {
            pollfd pfd{master_, POLLIN, 0};
            if (poll(&pfd, 1, 20) <= 0)
                continue;
            char buf[256];
            const ssize_t n = read(master_, buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) {
                request += buf[i];
                if (buf[i] != '\r')
                    continue;
                answer(request);
                request.clear();
            }
        }
    }

    void answer(const std::string& request)
    {
        const auto arrived = Clock::now();
        if (request.size() != kRequestBytes || request[0] != '@' || request[3] != 'L')
            return;
        const int address = (request[1] - '0') * 10 + (request[2] - '0');
        if (address < 0 || address >= count_)
            return;
        {
            std::lock_guard lock(mutex_);
            asked_.push_back(arrived);
        }
        const long number = ++next_ % 100000000;
        char text[32];
        std::snprintf(text, sizeof text, "@%02dRL%8ldRR01\r", address, number);
        const std::string reply(text);
        // A pseudo-terminal hands the request over at once; on a line its CR
        // comes after the request's own time on the wire, and the reply follows
        // one byte at a time.
        auto at = arrived + std::chrono::microseconds(static_cast<long>(kRequestBytes * kByteMs * 1000));
        if (whole_) {
            std::this_thread::sleep_until(at + std::chrono::microseconds(static_cast<long>(reply.size() * kByteMs * 1000)));
            if (write(master_, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size()))
                return;
        }
        for (std::size_t i = 0; i < reply.size() && !whole_; ++i) {
            at += std::chrono::microseconds(static_cast<long>(kByteMs * 1000));
            std::this_thread::sleep_until(at);
            if (write(master_, &reply[i], 1) != 1)
                return;
        }
        std::lock_guard lock(mutex_);
        replied_[number] = Clock::now();
    }

    int count_;
    bool whole_;
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    long next_ = 0;
    std::map<long, Clock::time_point> replied_;
    std::vector<Clock::time_point> asked_;
    std::thread thread_;
};

// The numbers of one display's topic as a subscriber gets them, with their times.
class TSubscriber {
public:
    TSubscriber(int port, const std::string& topic)
    {
        mosquitto_lib_init();
        m_ = mosquitto_new(nullptr, true, this);
        mosquitto_message_callback_set(m_, [](mosquitto*, void* self, const mosquitto_message* msg) {
            auto* s = static_cast<TSubscriber*>(self);
            const std::string payload(static_cast<const char*>(msg->payload), static_cast<std::size_t>(msg->payloadlen));
            std::lock_guard lock(s->mutex_);
            if (!payload.empty())
                s->got_.emplace_back(std::atol(payload.c_str()), Clock::now());
        });
        mosquitto_connect(m_, "127.0.0.1", port, 30);
        mosquitto_subscribe(m_, nullptr, topic.c_str(), 0);
        mosquitto_loop_start(m_);
    }
    ~TSubscriber()
    {
        mosquitto_disconnect(m_);
        mosquitto_loop_stop(m_, false);
        mosquitto_destroy(m_);
    }
    std::vector<std::pair<long, Clock::time_point>> got()
    {
        std::lock_guard lock(mutex_);
        return got_;
    }

private:
    mosquitto* m_ = nullptr;
    std::mutex mutex_;
    std::vector<std::pair<long, Clock::time_point>> got_;
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5))];
}

struct TSetup {
    std::string dir;
    int brokerPort = 0;
    pid_t broker = -1;
};

pid_t startBridge(const TSetup& s, const std::string& device, int displays, int periodMs)
{
    const std::string conf = s.dir + "/bridge.conf";
    std::ofstream(conf) << "[Broker]\nHost=127.0.0.1\nPort=" << s.brokerPort << "\n\n[Line B]\nDevice=" << device
                        << "\nBaud=9600\nParity=even\nDataBits=7\nStopBits=1\nAddresses=0-" << displays - 1
                        << "\nPeriodMs=" << periodMs << "\n";
    return spawn({DADIZ_BRIDGE_PATH, "--config", conf});
}

} // namespace

int main(int argc, char** argv)
{
    const int soakSeconds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 600;
    char dirTemplate[] = "/tmp/bench-bridge-XXXXXX";
    TSetup s;
    s.dir = mkdtemp(dirTemplate);
    s.brokerPort = freePort();
    std::ofstream(s.dir + "/mosquitto.conf") << "listener " << s.brokerPort << " 127.0.0.1\nallow_anonymous true\n";
    s.broker = spawn({DADIZ_MOSQUITTO_PATH, "-c", s.dir + "/mosquitto.conf"});
    std::this_thread::sleep_for(500ms);

    {
        // 1. One display read ten times a second: each reading is a new number.
        TPacedBus bus(1);
        TSubscriber sub(s.brokerPort, "dadiz/B/00/number");
        const pid_t bridge = startBridge(s, bus.path(), 1, 100);
        std::this_thread::sleep_for(30s);
        end(bridge);
        std::vector<double> ms;
        for (const auto& [number, at] : sub.got())
            if (const auto replied = bus.replied(number))
                ms.push_back(std::chrono::duration<double, std::milli>(at - *replied).count());
        std::printf("reply to subscriber: %zu readings, median %.2f ms, p99 %.2f ms, max %.2f ms\n", ms.size(),
                    percentile(ms, 0.5), percentile(ms, 0.99), percentile(ms, 1.0));
    }
    {
        // 2. 32 displays read back to back.
        TPacedBus bus(32);
        const pid_t bridge = startBridge(s, bus.path(), 32, 100);
        std::this_thread::sleep_for(30s);
        end(bridge);
        // A round is any 32 exchanges in a row: the displays are not read in
        // a fixed order (each asks again at its own period's tick), so the
        // time between two readings of one display is not a round.
        const std::vector<Clock::time_point> asked = bus.asked();
        std::vector<double> rounds;
        for (std::size_t i = 32 + 32; i < asked.size(); ++i) // the first round opens the line
            rounds.push_back(std::chrono::duration<double, std::milli>(asked[i] - asked[i - 32]).count());
        const double floor = 32 * (kRequestBytes + kReplyBytes) * kByteMs;
        const double median = percentile(rounds, 0.5);
        std::printf("32 displays at 9600 bit/s, 32 exchanges in a row (%zu spans): median %.1f ms, p99 %.1f ms; "
                    "wire floor %.1f ms; median %.1f %% above it\n",
                    rounds.size(), median, percentile(rounds, 0.99), floor, (median / floor - 1) * 100);
    }
    for (const bool whole : {false, true}) {
        // 3. 32 displays once a second, for the run's length.
        TPacedBus bus(32, whole);
        const pid_t bridge = startBridge(s, bus.path(), 32, 1000);
        std::this_thread::sleep_for(5s);
        const double cpu0 = cpuSeconds(bridge);
        const auto t0 = Clock::now();
        std::printf("32 displays once a second for %d s, replies %s: RSS", soakSeconds,
                    whole ? "whole" : "a byte at a time");
        for (int step = 1; step <= 10; ++step) {
            std::this_thread::sleep_until(t0 + std::chrono::milliseconds(soakSeconds * 100 * step));
            std::printf(" %ld", rssKiB(bridge));
            std::fflush(stdout);
        }
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        const double cpu = cpuSeconds(bridge) - cpu0;
        std::printf(" KiB; CPU %.2f s of %.0f s = %.2f %% of a core\n", cpu, wall, cpu / wall * 100);
        end(bridge);
    }
    end(s.broker);
    std::filesystem::remove_all(s.dir);
    return 0;
}
