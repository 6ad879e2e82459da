#include "tools/ctl/Session.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/Failure.h"
#include "config/ConfigFile.h"
#include "serial/PortMap.h"
#include "base/Formats.h"
#include "tools/ctl/Commands.h"
#include "tools/ctl/CtlTexts.h"
#include "config/FieldEdits.h"
#include "tools/ctl/Output.h"

bool regularOrMissing(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode))
        return true;
    const TLanguage language = messageLanguage();
    message(say(ctltext::kCannotReadFile,
                {path, S_ISDIR(st.st_mode) ? errorWords(EISDIR, language) : notRegularWords(language)}));
    return false;
}

bool isFolder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool loadFile(const std::string& path, TDisplayConfig& cfg)
{
    if (!regularOrMissing(path))
        return false;
    const FileResult result = loadConfigFile(path, cfg);
    if (!result.ok)
        message(say(ctltext::kCannotRead, {describeFileError(path, result, messageLanguage())}));
    return result.ok;
}

bool saveFile(const std::string& path, const TDisplayConfig& cfg)
{
    const FileResult result = saveConfigFile(path, cfg);
    if (!result.ok)
        message(say(ctltext::kCannotWrite, {describeFileError(path, result, messageLanguage())}));
    return result.ok;
}

// A save renames a new file over the old one, so a lock obtained on a file
// that has been replaced meanwhile is let go and taken again on the file now
// there. Waiting sleeps in the event loop and ends on a stop signal.
TLock lockFile(const std::string& path, UniqueFd& lock)
{
    for (;;) {
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!fd) {
            if (errno == ENOENT)
                return TLock::Missing;
            message(say(ctltext::kCannotReadFile, {path, errorWords(errno, messageLanguage())}));
            return TLock::Failed;
        }
        while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            // A file system without locks: go on as a single run would.
            if (errno != EWOULDBLOCK && errno != EINTR) {
                lock = std::move(fd);
                return TLock::Held;
            }
            TEventWait pause;
            if (pause.run(20) == TWaitEnd::Stopped) {
                message(say(ctltext::kInterrupted));
                return TLock::Stopped;
            }
        }
        struct stat held {};
        struct stat now {};
        if (::fstat(fd.get(), &held) == 0 && ::stat(path.c_str(), &now) == 0 && held.st_dev == now.st_dev
            && held.st_ino == now.st_ino) {
            lock = std::move(fd);
            return TLock::Held;
        }
    }
}

int lockFailure(TLock lock)
{
    return lock == TLock::Stopped ? ExitNoReply : ExitFile;
}

void applyLineOptions(const TCtlOptions& o, TDisplayConfig& cfg)
{
    if (o.portIndex)
        cfg.PortIndex = *o.portIndex;
    if (o.baudIndex)
        cfg.BaudIndex = *o.baudIndex;
    if (o.parityIndex)
        cfg.ParityIndex = *o.parityIndex;
    if (o.dataBitsIndex)
        cfg.DataBitsIndex = *o.dataBitsIndex;
    if (o.stopBitsIndex)
        cfg.StopBitsIndex = *o.stopBitsIndex;
}

bool frameFits(const TFrameCheck& check, const std::string& path, const TDisplayConfig& cfg)
{
    if (check.fault == TFrameFault::None)
        return true;
    const TRecordField& field = *findRecordField(check.field);
    std::string why;
    switch (check.fault) {
    case TFrameFault::NotFinite: why = say(ctltext::kNotFinite); break;
    case TFrameFault::EndsFrame: why = say(ctltext::kEndsFrame); break;
    default:
        why = (&field == &recordField(&TDisplayConfig::Address) ? outsideText(field.limitsIn(cfg), messageLanguage())
                                                                 : say(ctltext::kDoesNotFit))
            + say(ctltext::kWouldGoOut, {check.sent});
    }
    message(say(ctltext::kNothingSent, {path, check.field, fieldText(field, cfg), why}));
    return false;
}

int fileTargets(const TCtlOptions& o, std::vector<TTarget>& targets)
{
    TTarget base;
    resetToDefaults(base.cfg);
    if (!o.operands.empty()) {
        base.path = o.operands[0];
        if (!loadFile(base.path, base.cfg))
            return ExitFile;
    }
    applyLineOptions(o, base.cfg);
    if (o.addresses.empty()) {
        if (!base.path.empty() && !frameFits(checkRequestAddress(base.cfg.Address), base.path, base.cfg))
            return ExitFile;
        base.address = base.cfg.Address;
        targets.push_back(base);
        return ExitOk;
    }
    for (std::uint8_t address : o.addresses) {
        TTarget t = base;
        t.address = t.cfg.Address = address;
        targets.push_back(t);
    }
    return ExitOk;
}

std::string folderFile(const std::string& folder, std::uint8_t address)
{
    return folder + (!folder.empty() && folder.back() == '/' ? "" : "/") + cfmt("%02d.dad", address);
}

int folderAddresses(const TCtlOptions& o, const std::string& folder, std::vector<std::uint8_t>& addresses)
{
    if (!o.addresses.empty()) {
        addresses = o.addresses;
        return ExitOk;
    }
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        message(say(ctltext::kCannotReadFile, {folder, errorWords(errno, messageLanguage())}));
        return ExitFile;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const bool digits = name.size() == 6 && name[0] >= '0' && name[0] <= '3' && name[1] >= '0' && name[1] <= '9';
        if (digits && name.compare(2, 4, ".dad") == 0 && (name[0] - '0') * 10 + (name[1] - '0') <= 31)
            addresses.push_back(static_cast<std::uint8_t>((name[0] - '0') * 10 + (name[1] - '0')));
    }
    ::closedir(dir);
    std::sort(addresses.begin(), addresses.end());
    if (addresses.empty()) {
        message(say(ctltext::kNoFolderFiles, {folder}));
        return ExitFile;
    }
    return ExitOk;
}

void sayPortMapProblem(const TCtlOptions& o, int portIndex)
{
    static std::set<int> said;
    if (o.portPath || !said.insert(portIndex).second)
        return;
    const std::string why = describePortMapProblem(portIndex + 1, o.language);
    if (!why.empty())
        message(why);
}

int TLineSession::open(const TDisplayConfig& line)
{
    const auto sameLine = [&] {
        return line.PortIndex == line_.PortIndex && line.BaudIndex == line_.BaudIndex
            && line.ParityIndex == line_.ParityIndex && line.DataBitsIndex == line_.DataBitsIndex
            && line.StopBitsIndex == line_.StopBitsIndex;
    };
    if (link_ && sameLine())
        return ExitOk;
    link_.reset();
    line_ = line;
    sayPortMapProblem(o_, line.PortIndex);
    link_ = std::make_unique<TCtlLink>(line, o_.portPath, o_.timeoutMs, o_.retries, o_.language);
    link_->setVerbose(o_.verbose);
    if (link_->open())
        return ExitOk;
    message(say(ctltext::kCannotOpen, {link_->deviceName(), link_->openFailure()}));
    return ExitPort;
}

std::string TLineSession::who(std::uint8_t address) const
{
    return say(ctltext::kDisplayAt, {cfmt("%02d", address), link_->deviceName()});
}

int openDisplays(const TCtlOptions& o, std::vector<TTarget>& targets, TLineSession& line)
{
    if (const int status = fileTargets(o, targets))
        return status;
    return line.open(targets.front().cfg);
}

int exchangeFailure(const TExchangeResult& r, const std::string& who)
{
    message(r.outcome == TOutcome::Interrupted ? say(ctltext::kInterrupted) : say(ctltext::kAbout, {who, r.reason}));
    return ExitNoReply;
}
