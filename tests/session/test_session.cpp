// The display session's rules without a window: a session (or several on one
// line) against the simulated display, with a QCoreApplication only.
#include <QSignalSpy>
#include <QtTest>

#include "config/DisplayConfig.h"
#include "config/RecordCodec.h"
#include "link/Traffic.h"
#include "session/DisplayLine.h"
#include "session/DisplaySession.h"
#include "support/SimProcess.h"

namespace {

using testsupport::SimProcess;

// A simulated display line and the sessions' line to it.
struct Rig {
    Rig(const QStringList& simArgs, int timeoutMs) : sim(DADIZ_SIM_PATH, simArgs)
    {
        resetToDefaults(config);
        line.setLineSource([this]() -> const TDisplayConfig& { return config; }, sim.device);
        line.setReplyTimeout(timeoutMs);
        QObject::connect(&line.link(), &TDisplayLink::traffic, &line, [this](const TTrafficRecord& r) { rows.push_back(r); });
    }

    // The frames written, in order, from row `from` on.
    std::vector<std::string> sent(std::size_t from = 0) const
    {
        std::vector<std::string> frames;
        for (std::size_t i = from; i < rows.size(); ++i)
            if (rows[i].direction == TTrafficDirection::Sent)
                frames.emplace_back(rows[i].bytes.begin(), rows[i].bytes.end());
        return frames;
    }

    // Every request was written once the one before had ended: its reply,
    // its time-out or its abandon; late bytes and other displays' replies end nothing.
    bool oneAtATime() const
    {
        bool open = false;
        for (const TTrafficRecord& r : rows) {
            if (r.direction == TTrafficDirection::Sent) {
                if (open)
                    return false;
                open = true;
            } else if (r.note != TTrafficNote::Late && r.note != TTrafficNote::AfterCR
                && r.note != TTrafficNote::SetAside) {
                open = false;
            }
        }
        return true;
    }

    SimProcess sim;
    TDisplayConfig config;
    TDisplayLine line;
    std::vector<TTrafficRecord> rows;
};

// What one session told.
struct Told {
    explicit Told(TDisplaySession& session)
    {
        QObject::connect(&session, &TDisplaySession::reading, &session,
            [this](const TSessionReading& r) { readings.push_back(r); });
        QObject::connect(&session, &TDisplaySession::readingToggled, &session,
            [this](TReadingToggle t) { toggles.push_back(t); });
        QObject::connect(&session, &TDisplaySession::lateReply, &session, [this] { ++late; });
        QObject::connect(&session, &TDisplaySession::configurationReceived, &session, [this] { ++received; });
        QObject::connect(&session, &TDisplaySession::calibrationReceived, &session,
            [this](const TCalibrationTexts& t) { calibration.push_back(t); });
    }
    int good() const
    {
        return static_cast<int>(std::ranges::count_if(readings, [](const TSessionReading& r) { return !r.missed; }));
    }
    int missed() const { return static_cast<int>(readings.size()) - good(); }

    std::vector<TSessionReading> readings;
    std::vector<TReadingToggle> toggles;
    std::vector<TCalibrationTexts> calibration;
    int late = 0;
    int received = 0;
};

bool waitFor(const std::function<bool()>& done, int ms = 20000)
{
    return QTest::qWaitFor(done, ms);
}

} // namespace

