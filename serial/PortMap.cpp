#include "serial/PortMap.h"

#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/Failure.h"
#include "base/Formats.h"
#include "base/Texts.h"

namespace {

// The user's settings file: INI text at $XDG_CONFIG_HOME/DADiz/DADiz.conf
// (~/.config/DADiz/DADiz.conf). Qt would name an INI file ".ini", so the path is given.
QSettings portSettings()
{
    return QSettings(QString::fromStdString(settingsFilePath()), QSettings::IniFormat);
}

QString keyOf(int com) { return QStringLiteral("Ports/COM%1").arg(com); }

const TTexts kFileNotRegular{"%1 no és un arxiu normal: no se'n llegeix cap port (%2 fa servir %3).",
    "%1 no es un archivo normal: no se lee ningún puerto de él (%2 usa %3).",
    "%1 n'est pas un fichier ordinaire : aucun port n'y est lu (%2 utilise %3).",
    "%1 is not a regular file: no port is read from it (%2 uses %3)."};
// %1 is the file's own sentence, "PATH: permission denied."
const TTexts kFileUnreadable{"%1 %2 fa servir %3.", "%1 %2 usa %3.", "%1 %2 utilise %3.", "%1 %2 uses %3."};
const TTexts kNotAbsolute{"%1: %2=%4 no és un camí absolut i no es fa servir; %2 fa servir %3.",
    "%1: %2=%4 no es una ruta absoluta y no se usa; %2 usa %3.",
    "%1 : %2=%4 n'est pas un chemin absolu et n'est pas utilisé ; %2 utilise %3.",
    "%1: %2=%4 is not an absolute path and is not used; %2 uses %3."};

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

// What QSettings may be given: it would wait for ever on a FIFO and read a
// device, so anything but a regular file is left unread (and unwritten).
TSettingsFile settingsFileState(int* error)
{
    const std::string path = settingsFilePath();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (error)
            *error = errno;
        return errno == ENOENT ? TSettingsFile::Missing : TSettingsFile::Unreadable;
    }
    if (!S_ISREG(st.st_mode))
        return TSettingsFile::NotRegular;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = errno;
        return TSettingsFile::Unreadable;
    }
    ::close(fd);
    return TSettingsFile::Usable;
}

std::optional<QVariant> readSetting(const char* key)
{
    if (settingsFileState() != TSettingsFile::Usable)
        return std::nullopt;
    const QVariant v = portSettings().value(QString::fromLatin1(key));
    return v.isValid() ? std::optional<QVariant>(v) : std::nullopt;
}

namespace {

// COMn's entry as written in the file, empty when there is none.
std::string mapEntry(int com)
{
    if (com < 1 || settingsFileState() != TSettingsFile::Usable)
        return {};
    return portSettings().value(keyOf(com)).toString().trimmed().toStdString();
}

} // namespace

std::string mappedDevice(int com)
{
    const std::string entry = mapEntry(com);
    // Only absolute paths are honoured; describePortMapProblem says why another is not.
    return !entry.empty() && entry.front() == '/' ? entry : std::string{};
}

std::string describePortMapProblem(int com, TLanguage language)
{
    if (com < 1)
        return {};
    const std::string file = settingsFilePath(), name = cfmt("COM%d", com), used = fallbackDevice(com);
    int error = 0;
    switch (settingsFileState(&error)) {
    case TSettingsFile::Missing:
        return {};
    case TSettingsFile::NotRegular:
        return fillIn(kFileNotRegular.pick(language), {file, name, used});
    case TSettingsFile::Unreadable:
        return fillIn(kFileUnreadable.pick(language),
                      {describeFileError(file, {false, error, TFileStep::Open}, language), name, used});
    case TSettingsFile::Usable:
        break;
    }
    const std::string entry = mapEntry(com);
    if (entry.empty() || entry.front() == '/')
        return {};
    return fillIn(kNotAbsolute.pick(language), {file, name, used, escapedControls(entry)});
}

bool setMappedDevice(int com, const std::string& path)
{
    if (com < 1 || settingsFileState() == TSettingsFile::NotRegular)
        return false;
    QSettings s = portSettings();
    if (path.empty())
        s.remove(keyOf(com));
    else
        s.setValue(keyOf(com), QString::fromStdString(path));
    s.sync();
    return s.status() == QSettings::NoError;
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
