#pragma once
// dadiz-sim and dadizctl as child processes of a Qt test.
#include <QProcess>
#include <QStringList>
#include <string>

namespace testsupport {

// The simulated display; its first line of output is its device.
class SimProcess {
public:
    SimProcess(const char* program, const QStringList& args)
    {
        process.start(QString::fromLocal8Bit(program), args);
        if (process.waitForStarted(5000) && process.waitForReadyRead(5000))
            device = process.readLine().trimmed().toStdString();
    }
    ~SimProcess()
    {
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
        process.waitForFinished(1000);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool ok() const { return !device.empty(); }
    qint64 pid() const { return process.processId(); }

    QProcess process;
    std::string device;
};

struct ProgramRun {
    int status = -1;
    QString out;
    QString err;
};

// Runs a program to its end.
inline ProgramRun runProgram(const char* program, const QStringList& args, int ms = 180000)
{
    QProcess p;
    p.start(QString::fromLocal8Bit(program), args);
    ProgramRun r;
    if (!p.waitForFinished(ms)) {
        p.kill();
        p.waitForFinished(1000);
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace testsupport
