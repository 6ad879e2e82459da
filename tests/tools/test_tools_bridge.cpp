// dadiz-bridge as a plant runs it: a real broker (mosquitto) on a free port
// of 127.0.0.1, simulated displays on a bus, and the clients a plant would
// use (mosquitto_sub, mosquitto_pub, mbpoll).

#include "support/Sockets.h"
#include "support/TempFolder.h"
#include "support/ToolProcess.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fstream>
#include <map>
#include <pwd.h>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using testsupport::TChild;
using testsupport::freePort;
using testsupport::listening;

// Bounds every wait so that a fault cannot hang the run; nothing is measured.
constexpr auto kPatience = 30s;

std::string tempDir(const std::string& name)
{
    static const testsupport::TTempFolder run("dadiz-bridge");
    const std::string dir = run.path() + "/" + name;
    mkdir(dir.c_str(), 0700);
    return dir;
}

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::trunc) << text;
}

bool matches(const std::string& text, const std::string& pattern)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(QString::fromStdString(pattern)))
        .match(QString::fromStdString(text))
        .hasMatch();
}

struct TRun {
    int status;
    std::string out;
    std::string err;
};

TRun run(const char* program, const std::vector<std::string>& args)
{
    TChild child(program, args);
    const int status = child.finish();
    return {status, child.out, child.err};
}

// A broker of the test's own, without a store: what it held is gone when it stops.
class TBroker {
public:
    // `listener`: more lines for its listener (TLS).
    explicit TBroker(const std::string& dir, bool startNow = true, const std::string& listener = {})
        : port(freePort()), conf_(dir + "/mosquitto.conf")
    {
        writeFile(conf_, "listener " + std::to_string(port) + " 127.0.0.1\n" + listener + "allow_anonymous true\n");
        if (startNow)
            start();
    }
    void restart()
    {
        kill(child_->pid(), SIGTERM);
        child_->finish();
        start();
    }
    void start()
    {
        child_ = std::make_unique<TChild>(DADIZ_MOSQUITTO_PATH, std::vector<std::string>{"-c", conf_});
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (!listening(port) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        ASSERT_TRUE(listening(port)) << "mosquitto did not start; bash scripts/setup.sh installs it";
    }
    const int port;

private:
    std::string conf_;
    std::unique_ptr<TChild> child_;
};

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// mosquitto_sub printing "TOPIC PAYLOAD" lines of everything under `filter`.
class TSubscriber {
public:
    TSubscriber(int port, const std::string& filter, const std::vector<std::string>& more = {})
        : child_(DADIZ_MOSQUITTO_SUB_PATH, with({"-h", "127.0.0.1", "-p", std::to_string(port), "-v", "-t", filter}, more))
    {
    }
    // The first line from now on that matches `pattern`, or "" when none came.
    std::string waitFor(const std::string& pattern)
    {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::string line = child_.readLine(1000ms);
            if (!line.empty() && matches(line, pattern))
                return line;
        }
        return {};
    }

private:
    TChild child_;
};

void publish(int port, const std::string& topic, const std::string& payload)
{
    const TRun r = run(DADIZ_MOSQUITTO_PUB_PATH,
                       {"-h", "127.0.0.1", "-p", std::to_string(port), "-t", topic, "-m", payload});
    EXPECT_EQ(r.status, 0) << r.err;
}

// What the broker holds retained under `filter`, topic to payload.
std::map<std::string, std::string> retained(int port, const std::string& filter,
                                            const std::vector<std::string>& more = {})
{
    const TRun r = run(DADIZ_MOSQUITTO_SUB_PATH, with({"-h", "127.0.0.1", "-p", std::to_string(port), "-v",
                                                       "--retained-only", "-W", "2", "-t", filter},
                                                      more));
    std::map<std::string, std::string> out;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
        const auto space = line.find(' ');
        out[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space + 1);
    }
    return out;
}

