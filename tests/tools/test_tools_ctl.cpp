// dadizctl as a user runs it: the real binary against files and against the
// simulated display, both as child processes. Every run uses French numbers
// (decimal comma) and a private XDG_CONFIG_HOME, so numbers must still come
// out with '.' and the user's port map is never read.

#include "config/RecordCodec.h"
#include "config/UniqueFd.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <poll.h>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::string tempDir(const std::string& name)
{
    const std::string dir = testing::TempDir() + "dadizctl-" + name + "-" + std::to_string(getpid());
    mkdir(dir.c_str(), 0700);
    return dir;
}

const std::string& configHome()
{
    static const std::string dir = tempDir("xdg");
    return dir;
}

// A child process with its stdout and stderr collected.
class TChild {
public:
    TChild(const char* program, const std::vector<std::string>& args)
    {
        int out[2];
        int err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            setenv("XDG_CONFIG_HOME", configHome().c_str(), 1);
            unsetenv("LC_ALL");
            setenv("LANG", "C", 1);
            setenv("LC_NUMERIC", "fr_FR.utf8", 1);
            std::vector<char*> argv{const_cast<char*>(program)};
            std::vector<std::string> copy = args;
            for (auto& a : copy)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(program, argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        out_.reset(out[0]);
        err_.reset(err[0]);
    }

    ~TChild()
    {
        if (!finished_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    pid_t pid() const { return pid_; }

    // Reads one line of stdout, waiting at most `wait`.
    std::string readLine(std::chrono::milliseconds wait = 5000ms)
    {
        std::string line;
        char c;
        pollfd pfd{out_.get(), POLLIN, 0};
        while (poll(&pfd, 1, static_cast<int>(wait.count())) > 0 && read(out_.get(), &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    // Collects both streams until the child ends; a child still running
    // after `limit` is killed and the test fails.
    int finish(std::chrono::milliseconds limit = 20000ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        bool outOpen = true;
        bool errOpen = true;
        while (outOpen || errOpen) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left <= 0ms) {
                ADD_FAILURE() << "child still running";
                kill(pid_, SIGKILL);
                break;
            }
            pollfd pfd[2] = {{outOpen ? out_.get() : -1, POLLIN, 0}, {errOpen ? err_.get() : -1, POLLIN, 0}};
            if (poll(pfd, 2, static_cast<int>(left.count())) <= 0)
                continue;
            char buf[4096];
            if (outOpen && pfd[0].revents) {
                const ssize_t n = read(out_.get(), buf, sizeof buf);
                if (n > 0)
                    out.append(buf, static_cast<std::size_t>(n));
                else
                    outOpen = false;
            }
            if (errOpen && pfd[1].revents) {
                const ssize_t n = read(err_.get(), buf, sizeof buf);
                if (n > 0)
                    err.append(buf, static_cast<std::size_t>(n));
                else
                    errOpen = false;
            }
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        finished_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    std::string out;
    std::string err;

private:
    pid_t pid_ = -1;
    bool finished_ = false;
    UniqueFd out_;
    UniqueFd err_;
};

struct TRun {
    int status;
    std::string out;
    std::string err;
};

TRun ctl(const std::vector<std::string>& args)
{
    TChild child(DADIZ_CTL_PATH, args);
    const int status = child.finish();
    return {status, child.out, child.err};
}

// The simulated display; its first line of output is its device.
class TSim {
public:
    explicit TSim(const std::vector<std::string>& args) : child_(DADIZ_SIM_PATH, args), path_(child_.readLine())
    {
        if (path_.empty())
            throw std::runtime_error("dadiz-sim did not start");
    }
    ~TSim()
    {
        kill(child_.pid(), SIGTERM);
        child_.finish();
    }
    const std::string& path() const { return path_; }

private:
    TChild child_;
    std::string path_;
};

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string recordFile(const std::string& path, void (*edit)(TDisplayConfig&))
{
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    edit(cfg);
    const TRecord record = encodeRecord(cfg);
    writeFile(path, std::string(record.begin(), record.end()));
    return path;
}

TDisplayConfig loadRecord(const std::string& path)
{
    const std::string bytes = readFile(path);
    TRecord record{};
    EXPECT_EQ(bytes.size(), RecordSize) << path;
    std::copy_n(bytes.begin(), std::min(bytes.size(), RecordSize), record.begin());
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    decodeRecord(record, cfg);
    return cfg;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

long cpuTicks(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::stol(field);
    return ticks;
}

TEST(Ctl, NewWritesTheDefaultsAndShowPrintsThePanels)
{
    const std::string file = tempDir("new") + "/new.dad";
    ASSERT_EQ(ctl({"new", file}).status, 0);
    std::string expected(RecordSize, '\0');
    expected[6] = 2;
    EXPECT_EQ(readFile(file), expected);

    struct Case {
        std::vector<std::string> options;
        std::vector<std::string> wanted;
    };
    const Case cases[] = {
        {{}, {"Setup display", "  Digits num.   4", "  Parity       Par", "  Input value  1       0",
              "Setup Relay 2", "  On if value < level"}},
        {{"--lang", "ca"}, {"Configuració visualitzador", "  Control                  Procès",
                            "  Tipus entrada            Tensió", "  Activat si valor < nivell dispar"}},
        {{"--lang", "fr"}, {"Configuration Relais 1", "  On si valeur < seuil"}},
        {{"--json"}, {"{", "  \"DigitsIndex\": 2,", "  \"InputValue1\": 0,", "  \"Relay1DelayType\": \"\\u0000\",",
                      "  \"Relay2Setpoint\": 0", "}"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"show", file};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const TRun run = ctl(args);
        EXPECT_EQ(run.status, 0) << run.err;
        const auto got = lines(run.out);
        for (const auto& w : c.wanted)
            EXPECT_NE(std::find(got.begin(), got.end(), w), got.end()) << "missing \"" << w << "\" in\n" << run.out;
    }
}

TEST(Ctl, SetWritesCheckedFieldsAndShowUsesTheirFormats)
{
    const std::string file = tempDir("set") + "/set.dad";
    ASSERT_EQ(ctl({"new", file}).status, 0);
    const TRun set = ctl({"set", file, "DigitsIndex=3", "DecimalPoint=2", "DisplayValue1=-199.99",
                          "DisplayValue2=199.99", "InputValue1=-4.125", "InputMode=1", "Resolution=1",
                          "TempOffset=-0.5", "Relay1Enabled=1", "Relay1DelayType=0", "Relay1TriggerLevel=0",
                          "Relay1Setpoint=-1250", "Relay1Delay=999", "Address=31"});
    ASSERT_EQ(set.status, 0) << set.err;
    const TDisplayConfig cfg = loadRecord(file);
    EXPECT_EQ(cfg.DigitsIndex, 3);
    EXPECT_DOUBLE_EQ(cfg.DisplayValue1, -199.99);
    EXPECT_DOUBLE_EQ(cfg.InputValue1, -4.125);
    EXPECT_DOUBLE_EQ(cfg.TempOffset, -0.5);
    EXPECT_EQ(cfg.Relay1DelayType, '0');
    EXPECT_EQ(cfg.Relay1TriggerLevel, '0');
    EXPECT_EQ(cfg.Relay1Setpoint, -1250);
    EXPECT_EQ(cfg.Address, 31);

    const TRun json = ctl({"show", file, "--json"});
    EXPECT_NE(json.out.find("\"DisplayValue1\": -199.99,"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"TempOffset\": -0.5,"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"Relay1TriggerLevel\": \"0\","), std::string::npos) << json.out;
    const TRun text = ctl({"show", file});
    for (const char* w : {"  Address      31", "  Thermometer offset  -0.5", "  Threshold  -12.50",
                          "  On if value > level", "  Delay      999"})
        EXPECT_NE(text.out.find(w), std::string::npos) << w << " in\n" << text.out;
}

TEST(Ctl, BadInputIsRefusedAndLeavesTheFileAlone)
{
    const std::string dir = tempDir("bad");
    const std::string file = dir + "/cfg.dad";
    ASSERT_EQ(ctl({"new", file}).status, 0);
    ASSERT_EQ(ctl({"set", file, "DecimalPoint=1"}).status, 0);
    const std::string shortFile = dir + "/short.dad";
    writeFile(shortFile, std::string(40, '\x01'));

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"set", file, "Foo=1"}, 2, "unknown field \"Foo\""},
        {{"set", file, "Address=32"}, 2, "Address must be a whole number from 0 to 31, not \"32\""},
        {{"set", file, "DigitsIndex=9"}, 2, "DigitsIndex must be a whole number from 0 to 8"},
        {{"set", file, "DisplayValue1=9999.5"}, 2,
         "DisplayValue1 must be from -999.9 to 9999 with at most 1 decimal (4 digits, decimal point 1)"},
        {{"set", file, "DigitsIndex=1", "DisplayValue2=1000"}, 2, "DisplayValue2 must be from -99.9 to 999.9"},
        {{"set", file, "InputValue1=12.345"}, 2, "InputValue1 must be from -99.9 to 99.9 with at most 2 decimals"},
        {{"set", file, "InputValue2=100"}, 2, "InputValue2 must be from -99.9 to 99.9"},
        {{"set", file, "InputValue2=1,5"}, 2, "InputValue2 must be a number written with a '.'"},
        {{"set", file, "TempOffset=-100"}, 2, "TempOffset must be from -99.9 to 99.9"},
        {{"set", file, "Relay2Delay=1000"}, 2, "Relay2Delay must be a whole number from 0 to 999"},
        {{"set", file, "Relay1DelayType=2"}, 2, "Relay1DelayType must be 0 or 1"},
        {{"set", file, "Relay1Setpoint=100000"}, 2, "Relay1Setpoint must be a whole number of display counts from -9999 to 99999"},
        {{"set", file, "Relay1Setpoint=12.5"}, 2, "Relay1Setpoint must be a whole number"},
        {{"set", file, "Address=5", "Baud=3"}, 2, "unknown field \"Baud\""},
        {{"set", file, "Address"}, 2, "\"Address\" is not FIELD=VALUE"},
        {{"set", shortFile, "Address=5"}, 4, "short.dad: the file is shorter than a configuration"},
        {{"show", shortFile}, 4, "shorter than a configuration"},
        {{"show", dir + "/missing.dad"}, 4, "missing.dad: no such file or directory"},
        {{"new", dir + "/no/such/dir.dad"}, 4, "no such file or directory"},
        {{"frob", file}, 2, "unknown command \"frob\""},
        {{"set", file}, 2, "usage: dadizctl set FILE FIELD=VALUE..."},
        {{"show", file, "--timeout", "5"}, 2, "--timeout does not apply to show"},
        {{"value", "--address", "32"}, 2, "--address must be a whole number from 0 to 31"},
        {{"scan", "--address", "3"}, 2, "--address does not apply to scan"},
        {{"value", "--parity", "mark"}, 2, "--parity must be even, odd or none"},
    };
    const std::string before = readFile(file);
    const std::string shortBefore = readFile(shortFile);
    for (const auto& c : cases) {
        const TRun run = ctl(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[0] << ' ' << c.args.back() << '\n' << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.rfind("dadizctl: ", 0), 0u) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    EXPECT_EQ(readFile(file), before);
    EXPECT_EQ(readFile(shortFile), shortBefore);
    EXPECT_EQ(loadRecord(file).DecimalPoint, 1);
}

TEST(Ctl, HelpForTheToolAndEachCommand)
{
    for (const char* command : {"", "show", "new", "set", "send", "receive", "value", "calib", "scan"}) {
        std::vector<std::string> args;
        if (*command)
            args.push_back(command);
        args.push_back("--help");
        const TRun run = ctl(args);
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_NE(run.out.find(std::string("Usage: dadizctl ") + command), std::string::npos) << run.out;
    }
}

TEST(Ctl, SendThenReceiveRoundTrips)
{
    TSim sim({"--bus", "7,9"});
    const std::string dir = tempDir("roundtrip");
    const std::string sent = dir + "/sent.dad";
    ASSERT_EQ(ctl({"new", sent}).status, 0);
    ASSERT_EQ(ctl({"set", sent, "Address=7", "ProcessInput=1", "InputValue1=4", "InputValue2=20.5",
                   "DecimalPoint=1", "DisplayValue1=-12.5", "DisplayValue2=850.5", "ProbeType=2", "TempUnits=1",
                   "Resolution=1", "TempOffset=5.3", "Relay1Enabled=1", "Relay1DelayType=0",
                   "Relay1TriggerLevel=1", "Relay1Delay=5", "Relay1Setpoint=4500", "Relay2DelayType=1",
                   "Relay2Delay=12", "Relay2Setpoint=-999"})
                  .status,
              0);
    const TRun send = ctl({"send", sent, "--port", sim.path()});
    ASSERT_EQ(send.status, 0) << send.err;
    EXPECT_NE(send.out.find("address 07 on " + sim.path()), std::string::npos) << send.out;

    // Into a new file: what the reply does not carry takes the defaults.
    const std::string fresh = dir + "/fresh.dad";
    const TRun receive = ctl({"receive", fresh, "--port", sim.path(), "--address", "7"});
    ASSERT_EQ(receive.status, 0) << receive.err;
    // Into an existing file: its line, address and digits stay.
    const std::string kept = dir + "/kept.dad";
    ASSERT_EQ(ctl({"new", kept}).status, 0);
    ASSERT_EQ(ctl({"set", kept, "BaudIndex=3", "Address=9", "DigitsIndex=5", "ParityIndex=2"}).status, 0);
    ASSERT_EQ(ctl({"receive", kept, "--port", sim.path(), "--address", "7"}).status, 0);

    const TDisplayConfig a = loadRecord(sent);
    for (const std::string& path : {fresh, kept}) {
        const TDisplayConfig b = loadRecord(path);
        EXPECT_EQ(b.ProcessInput, a.ProcessInput) << path;
        EXPECT_DOUBLE_EQ(b.InputValue1, a.InputValue1) << path;
        EXPECT_DOUBLE_EQ(b.InputValue2, a.InputValue2) << path;
        EXPECT_DOUBLE_EQ(b.DisplayValue1, a.DisplayValue1) << path;
        EXPECT_DOUBLE_EQ(b.DisplayValue2, a.DisplayValue2) << path;
        EXPECT_EQ(b.DecimalPoint, a.DecimalPoint) << path;
        EXPECT_EQ(b.ProbeType, a.ProbeType) << path;
        EXPECT_EQ(b.TempUnits, a.TempUnits) << path;
        EXPECT_EQ(b.Resolution, a.Resolution) << path;
        EXPECT_DOUBLE_EQ(b.TempOffset, a.TempOffset) << path;
        EXPECT_EQ(b.Relay1Enabled, 1) << path;
        EXPECT_EQ(b.Relay1DelayType, '0') << path;
        EXPECT_EQ(b.Relay1TriggerLevel, '1') << path;
        EXPECT_EQ(b.Relay1Delay, 5) << path;
        EXPECT_EQ(b.Relay1Setpoint, 4500) << path;
        EXPECT_EQ(b.Relay2Enabled, 0) << path;
        EXPECT_EQ(b.Relay2Delay, 12) << path;
        EXPECT_EQ(b.Relay2Setpoint, -999) << path;
    }
    const TDisplayConfig f = loadRecord(fresh);
    EXPECT_EQ(f.Address, 0);
    EXPECT_EQ(f.DigitsIndex, 2);
    const TDisplayConfig k = loadRecord(kept);
    EXPECT_EQ(k.Address, 9);
    EXPECT_EQ(k.BaudIndex, 3);
    EXPECT_EQ(k.ParityIndex, 2);
    EXPECT_EQ(k.DigitsIndex, 5);

    // The other display on the bus kept its own configuration.
    const std::string other = dir + "/other.dad";
    ASSERT_EQ(ctl({"receive", other, "--port", sim.path(), "--address", "9"}).status, 0);
    EXPECT_NE(loadRecord(other).Relay1Setpoint, 4500);
}

TEST(Ctl, SendVerifyListsWhatTheDisplayHoldsOtherwise)
{
    TSim sim({"--address", "4"});
    const std::string dir = tempDir("verify");
    const std::string same = dir + "/same.dad";
    ASSERT_EQ(ctl({"new", same}).status, 0);
    ASSERT_EQ(ctl({"set", same, "InputValue1=-4.25", "DecimalPoint=3", "DisplayValue1=1.234", "Relay2Enabled=1",
                   "Relay2TriggerLevel=0", "Relay2Setpoint=77"})
                  .status,
              0);
    const TRun ok = ctl({"send", same, "--port", sim.path(), "--address", "4", "--verify"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(ok.out.find("read back the same"), std::string::npos) << ok.out;

    // An offset of tens of degrees in tenths keeps only units and tenths, and
    // a delay keeps three digits; an input value with four decimals is within
    // the precision of its field.
    const std::string differs = recordFile(dir + "/differs.dad", [](TDisplayConfig& c) {
        c.Address = 4;
        c.InputValue2 = 1.2345;
        c.Resolution = 1;
        c.TempOffset = 12.5;
        c.Relay1Enabled = 1;
        c.Relay1TriggerLevel = '0';
        c.Relay1Delay = 1234; // three digits travel
    });
    const TRun bad = ctl({"send", differs, "--port", sim.path(), "--verify"});
    EXPECT_EQ(bad.status, 1) << bad.err;
    EXPECT_EQ(lines(bad.out), (std::vector<std::string>{"TempOffset: file 12.5, display 2.5",
                                                        "Relay1Delay: file 1234, display 123"}))
        << bad.out;
    EXPECT_NE(bad.err.find("holds 2 field(s) other than " + differs), std::string::npos) << bad.err;
}

TEST(Ctl, ValueAndCalibration)
{
    TSim sim({"--bus", "7,31", "--value", "12.5", "--decimals", "1"});
    const TRun value = ctl({"value", "--port", sim.path(), "--address", "7"});
    ASSERT_EQ(value.status, 0) << value.err;
    EXPECT_TRUE(std::regex_match(value.out, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}  12\.5  relay1=(ON|OFF) relay2=(ON|OFF)\n)")))
        << value.out;

    // The address comes from FILE unless an option says otherwise.
    const std::string file = tempDir("calib") + "/d31.dad";
    ASSERT_EQ(ctl({"new", file}).status, 0);
    ASSERT_EQ(ctl({"set", file, "Address=31"}).status, 0);
    const TRun calib = ctl({"calib", file, "--port", sim.path()});
    ASSERT_EQ(calib.status, 0) << calib.err;
    const auto rows = lines(calib.out);
    ASSERT_EQ(rows.size(), 18u) << calib.out;
    EXPECT_EQ(rows[0].rfind("Voltage -10V ", 0), 0u) << rows[0];
    EXPECT_EQ(rows[5].rfind("PT100 CHANEL 2 Temp. 0°. Resolution 1° ", 0), 0u) << rows[5];
    EXPECT_EQ(rows[6].rfind("PT100 CHANEL 1 Temp. 0°. Resolution 0.1° ", 0), 0u) << rows[6];
    EXPECT_TRUE(std::regex_match(rows[17], std::regex("Diode temperature +025\\.3"))) << rows[17];
    for (const auto& row : rows)
        EXPECT_TRUE(std::regex_search(row, std::regex("  \\S{5}$"))) << row;

    const TRun wrong = ctl({"calib", file, "--port", sim.path(), "--address", "8", "--timeout", "100"});
    EXPECT_EQ(wrong.status, 1);
}

TEST(Ctl, ScanFindsExactlyTheDisplaysOnTheBus)
{
    TSim sim({"--bus", "0,13,31"});
    const TRun scan = ctl({"scan", "--port", sim.path(), "--timeout", "100", "--baud", "19200"});
    ASSERT_EQ(scan.status, 0) << scan.err;
    std::vector<std::string> found;
    for (const auto& line : lines(scan.out)) {
        EXPECT_TRUE(std::regex_match(line, std::regex(R"(\d\d  -?\d+(\.\d+)?  relay1=(ON|OFF) relay2=(ON|OFF))")))
            << line;
        found.push_back(line.substr(0, 2));
    }
    EXPECT_EQ(found, (std::vector<std::string>{"00", "13", "31"}));
}

TEST(Ctl, NoReplyOrABadOneExitsWithOne)
{
    const std::string dir = tempDir("noreply");
    const std::string file = dir + "/cfg.dad";
    ASSERT_EQ(ctl({"new", file}).status, 0);
    const std::string before = readFile(file);
    const std::string absent = dir + "/absent.dad";

    struct Case {
        std::vector<std::string> sim;
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"--silent"}, {"value", "--timeout", "200"}, "no reply within 200 ms"},
        {{"--silent"}, {"value", "--timeout", "50", "--retries", "2"}, "no reply within 50 ms (3 attempts)"},
        {{"--silent"}, {"send", file, "--timeout", "100"}, "address 00 on "},
        {{"--silent"}, {"receive", file, "--timeout", "100"}, "no reply"},
        {{"--silent"}, {"receive", absent, "--timeout", "100"}, "no reply"},
        {{"--silent"}, {"calib", "--timeout", "100"}, "no reply"},
        {{"--silent"}, {"scan", "--timeout", "20"}, "no display answered on "},
        {{"--wrong-address"}, {"value", "--timeout", "200"}, "a reply for another address was set aside: \"@01RL"},
        {{"--noise"}, {"value"}, "bytes arrived without the end of a reply"},
    };
    for (const auto& c : cases) {
        TSim sim(c.sim);
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--port", sim.path()});
        const TRun run = ctl(args);
        EXPECT_EQ(run.status, 1) << c.args[0] << ' ' << c.sim[0] << '\n' << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(sim.path()), std::string::npos) << run.err;
    }
    EXPECT_EQ(readFile(file), before);
    struct stat st{};
    EXPECT_NE(stat(absent.c_str(), &st), 0);
}

TEST(Ctl, PortsThatCannotBeOpenedExitWithThree)
{
    TSim sim({"--address", "0"});
    const std::string dir = configHome() + "/DADiz";
    mkdir(dir.c_str(), 0700);
    // COM2 goes through the program's port map to the simulator, COM3 to nothing.
    writeFile(dir + "/DADiz.conf", "[Ports]\nCOM2=" + sim.path() + "\nCOM3=/nonexistent/ttyX\n");

    const TRun mapped = ctl({"value", "--port", "com2"});
    EXPECT_EQ(mapped.status, 0) << mapped.err;
    for (const std::string& port : {std::string("COM3"), std::string("/nonexistent/ttyY")}) {
        for (const char* command : {"value", "scan", "calib", "send", "receive"}) {
            std::vector<std::string> args{command};
            if (command[1] == 'e') {
                const std::string file = configHome() + "/port3.dad";
                ctl({"new", file});
                args.push_back(file);
            }
            args.insert(args.end(), {"--port", port});
            const TRun run = ctl(args);
            EXPECT_EQ(run.status, 3) << command << ' ' << port << '\n' << run.err;
            EXPECT_NE(run.err.find("does not exist"), std::string::npos) << run.err;
            EXPECT_NE(run.err.find("/nonexistent/tty"), std::string::npos) << run.err;
        }
    }
    unlink((dir + "/DADiz.conf").c_str());
}

TEST(Ctl, WatchEndsCleanlyOnSignalsWithoutSpinning)
{
    for (int signal : {SIGINT, SIGTERM}) {
        TSim sim({"--address", "7"});
        TChild watch(DADIZ_CTL_PATH, {"value", "--watch", "--interval", "100", "--port", sim.path(), "--address", "7"});
        EXPECT_FALSE(watch.readLine().empty());
        std::this_thread::sleep_for(600ms);
        kill(watch.pid(), signal);
        EXPECT_EQ(watch.finish(), 0) << watch.err;
        EXPECT_GE(lines(watch.out).size(), 3u) << watch.out;
        EXPECT_TRUE(watch.err.empty()) << watch.err;
        // The port was given back: another reading goes through at once.
        EXPECT_EQ(ctl({"value", "--port", sim.path(), "--address", "7"}).status, 0);
    }

    // A silent display: readings time out, one message each, and the waits sleep.
    TSim silent({"--silent"});
    TChild watch(DADIZ_CTL_PATH, {"value", "--watch", "--interval", "100", "--timeout", "50", "--port", silent.path()});
    std::this_thread::sleep_for(300ms);
    const long before = cpuTicks(watch.pid());
    std::this_thread::sleep_for(1s);
    EXPECT_LT(cpuTicks(watch.pid()) - before, 20);
    kill(watch.pid(), SIGTERM);
    EXPECT_EQ(watch.finish(), 0);
    EXPECT_GE(lines(watch.err).size(), 5u) << watch.err;
    EXPECT_NE(watch.err.find("no reply within 50 ms"), std::string::npos) << watch.err;
}

} // namespace
