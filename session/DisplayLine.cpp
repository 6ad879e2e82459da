#include "session/DisplayLine.h"

#include <algorithm>

#include "config/DisplayConfig.h"
#include "protocol/RxBuffer.h"
#include "link/LineSettings.h"
#include "serial/SerialBackend.h"
#include "serial/Zcomm.h"
#include "session/DisplaySession.h"

TDisplayLine::TDisplayLine(QObject* parent) : TDisplayLine(makeSystemSerialBackend, parent) {}

TDisplayLine::TDisplayLine(std::function<std::unique_ptr<TSerialBackend>()> backend, QObject* parent)
    : QObject(parent), port_(std::make_unique<TZComm>(nullptr, std::move(backend))),
      rx_(std::make_unique<TRxBuffer>()), link_(std::make_unique<TDisplayLink>(*port_, *rx_))
{
    // The time-outs of the program's own port component.
    port_->Port = "COM1";
    port_->TimeoutReadInterval = 100;
    port_->TimeoutReadConstant = 1000;
    link_->setAwaitLateReplies(true);
    link_->setLineSetup([this] {
        if (!config_)
            return;
        copyLineSettings(config_(), *port_);
        if (device_)
            port_->Port = *device_;
    });
    connect(link_.get(), &TDisplayLink::finished, this, &TDisplayLine::onFinished);
    connect(link_.get(), &TDisplayLink::lateReply, this, &TDisplayLine::onLateReply);
    connect(link_.get(), &TDisplayLink::idle, this, &TDisplayLine::scheduleNext);
    connect(link_.get(), &TDisplayLink::lineError, this, &TDisplayLine::lineError);
    connect(link_.get(), &TDisplayLink::lineLost, this, &TDisplayLine::lineLost);
}

TDisplayLine::~TDisplayLine()
{
    // Sessions that outlive their line have nothing to ask of it.
    owner_ = missedBy_ = nullptr;
    queue_.clear();
    link_->disconnect(this);
    link_->closePort();
}

void TDisplayLine::setLineSource(std::function<const TDisplayConfig&()> config, std::optional<std::string> device)
{
    config_ = std::move(config);
    device_ = std::move(device);
}

void TDisplayLine::setReplyTimeout(int ms)
{
    link_->setReplyTimeout(ms);
}

int TDisplayLine::replyTimeout() const
{
    return link_->replyTimeout();
}

void TDisplayLine::setCloseAfterExchange(bool close)
{
    link_->setCloseAfterExchange(close);
}

void TDisplayLine::setBus(bool bus)
{
    bus_ = bus;
    updateSetAside();
}

bool TDisplayLine::busy() const
{
    return link_->busy() || !queue_.empty();
}

void TDisplayLine::attach(TDisplaySession* session)
{
    sessions_.push_back(session);
    updateSetAside();
}

void TDisplayLine::detach(TDisplaySession* session)
{
    std::erase_if(queue_, [session](const TQueued& q) { return q.session == session; });
    // A session going away is told nothing more.
    if (owns(session)) {
        owner_ = nullptr;
        abandonCurrent();
    }
    if (missedBy_ == session)
        missedBy_ = nullptr;
    std::erase(sessions_, session);
    updateSetAside();
}

void TDisplayLine::updateSetAside()
{
    // On a bus, a reply for another address is some display's late answer:
    // set aside, it neither ends nor answers the exchange under way.
    link_->setSetAsideOtherAddresses(bus_ || sessions_.size() > 1);
}

std::uint8_t TDisplayLine::queuedKind(const TDisplaySession* session) const
{
    const auto it = std::ranges::find(queue_, session, &TQueued::session);
    return it == queue_.end() ? 0 : it->kind;
}

bool TDisplayLine::awaitingFor(const TDisplaySession* session) const
{
    return missedBy_ == session && link_->awaitingLateReply();
}

void TDisplayLine::submit(TDisplaySession* session, std::uint8_t kind, std::vector<std::uint8_t> frame)
{
    // The session's own exchange under way is given up for its newer request,
    // as the link does; another session's runs to its end first.
    const bool othersFirst = (link_->pending() && owner_ != session)
        || std::ranges::any_of(queue_, [session](const TQueued& q) { return q.session != session; });
    if (!othersFirst) {
        std::erase_if(queue_, [session](const TQueued& q) { return q.session == session; });
        startFor(session, kind, std::move(frame));
        return;
    }
    if (owns(session))
        abandonCurrent();
    const auto it = std::ranges::find(queue_, session, &TQueued::session);
    if (it != queue_.end()) {
        it->kind = kind;
        it->frame = std::move(frame);
        return;
    }
    queue_.push_back({session, kind, std::move(frame)});
}

void TDisplayLine::withdraw(TDisplaySession* session)
{
    std::erase_if(queue_, [session](const TQueued& q) { return q.session == session; });
    if (owns(session))
        abandonCurrent();
}

void TDisplayLine::abandonCurrent()
{
    // A frame held for the quiet after a missed reply was never written: the
    // line goes on listening for the late reply it awaits.
    abandoningHeld_ = link_->awaitingLateReply();
    link_->abandon();
    abandoningHeld_ = false;
}

void TDisplayLine::startFor(TDisplaySession* session, std::uint8_t kind, std::vector<std::uint8_t> frame)
{
    starting_ = true;
    // The abandoned exchange's report goes to its own session.
    if (link_->pending())
        abandonCurrent();
    owner_ = session;
    // A failed open reports OpenFailed before start returns.
    link_->start(kind, frame);
    starting_ = false;
    if (!link_->pending())
        scheduleNext();
}

void TDisplayLine::onFinished(const TExchangeReport& report)
{
    TDisplaySession* session = owner_;
    owner_ = nullptr;
    const bool missed = report.outcome == TExchangeOutcome::NoReply || report.outcome == TExchangeOutcome::Abandoned;
    if (missed && link_->awaitingLateReply() && !abandoningHeld_)
        missedBy_ = session;
    if (session)
        session->takeReport(report);
    if (!starting_)
        scheduleNext();
}

void TDisplayLine::onLateReply(const TExchangeReport& missed, int afterMs)
{
    if (missedBy_)
        emit missedBy_->lateReply(missed, afterMs);
}

void TDisplayLine::scheduleNext()
{
    // Never from inside the link's report: whoever else listens to it must
    // see the exchange that ended, not the next one.
    if (nextScheduled_ || queue_.empty())
        return;
    nextScheduled_ = true;
    QMetaObject::invokeMethod(this, &TDisplayLine::next, Qt::QueuedConnection);
}

void TDisplayLine::next()
{
    nextScheduled_ = false;
    if (link_->pending() || queue_.empty())
        return;
    TQueued q = std::move(queue_.front());
    queue_.pop_front();
    startFor(q.session, q.kind, std::move(q.frame));
}
