// One exchange, end to end through the real serial component: replies in
// pieces, an adapter's echo, CR LF endings, silence, stray traffic that must
// not stretch the deadline, replies for other addresses, an XOFF left behind.
#include <QSignalSpy>
#include <QtTest>

#include "link/DisplayLink.h"
#include "link/LinkTexts.h"
#include "protocol/Requests.h"
#include "protocol/RxBuffer.h"
#include "serial/Zcomm.h"
#include "support/PtyDisplay.h"

namespace {

using namespace std::chrono_literals;
using testsupport::PtyDisplay;
using Outcome = TExchangeOutcome;

const std::string kRequest = "@00L\r";
const std::string kReading = "@00RL   12.5 RR10\r";

std::vector<std::uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

// The next report: one given while the exchange started, or one to come.
TExchangeReport nextReport(QSignalSpy& finished, int ms = 30000)
{
    if (finished.isEmpty() && !finished.wait(ms)) {
        TExchangeReport none;
        none.outcome = TExchangeOutcome::Abandoned;
        return none;
    }
    return finished.takeFirst().at(0).value<TExchangeReport>();
}

struct Case {
    const char* name;
    bool bus;                                  // dadizctl's manner: port kept open, other addresses set aside
    std::function<void(PtyDisplay&)> answer;   // what the display does on the request
    Outcome outcome;
    std::string reply;
    bool echo = false;
    std::size_t setAside = 0;
    std::optional<TTrafficNote> note = {};     // a traffic line that must be there
    std::string request = kRequest;
};

// A display on a pseudo-terminal and the link to it, as the program holds them.
struct Line {
    Line() { port.Port = display.path; }
    PtyDisplay display;
    TZComm port;
    TRxBuffer rx;
    TDisplayLink link{port, rx};
};

// Sends `text` in pieces `ms` apart.
void inPieces(PtyDisplay& d, const std::vector<std::string>& pieces, int ms)
{
    for (std::size_t i = 0; i < pieces.size(); ++i)
        d.sendLater(pieces[i], static_cast<int>(i) * ms);
}

} // namespace

class TestLink : public QObject {
    Q_OBJECT
private slots:
    void exchangesEndAsTheLineBehaves()
    {
        const Case cases[] = {
            {"reply in pieces", false, [](PtyDisplay& d) { inPieces(d, {"@00", "RL   12.5 ", "RR10\r"}, 30); },
                Outcome::Reply, kReading},
            {"echo and reply in one piece", false, [](PtyDisplay& d) { d.send(kRequest + kReading); }, Outcome::Reply,
                kReading, true, 0, TTrafficNote::EchoDropped},
            {"echo, then the reply", false, [](PtyDisplay& d) { inPieces(d, {kRequest, kReading}, 60); },
                Outcome::Reply, kReading, true},
            {"CR LF ending", false, [](PtyDisplay& d) { d.send(kReading + "\n"); }, Outcome::Reply, kReading, false,
                0, TTrafficNote::AfterCR},
            {"silence", false, [](PtyDisplay&) {}, Outcome::NoReply, "", false, 0, TTrafficNote::NoReply},
            {"another address", false, [](PtyDisplay& d) { d.send("@05RL   12.5 RR10\r"); }, Outcome::WrongAddress,
                "@05RL   12.5 RR10\r"},
            {"other letters", false, [](PtyDisplay& d) { d.send("@00RE\r"); }, Outcome::Unexpected, "@00RE\r", false,
                0, TTrafficNote::Unexpected, "@00P\r"},
            {"no end", false, [](PtyDisplay& d) { d.send(std::string(250, 'x')); }, Outcome::Overflow,
                std::string(202, 'x')},
            {"noise", false, [](PtyDisplay& d) { d.send("~x#\r"); }, Outcome::Unexpected, "~x#\r", false, 0,
                TTrafficNote::Noise},
            {"bus: noise, then the reply", true, [](PtyDisplay& d) { inPieces(d, {"~x#\r", kReading}, 50); },
                Outcome::Reply, kReading, false, 1, TTrafficNote::Noise},
            {"bus: a late answer, then the reply", true,
                [](PtyDisplay& d) { inPieces(d, {"@05RL    1.0 RR00\r", kReading}, 50); }, Outcome::Reply, kReading,
                false, 1, TTrafficNote::SetAside},
            {"bus: echo, a late answer and the reply together", true,
                [](PtyDisplay& d) { d.send(kRequest + "@05RL    1.0 RR00\r" + kReading); }, Outcome::Reply, kReading,
                true, 1},
        };
        for (const Case& c : cases) {
            Line line;
            PtyDisplay& display = line.display;
            TDisplayLink& link = line.link;
            QVERIFY(display.ok());
            // A reply's pieces come well within the time-out, however busy the machine.
            link.setReplyTimeout(c.outcome == Outcome::NoReply ? 300 : 10000);
            link.setCloseAfterExchange(!c.bus);
            link.setSetAsideOtherAddresses(c.bus);
            display.onRequest = [&](const std::string&) { c.answer(display); };
            std::vector<TTrafficRecord> traffic;
            QObject::connect(&link, &TDisplayLink::traffic, &link, [&](const TTrafficRecord& r) { traffic.push_back(r); });
            QSignalSpy finished(&link, &TDisplayLink::finished);

            QVERIFY2(link.start(3, bytes(c.request)), c.name);
            const TExchangeReport report = nextReport(finished);
            QVERIFY2(report.outcome == c.outcome, c.name);
            QCOMPARE(std::string(report.reply.begin(), report.reply.end()), c.reply);
            QVERIFY2(report.echoDropped == c.echo, c.name);
            QVERIFY2(report.setAside.size() == c.setAside, c.name);
            QVERIFY2(!link.pending(), c.name);
            // The window's manner closes the port after every exchange.
            QVERIFY2(link.portOpen() == c.bus, c.name);
            QVERIFY2(!traffic.empty() && traffic.front().direction == TTrafficDirection::Sent
                    && traffic.front().bytes == bytes(c.request),
                c.name);
            if (c.note)
                QVERIFY2(std::ranges::any_of(traffic, [&](const auto& r) { return r.note == *c.note; }), c.name);
            // Noise is never said to come from an address.
            if (c.note == TTrafficNote::Noise && !c.bus)
                QCOMPARE(exchangeNotice(report, TLanguage::English, false), std::string("Reading: noise on ") + report.port
                        + " instead of a reply from display 00");
            if (c.outcome == Outcome::NoReply)
                QVERIFY2(report.latency() >= 300ms, c.name);
        }
    }

