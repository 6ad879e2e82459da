#include "link/Doctor.h"

#include <QTimer>
#include <algorithm>
#include <cctype>
#include <sys/stat.h>

#include "base/Formats.h"
#include "base/Texts.h"
#include "link/DisplayLink.h"
#include "link/DoctorProbe.h"
#include "link/DoctorSearch.h"
#include "link/DoctorWords.h"
#include "link/LineSettings.h"
#include "link/Traffic.h"
#include "protocol/Requests.h"
#include "protocol/RxBuffer.h"
#include "serial/PortMap.h"

using namespace doctor;

namespace {

// The longest reply to a reading: '@', address, 'R', 'L', eight value
// characters, 'R', 'R', two relays, CR.
constexpr std::size_t kReadingReplyLength = 18;
constexpr std::uint8_t kReadingKind = 3;
// Beyond its time-out and the wire time of the longest reply, what an
// exchange is given before bytes that keep coming are cut short.
constexpr int kCutMarginMs = 250;

// An answer the reading command would take: its letters, and a value or relay states.
bool carriesReading(const TExchangeReport& r)
{
    if (r.outcome != TExchangeOutcome::Reply)
        return false;
    const TDisplayReading reading = parseDisplayReadingReply(r.reply);
    return reading.value || reading.relays;
}

std::string seconds(TLinkClock::duration d)
{
    return cfmt("%.1f", std::chrono::duration<double>(d).count());
}

std::string addressText(const std::vector<std::uint8_t>& frame)
{
    return frame.size() >= 3 ? std::string(frame.begin() + 1, frame.begin() + 3) : std::string("??");
}

// The two address characters a request carries ("07"; "-1" for 255).
std::string addressOf(std::uint8_t address)
{
    const auto digits = addressDigits(address);
    return {digits.begin(), digits.end()};
}

} // namespace

TDoctor::TDoctor(TDoctorSetup setup, QObject* parent, TZComm::BackendFactory factory)
    : QObject(parent), setup_(std::move(setup)), port_(std::make_unique<TZComm>(nullptr, std::move(factory))),
      rx_(std::make_unique<TRxBuffer>()), link_(std::make_unique<TDisplayLink>(*port_, *rx_))
{
    qRegisterMetaType<TCheckResult>();
    qRegisterMetaType<TSearchProgress>();
    qRegisterMetaType<TDoctorReport>();
    // Between the tries of a search the port stays open; only its settings change.
    link_->setCloseAfterExchange(false);
    connect(link_.get(), &TDisplayLink::finished, this, &TDoctor::onExchange);
    cut_.setSingleShot(true);
    connect(&cut_, &QTimer::timeout, this, &TDoctor::cutShort);
}

TDoctor::~TDoctor()
{
    running_ = false;
    link_->closePort();
}

std::string TDoctor::portText() const
{
    return portTextOf(port_->Port, path_);
}

void TDoctor::queue(void (TDoctor::*step)())
{
    QMetaObject::invokeMethod(
        this,
        [this, step, run = run_] {
            if (run == run_ && running_)
                (this->*step)();
        },
        Qt::QueuedConnection);
}

void TDoctor::start()
{
    if (running_)
        cancel();
    ++run_;
    running_ = true;
    report_ = TDoctorReport{};
    found_.reset();
    current_.reset();
    inFlight_ = false;
    phase_ = TPhase::Answer;
    otherAddress_ = false;
    signedAs_.clear();
    lateAt_.reset();
    permissionRefused_ = false;
    last_.reset();
    pseudoTerminal_ = false;
    cut_.stop();
    cutting_ = false;
    cutShort_ = false;
    copyLineSettings(setup_.config, *port_);
    if (setup_.port) {
        const int com = comNumber(*setup_.port);
        port_->Port = com >= 1 && com <= 6 ? cfmt("COM%d", com) : *setup_.port;
    }
    configured_ = lineFormatOf(*port_);
    plan_.reset(configured_, setup_.config.Address);
    path_ = resolvePortPath(port_->Port);
    queue(&TDoctor::checkTheDevice);
}

