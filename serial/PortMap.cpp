#include "serial/PortMap.h"

#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <algorithm>
#include <cctype>
#include <glob.h>
#include <sys/stat.h>

#include "base/Formats.h"

namespace {

// The user's settings file: INI text at $XDG_CONFIG_HOME/DADiz/DADiz.conf
// (~/.config/DADiz/DADiz.conf). Qt would name an INI file ".ini", so the path is given.
QSettings portSettings()
{
    return QSettings(QString::fromStdString(settingsFilePath()), QSettings::IniFormat);
}

QString keyOf(int com) { return QStringLiteral("Ports/COM%1").arg(com); }

std::vector<std::string> globSorted(const char* pattern)
{
    std::vector<std::string> out;
    glob_t g{};
    if (glob(pattern, 0, nullptr, &g) == 0)
        for (size_t i = 0; i < g.gl_pathc; ++i)
            out.emplace_back(g.gl_pathv[i]);
    globfree(&g);
    std::sort(out.begin(), out.end(), naturalLess);
    return out;
}

} // namespace

bool naturalLess(const std::string& a, const std::string& b)
{
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(static_cast<unsigned char>(a[i])) && std::isdigit(static_cast<unsigned char>(b[j]))) {
            size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
            const std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
            const std::string ta = na.substr(std::min(na.find_first_not_of('0'), na.size()));
            const std::string tb = nb.substr(std::min(nb.find_first_not_of('0'), nb.size()));
            if (ta.size() != tb.size())
                return ta.size() < tb.size();
            if (ta != tb)
                return ta < tb;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

std::string settingsFilePath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return (folder + QStringLiteral("/DADiz/DADiz.conf")).toStdString();
}

int comNumber(const std::string& port)
{
    if (port.size() < 4 || port.size() > 6)
        return 0;
    for (size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(port[i])) != "COM"[i])
            return 0;
    int n = 0;
    for (size_t i = 3; i < port.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(port[i])))
            return 0;
        n = n * 10 + (port[i] - '0');
    }
    return n;
}

std::string mappedDevice(int com)
{
    if (com < 1)
        return {};
    const QString v = portSettings().value(keyOf(com)).toString().trimmed();
    // Only absolute paths are honoured; anything else in the file is ignored.
    return v.startsWith(u'/') ? v.toStdString() : std::string{};
}

void setMappedDevice(int com, const std::string& path)
{
    if (com < 1)
        return;
    QSettings s = portSettings();
    if (path.empty())
        s.remove(keyOf(com));
    else
        s.setValue(keyOf(com), QString::fromStdString(path));
    s.sync();
}

std::string fallbackDevice(int com) { return com >= 1 ? cfmt("/dev/ttyS%d", com - 1) : std::string{}; }

std::string resolvePortPath(const std::string& port)
{
    if (port.empty())
        return {};
    if (port.front() == '/')
        return port;
    if (const int com = comNumber(port)) {
        const std::string mapped = mappedDevice(com);
        return mapped.empty() ? fallbackDevice(com) : mapped;
    }
    // "tty" in a folder that holds a "tty" is that file, not /dev/tty.
    struct stat st {};
    if (::lstat(port.c_str(), &st) == 0 || port.rfind("./", 0) == 0 || port.rfind("../", 0) == 0)
        return port;
    return "/dev/" + port;
}

std::vector<std::string> listSerialDevices()
{
    std::vector<std::string> all;
    for (const char* pattern : {"/dev/serial/by-id/*", "/dev/ttyUSB*", "/dev/ttyACM*", "/dev/ttyS*"}) {
        auto found = globSorted(pattern);
        all.insert(all.end(), found.begin(), found.end());
    }
    return all;
}