    // The time-out is a deadline from the request's last byte: stray bytes and
    // replies for other addresses never move it on, so a bus that is never
    // quiet cannot hold a request for ever.
    void strayTrafficDoesNotStretchTheDeadline()
    {
        const std::pair<const char*, std::string> strays[] = {
            {"a trickle of noise", "x"},
            {"replies for another address", "@05RL    1.0 RR00\r"},
        };
        for (const auto& [name, stray] : strays) {
            Line line;
            PtyDisplay& display = line.display;
            TDisplayLink& link = line.link;
            QVERIFY(display.ok());
            link.setReplyTimeout(300);
            link.setSetAsideOtherAddresses(true);
            QTimer pump;
            pump.setInterval(60);
            connect(&pump, &QTimer::timeout, &display, [&, stray = stray] { display.send(stray); });
            display.onRequest = [&](const std::string&) { pump.start(); };
            QSignalSpy finished(&link, &TDisplayLink::finished);
            QVERIFY(link.start(3, bytes(kRequest)));
            const TExchangeReport report = nextReport(finished, 60000);
            pump.stop();
            QVERIFY2(report.outcome == Outcome::NoReply, name);
            QVERIFY2(report.latency() >= 300ms, name);
        }
    }

    // A display that sent XOFF once must not block the line for later exchanges,
    // on a port kept open as on a port opened again.
    void aStrayXoffDoesNotBlockTheNextExchange()
    {
        for (const bool keepOpen : {true, false}) {
            Line line;
            PtyDisplay& display = line.display;
            TDisplayLink& link = line.link;
            QVERIFY(display.ok());
            link.setCloseAfterExchange(!keepOpen);
            display.onRequest = [&](const std::string&) { display.send(kReading + "\x13"); };
            QSignalSpy finished(&link, &TDisplayLink::finished);
            for (int i = 0; i < 3; ++i) {
                QVERIFY(link.start(3, bytes(kRequest)));
                QVERIFY2(nextReport(finished).outcome == Outcome::Reply, keepOpen ? "kept open" : "opened again");
            }
        }
    }