class TestSession : public QObject {
    Q_OBJECT
private slots:
    // Continuous reading keeps one reading on the line: a display slower than
    // the period is read as often as it answers, and every reading is its own.
    void continuousReadingFollowsTheDisplay_data()
    {
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<bool>("answered");
        // Slower than the period but within its time-out: ticks are skipped, nothing is missed.
        QTest::newRow("slower than the period") << QStringList{QStringLiteral("--delay"), QStringLiteral("700")} << 3000
                                                << true;
        // Every reply after its time-out: each is late, none is taken for the next request's.
        QTest::newRow("slower than the time-out") << QStringList{QStringLiteral("--delay"), QStringLiteral("500")}
                                                  << 250 << false;
    }
    void continuousReadingFollowsTheDisplay()
    {
        QFETCH(QStringList, sim);
        QFETCH(int, timeoutMs);
        QFETCH(bool, answered);
        Rig rig(sim, timeoutMs);
        QVERIFY(rig.sim.ok());
        TDisplaySession session(rig.line, rig.config);
        Told told(session);
        QCOMPARE(session.toggleContinuousReading(), TReadingToggle::Started);
        QCOMPARE(session.state(), TSessionState::ReadingContinuously);
        QVERIFY(waitFor([&] { return told.readings.size() >= 4; }));
        session.stopContinuousReading();
        QCOMPARE(session.state(), session.pendingKind() == NoRequest ? TSessionState::Idle : TSessionState::Requesting);

        QVERIFY2(rig.oneAtATime(), "a request was written while the one before still waited");
        // No tick gave up the reading still waiting.
        QVERIFY(std::ranges::none_of(rig.rows, [](const TTrafficRecord& r) { return r.note == TTrafficNote::Abandoned; }));
        if (answered) {
            QCOMPARE(told.missed(), 0);
            QCOMPARE(session.missedReadings(), 0);
            QVERIFY(!session.valueStale());
            for (const TSessionReading& r : told.readings)
                QVERIFY(r.reading.value.has_value());
        } else {
            QCOMPARE(told.good(), 0);
            QVERIFY(told.late > 0);
            QVERIFY(session.missedReadings() >= 4);
            QVERIFY(session.valueStale());
            for (const TSessionReading& r : told.readings) {
                QCOMPARE(r.report.outcome, TExchangeOutcome::NoReply);
                QVERIFY(r.missedInRow > 0);
            }
        }
    }

    // "Update running" clicked while a request is under way: reading starts
    // when it ends; a second click takes that back.
    void aClickDuringARequestIsHonoured_data()
    {
        QTest::addColumn<int>("clicks");
        QTest::newRow("one click") << 1;
        QTest::newRow("two clicks") << 2;
    }
    void aClickDuringARequestIsHonoured()
    {
        QFETCH(int, clicks);
        Rig rig({QStringLiteral("--delay"), QStringLiteral("300")}, 3000);
        QVERIFY(rig.sim.ok());
        TDisplaySession session(rig.line, rig.config);
        Told told(session);
        QVERIFY(session.readValue());
        QCOMPARE(session.state(), TSessionState::Requesting);
        QCOMPARE(session.pendingKind(), DisplayReadingRequest);
        for (int i = 0; i < clicks; ++i)
            session.toggleContinuousReading();
        QCOMPARE(session.readingArmed(), clicks == 1);
        QVERIFY(waitFor([&] { return !told.readings.empty(); }));
        if (clicks == 1) {
            QVERIFY(waitFor([&] { return session.continuousReading(); }));
            QCOMPARE(told.toggles, (std::vector{TReadingToggle::Armed, TReadingToggle::Started}));
            QVERIFY(waitFor([&] { return told.readings.size() >= 2; }));
            QCOMPARE(told.missed(), 0);
        } else {
            QVERIFY(waitFor([&] { return session.state() == TSessionState::Idle; }));
            QTest::qWait(2 * session.readingPeriod());
            QVERIFY(!session.continuousReading());
            QCOMPARE(told.toggles, (std::vector{TReadingToggle::Armed, TReadingToggle::Disarmed}));
            QCOMPARE(told.readings.size(), std::size_t{1});
        }
    }

