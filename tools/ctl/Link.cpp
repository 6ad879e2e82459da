#include "tools/ctl/Link.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

#include "config/Formats.h"
#include "config/UniqueFd.h"
#include "protocol/Replies.h"
#include "protocol/RxBuffer.h"
#include "serial/LineSettings.h"
#include "serial/PortMap.h"
#include "serial/Zcomm.h"

struct TEventWait::TImpl {
    QEventLoop loop;
    QTimer timer;
    TWaitEnd end = TWaitEnd::TimedOut;
    TImpl* outer = nullptr;
};

namespace {

UniqueFd stopFd;
bool stopped = false;
TEventWait::TImpl* activeWait = nullptr;

// Empties the signal descriptor; true when a stop signal was waiting.
bool takeStopSignals()
{
    bool any = false;
    signalfd_siginfo info{};
    while (stopFd && ::read(stopFd.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        any = true;
    return any;
}

void noteStop()
{
    if (takeStopSignals())
        stopped = true;
    if (stopped && activeWait) {
        activeWait->end = TWaitEnd::Stopped;
        activeWait->loop.quit();
    }
}

// Reply bytes in printable form for messages, cut after 40 characters.
std::string printable(std::span<const std::uint8_t> bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < 40; ++i) {
        const std::uint8_t b = bytes[i];
        if (b == 0x0D)
            out += "<CR>";
        else if (b >= 0x20 && b < 0x7F)
            out += static_cast<char>(b);
        else
            out += cfmt("<%02X>", b);
    }
    if (bytes.size() > 40)
        out += "...";
    return out;
}

} // namespace

void installStopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    stopFd.reset(signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
}

void watchStopSignals()
{
    if (!stopFd)
        return;
    auto* notifier = new QSocketNotifier(stopFd.get(), QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { noteStop(); });
}

bool stopRequested()
{
    if (takeStopSignals())
        stopped = true;
    return stopped;
}

TEventWait::TEventWait() : impl_(std::make_unique<TImpl>())
{
    impl_->timer.setSingleShot(true);
    impl_->timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&impl_->timer, &QTimer::timeout, &impl_->loop, [impl = impl_.get()] {
        impl->end = TWaitEnd::TimedOut;
        impl->loop.quit();
    });
}

TEventWait::~TEventWait() = default;

TWaitEnd TEventWait::run(int ms)
{
    if (stopRequested())
        return TWaitEnd::Stopped;
    impl_->end = TWaitEnd::TimedOut;
    impl_->timer.start(std::max(ms, 0));
    impl_->outer = activeWait;
    activeWait = impl_.get();
    impl_->loop.exec();
    activeWait = impl_->outer;
    impl_->timer.stop();
    return impl_->end;
}

void TEventWait::finish()
{
    impl_->end = TWaitEnd::Finished;
    impl_->loop.quit();
}

void TEventWait::restart(int ms)
{
    impl_->timer.start(std::max(ms, 0));
}

TCtlLink::TCtlLink(const TDisplayConfig& line, const std::optional<std::string>& portOverride, int timeoutMs,
                   int retries)
    : port_(std::make_unique<TZComm>()), timeoutMs_(timeoutMs), retries_(retries)
{
    // The program's own settings: XON/XOFF, parity checking, and the line of the configuration.
    applyLineSettings(line, *port_);
    if (portOverride) {
        const int com = comNumber(*portOverride);
        port_->Port = com >= 1 && com <= 6 ? cfmt("COM%d", com) : *portOverride;
    }
}

TCtlLink::~TCtlLink()
{
    close();
}

bool TCtlLink::open()
{
    return port_->OpenConnection() != 0;
}

std::string TCtlLink::openFailure() const
{
    const std::string why = describeOpenFailure(*port_);
    return why.empty() ? "the port cannot be opened." : why;
}

std::string TCtlLink::deviceName() const
{
    const std::string path = resolvePortPath(port_->Port);
    return path.empty() || path == port_->Port ? port_->Port : port_->Port + " (" + path + ")";
}

void TCtlLink::close()
{
    port_->CloseConnection();
}

