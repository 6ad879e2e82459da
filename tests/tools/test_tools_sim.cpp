// The simulated display against the program's own frame functions: each side
// was written without the other's code, so a disagreement shows up here.

#include "config/UniqueFd.h"
#include "protocol/Replies.h"
#include "protocol/Requests.h"
#include "protocol/RxBuffer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

// The simulator as a child process; stopped with SIGTERM when the test ends.
class TSim {
public:
    explicit TSim(std::vector<std::string> args)
    {
        int out[2];
        int err[2];
        if (pipe(out) != 0 || pipe(err) != 0)
            throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            close(out[0]);
            close(out[1]);
            close(err[0]);
            close(err[1]);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(DADIZ_SIM_PATH));
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(DADIZ_SIM_PATH, argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        stdout_.reset(out[0]);
        stderr_.reset(err[0]);
        path_ = readLine();
    }

    ~TSim()
    {
        if (pid_ > 0 && !stopped_)
            stop(SIGTERM);
    }

    const std::string& path() const { return path_; }
    pid_t pid() const { return pid_; }

    // Sends `signal` and returns the exit status.
    int stop(int signal)
    {
        kill(pid_, signal);
        int status = 0;
        waitpid(pid_, &status, 0);
        stopped_ = true;
        return status;
    }

