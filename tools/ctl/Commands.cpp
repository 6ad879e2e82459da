#include "tools/ctl/Commands.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "base/Failure.h"
#include "config/DisplayConfig.h"
#include "base/Formats.h"
#include "base/Texts.h"
#include "config/MainPanelCaptions.h"
#include "config/PanelTexts.h"
#include "protocol/Replies.h"
#include "protocol/Requests.h"
#include "session/DisplayLine.h"
#include "session/DisplaySession.h"
#include "tools/ctl/CommandTable.h"
#include "tools/ctl/CtlTexts.h"
#include "tools/ctl/Link.h"
#include "config/FieldEdits.h"
#include "tools/ctl/ReplyCompare.h"
#include "tools/ctl/Output.h"
#include "config/PlainFields.h"
#include "tools/ctl/Session.h"
#include "trend/CsvLog.h"
#include "trend/Reading.h"

namespace {

// Assignments read from standard input: far more than a configuration needs.
constexpr std::size_t kAssignmentInputLimit = 65536;

// A refusal of a value, closed by what became of the file.
const TTexts kNothingWritten{"%1: %2; no s'ha escrit res", "%1: %2; no se ha escrito nada", "%1 : %2 ; rien n'a été écrit",
                             "%1: %2; nothing was written"};
const TTexts kFileUnchanged{"%1: %2; l'arxiu no ha canviat", "%1: %2; el archivo no ha cambiado",
                            "%1 : %2 ; le fichier est inchangé", "%1: %2; the file is unchanged"};
const TTexts kCannotHold{
    "el visualitzador de l'adreça %1 a %2: la resposta \"%3\" conté el que una configuració no pot contenir: %4; "
    "%5 no s'ha escrit",
    "el visualizador de la dirección %1 en %2: la respuesta \"%3\" contiene lo que una configuración no puede "
    "contener: %4; %5 no se ha escrito",
    "l'afficheur à l'adresse %1 sur %2 : la réponse \"%3\" contient ce qu'une configuration ne peut pas contenir : "
    "%4 ; %5 n'a pas été écrit",
    "the display at address %1 on %2: the reply \"%3\" holds what a configuration cannot hold: %4; %5 was not "
    "written"};

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

std::string panelsText(const TDisplayConfig& cfg, TLanguage language)
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

// Why a 'P' reply cannot be taken as a display's configuration: the fields
// it leaves out, or number fields that are not numbers; empty when neither.
std::string replyContentsProblem(const TParamsReplyContents& contents)
{
    const std::vector<const char*> missing = contents.missing();
    if (missing.size() == paramsReplyFields().size())
        return say(ctltext::kCarriesNone);
    if (!missing.empty()) {
        std::string names;
        for (const char* name : missing)
            names += std::string(" ") + name;
        return say(ctltext::kCarriesPart, {names});
    }
    if (contents.unreadable.empty())
        return {};
    std::string list;
    for (const TUnreadableField& u : contents.unreadable)
        list += (list.empty() ? "" : ", ") + std::string(u.field) + " \"" + shownText(u.text) + "\"";
    return say(ctltext::kNotNumbers, {list});
}

// Whether a command goes on to the next display: not after a stop signal,
// output that cannot be written or a port that cannot be opened.
bool goOn(int status)
{
    return status != ExitPort && !stopRequested() && !outputFailed();
}

// The assignments of set and new; "-" stands for the NAME=VALUE lines of
// standard input (blank lines and lines starting with '#' left out).
std::optional<std::vector<std::string>> assignmentsOf(const TCtlOptions& o, int& status)
{
    std::vector<std::string> out;
    for (auto it = o.operands.begin() + 1; it != o.operands.end(); ++it) {
        if (*it != "-") {
            out.push_back(*it);
            continue;
        }
        std::string text;
        switch (readStandardInput(text, kAssignmentInputLimit)) {
        case TInput::Read: break;
        case TInput::Stopped: message(say(ctltext::kInterrupted)); status = ExitNoReply; return std::nullopt;
        case TInput::TooLong:
            message(say(ctltext::kInputTooLong, {cfmt("%zu", kAssignmentInputLimit)}));
            status = ExitUsage;
            return std::nullopt;
        case TInput::Failed:
            message(say(ctltext::kCannotReadInput, {errorWords(errno, o.language)}));
            status = ExitUsage;
            return std::nullopt;
        }
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            line = trimmed(line);
            if (!line.empty() && line[0] != '#')
                out.push_back(line);
            start = end + 1;
        }
    }
    return out;
}

