// The main window's exchanges, end to end: the real window (offscreen) talks
// through the real serial component to the simulated display on a pseudo-terminal.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <QCheckBox>
#include <QTableView>
#include <QRegularExpression>
#include <chrono>
#include <csignal>

#include "app/Qxtest.h"
#include "config/DisplayConfig.h"
#include "link/DisplayLink.h"
#include "windows/TrafficMonitor.h"
#include "windows/TrendWindow.h"
#include "dialogs/Confentanalogica.h"
#include "dialogs/Datoscalibracion.h"
#include "dialogs/Password.h"
#include "serial/Zcomm.h"
#include "support/ConfigCompare.h"
#include "support/Modal.h"

namespace {

// The simulated display, started with the given options and reachable as COM1.
class Sim {
public:
    Sim(const QString& link, const QStringList& options)
    {
        process.setProgram(QStringLiteral(DADIZ_SIM_PATH));
        process.setArguments(QStringList{QStringLiteral("--link"), link} + options);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start();
        if (process.waitForStarted(5000) && process.waitForReadyRead(5000))
            device = QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    ~Sim()
    {
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
    }
    QProcess process;
    QString device;
};

int messagesShown = 0;
QString configRoot; // XDG_CONFIG_HOME of this test

// Counts and closes every message box that comes up in the next ms
// milliseconds; a timer does it, since a box runs its own event loop.
void closeMessagesFor(int ms)
{
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++messagesShown;
            box->accept();
        }
    });
    closer.start(20);
    QTest::qWait(ms);
}

} // namespace

