// dadizctl as a user runs it: the real binary against files and against the
// simulated display, both as child processes. Every run uses French numbers
// (decimal comma) and a private XDG_CONFIG_HOME, so numbers must still come
// out with '.' and the user's port map is never read.

#include "config/RecordCodec.h"
#include "base/UniqueFd.h"
#include "support/ConfigFields.h"
#include "support/TempFolder.h"
#include "support/ToolProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <pwd.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// The whole text matches the pattern (Qt's regular expressions, which need no
// warning exemptions under the sanitizers).
bool fullMatch(const std::string& text, const std::string& pattern)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(QString::fromStdString(pattern)))
        .match(QString::fromStdString(text))
        .hasMatch();
}

bool partMatch(const std::string& text, const std::string& pattern)
{
    return QRegularExpression(QString::fromStdString(pattern)).match(QString::fromStdString(text)).hasMatch();
}

using namespace std::chrono_literals;
using testsupport::cpuTicks;

// A folder of the run's own; all of them go when the program ends, whatever failed.
std::string tempDir(const std::string& name)
{
    static const testsupport::TTempFolder run("dadizctl");
    const std::string dir = run.path() + "/" + name;
    mkdir(dir.c_str(), 0700);
    return dir;
}

// Every address of a line, each with a display on it.
std::string everyAddress(const std::set<int>& except = {})
{
    std::string list;
    for (int a = 0; a <= 31; ++a)
        if (!except.contains(a))
            list += (list.empty() ? "" : ",") + std::to_string(a);
    return list;
}

const std::string& configHome()
{
    static const std::string dir = tempDir("xdg");
    return dir;
}

// Every run: a private port map and French numbers; a test's own settings win.
testsupport::TChildSetup setupFor(testsupport::TChildSetup setup = {})
{
    setup.env.insert(setup.env.begin(), {{"XDG_CONFIG_HOME", configHome()}, {"LANG", "C"}, {"LC_ALL", ""},
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
        {{"value", "--watch", "--retries", "2"}, 2, "--retries does not apply to value --watch"},
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
        // Typed bytes are shown escaped: no terminal codes, one message a line.
        {{"set", file, "Fo\x1b[2Jo\n=1"}, 2, "unknown field \"Fo<1B>[2Jo<0A>\""},
        {{"set", file, "Relay1TriggerLevel=x"}, 2,
         "Relay1TriggerLevel must be 0 or 1 (0 on above the level, 1 on below it), or another byte as <XX>"},
    };
    const std::string before = readFile(file);
    const std::string shortBefore = readFile(shortFile);
    for (const auto& c : cases) {
        const TRun run = ctl(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[0] << ' ' << c.args.back() << '\n' << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.rfind("dadizctl: ", 0), 0u) << run.err;
        // A usage error ends with the hint, on its own line.
        const std::string hint = "\nTry \"dadizctl --help\".\n";
        const bool usage = run.err.size() > hint.size() && run.err.substr(run.err.size() - hint.size()) == hint;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), usage ? 2 : 1) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    EXPECT_EQ(readFile(file), before);
    EXPECT_EQ(readFile(shortFile), shortBefore);
    EXPECT_EQ(loadRecord(file).DecimalPoint, 1);
}

// Usage errors and refusals in the --lang language, wherever --lang stands;
// names, values and numbers (with '.') stay as typed.
TEST(Ctl, RefusalsFollowTheLanguage)
{
    const std::string dir = tempDir("lang");
    const std::string file = dir + "/cfg.dad";
    ASSERT_EQ(ctl({"new", file, "DecimalPoint=1", "DisplayValue2=9999"}).status, 0);
    const std::string before = readFile(file);
    struct Case {
        std::vector<std::string> args;
        std::string err;
        int status = 2;
    };
    const Case cases[] = {
        {{"set", file, "--lang", "fr", "DisplayValue1=9999.5"},
         file + " : DisplayValue1 doit être de -999.9 à 9999 avec au plus 1 décimale (4 chiffres, point décimal 1), "
                "et non \"9999.5\" ; le fichier est inchangé\n"},
        {{"set", file, "--lang=ca", "relay1=on"},
         file + ": relay1 ha de ser off, timed o hysteresis, no \"on\"; l'arxiu no ha canviat\n"},
        {{"set", file, "DigitsIndex=1", "--lang", "ca"},
         file + ": DisplayValue2 ha de ser de -99.9 a 999.9 amb 1 decimal com a màxim (3 dígits, punt decimal 1), "
                "no \"9999\" (conservat de l'arxiu; doneu-li un valor nou a la mateixa ordre); l'arxiu no ha canviat\n"},
        {{"set", file, "Relay1TriggerLevel=x", "--lang", "es"},
         file + ": Relay1TriggerLevel debe ser 0 o 1 (0 activado por encima del nivel, 1 activado por debajo), u otro "
                "byte como <XX> en hexadecimal, no \"x\"; el archivo no ha cambiado\n"},
        {{"new", dir + "/new.dad", "Address", "--lang", "fr"},
         dir + "/new.dad : \"Address\" n'est pas de la forme FIELD=VALUE ; rien n'a été écrit\n"},
        // Usage errors found before --lang is reached are said in its language too.
        {{"value", "--timeout", "0", "--lang", "fr"},
         "--timeout doit être un nombre entier de millisecondes de 1 à 600000, et non \"0\"\n"
         "Essayez \"dadizctl --help\".\n"},
        {{"--jsn", "--lang", "ca"}, "opció desconeguda \"--jsn\"\nProveu \"dadizctl --help\".\n"},
        {{"set", "--lang", "fr", file}, "usage : dadizctl set FILE FIELD=VALUE... | -\nEssayez \"dadizctl --help\".\n"},
        {{"value", "--address", "1,,2", "--lang", "es"},
         "--address debe ser un número entero de 0 a 31, o varias en una lista con intervalos como 1,2,5-9, no "
         "\"1,,2\"\nPruebe \"dadizctl --help\".\n"},
        // The value of another option is not a --lang; an unknown one names the codes in English.
        {{"show", "--csv", "--lang", "x"}, "--csv does not apply to show\nTry \"dadizctl --help\".\n"},
        {{"show", file, "--lang", "de"}, "--lang must be ca, es, fr or en, not \"de\"\nTry \"dadizctl --help\".\n"},
        // Files that cannot be read, and the program's other words.
        {{"show", dir + "/missing.dad", "--lang", "fr"},
         "impossible de lire " + dir + "/missing.dad : fichier ou dossier inexistant.\n", 4},
        {{"set", dir, "Address=1", "--lang", "ca"}, "no es pot llegir " + dir + ": és una carpeta.\n", 4},
        {{"receive", dir + "/x.dad", "--address", "1,2", "--lang", "es"},
         "un FILE contiene la configuración de un solo visualizador; para recibir varios, indique una carpeta, donde "
         "cada uno va a NN.dad\n"},
    };
    for (const auto& c : cases) {
        const TRun run = ctl(c.args);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(run.err, "dadizctl: " + c.err);
    }
    EXPECT_EQ(readFile(file), before);
}