std::string readingText(const TDisplayReading& reading)
{
    std::string value = reading.value ? shownText(trimmed(*reading.value)) : std::string();
    if (value.empty())
        value = "-";
    std::string relays = "relay1=- relay2=-";
    if (reading.relays)
        relays = std::string("relay1=") + ((*reading.relays)[0] ? "ON" : "OFF") + " relay2="
            + ((*reading.relays)[1] ? "ON" : "OFF");
    return value + "  " + relays;
}

// The value and relays of a reading as JSON members.
std::string readingJson(const TDisplayReading& reading)
{
    std::string out = "\"value\":" + (reading.value ? jsonText(*reading.value) : std::string("null"));
    out += ",\"number\":"
        + jsonNumber(reading.value ? std::optional<std::string>(readingNumberText(*reading.value)) : std::nullopt);
    for (int n = 0; n < 2; ++n)
        out += cfmt(",\"relay%d\":", n + 1) + (reading.relays ? ((*reading.relays)[n] ? "true" : "false") : "null");
    return out;
}

} // namespace

int runCommand(const TCtlOptions& o)
{
    return findCommand(o.command)->run(o);
}

int runShow(const TCtlOptions& o)
{
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    if (!loadFile(o.operands[0], cfg))
        return ExitFile;
    std::string text;
    if (o.plain) {
        for (const TPlainLine& line : plainLines(cfg))
            text += line.name + "=" + line.value + "\n";
    } else {
        text = o.json ? configJson(cfg) : panelsText(cfg, o.language);
    }
    return print(text) ? ExitOk : printFailure(o);
}

int runNew(const TCtlOptions& o)
{
    const std::string& path = o.operands[0];
    int status = ExitOk;
    const auto assignments = assignmentsOf(o, status);
    if (!assignments)
        return status;
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    std::string error;
    if (!applyAssignments(*assignments, o.language, cfg, error)) {
        message(fillIn(kNothingWritten.pick(o.language), {path, error}));
        return ExitUsage;
    }
    return saveFile(path, cfg) ? ExitOk : ExitFile;
}

int runSet(const TCtlOptions& o)
{
    const std::string& path = o.operands[0];
    if (!regularOrMissing(path))
        return ExitFile;
    int status = ExitOk;
    const auto assignments = assignmentsOf(o, status);
    if (!assignments)
        return status;
    UniqueFd lock;
    if (const TLock l = lockFile(path, lock); l != TLock::Held && l != TLock::Missing)
        return lockFailure(l);
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    if (!loadFile(path, cfg))
        return ExitFile;
    std::string error;
    if (!applyAssignments(*assignments, o.language, cfg, error)) {
        message(fillIn(kFileUnchanged.pick(o.language), {path, error}));
        return ExitUsage;
    }
    return saveFile(path, cfg) ? ExitOk : ExitFile;
}