    // Everything written to stderr; only after stop().
    std::string errorText()
    {
        std::string text;
        char buf[4096];
        ssize_t n;
        while ((n = read(stderr_.get(), buf, sizeof buf)) > 0)
            text.append(buf, static_cast<std::size_t>(n));
        return text;
    }

private:
    std::string readLine()
    {
        std::string line;
        char c;
        pollfd pfd{stdout_.get(), POLLIN, 0};
        while (poll(&pfd, 1, 5000) > 0 && read(stdout_.get(), &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    pid_t pid_ = -1;
    bool stopped_ = false;
    UniqueFd stdout_;
    UniqueFd stderr_;
    std::string path_;
};

// The PC side of the line, opened with plain termios.
class TPort {
public:
    explicit TPort(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC))
    {
        termios tio{};
        if (!fd_ || tcgetattr(fd_.get(), &tio) != 0)
            throw std::runtime_error("cannot open " + path);
        cfmakeraw(&tio);
        // The speed of the cases that give the simulator one with --baud.
        cfsetspeed(&tio, B9600);
        tcsetattr(fd_.get(), TCSANOW, &tio);
    }

    struct TExchange {
        TRxBuffer rx;
        TRxBuffer::TState state = TRxBuffer::TState::Incomplete;
        std::vector<std::size_t> pieces;
        std::string text() const { return std::string(rx.reply().begin(), rx.reply().end()); }
    };

    // Writes the request and collects the reply as the program does, in
    // reads of up to 20 bytes, until complete, overflowing or `wait` of silence.
    TExchange exchange(std::span<const std::uint8_t> request, std::chrono::milliseconds wait = 2000ms)
    {
        TExchange ex;
        if (write(fd_.get(), request.data(), request.size()) != static_cast<ssize_t>(request.size()))
            throw std::runtime_error("write");
        ex.rx.reset();
        pollfd pfd{fd_.get(), POLLIN, 0};
        while (ex.state == TRxBuffer::TState::Incomplete && poll(&pfd, 1, static_cast<int>(wait.count())) > 0) {
            std::uint8_t buf[20];
            const ssize_t n = read(fd_.get(), buf, sizeof buf);
            if (n <= 0)
                break;
            ex.pieces.push_back(static_cast<std::size_t>(n));
            ex.state = ex.rx.append(std::span<const std::uint8_t>(buf, static_cast<std::size_t>(n)));
        }
        return ex;
    }

private:
    UniqueFd fd_;
};

TDisplayConfig configFor(std::uint8_t address)
{
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    cfg.Address = address;
    return cfg;
}

TEST(Sim, SendThenReceiveRoundTripsEveryField)
{
    struct Case {
        const char* name;
        void (*edit)(TDisplayConfig&);
    };
    const Case cases[] = {
        {"process, current, relay 1 timed high, relay 2 off",
         [](TDisplayConfig& c) {
             c.ProcessInput = 1;
             c.InputValue1 = 4.0;
             c.DisplayValue1 = -12.5;
             c.InputValue2 = 20.0;
             c.DisplayValue2 = 850.5;
             c.DecimalPoint = 1;
             c.Relay1Enabled = 1;
             c.Relay1DelayType = '0';
             c.Relay1TriggerLevel = '0';
             c.Relay1Delay = 5;
             c.Relay1Setpoint = 4500;
             c.Relay2Enabled = 0;
             c.Relay2DelayType = '1';
             c.Relay2Delay = 999;
             c.Relay2Setpoint = -12345;
         }},
        {"voltage, four decimals, relay 2 hysteresis low",
         [](TDisplayConfig& c) {
             c.ProcessInput = 0;
             c.InputValue1 = -10.0;
             c.DisplayValue1 = -1.2345;
             c.InputValue2 = 9.875;
             c.DisplayValue2 = 9.9999;
             c.DecimalPoint = 4;
             c.Relay1Enabled = 1;
             c.Relay1DelayType = '1';
             c.Relay1TriggerLevel = '1';
             c.Relay1Delay = 0;
             c.Relay1Setpoint = -9999;
             c.Relay2Enabled = 1;
             c.Relay2DelayType = '1';
             c.Relay2TriggerLevel = '1';
             c.Relay2Delay = 12;
             c.Relay2Setpoint = 99999;
         }},
        {"temperature, tenths, negative offset",
         [](TDisplayConfig& c) {
             c.ProbeType = 3;
             c.TempUnits = 1;
             c.Resolution = 1;
             c.TempOffset = -0.5;
             c.DecimalPoint = 0;
             c.DisplayValue1 = 1234567.0;
             c.DisplayValue2 = -99999.0;
             c.InputValue1 = 100.0;
         }},
        {"temperature, whole degrees, thermocouple J",
         [](TDisplayConfig& c) {
             c.ProbeType = 1;
             c.TempUnits = 0;
             c.Resolution = 0;
             c.TempOffset = 12.0;
             c.DecimalPoint = 2;
             c.DisplayValue1 = 0.3;
         }},
    };
    TSim sim({"--address", "7", "--input-mode", "1"});
    for (const auto& c : cases) {
        TDisplayConfig sent = configFor(7);
        c.edit(sent);
        TPort port(sim.path());
        const auto request = buildConfigRequest(sent);
        auto ack = port.exchange(request);
        ASSERT_EQ(ack.state, TRxBuffer::TState::Complete) << c.name;
        EXPECT_EQ(ack.text(), "@07RE\r") << c.name;
        EXPECT_EQ(checkReply(ack.rx.reply(), request), TReplyCheck::Accepted) << c.name;

        const auto pRequest = buildReadRequest(7, kLetterAnalogParams);
        auto reply = port.exchange(pRequest);
        ASSERT_EQ(reply.state, TRxBuffer::TState::Complete) << c.name;
        ASSERT_EQ(checkReply(reply.rx.reply(), pRequest), TReplyCheck::Accepted) << c.name;
        TDisplayConfig got = configFor(7);
        parseAnalogParamsReply(reply.rx.reply(), got);

        EXPECT_EQ(got.InputMode, 1) << c.name;
        EXPECT_EQ(got.ProcessInput, sent.ProcessInput) << c.name;
        EXPECT_DOUBLE_EQ(got.InputValue1, sent.InputValue1) << c.name;
        EXPECT_DOUBLE_EQ(got.DisplayValue1, sent.DisplayValue1) << c.name;
        EXPECT_DOUBLE_EQ(got.InputValue2, sent.InputValue2) << c.name;
        EXPECT_DOUBLE_EQ(got.DisplayValue2, sent.DisplayValue2) << c.name;
        EXPECT_EQ(got.DecimalPoint, sent.DecimalPoint) << c.name;
        EXPECT_EQ(got.ProbeType, sent.ProbeType) << c.name;
        EXPECT_EQ(got.TempUnits, sent.TempUnits) << c.name;
        EXPECT_EQ(got.Resolution, sent.Resolution) << c.name;
        EXPECT_DOUBLE_EQ(got.TempOffset, sent.TempOffset) << c.name;
        EXPECT_EQ(got.Relay1Enabled, sent.Relay1Enabled) << c.name;
        EXPECT_EQ(got.Relay1DelayType, sent.Relay1DelayType) << c.name;
        EXPECT_EQ(got.Relay1TriggerLevel, sent.Relay1Enabled ? sent.Relay1TriggerLevel : '2') << c.name;
        EXPECT_EQ(got.Relay1Delay, sent.Relay1Delay) << c.name;
        EXPECT_EQ(got.Relay1Setpoint, sent.Relay1Setpoint) << c.name;
        EXPECT_EQ(got.Relay2Enabled, sent.Relay2Enabled) << c.name;
        EXPECT_EQ(got.Relay2DelayType, sent.Relay2DelayType) << c.name;
        EXPECT_EQ(got.Relay2TriggerLevel, sent.Relay2Enabled ? sent.Relay2TriggerLevel : '2') << c.name;
        EXPECT_EQ(got.Relay2Delay, sent.Relay2Delay) << c.name;
        EXPECT_EQ(got.Relay2Setpoint, sent.Relay2Setpoint) << c.name;
    }
}

TEST(Sim, ReadingFollowsTheRelayConfiguration)
{
    TSim sim({"--address", "7", "--value", "12.5", "--decimals", "1"});
    TPort port(sim.path());
    TDisplayConfig cfg = configFor(7);
    cfg.DecimalPoint = 1;
    cfg.Relay1Enabled = 1;
    cfg.Relay1DelayType = '1';
    cfg.Relay1TriggerLevel = '0'; // high: on above 10.0
    cfg.Relay1Setpoint = 100;
    cfg.Relay2Enabled = 1;
    cfg.Relay2DelayType = '1';
    cfg.Relay2TriggerLevel = '1'; // low: on below 10.0, so off
    cfg.Relay2Setpoint = 100;
    ASSERT_EQ(port.exchange(buildConfigRequest(cfg)).text(), "@07RE\r");

    struct Case {
        std::int32_t setpoint2;
        char trigger2;
        std::uint8_t enabled2;
        std::array<bool, 2> relays;
    };
    const Case cases[] = {
        {100, '1', 1, {true, false}},
        {200, '1', 1, {true, true}},  // low, and 12.5 is below 20.0
        {200, '1', 0, {true, false}}, // disabled
        {200, '0', 1, {true, false}}, // high, and 12.5 is not above 20.0
    };
    for (const auto& c : cases) {
        cfg.Relay2Setpoint = c.setpoint2;
        cfg.Relay2TriggerLevel = c.trigger2;
        cfg.Relay2Enabled = c.enabled2;
        ASSERT_EQ(port.exchange(buildConfigRequest(cfg)).text(), "@07RE\r");
        const auto request = buildReadRequest(7, kLetterDisplayReading);
        const auto ex = port.exchange(request);
        ASSERT_EQ(ex.state, TRxBuffer::TState::Complete);
        ASSERT_EQ(checkReply(ex.rx.reply(), request), TReplyCheck::Accepted);
        const TDisplayReading reading = parseDisplayReadingReply(ex.rx.reply());
        EXPECT_EQ(reading.value, "    12.5");
        EXPECT_EQ(reading.relays, c.relays) << c.setpoint2 << ' ' << c.trigger2 << ' ' << int(c.enabled2);
    }
}

TEST(Sim, MovingValueFitsTheDisplay)
{
    struct Case {
        const char* digits;
        const char* decimals;
    };
    const Case cases[] = {{"4", "1"}, {"2", "0"}, {"10", "0"}, {"6", "3"}, {"8", "5"}};
    for (const auto& c : cases) {
        TSim sim({"--address", "12", "--digits", c.digits, "--decimals", c.decimals});
        TPort port(sim.path());
        const int decimals = std::stoi(c.decimals);
        for (int i = 0; i < 3; ++i) {
            const auto ex = port.exchange(buildReadRequest(12, kLetterDisplayReading));
            const TDisplayReading reading = parseDisplayReadingReply(ex.rx.reply());
            ASSERT_TRUE(reading.value.has_value()) << c.digits << '/' << c.decimals;
            const std::string& v = *reading.value;
            EXPECT_EQ(v.size(), 8u) << v;
            const auto point = v.find('.');
            if (decimals == 0)
                EXPECT_EQ(point, std::string::npos) << v;
            else
                EXPECT_EQ(point, 8u - 1 - static_cast<unsigned>(decimals)) << v;
            EXPECT_TRUE(reading.relays.has_value());
            std::this_thread::sleep_for(100ms);
        }
    }
}

TEST(Sim, CalibrationFillsEveryBox)
{
    TSim sim({"--address", "31"});
    TPort port(sim.path());
    const auto request = buildReadRequest(31, kLetterCalibration);
    const auto ex = port.exchange(request);
    ASSERT_EQ(ex.state, TRxBuffer::TState::Complete);
    ASSERT_EQ(checkReply(ex.rx.reply(), request), TReplyCheck::Accepted);
    const TCalibrationTexts texts = parseCalibrationReply(ex.rx.reply());
    for (std::size_t box = 0; box < texts.size(); ++box) {
        ASSERT_TRUE(texts[box].has_value()) << "Edit" << box + 1;
        EXPECT_EQ(texts[box]->size(), 5u) << "Edit" << box + 1;
    }
    EXPECT_EQ(texts[17], "025.3");
}

TEST(Sim, FaultsOnTheLine)
{
    using S = TRxBuffer::TState;
    struct Case {
        std::vector<std::string> args;
        std::uint8_t address;
        S state;
        std::optional<TReplyCheck> check;
        std::vector<std::size_t> pieces;
    };
    const Case cases[] = {
        {{"--address", "7", "--wrong-address"}, 7, S::Complete, TReplyCheck::WrongAddress, {}},
        {{"--address", "7"}, 8, S::Incomplete, std::nullopt, {}}, // not its address: no answer
        {{"--address", "7", "--silent"}, 7, S::Incomplete, std::nullopt, {}},
        {{"--address", "7", "--noise"}, 7, S::Overflow, std::nullopt, {}},
        {{"--address", "7", "--pieces", "3,10,5"}, 7, S::Complete, TReplyCheck::Accepted, {3, 10, 5}},
        {{"--address", "7", "--baud", "9600", "--delay", "20"}, 7, S::Complete, TReplyCheck::Accepted, {}},
    };
    for (const auto& c : cases) {
        TSim sim(c.args);
        TPort port(sim.path());
        const auto request = buildReadRequest(c.address, kLetterDisplayReading);
        const auto ex = port.exchange(request, 500ms);
        const std::string name = c.args.back();
        EXPECT_EQ(ex.state, c.state) << name;
        if (c.check)
            EXPECT_EQ(checkReply(ex.rx.reply(), request), *c.check) << name;
        else
            EXPECT_FALSE(ex.rx.complete()) << name;
        if (!c.pieces.empty()) {
            EXPECT_EQ(ex.pieces, c.pieces) << name;
        }
    }
}

TEST(Sim, BusKeepsOneConfigurationPerAddress)
{
    TSim sim({"--bus", "3,5"});
    TPort port(sim.path());
    TDisplayConfig cfg = configFor(3);
    cfg.Relay1Enabled = 1;
    cfg.Relay1TriggerLevel = '1';
    cfg.Relay1Setpoint = 4321;
    ASSERT_EQ(port.exchange(buildConfigRequest(cfg)).text(), "@03RE\r");

    TDisplayConfig three = configFor(3);
    parseAnalogParamsReply(port.exchange(buildReadRequest(3, 'P')).rx.reply(), three);
    TDisplayConfig five = configFor(5);
    const auto ex = port.exchange(buildReadRequest(5, 'P'));
    ASSERT_EQ(checkReply(ex.rx.reply(), buildReadRequest(5, 'P')), TReplyCheck::Accepted);
    parseAnalogParamsReply(ex.rx.reply(), five);
    EXPECT_EQ(three.Relay1Setpoint, 4321);
    EXPECT_NE(five.Relay1Setpoint, 4321);
}

long cpuTicks(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long utime = 0;
    long stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stol(field);
        if (i == 15)
            stime = std::stol(field);
    }
    return utime + stime;
}

// The other side closing the device must neither stop the simulator nor make it spin.
TEST(Sim, SurvivesTheOtherSideClosingAndReopening)
{
    TSim sim({"--address", "7"});
    for (int i = 0; i < 5; ++i) {
        TPort port(sim.path());
        const auto ex = port.exchange(buildReadRequest(7, kLetterDisplayReading));
        EXPECT_EQ(ex.state, TRxBuffer::TState::Complete) << "opening " << i;
    }
    {
        TPort port(sim.path());
        const auto ex = port.exchange(buildReadRequest(7, kLetterDisplayReading));
        EXPECT_EQ(ex.text().substr(0, 5), "@07RL");
    }
    const long before = cpuTicks(sim.pid());
    std::this_thread::sleep_for(1s);
    // A loop polling a hung-up descriptor would use most of that second.
    EXPECT_LT(cpuTicks(sim.pid()) - before, 20);
    EXPECT_EQ(kill(sim.pid(), 0), 0);
}

// A reply sent while nobody listened must not reach the next opener.
TEST(Sim, LateReplyDoesNotReachTheNextOpener)
{
    TSim sim({"--address", "7", "--delay", "50"});
    {
        TPort port(sim.path());
        port.exchange(buildReadRequest(7, kLetterCalibration), 1ms);
    }
    std::this_thread::sleep_for(500ms);
    TPort port(sim.path());
    const auto ex = port.exchange(buildReadRequest(7, kLetterDisplayReading));
    EXPECT_EQ(ex.text().substr(0, 5), "@07RL");
    EXPECT_EQ(ex.text().size(), 18u);
}

TEST(Sim, StopsCleanlyAndRemovesItsLink)
{
    for (int signal : {SIGTERM, SIGINT}) {
        const std::string link = testing::TempDir() + "dadiz-sim-link-" + std::to_string(signal);
        TSim sim({"--address", "7", "--link", link, "--log"});
        {
            TPort port(link);
            EXPECT_EQ(port.exchange(buildReadRequest(7, kLetterDisplayReading)).state, TRxBuffer::TState::Complete);
        }
        const int status = sim.stop(signal);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << signal;
        struct stat st{};
        EXPECT_NE(lstat(link.c_str(), &st), 0) << link;
        const std::string log = sim.errorText();
        EXPECT_NE(log.find("rx @07L<CR>\n"), std::string::npos) << log;
        EXPECT_NE(log.find("tx @07RL"), std::string::npos) << log;
    }
}

TEST(Sim, RejectsBadOptions)
{
    for (const char* bad : {"--digits=4", "--address", "--pieces"}) {
        TSim sim({bad, bad[2] == 'p' ? "3,x" : "200"});
        EXPECT_TRUE(sim.path().empty()) << bad;
        const int status = sim.stop(SIGTERM);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << bad;
        EXPECT_NE(sim.errorText().find("dadiz-sim: "), std::string::npos) << bad;
    }
}

} // namespace
