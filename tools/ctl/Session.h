#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/DisplayConfig.h"
#include "base/UniqueFd.h"
#include "protocol/Requests.h"
#include "tools/ctl/Link.h"
#include "tools/ctl/Options.h"

// What the commands share before and around their exchanges: reading and
// writing configuration files, the line and the displays a command talks to.

// dadizctl never waits on a FIFO or a device: anything but a regular file
// (or a link to one) is refused before it is opened. A missing file passes.
bool regularOrMissing(const std::string& path);
bool isFolder(const std::string& path);
bool loadFile(const std::string& path, TDisplayConfig& cfg);
bool saveFile(const std::string& path, const TDisplayConfig& cfg);

enum class TLock { Held, Missing, Failed, Stopped };
// Read-modify-write of a file holds an exclusive lock on it, so that runs on
// the same file take turns.
TLock lockFile(const std::string& path, UniqueFd& lock);
int lockFailure(TLock lock);

// The line options (all but the address) over a configuration.
void applyLineOptions(const TCtlOptions& o, TDisplayConfig& cfg);
// A file value that cannot go out as it is stops the exchange before it starts.
bool frameFits(const TFrameCheck& check, const std::string& path, const TDisplayConfig& cfg);

// One display a command talks to.
struct TTarget {
    std::uint8_t address = 0;
    std::string path;      // the file that goes with it, if any
    TDisplayConfig cfg;    // that file (or the defaults) with the line options, at `address`
    int status = 0;        // not 0: the display is left out, its message given
};

// The displays of value, calib and send FILE: the addresses of --address, or
// FILE's (checked), with FILE's line. ExitOk, or the status after a message.
int fileTargets(const TCtlOptions& o, std::vector<TTarget>& targets);
// The addresses of a folder of NN.dad files: --address's, or every file present.
int folderAddresses(const TCtlOptions& o, const std::string& folder, std::vector<std::uint8_t>& addresses);
std::string folderFile(const std::string& folder, std::uint8_t address);

// The link of a command, opened for the line of its first display and again
// only for a display on another line.
// Says once a run why the settings file gives a COM name no device, when it does not.
void sayPortMapProblem(const TCtlOptions& o, int portIndex);

class TLineSession {
public:
    explicit TLineSession(const TCtlOptions& o) : o_(o) {}
    // ExitOk, or ExitPort after a message.
    int open(const TDisplayConfig& line);
    TCtlLink& link() { return *link_; }
    // "the display at address 07 on COM1 (/dev/ttyUSB0)"
    std::string who(std::uint8_t address) const;

private:
    const TCtlOptions& o_;
    std::unique_ptr<TCtlLink> link_;
    TDisplayConfig line_;
};

// What value, calib and diff FILE do first: their displays (fileTargets),
// and the link opened for the line. ExitOk, or the status after a message.
int openDisplays(const TCtlOptions& o, std::vector<TTarget>& targets, TLineSession& line);

// The message of a failed exchange; its exit status.
int exchangeFailure(const TExchangeResult& r, const std::string& who);
