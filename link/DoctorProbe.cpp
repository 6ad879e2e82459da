#include "link/DoctorProbe.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "base/Formats.h"
#include "base/UniqueFd.h"
#include "serial/PortMap.h"

namespace {

bool allDigits(const std::string& s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

namespace doctor {

std::string printableOnly(const std::string& s, std::size_t max)
{
    std::string out;
    for (unsigned char c : s) {
        if (out.size() >= max)
            break;
        out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return out.substr(first, out.find_last_not_of(' ') + 1 - first);
}

std::string readSmall(const std::string& path, std::size_t max)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd)
        return {};
    struct stat st {};
    if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    std::string text(max, '\0');
    std::size_t got = 0;
    while (got < max) {
        const ssize_t n = ::read(fd.get(), text.data() + got, max - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return text;
}

std::string firstLine(const std::string& text)
{
    return printableOnly(text.substr(0, text.find('\n')));
}

std::string realPath(const std::string& path)
{
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

std::string baseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> listDir(const std::string& dir)
{
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return names;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

bool isPseudoTerminal(const struct stat& st)
{
    const unsigned m = major(st.st_rdev);
    return S_ISCHR(st.st_mode) && ((m >= 136 && m <= 143) || m == 3);
}

TAdapter adapterOf(const std::string& tty, const TSystemPlaces& places)
{
    TAdapter a;
    const std::string cls = places.sys + "/class/tty/" + tty;
    a.noUart = firstLine(readSmall(cls + "/type")) == "0";
    std::string dev = realPath(cls + "/device");
    const std::string root = realPath(places.sys);
    if (dev.empty() || root.empty())
        return a;
    // Up from the tty's own device (a USB interface or a usb-serial port) to
    // the USB device; the driver is the first one below the kernel's generic
    // serial port layer ("port", "ctrl").
    for (int up = 0; up < 8 && dev.size() > root.size() && dev.compare(0, root.size(), root) == 0; ++up) {
        const std::string driver = printableOnly(baseName(realPath(dev + "/driver")));
        if (a.driver.empty() && !driver.empty() && driver != "port" && driver != "ctrl")
            a.driver = driver;
        const std::string vendor = firstLine(readSmall(dev + "/idVendor"));
        if (!vendor.empty()) {
            a.usb = true;
            a.vendor = vendor;
            a.product = firstLine(readSmall(dev + "/idProduct"));
            a.serial = firstLine(readSmall(dev + "/serial"));
            a.manufacturer = firstLine(readSmall(dev + "/manufacturer"));
            a.name = firstLine(readSmall(dev + "/product"));
            break;
        }
        dev = dev.substr(0, dev.find_last_of('/'));
    }
    return a;
}

std::vector<std::string> byIdNames(const std::string& real, const TSystemPlaces& places)
{
    std::vector<std::string> names;
    for (const std::string& name : listDir(places.serialById)) {
        const std::string link = places.serialById + "/" + name;
        if (realPath(link) == real)
            names.push_back(printableOnly(link, 160));
    }
    return names;
}

std::vector<TPresentDevice> serialDevicesPresent(const TSystemPlaces& places)
{
    std::vector<TPresentDevice> out;
    for (const std::string& d : listSerialDevices()) {
        if (d.rfind("/dev/serial/", 0) == 0)
            continue;
        TAdapter a = adapterOf(baseName(d), places);
        if (a.noUart)
            continue;
        out.push_back({printableOnly(d, 160), std::move(a)});
    }
    return out;
}

TDeviceUsers holdersOf(const struct stat& device, const std::string& real, const TSystemPlaces& places)
{
    TDeviceUsers users;
    std::vector<THolder>& out = users.holders;
    int& hidden = users.hidden;
    std::vector<std::string>& running = users.running;
    // The index of a pseudo-terminal, as the master's fdinfo gives it.
    std::string ptyIndex;
    if (isPseudoTerminal(device) && real.rfind("/dev/pts/", 0) == 0)
        ptyIndex = real.substr(9);
    const int self = static_cast<int>(getpid());
    for (const std::string& entry : listDir(places.proc)) {
        if (!allDigits(entry) || entry.size() > 9)
            continue;
        const int pid = std::atoi(entry.c_str());
        const std::string base = places.proc + "/" + entry;
        const std::string comm = firstLine(readSmall(base + "/comm", 64));
        if (comm == "ModemManager" || comm == "brltty")
            running.push_back(comm);
        if (pid == self)
            continue;
        THolder h;
        h.pid = pid;
        h.comm = comm.empty() ? "?" : comm;
        DIR* d = ::opendir((base + "/fd").c_str());
        if (!d) {
            if (errno == EACCES || errno == EPERM)
                ++hidden;
            continue;
        }
        while (const dirent* e = ::readdir(d)) {
            const std::string fd = e->d_name;
            if (!allDigits(fd))
                continue;
            char target[PATH_MAX];
            const ssize_t n = ::readlink((base + "/fd/" + fd).c_str(), target, sizeof target - 1);
            if (n <= 0)
                continue;
            const std::string link(target, static_cast<std::size_t>(n));
            if (link.rfind("/dev/", 0) != 0)
                continue;
            if (!ptyIndex.empty() && (link == "/dev/ptmx" || link == "/dev/pts/ptmx")) {
                const std::string info = readSmall(base + "/fdinfo/" + fd);
                const auto at = info.find("tty-index:");
                if (at != std::string::npos) {
                    const std::size_t from = info.find_first_not_of(" \t", at + 10);
                    if (from != std::string::npos && info.compare(from, ptyIndex.size(), ptyIndex) == 0
                        && (from + ptyIndex.size() >= info.size() || info[from + ptyIndex.size()] == '\n'))
                        h.holdsMaster = true;
                }
                continue;
            }
            struct stat st {};
            if (::stat((base + "/fd/" + fd).c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device.st_rdev)
                h.holdsDevice = true;
        }
        ::closedir(d);
        if (h.holdsDevice || h.holdsMaster)
            out.push_back(h);
    }
    // A lock names its process even where the descriptors could not be seen.
    const std::string locks = readSmall(places.proc + "/locks", 1 << 20);
    std::size_t at = 0;
    while (at < locks.size()) {
        const std::size_t end = std::min(locks.find('\n', at), locks.size());
        const std::string line = locks.substr(at, end - at);
        at = end + 1;
        char kind[16] = {}, advisory[16] = {}, mode[16] = {};
        int pid = 0;
        unsigned maj = 0, min = 0;
        unsigned long long ino = 0;
        if (line.find("->") != std::string::npos
            || std::sscanf(line.c_str(), "%*d: %15s %15s %15s %d %x:%x:%llu", kind, advisory, mode, &pid, &maj, &min, &ino)
                != 7)
            continue;
        if (ino != device.st_ino || makedev(maj, min) != device.st_dev || pid == self || pid <= 0)
            continue;
        auto it = std::find_if(out.begin(), out.end(), [pid](const THolder& h) { return h.pid == pid; });
        if (it == out.end()) {
            THolder h;
            h.pid = pid;
            // The lock's process may be gone while a child it left holds the
            // descriptor: that child, when seen, stands for the lock.
            h.comm = firstLine(readSmall(places.proc + cfmt("/%d/comm", pid), 64));
            if (h.comm.empty() && std::any_of(out.begin(), out.end(), [](const THolder& o) { return o.holdsDevice; }))
                continue;
            h.holdsDevice = true;
            out.push_back(h);
        } else {
            it->holdsDevice = true;
        }
    }
    return users;
}

} // namespace doctor
