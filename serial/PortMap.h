#pragma once
#include <QVariant>
#include <optional>
#include <string>
#include <vector>

#include "base/Language.h"

// "COM1".."COM6" on Linux: each may be mapped to a device path in the user's
// settings file (Ports/COMn); an unmapped COMn is /dev/ttyS(n-1).

// The user's settings file holding the map: $XDG_CONFIG_HOME/DADiz/DADiz.conf.
std::string settingsFilePath();

// 1.. for "COM1", "COM2"... (case-insensitive, no blank), 0 for anything else.
int comNumber(const std::string& port);

// The device path that opening `port` uses: an absolute path as it is, a
// COM name through the map, a relative path that exists from the current
// folder (or starts with "./" or "../") as it is, any other name under /dev.
// Empty for an empty port.
std::string resolvePortPath(const std::string& port);

// The settings file is read only when it is a regular file that can be read:
// QSettings would wait for ever on a FIFO. `error` gets the errno of a
// failed look.
enum class TSettingsFile { Missing, Usable, NotRegular, Unreadable };
TSettingsFile settingsFileState(int* error = nullptr);
// A value of the settings file ("Link/ReplyTimeoutMs"), none when the file
// or the key is missing or the file is not one to read.
std::optional<QVariant> readSetting(const char* key);

// The path mapped to COMn in the settings file, empty when none.
std::string mappedDevice(int com);
// Why the settings file gives COMn no device although it may be meant to
// (the file is not readable, the entry is not an absolute path), in
// `language`; empty when there is nothing to say.
std::string describePortMapProblem(int com, TLanguage language);
// Records the device of COMn in the settings file; an empty path removes the
// entry. False when it could not be written (or the file is not a regular one).
bool setMappedDevice(int com, const std::string& path);
// The device COMn uses when it is not mapped.
std::string fallbackDevice(int com);

// Device names in natural order: runs of digits compare by value ("ttyS2" before "ttyS10").
bool naturalLess(const std::string& a, const std::string& b);

// The serial devices present: /dev/serial/by-id/*, /dev/ttyUSB*, /dev/ttyACM*,
// /dev/ttyS*, each group in natural order (ttyS2 before ttyS10).
std::vector<std::string> listSerialDevices();