void TDoctor::add(TCheckResult r)
{
    // A listener may have cancelled the run meanwhile: it has its report.
    if (!running_)
        return;
    report_.checks.push_back(r);
    emit checkDone(r);
}

int TDoctor::plannedTries() const
{
    return report_.tries + plan_.left() - (inFlight_ ? 1 : 0);
}

void TDoctor::checkTheDevice()
{
    TCheckResult r = checkDevice(port_->Port, path_, setup_.places);
    const bool ok = r.verdict != TVerdict::Problem;
    struct stat st {};
    pseudoTerminal_ = ::stat(path_.c_str(), &st) == 0 && isPseudoTerminal(st);
    add(std::move(r));
    if (ok)
        queue(&TDoctor::checkThePermission);
    else
        finish(TDoctorOutcome::CannotOpen);
}

void TDoctor::checkThePermission()
{
    TCheckResult r = checkPermission(path_);
    permissionRefused_ = r.verdict == TVerdict::Problem;
    add(std::move(r));
    // Who holds the device is worth knowing even when it may not be opened.
    queue(&TDoctor::checkIfBusy);
}

void TDoctor::checkIfBusy()
{
    TCheckResult r = checkBusy(path_, setup_.places);
    const bool busy = r.verdict == TVerdict::Problem;
    add(std::move(r));
    if (busy || permissionRefused_)
        finish(TDoctorOutcome::CannotOpen);
    else
        queue(&TDoctor::startAnswer);
}

void TDoctor::startAnswer()
{
    current_ = configured_;
    ask(setup_.config.Address, setup_.answerTimeoutMs);
}

void TDoctor::ask(std::uint8_t address, int timeoutMs)
{
    link_->setReplyTimeout(timeoutMs);
    cutShort_ = false;
    // The link's time-out moves on with every piece of the reply, and with
    // every echo; this deadline does not, so a trickle of bytes without an
    // end, or an echo that never stops, cannot hold the check for ever.
    cut_.start(link_->wireMs(kReadRequestLength) + timeoutMs + link_->wireMs(kReadingReplyLength) + kCutMarginMs);
    const TReadRequest frame = buildReadRequest(address, kLetterDisplayReading);
    link_->start(kReadingKind, std::vector<std::uint8_t>(frame.begin(), frame.end()));
}

void TDoctor::cutShort()
{
    if (!running_ || !link_->pending())
        return;
    cutting_ = true;
    link_->abandon();
}

void TDoctor::onExchange(const TExchangeReport& r)
{
    // Reported from inside the link (even from inside start()): the next step
    // runs from the event loop, once the link has finished with the exchange.
    if (!running_ || (r.outcome == TExchangeOutcome::Abandoned && !cutting_))
        return;
    cut_.stop();
    last_ = std::make_unique<TExchangeReport>(r);
    if (cutting_) {
        // Cut short: no reply, and what had come of one so far.
        cutting_ = false;
        cutShort_ = true;
        last_->outcome = TExchangeOutcome::NoReply;
        last_->reply.assign(rx_->reply().begin(), rx_->reply().end());
    }
    queue(&TDoctor::exchangeEnded);
}

void TDoctor::exchangeEnded()
{
    switch (phase_) {
    case TPhase::Answer: answerDone(); break;
    case TPhase::Search: searchDone(); break;
    case TPhase::Patient: patientDone(); break;
    }
}

