#include "link/DisplayLink.h"

#include <QMetaMethod>
#include <algorithm>

#include "base/Formats.h"
#include "protocol/RxBuffer.h"
#include "serial/PortMap.h"
#include "serial/Zcomm.h"

namespace {

constexpr std::size_t kPiece = 20;

bool startsLike(std::span<const std::uint8_t> bytes, const std::vector<std::uint8_t>& request)
{
    const std::size_t n = std::min<std::size_t>({bytes.size(), request.size(), 3});
    return std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n), request.begin());
}

} // namespace

std::chrono::milliseconds TExchangeReport::latency() const
{
    return std::max(std::chrono::milliseconds(0), std::chrono::duration_cast<std::chrono::milliseconds>(ended - sent));
}

std::string TExchangeReport::portText() const
{
    return device.empty() || device == port ? port : port + " (" + device + ")";
}

TDisplayLink::TDisplayLink(TZComm& port, TRxBuffer& rx, QObject* parent) : QObject(parent), port_(port), rx_(rx)
{
    deadline_.setSingleShot(true);
    deadline_.setTimerType(Qt::PreciseTimer);
    connect(&deadline_, &QTimer::timeout, this, &TDisplayLink::onDeadline);
    quiet_.setSingleShot(true);
    connect(&quiet_, &QTimer::timeout, this, &TDisplayLink::onQuiet);
    connect(&port_, &QObject::destroyed, this, [this] { portAlive_ = false; });
    port_.OnDataAvailable = [this](TZComm*) { onData(); };
    port_.OnErrorOccurred = [this](TZComm*, int error, const std::string&) {
        if (pending_)
            report_.lineErrors = true;
        emit lineError(error);
    };
    port_.OnLineLost = [this](TZComm*) { onLineLost(); };
}

TDisplayLink::~TDisplayLink()
{
    // A port that went first (a sibling destroyed before the link) has nothing to unhook.
    if (!portAlive_)
        return;
    port_.OnDataAvailable = nullptr;
    port_.OnErrorOccurred = nullptr;
    port_.OnLineLost = nullptr;
}

void TDisplayLink::setReplyTimeout(int ms)
{
    timeoutMs_ = std::clamp(ms, 1, 600000);
}

bool TDisplayLink::openPort()
{
    if (lineSetup_) {
        port_.CloseConnection();
        lineSetup_();
    }
    return port_.OpenConnection() != 0;
}

void TDisplayLink::closePort()
{
    if (pending_)
        abandon();
    // Whoever closes the port takes the line back: nothing is awaited any more.
    awaiting_ = false;
    quiet_.stop();
    late_.clear();
    port_.CloseConnection();
}

bool TDisplayLink::portOpen() const
{
    return port_.Connected != 0;
}

int TDisplayLink::wireMs(std::size_t bytes) const
{
    const int dataBits = 4 + static_cast<int>(port_.DataBits);
    const int parity = port_.Parity == no_parity ? 0 : 1;
    // Tenths of a bit time, so 1.5 stop bits count as they should.
    const int stopTenths = port_.StopBits == stop1 ? 10 : port_.StopBits == stop1x5 ? 15 : 20;
    const long long tenths = static_cast<long long>(bytes) * ((1 + dataBits + parity) * 10 + stopTenths);
    const long long baud = port_.BaudRate > 0 ? port_.BaudRate : 9600;
    return static_cast<int>((tenths * 1000 + baud * 10 - 1) / (baud * 10));
}

bool TDisplayLink::listened() const
{
    return isSignalConnected(QMetaMethod::fromSignal(&TDisplayLink::traffic));
}

void TDisplayLink::note(TTrafficDirection direction, std::vector<std::uint8_t> bytes, TTrafficNote what)
{
    noteFor(report_, direction, std::move(bytes), what, TLinkClock::now());
}

void TDisplayLink::noteFor(const TExchangeReport& exchange, TTrafficDirection direction,
    std::vector<std::uint8_t> bytes, TTrafficNote what, TLinkClock::time_point at)
{
    if (!listened())
        return;
    TTrafficRecord r;
    r.time = std::chrono::system_clock::now()
        - std::chrono::duration_cast<std::chrono::system_clock::duration>(TLinkClock::now() - at);
    r.direction = direction;
    r.port = exchange.portText();
    r.bytes = std::move(bytes);
    if (direction == TTrafficDirection::Received)
        r.latencyMs = static_cast<int>(std::max<long long>(0,
            std::chrono::duration_cast<std::chrono::milliseconds>(at - exchange.sent).count()));
    r.note = what;
    emit traffic(r);
}

