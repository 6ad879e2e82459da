#include "serial/Comuni.h"

#include <QCoreApplication>
#include <system_error>

#include "serial/SerialBackend.h"

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
void commEventPosted(const void* event) { __tsan_release(const_cast<void*>(event)); }
void commEventReceived(const void* event) { __tsan_acquire(const_cast<void*>(event)); }
#else
void commEventPosted(const void*) {}
void commEventReceived(const void*) {}
#endif

void postCommMessage(QObject* owner, const TCommMessage& message)
{
    auto* event = new TCommEvent(message);
    commEventPosted(event);
    QCoreApplication::postEvent(owner, event);
}

TCommEvent::TCommEvent(const TCommMessage& message) : QEvent(eventType()), Message(message) {}

QEvent::Type TCommEvent::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TCommThread::TCommThread(QObject* owner) : owner_(owner) {}

TCommThread::~TCommThread()
{
    detach();
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

bool TCommThread::attach(TSerialBackend& device, std::uint64_t connection)
{
    detach();
    TCommEvent::eventType();  // registered here, not first in the wait thread
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread(&TCommThread::Execute, this);
        } catch (const std::system_error&) {
            return false;
        }
    }
    {
        std::lock_guard lock(mutex_);
        device_ = &device;
        connection_ = connection;
        taken_ = false;
        left_ = false;
    }
    changed_.notify_all();
    return true;
}

void TCommThread::detach()
{
    std::unique_lock lock(mutex_);
    if (!device_)
        return;
    if (taken_) {
        // A cancel that comes before the wait ends the wait at once.
        device_->cancelWait();
        changed_.wait(lock, [this] { return !taken_; });
    }
    device_ = nullptr;
}

void TCommThread::Execute()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return quit_ || (device_ && !taken_ && !left_); });
        if (quit_)
            return;
        TSerialBackend& device = *device_;
        const std::uint64_t connection = connection_;
        taken_ = true;
        lock.unlock();
        waitOn(device, connection);
        lock.lock();
        // Left: cancelled, or the device went away. A lost device stays
        // attached, not waited on, until detach().
        taken_ = false;
        left_ = true;
        changed_.notify_all();
    }
}

void TCommThread::waitOn(TSerialBackend& device, std::uint64_t connection)
{
    for (;;) {
        switch (device.waitReceive()) {
        case TWaitOutcome::Cancelled:
            return;
        case TWaitOutcome::DataArrived:
            postCommMessage(owner_, {connection, TCommNote::DataArrived});
            break;
        case TWaitOutcome::LineLost:
            postCommMessage(owner_, {connection, TCommNote::LineLost});
            return;
        }
    }
}
