// The connection doctor's window, opened from the main window's Tools menu
// against the simulated display mapped as COM1.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/Qxtest.h"
#include "config/DisplayConfig.h"
#include "link/DisplayLink.h"
#include "serial/PortMap.h"
#include "serial/Zcomm.h"
#include "support/Child.h"
#include "support/MainWindowHome.h"
#include "support/Modal.h"
#include "support/SimProcess.h"
#include "windows/DoctorWindow.h"

using testsupport::child;
using testsupport::SimProcess;

class TestDoctorWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
        link_ = config_.filePath(QStringLiteral("ttyDISPLAY"));
        setMappedDevice(1, link_.toStdString());
    }

    void init()
    {
        resetToDefaults(DisplayConfig);
    }

    void toolsMenuItemInEveryLanguage()
    {
        testsupport::MainWindowHome main;
        QVERIFY(main->controls().toolsMenu->actions().contains(main->controls().doctorItem));
        const char* const texts[] = {"Diagnòstic de connexió", "Diagnóstico de conexión", "Diagnostic de connexion",
            "Connection doctor"};
        for (int l = 0; l < 4; ++l) {
            main->LanguageIndex = static_cast<std::uint8_t>(l);
            main->applyLanguage();
            QCOMPARE(main->controls().doctorItem->text(), QString::fromUtf8(texts[l]));
        }
    }

    // The display is at 19200 baud and address 06; the file says 9600 and 02.
    void findsTheDisplayAndUsesItsSettings()
    {
        SimProcess sim(DADIZ_SIM_PATH, {QStringLiteral("--link"), link_, QStringLiteral("--baud"), QStringLiteral("19200"),
                                           QStringLiteral("--address"), QStringLiteral("6")});
        QVERIFY(sim.ok());
        testsupport::MainWindowHome main;
        main->show();
        main->LanguageIndex = 3;
        main->applyLanguage();
        DisplayConfig.BaudIndex = 3;
        DisplayConfig.Address = 2;
        main->fillSerialPanel();

        main->controls().doctorItem->trigger();
        auto* w = main->findChild<TDoctorWindow*>();
        QVERIFY(w && w->isVisible() && w->running());
        QCOMPARE(w->windowTitle(), QStringLiteral("Connection doctor"));
        QVERIFY(!child<QPushButton>(w, "RunButton")->isEnabled());
        // The search shows its progress, and the main window stays usable meanwhile.
        QTRY_VERIFY_WITH_TIMEOUT(child<QProgressBar>(w, "SearchProgress")->isVisible(), 10000);
        QVERIFY(child<QPushButton>(w, "CancelButton")->isEnabled());
        QVERIFY(child<QLabel>(w, "SearchStep")->text().startsWith(QStringLiteral("Trying address 02 at ")));
        QVERIFY(main->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!w->running(), 60000);

        // Every check, as the window shows it. Who may open the device depends
        // on who runs the test.
        QCOMPARE(w->doctor()->report().outcome, TDoctorOutcome::Found);
        const QString com1 = QStringLiteral("COM1 (%1)").arg(link_);
        const QString expected[kDoctorCheckCount][3] = {
            {"Device", "ok", com1 + " is a pseudo-terminal (a simulated line)."},
            {"Permission", "ok", QString::fromStdString(checkParts(checkPermission(link_.toStdString()), TLanguage::English).text)},
            {"Busy", "ok", QStringLiteral("No other program holds %1. Its other end is held by dadiz-sim (pid %2).")
                               .arg(link_)
                               .arg(sim.pid())},
            {"Echo", "ok", "The adapter does not hand back what it sends."},
            {"Answer", "problem", "Display 02 did not answer on " + com1 + " at 9600 baud, 7E1 within 1.0 s."},
            {"Search", "ok", "A display answers at 19200 baud, 7E1, address 06 (91 tries)."},
        };
        for (int c = 0; c < kDoctorCheckCount; ++c) {
            QCOMPARE(child<QLabel>(w, QStringLiteral("CheckName%1").arg(c))->text(), expected[c][0]);
            QCOMPARE(child<QLabel>(w, QStringLiteral("CheckVerdict%1").arg(c))->text(), expected[c][1]);
            QCOMPARE(child<QLabel>(w, QStringLiteral("CheckText%1").arg(c))->text(), expected[c][2]);
        }
        // The one display that answers is at another address, and the verdict says so.
        const QString verdict = child<QLabel>(w, "VerdictText")->text();
        QVERIFY2(verdict.startsWith(QStringLiteral("Use these settings: 19200 baud, 7E1 (7 data bits, even parity, 1 stop "
                                                   "bit), address 06 (instead of 9600 baud, 7E1, address 02). The display "
                                                   "that answers has address 06, not the configured 02")),
            qPrintable(verdict));
        QVERIFY(!child<QProgressBar>(w, "SearchProgress")->isVisible());

        auto* use = child<QPushButton>(w, "UseButton");
        QVERIFY(use->isVisible());
        QTest::mouseClick(use, Qt::LeftButton);
        QCOMPARE(int(DisplayConfig.BaudIndex), 4);
        QCOMPARE(int(DisplayConfig.Address), 6);
        QCOMPARE(main->controls().Edit[2]->text(), QStringLiteral("19200"));
        QCOMPARE(main->controls().Edit[13]->text(), QStringLiteral("06"));
        // The main window now reads the display with those settings.
        QSignalSpy shown(main.get(), &TForm1::displayReadingShown);
        QTest::mouseClick(main->controls().ActuVisu, Qt::LeftButton);
        QVERIFY(shown.wait(3000));

        // Run again diagnoses what is set now: the display answers.
        QTest::mouseClick(child<QPushButton>(w, "RunButton"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->running(), 10000);
        QCOMPARE(w->doctor()->report().outcome, TDoctorOutcome::Answers);
        QVERIFY(!use->isVisible());
    }

    void refusedBesideTheWindowsOwnExchanges()
    {
        SimProcess sim(DADIZ_SIM_PATH, {QStringLiteral("--link"), link_, QStringLiteral("--silent")});
        QVERIFY(sim.ok());
        testsupport::MainWindowHome main;
        main->show();
        main->LanguageIndex = 2;
        main->applyLanguage();

        QTest::mouseClick(main->controls().ActConti, Qt::LeftButton);
        QCOMPARE(main->ContinuousReading(), 1);
        main->controls().doctorItem->trigger();
        auto* w = main->findChild<TDoctorWindow*>();
        QVERIFY(w && w->isVisible());
        QVERIFY(!w->running() && !w->doctor());
        QCOMPARE(child<QLabel>(w, "VerdictText")->text(),
            QStringLiteral("La lecture continue est en cours : arrêtez-la avant le diagnostic."));
        QTest::mouseClick(main->controls().ActConti, Qt::LeftButton);
        QCOMPARE(main->ContinuousReading(), 0);

        // A reading left waiting for its reply; the doctor's window follows the language.
        main->LanguageIndex = 3;
        main->applyLanguage();
        QCOMPARE(w->windowTitle(), QStringLiteral("Connection doctor"));
        QTest::mouseClick(main->controls().ActuVisu, Qt::LeftButton);
        QVERIFY(main->Link()->pending());
        QTest::mouseClick(child<QPushButton>(w, "RunButton"), Qt::LeftButton);
        QVERIFY(!w->running());
        QCOMPARE(child<QLabel>(w, "VerdictText")->text(),
            QStringLiteral("An exchange with the display is under way: wait for it to end."));

        // Once the reading has given up and the line has been quiet after it,
        // the doctor runs; closing its window ends the run and frees the port.
        QTRY_VERIFY_WITH_TIMEOUT(!main->Link()->busy(), 5000);
        QTest::mouseClick(child<QPushButton>(w, "RunButton"), Qt::LeftButton);
        QVERIFY(w->running());
        QTRY_VERIFY_WITH_TIMEOUT(child<QProgressBar>(w, "SearchProgress")->isVisible(), 10000);
        QPointer<TDoctorWindow> alive(w);
        w->close();
        QTRY_VERIFY(alive.isNull());
        TZComm port;
        port.Port = "COM1";
        QCOMPARE(port.OpenConnection(), 1);
        port.CloseConnection();
    }

    // Each run, "Run again" included, diagnoses the window's settings as they
    // are when it starts: here those of New, after the menu's run of others.
    void eachRunDiagnosesTheSettingsOfTheMoment()
    {
        SimProcess sim(DADIZ_SIM_PATH, {QStringLiteral("--link"), link_});
        QVERIFY(sim.ok());
        testsupport::MainWindowHome main;
        main->show();
        main->LanguageIndex = 3;
        main->applyLanguage();
        DisplayConfig.BaudIndex = 3;
        DisplayConfig.Address = 3;
        main->controls().doctorItem->trigger();
        auto* w = main->findChild<TDoctorWindow*>();
        QVERIFY(w && w->running());
        QVERIFY2(child<QLabel>(w, "SubjectLabel")->text().endsWith(QStringLiteral("address 03")),
            qPrintable(child<QLabel>(w, "SubjectLabel")->text()));
        QTest::mouseClick(child<QPushButton>(w, "CancelButton"), Qt::LeftButton);
        QTRY_VERIFY(!w->running());

        main->controls().Nuevo1->trigger();
        QTest::mouseClick(child<QPushButton>(w, "RunButton"), Qt::LeftButton);
        QVERIFY(child<QLabel>(w, "SubjectLabel")->text().contains(QStringLiteral(": 1200 baud")));
        QVERIFY(child<QLabel>(w, "SubjectLabel")->text().endsWith(QStringLiteral("address 00")));
        QTRY_VERIFY_WITH_TIMEOUT(!w->running(), 20000);
        QCOMPARE(w->doctor()->report().outcome, TDoctorOutcome::Answers);
    }

    // While the doctor holds the port, the window's exchanges are refused
    // with words that name it, in the window's language; nothing is sent.
    void theWindowsExchangesAreRefusedWhileTheDoctorRuns()
    {
        SimProcess sim(DADIZ_SIM_PATH, {QStringLiteral("--link"), link_, QStringLiteral("--silent")});
        QVERIFY(sim.ok());
        testsupport::MainWindowHome main;
        main->show();
        main->LanguageIndex = 2;
        main->applyLanguage();
        main->controls().doctorItem->trigger();
        auto* w = main->findChild<TDoctorWindow*>();
        QVERIFY(w && w->running());
        const std::pair<const char*, std::function<void()>> commands[] = {
            {"Update", [&] { QTest::mouseClick(main->controls().ActuVisu, Qt::LeftButton); }},
            {"Update running", [&] { QTest::mouseClick(main->controls().ActConti, Qt::LeftButton); }},
            {"Send", [&] { main->controls().ToolButton10->trigger(); }},
            {"Receive", [&] { main->controls().Recibir1->trigger(); }},
        };
        for (const auto& [name, command] : commands) {
            QString shown;
            testsupport::whenModal<QMessageBox>([&](QMessageBox* box) {
                shown = box->text();
                box->accept();
            });
            command();
            QCOMPARE(shown, QStringLiteral("Le diagnostic de connexion utilise le port : attendez qu'il se termine ou annulez-le."));
            QVERIFY2(!main->Link()->busy() && main->ContinuousReading() == 0 && main->PendingRequest() == NoRequest, name);
        }
        QVERIFY(w->running());
        w->close();
    }

private:
    QTemporaryDir config_;
    QString link_;
};

QTEST_MAIN(TestDoctorWindow)
#include "test_doctor_window.moc"
