// dadizctl as a user runs it: the real binary against files and against the
// simulated display, both as child processes. Every run uses French numbers
// (decimal comma) and a private XDG_CONFIG_HOME, so numbers must still come
// out with '.' and the user's port map is never read.

#include "config/RecordCodec.h"
#include "config/UniqueFd.h"
#include "support/ConfigFields.h"
#include "support/ToolProcess.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
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
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using testsupport::cpuTicks;

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

// Every run: a private port map and French numbers.
testsupport::TChildSetup setupFor(testsupport::TChildSetup setup = {})
{
    setup.env.insert(setup.env.end(), {{"XDG_CONFIG_HOME", configHome()}, {"LANG", "C"}, {"LC_ALL", ""},
                                       {"LC_NUMERIC", "fr_FR.utf8"}});
    return setup;
}

class TChild : public testsupport::TChild {
public:
    TChild(const std::vector<std::string>& args, const testsupport::TChildSetup& setup = {})
        : testsupport::TChild(DADIZ_CTL_PATH, args, setupFor(setup))
    {
    }
};

struct TRun {
    int status;
    std::string out;
    std::string err;
};

TRun ctl(const std::vector<std::string>& args, const testsupport::TChildSetup& setup = {})
{
    TChild child(args, setup);
    const int status = child.finish();
    return {status, child.out, child.err};
}

class TSim : public testsupport::TSim {
public:
    explicit TSim(const std::vector<std::string>& args) : testsupport::TSim(DADIZ_SIM_PATH, args) {}
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
    ASSERT_EQ(ctl({"set", file, "DecimalPoint=1", "DisplayValue2=9999"}).status, 0);
    const std::string shortFile = dir + "/short.dad";
    writeFile(shortFile, std::string(40, '\x01'));
    // Nothing may wait on a FIFO: no one will ever write to this one.
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

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
        {{"show", file, "--jsn"}, 2, "unknown option \"--jsn\""},
        {{"value", "--port", "COM0"}, 2,
         "--port \"COM0\" is not a port of the program: COM1, COM2, COM3, COM4, COM5 or COM6"},
        {{"scan", "--port", "com7"}, 2, "\"com7\" is not a port of the program"},
        // New digits or decimals that the values already in the file do not fit.
        {{"set", file, "DigitsIndex=1"}, 2,
         "DisplayValue2 must be from -99.9 to 999.9 with at most 1 decimal (3 digits, decimal point 1), not \"9999\" "
         "(kept from the file"},
        {{"set", file, "DecimalPoint=3"}, 2, "DisplayValue2 must be from -9.999 to 99.999 with at most 3 decimals"},
        {{"set", file, "DigitsIndex=1", "DecimalPoint=2"}, 2,
         "DisplayValue2 must be from -9.99 to 99.99 with at most 2 decimals (3 digits, decimal point 2)"},
        {{"show", fifo}, 4, "cannot read " + fifo + ": not a regular file."},
        {{"set", fifo, "Address=1"}, 4, "not a regular file"},
        {{"value", fifo}, 4, "not a regular file"},
        {{"receive", fifo}, 4, "not a regular file"},
        {{"show", dir}, 4, "is a directory"},
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

    // Into a new file: the line and address it was received over, so that it can be sent back.
    const std::string fresh = dir + "/fresh.dad";
    const TRun receive = ctl({"receive", fresh, "--port", sim.path(), "--address", "7", "--baud", "9600",
                              "--parity", "none", "--lang", "es"});
    ASSERT_EQ(receive.status, 0) << receive.err;
    // Into an existing file: its line, address and digits stay.
    const std::string kept = dir + "/kept.dad";
    ASSERT_EQ(ctl({"new", kept}).status, 0);
    ASSERT_EQ(ctl({"set", kept, "BaudIndex=3", "Address=9", "DigitsIndex=5", "ParityIndex=2"}).status, 0);
    ASSERT_EQ(ctl({"receive", kept, "--port", sim.path(), "--address", "7"}).status, 0);

    TDisplayConfig expected = testsupport::asSentBack(loadRecord(sent));
    expected.BaudIndex = 3;
    expected.ParityIndex = 2;
    EXPECT_EQ(testsupport::configDifferences(expected, loadRecord(fresh)), std::vector<std::string>{});
    expected.Address = 9;
    expected.DigitsIndex = 5;
    EXPECT_EQ(testsupport::configDifferences(expected, loadRecord(kept)), std::vector<std::string>{});

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

