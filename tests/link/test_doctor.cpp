// The connection doctor against the simulated display and against the faults
// a test can make: no device, no permission, a device held by another
// process, an echoing adapter, a display at other line settings, one that
// answers late or signs with another address; the search's order and what
// the probe reads of /proc; and dadizctl doctor printing its lines.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include "link/DisplayLink.h"
#include "link/Doctor.h"
#include "link/DoctorProbe.h"
#include "link/DoctorSearch.h"
#include "support/PtyDisplay.h"
#include "support/SimProcess.h"

namespace {

using testsupport::PtyDisplay;
using testsupport::SimProcess;

// `text` with {name} replaced by its value.
QString fill(QString text, std::initializer_list<std::pair<const char*, QString>> values)
{
    for (const auto& [name, value] : values)
        text.replace(QLatin1Char('{') + QLatin1String(name) + QLatin1Char('}'), value);
    return text;
}

// One letter a check: O ok, P problem, S skipped.
QString verdicts(const TDoctorReport& r)
{
    QString out;
    for (const TCheckResult& c : r.checks)
        out += QLatin1Char(c.verdict == TVerdict::Ok ? 'O' : c.verdict == TVerdict::Problem ? 'P' : 'S');
    return out;
}

QString line(const TDoctorReport& r, TDoctorCheck check, TLanguage language = TLanguage::English)
{
    for (const TCheckResult& c : r.checks)
        if (c.check == check)
            return QString::fromStdString(checkLine(c, language));
    return {};
}

TDoctorSetup setupFor(const std::string& port, std::uint8_t baudIndex, std::uint8_t address, bool search = false)
{
    TDoctorSetup s;
    resetToDefaults(s.config);
    s.config.BaudIndex = baudIndex;
    s.config.Address = address;
    s.port = port;
    s.answerTimeoutMs = 300;
    s.search = search;
    // A display answers at once; the margin covers the simulator being kept
    // waiting by a busy machine, so that no answer is taken for a late one.
    s.searchMarginMs = 300;
    return s;
}

TDoctorReport diagnose(const TDoctorSetup& setup)
{
    TDoctor doctor(setup);
    QSignalSpy finished(&doctor, &TDoctor::finished);
    doctor.start();
    if (!finished.wait(240000))
        qFatal("the doctor did not finish");
    return doctor.report();
}

// A child process, killed and reaped when the object goes, whatever failed before.
class TChildGuard {
public:
    explicit TChildGuard(pid_t pid) : pid_(pid) {}
    ~TChildGuard() { end(); }
    TChildGuard(const TChildGuard&) = delete;
    TChildGuard& operator=(const TChildGuard&) = delete;
    pid_t pid() const { return pid_; }
    void end()
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_;
};

// A child process that holds `path` open and locked under the name `comm`
// until it is killed.
pid_t holdInChild(const std::string& path, const char* comm)
{
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        // Only what was inherited on purpose: not the test's end of the pseudo-terminal.
        dup2(ready[1], 100);
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != 100)
                close(fd);
        prctl(PR_SET_NAME, comm);
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0 || flock(fd, LOCK_EX) != 0)
            _exit(1);
        [[maybe_unused]] const ssize_t n = write(100, "1", 1);
        for (;;)
            pause();
    }
    close(ready[1]);
    pollfd p{ready[0], POLLIN, 0};
    char c = 0;
    const bool held = poll(&p, 1, 5000) == 1 && read(ready[0], &c, 1) == 1;
    close(ready[0]);
    if (!held) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

// What `check` says as another user, from a child process.
QString lineAs(uid_t uid, gid_t gid, std::vector<gid_t> groups, const std::function<std::string()>& check)
{
    int out[2];
    if (pipe(out) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(out[0]);
        if (setgroups(groups.size(), groups.data()) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
            _exit(2);
        const std::string text = check();
        [[maybe_unused]] const ssize_t n = write(out[1], text.data(), text.size());
        _exit(0);
    }
    close(out[1]);
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0)
        text.append(buf, static_cast<std::size_t>(n));
    close(out[0]);
    waitpid(pid, nullptr, 0);
    return QString::fromStdString(text);
}

QString permissionAs(uid_t uid, gid_t gid, std::vector<gid_t> groups, const std::string& path)
{
    return lineAs(uid, gid, std::move(groups), [&] { return checkLine(checkPermission(path), TLanguage::English); });
}

// A user who is a member of a group other than their own by /etc/group.
struct TMember {
    uid_t uid = 0;
    gid_t primary = 0;
    gid_t group = 0;
    QString user, groupName;
};
std::optional<TMember> someGroupMember()
{
    setgrent();
    std::optional<TMember> found;
    while (const group* g = getgrent()) {
        for (char** m = g->gr_mem; m && *m && !found; ++m)
            if (const passwd* pw = getpwnam(*m); pw && pw->pw_uid != 0 && pw->pw_gid != g->gr_gid)
                found = TMember{pw->pw_uid, pw->pw_gid, g->gr_gid, QString::fromUtf8(*m), QString::fromUtf8(g->gr_name)};
        if (found)
            break;
    }
    endgrent();
    return found;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

void link(const QString& target, const QString& at)
{
    QDir().mkpath(QFileInfo(at).path());
    QFile::remove(at);
    if (!QFile::link(target, at))
        qFatal("cannot link %s", qPrintable(at));
}

} // namespace

