// Continuous reading against slow displays, end to end: the real window, with
// the traffic monitor and the trend open, reads the simulated display on a
// pseudo-terminal. A reply is credited only to the request it answers; what
// the window, the monitor and the trend show says so. And the commands asked
// while an exchange is under way: "Update running" armed, dialogs queued.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <map>

#include "app/Qxtest.h"
#include "config/DisplayConfig.h"
#include "dialogs/Confentanalogica.h"
#include "dialogs/Confreles.h"
#include "link/DisplayLink.h"
#include "serial/PortMap.h"
#include "serial/Zcomm.h"
#include "support/MainWindowHome.h"
#include "support/Modal.h"
#include "support/SimProcess.h"
#include "windows/TrafficMonitor.h"
#include "windows/TrendWindow.h"

using testsupport::SimProcess;

namespace {

// The outcome words of the monitor's received rows, and how often each came.
std::map<QString, int> outcomes(const TTrafficModel& model)
{
    std::map<QString, int> out;
    for (int row = 0; row < model.rowCount(); ++row)
        if (model.index(row, TTrafficModel::DirectionColumn).data().toString() == QLatin1String("Received"))
            ++out[model.index(row, TTrafficModel::OutcomeColumn).data().toString()];
    return out;
}

int sentRows(const TTrafficModel& model)
{
    int n = 0;
    for (int row = 0; row < model.rowCount(); ++row)
        n += model.index(row, TTrafficModel::DirectionColumn).data().toString() == QLatin1String("Sent");
    return n;
}

} // namespace