// mbpoll's values ("[N]: \tV") of one read of a unit, or its error.
TRun mbpoll(int port, int unit, const std::vector<std::string>& what)
{
    std::vector<std::string> args = {"-1", "-0", "-a", std::to_string(unit), "-p", std::to_string(port)};
    args.insert(args.end(), what.begin(), what.end());
    args.push_back("127.0.0.1");
    return run(DADIZ_MBPOLL_PATH, args);
}

std::vector<long> mbValues(const TRun& r)
{
    std::vector<long> out;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);)
        if (matches(line, R"(\[\d+\]:\s+\d+( \(-\d+\))?\s*)"))
            out.push_back(std::stol(line.substr(line.find(':') + 1)));
    return out;
}

// The minimal configuration of the manual, on the test's ports and device.
std::string configText(int brokerPort, const std::string& device, const std::string& addresses,
                       const std::string& extraBroker = {}, const std::string& extra = {})
{
    return "[Broker]\nHost=127.0.0.1\nPort=" + std::to_string(brokerPort) + "\n" + extraBroker
        + "\n[Line COM1]\nDevice=" + device
        + "\nBaud=9600\nParity=even\nDataBits=7\nStopBits=1\nAddresses=" + addresses + "\nPeriodMs=1000\n" + extra;
}

class TBridge {
public:
    explicit TBridge(const std::string& configPath) : child_(DADIZ_BRIDGE_PATH, {"--config", configPath}) {}
    // SIGTERM; the exit status.
    int stop()
    {
        kill(child_.pid(), SIGTERM);
        return child_.finish();
    }
    const std::string& log() const { return child_.err; }

private:
    TChild child_;
};

