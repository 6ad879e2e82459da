#include "tools/bridge/LineReader.h"

#include <QTimer>
#include <algorithm>
#include <deque>

#include "protocol/Requests.h"
#include "protocol/RxBuffer.h"
#include "serial/LineSettings.h"
#include "serial/Zcomm.h"

const char* statusWord(TDisplayStatus status)
{
    switch (status) {
    case TDisplayStatus::Ok: return "ok";
    case TDisplayStatus::NoReply: return "no reply";
    case TDisplayStatus::OtherAddress: return "other address";
    case TDisplayStatus::Unexpected: return "unexpected reply";
    case TDisplayStatus::LineLost: return "line lost";
    case TDisplayStatus::Unknown: break;
    }
    return "not read yet";
}

namespace {

using namespace std::chrono_literals;

constexpr std::uint8_t kKindReading = 1;
constexpr std::uint8_t kKindOwn = 2;
// A line that cannot be opened is tried again after 1 s, then ever later, up to 30 s.
constexpr int kFirstRetryMs = 1000;
constexpr int kLastRetryMs = 30000;

struct TQueued {
    std::uint8_t address;
    std::vector<std::uint8_t> frame;
    TExchangeDone done;
};

TLineReading classify(std::uint8_t address, const TExchangeReport& r)
{
    TLineReading out;
    out.address = address;
    out.ended = r.ended;
    switch (r.outcome) {
    case TExchangeOutcome::Reply:
        out.reading = parseDisplayReadingReply(r.reply);
        if (out.reading.value || out.reading.relays) {
            out.status = TDisplayStatus::Ok;
        } else {
            out.status = TDisplayStatus::Unexpected;
            out.why = "the reply carries neither a value nor relay states";
        }
        break;
    case TExchangeOutcome::WrongAddress:
        out.status = TDisplayStatus::OtherAddress;
        out.why = "a display answered with another address";
        break;
    case TExchangeOutcome::Unexpected:
    case TExchangeOutcome::Overflow:
        out.status = TDisplayStatus::Unexpected;
        out.why = r.outcome == TExchangeOutcome::Overflow ? "bytes without the end of a reply"
                                                          : "the reply does not answer the request";
        break;
    case TExchangeOutcome::LineLost:
    case TExchangeOutcome::OpenFailed:
        out.status = TDisplayStatus::LineLost;
        out.why = "the line was lost";
        break;
    case TExchangeOutcome::NoReply:
    case TExchangeOutcome::Abandoned:
        out.status = TDisplayStatus::NoReply;
        out.why = "no reply within the time-out";
        break;
    }
    return out;
}

class TLinkLineReader : public TLineReader {
public:
    explicit TLinkLineReader(const TBridgeLine& line)
        : line_(line), link_(port_, rx_), misses_(line.addresses.size(), 0), rest_(line.addresses.size(), 0)
    {
        copyLineSettings(line.settings, port_);
        port_.Port = line.device;
        link_.setReplyTimeout(line.timeoutMs);
        link_.setCloseAfterExchange(false);
        link_.setSetAsideOtherAddresses(true);
        QObject::connect(&link_, &TDisplayLink::finished, &link_, [this](const TExchangeReport& r) { onFinished(r); });
        round_.setSingleShot(true);
        round_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&round_, &QTimer::timeout, &link_, [this] { startRound(); });
        retry_.setSingleShot(true);
        QObject::connect(&retry_, &QTimer::timeout, &link_, [this] { openLine(); });
    }

    ~TLinkLineReader() override
    {
        QObject::disconnect(&link_, nullptr, nullptr, nullptr);
        link_.closePort();
    }

    void start() override { openLine(); }

    void request(std::uint8_t address, std::vector<std::uint8_t> frame, TExchangeDone done) override
    {
        if (!open_) {
            TExchangeReport lost;
            lost.outcome = TExchangeOutcome::LineLost;
            lost.request = frame;
            done(lost);
            return;
        }
        queue_.push_back({address, std::move(frame), std::move(done)});
        stepLater();
    }

private:
    void openLine()
    {
        if (link_.openPort()) {
            if (!open_ && onLineNote)
                onLineNote("line " + line_.name + ": " + line_.device + " is open");
            open_ = true;
            retryMs_ = kFirstRetryMs;
            said_.clear();
            startRound();
            return;
        }
        const std::string why = describeOpenFailure(port_);
        if (why != said_ && onLineNote)
            onLineNote("line " + line_.name + ": cannot open " + line_.device + ": " + why);
        said_ = why;
        lose("the line cannot be opened: " + why);
    }