int TDisplayLink::quietMs() const
{
    return std::clamp(lateMs_, timeoutMs_, 4 * timeoutMs_);
}

std::string TDisplayLink::lineKey() const
{
    const auto& r = report_.request;
    return cfmt("%s|%d|%d|%d|%d|", port_.Port.c_str(), static_cast<int>(port_.BaudRate),
               static_cast<int>(port_.Parity), static_cast<int>(port_.DataBits), static_cast<int>(port_.StopBits))
        + std::string(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(r.size(), 3)));
}

bool TDisplayLink::start(std::uint8_t kind, const std::vector<std::uint8_t>& frame)
{
    if (pending_)
        abandon();
    report_ = TExchangeReport{};
    report_.kind = kind;
    report_.request = frame;
    report_.timeoutMs = timeoutMs_;
    if (awaiting_) {
        // Written once the line has been quiet: a late reply to the exchange
        // before must never be taken for this one's answer.
        queued_ = true;
        pending_ = true;
        return true;
    }
    return send();
}

bool TDisplayLink::send()
{
    queued_ = false;
    if (closeAfter_ || !portOpen()) {
        if (!openPort()) {
            pending_ = false;
            report_.port = port_.Port;
            report_.device = port_.lastOpenFailure().Path;
            report_.started = report_.sent = report_.ended = TLinkClock::now();
            report_.outcome = TExchangeOutcome::OpenFailed;
            emit finished(report_);
            return false;
        }
    }
    report_.port = port_.Port;
    report_.device = resolvePortPath(port_.Port);
    // What was learnt of a display's lateness holds for that display only.
    if (const std::string key = lineKey(); key != lateKey_) {
        lateKey_ = key;
        lateMs_ = 0;
    }
    // Whatever an earlier, unanswered request brought in late is not this
    // reply, and an XOFF left over from earlier traffic must not hold the line.
    port_.PurgeCommPort(PURGE_RXABORT | PURGE_RXCLEAR);
    port_.EscapeComm(SETXON);
    pending_ = true;
    rx_.reset();
    report_.started = TLinkClock::now();
    const std::vector<std::uint8_t>& frame = report_.request;
    const bool written = port_.WriteComm(frame.data(), static_cast<long>(frame.size())) != 0;
    report_.sent = TLinkClock::now() + std::chrono::milliseconds(wireMs(frame.size()));
    note(TTrafficDirection::Sent, frame, TTrafficNote::None);
    if (!written) {
        report_.writeFailed = true;
        end(TExchangeOutcome::LineLost);
        return true;
    }
    // Collection starts only once the whole frame is with the port.
    rx_.reset();
    armDeadline(report_.sent + std::chrono::milliseconds(timeoutMs_));
    return true;
}

void TDisplayLink::abandon()
{
    if (!pending_)
        return;
    if (queued_) {
        // Never written: nothing to listen for, and the wait goes on.
        queued_ = false;
        pending_ = false;
        report_.outcome = TExchangeOutcome::Abandoned;
        report_.started = report_.sent = report_.ended = TLinkClock::now();
        emit finished(report_);
        return;
    }
    end(TExchangeOutcome::Abandoned);
}

void TDisplayLink::onData()
{
    if ((!pending_ || queued_) && !awaiting_)
        return;
    std::uint8_t piece[kPiece];
    const long n = port_.ReadComm(piece, sizeof piece);
    if (n <= 0)
        return;
    const std::span<const std::uint8_t> bytes(piece, static_cast<std::size_t>(n));
    const bool more = n == static_cast<long>(kPiece) && port_.GetQCountIn() > 0;
    // Bytes first read once the deadline has passed came too late for this
    // exchange, however the event loop ordered their notice and the timer's.
    if (pending_ && !queued_ && awaitLate_ && TLinkClock::now() >= deadlineAt_) {
        report_.reply.assign(rx_.reply().begin(), rx_.reply().end());
        end(TExchangeOutcome::NoReply);
    }
    if (awaiting_) {
        onLateBytes(bytes);
        if (more && awaiting_)
            QMetaObject::invokeMethod(this, &TDisplayLink::onData, Qt::QueuedConnection);
        return;
    }
    // Whoever heard of the end may have taken the line back meanwhile.
    if (!pending_ || queued_)
        return;
    rx_.append(bytes);
    bool own = false;
    if (collect(own))
        return;
    if (own)
        armDeadline(TLinkClock::now() + std::chrono::milliseconds(timeoutMs_));
    // One notification may stand for a burst longer than a piece: come back
    // for the rest rather than wait for bytes that already arrived.
    if (more)
        QMetaObject::invokeMethod(this, &TDisplayLink::onData, Qt::QueuedConnection);
}

