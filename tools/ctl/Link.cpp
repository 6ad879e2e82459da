#include "tools/ctl/Link.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

#include "base/Formats.h"
#include "base/UniqueFd.h"
#include "protocol/Replies.h"
#include "link/DisplayLink.h"
#include "link/LinkTexts.h"
#include "protocol/RxBuffer.h"
#include "link/LineSettings.h"
#include "serial/PortMap.h"
#include "serial/Zcomm.h"
#include "session/DisplayLine.h"
#include "tools/ctl/Commands.h"
#include "tools/ctl/CtlTexts.h"

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

// Reply bytes in printable form for messages, cut after 40 bytes.
std::string printable(std::span<const std::uint8_t> bytes)
{
    return trafficText(bytes.first(std::min<std::size_t>(bytes.size(), 40))) + (bytes.size() > 40 ? "..." : "");
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

TCtlLink::TCtlLink(const TDisplayConfig& line, const std::optional<std::string>& device, int timeoutMs, int retries,
                   TLanguage language)
    : lineConfig_(line), line_(std::make_unique<TDisplayLine>()), retries_(retries), language_(language)
{
    // The program's own settings: XON/XOFF, parity checking, and the line of the configuration.
    line_->setLineSource([this]() -> const TDisplayConfig& { return lineConfig_; }, device);
    copyLineSettings(lineConfig_, line_->port());
    if (device)
        line_->port().Port = *device;
    line_->setReplyTimeout(timeoutMs);
    line_->setCloseAfterExchange(false);
    // Other displays may share the line: their replies are set aside.
    line_->setBus(true);
    // One exchange at a time, each waiting its whole time-out: a late reply
    // comes after its own wait has ended and is purged before the next.
    line_->link().setAwaitLateReplies(false);
}

TCtlLink::~TCtlLink()
{
    close();
}

bool TCtlLink::open()
{
    return line_->link().openPort();
}

std::string TCtlLink::openFailure() const
{
    const std::string why = describeOpenFailure(line_->port(), language_);
    return why.empty() ? ctltext::kPortNotOpened.pick(language_) : why;
}

std::string TCtlLink::deviceName() const
{
    const std::string& port = line_->port().Port;
    const std::string path = resolvePortPath(port);
    return path.empty() || path == port ? port : port + " (" + path + ")";
}

void TCtlLink::close()
{
    line_->link().closePort();
}

TDisplayLine& TCtlLink::sessionLine()
{
    line_->link().setAwaitLateReplies(true);
    return *line_;
}

void TCtlLink::setVerbose(bool on)
{
    if (!on || verbose_)
        return;
    verbose_ = true;
    printTraffic(line_->link(), language_);
}

void printTraffic(TDisplayLink& link, TLanguage language)
{
    QObject::connect(&link, &TDisplayLink::traffic, &link, [language](const TTrafficRecord& r) {
        std::string line = trafficTime(r.time) + " " + r.port + (r.direction == TTrafficDirection::Sent ? " -> " : " <- ")
            + trafficText(r.bytes);
        if (r.latencyMs)
            line += cfmt(" (%d ms)", *r.latencyMs);
        if (r.note != TTrafficNote::None)
            line += " [" + trafficNoteText(r.note, false, language) + "]";
        printMessage(line);
    });
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
        result.reason += fillIn(ctltext::kAttempts.pick(language_), {cfmt("%d", retries_ + 1)});
    return result;
}

TExchangeResult TCtlLink::attempt(std::span<const std::uint8_t> request)
{
    TExchangeResult result;
    if (stopRequested()) {
        result.outcome = TOutcome::Interrupted;
        result.reason = ctltext::kInterrupted.pick(language_);
        return result;
    }

    TDisplayLink& link = line_->link();
    TEventWait wait;
    TExchangeReport report;
    bool done = false;
    const QMetaObject::Connection finished = QObject::connect(&link, &TDisplayLink::finished, &link,
        [&](const TExchangeReport& r) {
            report = r;
            done = true;
            wait.finish();
        });
    link.start(0, std::vector<std::uint8_t>(request.begin(), request.end()));
    // The link keeps its own deadline; this wait only gives way to a stop signal.
    const int guardMs = 2 * link.replyTimeout() + link.wireMs(request.size()) + 1000;
    const TWaitEnd end = done ? TWaitEnd::Finished : wait.run(guardMs);
    if (!done)
        link.abandon();
    QObject::disconnect(finished);
    if (end == TWaitEnd::Stopped && report.outcome != TExchangeOutcome::Reply) {
        result.outcome = TOutcome::Interrupted;
        result.reason = ctltext::kInterrupted.pick(language_);
        return result;
    }
    return resultOf(report);
}

TExchangeResult TCtlLink::resultOf(const TExchangeReport& report) const
{
    const std::span<const std::uint8_t> request(report.request);
    TExchangeResult result;
    result.reply = report.reply;
    for (const auto& aside : report.setAside)
        (checkReply(aside, request) == TReplyCheck::Noise ? result.noise : result.setAside).push_back(printable(aside));
    switch (report.outcome) {
    case TExchangeOutcome::Reply:
        result.outcome = TOutcome::Reply;
        return result;
    case TExchangeOutcome::WrongAddress:
    case TExchangeOutcome::Unexpected:
        result.outcome = TOutcome::Invalid;
        if (checkReply(report.reply, request) == TReplyCheck::Noise)
            result.reason = fillIn(ctltext::kNoiseInstead.pick(language_), {printable(report.reply)});
        else
            result.reason = fillIn(ctltext::kNotAnswer.pick(language_), {printable(report.reply), printable(request)});
        return result;
    case TExchangeOutcome::Overflow:
        result.outcome = TOutcome::Invalid;
        result.reason = fillIn(ctltext::kNoEnd.pick(language_),
                               {cfmt("%zu", TRxBuffer::kCapacity), printable(report.reply)});
        return result;
    case TExchangeOutcome::LineLost:
    case TExchangeOutcome::OpenFailed:
        result.outcome = TOutcome::LineLost;
        result.reason = report.writeFailed ? ctltext::kNotWritten.pick(language_)
            : report.outcome == TExchangeOutcome::OpenFailed
            ? fillIn(ctltext::kNotReopened.pick(language_), {openFailure()})
            : ctltext::kWentAway.pick(language_);
        return result;
    case TExchangeOutcome::NoReply:
    case TExchangeOutcome::Abandoned:
        break;
    }
    result.outcome = TOutcome::NoReply;
    const auto say = [&](const TTexts& texts, std::initializer_list<std::string> args = {}) {
        return fillIn(texts.pick(language_), args);
    };
    result.reason = say(ctltext::kNoReplyWithin, {cfmt("%d", report.timeoutMs)});
    if (!report.reply.empty())
        result.reason += say(ctltext::kArrivedNoEnd, {printable(report.reply)});
    if (!result.setAside.empty())
        result.reason += say(ctltext::kSetAside, {result.setAside.back()});
    if (!result.noise.empty())
        result.reason += say(ctltext::kNoiseDropped, {result.noise.back()});
    if (report.lineErrors)
        result.reason += say(ctltext::kLineErrors);
    return result;
}
