#pragma once
#include <QEvent>
#include <cstdint>
#include <thread>

class QObject;
class TSerialBackend;

// One notification of the wait thread: which connection it belongs to, and
// whether bytes arrived or the device went away.
struct TCommMessage {
    std::uint64_t Connection = 0;
    bool LineLost = false;
};

// ThreadSanitizer cannot see the lock of Qt's event queue (Qt is not built
// with it), so the hand-over of a TCommEvent is announced to it explicitly.
// Without ThreadSanitizer both do nothing.
void commEventPosted(const void* event);
void commEventReceived(const void* event);

// The Qt event that carries a notification to the component's thread.
class TCommEvent : public QEvent {
public:
    explicit TCommEvent(const TCommMessage& message);
    static QEvent::Type eventType();
    TCommMessage Message;
};

// The wait thread of one open connection: sleeps until the device receives
// bytes and posts one TCommEvent to the owner per receive event. It ends on
// stop() or when the device goes away (after posting one LineLost event).
class TCommThread {
public:
    TCommThread(TSerialBackend& device, QObject* owner, std::uint64_t connection);
    ~TCommThread();
    TCommThread(const TCommThread&) = delete;
    TCommThread& operator=(const TCommThread&) = delete;

    // False when no thread could be started.
    bool start();
    // Wakes the thread and waits until it has left: afterwards it no longer
    // touches the device, which may then be closed.
    void stop();

private:
    void Execute();

    TSerialBackend& device_;
    QObject* owner_;
    std::uint64_t connection_;
    std::thread thread_;
};
