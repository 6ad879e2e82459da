#include "tools/bridge/LineReader.h"

#include <QTimer>
#include <algorithm>
#include <deque>

#include "serial/Zcomm.h"
#include "session/DisplayLine.h"
#include "session/DisplaySession.h"
#include "tools/bridge/BridgeTexts.h"

using namespace bridgetext;

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

// A line that cannot be opened is tried again after 1 s, then ever later, up to 30 s.
constexpr int kFirstRetryMs = 1000;
constexpr int kLastRetryMs = 30000;

TLineReading classify(std::uint8_t address, const TSessionReading& r, TLanguage language)
{
    TLineReading out;
    out.address = address;
    out.ended = r.report.ended;
    switch (r.report.outcome) {
    case TExchangeOutcome::Reply:
        out.reading = r.reading;
        if (!r.missed) {
            out.status = TDisplayStatus::Ok;
        } else {
            out.status = TDisplayStatus::Unexpected;
            out.why = say(kNoReading, language);
        }
        break;
    case TExchangeOutcome::WrongAddress:
        out.status = TDisplayStatus::OtherAddress;
        out.why = say(kOtherAddress, language);
        break;
    case TExchangeOutcome::Unexpected:
    case TExchangeOutcome::Overflow:
        out.status = TDisplayStatus::Unexpected;
        out.why = say(r.report.outcome == TExchangeOutcome::Overflow ? kNoEnd : kNotAnAnswer, language);
        break;
    case TExchangeOutcome::LineLost:
    case TExchangeOutcome::OpenFailed:
        out.status = TDisplayStatus::LineLost;
        out.why = say(kLineLost, language);
        break;
    case TExchangeOutcome::NoReply:
    case TExchangeOutcome::Abandoned:
        out.status = TDisplayStatus::NoReply;
        out.why = say(kNoReplyInTime, language);
        break;
    }
    return out;
}

TExchangeReport lostReport(TPendingRequest kind)
{
    TExchangeReport lost;
    lost.kind = kind;
    lost.outcome = TExchangeOutcome::LineLost;
    return lost;
}

// A request of the bridge's own for one display; one at a time a display.
struct TJob {
    TPendingRequest kind;
    TDisplayConfig cfg; // what a SendConfigRequest sends
    TExchangeDone done;
};

struct TUnit {
    TDisplayConfig config; // the session's: its address, and what it sends
    std::unique_ptr<TDisplaySession> session;
    std::deque<TJob> jobs; // the front one runs
    bool running = false;
    int misses = 0;     // readings missed in a row
    bool resting = false; // silent: read once every kSilentEvery periods
    QTimer rest;
};

// The displays of one line as sessions on one TDisplayLine: each reads every
// period, and the line serves them in turn.
class TSessionLineReader : public TLineReader {
public:
    TSessionLineReader(const TBridgeLine& line, TLanguage language) : line_(line), language_(language)
    {
        display_.setLineSource([this]() -> const TDisplayConfig& { return line_.settings; }, line_.device);
        display_.setReplyTimeout(line_.timeoutMs);
        display_.setCloseAfterExchange(false);
        retry_.setSingleShot(true);
        QObject::connect(&retry_, &QTimer::timeout, &display_, [this] { openLine(); });
        for (std::uint8_t address : line_.addresses) {
            auto unit = std::make_unique<TUnit>();
            TUnit* u = unit.get();
            u->config = line_.settings;
            u->config.Address = address;
            u->session = std::make_unique<TDisplaySession>(display_, u->config);
            u->session->setReadingPeriod(line_.periodMs);
            u->rest.setSingleShot(true);
            QObject::connect(&u->rest, &QTimer::timeout, u->session.get(), [this, u] {
                if (!lost_)
                    u->session->readValue();
            });
            QObject::connect(u->session.get(), &TDisplaySession::reading, u->session.get(),
                             [this, u](const TSessionReading& r) { take(*u, r); });
            QObject::connect(u->session.get(), &TDisplaySession::exchangeEnded, u->session.get(),
                             [this, u](const TExchangeReport& r, int) { endJob(*u, r); });
            QObject::connect(u->session.get(), &TDisplaySession::requestNotStarted, u->session.get(),
                             [this, u](TPendingRequest kind, bool) {
                                 endJob(*u, lostReport(kind));
                                 if (kind == DisplayReadingRequest)
                                     lose(say(kLineCannotBeOpened, language_,
                                              {describeOpenFailure(display_.port(), language_)}));
                             });
            units_.push_back(std::move(unit));
        }
    }

    ~TSessionLineReader() override
    {
        for (auto& u : units_)
            QObject::disconnect(u->session.get(), nullptr, nullptr, nullptr);
        units_.clear();
    }

    void start() override { openLine(); }