int TCtlLink::transmitMs(std::size_t bytes) const
{
    const int dataBits = port_->DataBits == databits8 ? 8 : port_->DataBits == databits7 ? 7 : 4 + port_->DataBits;
    const int bits = 1 + dataBits + (port_->Parity == no_parity ? 0 : 1) + (port_->StopBits == stop1 ? 1 : 2);
    const long long baud = port_->BaudRate > 0 ? port_->BaudRate : 9600;
    return static_cast<int>((static_cast<long long>(bytes) * bits * 1000 + baud - 1) / baud);
}

TExchangeResult TCtlLink::exchange(std::span<const std::uint8_t> request)
{
    TExchangeResult result;
    for (int attemptNo = 0; attemptNo <= retries_; ++attemptNo) {
        result = attempt(request);
        if (result.outcome != TOutcome::NoReply && result.outcome != TOutcome::Invalid)
            break;
    }
    if (retries_ > 0 && (result.outcome == TOutcome::NoReply || result.outcome == TOutcome::Invalid))
        result.reason += cfmt(" (%d attempts)", retries_ + 1);
    return result;
}

TExchangeResult TCtlLink::attempt(std::span<const std::uint8_t> request)
{
    TExchangeResult result;
    if (stopRequested()) {
        result.outcome = TOutcome::Interrupted;
        result.reason = "interrupted";
        return result;
    }
    // Whatever an earlier, unanswered request brought in late is not this reply.
    port_->PurgeCommPort(PURGE_RXABORT | PURGE_RXCLEAR);
    if (port_->WriteComm(request.data(), static_cast<long>(request.size())) == 0) {
        result.outcome = TOutcome::LineLost;
        result.reason = "the request could not be written to the device";
        return result;
    }

    TRxBuffer rx;
    rx.reset();
    TEventWait wait;
    bool done = false;
    bool lineErrors = false;
    std::string setAside;

    port_->OnDataAvailable = [&](TZComm*) {
        std::uint8_t piece[20];
        long n = 0;
        while (!done && (n = port_->ReadComm(piece, sizeof piece)) > 0) {
            wait.restart(timeoutMs_);
            const auto state = rx.append(std::span<const std::uint8_t>(piece, static_cast<std::size_t>(n)));
            if (state == TRxBuffer::TState::Incomplete)
                continue;
            if (state == TRxBuffer::TState::Overflow) {
                result.outcome = TOutcome::Invalid;
                result.reason = cfmt("%zu bytes arrived without the end of a reply (CR): ", TRxBuffer::kCapacity)
                    + printable(rx.reply());
            } else {
                const auto reply = rx.reply();
                const TReplyCheck check = checkReply(reply, request);
                if (check == TReplyCheck::WrongAddress) {
                    // A late answer from another display on the line.
                    setAside = printable(reply);
                    result.setAside.push_back(setAside);
                    rx.reset();
                    continue;
                }
                result.reply.assign(reply.begin(), reply.end());
                if (check == TReplyCheck::Accepted) {
                    result.outcome = TOutcome::Reply;
                } else {
                    result.outcome = TOutcome::Invalid;
                    result.reason = "the reply \"" + printable(reply) + "\" does not answer the request \""
                        + printable(request) + "\"";
                }
            }
            done = true;
            wait.finish();
        }
    };
    port_->OnErrorOccurred = [&](TZComm*, int error, const std::string&) {
        if (error != TZComm::LineLostError) {
            lineErrors = true; // the bytes of that read are still collected
            return;
        }
        result.outcome = TOutcome::LineLost;
        result.reason = "the device went away";
        done = true;
        wait.finish();
    };

    const TWaitEnd end = wait.run(timeoutMs_ + transmitMs(request.size()));
    port_->OnDataAvailable = nullptr;
    port_->OnErrorOccurred = nullptr;
    if (done)
        return result;
    if (end == TWaitEnd::Stopped) {
        result.outcome = TOutcome::Interrupted;
        result.reason = "interrupted";
        return result;
    }
    result.outcome = TOutcome::NoReply;
    result.reason = cfmt("no reply within %d ms", timeoutMs_);
    if (rx.length() > 0)
        result.reason += "; what arrived has no end (CR): \"" + printable(rx.reply()) + "\"";
    if (!setAside.empty())
        result.reason += "; a reply for another address was set aside: \"" + setAside + "\"";
    if (lineErrors)
        result.reason += "; the line reported parity or framing errors";
    return result;
}
