// The simulated display against the program's own frame functions: each side
// was written without the other's code, so a disagreement shows up here.

#include "base/UniqueFd.h"
#include "support/ConfigFields.h"
#include "support/ToolProcess.h"
#include "protocol/Replies.h"
#include "protocol/Requests.h"
#include "protocol/RxBuffer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using testsupport::cpuTicks;

// The simulator as a child process; stopped with SIGTERM when the test ends.
class TSim : public testsupport::TSim {
public:
    explicit TSim(const std::vector<std::string>& args, bool mustStart = true)
        : testsupport::TSim(DADIZ_SIM_PATH, args, mustStart)
    {
    }
};

// The PC side of the line, opened with plain termios.
class TPort {
public:
    // `speed`: that of the cases that give the simulator one with --baud.
    explicit TPort(const std::string& path, speed_t speed = B9600)
        : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC))
    {
        termios tio{};
        if (!fd_ || tcgetattr(fd_.get(), &tio) != 0)
            throw std::runtime_error("cannot open " + path);
        cfmakeraw(&tio);
        cfsetspeed(&tio, speed);
        tcsetattr(fd_.get(), TCSANOW, &tio);
    }

    struct TExchange {
        TRxBuffer rx;
        TRxBuffer::TState state = TRxBuffer::TState::Incomplete;
        std::vector<std::size_t> pieces;
        std::string text() const { return std::string(rx.reply().begin(), rx.reply().end()); }
    };

    // Writes the request and collects the reply as the program does, in
    // reads of up to 20 bytes, until complete, overflowing or `wait` of
    // silence; the first read comes `readAfter` after the request.
    TExchange exchange(std::span<const std::uint8_t> request, std::chrono::milliseconds wait = 2000ms,
                       std::chrono::milliseconds readAfter = 0ms)
    {
        TExchange ex;
        if (write(fd_.get(), request.data(), request.size()) != static_cast<ssize_t>(request.size()))
            throw std::runtime_error("write");
        std::this_thread::sleep_for(readAfter);
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

    // Writes the request and returns every byte that comes back until `quiet` of silence.
    std::string raw(std::span<const std::uint8_t> request, std::chrono::milliseconds quiet = 300ms)
    {
        if (write(fd_.get(), request.data(), request.size()) != static_cast<ssize_t>(request.size()))
            throw std::runtime_error("write");
        std::string bytes;
        pollfd pfd{fd_.get(), POLLIN, 0};
        char buf[256];
        ssize_t n;
        while (poll(&pfd, 1, static_cast<int>(quiet.count())) > 0 && (n = read(fd_.get(), buf, sizeof buf)) > 0)
            bytes.append(buf, static_cast<std::size_t>(n));
        return bytes;
    }

    int fd() const { return fd_.get(); }

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

        TDisplayConfig expected = testsupport::asSentBack(sent);
        expected.InputMode = 1;
        EXPECT_EQ(testsupport::configDifferences(expected, got), std::vector<std::string>{}) << c.name;
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
        // Silent addresses add up.
        {{"--bus", "1,2,3", "--silent-address", "1", "--silent-address", "2"}, 1, S::Incomplete, std::nullopt, {}},
        {{"--bus", "1,2,3", "--silent-address", "1", "--silent-address", "2"}, 2, S::Incomplete, std::nullopt, {}},
        {{"--bus", "1,2,3", "--silent-address", "1", "--silent-address", "2"}, 3, S::Complete, TReplyCheck::Accepted, {}},
    };
    for (const auto& c : cases) {
        TSim sim(c.args);
        TPort port(sim.path());
        const auto request = buildReadRequest(c.address, kLetterDisplayReading);
        const auto ex = port.exchange(request, 500ms);
        const std::string name = c.args.back() + " to " + std::to_string(c.address);
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
    {
        // Looked at, not read: the late reply comes in, and goes since nobody reads it.
        const UniqueFd look(open(sim.path().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        ASSERT_TRUE(look.valid());
        const auto unread = [&] {
            int n = 0;
            return ioctl(look.get(), FIONREAD, &n) == 0 ? n : -1;
        };
        const auto waitFor = [](const std::function<bool()>& done) {
            for (int i = 0; i < 3000 && !done(); ++i)
                std::this_thread::sleep_for(10ms);
            return done();
        };
        ASSERT_TRUE(waitFor([&] { return unread() > 0; }));
        ASSERT_TRUE(waitFor([&] { return unread() == 0; }));
    }
    TPort port(sim.path());
    const auto ex = port.exchange(buildReadRequest(7, kLetterDisplayReading));
    EXPECT_EQ(ex.text().substr(0, 5), "@07RL");
    EXPECT_EQ(ex.text().size(), 18u);
}

// A reply read late, while the one before it was read at once, arrives
// whole: the check for an unread reply never cuts the next one.
TEST(Sim, ReplyReadLateAfterAReadOneIsWhole)
{
    TSim sim({"--address", "7", "--baud", "1200"});
    TPort port(sim.path(), B1200);
    const auto request = buildReadRequest(7, kLetterAnalogParams);
    for (int i = 0; i < 3; ++i) {
        const auto ex = port.exchange(request, 2000ms, i == 0 ? 0ms : 400ms);
        ASSERT_EQ(ex.state, TRxBuffer::TState::Complete) << i;
        EXPECT_EQ(checkReply(ex.rx.reply(), request), TReplyCheck::Accepted) << i << ' ' << ex.text();
        EXPECT_EQ(ex.text().size(), 96u) << i << ' ' << ex.text();
    }
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
        EXPECT_EQ(sim.stop(signal), 0) << signal;
        struct stat st{};
        EXPECT_NE(lstat(link.c_str(), &st), 0) << link;
        const std::string& log = sim.log();
        EXPECT_NE(log.find("rx @07L<CR>\n"), std::string::npos) << log;
        EXPECT_NE(log.find("tx @07RL"), std::string::npos) << log;
    }
}

TEST(Sim, RejectsBadOptions)
{
    const std::vector<std::string> cases[] = {
        {"--digits=4", "200"},
        {"--address", "200"},
        {"--pieces", "3,x"},
        // Values the display cannot show, however large.
        {"--value", "1e300", "--decimals", "2"},
        {"--value", "-99999999", "--decimals", "2"},
        {"--value", "100", "--digits", "2", "--decimals", "0"},
        {"--bus", "1,2,1"},
        {"--silent-address", "5"}, // not on the line
    };
    for (const auto& args : cases) {
        TSim sim(args, false);
        EXPECT_TRUE(sim.path().empty()) << args[0] << ' ' << args[1];
        EXPECT_EQ(sim.stop(SIGTERM), 2) << args[0] << ' ' << args[1];
        EXPECT_EQ(sim.log().rfind("dadiz-sim: ", 0), 0u) << sim.log();
    }
}

// The usage and the manual's synopsis list the same options.
TEST(Sim, UsageAndManualNameTheSameOptions)
{
    auto options = [](const std::string& text) {
        std::set<std::string> names;
        static const std::regex option("--[a-z][a-z-]*[a-z]");
        for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
            names.insert(it->str());
        return names;
    };
    testsupport::TChild help(DADIZ_SIM_PATH, {"--help"});
    ASSERT_EQ(help.finish(), 0);
    const std::string usage = help.out.substr(0, help.out.find("\nSimulated"));
    std::ifstream file(DADIZ_SIM_MANUAL);
    std::string manual((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto from = manual.find(".SH SYNOPSIS");
    manual = std::regex_replace(manual.substr(from, manual.find(".SH DESCRIPTION") - from), std::regex(R"(\\-)"), "-");
    EXPECT_FALSE(options(usage).empty()) << usage;
    EXPECT_EQ(options(usage), options(manual)) << usage << manual;
}

// An RS-485 adapter hands back the request before the reply; some displays end with CR LF.
TEST(Sim, EchoAndCrLf)
{
    struct Case {
        std::vector<std::string> options;
        std::string before; // what comes back ahead of the reply
        std::string end;
    };
    const Case cases[] = {
        {{}, "", "\r"},
        {{"--echo"}, "@07L\r", "\r"},
        {{"--crlf"}, "", "\r\n"},
        {{"--echo", "--crlf"}, "@07L\r", "\r\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"--address", "7", "--value", "12.5"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        TSim sim(args);
        TPort port(sim.path());
        const std::string bytes = port.raw(buildReadRequest(7, kLetterDisplayReading));
        const std::string reply = c.before + "@07RL    12.5RR";
        EXPECT_EQ(bytes.substr(0, reply.size()), reply) << testing::PrintToString(bytes);
        EXPECT_EQ(bytes.size(), reply.size() + 2 + c.end.size()) << testing::PrintToString(bytes);
        EXPECT_EQ(bytes.substr(bytes.size() - c.end.size()), c.end) << testing::PrintToString(bytes);
    }
}

// A client killed while it held the port exclusively must not lock out every later non-root opener.
TEST(Sim, ExclusiveFlagOfADeadClientIsCleared)
{
    TSim sim({"--address", "7"});
    auto exclusive = [&] {
        UniqueFd fd(open(sim.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
        int flag = -1;
        if (fd)
            ioctl(fd.get(), TIOCGEXCL, &flag);
        return flag; // -1: refused, as a non-root opener is while the flag holds
    };
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t client = fork();
    if (client == 0) {
        const int fd = open(sim.path().c_str(), O_RDWR | O_NOCTTY);
        ioctl(fd, TIOCEXCL);
        [[maybe_unused]] const ssize_t n = write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    close(ready[1]);
    // The live client keeps its flag, even after someone else (root) opened and closed the device.
    EXPECT_NE(exclusive(), 0);
    std::this_thread::sleep_for(100ms);
    EXPECT_NE(exclusive(), 0);

    kill(client, SIGKILL);
    waitpid(client, nullptr, 0);
    int flag = -1;
    for (int i = 0; i < 100 && (flag = exclusive()) != 0; ++i)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(flag, 0);
}

} // namespace