TEST(Bridge, RefusesABadConfigurationNamingFileLineAndKey)
{
    const std::string dir = tempDir("bad");
    const std::string ok = configText(1883, "/dev/null", "1-8");
    const struct {
        std::string text;
        std::string said; // after "FILE:"
    } cases[] = {
        {ok + "Baud=9601\n", R"(13: Baud: given twice in this section)"},
        {"[Broker]\nPort=0\n[Line COM1]\nDevice=/dev/null\nAddresses=1\n", R"(2: Port: must be a whole number from 1 to 65535, not "0")"},
        {"[Broker]\nHost=x\n[Line COM1]\nDevice=/dev/null\nBaud=9601\nAddresses=1\n",
         R"(5: Baud: must be 1200, 2400, 4800, 9600 or 19200, not "9601")"},
        {"[Broker]\n[Line COM1]\nDevice=/dev/null\nAddresses=1-40\n", R"(4: Addresses: must be addresses from 0 to 31.*)"},
        {"[Broker]\n[Line COM1]\nDevice=/dev/null\nParity=mark\nAddresses=1\n", R"(4: Parity: must be even, odd or none.*)"},
        {"[Broker]\nAllowWrites=yes\n[Line COM1]\nDevice=/dev/null\nAddresses=1\n", R"(2: AllowWrites: must be true or false.*)"},
        {"[Broker]\nColour=blue\n[Line COM1]\nDevice=/dev/null\nAddresses=1\n", R"(2: Colour: no such key here; the keys are Host, .*)"},
        {"[Broker]\nPasswordFile=/nonexistent/pw\n[Line COM1]\nDevice=/dev/null\nAddresses=1\n",
         R"(2: PasswordFile: cannot read /nonexistent/pw: no such file or directory, not "/nonexistent/pw")"},
        {"[Broker]\n[Line COM1]\nDevice=/dev/null\n", R"(2: \[Line COM1\] has no Addresses key)"},
        {"[Broker]\n[Line bridge]\nDevice=/dev/null\nAddresses=1\n", R"(2: \[Line bridge\]: a line's name .*)"},
        {"Host=x\n", R"(1: Host: a key before any section)"},
        {"[Broker]\n[Line A]\nDevice=/dev/null\nAddresses=1\n[Line A]\n", R"(5: \[Line A\] comes twice)"},
        {"[Modbus]\n[Line A]\nDevice=/dev/null\nAddresses=1-3\n[Line B]\nDevice=/dev/null\nAddresses=3\n",
         R"(7: Addresses: address 03 is also on line A, and a Modbus unit id names one display)"},
        {"[Line A]\nDevice=/dev/null\nAddresses=1\n", R"(3: neither \[Broker\] nor \[Modbus\].*)"},
    };
    for (const auto& c : cases) {
        const std::string path = dir + "/bridge.conf";
        writeFile(path, c.text);
        TChild child(DADIZ_BRIDGE_PATH, {"--config", path});
        EXPECT_EQ(child.finish(), 2) << c.text;
        EXPECT_TRUE(matches(child.err, "dadiz-bridge: " + QRegularExpression::escape(QString::fromStdString(path)).toStdString()
                                           + ":" + c.said + "\n"))
            << c.text << "\n" << child.err;
    }
    const TRun missing = run(DADIZ_BRIDGE_PATH, {"--config", dir + "/none.conf"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("cannot read " + dir + "/none.conf: no such file"), std::string::npos) << missing.err;
    writeFile(dir + "/good.conf", ok);
    EXPECT_EQ(run(DADIZ_BRIDGE_PATH, {"--config", dir + "/good.conf", "--check"}).status, 0);
}

// The language comes from --lang, else from Language= in [Bridge], else is
// English; every complaint about the file is said in it, FILE:LINE: KEY: first.
TEST(Bridge, SaysWhatIsWrongInTheLanguageChosen)
{
    const std::string dir = tempDir("lang");
    const std::string badPort = "[Broker]\nPort=0\n[Line COM1]\nDevice=/dev/null\nAddresses=1\n";
    const std::string good = "[Broker]\n[Line COM1]\nDevice=/dev/null\nAddresses=1\n";
    const struct {
        std::vector<std::string> args;
        std::string text;
        int status;
        std::string said; // the whole of standard error, FILE standing for the file's path
    } cases[] = {
        {{"--lang", "fr"}, badPort, 2, R"(FILE:2: Port: doit être un nombre entier de 1 à 65535, et non "0")"},
        {{"--lang=ca"}, badPort, 2, R"(FILE:2: Port: ha de ser un nombre enter de 1 a 65535, no "0")"},
        {{}, "[Bridge]\nLanguage=es\n" + badPort, 2, R"(FILE:4: Port: debe ser un número entero de 1 a 65535, no "0")"},
        // The command line wins over the file, and the key is read wherever it is.
        {{"--lang", "en"}, badPort + "[Bridge]\nLanguage=fr\n", 2,
         R"(FILE:2: Port: must be a whole number from 1 to 65535, not "0")"},
        {{}, badPort + "[Bridge]\nLanguage=fr\n", 2, R"(FILE:2: Port: doit être un nombre entier de 1 à 65535, et non "0")"},
        {{"--lang", "fr"}, "[Broker]\n[Line COM1]\nDevice=/dev/null\nParity=mark\nAddresses=1\n", 2,
         R"(FILE:4: Parity: doit être even, odd ou none, et non "mark")"},
        {{"--lang", "ca"}, "[Broker]\nColour=blue\n", 2, R"(FILE:2: Colour: aquesta clau no existeix aquí; .*)"},
        {{"--lang", "es"}, "[Broker]\nPasswordFile=/nonexistent/pw\n", 2,
         R"(FILE:2: PasswordFile: no se puede leer /nonexistent/pw: el archivo o la carpeta no existe, no .*)"},
        {{}, "[Bridge]\nLanguage=de\n" + good, 2, R"(FILE:2: Language: must be ca, es, fr or en, not "de")"},
        {{"--lang", "fr"}, "[Bridge]\nLanguage=de\n" + good, 2, R"(FILE:2: Language: doit être ca, es, fr ou en, et non "de")"},
        {{"--lang", "ca", "--check"}, good, 0, "FILE: correcte"},
        {{"--check"}, "[Bridge]\nLanguage=es\n" + good, 0, "FILE: correcto"},
        {{"--lang", "de"}, good, 2, R"(--lang must be ca, es, fr or en, not "de"\nusage: dadiz-bridge .*)"},
        {{"--lang", "fr", "--colour"}, good, 2, R"(argument inconnu "--colour"\nusage : dadiz-bridge .*)"},
        {{"--config", "FILE.none", "--lang", "ca"}, good, 2,
         R"(no es pot llegir FILE.none: l'arxiu o la carpeta no existeix)"},
    };
    const std::string path = dir + "/bridge.conf";
    const std::string quotedPath = QRegularExpression::escape(QString::fromStdString(path)).toStdString();
    for (const auto& c : cases) {
        writeFile(path, c.text);
        std::vector<std::string> args = {"--config", path};
        for (const std::string& a : c.args)
            args.push_back(a == "FILE.none" ? path + ".none" : a);
        const TRun r = run(DADIZ_BRIDGE_PATH, args);
        std::string said = c.said;
        for (std::size_t at; (at = said.find("FILE")) != std::string::npos;)
            said.replace(at, 4, quotedPath);
        EXPECT_EQ(r.status, c.status) << c.text << r.err;
        EXPECT_TRUE(matches(r.err, "(?s)dadiz-bridge: " + said + "\n")) << c.text << "\n" << r.err;
    }
}

// What the MQTT library says of a broker it cannot reach (its own words are
// English only) is said in the journal's language too.
// The journal a bridge writes to `path`, once it says `said` or after 20 s.
std::string journalSaying(const std::string& path, const std::string& said)
{
    std::string journal;
    for (auto until = std::chrono::steady_clock::now() + 20s;
         journal.find(said) == std::string::npos && std::chrono::steady_clock::now() < until;) {
        std::this_thread::sleep_for(50ms);
        std::ifstream in(path);
        journal.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return journal;
}

TEST(Bridge, SaysTheMqttLibrarysErrorsInTheLanguageChosen)
{
    const std::string dir = tempDir("lookup");
    writeFile(dir + "/bridge.conf",
              "[Bridge]\nLanguage=fr\n[Broker]\nHost=no-such-host.invalid\n[Line COM1]\nDevice=/dev/null\nAddresses=1\n");
    testsupport::TChildSetup setup;
    setup.errFile = dir + "/journal";
    writeFile(setup.errFile, "");
    TChild bridge(DADIZ_BRIDGE_PATH, {"--config", dir + "/bridge.conf"}, setup);
    const std::string said = "le broker no-such-host.invalid:1883 est inaccessible (nom du broker introuvable)";
    const std::string journal = journalSaying(dir + "/journal", said);
    kill(bridge.pid(), SIGTERM);
    EXPECT_EQ(bridge.finish(), 0);
    EXPECT_NE(journal.find(said), std::string::npos) << journal;
}

// One run checks much: a ramping display and a silent one on a bus, their
// topics and Modbus units, writes refused by default, a broker restart, an
// unplugged line and SIGTERM; in French, where the status words stay as plant
// systems match them and what a person reads follows the language.
TEST(Bridge, PublishesServesAndKeepsTheReadingsOfABus)
{
    const std::string dir = tempDir("bus");
    const std::string link = dir + "/tty";
    auto sim = std::make_unique<testsupport::TSim>(DADIZ_SIM_PATH,
        std::vector<std::string>{"--bus", "1,2", "--silent-address", "2", "--ramp", "--link", link});
    TBroker broker(dir);
    const int modbusPort = freePort();
    writeFile(dir + "/bridge.conf",
              "[Bridge]\nLanguage=fr\n"
                  + configText(broker.port, link, "1-2", {}, "\n[Modbus]\nPort=" + std::to_string(modbusPort) + "\n"));
    TSubscriber sub(broker.port, "dadiz/#");
    TBridge bridge(dir + "/bridge.conf");

    const std::string number = R"(-?\d+(\.\d+)?)";
    const std::string expected[] = {
        "dadiz/bridge/status online",
        "dadiz/COM1/01/value +" + number,
        "dadiz/COM1/01/number " + number,
        "dadiz/COM1/01/relay1 (ON|OFF)",
        "dadiz/COM1/01/relay2 (ON|OFF)",
        R"(dadiz/COM1/01/status \{"status":"ok","time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z","missed":0\})",
        R"(dadiz/COM1/02/status \{"status":"no reply","time":"[^"]+","missed":[1-9]\d*,"why":"pas de réponse dans le délai"\})",
    };
    for (const std::string& pattern : expected)
        EXPECT_FALSE(sub.waitFor(pattern).empty()) << pattern << "\n" << bridge.log();

    // Modbus: the value as a float and as a scaled integer agree; the status says what MQTT says.
    const TRun unit1 = mbpoll(modbusPort, 1, {"-t", "3", "-r", "0", "-c", "7"});
    const std::vector<long> regs = mbValues(unit1);
    ASSERT_EQ(regs.size(), 7u) << unit1.out << unit1.err;
    const std::uint32_t floatBits = static_cast<std::uint32_t>(regs[0] << 16 | regs[1]);
    float value = 0;
    std::memcpy(&value, &floatBits, sizeof value);
    const auto scaled = static_cast<std::int32_t>(static_cast<std::uint32_t>(regs[2] << 16 | regs[3]));
    EXPECT_EQ(regs[4], 1);
    EXPECT_NEAR(value, scaled / 10.0, 0.01);
    EXPECT_EQ(regs[5], 0);
    EXPECT_EQ(mbValues(mbpoll(modbusPort, 1, {"-t", "1", "-r", "2", "-c", "1"})), std::vector<long>{1});
    const std::vector<long> silent = mbValues(mbpoll(modbusPort, 2, {"-t", "3", "-r", "0", "-c", "7"}));
    ASSERT_EQ(silent.size(), 7u);
    EXPECT_EQ((std::vector<long>{silent[0], silent[1], silent[2], silent[3], silent[5]}),
              (std::vector<long>{0x7FC0, 0, 0x8000, 0, 1}));
    EXPECT_NE(mbpoll(modbusPort, 9, {"-t", "3", "-r", "0", "-c", "1"}).err.find("Gateway path unavailable"),
              std::string::npos);
    const TRun write = run(DADIZ_MBPOLL_PATH, {"-1", "-0", "-a", "1", "-p", std::to_string(modbusPort), "-t", "4",
                                               "-r", "0", "127.0.0.1", "5"});
    EXPECT_NE(write.err.find("Illegal function"), std::string::npos) << write.out << write.err;

    // Without AllowWrites=true a write is refused.
    publish(broker.port, "dadiz/COM1/01/config/set", R"({"relay1-setpoint":1})");
    EXPECT_FALSE(sub.waitFor(R"(dadiz/COM1/01/config/result \{"request":"set","ok":false,"error":"l'écriture d'une )"
                             R"(configuration n'est pas permise.*AllowWrites=true.*)")
                     .empty());

    // A broker that restarts without its store gets every retained topic again.
    const std::map<std::string, std::string> before = retained(broker.port, "dadiz/#");
    EXPECT_EQ(before.size(), 7u);
    broker.restart();
    std::map<std::string, std::string> after;
    for (auto deadline = std::chrono::steady_clock::now() + kPatience;
         after.size() < before.size() && std::chrono::steady_clock::now() < deadline;)
        after = retained(broker.port, "dadiz/#");
    for (const auto& [topic, payload] : before)
        EXPECT_TRUE(after.count(topic)) << topic;
    EXPECT_EQ(after["dadiz/bridge/status"], "online");

    // An unplugged line is said, and comes back by itself.
    TSubscriber watch(broker.port, "dadiz/COM1/01/status");
    sim.reset();
    EXPECT_FALSE(watch.waitFor(R"(dadiz/COM1/01/status \{"status":"line lost".*)").empty());
    sim = std::make_unique<testsupport::TSim>(DADIZ_SIM_PATH,
        std::vector<std::string>{"--bus", "1,2", "--silent-address", "2", "--link", link});
    EXPECT_FALSE(watch.waitFor(R"(dadiz/COM1/01/status \{"status":"ok".*)").empty());

    EXPECT_EQ(bridge.stop(), 0) << bridge.log();
    EXPECT_EQ(retained(broker.port, "dadiz/bridge/status")["dadiz/bridge/status"], "offline");
    const std::string journal[] = {"connecté au broker", "ligne COM1, afficheur 02 : pas de réponse dans le délai",
                                   "ligne COM1 : " + link + " a été perdu", "arrêt en cours"};
    for (const std::string& said : journal)
        EXPECT_NE(bridge.log().find(said), std::string::npos) << said << "\n" << bridge.log();

    // With writes allowed, a value the display cannot take is refused wholly in French.
    writeFile(dir + "/bridge.conf", "[Bridge]\nLanguage=fr\n" + configText(broker.port, link, "1", "AllowWrites=true\n"));
    TBridge writer(dir + "/bridge.conf");
    TSubscriber results(broker.port, "dadiz/#");
    ASSERT_FALSE(results.waitFor("dadiz/bridge/status online").empty()) << writer.log();
    const std::pair<std::string, std::string> refused[] = {
        {R"({"relay2-delay":1000})", R"(relay2-delay doit être un nombre entier de 0 à 999, et non \\"1000\\")"},
        {R"({"relay2-setpoint":"12.34"})",
         R"(relay2-setpoint doit être de -?[0-9.]+ à [0-9.]+ avec au plus 1 décimale \([0-9]+ chiffres, point décimal )"
         R"(1\), et non \\"12.34\\")"},
        {R"({"relay2":"on"})", R"(relay2 doit être off, timed ou hysteresis, et non \\"on\\")"},
    };
    for (const auto& [payload, error] : refused) {
        publish(broker.port, "dadiz/COM1/01/config/set", payload);
        EXPECT_FALSE(results.waitFor(R"(dadiz/COM1/01/config/result \{"request":"set","ok":false,"error":")" + error
                                     + R"( ; rien n'a été envoyé"\})")
                         .empty())
            << payload << "\n" << writer.log();
    }
    EXPECT_EQ(writer.stop(), 0) << writer.log();
}

