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

TCommThread::TCommThread(TSerialBackend& device, QObject* owner, std::uint64_t connection)
    : device_(device), owner_(owner), connection_(connection)
{
}

TCommThread::~TCommThread() { stop(); }

bool TCommThread::start()
{
    TCommEvent::eventType();  // registered here, not first in the wait thread
    try {
        thread_ = std::thread(&TCommThread::Execute, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void TCommThread::stop()
{
    if (!thread_.joinable())
        return;
    device_.cancelWait();
    thread_.join();
}

void TCommThread::Execute()
{
    for (;;) {
        switch (device_.waitReceive()) {
        case TWaitOutcome::Cancelled:
            return;
        case TWaitOutcome::DataArrived:
            postCommMessage(owner_, {connection_, TCommNote::DataArrived});
            break;
        case TWaitOutcome::LineLost:
            postCommMessage(owner_, {connection_, TCommNote::LineLost});
            return;
        }
    }
}