void TDoctor::answerDone()
{
    const TExchangeReport& r = *last_;
    const std::string port = portText();
    if (r.outcome == TExchangeOutcome::OpenFailed || r.outcome == TExchangeOutcome::LineLost) {
        TWords finding;
        if (r.outcome == TExchangeOutcome::OpenFailed) {
            finding = wordsBy(
                [&](TLanguage l) { return fillIn(kCannotOpen.pick(l), {port, describeOpenFailure(*port_, l)}); });
        } else {
            finding = say(r.writeFailed ? kWriteFailed : kWentAway, {port});
        }
        add(result(TDoctorCheck::Echo, TVerdict::Problem, finding,
            r.outcome == TExchangeOutcome::LineLost ? say(kCheckPlug) : TWords{}));
        finish(TDoctorOutcome::CannotOpen);
        return;
    }
    add(result(TDoctorCheck::Echo, TVerdict::Ok, say(r.echoDropped ? kEchoes : kNoEcho)));

    const std::string address = addressText(r.request);
    const TWords line = shortLineWords(configured_);
    if (carriesReading(r)) {
        add(result(TDoctorCheck::Answer, TVerdict::Ok, say(kAnswers, {address, port, line})));
        finish(TDoctorOutcome::Answers);
        return;
    }
    const std::string replyText = trafficText(std::span(r.reply).first(std::min<std::size_t>(r.reply.size(), 40)));
    TWords finding, advice;
    switch (r.outcome) {
    case TExchangeOutcome::Reply:
        finding = say(kNoReading, {address, replyText});
        break;
    case TExchangeOutcome::WrongAddress:
        otherAddress_ = true;
        signedAs_ = printableOnly(addressText(r.reply));
        finding = say(kOtherAddress, {signedAs_, address});
        advice = say(kUseAddress, {signedAs_});
        break;
    case TExchangeOutcome::Unexpected:
        if (checkReply(r.reply, r.request) == TReplyCheck::Noise)
            finding = join(say(kNoise, {replyText}), say(kLikelyFormat));
        else
            finding = say(kUnexpected, {address, replyText});
        break;
    default:
        finding = say(kNoReply, {address, port, line, cfmt("%.1f", setup_.answerTimeoutMs / 1000.0)});
        if (cutShort_ && !r.reply.empty())
            finding = join(finding, say(kTrickle, {cfmt("%zu", r.reply.size()), seconds(r.ended - r.started)}));
        else if (cutShort_ && r.echoDropped)
            finding = join(finding, say(kEndlessEcho, {seconds(r.ended - r.started)}));
        else if (r.echoDropped && r.reply.empty())
            finding = join(finding, say(kEchoOnly));
        else if (!r.reply.empty())
            finding = join(finding, say(kNoEnd, {cfmt("%zu", r.reply.size())}));
        if (r.lineErrors)
            finding = join(finding, say(kLineErrors));
        if (!r.reply.empty() || r.lineErrors)
            finding = join(finding, say(kLikelyFormat));
        break;
    }
    add(result(TDoctorCheck::Answer, TVerdict::Problem, finding, advice));
    const TDoctorOutcome unanswered = otherAddress_ ? TDoctorOutcome::OtherAddress : TDoctorOutcome::NothingAnswered;
    if (!setup_.search) {
        add(result(TDoctorCheck::Search, TVerdict::Skipped, say(kNotAsked)));
        finish(unanswered);
        return;
    }
    phase_ = TPhase::Search;
    if (otherAddress_) {
        // Something answers at the configured settings: all that is left to
        // know is whether it also answers under the address it signs with.
        const bool digits = signedAs_.size() == 2 && std::isdigit(static_cast<unsigned char>(signedAs_[0]))
            && std::isdigit(static_cast<unsigned char>(signedAs_[1]));
        const int signedAs = digits ? std::stoi(signedAs_) : -1;
        if (signedAs < 0 || signedAs > 31 || signedAs == setup_.config.Address) {
            add(result(TDoctorCheck::Search, TVerdict::Skipped, say(kNothingToTry, {signedAs_})));
            finish(unanswered);
            return;
        }
        plan_.add({configured_, static_cast<std::uint8_t>(signedAs)});
    } else {
        plan_.planConfigured();
    }
    queue(&TDoctor::searchStep);
}

bool TDoctor::applyLine(const TLineFormat& line)
{
    applyLineFormat(line, *port_);
    current_ = line;
    // The open port takes the new settings as they are; a closed one gets
    // them when the next exchange opens it.
    return !link_->portOpen() || port_->SetConnection() != 0;
}