// Help in each --lang: the heading and the command first, and in a language
// other than English, the command's own text and the lines added after it
// translated rather than left in English.
TEST(Ctl, HelpForTheToolAndEachCommand)
{
    const struct {
        const char* code;
        const char* heading;
    } languages[] = {{"en", "Usage: "}, {"ca", "Ús: "}, {"es", "Uso: "}, {"fr", "Usage : "}};
    const auto linesOf = [](const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    };
    for (const char* command :
         {"", "show", "new", "set", "send", "receive", "value", "calib", "scan", "diff", "doctor"}) {
        std::vector<std::string> english;
        for (const auto& language : languages) {
            std::vector<std::string> args;
            if (*command)
                args.push_back(command);
            args.insert(args.end(), {"--help", "--lang", language.code});
            const TRun run = ctl(args);
            EXPECT_EQ(run.status, 0) << command << ' ' << language.code;
            EXPECT_EQ(run.out.rfind(std::string(language.heading) + "dadizctl " + command, 0), 0u) << run.out;
            const std::vector<std::string> lines = linesOf(run.out);
            ASSERT_GT(lines.size(), 2u) << run.out;
            if (english.empty()) {
                english = lines;
            } else {
                EXPECT_NE(lines[1] + lines[2], english[1] + english[2]) << language.code << '\n' << run.out;
                EXPECT_NE(lines.back(), english.back()) << language.code << '\n' << run.out;
            }
            // set's help names every field set takes, by both its names.
            if (std::string(command) == "set") {
                for (const TRecordField& f : recordFields())
                    for (const char* name : {f.name, f.plain})
                        EXPECT_NE(run.out.find(name), std::string::npos) << language.code << ' ' << name;
            }
        }
    }
    const TRun none = ctl({});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err, "dadizctl: no command given\nTry \"dadizctl --help\".\n");
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

    // Setpoints the request carries but the reply cannot carry back; an input
    // value with four decimals is within the precision of its field.
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
    const std::string beyond = ", display cannot send it back (its reply carries -19999 to 99999)";
    EXPECT_EQ(lines(bad.out), (std::vector<std::string>{"Relay1Setpoint: file 123456" + beyond,
                                                        "Relay2Setpoint: file -54321" + beyond}))
        << bad.out;
    EXPECT_NE(bad.err.find("2 field(s) of " + differs + " cannot be read back to be checked"), std::string::npos)
        << bad.err;
    EXPECT_EQ(bad.err.find("other than"), std::string::npos) << bad.err;
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
        {{"send"}, [](TDisplayConfig& c) { c.Relay1DelayType = '\r'; }, "Relay1DelayType <0D>"},
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
    EXPECT_TRUE(fullMatch(value.out, R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}  12\.5  relay1=(ON|OFF) relay2=(ON|OFF)\n)"))
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
    EXPECT_TRUE(fullMatch(rows[17], "Diode temperature +025\\.3")) << rows[17];
    for (const auto& row : rows)
        EXPECT_TRUE(partMatch(row, "  \\S{5}$")) << row;

    const TRun wrong = ctl({"calib", file, "--port", sim.path(), "--address", "8", "--timeout", "100"});
    EXPECT_EQ(wrong.status, 1);
}

// Two addresses are silent: each costs one time-out, long enough for any answer.
TEST(Ctl, ScanFindsExactlyTheDisplaysOnTheBus)
{
    TSim sim({"--bus", everyAddress({13, 30})});
    const TRun scan = ctl({"scan", "--port", sim.path(), "--baud", "19200"});
    ASSERT_EQ(scan.status, 0) << scan.err;
    std::vector<std::string> found;
    for (const auto& line : lines(scan.out)) {
        EXPECT_TRUE(fullMatch(line, R"(\d\d  -?\d+(\.\d+)?  relay1=(ON|OFF) relay2=(ON|OFF))"))
            << line;
        found.push_back(line.substr(0, 2));
    }
    std::vector<std::string> expected;
    for (int a = 0; a <= 31; ++a)
        if (a != 13 && a != 30)
            expected.push_back((a < 10 ? "0" : "") + std::to_string(a));
    EXPECT_EQ(found, expected);
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
        {{"--silent"}, {"value", "--timeout", "200", "--lang", "ca"}, ": cap resposta en 200 ms"},
        {{"--silent"}, {"send", file, "--timeout", "100", "--lang", "es"}, "el visualizador de la dirección 00 en "},
        {{"--silent"}, {"scan", "--timeout", "20", "--lang", "fr"}, "aucun afficheur n'a répondu sur "},
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

    // Bytes up to a CR that are no reply are noise, never a reply from another address.
    testsupport::TFakeDisplay noisy([](const std::string&) { return std::string("~\x1bx#\r"); });
    const TRun value = ctl({"value", "--port", noisy.path(), "--timeout", "200"});
    EXPECT_EQ(value.status, 1);
    EXPECT_NE(value.err.find("no reply within 200 ms; noise was dropped: \"~<1B>x#<CR>\""), std::string::npos)
        << value.err;
    const TRun scan = ctl({"scan", "--port", noisy.path(), "--timeout", "20"});
    EXPECT_EQ(scan.status, 1);
    EXPECT_NE(scan.err.find("address 31: noise was dropped: \"~<1B>x#<CR>\""), std::string::npos) << scan.err;
    for (const std::string& err : {value.err, scan.err})
        EXPECT_EQ(err.find("address ??"), std::string::npos) << err;
}

