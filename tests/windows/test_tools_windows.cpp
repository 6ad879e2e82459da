// The Tools windows beside the main window: they follow a change of language
// at once, as Qt's own dialogs do, and close with Escape.
#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/Qxtest.h"
#include "config/DisplayConfig.h"
#include "link/Doctor.h"
#include "serial/PortMap.h"
#include "support/Child.h"
#include "support/MainWindowHome.h"
#include "support/Modal.h"
#include "windows/DoctorWindow.h"
#include "windows/TrafficMonitor.h"
#include "windows/TrendWindow.h"

using testsupport::child;

class TestToolsWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
        // The doctor's run ends at once: the device is not there.
        QVERIFY(setMappedDevice(1, config_.filePath(QStringLiteral("no-such-device")).toStdString()));
    }

    void everyWindowFollowsTheLanguageAtOnce()
    {
        resetToDefaults(DisplayConfig);
        testsupport::MainWindowHome main;
        main->show();
        main->controls().trafficMonitorItem->trigger();
        main->controls().trendItem->trigger();
        main->controls().doctorItem->trigger();
        auto* monitor = main->findChild<TTrafficMonitor*>();
        auto* trend = main->findChild<TTrendWindow*>();
        auto* doctor = main->findChild<TDoctorWindow*>();
        QVERIFY(monitor && trend && doctor);
        QTRY_VERIFY(doctor->doctor() && !doctor->running());
        const TDoctorReport report = doctor->doctor()->report();
        QCOMPARE(report.outcome, TDoctorOutcome::CannotOpen);
        const std::string request = "@00L\r";
        monitor->model()->add({{{}, TTrafficDirection::Sent, "COM1", {request.begin(), request.end()}, {}, TTrafficNote::None},
            {{}, TTrafficDirection::Received, "COM1", {}, 1000, TTrafficNote::NoReply}});

        struct Words {
            const char* monitor;
            const char* frameHeader;
            const char* pause;
            const char* sent;
            const char* noReply;
            const char* count;
            const char* doctor;
            const char* runAgain;
            const char* trend;
            const char* lookIn; // Qt's own file dialog
            const char* cancel;
        };
        const Words words[] = {
            {"Monitor de trànsit", "Trama", "Pausa", "Enviat", "Sense resposta", "2 trames", "Diagnòstic de connexió",
                "Torna a provar", "Tendència", "Cerca a:", "Cancel·la"},
            {"Monitor de tráfico", "Trama", "Pausa", "Enviado", "Sin respuesta", "2 tramas", "Diagnóstico de conexión",
                "Volver a probar", "Tendencia", "Ver en:", "Cancelar"},
            {"Moniteur de trafic", "Trame", "Pause", "Envoyé", "Pas de réponse", "2 trames", "Diagnostic de connexion",
                "Relancer", "Tendance", "Voir dans :", "Annuler"},
            {"Traffic monitor", "Frame", "Pause", "Sent", "No reply", "2 frames", "Connection doctor", "Run again",
                "Trend", "Look in:", "Cancel"},
        };
        for (const int l : {2, 0, 3, 1}) {
            const Words& w = words[l];
            main->LanguageIndex = static_cast<std::uint8_t>(l);
            main->applyLanguage();
            TTrafficModel* model = monitor->model();
            QCOMPARE(monitor->windowTitle(), QString::fromUtf8(w.monitor));
            QCOMPARE(model->headerData(TTrafficModel::FrameColumn, Qt::Horizontal, Qt::DisplayRole).toString(),
                QString::fromUtf8(w.frameHeader));
            QCOMPARE(child<QPushButton>(monitor, "PauseButton")->text(), QString::fromUtf8(w.pause));
            QCOMPARE(model->index(0, TTrafficModel::DirectionColumn).data().toString(), QString::fromUtf8(w.sent));
            QCOMPARE(model->index(1, TTrafficModel::OutcomeColumn).data().toString(), QString::fromUtf8(w.noReply));
            QCOMPARE(child<QLabel>(monitor, "FrameCount")->text(), QString::fromUtf8(w.count));
            QCOMPARE(doctor->windowTitle(), QString::fromUtf8(w.doctor));
            QCOMPARE(child<QPushButton>(doctor, "RunButton")->text(), QString::fromUtf8(w.runAgain));
            QCOMPARE(child<QLabel>(doctor, "VerdictText")->text(),
                QString::fromStdString(report.conclusion.pick(kLanguages[l])));
            for (int c = 0; c < kDoctorCheckCount; ++c)
                QCOMPARE(child<QLabel>(doctor, QStringLiteral("CheckName%1").arg(c))->text(),
                    QString::fromStdString(checkParts(report.checks.at(static_cast<std::size_t>(c)), kLanguages[l]).name));
            QCOMPARE(trend->windowTitle(), QString::fromUtf8(w.trend));
            // Qt's own dialogs too: the window's Save as.
            QString lookIn, cancel;
            testsupport::whenModal<QFileDialog>([&](QFileDialog* dialog) {
                lookIn = child<QLabel>(dialog, "lookInLabel")->text();
                cancel = child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Cancel)->text();
                dialog->reject();
            });
            main->controls().Guardar1->trigger();
            QCOMPARE(lookIn, QString::fromUtf8(w.lookIn));
            QCOMPARE(cancel, QString::fromUtf8(w.cancel));
        }
    }

    void escapeClosesTheToolsWindows()
    {
        testsupport::MainWindowHome main;
        main->show();
        main->controls().trafficMonitorItem->trigger();
        main->controls().trendItem->trigger();
        main->controls().doctorItem->trigger();
        for (QWidget* window : std::initializer_list<QWidget*>{main->findChild<TTrafficMonitor*>(),
                 main->findChild<TTrendWindow*>(), main->findChild<TDoctorWindow*>()}) {
            QVERIFY(window);
            const QByteArray name = window->objectName().toUtf8();
            QPointer<QWidget> alive(window);
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window));
            QTest::keyClick(window, Qt::Key_Escape);
            QTRY_VERIFY2(alive.isNull() || !alive->isVisible(), name.constData());
        }
    }

private:
    QTemporaryDir config_;
};

QTEST_MAIN(TestToolsWindows)
#include "test_tools_windows.moc"
