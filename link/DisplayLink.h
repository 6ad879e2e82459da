#pragma once
#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/Traffic.h"
#include "protocol/Replies.h"

class TRxBuffer;
class TZComm;

// How one exchange with a display ended.
enum class TExchangeOutcome : std::uint8_t {
    Reply,        // a complete reply with the request's address and letters
    NoReply,      // nothing complete within the time-out
    WrongAddress, // a complete reply from another address
    Unexpected,   // a complete reply with the right address and other letters, or noise (TReplyCheck::Noise)
    Overflow,     // bytes without an end (CR) beyond what a reply can hold
    LineLost,     // the device went away, or the request could not be written
    OpenFailed,   // the port could not be opened: nothing was sent
    Abandoned,    // a newer request or a close ended it first
};

using TLinkClock = std::chrono::steady_clock;

struct TExchangeReport {
    std::uint8_t kind = 0; // the caller's request kind
    TExchangeOutcome outcome = TExchangeOutcome::NoReply;
    std::vector<std::uint8_t> request;
    // The reply through its first CR; for NoReply and Overflow what arrived.
    std::vector<std::uint8_t> reply;
    // Complete replies from other addresses, and noise ending in a CR, set
    // aside on a bus (checkReply tells which is which).
    std::vector<std::vector<std::uint8_t>> setAside;
    bool echoDropped = false; // the adapter handed the request back first
    bool lineErrors = false;  // parity, framing or overrun errors during the exchange
    bool writeFailed = false; // LineLost because the request could not be written
    int timeoutMs = 0;
    std::string port;   // the COM name or path asked for
    std::string device; // the device path it stands for
    TLinkClock::time_point started; // the request was handed to the port
    TLinkClock::time_point sent;    // its last byte has left, by the wire time
    TLinkClock::time_point ended;

    // From the request's last byte to the end of the exchange, at least 0.
    std::chrono::milliseconds latency() const;
    // "COM1 (/dev/ttyUSB0)", or the path alone when that is what was asked for.
    std::string portText() const;
};

// One exchange path for the window and the command-line tool: opens the port
// with the line settings, writes the frame, collects the reply in pieces of
// 20 bytes, drops an RS-485 adapter's echo of the request, checks the reply
// and reports how the exchange ended. The time-out is a deadline counted from
// when the request's last byte has left, moved on only by pieces of the
// exchange's own reply, so stray traffic can never stretch it.
//
// Frames carry no sequence number: a reply that comes after its exchange has
// ended looks like the answer to the next request. Where late replies are
// awaited, an exchange that ended without its reply keeps the port open and
// listens until the line has been quiet for a while; what comes meanwhile is
// shown as late and dropped, and a request started meanwhile is written only
// once that quiet has passed.
class TDisplayLink : public QObject {
    Q_OBJECT
public:
    // `rx` collects the replies; it belongs to the caller, who may look at it.
    TDisplayLink(TZComm& port, TRxBuffer& rx, QObject* parent = nullptr);
    ~TDisplayLink() override;

    static constexpr int kDefaultReplyTimeoutMs = 1000;
    void setReplyTimeout(int ms);
    int replyTimeout() const { return timeoutMs_; }

    // Run before every open: copies the line settings into the closed port.
    void setLineSetup(std::function<void()> setup) { lineSetup_ = std::move(setup); }
    // The window closes the port after every exchange; the command-line tool
    // keeps it open between exchanges.
    void setCloseAfterExchange(bool close) { closeAfter_ = close; }
    // On a bus, a complete reply from another address is set aside and the
    // wait goes on; otherwise it ends the exchange.
    void setSetAsideOtherAddresses(bool on) { setAside_ = on; }
    // After a time-out or an abandoned exchange, listen for its late reply
    // before anything else is written (see above).
    void setAwaitLateReplies(bool on) { awaitLate_ = on; }

    // Applies the line settings and opens the port, closing it first. False
    // when it cannot be opened (describeOpenFailure says why).
    bool openPort();
    void closePort();
    bool portOpen() const;

