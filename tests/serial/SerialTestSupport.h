#pragma once
// Helpers shared by the serial tests: a pseudo-terminal pair, the process's
// descriptor and thread counts, and a Qt event loop run with a deadline.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTemporaryDir>
#include <cstdlib>
#include <dirent.h>
#include <functional>
#include <pty.h>
#include <string>
#include <time.h>
#include <unistd.h>

#include "base/UniqueFd.h"

inline QCoreApplication& qtApp()
{
    static int argc = 1;
    static char name[] = "test_serial";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = [] {
        // The port map must never touch the user's own settings file.
        static QTemporaryDir config;
        setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
        return new QCoreApplication(argc, argv);
    }();
    return *app;
}

// Both ends of a pseudo-terminal; the component opens `path` (the slave) again.
struct PtyPair {
    UniqueFd master;
    UniqueFd slave;
    std::string path;

    PtyPair()
    {
        int m = -1, s = -1;
        char name[128] = {};
        if (openpty(&m, &s, name, nullptr, nullptr) == 0) {
            master.reset(m);
            slave.reset(s);
            path = name;
        }
    }
    bool ok() const { return master.valid() && slave.valid(); }
    void send(const std::string& bytes) const
    {
        [[maybe_unused]] const ssize_t n = ::write(master.get(), bytes.data(), bytes.size());
    }
};

inline int countEntries(const char* dir)
{
    int n = 0;
    if (DIR* d = opendir(dir)) {
        while (const dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                ++n;
        closedir(d);
    }
    return n;
}
inline int openDescriptors() { return countEntries("/proc/self/fd"); }
inline int runningThreads() { return countEntries("/proc/self/task"); }
// The thread count once a thread an earlier case let go has left: the same
// count twice, 50 ms apart (for at most 2 s), is the baseline to compare with.
inline int settledThreads()
{
    int n = runningThreads();
    for (int i = 0; i < 40; ++i) {
        usleep(50000);
        const int again = runningThreads();
        if (again == n)
            break;
        n = again;
    }
    return n;
}

inline double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Runs the event loop until `done` holds or `ms` pass; returns `done()`.
inline bool spinUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (!done())
            usleep(1000);
    }
    return done();
}

// Runs the event loop for `ms` whatever happens (blocking waits, no polling).
inline void runEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
