#pragma once
#include <cstddef>
#include <string>
#include <vector>

struct stat;

// What the connection doctor reads of the system: sysfs, /dev/serial/by-id
// and /proc, as plain data without words, from places a test can point elsewhere.

// Where the system shows what the checks look at; tests point these elsewhere.
struct TSystemPlaces {
    std::string sys = "/sys";
    std::string serialById = "/dev/serial/by-id";
    std::string proc = "/proc";
};

namespace doctor {

// What a device, a process or the kernel tells may hold anything: only
// printable ASCII is kept, and not too much of it.
std::string printableOnly(const std::string& s, std::size_t max = 80);
// A small system file (sysfs attribute, /proc entry), at most `max` bytes; empty when unreadable.
std::string readSmall(const std::string& path, std::size_t max = 4096);
// The first line of a text, printable only.
std::string firstLine(const std::string& text);
// The path with every link followed; empty when it leads nowhere.
std::string realPath(const std::string& path);
std::string baseName(const std::string& path);
// A folder's entries but "." and "..", sorted; none when it cannot be read.
std::vector<std::string> listDir(const std::string& dir);
// A pseudo-terminal, Unix 98 or BSD-style, by its device numbers.
bool isPseudoTerminal(const struct stat& st);

// What sysfs knows of a tty: the USB device it hangs from, or its driver.
struct TAdapter {
    bool usb = false;
    std::string vendor, product, serial, manufacturer, name;
    std::string driver;
    bool noUart = false;
};
TAdapter adapterOf(const std::string& tty, const TSystemPlaces& places);
// The /dev/serial/by-id names that lead to `real`.
std::vector<std::string> byIdNames(const std::string& real, const TSystemPlaces& places);

struct TPresentDevice {
    std::string path; // printable only
    TAdapter adapter;
};
// The serial devices present, each with its adapter where sysfs names one;
// ports without hardware behind them are left out.
std::vector<TPresentDevice> serialDevicesPresent(const TSystemPlaces& places);

// A process that has the device open.
struct THolder {
    int pid = 0;
    std::string comm;
    bool holdsDevice = false;
    bool holdsMaster = false; // the far end of this pseudo-terminal
};

struct TDeviceUsers {
    std::vector<THolder> holders;
    int hidden = 0; // processes whose descriptors could not be looked at
    std::vector<std::string> running; // ModemManager and brltty, once for each process seen
};
// The processes that hold the device, or the far end of a pseudo-terminal,
// seen in /proc/*/fd and in the flock table.
TDeviceUsers holdersOf(const struct stat& device, const std::string& real, const TSystemPlaces& places);

} // namespace doctor