    // A decimal position above 4 goes out as 4, and so compares.
    const std::string five = recordFile(dir + "/five.dad", [](TDisplayConfig& c) {
        c.Address = 4;
        c.DecimalPoint = 5;
        c.DisplayValue2 = 1.5;
    });
    const TRun fiveRun = ctl({"send", five, "--port", sim.path(), "--verify"});
    EXPECT_EQ(fiveRun.status, 0) << fiveRun.err << fiveRun.out;

    // Setpoints the frame carries but the display cannot keep; an input value
    // with four decimals is within the precision of its field.
    const std::string differs = recordFile(dir + "/differs.dad", [](TDisplayConfig& c) {
        c.Address = 4;
        c.InputValue2 = 1.2345;
        c.Relay1Enabled = 1;
        c.Relay1TriggerLevel = '0';
        c.Relay1Setpoint = 123456;
        c.Relay2Setpoint = -54321;
    });
    const TRun bad = ctl({"send", differs, "--port", sim.path(), "--verify"});
    EXPECT_EQ(bad.status, 1) << bad.err;
    EXPECT_EQ(lines(bad.out), (std::vector<std::string>{"Relay1Setpoint: file 123456, display 99999",
                                                        "Relay2Setpoint: file -54321, display -19999"}))
        << bad.out;
    EXPECT_NE(bad.err.find("holds 2 field(s) other than " + differs), std::string::npos) << bad.err;
}