void TDoctor::searchStep()
{
    // Once displays have answered at one setting, the tries of that setting
    // end the search.
    if (found_ && (plan_.done() || !(plan_.next().line == found_->line))) {
        finish(TDoctorOutcome::Found);
        return;
    }
    if (plan_.done() && otherAddress_) {
        add(result(TDoctorCheck::Search, TVerdict::Problem,
            join(say(kSignedSilent, {signedAs_, shortLineWords(configured_)}), triesWords(report_.tries))));
        finish(TDoctorOutcome::OtherAddress);
        return;
    }
    if (plan_.done() && !plan_.everywhere())
        plan_.planEverywhere();
    if (plan_.done()) {
        add(result(TDoctorCheck::Search, TVerdict::Problem,
            say(kNothingFound,
                {cfmt("%d", report_.tries), speedText(kLineSpeeds.front()), speedText(kLineSpeeds.back())}),
            say(kCheckWiring)));
        finish(TDoctorOutcome::NothingAnswered);
        return;
    }
    const TSearchTry t = plan_.next();
    if (!current_ || !(*current_ == t.line)) {
        if (!applyLine(t.line)) {
            // This device has no such setting: nothing can answer there.
            plan_.take();
            queue(&TDoctor::searchStep);
            return;
        }
    }
    const int requestMs = link_->wireMs(kReadRequestLength);
    const int timeoutMs = requestMs + link_->wireMs(kReadingReplyLength) + setup_.searchMarginMs;
    ++report_.tries;
    inFlight_ = true;
    report_.searchFloor += std::chrono::milliseconds(requestMs + timeoutMs);
    emit progress({report_.tries, plannedTries(), t.line, t.address});
    if (!running_)
        return;
    ask(t.address, timeoutMs);
}

void TDoctor::searchDone()
{
    const TExchangeReport& r = *last_;
    const TSearchTry t = plan_.take();
    inFlight_ = false;
    if (r.outcome == TExchangeOutcome::OpenFailed || r.outcome == TExchangeOutcome::LineLost) {
        add(result(TDoctorCheck::Search, TVerdict::Problem, say(kWentAway, {portText()}), say(kCheckPlug)));
        finish(TDoctorOutcome::CannotOpen);
        return;
    }
    const bool answered = carriesReading(r);
    if (t.confirm && !answered && !found_) {
        // The answer the try before got was a late reply to an earlier request.
        lateAt_ = t;
        queue(&TDoctor::askPatiently);
        return;
    }
    if (answered && !t.confirm) {
        // Only an answer given twice counts: a late reply to an earlier
        // request comes once.
        plan_.addNext({t.line, t.address, true});
    } else if (answered) {
        if (!found_)
            found_ = TFoundLine{t.line, {}, t.address};
        found_->addresses.push_back(t.address);
        // Everywhere, the setting's other addresses come next anyway.
        if (!plan_.everywhere() && !otherAddress_)
            plan_.planSweep(t.line);
    } else if (r.outcome == TExchangeOutcome::WrongAddress && !plan_.everywhere() && !otherAddress_) {
        // Something answers at these settings, from another address.
        plan_.planSweep(t.line);
    }
    queue(&TDoctor::searchStep);
}

int TDoctor::patientTimeoutMs() const
{
    return std::clamp(5 * setup_.answerTimeoutMs, 3000, 60000);
}

void TDoctor::askPatiently()
{
    phase_ = TPhase::Patient;
    // Replies to the search's tries may still be on their way: the patient
    // request goes out once the line has been quiet for as long as it waits.
    if (!applyLine(configured_)) {
        add(result(TDoctorCheck::Search, TVerdict::Problem, say(kWentAway, {portText()}), say(kCheckPlug)));
        finish(TDoctorOutcome::CannotOpen);
        return;
    }
    emit progress({report_.tries + 1, report_.tries + 1, configured_, setup_.config.Address});
    if (!running_)
        return;
    drainStart_ = quietSince_ = TLinkClock::now();
    drainTick();
}

