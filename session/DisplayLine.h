#pragma once
#include <QObject>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/DisplayLink.h"

struct TDisplayConfig;
class TDisplaySession;
class TRxBuffer;
class TSerialBackend;
class TZComm;

// One serial port and the displays on it. It owns the port, the reply buffer
// and the link, and runs the exchanges its sessions ask for one at a time,
// in the order they were asked: a session has at most one request waiting,
// so sessions that read in a period are served in turn, as fast as the line
// answers. A silent display costs its time-out and the quiet after it.
//
// Frames carry no sequence number, so the link awaits late replies: after an
// exchange that ended without its reply, nothing is written until the line
// has been quiet (TDisplayLink::setAwaitLateReplies). With more than one
// session, a complete reply from another address is set aside and the wait
// goes on, so a late reply of one display is never taken for another's.
class TDisplayLine : public QObject {
    Q_OBJECT
public:
    explicit TDisplayLine(QObject* parent = nullptr);
    // The same on another serial device layer (a simulated one).
    TDisplayLine(std::function<std::unique_ptr<TSerialBackend>()> backend, QObject* parent = nullptr);
    ~TDisplayLine() override;

    // The port's name and line settings are those of `config`, read before
    // every open; `device`, when given, is the device path used instead of
    // the COM name the configuration gives.
    void setLineSource(std::function<const TDisplayConfig&()> config, std::optional<std::string> device = {});
    void setReplyTimeout(int ms);
    int replyTimeout() const;
    // Closed after every exchange (the default, the window's manner), or
    // kept open between them (a tool, a bus read all the time).
    void setCloseAfterExchange(bool close);
    // Displays this program does not read share the line: their replies are
    // set aside even while one session uses it.
    void setBus(bool bus);

    TDisplayLink& link() { return *link_; }
    const TDisplayLink& link() const { return *link_; }
    TZComm& port() { return *port_; }
    const TZComm& port() const { return *port_; }
    const TRxBuffer& rxBuffer() const { return *rx_; }

    // An exchange is under way, a request waits for its turn, or the line is
    // held for a late reply.
    bool busy() const;
    // Sessions whose requests wait for their turn.
    std::size_t waiting() const { return queue_.size(); }

signals:
    // Parity, framing or overrun errors (CE_ flags); the exchange goes on.
    void lineError(int flags);
    // The device went away; the exchange under way has ended as LineLost.
    void lineLost();

private:
    friend class TDisplaySession;
    struct TQueued {
        TDisplaySession* session;
        std::uint8_t kind;
        std::vector<std::uint8_t> frame;
    };

    void attach(TDisplaySession* session);
    void detach(TDisplaySession* session);
    // Starts the session's request now, or queues it behind the others. A
    // newer request of the same session replaces its own older one.
    void submit(TDisplaySession* session, std::uint8_t kind, std::vector<std::uint8_t> frame);
    // Gives up the session's exchange under way and its waiting request.
    void withdraw(TDisplaySession* session);
    // The session's request is written, or waits for the quiet after a missed reply.
    bool owns(const TDisplaySession* session) const { return owner_ == session && link_->pending(); }
    // Its request waits for its turn: the kind, or 0.
    std::uint8_t queuedKind(const TDisplaySession* session) const;
    // The line listens for the late reply of this session's missed exchange.
    bool awaitingFor(const TDisplaySession* session) const;
    void abandonCurrent();
    void startFor(TDisplaySession* session, std::uint8_t kind, std::vector<std::uint8_t> frame);
    void onFinished(const TExchangeReport& report);
    void onLateReply(const TExchangeReport& missed, int afterMs);
    void next();
    void scheduleNext();
    void updateSetAside();

    std::unique_ptr<TZComm> port_;
    std::unique_ptr<TRxBuffer> rx_;
    std::unique_ptr<TDisplayLink> link_;
    std::function<const TDisplayConfig&()> config_;
    std::optional<std::string> device_;
    std::vector<TDisplaySession*> sessions_;
    std::deque<TQueued> queue_;
    TDisplaySession* owner_ = nullptr;  // whose exchange the link holds
    TDisplaySession* missedBy_ = nullptr; // whose missed exchange the line listens for
    bool bus_ = false;
    bool starting_ = false;
    bool abandoningHeld_ = false;
    bool nextScheduled_ = false;
};