    // Every display of the line is told, queued requests fail, and the line is tried again later.
    void lose(const std::string& why)
    {
        open_ = false;
        busy_ = false;
        round_.stop();
        link_.closePort();
        for (std::uint8_t a : line_.addresses) {
            TLineReading r;
            r.address = a;
            r.status = TDisplayStatus::LineLost;
            r.why = why;
            r.ended = TLinkClock::now();
            if (onReading)
                onReading(r);
        }
        std::deque<TQueued> failed;
        failed.swap(queue_);
        for (TQueued& q : failed) {
            TExchangeReport lost;
            lost.outcome = TExchangeOutcome::LineLost;
            lost.request = q.frame;
            q.done(lost);
        }
        retry_.start(retryMs_);
        retryMs_ = std::min(retryMs_ * 2, kLastRetryMs);
    }

    void startRound()
    {
        roundStarted_ = TLinkClock::now();
        next_ = 0;
        roundOpen_ = true;
        stepLater();
    }

    // The next exchange starts from the event loop, never inside the link's
    // report of the last one, nor beside one still going.
    void stepLater()
    {
        if (stepDue_ || busy_)
            return;
        stepDue_ = true;
        QMetaObject::invokeMethod(&link_, [this] {
            stepDue_ = false;
            step();
        }, Qt::QueuedConnection);
    }

    // The next exchange: a queued request first, then the round's next display.
    void step()
    {
        if (!open_ || busy_)
            return;
        if (!queue_.empty()) {
            current_ = std::move(queue_.front());
            queue_.pop_front();
            send(kKindOwn, current_.frame);
            return;
        }
        while (roundOpen_ && next_ < line_.addresses.size()) {
            const std::size_t i = next_++;
            if (rest_[i] > 0) {
                --rest_[i];
                continue;
            }
            const TReadRequest frame = buildReadRequest(line_.addresses[i], kLetterDisplayReading);
            reading_ = i;
            send(kKindReading, std::vector<std::uint8_t>(frame.begin(), frame.end()));
            return;
        }
        if (!roundOpen_)
            return;
        // The round is over: the next starts a period after this one did, or at once when it overran.
        roundOpen_ = false;
        const auto due = roundStarted_ + std::chrono::milliseconds(line_.periodMs);
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - TLinkClock::now());
        round_.start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(wait.count(), 0)));
    }

    void send(std::uint8_t kind, const std::vector<std::uint8_t>& frame)
    {
        busy_ = true;
        // A failed start reports OpenFailed through finished before it returns.
        link_.start(kind, frame);
    }

    void onFinished(const TExchangeReport& r)
    {
        busy_ = false;
        const bool lost = r.outcome == TExchangeOutcome::LineLost || r.outcome == TExchangeOutcome::OpenFailed;
        if (r.kind == kKindOwn) {
            TQueued done = std::move(current_);
            done.done(r);
        } else if (!lost) {
            const std::size_t i = reading_;
            TLineReading reading = classify(line_.addresses[i], r);
            if (reading.status == TDisplayStatus::NoReply) {
                ++misses_[i];
                if (misses_[i] >= kSilentAfter)
                    rest_[i] = kSilentEvery - 1;
            } else {
                misses_[i] = 0;
            }
            if (onReading)
                onReading(reading);
        }
        if (lost) {
            if (onLineNote)
                onLineNote("line " + line_.name + ": " + line_.device + " was lost");
            lose(r.writeFailed ? "the request could not be written" : "the device went away");
            return;
        }
        stepLater();
    }

    const TBridgeLine line_;
    TZComm port_;
    TRxBuffer rx_;
    TDisplayLink link_;
    QTimer round_;
    QTimer retry_;
    int retryMs_ = kFirstRetryMs;
    bool open_ = false;
    bool busy_ = false;
    bool roundOpen_ = false;
    bool stepDue_ = false;
    std::size_t next_ = 0;
    std::size_t reading_ = 0;
    std::vector<int> misses_;
    std::vector<int> rest_; // rounds a silent display sits out
    TLinkClock::time_point roundStarted_;
    std::deque<TQueued> queue_;
    TQueued current_;
    std::string said_;
};

} // namespace

std::unique_ptr<TLineReader> makeLineReader(const TBridgeLine& line)
{
    return std::make_unique<TLinkLineReader>(line);
}
