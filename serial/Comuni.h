#pragma once
#include <QEvent>
#include <cstdint>
#include <thread>

class QObject;
class TSerialBackend;

// What a notification tells the component.
enum class TCommNote : std::uint8_t {
    DataArrived, // the wait thread saw bytes arrive
    LineErrors,  // a read found parity, framing or overrun errors (Errors)
    LineLost,    // the device went away
};

// One notification: which connection it belongs to and what happened.
struct TCommMessage {
    std::uint64_t Connection = 0;
    TCommNote Note = TCommNote::DataArrived;
    unsigned Errors = 0; // CE_ flags, for LineErrors
};

// Queues a notification to the component's thread.
void postCommMessage(QObject* owner, const TCommMessage& message);

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