class TestLiveReading : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
        link_ = config_.filePath(QStringLiteral("ttyDISPLAY"));
        QVERIFY(setMappedDevice(1, link_.toStdString()));
    }

    void init() { resetToDefaults(DisplayConfig); }

    // The display takes longer than the 500 ms period; with the default
    // time-out of 1.0 s, once just after it and once within it.
    void slowDisplaysAreReadAsTheyAnswer_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("inTime");
        QTest::newRow("just over the time-out") << 1100 << false;
        QTest::newRow("slower than the period, within the time-out") << 700 << true;
    }
    void slowDisplaysAreReadAsTheyAnswer()
    {
        QFETCH(int, delayMs);
        QFETCH(bool, inTime);
        SimProcess sim(DADIZ_SIM_PATH, {QStringLiteral("--link"), link_, QStringLiteral("--delay"),
                                           QString::number(delayMs)});
        QVERIFY(sim.ok());
        testsupport::MainWindowHome main;
        main->show();
        main->LanguageIndex = 3;
        main->applyLanguage();
        main->controls().trafficMonitorItem->trigger();
        main->controls().trendItem->trigger();
        auto* monitor = main->findChild<TTrafficMonitor*>();
        auto* trend = main->findChild<TTrendWindow*>();
        QVERIFY(monitor && trend);
        const TTrafficModel& model = *monitor->model();
        // Each reply taken, and how long after its request's last byte it came.
        std::vector<long long> taken;
        connect(main->Link(), &TDisplayLink::finished, this, [&](const TExchangeReport& r) {
            if (r.outcome == TExchangeOutcome::Reply)
                taken.push_back(r.latency().count());
        });
        QSignalSpy shown(main.get(), &TForm1::displayReadingShown);

        QTest::mouseClick(main->controls().ActConti, Qt::LeftButton);
        if (inTime) {
            QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 3 && main->MissedReadings() == 0, 20000);
            QVERIFY(!main->controls().Edit[14]->property("stale").toBool());
            QCOMPARE(main->controls().Edit[14]->text().size(), 8);
            QVERIFY(main->controls().NoticeLabel->text().isEmpty());
        } else {
            // The notice counts the misses and says that the replies come late.
            const QRegularExpression notice(QStringLiteral(
                "^\\d+ readings missed, late reply \\(\\d+\\.\\d s\\) \u2014 Reading: no reply from display 00 on "
                "COM1 \\(.*\\) after \\d+\\.\\d s$"));
            QTRY_VERIFY_WITH_TIMEOUT(main->MissedReadings() >= 2 && outcomes(model)[QStringLiteral("Late, dropped")] >= 1
                    && notice.match(main->controls().NoticeLabel->toolTip()).hasMatch(),
                20000);
            // Nothing is shown as read: the box keeps its blank, greyed.
            QCOMPARE(shown.count(), 0);
            QCOMPARE(main->controls().Edit[14]->text(), QStringLiteral("   "));
            QVERIFY(main->controls().Edit[14]->property("stale").toBool());
        }
        QTest::mouseClick(main->controls().ActConti, Qt::LeftButton);
        QCOMPARE(main->ContinuousReading(), 0);
        // Every request ends once and its late reply is heard out before the line is let go.
        QTRY_VERIFY_WITH_TIMEOUT(!main->Link()->busy(), 10000);
        QCOMPARE(main->ZComm1()->Connected, 0);

        // A reply is taken only for the request it answers: never sooner
        // after its request than the display takes.
        for (long long ms : taken)
            QVERIFY2(ms >= delayMs - 100, qPrintable(QString::number(ms)));
        QCOMPARE(static_cast<int>(taken.size()), shown.count());
        if (!inTime)
            QVERIFY(taken.empty());
        // No reading was given up for the next one, and each request ended
        // once. Pause and resume show every row the monitor still holds.
        auto* pause = monitor->findChild<QPushButton*>(QStringLiteral("PauseButton"));
        pause->click();
        pause->click();
        std::map<QString, int> rows = outcomes(model);
        QCOMPARE(rows[QStringLiteral("OK")] + rows[QStringLiteral("No reply")], sentRows(model));
        QCOMPARE(rows[QStringLiteral("Abandoned")], 0);
        if (!inTime)
            QCOMPARE(rows[QStringLiteral("OK")], 0);

        // The trend has every reading, taken or missed, as the window had it.
        const TTrendStore& store = trend->store();
        const TTrendStats all = store.stats(*store.firstTime(), *store.lastTime());
        QCOMPARE(all.readings, static_cast<std::uint64_t>(sentRows(model)));
        QCOMPARE(all.readings - all.missed, static_cast<std::uint64_t>(shown.count()));
    }

    // "Update running" while a reading is under way: the button shows that
    // reading is armed, a second click takes it back, and both are said.
    void updateRunningAskedDuringAnExchangeIsArmed()
    {
        SimProcess sim(DADIZ_SIM_PATH, {QStringLiteral("--link"), link_, QStringLiteral("--delay"), QStringLiteral("500")});
        QVERIFY(sim.ok());
        testsupport::MainWindowHome main;
        main->show();
        main->LanguageIndex = 2;
        main->applyLanguage();
        QPushButton* button = main->controls().ActConti;
        const QString stopped = button->styleSheet();

        QTest::mouseClick(main->controls().ActuVisu, Qt::LeftButton);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(button->property("armed").toBool());
        QVERIFY(button->styleSheet() != stopped);
        QCOMPARE(main->controls().NoticeLabel->text(), QStringLiteral("La lecture continue commencera à la fin de l'échange en cours"));
        // The notice follows a change of language, as the rest of the window does.
        main->LanguageIndex = 3;
        main->applyLanguage();
        QCOMPARE(main->controls().NoticeLabel->text(), QStringLiteral("Continuous reading starts when the exchange under way ends"));
        main->LanguageIndex = 2;
        main->applyLanguage();
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!button->property("armed").toBool());
        QCOMPARE(main->controls().NoticeLabel->text(), QStringLiteral("Lecture continue annulée"));
        QTRY_COMPARE(main->PendingRequest(), NoRequest);
        QTest::qWait(50);
        QCOMPARE(main->ContinuousReading(), 0);

        // Armed again, it starts once the reading has its reply.
        QTest::mouseClick(main->controls().ActuVisu, Qt::LeftButton);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(button->property("armed").toBool());
        QTRY_COMPARE_WITH_TIMEOUT(main->ContinuousReading(), 1, 5000);
        QVERIFY(!button->property("armed").toBool());
        QVERIFY(button->styleSheet().contains(QStringLiteral("#FF0000")));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(main->ContinuousReading(), 0);
    }

    // F3 then F4 while the configuration is being read: both dialogs open
    // once the reply is in, in the order asked.
    void dialogsAskedDuringAReceiveOpenInOrder()
    {
        SimProcess sim(DADIZ_SIM_PATH, {QStringLiteral("--link"), link_, QStringLiteral("--delay"), QStringLiteral("500")});
        QVERIFY(sim.ok());
        testsupport::MainWindowHome main;
        main->show();
        QStringList opened;
        testsupport::whenModal<TForm3>([&](TForm3* analog) {
            opened << QStringLiteral("analog");
            testsupport::whenModal<TForm9>([&](TForm9* relays) {
                opened << QStringLiteral("relays");
                relays->reject();
            });
            analog->reject();
        });
        main->controls().ToolButton11->trigger();
        main->controls().Entradaanalogica1->trigger();
        main->controls().Reles1->trigger();
        QVERIFY(opened.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(opened, (QStringList{QStringLiteral("analog"), QStringLiteral("relays")}), 8000);
    }

private:
    QTemporaryDir config_;
    QString link_;
};

QTEST_MAIN(TestLiveReading)
#include "test_live_reading.moc"