    void readConfiguration(std::uint8_t address, TExchangeDone done) override
    {
        queue(address, {AnalogParamsRequest, {}, std::move(done)});
    }

    void sendConfiguration(std::uint8_t address, const TDisplayConfig& cfg, TExchangeDone done) override
    {
        queue(address, {SendConfigRequest, cfg, std::move(done)});
    }

private:
    TUnit* unitOf(std::uint8_t address)
    {
        const auto found = std::find_if(units_.begin(), units_.end(),
                                        [&](const auto& u) { return u->config.Address == address; });
        return found == units_.end() ? nullptr : found->get();
    }

    void queue(std::uint8_t address, TJob job)
    {
        TUnit* u = unitOf(address);
        if (!u || lost_) {
            job.done(lostReport(job.kind));
            return;
        }
        u->jobs.push_back(std::move(job));
        if (!u->running)
            runJob(*u);
    }

    void runJob(TUnit& u)
    {
        if (u.jobs.empty() || lost_)
            return;
        u.running = true;
        TJob& job = u.jobs.front();
        if (job.kind == SendConfigRequest) {
            const std::uint8_t address = u.config.Address;
            u.config = job.cfg;
            u.config.Address = address;
            u.session->sendConfiguration();
        } else {
            u.session->receiveConfiguration();
        }
    }

    // The running job's exchange has ended: its caller is told from the event
    // loop, never inside the line's report, and the next job goes.
    void endJob(TUnit& u, const TExchangeReport& r)
    {
        if (!u.running || u.jobs.empty() || u.jobs.front().kind != r.kind)
            return;
        TExchangeDone done = std::move(u.jobs.front().done);
        u.jobs.pop_front();
        u.running = false;
        QTimer::singleShot(0, u.session.get(), [this, &u, done = std::move(done), r] {
            done(r);
            if (!u.running)
                runJob(u);
        });
    }

    void take(TUnit& u, const TSessionReading& r)
    {
        if (r.report.outcome == TExchangeOutcome::LineLost) {
            lose(say(kDeviceGone, language_));
            return;
        }
        const TLineReading out = classify(u.config.Address, r, language_);
        if (out.status == TDisplayStatus::NoReply) {
            ++u.misses;
            if (u.misses >= kSilentAfter) {
                u.resting = true;
                u.session->stopContinuousReading();
                u.rest.start(line_.periodMs * kSilentEvery);
            }
        } else {
            u.misses = 0;
            if (u.resting) {
                u.resting = false;
                u.session->toggleContinuousReading();
            }
        }
        if (onReading)
            onReading(out);
    }

    void openLine()
    {
        if (display_.link().openPort()) {
            if (onLineNote)
                onLineNote(say(kLineOpen, language_, {line_.name, line_.device}));
            lost_ = false;
            retryMs_ = kFirstRetryMs;
            said_.clear();
            for (auto& u : units_) {
                u->misses = 0;
                u->resting = false;
                if (!u->session->continuousReading())
                    u->session->toggleContinuousReading();
            }
            return;
        }
        const std::string why = describeOpenFailure(display_.port(), language_);
        if (why != said_ && onLineNote)
            onLineNote(say(kLineCannotOpen, language_, {line_.name, line_.device, why}));
        said_ = why;
        lost_ = false;
        lose(say(kLineCannotBeOpened, language_, {why}));
    }

    // Every display of the line is told, its requests fail, and the line is
    // tried again later.
    void lose(const std::string& why)
    {
        if (lost_)
            return;
        if (onLineNote && said_.empty())
            onLineNote(say(kLineWasLost, language_, {line_.name, line_.device}));
        lost_ = true;
        for (auto& u : units_) {
            u->session->stopContinuousReading();
            u->rest.stop();
            std::deque<TJob> failed;
            failed.swap(u->jobs);
            u->running = false;
            for (TJob& job : failed) {
                const TExchangeReport lost = lostReport(job.kind);
                QTimer::singleShot(0, u->session.get(), [done = std::move(job.done), lost] { done(lost); });
            }
            TLineReading r;
            r.address = u->config.Address;
            r.status = TDisplayStatus::LineLost;
            r.why = why;
            r.ended = TLinkClock::now();
            if (onReading)
                onReading(r);
        }
        display_.link().closePort();
        retry_.start(retryMs_);
        retryMs_ = std::min(retryMs_ * 2, kLastRetryMs);
    }

    const TBridgeLine line_;
    const TLanguage language_;
    TDisplayLine display_;
    std::vector<std::unique_ptr<TUnit>> units_;
    QTimer retry_;
    int retryMs_ = kFirstRetryMs;
    bool lost_ = false;
    std::string said_;
};

} // namespace

std::unique_ptr<TLineReader> makeLineReader(const TBridgeLine& line, TLanguage language)
{
    return std::make_unique<TSessionLineReader>(line, language);
}
