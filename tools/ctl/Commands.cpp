#include "tools/ctl/Commands.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>
#include <vector>

#include "config/ConfigFile.h"
#include "config/DisplayConfig.h"
#include "config/Formats.h"
#include "config/MainPanelCaptions.h"
#include "config/PanelTexts.h"
#include "protocol/Replies.h"
#include "protocol/Requests.h"
#include "serial/PortMap.h"
#include "tools/ctl/Fields.h"
#include "tools/ctl/Link.h"

namespace {

void message(const std::string& text)
{
    std::fprintf(stderr, "dadizctl: %s\n", text.c_str());
}

void print(const std::string& text)
{
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

// Columns are counted in characters, not bytes: the texts are UTF-8.
std::size_t textWidth(const std::string& s)
{
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

std::string latin1ToUtf8(const std::string& bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string trimmed(const std::string& s)
{
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string timestamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text + cfmt(".%03d", static_cast<int>(ms));
}

using TRows = std::vector<std::pair<std::string, std::string>>;

std::string panel(const std::string& title, const TRows& rows)
{
    std::size_t width = 0;
    for (const auto& [label, value] : rows)
        if (!value.empty())
            width = std::max(width, textWidth(label));
    std::string out = title + "\n";
    for (const auto& [label, value] : rows) {
        std::string line = "  " + label;
        if (!value.empty())
            line += std::string(width - textWidth(label) + 2, ' ') + value;
        out += line + "\n";
    }
    return out;
}

std::string panelsText(const TDisplayConfig& cfg, std::uint8_t language)
{
    const MainPanelCaptions& c = mainPanelCaptions(language);
    const SerialPanelText serial = serialPanelText(cfg);
    std::string out = panel(c.serialGroup, {{c.port, serial.port},
                                            {c.baud, serial.baud},
                                            {c.parity, serial.parity},
                                            {c.stopBits, serial.stopBits},
                                            {c.dataBits, serial.dataBits},
                                            {c.address, serial.address},
                                            {c.digits, serial.digits}});

    const AnalogPanelText analog = analogPanelText(cfg, language);
    TRows rows;
    for (int i = 0; i < 7; ++i) {
        if (i >= 5 && analog.lastRowsShown == false)
            break;
        if (!analog.label[i] && !analog.value[i])
            continue;
        // A value the window would leave as it was has no text of its own here.
        rows.emplace_back(analog.label[i].value_or(""), analog.value[i].value_or("---"));
    }
    out += panel(c.analogGroup, rows);

    for (int relay = 1; relay <= 2; ++relay) {
        const RelayPanelText r = relayPanelText(cfg, relay, language);
        out += panel(relay == 1 ? c.relay1Group : c.relay2Group,
                     {{r.delayLabel, trimmed(r.delay)}, {c.threshold, trimmed(r.setpoint)}, {r.triggerText, ""}});
    }
    return out;
}

// dadizctl's messages are English.
constexpr int MessageLanguage = 3;

bool loadFile(const std::string& path, TDisplayConfig& cfg)
{
    const FileResult result = loadConfigFile(path, cfg);
    if (!result.ok)
        message("cannot read " + describeFileError(path, result, MessageLanguage));
    return result.ok;
}

bool saveFile(const std::string& path, const TDisplayConfig& cfg)
{
    const FileResult result = saveConfigFile(path, cfg);
    if (!result.ok)
        message("cannot write " + describeFileError(path, result, MessageLanguage));
    return result.ok;
}

// The line of an exchange: FILE's (or the defaults), then the options.
void applyLineOptions(const TCtlOptions& o, TDisplayConfig& cfg)
{
    if (o.port) {
        const int com = comNumber(*o.port);
        if (com >= 1 && com <= 6)
            cfg.PortIndex = static_cast<std::uint8_t>(com - 1);
    }
    if (o.baudIndex)
        cfg.BaudIndex = *o.baudIndex;
    if (o.parityIndex)
        cfg.ParityIndex = *o.parityIndex;
    if (o.dataBitsIndex)
        cfg.DataBitsIndex = *o.dataBitsIndex;
    if (o.stopBitsIndex)
        cfg.StopBitsIndex = *o.stopBitsIndex;
    if (o.address)
        cfg.Address = *o.address;
}

// The configuration an exchange command starts from; false after a message.
bool lineConfig(const TCtlOptions& o, TDisplayConfig& cfg)
{
    resetToDefaults(cfg);
    if (!o.operands.empty() && !loadFile(o.operands[0], cfg))
        return false;
    applyLineOptions(o, cfg);
    return true;
}

std::string displayName(const TDisplayConfig& cfg, const TCtlLink& link)
{
    return "the display at address " + cfmt("%02d", cfg.Address) + " on " + link.deviceName();
}

int openLink(TCtlLink& link)
{
    if (link.open())
        return ExitOk;
    message("cannot open " + link.deviceName() + ": " + link.openFailure());
    return ExitPort;
}

int exchangeFailure(const TExchangeResult& r, const std::string& who)
{
    message(r.outcome == TOutcome::Interrupted ? "interrupted" : who + ": " + r.reason);
    return ExitNoReply;
}

std::string readingText(const TDisplayReading& reading)
{
    std::string value = reading.value ? trimmed(latin1ToUtf8(*reading.value)) : std::string();
    if (value.empty())
        value = "-";
    std::string relays = "relay1=- relay2=-";
    if (reading.relays)
        relays = std::string("relay1=") + ((*reading.relays)[0] ? "ON" : "OFF") + " relay2="
            + ((*reading.relays)[1] ? "ON" : "OFF");
    return value + "  " + relays;
}

int runShow(const TCtlOptions& o)
{
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    if (!loadFile(o.operands[0], cfg))
        return ExitFile;
    print(o.json ? configJson(cfg) : panelsText(cfg, o.language));
    return ExitOk;
}

int runNew(const TCtlOptions& o)
{
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    return saveFile(o.operands[0], cfg) ? ExitOk : ExitFile;
}

int runSet(const TCtlOptions& o)
{
    const std::string& path = o.operands[0];
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    if (!loadFile(path, cfg))
        return ExitFile;
    std::string error;
    const std::vector<std::string> assignments(o.operands.begin() + 1, o.operands.end());
    if (!applyAssignments(assignments, cfg, error)) {
        message(path + ": " + error + "; the file is unchanged");
        return ExitUsage;
    }
    return saveFile(path, cfg) ? ExitOk : ExitFile;
}

int runSend(const TCtlOptions& o)
{
    TDisplayConfig cfg;
    if (!lineConfig(o, cfg))
        return ExitFile;
    TCtlLink link(cfg, o.port, o.timeoutMs, o.retries);
    if (const int status = openLink(link))
        return status;
    const std::string who = displayName(cfg, link);

    const TConfigRequest frame = buildConfigRequest(cfg);
    const TExchangeResult ack = link.exchange(frame);
    if (ack.outcome != TOutcome::Reply)
        return exchangeFailure(ack, who);
    if (!o.verify) {
        print(o.operands[0] + ": sent to " + who + "\n");
        return ExitOk;
    }

    const TExchangeResult back = link.exchange(buildReadRequest(cfg.Address, kLetterAnalogParams));
    if (back.outcome != TOutcome::Reply)
        return exchangeFailure(back, who + " (reading back)");
    const std::vector<TFieldDifference> differences = compareWithReply(cfg, back.reply);
    if (differences.empty()) {
        print(o.operands[0] + ": sent to " + who + " and read back the same\n");
        return ExitOk;
    }
    for (const TFieldDifference& d : differences)
        print(d.field + ": file " + d.sent + ", display " + d.received + "\n");
    message(who + cfmt(" holds %zu field(s) other than ", differences.size()) + o.operands[0]);
    return ExitNoReply;
}

int runReceive(const TCtlOptions& o)
{
    const std::string& path = o.operands[0];
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    const FileResult loaded = loadConfigFile(path, cfg);
    // A file that does not exist yet is made from the defaults.
    if (!loaded.ok && !(loaded.failedStep == TFileStep::Open && loaded.error == ENOENT)) {
        message("cannot read " + describeFileError(path, loaded, MessageLanguage));
        return ExitFile;
    }
    TDisplayConfig line = cfg;
    applyLineOptions(o, line);
    TCtlLink link(line, o.port, o.timeoutMs, o.retries);
    if (const int status = openLink(link))
        return status;
    const std::string who = displayName(line, link);
    const TExchangeResult r = link.exchange(buildReadRequest(line.Address, kLetterAnalogParams));
    if (r.outcome != TOutcome::Reply)
        return exchangeFailure(r, who);
    link.close();
    parseAnalogParamsReply(r.reply, cfg);
    if (!saveFile(path, cfg))
        return ExitFile;
    print(path + ": received from " + who + "\n");
    return ExitOk;
}

int runValue(const TCtlOptions& o)
{
    TDisplayConfig cfg;
    if (!lineConfig(o, cfg))
        return ExitFile;
    TCtlLink link(cfg, o.port, o.timeoutMs, o.retries);
    if (const int status = openLink(link))
        return status;
    const std::string who = displayName(cfg, link);
    const TReadRequest request = buildReadRequest(cfg.Address, kLetterDisplayReading);

    auto next = std::chrono::steady_clock::now();
    for (;;) {
        const TExchangeResult r = link.exchange(request);
        if (r.outcome == TOutcome::Interrupted)
            return o.watch ? ExitOk : exchangeFailure(r, who);
        if (r.outcome == TOutcome::LineLost)
            return exchangeFailure(r, who);
        TDisplayReading reading;
        if (r.outcome == TOutcome::Reply)
            reading = parseDisplayReadingReply(r.reply);
        if (reading.value || reading.relays) {
            print(timestamp() + "  " + readingText(reading) + "\n");
        } else {
            TExchangeResult failed = r;
            if (r.outcome == TOutcome::Reply) {
                failed.outcome = TOutcome::Invalid;
                failed.reason = "the reply carries neither a value nor relay states";
            }
            if (!o.watch)
                return exchangeFailure(failed, who);
            message(timestamp() + " " + who + ": " + failed.reason);
        }
        if (!o.watch)
            return ExitOk;
        // Readings keep to their rhythm; one that overran starts the next at once.
        next += std::chrono::milliseconds(o.intervalMs);
        const auto now = std::chrono::steady_clock::now();
        if (next < now)
            next = now;
        TEventWait pause;
        if (pause.run(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count()))
            == TWaitEnd::Stopped)
            return ExitOk;
    }
}

// Row names of the calibration values in the order of the reply's items,
// with the box each item fills (items 6 and 7 cross over on the screen).
struct TCalibrationRow {
    std::size_t box;
    const char* name;
};
const TCalibrationRow kCalibrationRows[] = {
    {0, "Voltage -10V"},
    {1, "Voltage +10V"},
    {2, "Current -20mA"},
    {3, "Current +20mA"},
    {4, "PT100 CHANEL 1 Temp. 0°. Resolution 1°"},
    {6, "PT100 CHANEL 2 Temp. 0°. Resolution 1°"},
    {5, "PT100 CHANEL 1 Temp. 0°. Resolution 0.1°"},
    {7, "PT100 CHANEL 2 Temp. 0°. Resolution 0.1°"},
    {8, "PT100 CHANEL 1 Temp. 300°. Resolution 1°"},
    {9, "PT100 CHANEL 2 Temp. 300°. Resolution 1°"},
    {10, "PT100 CHANEL 1 Temp. 300°. Resolution 0.1°"},
    {11, "PT100 CHANEL 2 Temp. 300°. Resolution 0.1°"},
    {12, "Termocouple J-K Voltage 0V"},
    {13, "Termocouple T Voltage 0V"},
    {14, "Termocouple J-K Voltage 20mV"},
    {15, "Termocouple T Voltage 20mV"},
    {16, "Diode voltage"},
    {17, "Diode temperature"},
};

int runCalib(const TCtlOptions& o)
{
    TDisplayConfig cfg;
    if (!lineConfig(o, cfg))
        return ExitFile;
    TCtlLink link(cfg, o.port, o.timeoutMs, o.retries);
    if (const int status = openLink(link))
        return status;
    const std::string who = displayName(cfg, link);
    const TExchangeResult r = link.exchange(buildReadRequest(cfg.Address, kLetterCalibration));
    if (r.outcome != TOutcome::Reply)
        return exchangeFailure(r, who);
    const TCalibrationTexts texts = parseCalibrationReply(r.reply);
    TRows rows;
    std::size_t missing = 0;
    for (const TCalibrationRow& row : kCalibrationRows) {
        const auto& text = texts[row.box];
        missing += text ? 0 : 1;
        rows.emplace_back(row.name, text ? latin1ToUtf8(*text) : "-");
    }
    std::size_t width = 0;
    for (const auto& row : rows)
        width = std::max(width, textWidth(row.first));
    std::string out;
    for (const auto& [name, value] : rows)
        out += name + std::string(width - textWidth(name) + 2, ' ') + value + "\n";
    print(out);
    if (missing > 0) {
        message(who + cfmt(": %zu of the 18 calibration values are missing from the reply", missing));
        return ExitNoReply;
    }
    return ExitOk;
}

int runScan(const TCtlOptions& o)
{
    TDisplayConfig cfg;
    if (!lineConfig(o, cfg))
        return ExitFile;
    TCtlLink link(cfg, o.port, o.timeoutMs, o.retries);
    if (const int status = openLink(link))
        return status;
    int found = 0;
    for (std::uint8_t address = 0; address <= 31; ++address) {
        const TExchangeResult r = link.exchange(buildReadRequest(address, kLetterDisplayReading));
        if (r.outcome == TOutcome::Interrupted || r.outcome == TOutcome::LineLost)
            return exchangeFailure(r, "scan of " + link.deviceName());
        if (r.outcome == TOutcome::Invalid) {
            message(cfmt("address %02d: ", address) + r.reason);
            continue;
        }
        if (r.outcome != TOutcome::Reply)
            continue;
        const TDisplayReading reading = parseDisplayReadingReply(r.reply);
        if (!reading.value && !reading.relays) {
            message(cfmt("address %02d: the reply carries neither a value nor relay states", address));
            continue;
        }
        ++found;
        print(cfmt("%02d  ", address) + readingText(reading) + "\n");
    }
    if (found == 0) {
        message("no display answered on " + link.deviceName());
        return ExitNoReply;
    }
    return ExitOk;
}

} // namespace

int runCommand(const TCtlOptions& o)
{
    if (o.command == "show")
        return runShow(o);
    if (o.command == "new")
        return runNew(o);
    if (o.command == "set")
        return runSet(o);
    if (o.command == "send")
        return runSend(o);
    if (o.command == "receive")
        return runReceive(o);
    if (o.command == "value")
        return runValue(o);
    if (o.command == "calib")
        return runCalib(o);
    if (o.command == "doctor")
        return runDoctor(o);
    return runScan(o);
}
