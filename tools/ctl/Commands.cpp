#include "tools/ctl/Commands.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "config/ConfigFile.h"
#include "config/DisplayConfig.h"
#include "config/Formats.h"
#include "config/MainPanelCaptions.h"
#include "config/PanelTexts.h"
#include "config/UniqueFd.h"
#include "protocol/Replies.h"
#include "protocol/Requests.h"
#include "serial/PortMap.h"
#include "tools/ctl/Fields.h"
#include "tools/ctl/Link.h"

namespace {

volatile std::sig_atomic_t caughtStop = 0;

void noteStopSignal(int signal)
{
    caughtStop = signal;
}

// Writes all of `text` to `fd`. The wait for room happens with the stop
// signals let through, so that a reader who stops reading cannot keep
// dadizctl (and its port) for ever; a stop signal caught there is made
// pending again for the event loop. errno tells why it failed.
bool writeAll(int fd, const std::string& text)
{
    sigset_t waitMask;
    pthread_sigmask(SIG_SETMASK, nullptr, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    std::size_t done = 0;
    while (done < text.size()) {
        pollfd pfd{fd, POLLOUT, 0};
        if (::ppoll(&pfd, 1, nullptr, &waitMask) < 0) {
            if (errno != EINTR)
                return false;
            if (const int signal = caughtStop) {
                caughtStop = 0;
                ::kill(::getpid(), signal);
                errno = EINTR;
                return false;
            }
            continue;
        }
        if (pfd.revents & POLLNVAL) {
            errno = EBADF;
            return false;
        }
        // Small pieces: room for one is what the wait promises on a pipe or a terminal.
        const ssize_t n = ::write(fd, text.data() + done, std::min<std::size_t>(text.size() - done, 256));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void message(const std::string& text)
{
    writeAll(STDERR_FILENO, "dadizctl: " + text + "\n");
}

std::string lowerFirst(std::string text)
{
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

// Results go to standard output; false, after a message unless a stop signal
// ended the wait, when they cannot be written.
bool print(const std::string& text)
{
    if (writeAll(STDOUT_FILENO, text))
        return true;
    const int error = errno;
    if (!stopRequested())
        message("cannot write to standard output: " + lowerFirst(std::strerror(error)));
    return false;
}

// The exit status after print failed: a watch ends cleanly on a stop signal.
int printFailure(const TCtlOptions& o)
{
    if (!stopRequested())
        return ExitNoReply;
    if (o.watch)
        return ExitOk;
    message("interrupted");
    return ExitNoReply;
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

// Bytes from a display as text: Latin-1 as UTF-8, control bytes (C0, DEL,
// C1) as <XX> like the reply bytes in messages, so that a device can neither
// break a line nor drive the terminal.
std::string shownText(const std::string& bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c == 0x0D) {
            out += "<CR>";
        } else if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
            out += cfmt("<%02X>", c);
        } else if (c < 0x80) {
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

// dadizctl never waits on a FIFO or a device: anything but a regular file
// (or a link to one) is refused before it is opened. A missing file passes.
bool regularOrMissing(const std::string& path, const char* verb)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode))
        return true;
    message(std::string("cannot ") + verb + " " + path + ": "
            + (S_ISDIR(st.st_mode) ? lowerFirst(std::strerror(EISDIR)) : std::string("not a regular file")) + ".");
    return false;
}

bool loadFile(const std::string& path, TDisplayConfig& cfg)
{
    if (!regularOrMissing(path, "read"))
        return false;
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

enum class TLock { Held, Missing, Failed, Stopped };

// Read-modify-write of a file holds an exclusive lock on it, so that runs on
// the same file take turns. A save renames a new file over the old one, so a
// lock obtained on a file that has been replaced meanwhile is let go and
// taken again on the file now there. Waiting sleeps in the event loop and
// ends on a stop signal.
TLock lockFile(const std::string& path, UniqueFd& lock)
{
    for (;;) {
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!fd) {
            if (errno == ENOENT)
                return TLock::Missing;
            message("cannot read " + path + ": " + lowerFirst(std::strerror(errno)) + ".");
            return TLock::Failed;
        }
        while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            // A file system without locks: go on as a single run would.
            if (errno != EWOULDBLOCK && errno != EINTR) {
                lock = std::move(fd);
                return TLock::Held;
            }
            TEventWait pause;
            if (pause.run(20) == TWaitEnd::Stopped) {
                message("interrupted");
                return TLock::Stopped;
            }
        }
        struct stat held {};
        struct stat now {};
        if (::fstat(fd.get(), &held) == 0 && ::stat(path.c_str(), &now) == 0 && held.st_dev == now.st_dev
            && held.st_ino == now.st_ino) {
            lock = std::move(fd);
            return TLock::Held;
        }
    }
}

int lockFailure(TLock lock)
{
    return lock == TLock::Stopped ? ExitNoReply : ExitFile;
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

// A file value that cannot go out as it is stops the exchange before it starts.
bool frameFits(const TFrameCheck& check, const std::string& path, const TDisplayConfig& cfg)
{
    if (check.fault == TFrameFault::None)
        return true;
    const TFieldInfo& field = *findField(check.field);
    std::string why;
    switch (check.fault) {
    case TFrameFault::NotFinite: why = " is not a finite number"; break;
    case TFrameFault::EndsFrame: why = " holds a CR byte, which would end the request early"; break;
    default:
        why = (std::string(check.field) == "Address" ? " is outside 0..31" : " does not fit its field of the request")
            + std::string(" (it would go out as \"") + check.sent + "\")";
    }
    message(path + ": " + check.field + " " + fieldText(field, cfg) + why + "; nothing was sent");
    return false;
}

// The configuration an exchange command starts from; false after a message
// (a file that cannot be read, or an address no request can carry).
bool lineConfig(const TCtlOptions& o, TDisplayConfig& cfg, bool addressUsed = true)
{
    resetToDefaults(cfg);
    if (!o.operands.empty() && !loadFile(o.operands[0], cfg))
        return false;
    applyLineOptions(o, cfg);
    return !addressUsed || o.operands.empty() || frameFits(checkRequestAddress(cfg.Address), o.operands[0], cfg);
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
    std::string value = reading.value ? shownText(trimmed(*reading.value)) : std::string();
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
    return print(o.json ? configJson(cfg) : panelsText(cfg, o.language)) ? ExitOk : printFailure(o);
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
    if (!regularOrMissing(path, "read"))
        return ExitFile;
    UniqueFd lock;
    if (const TLock l = lockFile(path, lock); l != TLock::Held && l != TLock::Missing)
        return lockFailure(l);
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
    if (!frameFits(checkConfigRequest(cfg), o.operands[0], cfg))
        return ExitFile;
    TCtlLink link(cfg, o.port, o.timeoutMs, o.retries);
    if (const int status = openLink(link))
        return status;
    const std::string who = displayName(cfg, link);

    const TConfigRequest frame = buildConfigRequest(cfg);
    const TExchangeResult ack = link.exchange(frame);
    if (ack.outcome != TOutcome::Reply)
        return exchangeFailure(ack, who);
    if (!o.verify)
        return print(o.operands[0] + ": sent to " + who + "\n") ? ExitOk : printFailure(o);

    const TExchangeResult back = link.exchange(buildReadRequest(cfg.Address, kLetterAnalogParams));
    if (back.outcome != TOutcome::Reply)
        return exchangeFailure(back, who + " (reading back)");
    const std::vector<TFieldDifference> differences = compareWithReply(cfg, back.reply);
    if (differences.empty())
        return print(o.operands[0] + ": sent to " + who + " and read back the same\n") ? ExitOk : printFailure(o);
    std::string list;
    for (const TFieldDifference& d : differences)
        list += d.field + ": file " + d.sent + ", display " + shownText(d.received) + "\n";
    if (!print(list))
        return printFailure(o);
    message(who + cfmt(" holds %zu field(s) other than ", differences.size()) + o.operands[0]);
    return ExitNoReply;
}

int runReceive(const TCtlOptions& o)
{
    const std::string& path = o.operands[0];
    if (!regularOrMissing(path, "read"))
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
    if (!o.address && !frameFits(checkRequestAddress(line.Address), path, line))
        return ExitFile;
    // A new file keeps the line and address it was received over, so that it can be sent back.
    if (l == TLock::Missing)
        cfg = line;

    TCtlLink link(line, o.port, o.timeoutMs, o.retries);
    if (const int status = openLink(link))
        return status;
    const std::string who = displayName(line, link);
    const TExchangeResult r = link.exchange(buildReadRequest(line.Address, kLetterAnalogParams));
    if (r.outcome != TOutcome::Reply)
        return exchangeFailure(r, who);
    link.close();

    const std::string replyText = "the reply \"" + shownText(std::string(r.reply.begin(), r.reply.end())) + "\"";
    TDisplayConfig received = cfg;
    parseAnalogParamsReply(r.reply, received);
    if (const auto problem = receivedValueProblem(received)) {
        message(who + ": " + replyText + " holds what a configuration cannot hold: " + *problem + "; " + path
                + " was not written");
        return ExitNoReply;
    }
    const std::vector<std::string> missing = fieldsMissingFromReply(r.reply);
    const auto travelling = static_cast<std::size_t>(
        std::count_if(recordFields().begin(), recordFields().end(), [](const TFieldInfo& f) { return travels(f); }));
    if (!missing.empty()) {
        std::string what = "none of the configuration";
        if (missing.size() < travelling) {
            what = "only part of the configuration; missing:";
            for (const std::string& name : missing)
                what += " " + name;
        }
        message(who + ": " + replyText + " carries " + what + "; " + path + " was not written");
        return ExitNoReply;
    }
    cfg = received;
    if (!saveFile(path, cfg))
        return ExitFile;
    return print(path + ": received from " + who + "\n") ? ExitOk : printFailure(o);
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
            if (!print(timestamp() + "  " + readingText(reading) + "\n"))
                return printFailure(o);
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
        rows.emplace_back(row.name, text ? shownText(*text) : "-");
    }
    std::size_t width = 0;
    for (const auto& row : rows)
        width = std::max(width, textWidth(row.first));
    std::string out;
    for (const auto& [name, value] : rows)
        out += name + std::string(width - textWidth(name) + 2, ' ') + value + "\n";
    if (!print(out))
        return printFailure(o);
    if (missing > 0) {
        message(who + cfmt(": %zu of the 18 calibration values are missing from the reply", missing));
        return ExitNoReply;
    }
    return ExitOk;
}

// The address digits of a reply in printable form ("@05RL..."), or "??".
std::string replyAddress(const std::string& printable)
{
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const bool digits = printable.size() >= 3 && printable[0] == '@' && digit(printable[1]) && digit(printable[2]);
    return digits ? printable.substr(1, 2) : "??";
}

int runScan(const TCtlOptions& o)
{
    TDisplayConfig cfg;
    if (!lineConfig(o, cfg, false))
        return ExitFile;
    TCtlLink link(cfg, o.port, o.timeoutMs, o.retries);
    if (const int status = openLink(link))
        return status;
    int found = 0;
    std::size_t late = 0;
    for (std::uint8_t address = 0; address <= 31; ++address) {
        const TExchangeResult r = link.exchange(buildReadRequest(address, kLetterDisplayReading));
        // An answer that came after its own time-out arrives while the next address is asked.
        for (const std::string& reply : r.setAside) {
            message("address " + replyAddress(reply) + " answered after its time-out: \"" + reply + "\"");
            ++late;
        }
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
        if (!print(cfmt("%02d  ", address) + readingText(reading) + "\n"))
            return printFailure(o);
    }
    if (late > 0)
        message(cfmt("%zu late answer(s) were set aside; a --timeout longer than %d ms may find those displays", late,
                     o.timeoutMs));
    if (found == 0) {
        message("no display answered on " + link.deviceName() + cfmt(" within %d ms", o.timeoutMs));
        return ExitNoReply;
    }
    return ExitOk;
}

} // namespace

void prepareOutput()
{
    // Runs only while a write waits for room: the stop signals are blocked elsewhere.
    struct sigaction sa {};
    sa.sa_handler = noteStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no restart: the wait returns
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool printText(const std::string& text)
{
    return print(text);
}

void printMessage(const std::string& text)
{
    message(text);
}

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
