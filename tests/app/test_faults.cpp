// Faults from outside the program, with the real main window (offscreen): a
// device that vanishes, a line that floods, replies that come late, files
// that cannot be written, devices that refuse the open. Each case checks what
// the person sees and that nothing is lost or left running.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <map>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "app/Qxtest.h"
#include "config/DisplayConfig.h"
#include "base/Formats.h"
#include "base/UniqueFd.h"
#include "dialogs/Selecidioma.h"
#include "serial/Zcomm.h"
#include "support/Modal.h"
#include "support/PtyDisplay.h"

namespace {

using Clock = std::chrono::steady_clock;

QString configRoot; // XDG_CONFIG_HOME of this test

int countEntries(const char* folder)
{
    return static_cast<int>(QDir(QString::fromLatin1(folder)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}
int openDescriptors() { return countEntries("/proc/self/fd"); }
int threads() { return countEntries("/proc/self/task"); }

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
        + static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU the process uses while it waits for `ms` milliseconds.
double cpuWhileIdle(int ms)
{
    const double before = cpuSeconds();
    QTest::qWait(ms);
    return cpuSeconds() - before;
}

void mapCom1(const std::string& device)
{
    const QString folder = configRoot + QStringLiteral("/DADiz");
    QDir().mkpath(folder);
    QFile f(folder + QStringLiteral("/DADiz.conf"));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("[Ports]\nCOM1=" + QByteArray::fromStdString(device) + "\n");
    f.close();
    // Readable by anyone, so a test that drops its file privileges still finds the map.
    ::chmod(f.fileName().toLocal8Bit().constData(), 0644);
}

// Accepts every message box that comes up while it lives and keeps what it said.
class MessageWatch {
public:
    MessageWatch()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                names << box->objectName();
                texts << box->text();
                details << box->informativeText();
                box->accept();
            }
        });
        timer.start(10);
    }
    QStringList names, texts, details;

private:
    QTimer timer;
};

// The display at the far end of COM1.
class PtyDisplay : public testsupport::PtyDisplay {
public:
    PtyDisplay() { mapCom1(path); }
};

// A small tmpfs mounted over `path` for one test, when the process may mount.
class ScratchMount {
public:
    ScratchMount(const QString& path, const char* options) : path_(path.toLocal8Bit()), options_(options)
    {
        QDir().mkpath(path);
        mounted_ = ::mount("tmpfs", path_.constData(), "tmpfs", 0, options) == 0;
    }
    ~ScratchMount()
    {
        if (mounted_)
            ::umount2(path_.constData(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    bool makeReadOnly() { return ::mount(nullptr, path_.constData(), nullptr, MS_REMOUNT | MS_RDONLY, options_) == 0; }

private:
    QByteArray path_;
    const char* options_;
    bool mounted_ = false;
};

// A folder nothing can be written into, even by root: a read-only tmpfs, or
// else a folder without write permission (which binds only a user other than
// root). `prepare` runs while it can still be written.
class ReadOnlyFolder {
public:
    ReadOnlyFolder(const QString& path, const std::function<void(const QString&)>& prepare)
        : mount_(path, "size=64k"), path_(path.toLocal8Bit())
    {
        if (mount_.mounted()) {
            prepare(path);
            ok_ = mount_.makeReadOnly();
        } else if (geteuid() != 0) {
            prepare(path);
            chmodded_ = ok_ = ::chmod(path_.constData(), 0555) == 0;
        }
    }
    ~ReadOnlyFolder()
    {
        if (chmodded_)
            ::chmod(path_.constData(), 0755);
    }
    bool ok() const { return ok_; }

private:
    ScratchMount mount_;
    QByteArray path_;
    bool chmodded_ = false;
    bool ok_ = false;
};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        QVERIFY(QDir::setCurrent(home.path()));
    }

    void init()
    {
        QVERIFY(QDir::setCurrent(home.path()));
        resetToDefaults(DisplayConfig);
        window = std::make_unique<TForm1>();
        window->show();
    }

    void cleanup()
    {
        window.reset();
        QVERIFY(QDir::setCurrent(home.path()));
    }

    void theDeviceVanishesInTheMiddleOfAReply()
    {
        auto display = std::make_unique<PtyDisplay>();
        QVERIFY(display->ok());
        // Half a reading, then nothing.
        display->onRequest = [&](const std::string& frame) { display->send(display->answerTo(frame).substr(0, 9)); };
        MessageWatch messages;
        QTest::mouseClick(window->controls().ActuVisu, Qt::LeftButton);
        QTRY_COMPARE(window->RxBuffer().length(), 9);
        QCOMPARE(window->PendingRequest(), DisplayReadingRequest);

        display->vanish();
        QTRY_COMPARE(messages.texts.size(), 1);
        QCOMPARE(messages.names.first(), QStringLiteral("LineErrorBox"));
        QVERIFY(!messages.texts.first().isEmpty());
        QCOMPARE(window->PendingRequest(), NoRequest);
        QCOMPARE(window->ZComm1()->Connected, 0);
        QCOMPARE(window->controls().Edit[14]->text(), QStringLiteral("   "));
        // Nothing keeps polling the dead line.
        const double cpu = cpuWhileIdle(1000);
        QVERIFY2(cpu < 0.25, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpu)));
        QCOMPARE(messages.texts.size(), 1);