class TestExchanges : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        QVERIFY(QDir::setCurrent(home.path()));
        link = home.filePath(QStringLiteral("ttyDISPLAY"));
        mapCom1(link);
    }

    void init()
    {
        window = std::make_unique<TForm1>();
        window->show();
        messagesShown = 0;
    }

    void cleanup()
    {
        window.reset();
        mapCom1(link);
    }

    void sendThenReceiveRoundTripsTheConfiguration_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("process") << 0;
        QTest::newRow("temperature") << 1;
    }
    void sendThenReceiveRoundTripsTheConfiguration()
    {
        QFETCH(int, mode);
        // The send frame does not carry the input mode: the display is set to it.
        Sim sim(link, {QStringLiteral("--input-mode"), QString::number(mode)});
        QVERIFY(!sim.device.isEmpty());
        TDisplayConfig& c = DisplayConfig;
        c.Address = 0;
        c.InputMode = static_cast<std::uint8_t>(mode);
        c.ProcessInput = 1;
        c.InputValue1 = 4.0;
        c.DisplayValue1 = 12.5;
        c.InputValue2 = 20.0;
        c.DisplayValue2 = -99.9;
        c.DecimalPoint = 1;
        c.TempUnits = 1;
        c.ProbeType = 2;
        c.Resolution = 1;
        c.TempOffset = -2.5;
        c.Relay1Enabled = 1;
        c.Relay1DelayType = '0';
        c.Relay1TriggerLevel = '0';
        c.Relay1Delay = 5;
        c.Relay1Setpoint = -123;
        c.Relay2Enabled = 1;
        c.Relay2DelayType = '1';
        c.Relay2TriggerLevel = '1';
        c.Relay2Delay = 250;
        c.Relay2Setpoint = 19999;
        const TDisplayConfig sent = c;

        window->controls().ToolButton10->trigger();
        QTRY_COMPARE(window->PendingRequest(), NoRequest);
        QCOMPARE(window->ZComm1()->Connected, 0);

        // Forget the analog and relay part, then read it back from the display.
        TDisplayConfig blank;
        resetToDefaults(blank);
        blank.Address = c.Address;
        c = blank;
        window->controls().ToolButton11->trigger();
        QTRY_COMPARE(window->PendingRequest(), NoRequest);
        testsupport::verifySameAnalog(c, sent);
        testsupport::verifySameRelays(c, sent);
        // The panels show what was read.
        QCOMPARE(window->controls().Edit[19]->text(), QStringLiteral("1999.9"));
        QCOMPARE(window->controls().Edit[6]->text(), mode == 0 ? QStringLiteral("Procès") : QStringLiteral("Termòmetre"));
    }

    void updateShowsTheValueAndTheRelays()
    {
        DisplayConfig.Address = 7;
        Sim sim(link, {QStringLiteral("--address"), QStringLiteral("7"), QStringLiteral("--value"),
                           QStringLiteral("12.5"), QStringLiteral("--decimals"), QStringLiteral("1")});
        QVERIFY(!sim.device.isEmpty());
        QTest::mouseClick(window->controls().ActuVisu, Qt::LeftButton);
        QTRY_COMPARE(window->PendingRequest(), NoRequest);
        // The display shows 12.5 in its eight places; relay 1 (high, above 599.9)
        // is off and relay 2 (low, below 199.9) on.
        QCOMPARE(window->controls().Edit[14]->text(), QStringLiteral("    12.5"));
        QCOMPARE(window->controls().Pilot1->text(), QStringLiteral("OFF"));
        QCOMPARE(window->controls().Pilot1->palette().color(QPalette::Window), QColor(0, 255, 0));
        QCOMPARE(window->controls().Shape1->palette().color(QPalette::Window), QColor(0, 255, 0));
        QCOMPARE(window->controls().Pilot2->text(), QStringLiteral("ON"));
        QCOMPARE(window->controls().Pilot2->palette().color(QPalette::Window), QColor(255, 0, 0));
        QCOMPARE(window->controls().Shape2->palette().color(QPalette::Window), QColor(255, 0, 0));
        QCOMPARE(window->ZComm1()->Connected, 0);
        QVERIFY(window->controls().NoticeLabel->text().isEmpty());
    }

    void continuousReadingUpdatesAndStops()
    {
        Sim sim(link, {});
        QVERIFY(!sim.device.isEmpty());
        QSignalSpy updates(window->controls().Edit[14], &QLineEdit::textChanged);
        QTest::mouseClick(window->controls().ActConti, Qt::LeftButton);
        QCOMPARE(window->ContinuousReading(), 1);
        QVERIFY(window->controls().ActuVisu->isHidden());
        for (QAction* a : {window->controls().ToolButton10, window->controls().ToolButton11, window->controls().ToolButton3, window->controls().ToolButton14,
                 window->controls().Enviar1, window->controls().Recibir1, window->controls().Leerparametros1, window->controls().Testcomunicacion1})
            QVERIFY2(!a->isVisible(), qPrintable(a->objectName()));
        QVERIFY(window->controls().Tara->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(updates.count() >= 3, 5000);

        QTest::mouseClick(window->controls().ActConti, Qt::LeftButton);
        QCOMPARE(window->ContinuousReading(), 0);
        QVERIFY(!window->Timer1()->isActive());
        QVERIFY(!window->controls().ActuVisu->isHidden());
        for (QAction* a : {window->controls().ToolButton10, window->controls().ToolButton11, window->controls().Enviar1, window->controls().Recibir1})
            QVERIFY2(a->isVisible(), qPrintable(a->objectName()));
        // The tare controls stay gone, and the dormant commands stay disabled.
        QVERIFY(window->controls().Tara->isHidden());
        QVERIFY(window->controls().ResetTara->isHidden());
        QVERIFY(window->controls().Edit[20]->isHidden());
        QVERIFY(!window->controls().ToolButton3->isEnabled());
    }

    // Nothing was received, so nothing changes, down to the next Save.
    void aReceiveThatCannotOpenThePortChangesNothing()
    {
        mapCom1(home.filePath(QStringLiteral("no-such-device")));
        DisplayConfig.InputValue1 = 4.0;
        DisplayConfig.DisplayValue2 = 250.0;
        DisplayConfig.TempOffset = -2.5;
        window->fillAnalogPanel();
        const TDisplayConfig before = DisplayConfig;
        const QString panel = window->controls().Edit[7]->text();
        QString shown;
        testsupport::whenModal<QMessageBox>([&](QMessageBox* box) {
            shown = box->text();
            box->accept();
        });
        window->controls().ToolButton11->trigger();
        QCOMPARE(shown, QStringLiteral("NO PUEDO ABRIR EL PUERTO"));
        testsupport::verifySameAnalog(DisplayConfig, before);
        testsupport::verifySameRelays(DisplayConfig, before);
        QCOMPARE(window->controls().Edit[7]->text(), panel);
    }

    // A configuration dialog asked for while a receive is under way opens
    // once the reply is in, so Ok cannot write the old values back over it.
    void aConfigurationDialogWaitsForAReceive()
    {
        // Time enough for the slow reply, however busy the machine.
        mapCom1(link, "[Link]\nReplyTimeoutMs=10000\n");
        window = std::make_unique<TForm1>();
        window->show();
        Sim sim(link, {QStringLiteral("--delay"), QStringLiteral("600")});
        QVERIFY(!sim.device.isEmpty());
        window->LanguageIndex = 3;
        window->applyLanguage();
        DisplayConfig.InputValue1 = 42.0;
        bool opened = false;
        double seen = 0;
        TPendingRequest pendingThen = AnalogParamsRequest;
        testsupport::whenModal<TForm3>([&](TForm3* dialog) {
            opened = true;
            seen = DisplayConfig.InputValue1;
            pendingThen = window->PendingRequest();
            dialog->reject();
        }, 15000);
        window->controls().ToolButton11->trigger();
        window->controls().Entradaanalogica1->trigger();
        QCOMPARE(window->controls().NoticeLabel->text(), QStringLiteral("Waiting for the display's setup before opening the dialog"));
        QVERIFY(!opened);
        QTRY_VERIFY_WITH_TIMEOUT(opened, 15000);
        QCOMPARE(pendingThen, NoRequest);
        QCOMPARE(seen, 4.0); // what the display holds, not the 42 typed before
    }

    // At 1200 bit/s the calibration reply takes longer than a reading period:
    // reading pauses while the screen is open and resumes after it.
    void calibrationCompletesDuringContinuousReading()
    {
        DisplayConfig.BaudIndex = 0;
        Sim sim(link, {QStringLiteral("--baud"), QStringLiteral("1200")});
        QVERIFY(!sim.device.isEmpty());
        QTest::mouseClick(window->controls().ActConti, Qt::LeftButton);
        QStringList boxes;
        testsupport::whenModal<TForm7>([&](TForm7* password) {
            QTest::keyClicks(password->findChild<QLineEdit*>(QStringLiteral("MaskEdit1")), QStringLiteral("pomvek"));
            QTest::keyClick(password->findChild<QLineEdit*>(QStringLiteral("MaskEdit1")), Qt::Key_Return);
            testsupport::whenModal<TForm8>([&](TForm8* screen) {
                QTest::mouseClick(screen->findChild<QPushButton*>(QStringLiteral("Button2")), Qt::LeftButton);
                auto* last = screen->findChild<QLineEdit*>(QStringLiteral("Edit18"));
                QTRY_VERIFY_WITH_TIMEOUT(last->text() != QLatin1String("0"), 4000);
                boxes << last->text();
                screen->reject();
            });
        });
        QTest::keyClick(window->controls().Edit[1], Qt::Key_F1, Qt::AltModifier);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.first().at(3), QLatin1Char('.'));
        QCOMPARE(window->ContinuousReading(), 1);
        QVERIFY(window->Timer1()->isActive());
        QTest::mouseClick(window->controls().ActConti, Qt::LeftButton);
    }

    // A click on "Update running" while a request is under way is honoured
    // when it ends, not dropped.
    void updateRunningAskedDuringARequestStartsAfterIt()
    {
        Sim sim(link, {QStringLiteral("--delay"), QStringLiteral("400")});
        QVERIFY(!sim.device.isEmpty());
        QTest::mouseClick(window->controls().ActuVisu, Qt::LeftButton);
        QTest::mouseClick(window->controls().ActConti, Qt::LeftButton);
        QCOMPARE(window->ContinuousReading(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(window->ContinuousReading(), 1, 2000);
        QVERIFY(window->Timer1()->isActive());
        QTest::mouseClick(window->controls().ActConti, Qt::LeftButton);
        QCOMPARE(window->ContinuousReading(), 0);
    }

    // The value box shows all eight characters a display sends.
    void longReadingsShowWhole()
    {
        for (const char* value : {"-1999999", "    12.5", "-19999.9"}) {
            TExchangeReport r;
            r.kind = DisplayReadingRequest;
            r.outcome = TExchangeOutcome::Reply;
            const std::string reply = std::string("@00RL") + value + "RR00\r";
            r.reply.assign(reply.begin(), reply.end());
            window->DadesRebudes(r);
            QLineEdit* box = window->controls().Edit[14];
            QCOMPARE(box->text(), QString::fromLatin1(value));
            QCOMPARE(box->geometry(), QRect(48, 24, 81, 32));
            QVERIFY2(box->fontMetrics().horizontalAdvance(box->text()) <= box->width() - 8, value);
        }
    }

    void aMissingPortIsReportedOnce()
    {
        mapCom1(home.filePath(QStringLiteral("no-such-device")));
        testsupport::TMessageWatch messages;
        QTest::mouseClick(window->controls().ActuVisu, Qt::LeftButton);
        QCOMPARE(messages.texts, QStringList{QStringLiteral("NO PUEDO ABRIR EL PUERTO")});
        QVERIFY2(messages.details.first().contains(QStringLiteral("no-such-device")), qPrintable(messages.details.first()));
        // What the failed open left queued has run, and said nothing more.
        QCoreApplication::processEvents();
        QCOMPARE(messages.texts.size(), 1);
        QCOMPARE(window->controls().Edit[14]->text(), QStringLiteral("   "));

        // Continuous reading stops at its first failed open, with one message;
        // its timer is off, so no other can come.
        QTest::mouseClick(window->controls().ActConti, Qt::LeftButton);
        QCOMPARE(window->ContinuousReading(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(window->ContinuousReading(), 0, 15000);
        QVERIFY(!window->Timer1()->isActive());
        QCoreApplication::processEvents();
        QCOMPARE(messages.texts.size(), 2);
        QCOMPARE(messages.texts.last(), QStringLiteral("NO PUEDO ABRIR EL PUERTO"));
    }

    // An RS-485 adapter that hands the request back, and a display that ends
    // its replies with CR LF: both work as a plain line does.
    void echoingAdaptersAndCrLfDisplaysWork_data()
    {
        QTest::addColumn<QString>("option");
        QTest::newRow("echo") << QStringLiteral("--echo");
        QTest::newRow("CR LF") << QStringLiteral("--crlf");
        QTest::newRow("both") << QStringLiteral("--echo --crlf");
    }
    void echoingAdaptersAndCrLfDisplaysWork()
    {
        QFETCH(QString, option);
        Sim sim(link, option.split(QLatin1Char(' ')));
        QVERIFY(!sim.device.isEmpty());
        for (int i = 0; i < 3; ++i) {
            QSignalSpy shown(window.get(), &TForm1::displayReadingShown);
            QTest::mouseClick(window->controls().ActuVisu, Qt::LeftButton);
            QTRY_COMPARE(window->PendingRequest(), NoRequest);
            QCOMPARE(shown.count(), 1);
            QCOMPARE(window->controls().Edit[14]->text().size(), 8);
            QVERIFY(window->controls().NoticeLabel->text().isEmpty());
        }
        // A receive goes through as well, with its 93-byte send before it.
        window->controls().ToolButton10->trigger();
        QTRY_COMPARE(window->PendingRequest(), NoRequest);
        QVERIFY(window->controls().NoticeLabel->text().isEmpty());
        window->controls().ToolButton11->trigger();
        QTRY_COMPARE(window->PendingRequest(), NoRequest);
        QVERIFY(window->controls().NoticeLabel->text().isEmpty());
    }

    void aReplyInPiecesIsHandledOnce()
    {
        Sim sim(link, {QStringLiteral("--pieces"), QStringLiteral("3,10,5")});
        QVERIFY(!sim.device.isEmpty());
        QSignalSpy updates(window->controls().Edit[14], &QLineEdit::textChanged);
        QTest::mouseClick(window->controls().ActuVisu, Qt::LeftButton);
        QTRY_COMPARE(window->PendingRequest(), NoRequest);
        QCOMPARE(updates.count(), 1);
        QCOMPARE(window->controls().Edit[14]->text().size(), 8);
    }

    void aReplyFromAnotherAddressIsDroppedAndSaid()
    {
        Sim sim(link, {QStringLiteral("--wrong-address")});
        QVERIFY(!sim.device.isEmpty());
        window->LanguageIndex = 3;
        window->applyLanguage();
        QTest::mouseClick(window->controls().ActuVisu, Qt::LeftButton);
        QTRY_COMPARE(window->PendingRequest(), NoRequest);
        QCOMPARE(window->ZComm1()->Connected, 0);
        QCOMPARE(window->controls().Edit[14]->text(), QStringLiteral("   "));
        QVERIFY2(window->controls().NoticeLabel->toolTip().startsWith(QStringLiteral("Reading: reply from another address (")),
            qPrintable(window->controls().NoticeLabel->toolTip()));
    }

    // A display that never answers: the request ends at its time-out (a
    // setting), the port is closed, and the window says so in its language.
    void aSilentDisplayIsToldInTheWindowsLanguage()
    {
        mapCom1(link, "[Link]\nReplyTimeoutMs=400\n");
        window = std::make_unique<TForm1>();
        window->show();
        Sim sim(link, {QStringLiteral("--silent")});
        QVERIFY(!sim.device.isEmpty());
        window->LanguageIndex = 2;
        window->applyLanguage();
        TExchangeReport report;
        connect(window->Link(), &TDisplayLink::finished, this, [&](const TExchangeReport& r) { report = r; });
        QTest::mouseClick(window->controls().ActuVisu, Qt::LeftButton);
        QCOMPARE(window->PendingRequest(), DisplayReadingRequest);
        QTRY_VERIFY(!window->controls().NoticeLabel->text().isEmpty());
        QCOMPARE(window->controls().NoticeLabel->toolTip(),
            QStringLiteral("Lecture : pas de réponse de l'afficheur 00 sur COM1 (%1) après 0.4 s").arg(link));
        QCOMPARE(window->PendingRequest(), NoRequest);
        // The port closes once the line has been quiet for a late reply.
        QTRY_COMPARE(window->ZComm1()->Connected, 0);
        // It waited its whole time-out, counted from the request's last byte.
        QCOMPARE(report.outcome, TExchangeOutcome::NoReply);
        QCOMPARE(report.timeoutMs, 400);
        QVERIFY2(report.ended - report.sent >= std::chrono::milliseconds(400),
            qPrintable(QString::number(std::chrono::duration_cast<std::chrono::milliseconds>(report.ended - report.sent).count())));
    }

    // During continuous reading a missed reading stops nothing: the value
    // greys out, the notice counts the misses, and both go at the next reading.
    void missedReadingsGreyTheValueAndAreCounted()
    {
        Sim sim(link, {});
        QVERIFY(!sim.device.isEmpty());
        window->LanguageIndex = 3;
        window->applyLanguage();
        // The trend, open from the start, is given every reading, taken or missed.
        window->controls().trendItem->trigger();
        auto* trend = window->findChild<TTrendWindow*>();
        QVERIFY(trend && trend->isVisible());
        QCOMPARE(trend->windowTitle(), QStringLiteral("Trend"));
        QSignalSpy updates(window->controls().Edit[14], &QLineEdit::textChanged);
        QSignalSpy shown(window.get(), &TForm1::displayReadingShown);
        QTest::mouseClick(window->controls().ActConti, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(updates.count() >= 1, 3000);
        QVERIFY(!window->controls().Edit[14]->property("stale").toBool());
        const QColor fresh = window->controls().Edit[14]->palette().color(QPalette::Text);

        ::kill(static_cast<pid_t>(sim.process.processId()), SIGSTOP);
        QTRY_VERIFY_WITH_TIMEOUT(window->controls().Edit[14]->property("stale").toBool(), 3000);
        QVERIFY(window->controls().Edit[14]->palette().color(QPalette::Text) != fresh);
        // Each miss takes its time-out and the quiet after it.
        QTRY_VERIFY_WITH_TIMEOUT(window->MissedReadings() >= 3, 10000);
        QVERIFY2(window->controls().NoticeLabel->toolTip().contains(QStringLiteral("readings missed")),
            qPrintable(window->controls().NoticeLabel->toolTip()));
        QCOMPARE(window->ContinuousReading(), 1);
        QCOMPARE(closeMessages(), 0);

        ::kill(static_cast<pid_t>(sim.process.processId()), SIGCONT);
        QTRY_VERIFY_WITH_TIMEOUT(!window->controls().Edit[14]->property("stale").toBool(), 3000);
        QCOMPARE(window->controls().Edit[14]->palette().color(QPalette::Text), fresh);
        QVERIFY(window->controls().NoticeLabel->text().isEmpty());
        QCOMPARE(window->MissedReadings(), 0);
        QTest::mouseClick(window->controls().ActConti, Qt::LeftButton);
        QTRY_COMPARE(window->PendingRequest(), NoRequest);

        const TTrendStore& store = trend->store();
        const TTrendStats all = store.stats(*store.firstTime(), *store.lastTime());
        QCOMPARE(all.readings, static_cast<std::uint64_t>(shown.count()) + all.missed);
        QVERIFY(all.missed >= 3);
        // Closing hides it: the session's readings are kept for the next look.
        trend->close();
        window->controls().trendItem->trigger();
        QCOMPARE(window->findChild<TTrendWindow*>(), trend);
        QCOMPARE(trend->store().count(), all.readings);
    }

    void theTrafficMonitorShowsEachRequestAndItsReply()
    {
        Sim sim(link, {});
        QVERIFY(!sim.device.isEmpty());
        window->controls().trafficMonitorItem->trigger();
        auto* monitor = window->findChild<TTrafficMonitor*>(QStringLiteral("TrafficMonitor"));
        QVERIFY(monitor && monitor->isVisible());
        QCOMPARE(monitor->windowTitle(), QStringLiteral("Monitor de trànsit"));
        TTrafficModel* model = monitor->model();
        QTest::mouseClick(window->controls().ActuVisu, Qt::LeftButton);
        QTRY_COMPARE(model->rowCount(), 2);
        auto cell = [&](int row, int column) { return model->index(row, column).data().toString(); };
        QCOMPARE(cell(0, TTrafficModel::DirectionColumn), QStringLiteral("Enviat"));
        QCOMPARE(cell(0, TTrafficModel::FrameColumn), QStringLiteral("@00L<CR>"));
        QCOMPARE(cell(0, TTrafficModel::PortColumn), QStringLiteral("COM1 (%1)").arg(link));
        QCOMPARE(cell(1, TTrafficModel::DirectionColumn), QStringLiteral("Rebut"));
        QVERIFY(cell(1, TTrafficModel::FrameColumn).startsWith(QStringLiteral("@00RL")));
        QVERIFY(cell(1, TTrafficModel::FrameColumn).endsWith(QStringLiteral("<CR>")));
        QVERIFY(cell(1, TTrafficModel::LatencyColumn).endsWith(QStringLiteral(" ms")));
        QCOMPARE(cell(1, TTrafficModel::OutcomeColumn), QStringLiteral("Correcta"));
        monitor->findChild<QCheckBox*>(QStringLiteral("HexBox"))->click();
        QCOMPARE(cell(0, TTrafficModel::FrameColumn), QStringLiteral("40 30 30 4C 0D"));
        // Paused, it holds what comes and shows it on resume.
        auto* pause = monitor->findChild<QPushButton*>(QStringLiteral("PauseButton"));
        pause->click();
        QTest::mouseClick(window->controls().ActuVisu, Qt::LeftButton);
        QTRY_COMPARE(window->PendingRequest(), NoRequest);
        QCOMPARE(model->rowCount(), 2);
        pause->click();
        QCOMPARE(model->rowCount(), 4);
        monitor->close();
        QTRY_VERIFY(!window->findChild<TTrafficMonitor*>());
    }

    void aLateReplyToAnAbandonedRequestIsIgnored()
    {
        // The reading waits long enough for the late reply to come in while it does.
        mapCom1(link, "[Link]\nReplyTimeoutMs=10000\n");
        window = std::make_unique<TForm1>();
        window->show();
        Sim sim(link, {QStringLiteral("--delay"), QStringLiteral("300")});
        QVERIFY(!sim.device.isEmpty());
        DisplayConfig.InputValue1 = 42.0;
        window->fillAnalogPanel();
        const QString panel = window->controls().Edit[8]->text();
        QStringList received;
        connect(window->Link(), &TDisplayLink::traffic, this, [&](const TTrafficRecord& r) {
            if (r.direction == TTrafficDirection::Received)
                received << QString::fromLatin1(reinterpret_cast<const char*>(r.bytes.data()), qsizetype(r.bytes.size()));
        });
        window->controls().ToolButton11->trigger();
        QCOMPARE(window->PendingRequest(), AnalogParamsRequest);
        QTest::mouseClick(window->controls().ActuVisu, Qt::LeftButton);
        QCOMPARE(window->PendingRequest(), DisplayReadingRequest);
        // The late reply does arrive, and the reading it lands in takes nothing from it.
        QTRY_VERIFY_WITH_TIMEOUT(!received.filter(QRegularExpression(QStringLiteral("^@00RP"))).isEmpty(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(window->PendingRequest(), NoRequest, 15000);
        QCOMPARE(DisplayConfig.InputValue1, 42.0);
        QCOMPARE(window->controls().Edit[8]->text(), panel);
    }

    void noiseWithoutAnEndClosesTheExchange()
    {
        Sim sim(link, {QStringLiteral("--noise")});
        QVERIFY(!sim.device.isEmpty());
        window->controls().ToolButton11->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(window->PendingRequest(), NoRequest, 5000);
        QCOMPARE(window->ZComm1()->Connected, 0);
        QCOMPARE(window->RxBuffer().raw()[0], 0);
    }

    void theCalibrationScreenFillsItsBoxes()
    {
        DisplayConfig.Address = 31;
        Sim sim(link, {QStringLiteral("--address"), QStringLiteral("31")});
        QVERIFY(!sim.device.isEmpty());
        QString before;
        QStringList boxes;
        testsupport::whenModal<TForm7>([&](TForm7* password) {
            QTest::keyClicks(password->findChild<QLineEdit*>(QStringLiteral("MaskEdit1")), QStringLiteral("pomvek"));
            QTest::mouseClick(password->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
            testsupport::whenModal<TForm8>([&](TForm8* screen) {
                before = screen->findChild<QLineEdit*>(QStringLiteral("Edit1"))->text();
                QTest::mouseClick(screen->findChild<QPushButton*>(QStringLiteral("Button2")), Qt::LeftButton);
                (void)QTest::qWaitFor([&] { return window->PendingRequest() == NoRequest; }, 15000);
                for (int i = 1; i <= 18; ++i)
                    boxes << screen->findChild<QLineEdit*>(QStringLiteral("Edit%1").arg(i))->text();
                QTest::mouseClick(screen->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
            });
        });
        QTest::keyClick(window->controls().Edit[1], Qt::Key_F1, Qt::AltModifier | Qt::ControlModifier);
        QCOMPARE(before, QStringLiteral("0"));
        QCOMPARE(boxes.size(), 18);
        for (const QString& box : boxes)
            QVERIFY2(box != QLatin1String("0") && !box.isEmpty(), qPrintable(boxes.join(QLatin1Char('|'))));
        QCOMPARE(boxes[17].at(3), QLatin1Char('.'));
        QCOMPARE(Form8, nullptr);
    }

    void aWrongPasswordOpensNothing()
    {
        QString shown;
        testsupport::whenModal<TForm7>([&](TForm7* password) {
            QTest::keyClicks(password->findChild<QLineEdit*>(QStringLiteral("MaskEdit1")), QStringLiteral("POMVEK"));
            testsupport::whenModal<QMessageBox>([&](QMessageBox* box) {
                shown = box->text();
                box->accept();
            });
            QTest::mouseClick(password->findChild<QPushButton*>(QStringLiteral("Button1")), Qt::LeftButton);
        });
        QTest::keyClick(window->controls().Edit[1], Qt::Key_F1, Qt::AltModifier);
        QCOMPARE(shown, QStringLiteral("Password incorrecto"));
        // F1 alone does nothing.
        QTest::keyClick(window->controls().Edit[1], Qt::Key_F1);
        QTest::qWait(100);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }

private:
    void mapCom1(const QString& device, const QByteArray& more = {})
    {
        const QString folder = configRoot + QStringLiteral("/DADiz");
        QDir().mkpath(folder);
        QFile f(folder + QStringLiteral("/DADiz.conf"));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Ports]\nCOM1=" + device.toLocal8Bit() + "\n" + more);
    }

    static int closeMessages()
    {
        messagesShown = 0;
        closeMessagesFor(50);
        return messagesShown;
    }

    QTemporaryDir home;
    QString link;
    std::unique_ptr<TForm1> window;
};

int main(int argc, char* argv[])
{
    // The port map is read from a private settings folder, never the user's.
    static QTemporaryDir configHome;
    configRoot = configHome.path();
    qputenv("XDG_CONFIG_HOME", configRoot.toLocal8Bit());
    QApplication app(argc, argv);
    TestExchanges test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_exchanges.moc"