namespace {

int sendOne(TLineSession& line, const TCtlOptions& o, const TTarget& t, bool several)
{
    const std::string who = line.who(t.address);
    const TExchangeResult ack = line.link().exchange(buildConfigRequest(t.cfg));
    if (ack.outcome != TOutcome::Reply)
        return exchangeFailure(ack, who);
    if (!o.verify)
        return print(say(ctltext::kSentTo, {t.path, who}) + "\n") ? ExitOk : printFailure(o);

    const TExchangeResult back = line.link().exchange(buildReadRequest(t.address, kLetterAnalogParams));
    if (back.outcome != TOutcome::Reply)
        return exchangeFailure(back, say(ctltext::kReadingBack, {who}));
    TDisplayConfig received = t.cfg;
    const TParamsReplyContents contents = parseAnalogParamsReply(back.reply, received);
    const std::vector<TFieldDifference> differences = compareWithReply(t.cfg, received, contents);
    if (differences.empty())
        return print(say(ctltext::kSentSame, {t.path, who}) + "\n") ? ExitOk : printFailure(o);
    std::string list;
    for (const TFieldDifference& d : differences)
        list += (several ? cfmt("%02d  ", t.address) : std::string())
            + say(kFileAndDisplay, {d.field, d.sent, shownText(d.received)}) + "\n";
    if (!print(list))
        return printFailure(o);
    const auto unread = static_cast<std::size_t>(std::count_if(
        differences.begin(), differences.end(), [](const TFieldDifference& d) { return d.received == beyondReplyText(); }));
    if (unread < differences.size())
        message(say(ctltext::kHoldsOther, {who, cfmt("%zu", differences.size() - unread), t.path}));
    if (unread > 0)
        message(say(ctltext::kNotCheckable, {who, cfmt("%zu", unread), t.path}));
    return ExitNoReply;
}

} // namespace

int runSend(const TCtlOptions& o)
{
    const std::string& file = o.operands[0];
    std::vector<TTarget> targets;
    if (isFolder(file)) {
        std::vector<std::uint8_t> addresses;
        if (const int status = folderAddresses(o, file, addresses))
            return status;
        for (std::uint8_t address : addresses) {
            TTarget t;
            t.address = address;
            t.path = folderFile(file, address);
            resetToDefaults(t.cfg);
            if (!loadFile(t.path, t.cfg)) {
                t.status = ExitFile;
            } else {
                applyLineOptions(o, t.cfg);
                t.cfg.Address = address;
                if (!frameFits(checkConfigRequest(t.cfg), t.path, t.cfg))
                    t.status = ExitFile;
            }
            targets.push_back(t);
        }
    } else {
        if (const int status = fileTargets(o, targets))
            return status;
        if (!frameFits(checkConfigRequest(targets.front().cfg), file, targets.front().cfg))
            return ExitFile;
    }

    TLineSession line(o);
    int worst = ExitOk;
    // The files of a folder may name other ports: a port that cannot be opened stops only its own.
    std::set<int> closedPorts;
    const auto portOf = [&](const TTarget& t) { return o.portPath ? -1 : static_cast<int>(t.cfg.PortIndex); };
    for (const TTarget& t : targets) {
        int status = t.status;
        if (status == ExitOk && closedPorts.count(portOf(t))) {
            message(say(ctltext::kNotSentPort, {t.path}));
            status = ExitPort;
        } else if (status == ExitOk) {
            status = line.open(t.cfg);
            if (status == ExitPort)
                closedPorts.insert(portOf(t));
        }
        if (status == ExitOk)
            status = sendOne(line, o, t, targets.size() > 1);
        worst = std::max(worst, status);
        if (stopRequested() || outputFailed())
            break;
    }
    return worst;
}