        // The device is back: the next request works.
        PtyDisplay again;
        QVERIFY(again.ok());
        QTest::mouseClick(window->controls().ActuVisu, Qt::LeftButton);
        QTRY_COMPARE(window->controls().Edit[14]->text(), QStringLiteral("       1"));
        QCOMPARE(window->PendingRequest(), NoRequest);
        QCOMPARE(window->controls().Pilot1->text(), QStringLiteral("ON"));
        QCOMPARE(messages.texts.size(), 1);
    }

    void theDeviceVanishesDuringContinuousReading()
    {
        auto display = std::make_unique<PtyDisplay>();
        QVERIFY(display->ok());
        bool answering = true;
        display->onRequest = [&](const std::string& frame) {
            if (answering)
                display->send(display->answerTo(frame));
        };
        MessageWatch messages;
        QTest::mouseClick(window->controls().ActConti, Qt::LeftButton);
        QCOMPARE(window->ContinuousReading(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(display->serial >= 3, 5000);
        // The next reading stays unanswered, and the device goes while it waits.
        answering = false;
        const int asked = display->requests;
        QTRY_VERIFY(display->requests > asked);
        QCOMPARE(window->PendingRequest(), DisplayReadingRequest);
        display->vanish();

        QTRY_COMPARE(messages.texts.size(), 1);
        QCOMPARE(messages.names.first(), QStringLiteral("LineErrorBox"));
        QCOMPARE(window->ContinuousReading(), 0);
        QVERIFY(!window->Timer1()->isActive());
        QVERIFY(!window->controls().ActuVisu->isHidden());
        QVERIFY(window->controls().Enviar1->isVisible());
        QCOMPARE(window->ZComm1()->Connected, 0);
        const double cpu = cpuWhileIdle(1200);
        QVERIFY2(cpu < 0.25, qPrintable(QStringLiteral("%1 s of CPU in 1.2 s").arg(cpu)));
        // The timer is stopped: no further attempt, no further message.
        QCOMPARE(messages.texts.size(), 1);

        PtyDisplay again;
        QVERIFY(again.ok());
        QTest::mouseClick(window->controls().ActConti, Qt::LeftButton);
        QCOMPARE(window->ContinuousReading(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(again.serial >= 2, 5000);
        QTRY_COMPARE(window->controls().Edit[14]->text().trimmed().toInt() >= 1, true);
        QTest::mouseClick(window->controls().ActConti, Qt::LeftButton);
        QCOMPARE(window->ContinuousReading(), 0);
        QCOMPARE(messages.texts.size(), 1);
    }

    void aLineThatFloodsOrRunsLongEndsTheExchange_data()
    {
        QTest::addColumn<int>("replyLength"); // 0: 1 MB without a CR
        QTest::addColumn<bool>("shown");
        QTest::newRow("1 MB without CR") << 0 << false;
        QTest::newRow("202 bytes, the most that fits") << 202 << true;
        QTest::newRow("203 bytes") << 203 << false;
        QTest::newRow("1000 bytes") << 1000 << false;
    }
    void aLineThatFloodsOrRunsLongEndsTheExchange()
    {
        QFETCH(int, replyLength);
        QFETCH(bool, shown);
        PtyDisplay display;
        QVERIFY(display.ok());
        display.onRequest = [&](const std::string& frame) {
            if (replyLength == 0) {
                display.flood(1 << 20);
                return;
            }
            // A reading padded with blanks before its CR to the length of the row.
            std::string reply = display.answerTo(frame);
            reply.insert(reply.size() - 1, static_cast<std::size_t>(replyLength) - reply.size(), ' ');
            display.send(reply);
        };
        MessageWatch messages;
        QTest::mouseClick(window->controls().ActuVisu, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window->PendingRequest(), NoRequest, 5000);
        QCOMPARE(window->ZComm1()->Connected, 0);
        QVERIFY(window->RxBuffer().length() <= 202);
        QCOMPARE(window->RxBuffer().raw()[0], 0);
        QCOMPARE(window->controls().Edit[14]->text(), shown ? QStringLiteral("       1") : QStringLiteral("   "));
        if (replyLength == 0)
            QTRY_COMPARE_WITH_TIMEOUT(display.floodLeft, std::size_t{0}, 20000);
        QVERIFY(messages.texts.isEmpty());

        // Once the line is quiet again, the next reading is taken.
        display.discardUnread();
        display.onRequest = [&](const std::string& frame) { display.send(display.answerTo(frame)); };
        QTest::mouseClick(window->controls().ActuVisu, Qt::LeftButton);
        QTRY_COMPARE(window->PendingRequest(), NoRequest);
        QCOMPARE(window->controls().Edit[14]->text(), QString::fromStdString(cfmt("%8d", display.serial)));
    }

    void hundredsOfRequestsTakeOnlyTheNewestReply()
    {
        PtyDisplay display;
        QVERIFY(display.ok());
        // Every reply comes 15 ms late, while requests follow 0 to 21 ms apart.
        display.onRequest = [&](const std::string& frame) { display.sendLater(display.answerTo(frame), 15); };
        display.listening = [&] { return window->ZComm1()->Connected != 0; };
        QTest::qWait(50);
        const int fdsBefore = openDescriptors();
        const int threadsBefore = threads();

        Clock::time_point latestStart;
        struct Shown {
            std::string value;
            Clock::time_point requestStart;
        };
        std::vector<Shown> shown;
        connect(window.get(), &TForm1::displayReadingShown, this,
            [&] { shown.push_back({window->controls().Edit[14]->text().toStdString(), latestStart}); });

        MessageWatch messages;
        constexpr int kRequests = 300;
        for (int i = 0; i < kRequests; ++i) {
            latestStart = Clock::now();
            if (i % 3 == 2)
                window->LlegirParamAnalog();
            else
                window->LlegirDisplay();
            QTest::qWait(i % 4 * 7);
        }
        // The newest request, on a line that has gone quiet: its own reply is taken.
        QTest::qWait(100);
        display.discardUnread();
        latestStart = Clock::now();
        window->LlegirDisplay();
        QTRY_COMPARE(window->PendingRequest(), NoRequest);
        QCOMPARE(window->controls().Edit[14]->text(), QString::fromStdString(cfmt("%8d", display.serial)));
        QVERIFY(messages.texts.isEmpty());
        // A request asked while the line must stay quiet after one given up
        // waits, and the next one takes its place: most never reach the line.
        QVERIFY(display.requests >= 2 && display.requests < kRequests);

        // No reading already on the line when its request started is taken,
        // and none is taken after a newer one.
        QVERIFY(!shown.empty());
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const std::string reply = "@00RL" + shown[i].value + "RR10\r";
            QVERIFY2(display.sentAt.count(reply), shown[i].value.c_str());
            QVERIFY2(display.sentAt[reply] >= shown[i].requestStart, shown[i].value.c_str());
            if (i > 0)
                QVERIFY(std::stoi(shown[i].value) > std::stoi(shown[i - 1].value));
        }
        qInfo("%zu of %d readings were taken", shown.size(), kRequests * 2 / 3 + 1);

        // Every port opened was closed, and no wait thread is left but the
        // component's own, kept idle for its next connection.
        QCOMPARE(window->ZComm1()->Connected, 0);
        QTRY_COMPARE_WITH_TIMEOUT(openDescriptors(), fdsBefore, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(threads() <= threadsBefore + 1, 3000);
    }

    void bytesThatCameWhileThePortWasClosedAreNotTaken()
    {
        PtyDisplay display;
        QVERIFY(display.ok());
        display.onRequest = [](const std::string&) {};
        // A reading lies on the terminal before any request: a line that was
        // not listened to, or a reply to a request given up long ago.
        display.send("@00RL      99RR11\r");
        QTest::qWait(50);
        window->LlegirDisplay();
        QTest::qWait(300);
        QCOMPARE(window->controls().Edit[14]->text(), QStringLiteral("   "));
        QCOMPARE(window->PendingRequest(), DisplayReadingRequest);
    }

    void savingWhereNothingCanBeWritten_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("read-only folder") << QStringLiteral("ro");
        QTest::newRow("disk full") << QStringLiteral("full");
    }
    void savingWhereNothingCanBeWritten()
    {
        QFETCH(QString, where);
        const QString folder = home.filePath(where);
        const QString path = folder + QStringLiteral("/old.cfg");
        const QByteArray old(88, 0x11);
        std::unique_ptr<ReadOnlyFolder> readOnly;
        std::unique_ptr<ScratchMount> small;
        if (where == QLatin1String("ro")) {
            // The file is protected too: a writable file in a read-only folder is written in place.
            readOnly = std::make_unique<ReadOnlyFolder>(folder, [&](const QString&) {
                writeAll(path, old);
                ::chmod(path.toLocal8Bit().constData(), 0444);
            });
            if (!readOnly->ok())
                QSKIP("no read-only folder can be made here: running as root without the right to mount a tmpfs");
        } else {
            // A two-page file system whose free space a filler then takes.
            small = std::make_unique<ScratchMount>(folder, "size=8k");
            if (!small->mounted())
                QSKIP("no full disk can be made here: mounting a small tmpfs is not allowed");
            writeAll(path, old);
            QFile filler(folder + QStringLiteral("/filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray block(512, 'x');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
        }

        DisplayConfig.Address = 9;
        CurrentFileName = path;
        MessageWatch messages;
        window->Guardar2Click();
        QCOMPARE(messages.texts, QStringList{QStringLiteral("No guardado-1")});
        QVERIFY2(messages.details.first().startsWith(path), qPrintable(messages.details.first()));
        QCOMPARE(readAll(path), old);
        QCOMPARE(window->controls().StatusBar1->text(), path);
        const QStringList left = QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden);
        QVERIFY2(left.filter(QStringLiteral(".tmp-")).isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
    }

    void aLanguageThatCannotBeKeptIsUsedForThisRunAndSaysSo_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("Conf.dad is a folder") << QStringLiteral("folder");
        QTest::newRow("read-only working folder") << QStringLiteral("read-only");
    }
    void aLanguageThatCannotBeKeptIsUsedForThisRunAndSaysSo()
    {
        QFETCH(QString, fault);
        const QString folder = home.filePath(QStringLiteral("lang-") + fault);
        std::unique_ptr<ReadOnlyFolder> guard;
        if (fault == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(folder + QStringLiteral("/Conf.dad")));
        } else {
            guard = std::make_unique<ReadOnlyFolder>(folder,
                [](const QString& dir) {
                    writeAll(dir + QStringLiteral("/Conf.dad"), QByteArray(1, '\x02'));
                    ::chmod((dir + QStringLiteral("/Conf.dad")).toLocal8Bit().constData(), 0444);
                });
            if (!guard->ok())
                QSKIP("cannot make a folder that refuses writing here: running as root without the right to mount a tmpfs");
        }
        QVERIFY(QDir::setCurrent(folder));
        // The window reads the language as it is built.
        window = std::make_unique<TForm1>();
        window->show();
        const std::uint8_t before = fault == QLatin1String("folder") ? 0 : 2;
        QCOMPARE(window->LanguageIndex, before);
        const QString fileMenu = window->controls().Archivo1->title();

        MessageWatch messages;
        testsupport::whenModal<TForm10>([](TForm10* dialog) {
            dialog->setItemIndex(3);
            QTest::mouseClick(dialog->Button1, Qt::LeftButton);
        });
        window->SelectIdioma();
        QCOMPARE(window->LanguageIndex, 3);
        QCOMPARE(window->controls().Archivo1->title(), QStringLiteral("File"));
        QCOMPARE(messages.names, QStringList{QStringLiteral("LanguageNotKeptBox")});
        QCOMPARE(messages.texts.first(),
            QStringLiteral("This language is used until the program closes: it could not be kept in %1/Conf.dad.")
                .arg(folder));
        QVERIFY2(messages.details.first().startsWith(folder + QStringLiteral("/Conf.dad: ")),
            qPrintable(messages.details.first()));
        if (fault == QLatin1String("folder"))
            QVERIFY(QFileInfo(QStringLiteral("Conf.dad")).isDir());
        else
            QCOMPARE(readAll(QStringLiteral("Conf.dad")), QByteArray(1, '\x02'));
        // The next run starts in the language the file still holds.
        window = std::make_unique<TForm1>();
        QCOMPARE(window->LanguageIndex, before);
        QVERIFY(window->controls().Archivo1->title() == fileMenu);
        window.reset();
        QVERIFY(QDir::setCurrent(home.path()));
    }

    void aDeviceThatRefusesTheOpenSaysWhy_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no permission, in French") << QStringLiteral("permission") << 2
                                                  << QStringLiteral("ne peut pas ouvrir");
        QTest::newRow("locked terminal, in English") << QStringLiteral("locked") << 3
                                                     << QStringLiteral("does not answer");
        QTest::newRow("not a serial device, in Catalan") << QStringLiteral("file") << 0
                                                         << QStringLiteral("no és un dispositiu sèrie");
    }
    void aDeviceThatRefusesTheOpenSaysWhy()
    {
        QFETCH(QString, kind);
        QFETCH(int, language);
        QFETCH(QString, reason);
        window->LanguageIndex = static_cast<std::uint8_t>(language);
        std::unique_ptr<PtyDisplay> display;
        UniqueFd lockedMaster;
        std::string device;
        if (kind == QLatin1String("permission")) {
            display = std::make_unique<PtyDisplay>();
            QVERIFY(display->ok());
            device = display->path;
            QCOMPARE(::chmod(device.c_str(), 0), 0);
        } else if (kind == QLatin1String("locked")) {
            // A terminal whose other side never unlocked it refuses every open.
            lockedMaster.reset(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
            QVERIFY(lockedMaster.valid());
            QCOMPARE(grantpt(lockedMaster.get()), 0);
            char name[128] = {};
            QCOMPARE(ptsname_r(lockedMaster.get(), name, sizeof name), 0);
            device = name;
        } else {
            device = home.filePath(QStringLiteral("plain-file")).toStdString();
            writeAll(QString::fromStdString(device), "not a tty");
        }
        mapCom1(device);
        const int fdsBefore = openDescriptors();

        // Root passes every permission check; a file identity without
        // privileges lets the missing permission bite for this thread.
        const bool dropped = kind == QLatin1String("permission") && geteuid() == 0;
        if (dropped)
            setfsuid(65534);
        MessageWatch messages;
        QTest::mouseClick(window->controls().ActuVisu, Qt::LeftButton);
        if (dropped)
            setfsuid(0);
        QCOMPARE(messages.texts, QStringList{QStringLiteral("NO PUEDO ABRIR EL PUERTO")});
        const QString& detail = messages.details.first();
        QVERIFY2(detail.contains(QString::fromStdString(device)) && detail.contains(reason), qPrintable(detail));
        // Joining the group root is never the advice.
        QVERIFY2(!detail.contains(QLatin1String("-aG root")), qPrintable(detail));
        QCOMPARE(window->PendingRequest(), NoRequest);
        QCOMPARE(window->ZComm1()->Connected, 0);
        QCOMPARE(openDescriptors(), fdsBefore);
    }

private:
    QTemporaryDir home;
    std::unique_ptr<TForm1> window;
};

int main(int argc, char* argv[])
{
    // The port map lives in a private settings folder, never the user's; it is
    // readable by anyone so that a test may drop its file privileges.
    static QTemporaryDir configHome;
    configRoot = configHome.path();
    ::chmod(configRoot.toLocal8Bit().constData(), 0755);
    qputenv("XDG_CONFIG_HOME", configRoot.toLocal8Bit());
    QApplication app(argc, argv);
    TestFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_faults.moc"
