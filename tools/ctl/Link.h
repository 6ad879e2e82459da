#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/Language.h"
#include "config/DisplayConfig.h"

class TDisplayLine;
class TDisplayLink;
struct TExchangeReport;

// SIGINT and SIGTERM end dadizctl cleanly: they are blocked in every thread
// and read from a descriptor by the event loop, which then leaves its wait.
// Call installStopSignals before any thread starts and before QCoreApplication.
void installStopSignals();
// Call once the QCoreApplication exists.
void watchStopSignals();
bool stopRequested();

enum class TWaitEnd { Finished, TimedOut, Stopped };

// Runs the event loop until finish(), `ms` milliseconds or a stop signal.
// Never spins: the thread sleeps in the event loop.
class TEventWait {
public:
    TEventWait();
    ~TEventWait();
    TEventWait(const TEventWait&) = delete;
    TEventWait& operator=(const TEventWait&) = delete;

    TWaitEnd run(int ms);
    void finish();
    // Gives the running wait `ms` milliseconds from now.
    void restart(int ms);

    struct TImpl;

private:
    std::unique_ptr<TImpl> impl_;
};

enum class TOutcome {
    Reply,       // a complete reply with the request's address and letters
    NoReply,     // nothing complete within the time-out
    Invalid,     // wrong letters, or bytes without an end
    LineLost,    // the device went away, or the request could not be written
    Interrupted, // a stop signal arrived
};

struct TExchangeResult {
    TOutcome outcome = TOutcome::NoReply;
    std::vector<std::uint8_t> reply; // offsets 0 .. the final CR
    std::string reason;              // for anything but Reply
    std::vector<std::string> setAside; // late replies for other addresses, printable
    std::vector<std::string> noise;    // bytes up to a CR that were no reply, dropped, printable
};

// Prints every frame `link` sends and receives on standard error, one line
// each: time, port, direction, bytes, latency and what became of them.
void printTraffic(TDisplayLink& link, TLanguage language);

// One display line: the program's serial component with the line settings of
// a configuration, request frames written whole and replies collected in
// pieces of 20 bytes as the program does, with a reply time-out.
class TCtlLink {
public:
    // device: a device path in place of the COM port PortIndex names;
    // language: that of the words of an open failure.
    TCtlLink(const TDisplayConfig& line, const std::optional<std::string>& device, int timeoutMs, int retries,
             TLanguage language);
    ~TCtlLink();
    TCtlLink(const TCtlLink&) = delete;
    TCtlLink& operator=(const TCtlLink&) = delete;

    // False when the port cannot be opened; openFailure() says why.
    bool open();
    std::string openFailure() const;
    // What messages call the line: the port name and, when it differs, its device.
    std::string deviceName() const;

    // Writes the request and waits for its reply: up to `timeout` once the
    // request has left, moved on only by pieces of its own reply. A complete
    // reply from another address (a late answer on a bus) is set aside and
    // the wait goes on; an adapter's echo of the request is dropped.
    // Retries after no reply or an invalid one.
    TExchangeResult exchange(std::span<const std::uint8_t> request);

    void close();
    // Every frame sent and received goes to standard error.
    void setVerbose(bool on);

    // The line, for sessions that read it continuously by the window's rules:
    // late replies awaited, one reading at a time.
    TDisplayLine& sessionLine();
    // What an exchange that ended as `report` comes to, in a tool's words.
    TExchangeResult resultOf(const TExchangeReport& report) const;

private:
    TExchangeResult attempt(std::span<const std::uint8_t> request);

    TDisplayConfig lineConfig_;
    std::unique_ptr<TDisplayLine> line_;
    int retries_;
    TLanguage language_;
    bool verbose_ = false;
};