bool TDisplayLink::collect(bool& ownBytes)
{
    const std::span<const std::uint8_t> request(report_.request);
    for (;;) {
        if (rx_.state() == TRxBuffer::TState::Overflow) {
            report_.reply.assign(rx_.reply().begin(), rx_.reply().end());
            end(TExchangeOutcome::Overflow);
            return true;
        }
        if (rx_.state() == TRxBuffer::TState::Incomplete) {
            ownBytes = ownBytes || (rx_.length() > 0 && startsLike(rx_.reply(), report_.request));
            return false;
        }
        const std::vector<std::uint8_t> reply(rx_.reply().begin(), rx_.reply().end());
        const std::vector<std::uint8_t> after(rx_.dropped().begin(), rx_.dropped().end());
        const TReplyCheck check = checkReply(reply, request);
        const bool echo = std::ranges::equal(reply, report_.request);
        const bool noise = check == TReplyCheck::Noise;
        if (echo || ((check == TReplyCheck::WrongAddress || noise) && setAside_)) {
            // The adapter's echo, a late answer from another display, or
            // noise on a bus: not this reply, and what followed it may be.
            if (echo) {
                report_.echoDropped = true;
                ownBytes = true;
            } else {
                report_.setAside.push_back(reply);
            }
            note(TTrafficDirection::Received, reply,
                 echo ? TTrafficNote::EchoDropped : noise ? TTrafficNote::Noise : TTrafficNote::SetAside);
            rx_.reset();
            rx_.append(after);
            continue;
        }
        report_.reply = reply;
        end(check == TReplyCheck::Accepted ? TExchangeOutcome::Reply
                : check == TReplyCheck::WrongAddress ? TExchangeOutcome::WrongAddress
                                                     : TExchangeOutcome::Unexpected,
            after);
        return true;
    }
}

void TDisplayLink::onLineLost()
{
    // A lost device is released at once, so that it can come back.
    const bool queued = queued_;
    if (awaiting_) {
        awaiting_ = false;
        quiet_.stop();
        late_.clear();
    }
    if (pending_ && !queued)
        end(TExchangeOutcome::LineLost);
    else
        port_.CloseConnection();
    emit lineLost();
    // A request that waited for quiet goes now, and finds whether the device is back.
    if (queued && queued_)
        send();
}

void TDisplayLink::armDeadline(TLinkClock::time_point at)
{
    deadlineAt_ = at;
    deadline_.start(std::chrono::ceil<std::chrono::milliseconds>(at - TLinkClock::now()));
}

void TDisplayLink::onDeadline()
{
    if (!pending_)
        return;
    // A timer may fire a little early: the deadline is the clock's, not the timer's.
    if (TLinkClock::now() < deadlineAt_) {
        armDeadline(deadlineAt_);
        return;
    }
    report_.reply.assign(rx_.reply().begin(), rx_.reply().end());
    end(TExchangeOutcome::NoReply);
}