// A certificate authority of the test's own, and a certificate it signed for 127.0.0.1.
void makeCertificates(const std::string& dir, const std::string& ca, const std::string& server)
{
    const std::vector<std::string> key = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    ASSERT_EQ(run(DADIZ_OPENSSL_PATH, with({"req", "-x509", "-days", "2", "-subj", "/CN=" + ca, "-keyout",
                                            dir + "/" + ca + ".key", "-out", dir + "/" + ca + ".crt"},
                                           key))
                  .status,
              0);
    writeFile(dir + "/san", "subjectAltName=IP:127.0.0.1\n");
    ASSERT_EQ(run(DADIZ_OPENSSL_PATH, with({"req", "-subj", "/CN=127.0.0.1", "-keyout", dir + "/" + server + ".key",
                                            "-out", dir + "/" + server + ".csr"},
                                           key))
                  .status,
              0);
    ASSERT_EQ(run(DADIZ_OPENSSL_PATH, {"x509", "-req", "-days", "2", "-in", dir + "/" + server + ".csr", "-CA",
                                       dir + "/" + ca + ".crt", "-CAkey", dir + "/" + ca + ".key", "-CAcreateserial",
                                       "-extfile", dir + "/san", "-out", dir + "/" + server + ".crt"})
                  .status,
              0);
}

