// "Displays on the line" beside the main window, against the simulated bus:
// found from the Tools menu, scanned, read, written to a folder, exported,
// said in the window's language; the port is never used by two at once.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "app/Qxtest.h"
#include "config/ConfigFile.h"
#include "config/DisplayConfig.h"
#include "serial/PortMap.h"
#include "support/Child.h"
#include "support/MainWindowHome.h"
#include "support/Modal.h"
#include "support/SimProcess.h"
#include "windows/BusWindow.h"

using testsupport::child;

namespace {

QString cellText(QTableWidget* table, int row, int column)
{
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

class TestBusWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
    }

    void theWindowOnTheBus()
    {
        testsupport::SimProcess sim(DADIZ_SIM_PATH, {"--bus", "1,2,4", "--silent-address", "2"});
        QVERIFY(sim.ok());
        QVERIFY(setMappedDevice(1, sim.device));
        resetToDefaults(DisplayConfig);
        testsupport::MainWindowHome main;
        main->show();
        main->LanguageIndex = 3;
        main->applyLanguage();
        main->controls().busViewItem->trigger();
        auto* view = main->findChild<TBusWindow*>();
        QVERIFY(view);
        view->bus().setReplyTimeout(300);
        auto* table = child<QTableWidget>(view, "DisplayTable");

        child<QSpinBox>(view, "LastAddress")->setValue(4);
        QTest::mouseClick(child<QPushButton>(view, "ScanButton"), Qt::LeftButton);
        QVERIFY(view->bus().scanning());
        QVERIFY(!child<QPushButton>(view, "ScanButton")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!view->bus().scanning(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(view->bus().row(4) && view->bus().row(4)->paramsComplete && view->bus().row(4)->value,
            20000);
        view->refreshNow();
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(cellText(table, 0, 0), QStringLiteral("01"));
        QCOMPARE(cellText(table, 1, 0), QStringLiteral("04"));
        QVERIFY(!cellText(table, 1, 1).isEmpty());
        QCOMPARE(cellText(table, 1, 2), QStringLiteral("\u25CF"));
        QVERIFY(child<QLabel>(view, "NoticeLabel")->text().contains(QStringLiteral("2 displays found")));

        // The main window's exchange waits: the view holds the port, and says so.
        QVERIFY(view->holdsLine());
        testsupport::TMessageWatch watch;
        main->controls().Recibir1->trigger();
        QTRY_COMPARE(watch.texts.size(), 1);
        QVERIFY(watch.texts.first().contains(QStringLiteral("\"Displays on the line\" window is using the port")));

        // Every text in the new language at once, the rows' words too.
        main->LanguageIndex = 2;
        main->applyLanguage();
        QCOMPARE(view->windowTitle(), QStringLiteral("Afficheurs de la ligne"));
        QCOMPARE(main->controls().busViewItem->text(), QStringLiteral("Afficheurs de la ligne"));
        QCOMPARE(child<QPushButton>(view, "ScanButton")->text(), QStringLiteral("Rechercher"));
        QCOMPARE(table->horizontalHeaderItem(1)->text(), QStringLiteral("Valeur"));
        QCOMPARE(cellText(table, 0, 9), QStringLiteral("pas de dossier"));
        QVERIFY(child<QLabel>(view, "NoticeLabel")->text().contains(QStringLiteral("2 afficheurs trouvés")));

        // Received into a folder, then the table exported: UTF-8, '.' decimals.
        QTemporaryDir folder;
        view->setFolder(folder.path());
        view->selectAddresses({1, 4});
        QTest::mouseClick(child<QPushButton>(view, "ReceiveButton"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!view->bus().commandsRunning(), 20000);
        view->refreshNow();
        QCOMPARE(cellText(table, 0, 9), QStringLiteral("identique"));
        QVERIFY(QFile::exists(folder.filePath(QStringLiteral("04.dad"))));

        // A file edited on the PC differs, says which field on demand, and is sent back.
        const std::string file04 = folder.filePath(QStringLiteral("04.dad")).toStdString();
        TDisplayConfig edited;
        QVERIFY(loadConfigFile(file04, edited).ok);
        edited.Relay1Setpoint = edited.Relay1Setpoint == 12 ? 13 : 12;
        QVERIFY(saveConfigFile(file04, edited).ok);
        view->setFolder(folder.path());
        QCOMPARE(cellText(table, 1, 9), QStringLiteral("diffère"));
        view->selectAddresses({4});
        QTest::mouseClick(child<QPushButton>(view, "DifferencesButton"), Qt::LeftButton);
        QCOMPARE(watch.texts.size(), 2);
        const QString differences = watch.texts.last();
        QVERIFY2(differences.contains(QStringLiteral("Relais 1 · Seuil : fichier ")), qPrintable(differences));
        QTest::mouseClick(child<QPushButton>(view, "SendFilesButton"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!view->bus().commandsRunning(), 20000);
        view->refreshNow();
        QTRY_COMPARE_WITH_TIMEOUT(cellText(table, 1, 9), QStringLiteral("identique"), 20000);
        QCOMPARE(view->bus().row(4)->config->Relay1Setpoint, edited.Relay1Setpoint);

        const QString csv = folder.filePath(QStringLiteral("bus.csv"));
        QVERIFY(view->exportCsv(csv));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY(text.startsWith(QStringLiteral("Adresse,Valeur,Relais 1,Relais 2,Lecture,Entrée,")));
        QVERIFY2(QRegularExpression(QStringLiteral("\r\n04,-?\\d+\\.\\d,[01],[01],ok")).match(text).hasMatch(),
            qPrintable(text));

        // Opened in the main window: the port goes there once the line is quiet.
        view->selectAddresses({4});
        QTest::mouseClick(child<QPushButton>(view, "OpenButton"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(int(DisplayConfig.Address), 4, 10000);
        QVERIFY(!view->holdsLine());
        QTRY_COMPARE_WITH_TIMEOUT(int(main->PendingRequest()), int(NoRequest), 10000);
        QCOMPARE(watch.texts.size(), 2);

        // The view refuses the port while the main window reads continuously.
        main->controls().ActConti->click();
        QTRY_VERIFY(main->ContinuousReading() != 0);
        QTest::mouseClick(child<QPushButton>(view, "ScanButton"), Qt::LeftButton);
        QVERIFY(!view->bus().scanning());
        QVERIFY(child<QLabel>(view, "NoticeLabel")->text().contains(QStringLiteral("lit en continu")));
        main->controls().ActConti->click();
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view));
        QTest::keyClick(view, Qt::Key_Escape);
        QTRY_VERIFY(!main->findChild<TBusWindow*>());
    }

private:
    QTemporaryDir config_;
};

QTEST_MAIN(TestBusWindow)
#include "test_bus_window.moc"