    // Starts one exchange: ends one still pending (reported as Abandoned),
    // opens the port when it is closed, writes the frame. While the line is
    // awaited for a late reply the frame waits, and goes once it is quiet.
    // False when the port cannot be opened now; OpenFailed is then reported
    // before it returns (and later, should a waiting frame find it so).
    bool start(std::uint8_t kind, const std::vector<std::uint8_t>& frame);
    // Ends a pending exchange as Abandoned; closes the port in the window's
    // manner, or listens for its late reply first.
    void abandon();
    // A request has been asked and has not ended: written, or waiting for quiet.
    bool pending() const { return pending_; }
    std::uint8_t pendingKind() const { return pending_ ? report_.kind : 0; }
    // Listening for the late reply of an exchange that has ended without it.
    bool awaitingLateReply() const { return awaiting_; }
    // Pending, or still holding the port for a late reply.
    bool busy() const { return pending_ || awaiting_; }
    // How long the line must stay quiet after a missed reply: one time-out,
    // or as long as this display has been seen to answer late, up to four.
    int quietMs() const;

    // Milliseconds `bytes` take on the wire at the port's current settings.
    int wireMs(std::size_t bytes) const;

signals:
    void finished(const TExchangeReport& report);
    // Every frame sent and received, for a traffic monitor. Built only while
    // something listens.
    void traffic(const TTrafficRecord& record);
    // Parity, framing or overrun errors (CE_ flags), told after the read that
    // found them; the exchange goes on.
    void lineError(int flags);
    // The device went away; a pending exchange has ended as LineLost.
    void lineLost();
    // A reply came for `missed`, an exchange that had already ended without
    // it, `afterMs` after its request had left. It was dropped.
    void lateReply(const TExchangeReport& missed, int afterMs);
    // The wait for a late reply is over and nothing is pending.
    void idle();

private:
    // Writes the request of report_: the exchange starts.
    bool send();
    void onData();
    void onLineLost();
    void armDeadline(TLinkClock::time_point at);
    void onDeadline();
    // `piece` held bytes of this exchange's own reply: the deadline moves on.
    bool collect(bool& ownBytes);
    // `trailing`: bytes after the reply's CR, shown after it.
    void end(TExchangeOutcome outcome, std::vector<std::uint8_t> trailing = {});
    void note(TTrafficDirection direction, std::vector<std::uint8_t> bytes, TTrafficNote what);
    void noteFor(const TExchangeReport& exchange, TTrafficDirection direction, std::vector<std::uint8_t> bytes,
        TTrafficNote what, TLinkClock::time_point at);
    bool listened() const;
    // Listening for the late reply of missed_.
    void awaitLateReply();
    void onLateBytes(std::span<const std::uint8_t> bytes);
    void armQuiet();
    void onQuiet();
    // Ends the wait: closes the port in the window's manner, writes a frame
    // that waited, or says the line is idle.
    void endAwait();
    std::string lineKey() const;

    TZComm& port_;
    TRxBuffer& rx_;
    std::function<void()> lineSetup_;
    QTimer deadline_;
    TLinkClock::time_point deadlineAt_;
    int timeoutMs_ = kDefaultReplyTimeoutMs;
    bool closeAfter_ = true;
    bool setAside_ = false;
    bool awaitLate_ = false;
    bool pending_ = false;
    bool portAlive_ = true;
    TExchangeReport report_;

    // The wait for a late reply.
    bool awaiting_ = false;
    bool queued_ = false; // report_ holds a request that waits for quiet
    TExchangeReport missed_;
    QTimer quiet_;
    TLinkClock::time_point awaitStarted_;
    TLinkClock::time_point lastLateByte_;
    std::vector<std::uint8_t> late_; // late bytes up to their CR
    TLinkClock::time_point lateFirst_;
    bool lateTold_ = false;
    // The longest a display on this line has been seen to answer, late; and
    // the port, settings and address it was seen on.
    int lateMs_ = 0;
    std::string lateKey_;
};


// Reply time-out of the window from the user's settings file ([Link] ReplyTimeoutMs).
int configuredReplyTimeoutMs();
Q_DECLARE_METATYPE(TExchangeReport)