void TDoctor::drainTick()
{
    const auto now = TLinkClock::now();
    if (port_->GetQCountIn() > 0) {
        port_->PurgeCommPort(PURGE_RXABORT | PURGE_RXCLEAR);
        quietSince_ = now;
    }
    const std::chrono::milliseconds wait(patientTimeoutMs());
    // A line that never goes quiet is asked all the same.
    if (now - quietSince_ < wait && now - drainStart_ < 3 * wait) {
        QTimer::singleShot(50, this, [this, run = run_] {
            if (run == run_ && running_)
                drainTick();
        });
        return;
    }
    const int requestMs = link_->wireMs(kReadRequestLength);
    ++report_.tries;
    report_.searchFloor += std::chrono::milliseconds(requestMs + patientTimeoutMs());
    ask(setup_.config.Address, patientTimeoutMs());
}

void TDoctor::patientDone()
{
    const TExchangeReport& r = *last_;
    if (r.outcome == TExchangeOutcome::OpenFailed || r.outcome == TExchangeOutcome::LineLost) {
        add(result(TDoctorCheck::Search, TVerdict::Problem, say(kWentAway, {portText()}), say(kCheckPlug)));
        finish(TDoctorOutcome::CannotOpen);
        return;
    }
    const std::string address = addressOf(setup_.config.Address);
    const std::string waited = cfmt("%.1f", patientTimeoutMs() / 1000.0);
    const auto latency = r.latency();
    TWords finding = say(kLateSearch, {addressOf(lateAt_->address), shortLineWords(lateAt_->line)});
    if (carriesReading(r)) {
        finding = join(finding, say(kPatientAnswer, {shortLineWords(configured_), waited, address,
                                                        cfmt("%.1f", static_cast<double>(latency.count()) / 1000.0)}));
        // Twice what it took, in whole half seconds, leaves room for a slower day.
        if (latency.count() > setup_.answerTimeoutMs) {
            report_.slowLatency = latency;
            report_.suggestedTimeoutMs = static_cast<int>(std::min<long long>((latency.count() * 2 + 499) / 500 * 500, 60000));
        }
    } else {
        finding = join(finding, say(kPatientSilent, {shortLineWords(configured_), waited, address}));
    }
    add(result(TDoctorCheck::Search, TVerdict::Problem, join(finding, triesWords(report_.tries))));
    finish(TDoctorOutcome::SlowReply);
}

void TDoctor::cancel()
{
    if (!running_)
        return;
    finish(TDoctorOutcome::Cancelled);
}