namespace {

// Receives one display's configuration into `path`, whose line and digits it
// keeps; a missing file gets the line and address of the exchange.
int receiveOne(TLineSession& session, const TCtlOptions& o, const std::string& path,
               std::optional<std::uint8_t> address)
{
    if (!regularOrMissing(path))
        return ExitFile;
    UniqueFd lock;
    const TLock l = lockFile(path, lock);
    if (l != TLock::Held && l != TLock::Missing)
        return lockFailure(l);
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    if (l == TLock::Held && !loadFile(path, cfg))
        return ExitFile;
    TDisplayConfig line = cfg;
    applyLineOptions(o, line);
    if (address)
        line.Address = *address;
    else if (!frameFits(checkRequestAddress(line.Address), path, line))
        return ExitFile;
    if (l == TLock::Missing)
        cfg = line;

    if (const int status = session.open(line))
        return status;
    const std::string who = session.who(line.Address);
    const TExchangeResult r = session.link().exchange(buildReadRequest(line.Address, kLetterAnalogParams));
    if (r.outcome != TOutcome::Reply)
        return exchangeFailure(r, who);

    const std::string replyText = shownText(std::string(r.reply.begin(), r.reply.end()));
    TDisplayConfig received = cfg;
    const TParamsReplyContents contents = parseAnalogParamsReply(r.reply, received);
    if (const std::string problem = replyContentsProblem(contents); !problem.empty()) {
        message(say(ctltext::kReplyProblemUnwritten, {who, replyText, problem, path}));
        return ExitNoReply;
    }
    if (const auto problem = receivedValueProblem(received, o.language)) {
        message(fillIn(kCannotHold.pick(o.language),
                       {cfmt("%02d", line.Address), session.link().deviceName(), replyText, *problem, path}));
        return ExitNoReply;
    }
    // A file that receive writes can be sent back as it is.
    if (const TFrameCheck check = checkConfigRequest(received); check.fault != TFrameFault::None) {
        message(say(ctltext::kCannotCarryBack, {who, replyText, check.field, check.sent, path}));
        return ExitNoReply;
    }
    if (!saveFile(path, received))
        return ExitFile;
    return print(say(ctltext::kReceivedFrom, {path, who}) + "\n") ? ExitOk : printFailure(o);
}

} // namespace

int runReceive(const TCtlOptions& o)
{
    const std::string& path = o.operands[0];
    TLineSession session(o);
    if (!isFolder(path)) {
        if (o.addresses.size() > 1) {
            message(say(ctltext::kOneFile));
            return ExitUsage;
        }
        return receiveOne(session, o, path,
                          o.addresses.empty() ? std::nullopt : std::optional<std::uint8_t>(o.addresses[0]));
    }
    std::vector<std::uint8_t> addresses;
    if (const int status = folderAddresses(o, path, addresses))
        return status;
    int worst = ExitOk;
    for (std::uint8_t address : addresses) {
        const int status = receiveOne(session, o, folderFile(path, address), address);
        worst = std::max(worst, status);
        if (!goOn(status))
            break;
    }
    return worst;
}

