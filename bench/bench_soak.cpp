// Soak: the main window (offscreen) reads a display continuously, every
// 500 ms, for a long time, while the display now and then stays silent,
// answers late or sends its reply in pieces. Prints resident memory,
// descriptors and threads at the start and the end, readings taken and
// missed, and the CPU used.
//   bench_soak [SECONDS]   (default 600)
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <utility>
#include <termios.h>
#include <unistd.h>

#include "app/Qxtest.h"
#include "base/Formats.h"
#include "base/UniqueFd.h"
#include "serial/Zcomm.h"

namespace {

constexpr int kWarmUpSeconds = 10;

struct TFigures {
    long residentKb = 0;
    int descriptors = 0;
    int threads = 0;
};

int countEntries(const char* folder)
{
    return static_cast<int>(QDir(QString::fromLatin1(folder)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// What the process holds, for the end of the report.
QString holdings()
{
    QStringList items;
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::NoDotAndDotDot | QDir::AllEntries))
        items << fd.fileName() + QLatin1Char('=') + fd.symLinkTarget();
    for (const QFileInfo& task : QDir(QStringLiteral("/proc/self/task")).entryInfoList(QDir::NoDotAndDotDot | QDir::Dirs)) {
        QFile comm(task.filePath() + QStringLiteral("/comm"));
        if (comm.open(QIODevice::ReadOnly))
            items << QStringLiteral("thread ") + QString::fromLocal8Bit(comm.readAll().trimmed());
    }
    return items.join(QStringLiteral(", "));
}

TFigures measure()
{
    return {residentKb(), countEntries("/proc/self/fd"), countEntries("/proc/self/task")};
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
        + static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// How the display behaves for its n-th request.
enum class TBehaviour { Prompt, Silent, Slow, Late, Pieces };

TBehaviour behaviourFor(int n)
{
    // Every 50 requests, a silent stretch of six (three seconds).
    if (n % 50 >= 44)
        return TBehaviour::Silent;
    switch (n % 25) {
    case 5:
        return TBehaviour::Silent;
    case 12:
        return TBehaviour::Late; // 800 ms: after the next request has been sent
    case 18:
        return TBehaviour::Slow; // 300 ms: still in time
    case 2:
    case 9:
    case 21:
        return TBehaviour::Pieces;
    default:
        return TBehaviour::Prompt;
    }
}

// The display at the far end of a pseudo-terminal. It keeps a descriptor of
// the terminal side open, as a line stays there, and loses what it sends
// while the window's port is closed, as a closed serial port hears nothing.
class TDisplay : public QObject {
public:
    explicit TDisplay(TZComm* port) : port_(port)
    {
        master_.reset(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        char name[128] = {};
        if (!master_ || grantpt(master_.get()) != 0 || unlockpt(master_.get()) != 0
            || ptsname_r(master_.get(), name, sizeof name) != 0)
            return;
        path = name;
        line_.reset(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        termios t{};
        tcgetattr(line_.get(), &t);
        cfmakeraw(&t);
        tcsetattr(line_.get(), TCSANOW, &t);
        auto* notifier = new QSocketNotifier(master_.get(), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] { receive(); });
    }

    std::string path;
    int requests = 0;
    int counts[5] = {};

private:
    void receive()
    {
        char buf[256];
        const ssize_t n = ::read(master_.get(), buf, sizeof buf);
        for (ssize_t i = 0; i < n; ++i) {
            incoming_ += buf[i];
            if (buf[i] != '\r')
                continue;
            const std::size_t at = incoming_.find('@');
            if (at != std::string::npos && incoming_.size() - at == 5 && incoming_[at + 3] == 'L')
                answer(incoming_.substr(at + 1, 2));
            incoming_.clear();
        }
    }

    void answer(const std::string& address)
    {
        const int n = requests++;
        const TBehaviour b = behaviourFor(n);
        ++counts[static_cast<int>(b)];
        const std::string reply = "@" + address + "RL" + cfmt("%8d", n % 100000) + "RR" + (n % 2 ? "10" : "01") + "\r";
        switch (b) {
        case TBehaviour::Silent:
            break;
        case TBehaviour::Prompt:
            send(reply);
            break;
        case TBehaviour::Slow:
            sendLater(reply, 300);
            break;
        case TBehaviour::Late:
            sendLater(reply, 800);
            break;
        case TBehaviour::Pieces:
            send(reply.substr(0, 3));
            sendLater(reply.substr(3, 10), 30);
            sendLater(reply.substr(13), 60);
            break;
        }
    }

    void sendLater(const std::string& bytes, int ms)
    {
        QTimer::singleShot(ms, this, [this, bytes] { send(bytes); });
    }

    void send(const std::string& bytes)
    {
        if (port_->Connected == 0)
            return;
        [[maybe_unused]] const ssize_t n = ::write(master_.get(), bytes.data(), bytes.size());
    }

    TZComm* port_;
    UniqueFd master_;
    UniqueFd line_;
    std::string incoming_;
};

} // namespace

int main(int argc, char* argv[])
{
    int seconds = 600;
    if (argc > 1) {
        seconds = textToInt(argv[1]);
        if (seconds < 5) {
            std::fprintf(stderr, "usage: bench_soak [SECONDS]   (at least 5; default 600)\n");
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A private settings folder for the port map, and a private working folder.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QDir::setCurrent(home.path());

    QApplication app(argc, argv);
    TForm1 window;
    window.show();
    TDisplay display(window.ZComm1());
    if (display.path.empty()) {
        std::fprintf(stderr, "bench_soak: no pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    QDir().mkpath(home.filePath(QStringLiteral("DADiz")));
    QFile map(home.filePath(QStringLiteral("DADiz/DADiz.conf")));
    if (!map.open(QIODevice::WriteOnly))
        return 1;
    map.write("[Ports]\nCOM1=" + QByteArray::fromStdString(display.path) + "\n");
    map.close();

    // Any message box is counted and closed, so the run never stops on one.
    int messages = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++messages;
            std::printf("message: %s\n", qPrintable(box->text()));
            box->accept();
        }
    });
    closer.start(50);

    std::printf("soak: %d s of continuous reading against a display on %s, after %d s to warm up\n", seconds,
        display.path.c_str(), kWarmUpSeconds);
    std::fflush(stdout);

    // Figures are taken with continuous reading stopped right after a
    // reading, when no exchange is under way, and 1.5 s later, once the last
    // wait thread has ended: the same moment at the start and at the end.
    long taken = 0;
    std::function<void()> whenQuiet;
    QObject::connect(&window, &TForm1::displayReadingShown, [&] {
        ++taken;
        if (whenQuiet && window.ContinuousReading() != 0) {
            window.ModActualit();
            QTimer::singleShot(1500, &app, std::exchange(whenQuiet, nullptr));
        }
    });

    TFigures start;
    QString heldAtStart;
    double cpuStart = 0;
    auto wallStart = std::chrono::steady_clock::now();
    long takenAtStart = 0;
    int requestsAtStart = 0;
    int countsAtStart[5] = {};
    QTimer progress;
    int minute = 0;
    QObject::connect(&progress, &QTimer::timeout, [&] {
        const TFigures now = measure();
        std::printf("  %3d min: resident %ld KB, descriptors %d, threads %d, readings %ld of %d\n", ++minute,
            now.residentKb, now.descriptors, now.threads, taken - takenAtStart, display.requests - requestsAtStart);
        std::fflush(stdout);
    });
    // The toolkit starts some threads and descriptors of its own on first use:
    // the start figures come after a warm-up.
    window.ModActualit();
    QTimer::singleShot(kWarmUpSeconds * 1000, [&] {
        whenQuiet = [&] {
            start = measure();
            heldAtStart = holdings();
            cpuStart = cpuSeconds();
            wallStart = std::chrono::steady_clock::now();
            takenAtStart = taken;
            requestsAtStart = display.requests;
            std::copy(std::begin(display.counts), std::end(display.counts), countsAtStart);
            window.ModActualit();
            progress.start(60000);
            QTimer::singleShot(seconds * 1000, [&] {
                progress.stop();
                whenQuiet = [&] { app.quit(); };
            });
        };
    });
    app.exec();

    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    const double cpu = cpuSeconds() - cpuStart;
    const TFigures end = measure();
    const int sent = display.requests - requestsAtStart;
    const long readings = taken - takenAtStart;
    const auto count = [&](TBehaviour b) { return display.counts[static_cast<int>(b)] - countsAtStart[static_cast<int>(b)]; };

    std::printf("\n%-22s %10s %10s\n", "", "start", "end");
    std::printf("%-22s %10ld %10ld\n", "resident memory (KB)", start.residentKb, end.residentKb);
    std::printf("%-22s %10d %10d\n", "descriptors", start.descriptors, end.descriptors);
    std::printf("%-22s %10d %10d\n", "threads", start.threads, end.threads);
    std::printf("\nrequests sent      %d (display: %d prompt, %d in pieces, %d slow 300 ms, %d late 800 ms, %d silent)\n",
        sent, count(TBehaviour::Prompt), count(TBehaviour::Pieces), count(TBehaviour::Slow), count(TBehaviour::Late),
        count(TBehaviour::Silent));
    std::printf("readings taken     %ld\n", readings);
    std::printf("readings missed    %ld\n", sent - readings);
    std::printf("messages shown     %d\n", messages);
    std::printf("CPU                %.2f s in %.1f s = %.2f %% of one core\n", cpu, wall, 100.0 * cpu / wall);
    std::printf("held at the start  %s\n", qPrintable(heldAtStart));
    std::printf("held at the end    %s\n", qPrintable(holdings()));
    std::printf("port at the end    %s, request pending: %d\n", window.ZComm1()->Connected ? "open" : "closed",
        window.PendingRequest());
    return 0;
}