void TDoctor::finish(TDoctorOutcome outcome)
{
    if (!running_)
        return;
    running_ = false;
    ++run_;
    cut_.stop();
    cutting_ = false;
    link_->closePort();
    auto add = [this](TCheckResult r) {
        report_.checks.push_back(r);
        emit checkDone(r);
    };
    const bool searched = phase_ != TPhase::Answer;
    phase_ = TPhase::Answer;
    std::string addressList;
    if (outcome == TDoctorOutcome::Found) {
        std::sort(found_->addresses.begin(), found_->addresses.end());
        const auto& as = found_->addresses;
        const bool configured = std::find(as.begin(), as.end(), setup_.config.Address) != as.end();
        found_->Address = configured ? setup_.config.Address : as.front();
        // Another address is proposed only where one display alone answers:
        // on a bus, any other one would be set up as if it were this one.
        if (!configured && as.size() > 1)
            outcome = TDoctorOutcome::OthersAnswer;
        // What the device does not keep was never tried: the configured stays.
        if (pseudoTerminal_) {
            found_->line.parity = configured_.parity;
            found_->line.dataBits = configured_.dataBits;
        }
        std::vector<std::string> list;
        for (std::uint8_t a : as)
            list.push_back(cfmt("%02d", a));
        addressList = joinList(list);
        TWords finding = say(as.size() == 1 ? kFoundOne : kFoundMany,
            {shortLineWords(found_->line), addressList, cfmt("%d", report_.tries)});
        if (outcome == TDoctorOutcome::OthersAnswer)
            finding = join(finding, say(kNoneAsConfigured, {addressOf(setup_.config.Address)}));
        add(result(TDoctorCheck::Search, outcome == TDoctorOutcome::Found ? TVerdict::Ok : TVerdict::Problem, finding));
        (outcome == TDoctorOutcome::Found ? report_.found : report_.answering) = found_;
    }
    // Every check has a line: those the run did not reach say why.
    const bool cannotOpen = outcome == TDoctorOutcome::CannotOpen;
    for (int c = static_cast<int>(report_.checks.size()); c < kDoctorCheckCount; ++c) {
        const auto check = static_cast<TDoctorCheck>(c);
        TWords why = say(cannotOpen ? kPortUnusable : kCancelled);
        if (check == TDoctorCheck::Search && outcome == TDoctorOutcome::Answers)
            why = say(kNotNeeded);
        else if (check == TDoctorCheck::Search && outcome == TDoctorOutcome::Cancelled && searched)
            why = say(kCancelledAfter, {cfmt("%d", report_.tries), cfmt("%d", plannedTries())});
        add(result(check, TVerdict::Skipped, why));
    }
    report_.outcome = outcome;
    const std::string port = portText();
    switch (outcome) {
    case TDoctorOutcome::Answers:
        report_.conclusion = say(kAllGood);
        break;
    case TDoctorOutcome::Found:
        report_.conclusion = say(kUseInstead, {fullLineWords(found_->line, found_->Address),
                                                  say(kLineAddress, {shortLineWords(configured_), addressOf(setup_.config.Address)})});
        if (found_->Address != setup_.config.Address)
            report_.conclusion = join(report_.conclusion,
                say(kOtherDisplay, {cfmt("%02d", found_->Address), addressOf(setup_.config.Address)}));
        if (pseudoTerminal_)
            report_.conclusion = join(report_.conclusion, say(kPseudoFormat, {shownName(path_)}));
        break;
    case TDoctorOutcome::OthersAnswer:
        report_.conclusion = say(kOthersAnswer, {addressOf(setup_.config.Address), addressList, shortLineWords(found_->line)});
        if (pseudoTerminal_)
            report_.conclusion = join(report_.conclusion, say(kPseudoFormat, {shownName(path_)}));
        break;
    case TDoctorOutcome::NothingAnswered:
        report_.conclusion = join(say(kNothing, {port}), setup_.search ? say(kCheckWiring) : say(kTrySearch));
        break;
    case TDoctorOutcome::SlowReply:
        report_.conclusion = report_.suggestedTimeoutMs > 0
            ? say(kSlowVerdict, {addressOf(setup_.config.Address), shortLineWords(configured_),
                                    cfmt("%.1f", static_cast<double>(report_.slowLatency.count()) / 1000.0),
                                    cfmt("%.1f", setup_.answerTimeoutMs / 1000.0), cfmt("%d", report_.suggestedTimeoutMs)})
            : say(kLateVerdict, {port});
        break;
    case TDoctorOutcome::OtherAddress:
        report_.conclusion = say(kSignedVerdict, {addressOf(setup_.config.Address), shortLineWords(configured_), signedAs_});
        break;
    case TDoctorOutcome::CannotOpen: {
        const auto problem = std::find_if(report_.checks.begin(), report_.checks.end(),
            [](const TCheckResult& c) { return c.verdict == TVerdict::Problem; });
        const TDoctorCheck check = problem == report_.checks.end() ? TDoctorCheck::Echo : problem->check;
        report_.conclusion = say(kFixFirst, {say(kCheckNames[static_cast<int>(check)])});
        break;
    }
    case TDoctorOutcome::Cancelled:
        report_.conclusion = say(kRunCancelled);
        break;
    }
    emit finished(report_);
}

void applyFoundLine(const TFoundLine& found, TDisplayConfig& config)
{
    storeLineFormat(found.line, config);
    config.Address = found.Address;
}