int runValue(const TCtlOptions& o)
{
    std::vector<TTarget> targets;
    TLineSession line(o);
    if (const int status = openDisplays(o, targets, line))
        return status;
    TCsvLog log;
    if (o.csv) {
        if (const FileResult result = log.open(*o.csv); !result.ok) {
            message(csvFailureText(TCsvStep::Open, *o.csv, result, o.language));
            return ExitFile;
        }
    }
    const bool several = targets.size() > 1;
    // A log that stopped on a failed write makes the run's end a failure: a script learns it is incomplete.
    bool logLost = false;
    const auto stopped = [&] { return logLost ? ExitFile : ExitOk; };
    int worst = ExitOk;

    // One reading, taken or missed: printed and logged. A status when the run ends with it.
    const auto show = [&](std::uint8_t address, const TExchangeResult& r) -> std::optional<int> {
        const std::string who = line.who(address);
        if (r.outcome == TOutcome::LineLost)
            return std::max(worst, exchangeFailure(r, who));
        const auto now = std::chrono::system_clock::now();
        TDisplayReading reading;
        if (r.outcome == TOutcome::Reply)
            reading = parseDisplayReadingReply(r.reply);
        const bool good = reading.value || reading.relays;
        TExchangeResult failed = r;
        if (!good && r.outcome == TOutcome::Reply) {
            failed.outcome = TOutcome::Invalid;
            failed.reason = say(ctltext::kNeitherValueNorRelays);
        }

        std::string out;
        if (o.json) {
            out = "{\"time\":" + jsonString(csvLocalTime(now)) + cfmt(",\"address\":%d,", address)
                + readingJson(reading)
                + (good ? "" : ",\"error\":" + jsonString(say(ctltext::kAbout, {who, failed.reason})))
                + "}\n";
        } else if (good) {
            out = timestamp() + "  " + (several ? cfmt("%02d  ", address) : std::string()) + readingText(reading)
                + "\n";
        }
        if (!out.empty() && !print(out))
            return printFailure(o);
        if (!good) {
            if (o.watch)
                message(timestamp() + " " + say(ctltext::kAbout, {who, failed.reason}));
            else
                worst = std::max(worst, exchangeFailure(failed, who));
        }
        if (log.isOpen()) {
            const TReading row{now, !good, reading.value, reading.relays};
            if (const FileResult result = log.append(row); !result.ok) {
                message(csvFailureText(TCsvStep::Write, log.path(), result, o.language));
                log.close();
                logLost = true;
            }
        }
        return std::nullopt;
    };

    if (!o.watch) {
        for (const TTarget& t : targets) {
            const TExchangeResult r = line.link().exchange(buildReadRequest(t.address, kLetterDisplayReading));
            if (r.outcome == TOutcome::Interrupted)
                return std::max(worst, exchangeFailure(r, line.who(t.address)));
            if (const auto end = show(t.address, r))
                return *end;
        }
        return logLost ? std::max(worst, static_cast<int>(ExitFile)) : worst;
    }

    // Each display is read continuously by the window's rules: at most one
    // reading an interval, none while its last one still waits, a late reply
    // never taken for the next reading's; the displays in turn on the line.
    TDisplayLine& shared = line.link().sessionLine();
    std::vector<std::unique_ptr<TDisplaySession>> sessions;
    TEventWait wait;
    std::optional<int> end;
    for (const TTarget& t : targets) {
        auto session = std::make_unique<TDisplaySession>(shared, t.address);
        session->setReadingPeriod(o.intervalMs);
        QObject::connect(session.get(), &TDisplaySession::reading, session.get(),
            [&, address = t.address](const TSessionReading& r) {
                if (end)
                    return;
                end = show(address, line.link().resultOf(r.report));
                if (end)
                    wait.finish();
            });
        QObject::connect(session.get(), &TDisplaySession::requestNotStarted, session.get(),
            [&, address = t.address](TPendingRequest, bool) {
                if (end)
                    return;
                TExchangeResult failed;
                failed.outcome = TOutcome::LineLost;
                failed.reason = say(ctltext::kNotReopened, {line.link().openFailure()});
                end = std::max(worst, exchangeFailure(failed, line.who(address)));
                wait.finish();
            });
        sessions.push_back(std::move(session));
    }
    // The first readings at once; reading goes on from the end of each.
    for (auto& session : sessions) {
        session->readValue();
        session->toggleContinuousReading();
    }
    while (!end) {
        if (wait.run(std::numeric_limits<int>::max()) == TWaitEnd::Stopped)
            return stopped();
    }
    return *end;
}

