// COM names to device paths, and the line settings of the configuration applied to the port.
#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

#include "config/DisplayConfig.h"
#include "link/LineSettings.h"
#include "serial/PortMap.h"
#include "serial/Zcomm.h"
#include "SerialTestSupport.h"

TEST(PortMap, ComNamesResolveThroughTheMap)
{
    qtApp();
    ASSERT_TRUE(QString(qgetenv("XDG_CONFIG_HOME")).contains(QStringLiteral("/tmp")));
    for (int com = 1; com <= 6; ++com)
        setMappedDevice(com, "");
    setMappedDevice(2, "/dev/serial/by-id/usb-FTDI_RS485-if00-port0");
    setMappedDevice(5, "/dev/ttyUSB3");

    struct Row { std::string port; std::string path; };
    const Row rows[] = {
        {"COM1", "/dev/ttyS0"},
        {"COM2", "/dev/serial/by-id/usb-FTDI_RS485-if00-port0"},
        {"com5", "/dev/ttyUSB3"},
        {"COM6", "/dev/ttyS5"},
        {"COM12", "/dev/ttyS11"},
        {"/dev/pts/7", "/dev/pts/7"},
        {"ttyACM0", "/dev/ttyACM0"},
        {"", ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(resolvePortPath(row.port), row.path) << row.port;

    // The entries live in the INI file under Ports/COMn.
    QSettings file(QString::fromStdString(settingsFilePath()), QSettings::IniFormat);
    EXPECT_EQ(file.fileName(), QString(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/DADiz/DADiz.conf"));
    EXPECT_EQ(file.value(QStringLiteral("Ports/COM5")).toString(), QStringLiteral("/dev/ttyUSB3"));

    // A relative path in the file is not honoured; removing an entry restores the fallback.
    file.setValue(QStringLiteral("Ports/COM3"), QStringLiteral("ttyUSB0"));
    file.sync();
    EXPECT_EQ(resolvePortPath("COM3"), "/dev/ttyS2");
    EXPECT_EQ(describePortMapProblem(3, TLanguage::French), settingsFilePath()
                                                + " : COM3=ttyUSB0 n'est pas un chemin absolu et n'est pas utilisé ; "
                                                  "COM3 utilise /dev/ttyS2.");
    EXPECT_EQ(describePortMapProblem(2, TLanguage::French), "");
    setMappedDevice(5, "");
    EXPECT_EQ(resolvePortPath("COM5"), "/dev/ttyS4");
}

// A settings file that is a FIFO would block whoever reads it: it is neither read nor replaced.
TEST(PortMap, ASettingsFileThatIsNotRegularIsLeftAlone)
{
    qtApp();
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    const std::string path = settingsFilePath();
    ASSERT_EQ(mkdir((home.path().toStdString() + "/DADiz").c_str(), 0700), 0);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);

    EXPECT_EQ(resolvePortPath("COM2"), "/dev/ttyS1");
    EXPECT_FALSE(readSetting("Link/ReplyTimeoutMs"));
    EXPECT_EQ(settingsFileState(), TSettingsFile::NotRegular);
    EXPECT_EQ(describePortMapProblem(2, TLanguage::English), path + " is not a regular file: no port is read from it (COM2 uses /dev/ttyS1).");
    EXPECT_FALSE(setMappedDevice(2, "/dev/ttyUSB0"));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A folder that is a file: the reason in the session's language.
    ASSERT_EQ(unlink(path.c_str()), 0);
    ASSERT_EQ(rmdir((home.path().toStdString() + "/DADiz").c_str()), 0);
    ASSERT_EQ(close(open((home.path().toStdString() + "/DADiz").c_str(), O_CREAT | O_WRONLY, 0600)), 0);
    EXPECT_EQ(settingsFileState(), TSettingsFile::Unreadable);
    EXPECT_EQ(describePortMapProblem(2, TLanguage::French),
              path + " : une partie du chemin n'est pas un dossier. COM2 utilise /dev/ttyS1.");
    qputenv("XDG_CONFIG_HOME", saved);
}

TEST(PortMap, ComNumbers)
{
    struct Row { const char* port; int n; };
    const Row rows[] = {{"COM1", 1}, {"com6", 6}, {"COM10", 10}, {"COM", 0}, {"COM 1", 0}, {"COMX", 0},
                        {"LPT1", 0}, {"/dev/ttyS0", 0}};
    for (const Row& row : rows)
        EXPECT_EQ(comNumber(row.port), row.n) << row.port;
}

TEST(PortMap, DeviceNamesSortInNaturalOrder)
{
    std::vector<std::string> names = {"/dev/ttyS10", "/dev/ttyS2", "/dev/ttyUSB1", "/dev/ttyS02x", "/dev/ttyS0",
                                      "/dev/ttyS9",  "/dev/ttyS",  "/dev/ttyS100", "/dev/ttyUSB0", "/dev/ttyS2"};
    std::sort(names.begin(), names.end(), naturalLess);
    EXPECT_EQ(names, (std::vector<std::string>{"/dev/ttyS", "/dev/ttyS0", "/dev/ttyS2", "/dev/ttyS2", "/dev/ttyS02x",
                                                "/dev/ttyS9", "/dev/ttyS10", "/dev/ttyS100", "/dev/ttyUSB0",
                                                "/dev/ttyUSB1"}));
}

// The devices offered are those present, looked up here without the
// program's patterns: adapters by id first, then USB, ACM and built-in ports.
// Where none is present, none is offered.
TEST(PortMap, ListsTheSerialDevicesPresent)
{
    namespace fs = std::filesystem;
    std::vector<std::string> expected;
    const auto add = [&](const fs::path& folder, const std::string& prefix) {
        std::vector<std::string> found;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(folder, ec))
            if (const std::string name = e.path().filename().string(); name.rfind(prefix, 0) == 0)
                found.push_back(e.path().string());
        std::sort(found.begin(), found.end(), naturalLess);
        expected.insert(expected.end(), found.begin(), found.end());
    };
    add("/dev/serial/by-id", "");
    add("/dev", "ttyUSB");
    add("/dev", "ttyACM");
    add("/dev", "ttyS");
    EXPECT_EQ(listSerialDevices(), expected);
}

// A relative name that exists from the current folder is that file, not one under /dev.
TEST(PortMap, RelativePathsThatExistAreUsedAsTheyAre)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string here = dir.path().toStdString();
    ASSERT_EQ(mkdir((here + "/sub").c_str(), 0700), 0);
    for (const char* file : {"/tty", "/sub/port"})
        UniqueFd(open((here + file).c_str(), O_WRONLY | O_CREAT, 0600));
    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(here.c_str()), 0);
    struct Row { const char* port; const char* path; };
    const Row rows[] = {
        {"tty", "tty"}, {"sub/port", "sub/port"}, {"./missing", "./missing"}, {"../x", "../x"},
        {"ttyNone", "/dev/ttyNone"}, {"serial/by-id/none", "/dev/serial/by-id/none"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(resolvePortPath(row.port), row.path) << row.port;
    EXPECT_EQ(chdir(previous), 0);
    free(previous);
}

TEST(LineSettings, IndexesAndFallbacks)
{
    qtApp();
    struct Row {
        const char* name;
        std::uint8_t port, baud, parity, data, stop;
        const char* wantPort;
        std::int32_t wantBaud;
        TParity wantParity;
        TDataBits wantData;
        TStopBits wantStop;
    };
    // The port starts at odd parity, 5 data bits and 1.5 stop bits, so "unchanged" shows.
    const Row rows[] = {
        {"7E1 1200 COM1", 0, 0, 0, 0, 0, "COM1", 1200, even_parity, databits7, stop1},
        {"8O2 19200 COM6", 5, 4, 1, 1, 1, "COM6", 19200, odd_parity, databits8, stop2},
        {"none 9600 COM4", 3, 3, 2, 1, 0, "COM4", 9600, no_parity, databits8, stop1},
        {"all out of range", 6, 5, 3, 2, 2, "COM1", 9600, odd_parity, databits5, stop1x5},
        {"empty combos", 255, 255, 255, 255, 255, "COM1", 9600, odd_parity, databits5, stop1x5},
    };
    for (const Row& row : rows) {
        TZComm port;
        port.Port = "COM3";
        port.BaudRate = 4800;
        port.Parity = odd_parity;
        port.DataBits = databits5;
        port.StopBits = stop1x5;
        TDisplayConfig cfg;
        cfg.PortIndex = row.port;
        cfg.BaudIndex = row.baud;
        cfg.ParityIndex = row.parity;
        cfg.DataBitsIndex = row.data;
        cfg.StopBitsIndex = row.stop;
        copyLineSettings(cfg, port);
        EXPECT_EQ(port.Port, row.wantPort) << row.name;
        EXPECT_EQ(port.BaudRate, row.wantBaud) << row.name;
        EXPECT_EQ(port.Parity, row.wantParity) << row.name;
        EXPECT_EQ(port.DataBits, row.wantData) << row.name;
        EXPECT_EQ(port.StopBits, row.wantStop) << row.name;
        // Flow control and parity checking stay as the component has them.
        EXPECT_TRUE(port.XOuputFlowCtl && port.XInputFlowCtl && port.EnableParity) << row.name;
    }
}

// Settings reach the wire: even parity index 0 opens as even parity on a pty.
TEST(LineSettings, AppliedSettingsReachTheDevice)
{
    qtApp();
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    TDisplayConfig cfg;
    cfg.ParityIndex = 1;
    cfg.StopBitsIndex = 1;
    cfg.BaudIndex = 4;
    TZComm port;
    copyLineSettings(cfg, port);
    port.Port = pty.path;
    ASSERT_EQ(port.OpenConnection(), 1) << describeOpenFailure(port);
    termios t{};
    ASSERT_EQ(tcgetattr(pty.slave.get(), &t), 0);
    EXPECT_TRUE(t.c_cflag & PARODD);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
    EXPECT_EQ(cfgetospeed(&t), speed_t(B19200));
}
