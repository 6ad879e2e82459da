#include "session/DisplaySession.h"

#include <algorithm>

#include "protocol/Requests.h"
#include "session/DisplayLine.h"

namespace {

template <std::size_t N>
std::vector<std::uint8_t> frameOf(const std::array<std::uint8_t, N>& frame)
{
    return {frame.begin(), frame.end()};
}

} // namespace

TDisplaySession::TDisplaySession(TDisplayLine& line, TDisplayConfig& config, QObject* parent)
    : QObject(parent), line_(line), config_(&config)
{
    init();
}

TDisplaySession::TDisplaySession(TDisplayLine& line, std::uint8_t address, QObject* parent)
    : QObject(parent), line_(line), own_(std::make_unique<TDisplayConfig>()), config_(own_.get())
{
    own_->Address = address;
    init();
}

void TDisplaySession::init()
{
    timer_.setInterval(kDefaultPeriodMs);
    // Readings keep to their grid instead of drifting by the coarse timer's slack.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TDisplaySession::tick);
    line_.attach(this);
}

TDisplaySession::~TDisplaySession()
{
    line_.detach(this);
}

std::uint8_t TDisplaySession::address() const
{
    return config_->Address;
}

void TDisplaySession::setReadingPeriod(int ms)
{
    timer_.setInterval(std::max(ms, 1));
}

TPendingRequest TDisplaySession::pendingKind() const
{
    const std::uint8_t kind = line_.owns(this) ? line_.link().pendingKind() : line_.queuedKind(this);
    return static_cast<TPendingRequest>(kind);
}

TSessionState TDisplaySession::state() const
{
    if (paused_)
        return TSessionState::Paused;
    if (reading_)
        return TSessionState::ReadingContinuously;
    return pendingKind() != NoRequest ? TSessionState::Requesting : TSessionState::Idle;
}

bool TDisplaySession::busy() const
{
    return pendingKind() != NoRequest || line_.awaitingFor(this);
}

qint64 TDisplaySession::nowMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch()).count();
}

void TDisplaySession::tellState()
{
    const TSessionState now = state();
    if (now == told_ && armed_ == armedTold_)
        return;
    told_ = now;
    armedTold_ = armed_;
    emit stateChanged(now);
}

bool TDisplaySession::request(TPendingRequest kind, const std::vector<std::uint8_t>& frame)
{
    // Opening a port another user of it holds would only say it is busy.
    if (lineHeld_ && lineHeld_()) {
        notStarted(kind, true);
        return false;
    }
    // A failed open reaches takeReport before submit returns.
    line_.submit(this, kind, frame);
    tellState();
    return pendingKind() != NoRequest;
}

bool TDisplaySession::sendConfiguration()
{
    return request(SendConfigRequest, frameOf(buildConfigRequest(*config_)));
}

bool TDisplaySession::receiveConfiguration()
{
    return request(AnalogParamsRequest, frameOf(buildReadRequest(config_->Address, kLetterAnalogParams)));
}

bool TDisplaySession::readValue()
{
    return request(DisplayReadingRequest, frameOf(buildReadRequest(config_->Address, kLetterDisplayReading)));
}

bool TDisplaySession::readCalibration()
{
    return request(CalibrationRequest, frameOf(buildReadRequest(config_->Address, kLetterCalibration)));
}

void TDisplaySession::notStarted(TPendingRequest kind, bool lineHeld)
{
    // A failed open leaves nothing pending: reading can be switched on again
    // once the device is back.
    if (kind == DisplayReadingRequest)
        stopContinuousReading();
    setArmed(false);
    emit requestNotStarted(kind, lineHeld);
}

void TDisplaySession::tick()
{
    checkStale();
    // At most one reading on the line: a display slower than the period is
    // read as often as it answers, and its late replies are never taken for
    // the next reading's.
    if (busy())
        return;
    readValue();
}

void TDisplaySession::checkStale()
{
    const int longest = 2 * timer_.interval() + line_.replyTimeout();
    const bool stale = reading_ && (missed_ > 0 || lastGoodMs_ < 0 || nowMs() - lastGoodMs_ > longest);
    if (stale == stale_)
        return;
    stale_ = stale;
    emit staleChanged(stale);
}

void TDisplaySession::setArmed(bool armed)
{
    if (armed == armed_)
        return;
    armed_ = armed;
    tellState();
}

void TDisplaySession::startReading()
{
    setArmed(false);
    reading_ = true;
    missed_ = 0;
    // The value shown now counts as fresh until the first reading is due.
    lastGoodMs_ = nowMs();
    if (!paused_)
        timer_.start();
    tellState();
}