namespace {

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

int calibOne(TLineSession& line, const TCtlOptions& o, std::uint8_t address, bool several)
{
    const std::string who = line.who(address);
    const TExchangeResult r = line.link().exchange(buildReadRequest(address, kLetterCalibration));
    if (r.outcome != TOutcome::Reply) {
        if (o.json && r.outcome != TOutcome::Interrupted
            && !print(cfmt("{\"address\":%d,\"calibration\":null,\"error\":", address)
                      + jsonString(say(ctltext::kAbout, {who, r.reason})) + "}\n"))
            return printFailure(o);
        return exchangeFailure(r, who);
    }
    const TCalibrationTexts texts = parseCalibrationReply(r.reply);
    std::size_t missing = 0;
    std::size_t width = 0;
    for (const TCalibrationRow& row : kCalibrationRows) {
        missing += texts[row.box] ? 0 : 1;
        width = std::max(width, textWidth(row.name));
    }
    std::string out;
    if (o.json) {
        out = cfmt("{\"address\":%d,\"calibration\":[", address);
        for (const TCalibrationRow& row : kCalibrationRows) {
            const auto& text = texts[row.box];
            out += std::string(&row == kCalibrationRows ? "" : ",") + "{\"name\":" + jsonString(row.name)
                + ",\"text\":" + (text ? jsonText(*text) : "null") + ",\"number\":"
                + jsonNumber(text ? std::optional<std::string>(readingNumberText(*text)) : std::nullopt) + "}";
        }
        out += "]}\n";
    } else {
        for (const TCalibrationRow& row : kCalibrationRows) {
            const auto& text = texts[row.box];
            out += (several ? cfmt("%02d  ", address) : std::string()) + row.name
                + std::string(width - textWidth(row.name) + 2, ' ') + (text ? shownText(*text) : "-") + "\n";
        }
    }
    if (!print(out))
        return printFailure(o);
    if (missing > 0) {
        message(say(ctltext::kCalibMissing, {who, cfmt("%zu", missing)}));
        return ExitNoReply;
    }
    return ExitOk;
}

// The address digits of a reply set aside in printable form ("@05RL..."):
// noise never is, so a reply always has them.
std::string replyAddress(const std::string& printable)
{
    return printable.substr(1, 2);
}

} // namespace

int runCalib(const TCtlOptions& o)
{
    std::vector<TTarget> targets;
    TLineSession line(o);
    if (const int status = openDisplays(o, targets, line))
        return status;
    int worst = ExitOk;
    for (const TTarget& t : targets) {
        const int status = calibOne(line, o, t.address, targets.size() > 1);
        worst = std::max(worst, status);
        if (!goOn(status))
            break;
    }
    return worst;
}

int runScan(const TCtlOptions& o)
{
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    if (!o.operands.empty() && !loadFile(o.operands[0], cfg))
        return ExitFile;
    applyLineOptions(o, cfg);
    TLineSession line(o);
    if (const int status = line.open(cfg))
        return status;
    TCtlLink& link = line.link();
    TProgress progress;
    int found = 0;
    std::size_t late = 0;
    const TFieldLimits addresses = recordField(&TDisplayConfig::Address).limits({});
    for (auto address = static_cast<std::uint8_t>(addresses.low); address <= addresses.high; ++address) {
        progress.show(say(ctltext::kScanProgress, {link.deviceName(), cfmt("%02d", address), cfmt("%d", found)}));
        const TExchangeResult r = link.exchange(buildReadRequest(address, kLetterDisplayReading));
        // An answer that came after its own time-out arrives while a later address is asked; one
        // from an address not asked yet answered this request in another display's name.
        for (const std::string& bytes : r.noise)
            message(say(ctltext::kAtAddress, {cfmt("%02d", address), say(ctltext::kNoiseWasDropped, {bytes})}));
        for (const std::string& reply : r.setAside) {
            const std::string from = replyAddress(reply);
            if (std::stoi(from) < address) {
                message(say(ctltext::kLateAnswer, {from, reply}));
                ++late;
            } else {
                message(say(ctltext::kAnsweredAs, {cfmt("%02d", address), from, reply}));
            }
        }
        if (r.outcome == TOutcome::Interrupted || r.outcome == TOutcome::LineLost)
            return exchangeFailure(r, say(ctltext::kScanOf, {link.deviceName()}));
        if (r.outcome == TOutcome::Invalid) {
            message(say(ctltext::kAtAddress, {cfmt("%02d", address), r.reason}));
            continue;
        }
        if (r.outcome != TOutcome::Reply)
            continue;
        const TDisplayReading reading = parseDisplayReadingReply(r.reply);
        if (!reading.value && !reading.relays) {
            message(say(ctltext::kAtAddress, {cfmt("%02d", address), say(ctltext::kNeitherValueNorRelays)}));
            continue;
        }
        ++found;
        const std::string out = o.json ? cfmt("{\"address\":%d,", address) + readingJson(reading) + "}\n"
                                       : cfmt("%02d  ", address) + readingText(reading) + "\n";
        if (!print(out))
            return printFailure(o);
    }
    progress.clear();
    if (late > 0)
        message(say(ctltext::kLateSetAside, {cfmt("%zu", late), cfmt("%d", o.timeoutMs)}));
    if (found == 0) {
        message(say(ctltext::kNoneAnswered, {link.deviceName(), cfmt("%d", o.timeoutMs)}));
        return ExitNoReply;
    }
    return ExitOk;
}