class TestDoctor : public QObject {
    Q_OBJECT
private slots:
    void againstTheSimulatedDisplay_data()
    {
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("address");
        QTest::addColumn<bool>("search");
        QTest::addColumn<QString>("verdicts");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("found"); // "baud parity data stop: addresses > address to use"
        QTest::addColumn<QString>("answer"); // the Answer line
        QTest::addColumn<QString>("searchLine"); // the Search line
        QTest::addColumn<QString>("verdict"); // part of the verdict

        using O = TDoctorOutcome;
        QTest::newRow("as configured") << QStringList{"--baud", "9600", "--address", "5"} << 3 << 5 << true
                                       << "OOOOOS" << int(O::Answers) << ""
                                       << "Answer: ok. Display 05 answers on {device} at 9600 baud, 7E1." << "" << "";
        QTest::newRow("an echoing adapter") << QStringList{"--echo", "--address", "5"} << 3 << 5 << false << "OOOOOS"
                                            << int(O::Answers) << "" << "" << "" << "";
        QTest::newRow("silent, no search") << QStringList{"--silent"} << 3 << 0 << false << "OOOOPS"
                                           << int(O::NothingAnswered) << ""
                                           << "Answer: problem. Display 00 did not answer on {device} at 9600 baud, 7E1 "
                                              "within 0.3 s." << "" << "";
        // A pseudo-terminal keeps speed and stop bits only: the stop bits found go with the parity and data bits configured.
        QTest::newRow("another speed and stop bits") << QStringList{"--baud", "4800", "--stop-bits", "2", "--address", "5"}
                                                     << 3 << 5 << true << "OOOOPO" << int(O::Found) << "2 0 0 1: 05 > 05"
                                                     << "" << "" << "";
        // One display alone answers, at another address: proposed, and said to be another address; a
        // pseudo-terminal cannot tell the parity and data bits, so those configured are kept.
        QTest::newRow("another speed and address") << QStringList{"--baud", "19200", "--address", "9"} << 3 << 0
                                                   << true << "OOOOPO" << int(O::Found) << "4 0 0 0: 09 > 09" << "" << ""
                                                   << "The display that answers has address 09, not the configured 00: "
                                                      "make sure it is the one to set up. {device} is a pseudo-terminal, "
                                                      "which keeps 8 data bits and no parity whatever is asked";
        QTest::newRow("two displays on a bus") << QStringList{"--bus", "3,12", "--baud", "2400"} << 3 << 3 << true
                                               << "OOOOPO" << int(O::Found) << "1 0 0 0: 03 12 > 03" << "" << "" << "";
        // Something answers, signed with another address: that is the verdict, not "nothing answered".
        QTest::newRow("a display that answers from another address")
            << QStringList{"--address", "4", "--wrong-address", "--baud", "19200"} << 4 << 4 << false << "OOOOPS"
            << int(O::OtherAddress) << ""
            << "Answer: problem. A display at address 05 answered instead of display 04. Use address 05, or check "
               "the address set on the display."
            << "Search: skipped. Not asked for: add --search to try every speed, frame format and address."
            << "Verdict: A display answers requests for address 04 at 19200 baud, 7E1, but signs its replies as address 05";
        // The search asks only the address it signs with, and keeps what the Answer check found.
        QTest::newRow("another address, searched")
            << QStringList{"--address", "7", "--wrong-address"} << 0 << 7 << true << "OOOOPP" << int(O::OtherAddress)
            << "" << ""
            << "Search: problem. Display 08 does not answer requests for its own address at 1200 baud, 7E1 either. (1 try)"
            << "Verdict: A display answers requests for address 07 at 1200 baud, 7E1, but signs its replies as address 08";
        // The reply to the Answer check comes during a search try: it is not taken for that try's answer.
        QTest::newRow("a slow display") << QStringList{"--delay", "1500", "--baud", "1200", "--address", "5"} << 0 << 5
                                        << true << "OOOOPP" << int(O::SlowReply) << "" << ""
                                        << "" << "Verdict: Display 05 answers at 1200 baud, 7E1, but only after 1.";
    }
    void againstTheSimulatedDisplay()
    {
        QFETCH(QStringList, sim);
        QFETCH(int, baud);
        QFETCH(int, address);
        QFETCH(bool, search);
        QFETCH(QString, verdicts);
        QFETCH(int, outcome);
        QFETCH(QString, found);
        QFETCH(QString, answer);
        QFETCH(QString, searchLine);
        QFETCH(QString, verdict);
        SimProcess display(DADIZ_SIM_PATH, sim);
        QVERIFY(display.ok());
        const auto setup = setupFor(display.device, static_cast<std::uint8_t>(baud), static_cast<std::uint8_t>(address), search);
        const TDoctorReport r = diagnose(setup);
        const QString device = QString::fromStdString(display.device);
        QCOMPARE(::verdicts(r), verdicts);
        QCOMPARE(int(r.outcome), outcome);
        QCOMPARE(line(r, TDoctorCheck::Device), QStringLiteral("Device: ok. %1 is a pseudo-terminal (a simulated line).").arg(device));
        QCOMPARE(line(r, TDoctorCheck::Busy),
            QStringLiteral("Busy: ok. No other program holds %1. Its other end is held by dadiz-sim (pid %2).")
                .arg(device)
                .arg(display.pid()));
        if (!answer.isEmpty())
            QCOMPARE(line(r, TDoctorCheck::Answer), fill(answer, {{"device", device}}));
        if (!searchLine.isEmpty())
            QCOMPARE(line(r, TDoctorCheck::Search), searchLine);
        const QString conclusion = QString::fromStdString(conclusionLine(r, TLanguage::English));
        QVERIFY2(conclusion.contains(fill(verdict, {{"device", device}})), qPrintable(conclusion));
        if (r.outcome == TDoctorOutcome::SlowReply) {
            // Asked with time to answer, it took at least its delay; the time-out suggested covers what it took.
            QVERIFY2(r.slowLatency >= std::chrono::milliseconds(1500), qPrintable(conclusion));
            QVERIFY(r.suggestedTimeoutMs >= 2 * r.slowLatency.count());
            QVERIFY(conclusion.contains(QStringLiteral("--timeout %1;").arg(r.suggestedTimeoutMs)));
        }
        QCOMPARE(line(r, TDoctorCheck::Echo).contains(QLatin1String("hands back")), sim.contains(QStringLiteral("--echo")));
        QCOMPARE(r.found.has_value(), !found.isEmpty());
        if (r.found) {
            TDisplayConfig at;
            storeLineFormat(r.found->line, at);
            QString text = QStringLiteral("%1 %2 %3 %4:")
                               .arg(at.BaudIndex)
                               .arg(at.ParityIndex)
                               .arg(at.DataBitsIndex)
                               .arg(at.StopBitsIndex);
            for (std::uint8_t a : r.found->addresses)
                text += QStringLiteral(" %1").arg(a, 2, 10, QLatin1Char('0'));
            text += QStringLiteral(" > %1").arg(r.found->Address, 2, 10, QLatin1Char('0'));
            QCOMPARE(text, found);
            // The floor counts each try's request and its time-out: at least the request's wire time twice.
            QVERIFY(r.tries > 0 && r.searchFloor.count() > 0);
            // The settings found are the ones the verdict gives.
            QVERIFY(QString::fromStdString(conclusionLine(r, TLanguage::English))
                        .startsWith(QStringLiteral("Verdict: Use these settings: %1 (instead of ")
                                .arg(QString::fromStdString(lineWords(r.found->line, r.found->Address, TLanguage::English)))));
        }
    }