void TDisplaySession::stopContinuousReading()
{
    reading_ = false;
    armed_ = false;
    timer_.stop();
    tellState();
}

TReadingToggle TDisplaySession::toggleContinuousReading()
{
    TReadingToggle what = TReadingToggle::Started;
    if (reading_) {
        stopContinuousReading();
        what = TReadingToggle::Stopped;
    } else if (lineHeld_ && lineHeld_()) {
        what = TReadingToggle::Refused;
    } else if (pendingKind() != NoRequest) {
        // Reading starts once the exchange under way has ended, which its
        // time-out ensures; a second click takes the wish back.
        setArmed(!armed_);
        what = armed_ ? TReadingToggle::Armed : TReadingToggle::Disarmed;
    } else {
        startReading();
    }
    emit readingToggled(what);
    return what;
}

void TDisplaySession::startArmedReading()
{
    QTimer::singleShot(0, this, [this] {
        if (!reading_)
            toggleContinuousReading();
    });
}

void TDisplaySession::pause()
{
    // The exchange under way is given up; the screen's request goes once the
    // line is quiet after it.
    line_.withdraw(this);
    timer_.stop();
    paused_ = true;
    tellState();
}

void TDisplaySession::resume()
{
    if (!paused_)
        return;
    paused_ = false;
    if (reading_) {
        lastGoodMs_ = nowMs();
        timer_.start();
    }
    tellState();
    if (armed_ && pendingKind() == NoRequest) {
        setArmed(false);
        startArmedReading();
    }
}

bool TDisplaySession::runAfterReceive(int key, std::function<void()> command)
{
    if (pendingKind() != AnalogParamsRequest)
        return false;
    if (std::ranges::none_of(afterReceive_, [key](const auto& waiting) { return waiting.first == key; }))
        afterReceive_.emplace_back(key, std::move(command));
    return true;
}

void TDisplaySession::runWaitingCommands()
{
    // Another read has taken the place of the one they waited for: they wait for it.
    if (afterReceive_.empty() || pendingKind() == AnalogParamsRequest)
        return;
    const auto commands = std::move(afterReceive_);
    afterReceive_.clear();
    for (const auto& waiting : commands)
        waiting.second();
}

void TDisplaySession::takeReport(const TExchangeReport& ended)
{
    // A copy: what is told here may run an event loop, and the line go on.
    const TExchangeReport report = ended;
    const auto kind = static_cast<TPendingRequest>(report.kind);
    // However the read ended, what waited for it runs once the reply is in the
    // configuration.
    if (kind == AnalogParamsRequest && !afterReceive_.empty())
        QTimer::singleShot(0, this, &TDisplaySession::runWaitingCommands);
    if (report.outcome == TExchangeOutcome::OpenFailed) {
        notStarted(kind, false);
        tellState();
        return;
    }
    // Given up for another command: the display missed nothing.
    if (report.outcome == TExchangeOutcome::Abandoned) {
        tellState();
        return;
    }
    if (armed_ && !paused_) {
        setArmed(false);
        startArmedReading();
    }
    tellState();

    if (report.outcome != TExchangeOutcome::Reply) {
        const bool counted = kind == DisplayReadingRequest && reading_;
        if (counted)
            ++missed_;
        emit exchangeEnded(report, counted ? missed_ : 0);
        if (kind == DisplayReadingRequest) {
            TSessionReading r;
            r.time = std::chrono::system_clock::now();
            r.missed = true;
            r.missedInRow = counted ? missed_ : 0;
            r.report = report;
            emit reading(r);
        }
        if (counted)
            checkStale();
        return;
    }
    missed_ = 0;
    emit exchangeEnded(report, 0);
    const std::span<const std::uint8_t> reply(report.reply);
    switch (kind) {
    case CalibrationRequest:
        emit calibrationReceived(parseCalibrationReply(reply));
        break;
    case AnalogParamsRequest:
        emit configurationReceived(parseAnalogParamsReply(reply, *config_));
        break;
    case DisplayReadingRequest: {
        TSessionReading r;
        r.time = std::chrono::system_clock::now();
        r.reading = parseDisplayReadingReply(reply);
        r.missed = !r.reading.value && !r.reading.relays;
        r.report = report;
        lastGoodMs_ = nowMs();
        emit reading(r);
        checkStale();
        break;
    }
    default: // the configuration was acknowledged: nothing more to tell
        break;
    }
}