// A port map entry that is not used, or a map that cannot be read, is said; a FIFO there never blocks.
TEST(Ctl, PortMapProblemsAreSaid)
{
    const std::string home = tempDir("map");
    ASSERT_EQ(mkdir((home + "/DADiz").c_str(), 0700), 0);
    testsupport::TChildSetup own;
    own.env = {{"XDG_CONFIG_HOME", home}};
    writeFile(home + "/DADiz/DADiz.conf", "[Ports]\nCOM1=pts/7\n");
    const TRun relative = ctl({"value", "--port", "COM1", "--timeout", "100"}, own);
    EXPECT_NE(relative.err.find("COM1=pts/7 is not an absolute path and is not used; COM1 uses /dev/ttyS0."),
              std::string::npos) << relative.err;
    ASSERT_EQ(unlink((home + "/DADiz/DADiz.conf").c_str()), 0);
    ASSERT_EQ(mkfifo((home + "/DADiz/DADiz.conf").c_str(), 0600), 0);
    const TRun fifo = ctl({"doctor", "--port", "COM2", "--timeout", "100"}, own);
    EXPECT_NE(fifo.err.find("DADiz.conf is not a regular file: no port is read from it (COM2 uses /dev/ttyS1)."),
              std::string::npos) << fifo.err;
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
            // The settings of the window's dialog are advice for a COM port only.
            const bool com = port == "COM3";
            EXPECT_EQ(run.err.find("in the serial line settings") != std::string::npos, com) << run.err;
            EXPECT_EQ(run.err.find("or name a device that is present") != std::string::npos, !com) << run.err;
        }
    }
    unlink((dir + "/DADiz.conf").c_str());
}