void TDisplayLink::end(TExchangeOutcome outcome, std::vector<std::uint8_t> trailing)
{
    deadline_.stop();
    pending_ = false;
    report_.outcome = outcome;
    report_.ended = TLinkClock::now();
    switch (outcome) {
    case TExchangeOutcome::Reply:
        note(TTrafficDirection::Received, report_.reply, TTrafficNote::None);
        break;
    case TExchangeOutcome::WrongAddress:
        note(TTrafficDirection::Received, report_.reply, TTrafficNote::WrongAddress);
        break;
    case TExchangeOutcome::Unexpected:
        note(TTrafficDirection::Received, report_.reply,
             checkReply(report_.reply, report_.request) == TReplyCheck::Noise ? TTrafficNote::Noise
                                                                              : TTrafficNote::Unexpected);
        break;
    case TExchangeOutcome::Overflow:
        note(TTrafficDirection::Received, report_.reply, TTrafficNote::Overflow);
        break;
    case TExchangeOutcome::NoReply:
        note(TTrafficDirection::Received, report_.reply, TTrafficNote::NoReply);
        break;
    case TExchangeOutcome::LineLost:
        note(TTrafficDirection::Received, {}, TTrafficNote::LineLost);
        break;
    case TExchangeOutcome::Abandoned:
        note(TTrafficDirection::Received, std::vector<std::uint8_t>(rx_.reply().begin(), rx_.reply().end()),
            TTrafficNote::Abandoned);
        break;
    case TExchangeOutcome::OpenFailed:
        break;
    }
    // Rows in the order the bytes came: what followed the reply's CR after it.
    if (!trailing.empty())
        note(TTrafficDirection::Received, std::move(trailing), TTrafficNote::AfterCR);
    const bool missed = outcome == TExchangeOutcome::NoReply || outcome == TExchangeOutcome::Abandoned;
    if (awaitLate_ && missed && portOpen())
        awaitLateReply();
    // A lost device is released at once, so that it can come back.
    else if (closeAfter_ || outcome == TExchangeOutcome::LineLost)
        port_.CloseConnection();
    emit finished(report_);
}

void TDisplayLink::awaitLateReply()
{
    awaiting_ = true;
    missed_ = report_;
    late_.clear();
    lateTold_ = false;
    awaitStarted_ = lastLateByte_ = TLinkClock::now();
    armQuiet();
}

void TDisplayLink::armQuiet()
{
    const auto now = TLinkClock::now();
    const auto quiet = std::chrono::milliseconds(quietMs());
    // The line is quiet once nothing has come for quietMs; a line that never
    // falls quiet (noise) is let go after three times that.
    const auto until = std::min(lastLateByte_ + quiet, awaitStarted_ + 3 * quiet);
    quiet_.start(std::max(std::chrono::milliseconds(0), std::chrono::ceil<std::chrono::milliseconds>(until - now)));
}

void TDisplayLink::onLateBytes(std::span<const std::uint8_t> bytes)
{
    const auto now = TLinkClock::now();
    lastLateByte_ = now;
    const int afterMs = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now - missed_.sent).count());
    lateMs_ = std::max(lateMs_, afterMs);
    // One row a frame, up to its CR, timed by its first byte.
    for (const std::uint8_t b : bytes) {
        if (late_.empty())
            lateFirst_ = now;
        late_.push_back(b);
        if (b != 0x0D && late_.size() < TRxBuffer::kCapacity)
            continue;
        noteFor(missed_, TTrafficDirection::Received, late_, TTrafficNote::Late, lateFirst_);
        if (!lateTold_ && checkReply(late_, missed_.request) == TReplyCheck::Accepted) {
            lateTold_ = true;
            emit lateReply(missed_, afterMs);
        }
        late_.clear();
        // Whoever listens may have taken the line back meanwhile.
        if (!awaiting_)
            return;
    }
    armQuiet();
}

void TDisplayLink::onQuiet()
{
    if (!awaiting_)
        return;
    const auto now = TLinkClock::now();
    const auto quiet = std::chrono::milliseconds(quietMs());
    // A timer may fire a little early: the quiet is the clock's, not the timer's.
    if (now < lastLateByte_ + quiet && now < awaitStarted_ + 3 * quiet) {
        armQuiet();
        return;
    }
    endAwait();
}

void TDisplayLink::endAwait()
{
    awaiting_ = false;
    quiet_.stop();
    if (!late_.empty()) {
        noteFor(missed_, TTrafficDirection::Received, late_, TTrafficNote::Late, lateFirst_);
        late_.clear();
    }
    if (closeAfter_)
        port_.CloseConnection();
    if (queued_)
        send();
    else
        emit idle();
}

int configuredReplyTimeoutMs()
{
    const std::optional<QVariant> v = readSetting("Link/ReplyTimeoutMs");
    bool ok = false;
    const int ms = v ? v->toInt(&ok) : 0;
    return ok && ms >= 50 && ms <= 60000 ? ms : TDisplayLink::kDefaultReplyTimeoutMs;
}