// Values that cannot go out as they are stop the command before the port is opened.
TEST(Ctl, FilesThatCannotGoOutAreRefused)
{
    const std::string dir = tempDir("unsendable");
    struct Case {
        std::vector<std::string> args; // FILE is appended
        void (*edit)(TDisplayConfig&);
        std::string message;
    };
    const Case cases[] = {
        {{"send"}, [](TDisplayConfig& c) { c.Address = 100; },
         "Address 100 is outside 0..31 (it would go out as \"10\")"},
        {{"value"}, [](TDisplayConfig& c) { c.Address = 200; }, "Address 200 is outside 0..31"},
        {{"calib"}, [](TDisplayConfig& c) { c.Address = 32; }, "Address 32 is outside 0..31"},
        {{"receive"}, [](TDisplayConfig& c) { c.Address = 99; }, "Address 99 is outside 0..31"},
        {{"send"}, [](TDisplayConfig& c) { c.InputValue1 = std::nan(""); }, "InputValue1 NAN is not a finite number"},
        {{"send"}, [](TDisplayConfig& c) { c.DisplayValue2 = 1e308; },
         "DisplayValue2 1E308 does not fit its field of the request (it would go out as \"1000000\")"},
        {{"send"}, [](TDisplayConfig& c) { c.TempOffset = 12.5, c.Resolution = 1; }, "TempOffset 12.5 does not fit"},
        {{"send"}, [](TDisplayConfig& c) { c.Relay2Delay = 1234; }, "Relay2Delay 1234 does not fit"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string file = recordFile(dir + "/case" + std::to_string(i) + ".dad", cases[i].edit);
        const std::string before = readFile(file);
        std::vector<std::string> args = cases[i].args;
        args.insert(args.end(), {file, "--port", "/nonexistent/tty"});
        const TRun run = ctl(args);
        EXPECT_EQ(run.status, 4) << i << '\n' << run.err;
        EXPECT_NE(run.err.find(file + ": " + cases[i].message), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("nothing was sent"), std::string::npos) << run.err;
        EXPECT_EQ(readFile(file), before);
    }
    // An address given on the command line is the one used.
    const std::string far = recordFile(dir + "/far.dad", [](TDisplayConfig& c) { c.Address = 100; });
    EXPECT_EQ(ctl({"value", far, "--address", "5", "--port", "/nonexistent/tty"}).status, 3);
}

TEST(Ctl, ValueAndCalibration)
{
    TSim sim({"--bus", "7,31", "--value", "12.5", "--decimals", "1"});
    const TRun value = ctl({"value", "--port", sim.path(), "--address", "7", "--lang", "ca"});
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
        TChild watch({"value", "--watch", "--interval", "100", "--port", sim.path(), "--address", "7"});
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
    TChild watch({"value", "--watch", "--interval", "100", "--timeout", "50", "--port", silent.path()});
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

namespace {

// Runs that change one file at the same time take turns: no update is lost.
TEST(Ctl, ParallelSetsOnOneFileAllSurvive)
{
    const std::string file = tempDir("parallel") + "/shared.dad";
    ASSERT_EQ(ctl({"new", file}).status, 0);
    const std::vector<std::string> assignments = {"Address=7",     "BaudIndex=3",    "ParityIndex=2",  "InputMode=1",
                                                  "ProbeType=2",   "TempUnits=1",    "Relay1Delay=5",  "Relay2Delay=9"};
    // They all wait while another holder has the file, then go at once.
    UniqueFd holder(open(file.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(flock(holder.get(), LOCK_EX), 0);
    std::vector<std::unique_ptr<TChild>> runs;
    for (const std::string& a : assignments)
        runs.push_back(std::make_unique<TChild>(std::vector<std::string>{"set", file, a}));
    std::this_thread::sleep_for(500ms);
    for (auto& run : runs)
        EXPECT_FALSE(run->endsWithin(1ms));
    holder.reset();
    for (auto& run : runs)
        EXPECT_EQ(run->finish(), 0) << run->err;
    TDisplayConfig expected;
    resetToDefaults(expected);
    expected.Address = 7;
    expected.BaudIndex = 3;
    expected.ParityIndex = 2;
    expected.InputMode = 1;
    expected.ProbeType = 2;
    expected.TempUnits = 1;
    expected.Relay1Delay = 5;
    expected.Relay2Delay = 9;
    EXPECT_EQ(testsupport::configDifferences(expected, loadRecord(file)), std::vector<std::string>{});
}

// A 'P' reply with the groups of a whole configuration, offsets 0 to the CR.
std::string paramsReply()
{
    return std::string("@00RP") + "01" + "I1  4.000" + "D1      0" + "I2 20.000" + "D2   1000" + "PD1" + "TT0" + "UM1"
        + "RE0" + "OF00 000" + "R110" + "H1005" + "S1  100" + "R212" + "H2000" + "S2    0" + "\r";
}

TEST(Ctl, ReceiveRefusesPartialRepliesAndValuesNoFileHolds)
{
    struct Case {
        std::string reply;
        int status;
        std::string message;
    };
    std::string nineDecimals = paramsReply();
    nineDecimals[45] = '9';
    std::string nulLevel = paramsReply();
    nulLevel[66] = '\0';
    const Case cases[] = {
        {paramsReply(), 0, ""},
        {"@00RP\r", 1, "carries none of the configuration"},
        {paramsReply().substr(0, 25) + "\r", 1,
         "carries only part of the configuration; missing: InputValue2 DisplayValue2 DecimalPoint TempUnits ProbeType"},
        {paramsReply().substr(0, 63) + "\r", 1, "missing: Relay1Enabled Relay1DelayType"},
        {nineDecimals, 1, "holds what a configuration cannot hold: DecimalPoint 9 is outside 0..4"},
        {nulLevel, 1, "Relay1TriggerLevel \\x00 is not 0 or 1 for a relay that is on"},
    };
    const std::string dir = tempDir("partial");
    for (const auto& c : cases) {
        testsupport::TFakeDisplay display([&](const std::string& request) {
            return request == "@00P\r" ? c.reply : std::string();
        });
        const std::string file = dir + "/existing.dad";
        const std::string absent = dir + "/absent.dad";
        unlink(absent.c_str());
        ASSERT_EQ(ctl({"new", file}).status, 0);
        const std::string before = readFile(file);
        for (const std::string& target : {file, absent}) {
            const TRun run = ctl({"receive", target, "--port", display.path(), "--timeout", "300"});
            EXPECT_EQ(run.status, c.status) << c.message << '\n' << run.err;
            EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        }
        struct stat st{};
        if (c.status == 0) {
            EXPECT_EQ(loadRecord(absent).Relay1Delay, 5);
            continue;
        }
        EXPECT_EQ(readFile(file), before) << c.message;
        EXPECT_NE(stat(absent.c_str(), &st), 0) << c.message;
    }
}

// Answers that come after the time-out are reported, with what to do about them.
TEST(Ctl, ScanReportsLateAnswers)
{
    TSim sim({"--bus", "0,13", "--delay", "250"});
    const TRun scan = ctl({"scan", "--port", sim.path(), "--timeout", "100", "--baud", "19200"});
    EXPECT_EQ(scan.status, 1) << scan.err;
    for (const char* w : {"address 00 answered after its time-out: \"@00RL", "address 13 answered after its time-out",
                          "2 late answer(s) were set aside; a --timeout longer than 100 ms may find those displays",
                          "no display answered on "})
        EXPECT_NE(scan.err.find(w), std::string::npos) << w << " in\n" << scan.err;
}

// Control bytes from a display are shown escaped: one line per reading, and no terminal control.
TEST(Ctl, DisplayBytesAreShownEscaped)
{
    const std::string value = "\x1b[2J\n\x9b" "12";
    testsupport::TFakeDisplay display([&](const std::string& request) -> std::string {
        if (request == "@03L\r")
            return "@03RL" + value + "RR10\r";
        if (request != "@03C\r")
            return {};
        std::string reply = "@03RC";
        for (int n = 0; n < 18; ++n)
            reply += std::string(1, static_cast<char>('1' + n % 9)) + (n < 9 ? 'C' : 'D')
                + (n == 0 ? "0\x07\x7f" "12" : "00000");
        return reply + "\r";
    });
    const std::string shown = "<1B>[2J<0A><9B>12  relay1=ON relay2=OFF";
    const TRun value1 = ctl({"value", "--port", display.path(), "--address", "3"});
    EXPECT_EQ(value1.status, 0) << value1.err;
    EXPECT_EQ(value1.out.substr(value1.out.find("  ") + 2), shown + "\n");
    const TRun scan = ctl({"scan", "--port", display.path(), "--timeout", "30"});
    EXPECT_EQ(scan.out, "03  " + shown + "\n") << scan.err;
    const TRun calib = ctl({"calib", "--port", display.path(), "--address", "3"});
    EXPECT_EQ(calib.status, 0) << calib.err;
    EXPECT_TRUE(std::regex_match(lines(calib.out).at(0), std::regex("Voltage -10V +0<07><7F>12"))) << calib.out;
}

// Standard output that fails ends the command with 1, and the port is free again.
TEST(Ctl, OutputThatCannotBeWrittenEndsTheCommand)
{
    const std::string file = tempDir("full") + "/a.dad";
    ASSERT_EQ(ctl({"new", file}).status, 0);
    testsupport::TChildSetup toFull;
    toFull.outFile = "/dev/full";
    const TRun full = ctl({"show", file}, toFull);
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("cannot write to standard output: no space left on device"), std::string::npos) << full.err;

    TSim sim({"--address", "7"});
    testsupport::TChildSetup noSigpipe;
    noSigpipe.ignoreSigpipe = true;
    TChild watch({"value", "--watch", "--interval", "50", "--port", sim.path(), "--address", "7"}, noSigpipe);
    EXPECT_FALSE(watch.readLine().empty());
    watch.closeOutput(); // as "| head -1" does
    EXPECT_EQ(watch.finish(5000ms), 1);
    EXPECT_NE(watch.err.find("cannot write to standard output: broken pipe"), std::string::npos) << watch.err;
    EXPECT_EQ(ctl({"value", "--port", sim.path(), "--address", "7"}).status, 0);
}

// A reader that stops reading cannot keep dadizctl, and its port, from a stop signal.
TEST(Ctl, StopSignalEndsAWriteThatWaits)
{
    TSim sim({"--address", "7"});
    testsupport::TChildSetup smallPipe;
    smallPipe.outPipeSize = 4096;
    TChild watch({"value", "--watch", "--interval", "10", "--port", sim.path(), "--address", "7"}, smallPipe);
    std::this_thread::sleep_for(1500ms); // 4 KiB hold fewer than 100 readings
    kill(watch.pid(), SIGINT);
    EXPECT_TRUE(watch.endsWithin(2000ms));
    EXPECT_EQ(watch.finish(), 0) << watch.err;
}

// Started with descriptors 0-2 closed, nothing meant for them reaches the serial line.
TEST(Ctl, ClosedStandardDescriptorsAreTakenByDevNull)
{
    TSim sim({"--address", "0", "--log"});
    testsupport::TChildSetup closed;
    closed.closeStandard = true;
    TChild watch({"value", "--watch", "--interval", "50", "--timeout", "50", "--port", sim.path(), "--address", "5"},
                 closed);
    std::this_thread::sleep_for(500ms);
    for (int fd = 0; fd <= 2; ++fd) {
        char target[256] = {};
        const std::string link = "/proc/" + std::to_string(watch.pid()) + "/fd/" + std::to_string(fd);
        EXPECT_GT(readlink(link.c_str(), target, sizeof target - 1), 0) << fd;
        EXPECT_STREQ(target, "/dev/null") << fd;
    }
    kill(watch.pid(), SIGTERM);
    EXPECT_EQ(watch.finish(), 0);
    sim.stop(SIGTERM);
    for (const std::string& line : lines(sim.log()))
        EXPECT_EQ(line, "rx @05L<CR>");
}

} // namespace