// Over TLS the readings arrive and the last word is given; a broker whose
// certificate another authority signed is refused, and said so.
TEST(Bridge, SpeaksTlsToTheBroker)
{
    const std::string dir = tempDir("tls");
    makeCertificates(dir, "ca", "broker");
    makeCertificates(dir, "other-ca", "unused");
    testsupport::TSim sim(DADIZ_SIM_PATH, {"--address", "1", "--ramp"});
    // Run as root, mosquitto would read its files as another user.
    TBroker broker(dir, true,
                   "user " + std::string(getpwuid(getuid())->pw_name) + "\ncafile " + dir + "/ca.crt\ncertfile " + dir + "/broker.crt\nkeyfile " + dir + "/broker.key\n");
    const std::vector<std::string> tls = {"--cafile", dir + "/ca.crt"};
    TSubscriber sub(broker.port, "dadiz/#", tls);
    writeFile(dir + "/bridge.conf", configText(broker.port, sim.path(), "1", "CAFile=" + dir + "/ca.crt\n"));
    TBridge bridge(dir + "/bridge.conf");
    EXPECT_FALSE(sub.waitFor("dadiz/bridge/status online").empty()) << bridge.log();
    const std::string first = sub.waitFor(R"(dadiz/COM1/01/number -?\d+(\.\d+)?)");
    EXPECT_FALSE(first.empty()) << bridge.log();
    EXPECT_FALSE(sub.waitFor(R"(dadiz/COM1/01/number -?\d+(\.\d+)?)").empty()) << bridge.log();
    EXPECT_EQ(bridge.stop(), 0) << bridge.log();
    EXPECT_EQ(retained(broker.port, "dadiz/bridge/status", tls)["dadiz/bridge/status"], "offline");

    writeFile(dir + "/wrong.conf",
              "[Bridge]\nLanguage=fr\n" + configText(broker.port, sim.path(), "1", "CAFile=" + dir + "/other-ca.crt\n"));
    testsupport::TChildSetup setup;
    setup.errFile = dir + "/journal";
    writeFile(setup.errFile, "");
    TChild wrong(DADIZ_BRIDGE_PATH, {"--config", dir + "/wrong.conf"}, setup);
    const std::string said = "le broker 127.0.0.1:" + std::to_string(broker.port) + " est inaccessible (erreur TLS)";
    const std::string journal = journalSaying(dir + "/journal", said);
    kill(wrong.pid(), SIGTERM);
    EXPECT_EQ(wrong.finish(), 0);
    EXPECT_NE(journal.find(said), std::string::npos) << journal;
    EXPECT_EQ(journal.find("connecté au broker"), std::string::npos) << journal;
}

