#pragma once
// A private settings folder whose COM1 is a simulated display, for the
// benchmarks that run the real window. Make it before the QApplication: it
// sets XDG_CONFIG_HOME and the offscreen platform, unless a platform is named
// (QT_QPA_PLATFORM=xcb under xvfb-run draws as a desktop does).
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

class TSimulatedCom1 {
public:
    TSimulatedCom1()
    {
        qputenv("XDG_CONFIG_HOME", home_.path().toLocal8Bit());
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ~TSimulatedCom1()
    {
        sim_.terminate();
        sim_.waitForFinished();
    }

    // Maps COM1 to the simulator started with `options`; false when it did not start.
    bool start(const QStringList& options)
    {
        QDir::setCurrent(home_.path());
        const QString link = home_.filePath(QStringLiteral("ttyDISPLAY"));
        QDir().mkpath(home_.filePath(QStringLiteral("DADiz")));
        QFile conf(home_.filePath(QStringLiteral("DADiz/DADiz.conf")));
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write("[Ports]\nCOM1=" + link.toLocal8Bit() + "\n");
        conf.close();
        sim_.start(QStringLiteral(DADIZ_SIM_PATH), QStringList{QStringLiteral("--link"), link} + options);
        return sim_.waitForStarted() && sim_.waitForReadyRead(5000);
    }

    QString filePath(const QString& name) const { return home_.filePath(name); }

private:
    QTemporaryDir home_;
    QProcess sim_;
};
