// The trend window's module: found in the first folder that holds it, and
// when it is nowhere, said in the session's language, by the main window too.
// The cases run in order: once the module is loaded it stays.
#include <QAction>
#include <QFile>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include "support/MainWindowHome.h"
#include "support/Modal.h"
#include "windows/TrendModule.h"

namespace {

TTrendSetpoints setpoints()
{
    TTrendSetpoints s;
    s.relays[0] = {true, 180};
    s.decimalPoint = 1;
    return s;
}

} // namespace

class TestTrendModule : public QObject {
    Q_OBJECT

private slots:
    void aMissingModuleIsSaidWithWhereItWasLookedFor_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("words");
        QTest::newRow("ca") << 0 << QStringLiteral("No es pot obrir la finestra de tendència");
        QTest::newRow("es") << 1 << QStringLiteral("No se puede abrir la ventana de tendencia");
        QTest::newRow("fr") << 2 << QStringLiteral("Impossible d'ouvrir la fenêtre de tendance");
        QTest::newRow("en") << 3 << QStringLiteral("The trend window cannot be opened");
    }
    void aMissingModuleIsSaidWithWhereItWasLookedFor()
    {
        QFETCH(int, language);
        QFETCH(QString, words);
        QTemporaryDir a, b;
        const TTrendOpening opening = openTrendWindow(kLanguages[language], setpoints(), nullptr, {a.path(), b.path()});
        QVERIFY(!opening.handle);
        QVERIFY2(opening.error.startsWith(words), qPrintable(opening.error));
        for (const QString& part : {QStringLiteral("libdadiz-trend.so"), a.path(), b.path()})
            QVERIFY2(opening.error.contains(part), qPrintable(opening.error));
    }

    // A library of that name without the entry of this program's revision.
    void aForeignModuleIsRefused()
    {
        QTemporaryDir dir;
        const QString qtCore = QLibraryInfo::path(QLibraryInfo::LibrariesPath) + QStringLiteral("/libQt6Core.so.6");
        QVERIFY(QFile::link(qtCore, dir.filePath(QStringLiteral("libdadiz-trend.so"))));
        const TTrendOpening opening = openTrendWindow(TLanguage::English, setpoints(), nullptr, {dir.path()});
        QVERIFY(!opening.handle);
        QVERIFY2(opening.error.contains(QStringLiteral("it is not of this version of the program")),
                 qPrintable(opening.error));
    }

    // This program is not beside the module, nor in a bin/ beside its lib/dadiz.
    void theMainWindowSaysWhyTheTrendDoesNotOpen()
    {
        testsupport::MainWindowHome main;
        for (int attempt = 0; attempt < 2; ++attempt) {
            QString shown, name;
            testsupport::whenModal<QMessageBox>([&](QMessageBox* box) {
                shown = box->text();
                name = box->objectName();
                box->accept();
            });
            main->controls().trendItem->trigger();
            QCOMPARE(name, QStringLiteral("TrendModuleBox"));
            QVERIFY2(shown.contains(QStringLiteral("libdadiz-trend.so")), qPrintable(shown));
            QVERIFY2(shown.contains(QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../lib/dadiz")),
                     qPrintable(shown));
        }
    }

    void loadsFromTheFirstFolderThatHoldsIt()
    {
        QTemporaryDir empty;
        TTrendOpening opening = openTrendWindow(TLanguage::English, setpoints(), nullptr, {empty.path(), DADIZ_MODULE_DIR});
        QVERIFY2(opening.handle, qPrintable(opening.error));
        QVERIFY(opening.error.isEmpty());
        QWidget* window = opening.handle->widget();
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QStringLiteral("Trend"));
        opening.handle->setLanguage(TLanguage::French);
        QCOMPARE(window->windowTitle(), QStringLiteral("Tendance"));
        opening.handle->setSetpoints(setpoints());
        opening.handle->addReading({std::chrono::system_clock::now(), false, std::string("   18.5"), std::array{true, false}});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        // A window closed for good leaves a handle that does nothing.
        delete window;
        opening.handle->addReading({std::chrono::system_clock::now(), true, std::nullopt, std::nullopt});
        opening.handle->setLanguage(TLanguage::English);
        QVERIFY(!opening.handle->widget());
    }
};

QTEST_MAIN(TestTrendModule)
#include "test_trend_module.moc"
