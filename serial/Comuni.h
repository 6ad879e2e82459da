#pragma once
#include <QEvent>
#include <condition_variable>
#include <cstdint>
#include <mutex>
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

// The wait thread of a component. Started at the first open and kept, idle,
// between connections, so that opening and closing a port costs no thread
// start and end: while a device is attached it sleeps until the device
// receives bytes and posts one TCommEvent to the owner per receive event (the
// bytes of a reply gathered into one); it
// leaves the device on detach() or when the device goes away (after posting
// one LineLost event), then waits for the next. It ends with the object.
class TCommThread {
public:
    explicit TCommThread(QObject* owner);
    ~TCommThread();
    TCommThread(const TCommThread&) = delete;
    TCommThread& operator=(const TCommThread&) = delete;

    // Starts waiting on `device` for the connection. False when no thread
    // could be started; the device is then not attached.
    bool attach(TSerialBackend& device, std::uint64_t connection);
    // Wakes the thread and waits until it has left the device: afterwards it
    // no longer touches it, and the device may be closed.
    void detach();

private:
    void Execute();
    void waitOn(TSerialBackend& device, std::uint64_t connection);

    QObject* owner_;
    std::mutex mutex_;
    std::condition_variable changed_;
    TSerialBackend* device_ = nullptr; // attached, and not yet left
    std::uint64_t connection_ = 0;
    bool taken_ = false;               // the thread is waiting on device_
    bool left_ = false;                // the thread is done with device_
    bool quit_ = false;
    std::thread thread_;
};