// The plain fields a display holds, read by dadizctl from the simulator itself.
std::vector<std::string> displayFields(const std::string& dir, const std::string& device)
{
    const std::string file = dir + "/held.dad";
    std::remove(file.c_str());
    EXPECT_EQ(run(DADIZ_CTL_PATH, {"receive", file, "--port", device, "--address", "1"}).status, 0);
    const TRun show = run(DADIZ_CTL_PATH, {"show", file, "--plain"});
    std::vector<std::string> out;
    std::istringstream in(show.out);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

TEST(Bridge, WritesAConfigurationWhenAllowedAndVerifiesIt)
{
    const std::string dir = tempDir("write");
    testsupport::TSim sim(DADIZ_SIM_PATH, {"--address", "1"});
    const std::vector<std::string> held = displayFields(dir, sim.path());
    // The broker comes after the bridge: the bridge tries again until it is there.
    TBroker broker(dir, false);
    writeFile(dir + "/bridge.conf", configText(broker.port, sim.path(), "1", "AllowWrites=true\nDiscovery=true\n"));
    TBridge bridge(dir + "/bridge.conf");
    broker.start();
    TSubscriber sub(broker.port, "dadiz/COM1/01/#");
    ASSERT_FALSE(sub.waitFor(R"(dadiz/COM1/01/status \{"status":"ok".*)").empty()) << bridge.log();

    // Home Assistant finds the display's value and relays by itself.
    std::map<std::string, std::string> discovery = retained(broker.port, "homeassistant/#");
    EXPECT_EQ(discovery.size(), 3u);
    EXPECT_TRUE(matches(discovery["homeassistant/sensor/dadiz_COM1_01/value/config"],
                        R"(\{"name":"Value","unique_id":"dadiz_COM1_01_value","state_topic":"dadiz/COM1/01/number",)"
                        R"("availability_topic":"dadiz/bridge/status",.*\})"));
    EXPECT_TRUE(matches(discovery["homeassistant/binary_sensor/dadiz_COM1_01/relay2/config"],
                        R"(.*"state_topic":"dadiz/COM1/01/relay2","payload_on":"ON","payload_off":"OFF".*)"));

    const struct {
        std::string payload;
        std::string error;
    } refused[] = {
        {R"({"relay2-delay":7,})", "a name or value is not a string"},
        {R"({"relay2-delay":7)", "the members are not separated by ','"},
        {R"({"relay2-delay":7e0})", "a number is written with an exponent.*"},
        {R"({"relay2-delay":7,"relay2-delay":8})", R"(\\"relay2-delay\\" is given twice)"},
        {R"({"relay2-delay":[7]})", "a value is neither a string nor a number"},
        {R"({"relay2-delay":true})", "a value is neither a string nor a number"},
        {R"(["relay2-delay",7])", "the payload is not a JSON object"},
        {R"({"relay2-delay":7} x)", "bytes follow the JSON object"},
        {R"({"relay2-delay":1000})", "relay2-delay must be a whole number from 0 to 999.*"},
        {R"({"relay2-setpoint":"12.34"})", "relay2-setpoint must be from .* with at most 1 decimal.*"},
        {R"({"baud":19200})", "baud is not part of what a display is sent.*"},
        {R"({"input":"j"})", "input is not part of what a display is sent.*"},
        {R"({"colour":"red"})", R"(unknown field \\"colour\\".*)"},
        {"{}", "the object names no field"},
    };
    for (const auto& c : refused) {
        publish(broker.port, "dadiz/COM1/01/config/set", c.payload);
        EXPECT_FALSE(sub.waitFor(R"(dadiz/COM1/01/config/result \{"request":"set","ok":false,"error":")" + c.error
                                 + R"(; nothing was sent"\})")
                         .empty())
            << c.payload;
    }
    publish(broker.port, "dadiz/COM1/01/config/set", R"({"relay1-setpoint":123.4, "relay1-delay":"12"})");
    EXPECT_FALSE(sub.waitFor(R"(dadiz/COM1/01/config/result \{"request":"set","ok":true,"config":\{.*"relay1-delay":12,)"
                             R"("relay1-setpoint":123.4,.*\}\})")
                     .empty());
    publish(broker.port, "dadiz/COM1/01/config/get", "");
    EXPECT_FALSE(sub.waitFor(R"(dadiz/COM1/01/config \{"signal":.*"relay1-setpoint":123.4,.*\})").empty());
    EXPECT_EQ(bridge.stop(), 0) << bridge.log();

    // The display holds the two new values and nothing else changed.
    std::vector<std::string> expected = held;
    for (std::string& line : expected) {
        if (line.rfind("relay1-setpoint=", 0) == 0)
            line = "relay1-setpoint=123.4";
        if (line.rfind("relay1-delay=", 0) == 0)
            line = "relay1-delay=12";
    }
    EXPECT_NE(expected, held);
    EXPECT_EQ(displayFields(dir, sim.path()), expected);
}

} // namespace