// A run gives its device back with the settings it had; the terminal
// dadizctl runs in is refused untouched; why a port cannot be opened is said
// in the language asked for, with what helps.
TEST(Ctl, PortsAreGivenBackAsTheyWere)
{
    const auto settingsOf = [](const std::string& path) {
        UniqueFd fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
        termios t{};
        EXPECT_EQ(tcgetattr(fd.get(), &t), 0) << path;
        return t;
    };
    const auto same = [](const termios& a, const termios& b) {
        return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag
            && cfgetispeed(&a) == cfgetispeed(&b) && std::equal(std::begin(a.c_cc), std::end(a.c_cc), std::begin(b.c_cc));
    };
    // A terminal as openpty leaves it: cooked, with echo.
    testsupport::TFakeDisplay display([](const std::string& request) {
        return request == "@03L\r" ? std::string("@03RL    12.5RR10\r") : std::string();
    });
    const termios before = settingsOf(display.path());
    const std::vector<std::string> runs[] = {
        {"value", "--address", "3", "--baud", "1200", "--parity", "even"},
        {"value", "--address", "4", "--timeout", "100"},
        {"doctor", "--address", "3", "--timeout", "200"},
    };
    for (const auto& args : runs) {
        std::vector<std::string> all = args;
        all.insert(all.end(), {"--port", display.path()});
        const TRun run = ctl(all);
        EXPECT_EQ(run.status, args[2] == "3" ? 0 : 1) << args[0] << '\n' << run.err;
        EXPECT_TRUE(same(settingsOf(display.path()), before)) << args[0] << ' ' << args[2];
    }

    int master = -1, slave = -1;
    char name[128] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    const UniqueFd ownMaster(master), ownSlave(slave);
    const std::string terminal = name;
    const termios own = settingsOf(terminal);
    testsupport::TChildSetup inTerminal;
    inTerminal.controllingTerminal = terminal;
    for (const char* port : {"/dev/tty", "/dev/stdin"}) {
        const TRun run = ctl({"value", "--port", port}, inTerminal);
        EXPECT_EQ(run.status, 3) << port << '\n' << run.err;
        EXPECT_NE(run.err.find("is the terminal this program runs in, not a serial line"), std::string::npos) << run.err;
        EXPECT_TRUE(same(settingsOf(terminal), own)) << port;
    }

    // A root:root 0600 device, as a user who may not open it, in French:
    // joining root is not the advice.
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can run dadizctl as another user";
    const passwd* nobody = getpwnam("nobody");
    ASSERT_TRUE(nobody);
    ASSERT_EQ(chown(terminal.c_str(), 0, 0), 0);
    ASSERT_EQ(chmod(terminal.c_str(), 0600), 0);
    testsupport::TChildSetup asNobody;
    asNobody.uid = static_cast<int>(nobody->pw_uid);
    asNobody.gid = static_cast<int>(nobody->pw_gid);
    // The build may lie where only its owner may go (a clone in mktemp -d):
    // nobody runs a copy from a folder anyone may enter.
    const testsupport::TTempFolder reachable("dadizctl-nobody");
    const std::string copy = reachable.path() + "/dadizctl";
    namespace fs = std::filesystem;
    fs::copy_file(DADIZ_CTL_PATH, copy);
    fs::permissions(reachable.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(copy, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    testsupport::TChild nobodyRun(copy.c_str(), {"value", "--port", terminal, "--lang", "fr"}, setupFor(asNobody));
    const int status = nobodyRun.finish();
    const TRun refused{status, nobodyRun.out, nobodyRun.err};
    EXPECT_EQ(refused.status, 3) << refused.err;
    EXPECT_NE(refused.err.find("nobody ne peut pas ouvrir " + terminal + " (crw-------) : il appartient au groupe root"),
              std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("\"sudo chgrp dialout " + terminal + " && sudo chmod 660 " + terminal + "\""),
              std::string::npos) << refused.err;
    EXPECT_EQ(refused.err.find("-aG root"), std::string::npos) << refused.err;
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

// A display slower than the time-out, and slower than the interval: every
// reading is missed; the reply that comes late, while the line is still
// listened to, is never printed as the next reading's.
TEST(Ctl, WatchNeverTakesALateReplyForTheNextReading)
{
    TSim slow({"--delay", "300"});
    TChild watch({"value", "--watch", "--interval", "100", "--timeout", "200", "--port", slow.path()});
    std::this_thread::sleep_for(2s);
    kill(watch.pid(), SIGTERM);
    EXPECT_EQ(watch.finish(), 0) << watch.err;
    EXPECT_TRUE(watch.out.empty()) << watch.out;
    EXPECT_GE(lines(watch.err).size(), 2u) << watch.err;
    EXPECT_NE(watch.err.find("no reply within 200 ms"), std::string::npos) << watch.err;
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
        std::string language = "en";
    };
    std::string nineDecimals = paramsReply();
    nineDecimals[45] = '9';
    std::string nulLevel = paramsReply();
    nulLevel[66] = '\0';
    std::string cutValue = paramsReply();
    cutValue.replace(cutValue.find("I1  4.000"), 9, "I11000000");
    std::string notNumbers = paramsReply();
    notNumbers.replace(notNumbers.find("D1      0"), 9, "D1    nan");
    notNumbers.replace(notNumbers.find("I2 20.000"), 9, "I2   -inf");
    std::string garbledSetpoint = paramsReply();
    garbledSetpoint.replace(garbledSetpoint.find("S1  100"), 7, "S1 12x0");
    std::string garbled = paramsReply();
    garbled.replace(garbled.find("D1      0"), 9, "D1   1e44");
    garbled.replace(garbled.find("PD1"), 3, "PDx");
    garbled.replace(garbled.find("OF00 "), 5, "OF0A5");
    garbled.replace(garbled.find("H2000"), 5, "H2 0?");
    const Case cases[] = {
        {paramsReply(), 0, ""},
        {"@00RP\r", 1, "carries none of the configuration"},
        {paramsReply().substr(0, 25) + "\r", 1,
         "carries only part of the configuration; missing: InputValue2 DisplayValue2 DecimalPoint TempUnits ProbeType"},
        {paramsReply().substr(0, 63) + "\r", 1, "missing: Relay1Enabled Relay1DelayType"},
        {nineDecimals, 1, "holds what a configuration cannot hold: DecimalPoint 9 is outside 0..4"},
        {nulLevel, 1, "Relay1TriggerLevel <00> is not 0 or 1 for a relay that is on"},
        {nulLevel, 1,
         "contient ce qu'une configuration ne peut pas contenir : Relay1TriggerLevel <00> n'est pas 0 ou 1 pour un "
         "relais activé ; ",
         "fr"},
        {nineDecimals, 1, "no puede contener: DecimalPoint 9 está fuera de 0..4; ", "es"},
        {cutValue, 1, "holds what a request cannot carry back: InputValue1 would go out as \"+100000\""},
        {notNumbers, 1, "holds text that is not a number: DisplayValue1 \"    nan\", InputValue2 \"   -inf\""},
        {garbledSetpoint, 1, "holds text that is not a number: Relay1Setpoint \" 12x0\"; "},
        {garbled, 1,
         "holds text that is not a number: DisplayValue1 \"   1e44\", DecimalPoint \"x\", TempOffset \"0A5\", "
         "Relay2Delay \" 0?\"; "},
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
            const TRun run =
                ctl({"receive", target, "--port", display.path(), "--timeout", "300", "--lang", c.language});
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

    // An answer in another display's name, before that address was asked, is not a late one.
    TSim wrong({"--wrong-address", "--address", "7"});
    const TRun other = ctl({"scan", "--port", wrong.path(), "--timeout", "200", "--baud", "19200"});
    EXPECT_NE(other.err.find("the request for address 07 was answered as address 08"), std::string::npos) << other.err;
    EXPECT_EQ(other.err.find("late answer"), std::string::npos) << other.err;
}

// Control bytes from a display are shown escaped: one line per reading, and no terminal control.
TEST(Ctl, DisplayBytesAreShownEscaped)
{
    const std::string value = "\x1b[2J\n\x9b" "12";
    // Every address shows it, so that a scan waits for no silent one.
    testsupport::TFakeDisplay display([&](const std::string& request) -> std::string {
        if (request.size() == 5 && request[0] == '@' && request[3] == 'L')
            return request.substr(0, 3) + "RL" + value + "RR10\r";
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
    const TRun scan = ctl({"scan", "--port", display.path()});
    std::string everyLine;
    for (int a = 0; a <= 31; ++a)
        everyLine += (a < 10 ? "0" : "") + std::to_string(a) + "  " + shown + "\n";
    EXPECT_EQ(scan.out, everyLine) << scan.err;
    const TRun calib = ctl({"calib", "--port", display.path(), "--address", "3"});
    EXPECT_EQ(calib.status, 0) << calib.err;
    EXPECT_TRUE(fullMatch(lines(calib.out).at(0), "Voltage -10V +0<07><7F>12")) << calib.out;
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
    EXPECT_NE(full.err.find("cannot write to standard output: no space left on the disk"), std::string::npos) << full.err;

    // Whether the parent leaves SIGPIPE as it is or ignores it.
    TSim sim({"--address", "7"});
    for (const bool ignored : {false, true}) {
        testsupport::TChildSetup setup;
        setup.ignoreSigpipe = ignored;
        TChild watch({"value", "--watch", "--interval", "50", "--port", sim.path(), "--address", "7"}, setup);
        EXPECT_FALSE(watch.readLine().empty());
        watch.closeOutput(); // as "| head -1" does
        EXPECT_EQ(watch.finish(5000ms), 1) << ignored;
        EXPECT_NE(watch.err.find("cannot write to standard output: broken pipe"), std::string::npos) << watch.err;
        EXPECT_EQ(ctl({"value", "--port", sim.path(), "--address", "7"}).status, 0) << ignored;
    }
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

namespace {

// One JSON object a line, each parsed back.
std::vector<QJsonObject> jsonLines(const std::string& text)
{
    std::vector<QJsonObject> out;
    for (const std::string& line : lines(text)) {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
        EXPECT_TRUE(doc.isObject()) << line;
        out.push_back(doc.object());
    }
    return out;
}

std::vector<std::string> withArgs(std::vector<std::string> args, const std::vector<std::string>& more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// Every field in plain names against the record names: the same file either
// way, and show --plain gives the plain names back, in its order, each once.
TEST(Ctl, PlainNamesMatchRecordNamesBothWays)
{
    struct Pair {
        std::string plain;
        std::vector<std::string> record;
    };
    const std::vector<std::vector<Pair>> configurations = {
        {{"port=COM3", {"PortIndex=2"}}, {"baud=9600", {"BaudIndex=3"}}, {"parity=odd", {"ParityIndex=1"}},
         {"data-bits=8", {"DataBitsIndex=1"}}, {"stop-bits=2", {"StopBitsIndex=1"}}, {"address=17", {"Address=17"}},
         {"digits=5", {"DigitsIndex=3"}}, {"input=current", {"InputMode=0", "ProcessInput=1"}},
         {"probe=k", {"ProbeType=2"}}, {"point=2", {"DecimalPoint=2"}}, {"in1=4", {"InputValue1=4"}},
         {"disp1=-12.5", {"DisplayValue1=-12.5"}}, {"in2=20", {"InputValue2=20"}},
         {"disp2=250.25", {"DisplayValue2=250.25"}}, {"units=C", {"TempUnits=1"}}, {"resolution=0.1", {"Resolution=1"}},
         {"offset=-2.5", {"TempOffset=-2.5"}}, {"relay1=timed", {"Relay1Enabled=1", "Relay1DelayType=0"}},
         {"relay1-trigger=below", {"Relay1TriggerLevel=1"}}, {"relay1-delay=5", {"Relay1Delay=5"}},
         {"relay1-setpoint=180.25", {"Relay1Setpoint=18025"}}, {"relay2=off", {"Relay2Enabled=0"}},
         {"relay2-type=timed", {"Relay2DelayType=0"}}, {"relay2-trigger=above", {"Relay2TriggerLevel=0"}},
         {"relay2-delay=999", {"Relay2Delay=999"}}, {"relay2-setpoint=-0.50", {"Relay2Setpoint=-50"}}},
        // Three digits show at most two decimals whatever the decimal point says.
        {{"port=COM6", {"PortIndex=5"}}, {"baud=19200", {"BaudIndex=4"}}, {"parity=none", {"ParityIndex=2"}},
         {"data-bits=7", {"DataBitsIndex=0"}}, {"stop-bits=1", {"StopBitsIndex=0"}}, {"address=31", {"Address=31"}},
         {"digits=3", {"DigitsIndex=1"}}, {"input=t", {"InputMode=1", "ProbeType=3"}},
         {"signal=current", {"ProcessInput=1"}}, {"point=4", {"DecimalPoint=4"}}, {"in1=-9.9", {"InputValue1=-9.9"}},
         {"disp1=1.5", {"DisplayValue1=1.5"}}, {"in2=-0.5", {"InputValue2=-0.5"}},
         {"disp2=99.99", {"DisplayValue2=99.99"}},
         {"units=F", {"TempUnits=0"}}, {"resolution=1", {"Resolution=0"}}, {"offset=12", {"TempOffset=12"}},
         {"relay1=hysteresis", {"Relay1Enabled=1", "Relay1DelayType=1"}},
         {"relay1-trigger=above", {"Relay1TriggerLevel=0"}},
         {"relay1-delay=0", {"Relay1Delay=0"}}, {"relay1-setpoint=-9.99", {"Relay1Setpoint=-999"}},
         {"relay2=timed", {"Relay2Enabled=1", "Relay2DelayType=0"}}, {"relay2-trigger=below", {"Relay2TriggerLevel=1"}},
         {"relay2-delay=120", {"Relay2Delay=120"}}, {"relay2-setpoint=99.99", {"Relay2Setpoint=9999"}}},
    };
    const std::string dir = tempDir("plain");
    for (std::size_t i = 0; i < configurations.size(); ++i) {
        const std::string plainFile = dir + "/plain" + std::to_string(i) + ".dad";
        const std::string recordFile = dir + "/record" + std::to_string(i) + ".dad";
        std::vector<std::string> plainArgs{"new", plainFile};
        std::vector<std::string> recordArgs{"new", recordFile};
        std::vector<std::string> expected;
        for (const Pair& p : configurations[i]) {
            plainArgs.push_back(p.plain);
            recordArgs.insert(recordArgs.end(), p.record.begin(), p.record.end());
            expected.push_back(p.plain);
        }
        const TRun plain = ctl(plainArgs);
        ASSERT_EQ(plain.status, 0) << plain.err;
        ASSERT_EQ(ctl(recordArgs).status, 0);
        EXPECT_EQ(readFile(plainFile), readFile(recordFile)) << i;
        const TRun shown = ctl({"show", recordFile, "--plain"});
        EXPECT_EQ(lines(shown.out), expected) << shown.err;
    }
    // A relay switched on by its plain name gets a level, as the relay dialog
    // gives it one; the record names store what they are given.
    ASSERT_EQ(ctl({"new", dir + "/on.dad", "relay2=hysteresis"}).status, 0);
    EXPECT_EQ(loadRecord(dir + "/on.dad").Relay2TriggerLevel, '0');
    ASSERT_EQ(ctl({"new", dir + "/raw.dad", "Relay2Enabled=1"}).status, 0);
    EXPECT_EQ(loadRecord(dir + "/raw.dad").Relay2TriggerLevel, '\0');

    // Whatever show --plain prints of a relay byte, of a relay on or off, set
    // takes back to the same byte ('2' is what a display gives a relay that is off).
    const std::string source = dir + "/bytes.dad", copy = dir + "/copy.dad";
    testsupport::TChildSetup fromShow;
    fromShow.inFile = dir + "/bytes.txt";
    ASSERT_EQ(ctl({"new", copy, "baud=19200"}).status, 0);
    for (const int byte : {0x00, 0x0D, 0x30, 0x31, 0x32, 0x78, 0x3C, 0x7F, 0xB4, 0xFF}) {
        TDisplayConfig cfg;
        resetToDefaults(cfg);
        cfg.Relay1Enabled = 1;
        cfg.Relay1DelayType = cfg.Relay1TriggerLevel = cfg.Relay2DelayType = cfg.Relay2TriggerLevel =
            static_cast<char>(byte);
        const TRecord record = encodeRecord(cfg);
        writeFile(source, std::string(record.begin(), record.end()));
        const TRun shown = ctl({"show", source, "--plain"});
        writeFile(fromShow.inFile, shown.out);
        const TRun set = ctl({"set", copy, "-"}, fromShow);
        EXPECT_EQ(set.status, 0) << byte << '\n' << shown.out << set.err;
        EXPECT_EQ(readFile(copy), readFile(source)) << byte << '\n' << shown.out;
    }
}

TEST(Ctl, RefusedPlainValuesAndAddressLists)
{
    const std::string dir = tempDir("refused");
    const std::string file = dir + "/cfg.dad";
    ASSERT_EQ(ctl({"new", file, "point=1"}).status, 0);
    const std::string absent = dir + "/absent.dad";
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"set", file, "baud=9601"},
         "baud must be 1200, 2400, 4800, 9600 or 19200, not \"9601\"; the file is unchanged"},
        {{"set", file, "input=x"}, "input must be voltage, current, pt100, j, k or t, not \"x\""},
        {{"set", file, "digits=11"}, "digits must be a whole number from 2 to 10, not \"11\""},
        {{"set", file, "relay1-setpoint=180.05"},
         "relay1-setpoint must be from -999.9 to 9999.9 with at most 1 decimal (4 digits, decimal point 1), "
         "not \"180.05\""},
        {{"set", file, "digits=3", "relay2-setpoint=1000"},
         "relay2-setpoint must be from -99.9 to 999.9 with at most 1 decimal (3 digits"},
        {{"set", file, "disp1=99999"}, "disp1 must be from -999.9 to 9999 with at most 1 decimal"},
        {{"set", file, "units=K"}, "units must be F or C, not \"K\""},
        {{"new", absent, "relay1=on"}, "relay1 must be off, timed or hysteresis, not \"on\"; nothing was written"},
        {{"value", "--address", "1,,2"}, "--address must be a whole number from 0 to 31, or several as a list"},
        {{"value", "--address", "5-"}, "not \"5-\""},
        {{"value", "--address", "9-5"}, "not \"9-5\""},
        {{"send", file, "--address", "-3"}, "not \"-3\""},
        {{"calib", "--address", "1-32"}, "not \"1-32\""},
        {{"value", "--address", "1;2"}, "not \"1;2\""},
        {{"diff", file, "--address", "1,2"}, "diff takes one --address"},
        {{"diff", file, file, "--port", "COM1"}, "diff A B compares two files; --port is for diff FILE"},
        {{"value", "--csv", dir + "/x.csv", "--address", "1-2"}, "--csv records one display"},
        {{"show", file, "--json", "--plain"}, "--json and --plain cannot go together"},
        {{"receive", file, "--address", "1,2"}, "to receive several, give a folder"},
    };
    const std::string before = readFile(file);
    for (const auto& c : cases) {
        const TRun run = ctl(c.args);
        EXPECT_EQ(run.status, 2) << c.message << '\n' << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    EXPECT_EQ(readFile(file), before);
    struct stat st{};
    EXPECT_NE(stat(absent.c_str(), &st), 0);
    EXPECT_NE(stat((dir + "/x.csv").c_str(), &st), 0);

    // Lists and ranges name the displays in the order given, each once.
    TSim sim({"--bus", "1,2,5,6,7,8,9,31"});
    const std::pair<std::string, std::vector<int>> lists[] = {
        {"1,2,5-9", {1, 2, 5, 6, 7, 8, 9}}, {"9,1,1-2", {9, 1, 2}}, {"31", {31}}, {"7-7", {7}}};
    for (const auto& [list, addresses] : lists) {
        const TRun run = ctl({"value", "--json", "--port", sim.path(), "--address", list});
        EXPECT_EQ(run.status, 0) << run.err;
        std::vector<int> got;
        for (const QJsonObject& o : jsonLines(run.out))
            got.push_back(o["address"].toInt());
        EXPECT_EQ(got, addresses) << list;
    }
}

// One line a display, the worst status, and the others done.
TEST(Ctl, ABusWhereOneDisplayIsSilent)
{
    TSim sim({"--bus", "1,2,3", "--silent-address", "2"});
    const std::string dir = tempDir("bus");
    const std::string file = dir + "/all.dad";
    ASSERT_EQ(ctl({"new", file, "relay1=timed", "relay1-setpoint=42"}).status, 0);
    const std::string folder = dir + "/line";
    mkdir(folder.c_str(), 0700);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::size_t lineCount;
        std::vector<std::string> wanted; // in standard output
        std::string message;             // on standard error
    };
    const std::string silent = "the display at address 02 on " + sim.path() + ": no reply within 1000 ms";
    const Case cases[] = {
        {{"send", file, "--address", "1-3"}, 1, 2, {"all.dad: sent to the display at address 01", "address 03 on"},
         silent},
        {{"receive", folder, "--address", "1-3"}, 1, 2, {"line/01.dad: received from", "line/03.dad: received"},
         silent},
        {{"value", "--address", "1-3"}, 1, 2, {"  01  ", "  03  "}, silent},
        {{"calib", "--address", "3,2,1"}, 1, 36, {"03  Voltage -10V", "01  Diode temperature"}, silent},
        // A folder holds the files of the displays that answered.
        {{"send", folder}, 0, 2, {"line/01.dad: sent", "line/03.dad: sent"}, ""},
        {{"send", folder, "--address", "1-3", "--verify"}, 4, 2,
         {"address 01 on", "address 03 on", "read back the same"},
         "line/02.dad: no such file"},
    };
    for (const auto& c : cases) {
        const TRun run = ctl(withArgs(c.args, {"--port", sim.path(), "--timeout", "1000"}));
        EXPECT_EQ(run.status, c.status) << c.args[0] << '\n' << run.err;
        EXPECT_EQ(lines(run.out).size(), c.lineCount) << run.out;
        for (const std::string& w : c.wanted)
            EXPECT_NE(run.out.find(w), std::string::npos) << w << " in\n" << run.out;
        EXPECT_EQ(lines(run.err).size(), c.message.empty() ? 0u : 1u) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_EQ(loadRecord(folder + "/03.dad").Relay1Setpoint, 42);
}

TEST(Ctl, DiffComparesFilesAndADisplayInPlainNames)
{
    TSim sim({"--address", "4"});
    const std::string dir = tempDir("diff");
    const std::string a = dir + "/a.dad";
    const std::string b = dir + "/b.dad";
    ASSERT_EQ(ctl({"new", a, "address=4", "point=1", "relay1=timed", "relay1-setpoint=180.0", "digits=6",
                   "in1=1.234"}).status, 0);
    ASSERT_EQ(ctl({"new", b, "baud=19200"}).status, 0);
    // show --plain A | dadizctl set B -
    testsupport::TChildSetup fromPlain;
    fromPlain.inFile = dir + "/a.txt";
    writeFile(fromPlain.inFile, ctl({"show", a, "--plain"}).out);
    ASSERT_EQ(ctl({"set", b, "-"}, fromPlain).status, 0);
    EXPECT_EQ(ctl({"diff", a, b}).status, 0);
    ASSERT_EQ(ctl({"set", b, "baud=9600", "relay1-setpoint=170.5"}).status, 0);

    // A new file's relay bytes have no plain word; the round trip keeps them byte for byte.
    const std::string fresh = dir + "/fresh.dad", copy = dir + "/copy.dad", point = dir + "/point.dad";
    ASSERT_EQ(ctl({"new", fresh}).status, 0);
    ASSERT_EQ(ctl({"new", copy, "baud=19200", "relay2=timed"}).status, 0);
    writeFile(fromPlain.inFile, ctl({"show", fresh, "--plain"}).out);
    ASSERT_EQ(ctl({"set", copy, "-"}, fromPlain).status, 0);
    EXPECT_EQ(readFile(copy), readFile(fresh));
    // Numbers differ by value, not by how many decimals they show.
    ASSERT_EQ(ctl({"new", point, "point=2", "in1=-0"}).status, 0);
    EXPECT_EQ(ctl({"diff", point, fresh}).out, "point: 2 in " + point + ", 0 in " + fresh + "\n");

    const TRun files = ctl({"diff", a, b});
    EXPECT_EQ(files.status, 1);
    EXPECT_EQ(lines(files.out), (std::vector<std::string>{"baud: 1200 in " + a + ", 9600 in " + b,
                                                           "relay1-setpoint: 180.0 in " + a + ", 170.5 in " + b}));
    const TRun json = ctl({"diff", a, b, "--json"});
    const std::vector<QJsonObject> objects = jsonLines(json.out);
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_FALSE(objects[0]["same"].toBool());
    const QJsonArray differences = objects[0]["differences"].toArray();
    ASSERT_EQ(differences.size(), 2);
    EXPECT_EQ(differences[0].toObject()["field"].toString(), "baud");
    EXPECT_EQ(differences[0].toObject()["b"].toDouble(), 9600);
    EXPECT_EQ(differences[1].toObject()["a"].toDouble(), 180.0);

    // A display: what the frames carry, within their precision; the line never travels.
    ASSERT_EQ(ctl({"send", a, "--port", sim.path()}).status, 0);
    EXPECT_EQ(ctl({"diff", a, "--port", sim.path()}).status, 0);
    const TRun display = ctl({"diff", b, "--port", sim.path(), "--address", "4"});
    EXPECT_EQ(display.status, 1) << display.err;
    EXPECT_EQ(display.out, "relay1-setpoint: 170.5 in " + b + ", 180.0 on the display\n");
    EXPECT_EQ(ctl({"diff", b, "--port", sim.path(), "--address", "5", "--timeout", "100"}).status, 1);
}

// JSON objects parse back: numbers as numbers, the display's text exactly as it came.
TEST(Ctl, JsonOutputParsesBack)
{
    const std::string value = " \"\\\x1b\n\xb4" "12";
    testsupport::TFakeDisplay display([&](const std::string& request) -> std::string {
        if (request == "@03L\r")
            return "@03RL" + value + "RR10\r";
        if (request == "@09L\r")
            return "@09RL  -12.50RR01\r";
        // The other addresses answer too, so that a scan waits for no silent one.
        if (request.size() == 5 && request[0] == '@' && request[3] == 'L')
            return request.substr(0, 3) + "RL       0RR00\r";
        if (request != "@09C\r")
            return {};
        std::string reply = "@09RC";
        for (int n = 0; n < 18; ++n)
            reply += std::string(1, static_cast<char>('1' + n % 9)) + (n < 9 ? 'C' : 'D')
                + (n == 17 ? "0253" : "00412");
        return reply + "\r";
    });
    const TRun readings = ctl({"value", "--json", "--port", display.path(), "--address", "3,9"});
    ASSERT_EQ(readings.status, 0) << readings.err;
    const std::vector<QJsonObject> r = jsonLines(readings.out);
    ASSERT_EQ(r.size(), 2u) << readings.out;
    EXPECT_EQ(r[0]["value"].toString(), QString::fromLatin1(value.data(), static_cast<qsizetype>(value.size())));
    EXPECT_TRUE(r[0]["number"].isNull());
    EXPECT_TRUE(r[0]["relay1"].toBool());
    EXPECT_EQ(r[1]["value"].toString(), "  -12.50");
    EXPECT_EQ(r[1]["number"].toDouble(), -12.5);
    EXPECT_TRUE(r[1]["relay2"].toBool());
    EXPECT_TRUE(fullMatch(r[1]["time"].toString().toStdString(),
                                 R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)"));

    const TRun scan = ctl({"scan", "--json", "--port", display.path()});
    const std::vector<QJsonObject> s = jsonLines(scan.out);
    ASSERT_EQ(s.size(), 32u) << scan.err;
    EXPECT_EQ(s[3]["address"].toInt(), 3);
    EXPECT_EQ(s[3]["value"].toString(), QString::fromLatin1(value.data(), static_cast<qsizetype>(value.size())));
    EXPECT_EQ(s[9]["address"].toInt(), 9);
    EXPECT_EQ(s[9]["number"].toDouble(), -12.5);

    const TRun calib = ctl({"calib", "--json", "--port", display.path(), "--address", "9,10", "--timeout", "1000"});
    EXPECT_EQ(calib.status, 1);
    const std::vector<QJsonObject> c = jsonLines(calib.out);
    ASSERT_EQ(c.size(), 2u) << calib.out;
    const QJsonArray rows = c[0]["calibration"].toArray();
    ASSERT_EQ(rows.size(), 18);
    EXPECT_EQ(rows[0].toObject()["name"].toString(), "Voltage -10V");
    EXPECT_EQ(rows[4].toObject()["name"].toString(), QString::fromUtf8("PT100 CHANEL 1 Temp. 0°. Resolution 1°"));
    EXPECT_EQ(rows[0].toObject()["text"].toString(), "00412");
    EXPECT_EQ(rows[17].toObject()["number"].toDouble(), 25.3);
    EXPECT_EQ(c[1]["address"].toInt(), 10);
    EXPECT_TRUE(c[1]["error"].toString().contains("no reply within 1000 ms"));

    // The doctor: its checks, and where its search found the display.
    TSim sim({"--baud", "19200", "--address", "2"});
    const TRun doctor = ctl({"doctor", "--json", "--search", "--port", sim.path(), "--baud", "9600", "--address", "2",
                             "--timeout", "300"});
    EXPECT_EQ(doctor.status, 0) << doctor.err;
    const std::vector<QJsonObject> d = jsonLines(doctor.out);
    ASSERT_EQ(d.size(), 1u) << doctor.out;
    EXPECT_EQ(d[0]["outcome"].toString(), "found");
    const QJsonObject found = d[0]["found"].toObject();
    EXPECT_EQ(found["baud"].toInt(), 19200);
    EXPECT_EQ(found["address"].toInt(), 2);
    QStringList checks;
    for (const QJsonValue& check : d[0]["checks"].toArray())
        checks << check.toObject()["check"].toString() + "=" + check.toObject()["verdict"].toString();
    EXPECT_EQ(checks.join(' '), "device=ok permission=ok busy=ok echo=ok answer=problem search=ok");
    EXPECT_FALSE(d[0]["verdict"].toString().isEmpty());
}

// Readings go to a CSV file, a missed one where a reading fails; a failed
// write stops the recording and the watch goes on.
TEST(Ctl, ValueWatchRecordsCsv)
{
    const std::string dir = tempDir("csv");
    const std::string csv = dir + "/log.csv";
    TSim sim({"--address", "7"});
    {
        TChild watch({"value", "--watch", "--interval", "100", "--timeout", "100", "--csv", csv, "--port", sim.path(),
                      "--address", "7"});
        EXPECT_FALSE(watch.readLine().empty());
        kill(sim.pid(), SIGSTOP);
        std::this_thread::sleep_for(500ms);
        kill(sim.pid(), SIGCONT);
        EXPECT_FALSE(watch.readLine().empty());
        kill(watch.pid(), SIGTERM);
        EXPECT_EQ(watch.finish(), 0);
        EXPECT_NE(watch.err.find("no reply within 100 ms"), std::string::npos) << watch.err;
    }
    EXPECT_EQ(ctl({"value", "--csv", csv, "--port", sim.path(), "--address", "7"}).status, 0);
    const std::vector<std::string> rows = lines(readFile(csv));
    ASSERT_GE(rows.size(), 4u);
    EXPECT_EQ(rows[0], "time,display,value,relay1,relay2,status\r");
    EXPECT_EQ(std::count(rows.begin(), rows.end(), rows[0]), 1);
    EXPECT_TRUE(fullMatch(rows[1], R"(\S+, *-?\d+\.\d,-?\d+\.\d,[01],[01],ok\r)")) << rows[1];
    EXPECT_NE(std::find_if(rows.begin(), rows.end(), [](const std::string& r) { return r.ends_with(",,,,,missed\r"); }),
              rows.end());
    EXPECT_TRUE(rows.back().ends_with(",ok\r"));

    // Room for a few rows more: then writing fails, and the readings go on.
    testsupport::TChildSetup limited;
    limited.fileSizeLimit = static_cast<long>(readFile(csv).size()) + 150;
    TChild watch({"value", "--watch", "--interval", "50", "--csv", csv, "--port", sim.path(), "--address", "7"},
                 limited);
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(watch.readLine().empty());
    kill(watch.pid(), SIGTERM);
    EXPECT_EQ(watch.finish(), 4) << "a log that stopped makes the run a failure";
    EXPECT_EQ(lines(watch.err), std::vector<std::string>{"dadizctl: Recording stopped: cannot write to " + csv
                                                         + ": file too large."});
    EXPECT_TRUE(readFile(csv).ends_with("ok\r\n"));
}

TEST(Ctl, EchoingAdapterWorksAndVerboseShowsTheTraffic)
{
    TSim sim({"--echo", "--address", "7"});
    const TRun quiet = ctl({"value", "--port", sim.path(), "--address", "7"});
    EXPECT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_TRUE(quiet.err.empty()) << quiet.err;
    const TRun verbose = ctl({"value", "-v", "--port", sim.path(), "--address", "7"});
    EXPECT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_EQ(lines(verbose.out).size(), 1u);
    const std::vector<std::string> traffic = lines(verbose.err);
    ASSERT_EQ(traffic.size(), 3u) << verbose.err;
    EXPECT_TRUE(traffic[0].ends_with(sim.path() + " -> @07L<CR>")) << traffic[0];
    EXPECT_TRUE(traffic[1].ends_with("<- @07L<CR> (0 ms) [Echo dropped]")) << traffic[1];
    EXPECT_NE(traffic[2].find(" <- @07RL"), std::string::npos) << traffic[2];
}

// Progress on a terminal only: a pipe gets none.
TEST(Ctl, ScanShowsProgressOnATerminalOnly)
{
    // A display at every address: no time-out decides what is found.
    TSim sim({"--bus", everyAddress()});
    const TRun piped = ctl({"scan", "--port", sim.path()});
    EXPECT_EQ(piped.status, 0);
    EXPECT_TRUE(piped.err.empty()) << piped.err;

    int master = -1;
    int slave = -1;
    char name[128] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    UniqueFd masterFd(master);
    UniqueFd slaveFd(slave);
    testsupport::TChildSetup terminal;
    terminal.errFile = name;
    const TRun shown = ctl({"scan", "--port", sim.path()}, terminal);
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(lines(shown.out).size(), 32u) << shown.out;
    std::string err;
    char buf[4096];
    pollfd pfd{master, POLLIN, 0};
    while (poll(&pfd, 1, 200) > 0) {
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0)
            break;
        err.append(buf, static_cast<std::size_t>(n));
    }
    EXPECT_NE(err.find("\rscan of " + sim.path() + ": address 31, 31 found\x1b[K"), std::string::npos) << err;
    EXPECT_TRUE(err.ends_with("\r\x1b[K")) << err;
}

} // namespace