int runDiff(const TCtlOptions& o)
{
    const std::string& first = o.operands[0];
    TDisplayConfig a;
    TDisplayConfig b;
    std::string bName;
    std::vector<TPlainDifference> differences;
    if (o.operands.size() == 2) {
        bName = o.operands[1];
        resetToDefaults(a);
        resetToDefaults(b);
        if (!loadFile(first, a) || !loadFile(bName, b))
            return ExitFile;
        differences = plainDifferences(a, b);
    } else {
        std::vector<TTarget> targets;
        TLineSession line(o);
        if (const int status = openDisplays(o, targets, line))
            return status;
        const TTarget& t = targets.front();
        bName = line.who(t.address);
        const TExchangeResult r = line.link().exchange(buildReadRequest(t.address, kLetterAnalogParams));
        if (r.outcome != TOutcome::Reply)
            return exchangeFailure(r, bName);
        TDisplayConfig received = t.cfg;
        const TParamsReplyContents contents = parseAnalogParamsReply(r.reply, received);
        if (const std::string problem = replyContentsProblem(contents); !problem.empty()) {
            message(say(ctltext::kReplyProblem,
                        {bName, shownText(std::string(r.reply.begin(), r.reply.end())), problem}));
            return ExitNoReply;
        }
        // What the frames carry, each within its precision; the input mode
        // travels in no 'E' request, so it is not compared.
        std::vector<std::string> differing;
        for (const TFieldDifference& d : compareWithReply(t.cfg, received, contents)) {
            differing.push_back(d.field);
            if (d.received == beyondReplyText())
                message(say(ctltext::kBeyondReply, {bName, d.field, d.sent, cfmt("%d", kReplySetpointLowest),
                                                    cfmt("%d", kReplySetpointHighest)}));
        }
        a = t.cfg;
        b = received;
        b.InputMode = a.InputMode;
        differences = plainDifferences(a, b, &differing);
    }

    std::string out;
    if (o.json) {
        out = "{\"a\":" + jsonString(first) + ",\"b\":" + jsonString(bName)
            + ",\"same\":" + (differences.empty() ? "true" : "false") + ",\"differences\":[";
        for (const TPlainDifference& d : differences)
            out += std::string(&d == differences.data() ? "" : ",") + "{\"field\":" + jsonString(d.name)
                + ",\"a\":" + (d.number ? d.a : jsonString(d.a)) + ",\"b\":" + (d.number ? d.b : jsonString(d.b)) + "}";
        out += "]}\n";
    } else {
        for (const TPlainDifference& d : differences)
            out += (o.operands.size() == 2 ? say(ctltext::kDiffFiles, {d.name, d.a, first, d.b, bName})
                                           : say(ctltext::kDiffDisplay, {d.name, d.a, first, d.b}))
                + "\n";
    }
    if (!out.empty() && !print(out))
        return printFailure(o);
    return differences.empty() ? ExitOk : ExitNoReply;
}