    // A configuration read that gets no reply, or a wrong one, changes
    // nothing; what waited for it runs all the same, once.
    void aReceiveThatFailsChangesNothing_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("silent") << QStringLiteral("--silent");
        QTest::newRow("another address") << QStringLiteral("--wrong-address");
        QTest::newRow("noise") << QStringLiteral("--noise");
    }
    void aReceiveThatFailsChangesNothing()
    {
        QFETCH(QString, fault);
        Rig rig({fault}, 400);
        QVERIFY(rig.sim.ok());
        rig.config.InputValue1 = 42.5;
        rig.config.DecimalPoint = 2;
        const TRecord before = encodeRecord(rig.config);
        TDisplaySession session(rig.line, rig.config);
        Told told(session);
        int ran = 0;
        QVERIFY(!session.runAfterReceive(1, [&] { ++ran; }));
        QVERIFY(session.receiveConfiguration());
        QVERIFY(session.runAfterReceive(1, [&] { ++ran; }));
        QVERIFY(session.runAfterReceive(1, [&] { ++ran; }));
        QVERIFY(waitFor([&] { return ran > 0; }));
        QCOMPARE(ran, 1);
        QCOMPARE(told.received, 0);
        QCOMPARE(session.pendingKind(), NoRequest);
        QVERIFY(encodeRecord(rig.config) == before);
    }

    // The calibration screen has the line: no reading goes while it is open,
    // its request is answered, and reading resumes after it.
    void theCalibrationPause()
    {
        Rig rig({}, 3000);
        QVERIFY(rig.sim.ok());
        TDisplaySession session(rig.line, rig.config);
        Told told(session);
        session.toggleContinuousReading();
        QVERIFY(waitFor([&] { return told.readings.size() >= 2; }));
        session.pause();
        QCOMPARE(session.state(), TSessionState::Paused);
        QCOMPARE(session.pendingKind(), NoRequest);
        const std::size_t mark = rig.rows.size();
        const std::size_t readingsThen = told.readings.size();
        QVERIFY(session.readCalibration());
        QVERIFY(waitFor([&] { return !told.calibration.empty(); }));
        QVERIFY(std::ranges::any_of(told.calibration.front(), [](const auto& item) { return item.has_value(); }));
        QTest::qWait(3 * session.readingPeriod());
        QCOMPARE(rig.sent(mark), std::vector<std::string>{"@00C\r"});
        QCOMPARE(told.readings.size(), readingsThen);
        QVERIFY(session.continuousReading());
        session.resume();
        QCOMPARE(session.state(), TSessionState::ReadingContinuously);
        QVERIFY(waitFor([&] { return told.readings.size() > readingsThen; }));
        QCOMPARE(told.missed(), 0);
    }

    // Three displays on one line, the second silent: each session's readings
    // are its own display's, the silent one costs only its own.
    void severalAddressesOnOneLine()
    {
        Rig rig({QStringLiteral("--bus"), QStringLiteral("1,2,3"), QStringLiteral("--silent-address"),
                    QStringLiteral("2")},
            300);
        QVERIFY(rig.sim.ok());
        std::vector<std::unique_ptr<TDisplaySession>> sessions;
        std::vector<std::unique_ptr<Told>> told;
        for (std::uint8_t address : {1, 2, 3}) {
            sessions.push_back(std::make_unique<TDisplaySession>(rig.line, address));
            told.push_back(std::make_unique<Told>(*sessions.back()));
        }
        for (auto& s : sessions)
            QCOMPARE(s->toggleContinuousReading(), TReadingToggle::Started);
        QVERIFY(waitFor([&] { return std::ranges::all_of(told, [](const auto& t) { return t->readings.size() >= 3; }); }));
        for (auto& s : sessions)
            s->stopContinuousReading();

        for (std::size_t i = 0; i < sessions.size(); ++i) {
            const bool silent = sessions[i]->address() == 2;
            QCOMPARE(told[i]->good(), silent ? 0 : static_cast<int>(told[i]->readings.size()));
            for (const TSessionReading& r : told[i]->readings) {
                const std::string request(r.report.request.begin(), r.report.request.end());
                QCOMPARE(request, cfmtAddress(sessions[i]->address()));
                if (!silent)
                    QCOMPARE(std::string(r.report.reply.begin(), r.report.reply.begin() + 3), request.substr(0, 3));
            }
        }
        QVERIFY(rig.oneAtATime());
    }

private:
    static std::string cfmtAddress(int address)
    {
        char frame[8];
        std::snprintf(frame, sizeof frame, "@%02dL\r", address);
        return frame;
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "test_session.moc"