    // Where late replies are awaited (the window), an exchange that ended
    // without its reply keeps listening for it: the reply is shown as late and
    // dropped, and the next request is written only once the line is quiet,
    // so it is never taken for that request's answer.
    void aLateReplyIsNeverTheNextRequestsAnswer()
    {
        struct LateCase {
            const char* name;
            Outcome ending;      // how the first exchange ends
            bool lateReply;      // its reply comes after that
            bool noise = false;  // then bytes without end, which never fall quiet
        };
        const LateCase cases[] = {
            {"time-out, then its reply", Outcome::NoReply, true},
            {"abandoned, then its reply", Outcome::Abandoned, true},
            {"time-out and silence", Outcome::NoReply, false},
            {"time-out, then noise that does not stop", Outcome::NoReply, false, true},
        };
        for (const LateCase& c : cases) {
            Line line;
            PtyDisplay& display = line.display;
            TDisplayLink& link = line.link;
            QVERIFY(display.ok());
            link.setReplyTimeout(300);
            link.setAwaitLateReplies(true);
            std::string firstReply;
            display.onRequest = [&](const std::string& frame) {
                if (display.requests == 1)
                    firstReply = display.answerTo(frame);
                else
                    display.send(display.answerTo(frame));
            };
            std::vector<TTrafficRecord> traffic;
            QObject::connect(&link, &TDisplayLink::traffic, &link, [&](const TTrafficRecord& r) { traffic.push_back(r); });
            QSignalSpy finished(&link, &TDisplayLink::finished);
            QSignalSpy late(&link, &TDisplayLink::lateReply);

            QVERIFY2(link.start(3, bytes(kRequest)), c.name);
            QTRY_COMPARE(display.requests, 1);
            if (c.ending == Outcome::Abandoned)
                link.start(3, bytes(kRequest));
            const TExchangeReport first = nextReport(finished);
            QVERIFY2(first.outcome == c.ending, c.name);
            // The port stays open for the reply the display may still send.
            QVERIFY2(link.busy() && link.portOpen(), c.name);
            if (c.lateReply)
                display.sendLater(firstReply, 20);
            for (int i = 0; c.noise && i < 200; ++i)
                display.sendLater("x", i * 20);
            if (c.ending != Outcome::Abandoned)
                QVERIFY2(link.start(3, bytes(kRequest)), c.name);
            // Asked, but not written while the line may still bring the late reply.
            QVERIFY2(link.pending() && display.requests == 1, c.name);

            QTRY_VERIFY2_WITH_TIMEOUT(display.requests == 2, c.name, 5000);
            if (c.noise)
                continue;
            const TExchangeReport second = nextReport(finished, 3000);
            QVERIFY2(second.outcome == Outcome::Reply, c.name);
            QCOMPARE(std::string(second.reply.begin(), second.reply.end()), std::string("@00RL       2RR10\r"));
            QVERIFY2(!link.busy() && !link.portOpen(), c.name);
            // The late reply is shown as such, in the order things happened.
            const auto lateRow = std::ranges::find_if(traffic, [](const auto& r) { return r.note == TTrafficNote::Late; });
            QVERIFY2((lateRow != traffic.end()) == c.lateReply, c.name);
            QVERIFY2(late.count() == (c.lateReply ? 1 : 0), c.name);
            if (!c.lateReply)
                continue;
            QCOMPARE(std::string(lateRow->bytes.begin(), lateRow->bytes.end()), firstReply);
            const auto secondSent = std::find_if(lateRow, traffic.end(),
                [](const auto& r) { return r.direction == TTrafficDirection::Sent; });
            QVERIFY2(secondSent != traffic.end(), c.name);
        }
    }

    void noticesSayWhatWasAskedInEachLanguage()
    {
        TExchangeReport r;
        r.kind = 3;
        r.request = bytes("@07L\r");
        r.port = "COM1";
        r.device = "/dev/ttyUSB0";
        r.sent = TLinkClock::now();
        r.ended = r.sent + 1000ms;
        r.outcome = Outcome::NoReply;
        const char* expected[] = {
            "Lectura: cap resposta del visualitzador 07 a COM1 (/dev/ttyUSB0) després de 1.0 s",
            "Lectura: sin respuesta del visualizador 07 en COM1 (/dev/ttyUSB0) tras 1.0 s",
            "Lecture : pas de réponse de l'afficheur 07 sur COM1 (/dev/ttyUSB0) après 1.0 s",
            "Reading: no reply from display 07 on COM1 (/dev/ttyUSB0) after 1.0 s",
        };
        for (TLanguage l : kLanguages)
            QCOMPARE(QString::fromStdString(exchangeNotice(r, l)), QString::fromUtf8(expected[languagePlace(l)]));
        r.outcome = Outcome::WrongAddress;
        r.reply = bytes("@05RL    1.0 RR00\r");
        QCOMPARE(QString::fromStdString(exchangeNotice(r, TLanguage::English)),
            QStringLiteral("Reading: reply from another address (05) on COM1 (/dev/ttyUSB0), not from display 07"));
        r.outcome = Outcome::Reply;
        QVERIFY(exchangeNotice(r, TLanguage::English).empty());
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "test_link.moc"