    void aDeviceThatIsNotThere_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("finding");
        QTest::newRow("missing") << "missing" << "{path} does not exist: nothing is plugged in there.";
        QTest::newRow("a file") << "file" << "{path} is not a serial device: it is a file.";
        QTest::newRow("a folder") << "folder" << "{path} is not a serial device: it is a folder.";
        QTest::newRow("a path through a file")
            << "through a file" << "{path} cannot be reached: a part of the path is not a folder.";
    }
    void aDeviceThatIsNotThere()
    {
        QFETCH(QString, kind);
        QFETCH(QString, finding);
        QTemporaryDir dir;
        const bool throughFile = kind == QLatin1String("through a file");
        const QString path = dir.filePath(throughFile ? QStringLiteral("f/ttyUSB0") : QStringLiteral("ttyUSB0"));
        if (throughFile)
            writeFile(dir.filePath(QStringLiteral("f")), "x");
        else if (kind == QLatin1String("file"))
            writeFile(path, "x");
        else if (kind == QLatin1String("folder"))
            QDir().mkpath(path);
        const TDoctorReport r = diagnose(setupFor(path.toStdString(), 3, 0, true));
        QCOMPARE(verdicts(r), QStringLiteral("PSSSSS"));
        QCOMPARE(r.outcome, TDoctorOutcome::CannotOpen);
        QVERIFY2(line(r, TDoctorCheck::Device).startsWith(QStringLiteral("Device: problem. ") + fill(finding, {{"path", path}})),
            qPrintable(line(r, TDoctorCheck::Device)));
        QVERIFY(line(r, TDoctorCheck::Device).endsWith(QStringLiteral("Plug the adapter in, or name one of the devices present.")));
        QCOMPARE(line(r, TDoctorCheck::Echo), QStringLiteral("Echo: skipped. Not done: the port cannot be used."));
        QCOMPARE(QString::fromStdString(conclusionLine(r, TLanguage::English)),
            QStringLiteral("Verdict: The port cannot be used: fix what the Device check says, then run the doctor again."));
    }

    // The adapter as sysfs and /dev/serial/by-id name it, from a made-up
    // sysfs tree; /dev/null stands for the tty.
    void theAdapterIsNamed_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("expected");
        QTest::newRow("USB adapter") << "usb"
                                     << "Device: ok. /dev/null is FTDI FT232R USB UART (USB 0403:6001, serial number "
                                        "A50285BI). Also known as {byId}/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0.";
        QTest::newRow("hostile descriptors") << "hostile" << "Device: ok. /dev/null is ?]0;x?Adapter (USB 1a86:7523).";
        QTest::newRow("built-in port") << "builtin" << "Device: ok. /dev/null is a serial port of the computer (driver serial).";
        QTest::newRow("no UART behind it") << "nouart" << "Device: problem. /dev/null has no serial port behind it";
    }
    void theAdapterIsNamed()
    {
        QFETCH(QString, layout);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString sys = dir.filePath(QStringLiteral("sys"));
        const QString byId = dir.filePath(QStringLiteral("by-id"));
        const QString usb = sys + QStringLiteral("/devices/pci0000:00/usb1/1-1");
        QString ttyDevice = usb + QStringLiteral("/1-1:1.0/ttyUSB0");
        if (layout == QLatin1String("usb")) {
            writeFile(usb + "/idVendor", "0403\n");
            writeFile(usb + "/idProduct", "6001\n");
            writeFile(usb + "/serial", "A50285BI\n");
            writeFile(usb + "/manufacturer", "FTDI\n");
            writeFile(usb + "/product", "FT232R USB UART\n");
            link(QStringLiteral("/dev/null"), byId + "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        } else if (layout == QLatin1String("hostile")) {
            writeFile(usb + "/idVendor", "1a86\n");
            writeFile(usb + "/idProduct", "7523\n");
            writeFile(usb + "/product", "\x1b]0;x\aAdapter\nsecond line\n");
        } else {
            ttyDevice = sys + QStringLiteral("/devices/pnp0/00:00/00:00:0/00:00:0.0");
            link(sys + "/bus/serial-base/drivers/port", ttyDevice + "/driver");
            link(sys + "/bus/serial-base/drivers/ctrl", ttyDevice + "/../driver");
            link(sys + "/bus/pnp/drivers/serial", ttyDevice + "/../../driver");
            writeFile(sys + "/class/tty/null/type", layout == QLatin1String("nouart") ? "0\n" : "4\n");
        }
        QDir().mkpath(ttyDevice);
        for (const char* driver : {"/bus/serial-base/drivers/port", "/bus/serial-base/drivers/ctrl", "/bus/pnp/drivers/serial"})
            QDir().mkpath(sys + QLatin1String(driver));
        link(ttyDevice, sys + "/class/tty/null/device");
        TSystemPlaces places;
        places.sys = sys.toStdString();
        places.serialById = byId.toStdString();
        const QString got = QString::fromStdString(checkLine(checkDevice("/dev/null", "/dev/null", places), TLanguage::English));
        QVERIFY2(got.startsWith(fill(expected, {{"byId", byId}})), qPrintable(got));
    }

    // Tests run as root: another user is a forked child with its own ids.
    void permissionAsAnotherUser_data()
    {
        QTest::addColumn<QString>("who");
        QTest::addColumn<QString>("expected");
        // Joining root is never the advice: the device needs the serial group and a mode.
        QTest::newRow("root:root 0600") << "nobody-root"
                                        << "Permission: problem. nobody may not open {path} (crw-------): it belongs to "
                                           "the group root, which no user should join. For now: \"sudo chgrp dialout {path} "
                                           "&& sudo chmod 660 {path}\" (until it is plugged in again); for good: a udev "
                                           "rule with GROUP=\"dialout\", MODE=\"0660\". Run \"sudo usermod -aG dialout "
                                           "nobody\", then log out and in again.";
        QTest::newRow("group without access") << "nobody-0600"
                                              << "Permission: problem. nobody may not open {path}: its mode crw------- gives "
                                                 "the group dialout no read and write access, so joining the group does not "
                                                 "help. For now: \"sudo chmod 660 {path}\" (until it is plugged in again); "
                                                 "for good: a udev rule with MODE=\"0660\". Run \"sudo usermod -aG dialout "
                                                 "nobody\", then log out and in again.";
        QTest::newRow("not in the group") << "nobody-dialout"
                                          << "Permission: problem. nobody may not open {path}: it belongs to the group dialout "
                                             "and nobody is not a member. Run \"sudo usermod -aG dialout nobody\", then "
                                             "log out and in again.";
        QTest::newRow("in the group since this session") << "member-session"
                                                         << "Permission: ok. {user} may open {path} (crw-rw----, owner root, group {group}).";
        QTest::newRow("in the group, session older") << "member-database"
                                                     << "Permission: problem. {user} is a member of the group {group}, but this "
                                                        "session began before that: the membership counts from the next "
                                                        "login. Log out and in again (or restart the computer).";
    }
    void permissionAsAnotherUser()
    {
        QFETCH(QString, who);
        QFETCH(QString, expected);
        PtyDisplay pty;
        QVERIFY(pty.ok());
        const std::string path = pty.path;
        const passwd* nobody = getpwnam("nobody");
        const group* dialout = getgrnam("dialout");
        QVERIFY(nobody && dialout);
        const uid_t nobodyUid = nobody->pw_uid;
        const gid_t nobodyGid = nobody->pw_gid;
        QString got;
        if (who == QLatin1String("nobody-root") || who == QLatin1String("nobody-0600")) {
            const gid_t group = who == QLatin1String("nobody-root") ? 0 : dialout->gr_gid;
            QVERIFY(chown(path.c_str(), 0, group) == 0 && chmod(path.c_str(), 0600) == 0);
            got = permissionAs(nobodyUid, nobodyGid, {nobodyGid}, path);
        } else if (who == QLatin1String("nobody-dialout")) {
            QVERIFY(chown(path.c_str(), 0, dialout->gr_gid) == 0 && chmod(path.c_str(), 0660) == 0);
            got = permissionAs(nobodyUid, nobodyGid, {nobodyGid}, path);
        } else {
            const auto member = someGroupMember();
            if (!member)
                QSKIP("no user here is a member of another group by /etc/group");
            QVERIFY(chown(path.c_str(), 0, member->group) == 0 && chmod(path.c_str(), 0660) == 0);
            std::vector<gid_t> groups{member->primary};
            if (who == QLatin1String("member-session"))
                groups.push_back(member->group);
            got = permissionAs(member->uid, member->primary, groups, path);
            expected = fill(expected, {{"user", member->user}, {"group", member->groupName}});
        }
        QCOMPARE(got, fill(expected, {{"path", QString::fromStdString(path)}}));
    }

    void aDeviceHeldByAnotherProcess_data()
    {
        QTest::addColumn<QString>("comm");
        QTest::addColumn<QString>("advice");
        QTest::newRow("a program") << "holder" << "Close holder (or end it: \"kill {pid}\"), then run the doctor again.";
        QTest::newRow("ModemManager") << "ModemManager"
                                      << "ModemManager grabs USB serial adapters to look for modems: stop it with "
                                         "\"sudo systemctl stop ModemManager\", or for good with \"sudo systemctl mask "
                                         "ModemManager\".";
        QTest::newRow("brltty") << "brltty"
                                << "brltty (for braille displays) grabs USB serial adapters: stop it with \"sudo "
                                   "systemctl stop brltty\", or remove it with \"sudo apt-get remove brltty\".";
    }
    void aDeviceHeldByAnotherProcess()
    {
        QFETCH(QString, comm);
        QFETCH(QString, advice);
        PtyDisplay pty;
        QVERIFY(pty.ok());
        TChildGuard holding(holdInChild(pty.path, comm.toLatin1().constData()));
        const pid_t holder = holding.pid();
        QVERIFY(holder > 0);
        const TDoctorReport r = diagnose(setupFor(pty.path, 3, 0, true));
        QCOMPARE(verdicts(r), QStringLiteral("OOPSSS"));
        QCOMPARE(r.outcome, TDoctorOutcome::CannotOpen);
        QCOMPARE(line(r, TDoctorCheck::Busy),
            fill(QStringLiteral("Busy: problem. {path} is held by {comm} (pid {pid}). ") + advice,
                {{"path", QString::fromStdString(pty.path)}, {"comm", comm}, {"pid", QString::number(holder)}}));
        // Another user cannot look at the holder's descriptors: its lock names it.
        const passwd* nobody = getpwnam("nobody");
        QVERIFY(nobody);
        const QString seenByNobody = lineAs(nobody->pw_uid, nobody->pw_gid, {nobody->pw_gid},
            [&] { return checkLine(checkBusy(pty.path), TLanguage::English); });
        holding.end();
        QCOMPARE(seenByNobody, line(r, TDoctorCheck::Busy));
        // Once it is gone, the port is free again.
        QCOMPARE(QString::fromStdString(checkLine(checkBusy(pty.path), TLanguage::English)),
            QStringLiteral("Busy: ok. No other program holds %1.").arg(QString::fromStdString(pty.path)));
    }

    void anEchoingAdapter_data()
    {
        QTest::addColumn<bool>("answers");
        QTest::addColumn<QString>("verdicts");
        QTest::addColumn<QString>("answer");
        QTest::newRow("echo and a reply") << true << "OOOOOS" << "Answer: ok. Display 00 answers on {device} at 9600 baud, 7E1.";
        QTest::newRow("the echo alone") << false << "OOOOPS"
                                        << "Answer: problem. Display 00 did not answer on {device} at 9600 baud, 7E1 within "
                                           "0.3 s. Only the echo of the request came back: the adapter sends, but "
                                           "nothing answers.";
    }
    void anEchoingAdapter()
    {
        QFETCH(bool, answers);
        QFETCH(QString, verdicts);
        QFETCH(QString, answer);
        PtyDisplay pty;
        QVERIFY(pty.ok());
        pty.onRequest = [&](const std::string& frame) { pty.send(frame + (answers ? pty.answerTo(frame) : "")); };
        const TDoctorReport r = diagnose(setupFor(pty.path, 3, 0));
        QCOMPARE(::verdicts(r), verdicts);
        QCOMPARE(line(r, TDoctorCheck::Echo),
            QStringLiteral("Echo: ok. The adapter hands back what it sends (an RS-485 adapter's echo); the program drops it."));
        QCOMPARE(line(r, TDoctorCheck::Answer), fill(answer, {{"device", QString::fromStdString(pty.path)}}));
    }

    // A reply the reading command would not take is no answer; bytes that
    // keep coming without an end, or an echo that never stops, are cut short
    // at the check's deadline and said as such.
    void repliesThatAreNoReading_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("answer"); // how the Answer line begins
        QTest::addColumn<QString>("ending");  // and ends
        QTest::newRow("letters without a reading")
            << "@03P\r" << "Answer: problem. Display 03 replied \"@03P<CR>\", which carries neither a value nor relay states."
            << "";
        QTest::newRow("noise") << "~\x1bx@\r"
                               << "Answer: problem. Noise came instead of a reply: \"~<1B>x@<CR>\". The speed or frame "
                                  "format is likely not the display's."
                               << "";
        QTest::newRow("a trickle") << "trickle"
                                   << "Answer: problem. Display 03 did not answer on {device} at 9600 baud, 7E1 within 1.0 "
                                      "s. Bytes kept trickling in without an end of frame ("
                                   << "s): the check stopped there. The speed or frame format is likely not the display's.";
        QTest::newRow("an endless echo") << "echo"
                                         << "Answer: problem. Display 03 did not answer on {device} at 9600 baud, 7E1 within "
                                            "1.0 s. The echo of the request kept coming back ("
                                         << "s) with no reply: the check stopped there.";
    }
    void repliesThatAreNoReading()
    {
        QFETCH(QString, kind);
        QFETCH(QString, answer);
        QFETCH(QString, ending);
        PtyDisplay pty;
        QVERIFY(pty.ok());
        // A byte every 100 ms, or the request again every 10 ms: each would move a time-out of 300 ms on for ever.
        auto* again = new QTimer(&pty);
        pty.onRequest = [&](const std::string& frame) {
            if (kind == QLatin1String("trickle")) {
                pty.send(frame.substr(0, 3));
                connect(again, &QTimer::timeout, &pty, [&] { pty.send("7"); });
                again->start(100);
            } else if (kind == QLatin1String("echo")) {
                connect(again, &QTimer::timeout, &pty, [&pty, frame] { pty.send(frame); });
                again->start(10);
            } else {
                pty.send(kind.toLatin1().toStdString());
            }
        };
        // Ten times the pause between the bytes: a loaded machine does not end the trickle early.
        TDoctorSetup setup = setupFor(pty.path, 3, 3);
        setup.answerTimeoutMs = 1000;
        const TDoctorReport r = diagnose(setup);
        again->stop();
        QCOMPARE(verdicts(r), QStringLiteral("OOOOPS"));
        QCOMPARE(r.outcome, TDoctorOutcome::NothingAnswered);
        const QString got = line(r, TDoctorCheck::Answer);
        QVERIFY2(got.startsWith(fill(answer, {{"device", QString::fromStdString(pty.path)}})) && got.endsWith(ending),
            qPrintable(got));
    }

    // A search without a display, cancelled at its third try and, in
    // another run, before its first step: the port is closed at once.
    // The search's order: the configured address at every other setting,
    // fastest first; a setting's other addresses next where something
    // answered, once; then every address at every setting not swept.
    void theSearchPlan()
    {
        TSearchPlan plan;
        plan.reset({9600, TLineParity::Even, 7, 1}, 7);
        plan.planConfigured();
        QCOMPARE(plan.left(), 59);
        const TSearchTry first = plan.take();
        QVERIFY(first.line == (TLineFormat{19200, TLineParity::Even, 7, 1}) && first.address == 7 && !first.confirm);
        plan.planSweep(first.line);
        plan.planSweep(first.line);
        QCOMPARE(plan.left(), 58 + 31);
        for (int i = 0; i < 31; ++i) {
            const TSearchTry t = plan.take();
            QVERIFY(t.line == first.line && t.address != 7);
        }
        QVERIFY(plan.next().line == (TLineFormat{4800, TLineParity::Even, 7, 1}));
        plan.addNext({first.line, 3, true});
        QVERIFY(plan.take().confirm);
        plan.planEverywhere();
        QVERIFY(plan.everywhere());
        QCOMPARE(plan.left(), 58 + 59 * 31);
    }

    // Who holds a device, from a /proc of the test's own: a descriptor, a
    // lock whose process shows no descriptors, a grabber running.
    void theProbeReadsProc()
    {
        QTemporaryDir proc;
        QVERIFY(proc.isValid());
        struct stat null {};
        QCOMPARE(::stat("/dev/null", &null), 0);
        auto write = [&](const QString& name, const QByteArray& text) {
            QFile f(proc.filePath(name));
            QVERIFY(QDir(proc.path()).mkpath(QFileInfo(name).path()) && f.open(QIODevice::WriteOnly));
            f.write(text);
        };
        write(QStringLiteral("4242/comm"), "minicom\n");
        QVERIFY(QDir(proc.path()).mkpath(QStringLiteral("4242/fd")));
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), proc.filePath(QStringLiteral("4242/fd/3"))));
        write(QStringLiteral("5151/comm"), "picocom\n");
        write(QStringLiteral("77/comm"), "ModemManager\n");
        write(QStringLiteral("locks"),
            QString::asprintf("1: FLOCK  ADVISORY  WRITE 5151 %02x:%02x:%llu 0 EOF\n", major(null.st_dev),
                minor(null.st_dev), static_cast<unsigned long long>(null.st_ino))
                .toLatin1());
        TSystemPlaces places;
        places.proc = proc.path().toStdString();
        const doctor::TDeviceUsers users = doctor::holdersOf(null, "/dev/null", places);
        QString seen;
        for (const doctor::THolder& h : users.holders)
            seen += QStringLiteral("%1 %2 %3; ").arg(h.pid).arg(QString::fromStdString(h.comm)).arg(h.holdsDevice);
        QCOMPARE(seen, QStringLiteral("4242 minicom 1; 5151 picocom 1; "));
        QCOMPARE(users.running, std::vector<std::string>{"ModemManager"});
        QCOMPARE(users.hidden, 0);
    }

    void cancelledAtAnyMoment()
    {
        SimProcess silent(DADIZ_SIM_PATH, {QStringLiteral("--silent")});
        QVERIFY(silent.ok());
        TDoctor doctor(setupFor(silent.device, 3, 0, true));
        QSignalSpy finished(&doctor, &TDoctor::finished);
        std::vector<int> seen;
        connect(&doctor, &TDoctor::progress, &doctor, [&](const TSearchProgress& p) {
            seen.push_back(p.done);
            QCOMPARE(p.total, 59); // the configured address at every other speed and format
            if (p.done == 3)
                doctor.cancel();
        });
        doctor.start();
        QVERIFY(finished.wait(20000));
        QCOMPARE(seen, (std::vector<int>{1, 2, 3}));
        QVERIFY(!doctor.running());
        QVERIFY(!doctor.link().portOpen());
        QCOMPARE(finished.count(), 1);
        const TDoctorReport r = doctor.report();
        QCOMPARE(r.outcome, TDoctorOutcome::Cancelled);
        QCOMPARE(verdicts(r), QStringLiteral("OOOOPS"));
        QCOMPARE(line(r, TDoctorCheck::Search), QStringLiteral("Search: skipped. Cancelled after 3 of 59 tries."));
        QCOMPARE(QString::fromStdString(conclusionLine(r, TLanguage::English)), QStringLiteral("Verdict: Cancelled; the port is closed."));
        QTest::qWait(100);
        QCOMPARE(finished.count(), 1); // nothing queued before the cancel runs after it

        doctor.start();
        doctor.cancel();
        QCOMPARE(verdicts(doctor.report()), QStringLiteral("SSSSSS"));
        QCOMPARE(line(doctor.report(), TDoctorCheck::Device), QStringLiteral("Device: skipped. Cancelled."));
    }

    // dadizctl doctor prints its lines in the language asked for and ends
    // with the status that says how it went. {permission} and {deviceCheck}
    // depend on who runs the test and on the machine's own serial devices.
    void dadizctlPrintsTheLines_data()
    {
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("answers")
            << QStringList{"--address", "7"} << QStringList{"--address", "7"} << 3 << 0
            << QStringList{"Device: ok. {device} is a pseudo-terminal (a simulated line).", "{permission}",
                   "Busy: ok. No other program holds {device}. Its other end is held by dadiz-sim (pid {pid}).",
                   "Echo: ok. The adapter does not hand back what it sends.",
                   "Answer: ok. Display 07 answers on {device} at 1200 baud, 7E1.",
                   "Search: skipped. Not needed: the display answers.",
                   "Verdict: The display answers as configured: nothing to change."};
        QTest::newRow("silent, in French")
            << QStringList{"--silent"} << QStringList{"--lang", "fr"} << 2 << 1
            << QStringList{"Périphérique : correct. {device} est un pseudo-terminal (une ligne simulée).", "{permission}",
                   "Occupé : correct. Aucun autre programme n'a ouvert {device}. L'autre bout est tenu par dadiz-sim "
                   "(pid {pid}).",
                   "Écho : correct. L'adaptateur ne renvoie pas ce qu'il envoie.",
                   "Réponse : problème. L'afficheur 00 n'a pas répondu sur {device} à 1200 bauds, 7E1 en 0.3 s.",
                   "Recherche : omis. Non demandée : ajoutez --search pour essayer toutes les vitesses, formats de "
                   "trame et adresses.",
                   "Verdict : Aucun afficheur ne répond sur {device}. Ajoutez --search pour le chercher à toutes les "
                   "vitesses, formats de trame et adresses."};
        QTest::newRow("found by the search, in Catalan")
            << QStringList{"--baud", "19200", "--address", "2"}
            << QStringList{"--baud", "9600", "--address", "2", "--search", "--lang", "ca"} << 0 << 0
            << QStringList{"Dispositiu: correcte. {device} és un pseudoterminal (una línia simulada).", "{permission}",
                   "Ocupat: correcte. Cap altre programa no té obert {device}. L'altre extrem el té dadiz-sim (pid {pid}).",
                   "Eco: correcte. L'adaptador no retorna el que envia.",
                   "Resposta: problema. El visualitzador 02 no ha respost a {device} amb 9600 baud, 7E1 en 0.3 s.",
                   "Cerca: correcte. Un visualitzador respon a 19200 baud, 7E1, adreça 02 (33 proves).",
                   "Veredicte: Feu servir aquesta configuració: 19200 baud, 7E1 (7 bits de dades, paritat parell, 1 bit "
                   "de stop), adreça 02 (en lloc de 9600 baud, 7E1, adreça 02). {device} és un pseudoterminal, que es "
                   "queda 8 bits de dades i cap paritat demani el que es demani: la paritat i els bits de dades no s'hi "
                   "poden distingir, i es mantenen els configurats."};
        QTest::newRow("another address, searched")
            << QStringList{"--wrong-address", "--address", "7"} << QStringList{"--address", "7", "--search"} << 3 << 1
            << QStringList{"Device: ok. {device} is a pseudo-terminal (a simulated line).", "{permission}",
                   "Busy: ok. No other program holds {device}. Its other end is held by dadiz-sim (pid {pid}).",
                   "Echo: ok. The adapter does not hand back what it sends.",
                   "Answer: problem. A display at address 08 answered instead of display 07. Use address 08, or check "
                   "the address set on the display.",
                   "Search: problem. Display 08 does not answer requests for its own address at 1200 baud, 7E1 either. "
                   "(1 try)",
                   "Verdict: A display answers requests for address 07 at 1200 baud, 7E1, but signs its replies as "
                   "address 08, so the program cannot use them. Check the address set on the display, and whether "
                   "another display on the line answers in its place."};
        QTest::newRow("no device")
            << QStringList{} << QStringList{"--port", "/nonexistent/ttyUSB0", "--lang", "es"} << 1 << 3
            << QStringList{"{deviceCheck}", "Permiso: omitido. No se ha hecho: el puerto no se puede usar.",
                   "Ocupado: omitido. No se ha hecho: el puerto no se puede usar.",
                   "Eco: omitido. No se ha hecho: el puerto no se puede usar.",
                   "Respuesta: omitido. No se ha hecho: el puerto no se puede usar.",
                   "Búsqueda: omitido. No se ha hecho: el puerto no se puede usar.",
                   "Veredicto: El puerto no se puede usar: resuelva lo que dice la comprobación \"Dispositivo\" y "
                   "vuelva a pasar el diagnóstico."};
        // Another display on the bus is never proposed in place of the one asked for.
        QTest::newRow("a bus without the address asked")
            << QStringList{"--bus", "1,2,3"} << QStringList{"--address", "9", "--search"} << 3 << 1
            << QStringList{"Device: ok. {device} is a pseudo-terminal (a simulated line).", "{permission}",
                   "Busy: ok. No other program holds {device}. Its other end is held by dadiz-sim (pid {pid}).",
                   "Echo: ok. The adapter does not hand back what it sends.",
                   "Answer: problem. Display 09 did not answer on {device} at 1200 baud, 7E1 within 0.3 s.",
                   "Search: problem. Displays answer at 19200 baud, 7E1, addresses 01, 02, 03 (93 tries). None answers "
                   "as 09.",
                   "Verdict: No display answers as 09; displays 01, 02, 03 answer at 19200 baud, 7E1. Check the address "
                   "set on the display, or choose which of these you mean. {device} is a pseudo-terminal, which keeps 8 "
                   "data bits and no parity whatever is asked: the parity and data bits cannot be told apart there, so "
                   "those configured are kept."};
    }
    void dadizctlPrintsTheLines()
    {
        QFETCH(QStringList, sim);
        QFETCH(QStringList, options);
        QFETCH(int, language);
        QFETCH(int, status);
        QFETCH(QStringList, expected);
        SimProcess display(DADIZ_SIM_PATH, sim);
        QVERIFY(display.ok());
        const int portAt = options.indexOf(QStringLiteral("--port"));
        const std::string port = portAt >= 0 ? options.at(portAt + 1).toStdString() : display.device;
        QStringList args{QStringLiteral("doctor"), QStringLiteral("--timeout"), QStringLiteral("300")};
        if (portAt < 0)
            args << QStringLiteral("--port") << QString::fromStdString(display.device);
        args << options;
        const testsupport::ProgramRun run = testsupport::runProgram(DADIZ_CTL_PATH, args);
        QCOMPARE(run.status, status);
        for (QString& l : expected)
            l = fill(l, {{"device", QString::fromStdString(display.device)}, {"pid", QString::number(display.pid())},
                            {"permission", QString::fromStdString(checkLine(checkPermission(port), kLanguages[language]))},
                            {"deviceCheck", QString::fromStdString(checkLine(checkDevice(port, port), kLanguages[language]))}});
        QCOMPARE(run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
    }
};

QTEST_GUILESS_MAIN(TestDoctor)
#include "test_doctor.moc"
