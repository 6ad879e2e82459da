#include "config/ConfigFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "config/RecordCodec.h"
#include "base/UniqueFd.h"

namespace {

FileResult success()
{
    return FileResult{true, 0, TFileStep::None};
}

FileResult failure(TFileStep step, int error)
{
    return FileResult{false, error, step};
}

FileResult notRegular(const struct stat& st)
{
    FileResult r = failure(TFileStep::NotRegular, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    r.kind = S_ISDIR(st.st_mode)                          ? TFileKind::Folder
        : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? TFileKind::Device
        : S_ISFIFO(st.st_mode)                         ? TFileKind::Fifo
                                                       : TFileKind::Socket;
    return r;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Reads up to size bytes, riding out EINTR and short reads; returns the count or -1.
ssize_t readFully(int fd, std::uint8_t* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

bool writeFully(int fd, const std::uint8_t* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Opens a regular file for reading. Nothing else is opened at all: opening a
// serial device would move its control lines, and a FIFO would make the read
// wait for a writer that may never come.
FileResult openForReading(const std::string& path, UniqueFd& fd)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return failure(TFileStep::Open, errno);
    if (!S_ISREG(st.st_mode))
        return notRegular(st);
    fd.reset(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd)
        return failure(TFileStep::Open, errno);
    // The name may have been given to something else since it was looked at.
    if (::fstat(fd.get(), &st) != 0)
        return failure(TFileStep::Open, errno);
    if (!S_ISREG(st.st_mode))
        return notRegular(st);
    return success();
}

// Follows a chain of symbolic links by name, so that a link whose target does
// not exist yet names the file to create. Returns 0 or an errno.
int followLinks(std::string& path)
{
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(st.st_mode))
            return 0;
        if (hops == 40)
            return ELOOP;
        char buf[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
        if (n < 0)
            return errno;
        if (n == 0 || static_cast<std::size_t>(n) == sizeof buf)
            return n == 0 ? ENOENT : ENAMETOOLONG;
        const std::string next(buf, static_cast<std::size_t>(n));
        path = next.front() == '/' ? next : folderOf(path) + "/" + next;
    }
}

// A name beside the target that is unique and always short enough, however
// long the target's own name is: a dot, the start of that name, pid, counter.
std::string temporaryName(const std::string& name)
{
    static std::atomic<unsigned> counter{0};
    std::size_t keep = std::min<std::size_t>(name.size(), 40);
    // Never cut a UTF-8 character in two.
    while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;
    return "." + name.substr(0, keep) + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// Overwrites an open regular file: the new bytes first, then the length, so
// that at no moment is the file empty.
FileResult writeInPlace(UniqueFd fd, const void* data, std::size_t size)
{
    if (!writeFully(fd.get(), static_cast<const std::uint8_t*>(data), size)
        || ::ftruncate(fd.get(), static_cast<off_t>(size)) != 0 || ::fsync(fd.get()) != 0)
        return failure(TFileStep::Write, errno);
    if (::close(fd.release()) != 0)
        return failure(TFileStep::Write, errno);
    return success();
}

// Writes data to a temporary file beside target and renames it over target.
// `old` is the file replaced, whose mode, owner and group the new one takes,
// or null for a new file. inPlaceInstead tells that nothing was done because
// the replacement is impossible (no new file allowed in the folder, a target
// that cannot be renamed over) or would change the owner; the temporary never
// outlives a failure.
FileResult replaceAtomically(const std::string& target, const void* data, std::size_t size,
                             const struct stat* old, bool& inPlaceInstead)
{
    inPlaceInstead = false;
    const std::string folder = folderOf(target), name = nameOf(target);
    if (name.empty())
        return failure(TFileStep::Open, target.empty() ? ENOENT : EISDIR);
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir)
        dir.reset(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!dir)
        return failure(TFileStep::Open, errno);

    std::string temp;
    UniqueFd fd;
    // A replacement starts private and takes the old mode once it is the old owner's.
    const mode_t mode = old ? 0600 : 0666;
    for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
        temp = temporaryName(name);
        fd.reset(::openat(dir.get(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (!fd && errno != EEXIST)
            break;
    }
    if (!fd) {
        const int error = errno;
        inPlaceInstead = old && (error == EACCES || error == EPERM);
        return failure(TFileStep::Open, error);
    }
    auto abandon = [&](TFileStep step, int error) {
        fd.reset();
        ::unlinkat(dir.get(), temp.c_str(), 0);
        return failure(step, error);
    };
    if (old) {
        struct stat made {};
        if (::fstat(fd.get(), &made) != 0)
            return abandon(TFileStep::Write, errno);
        if ((made.st_uid != old->st_uid || made.st_gid != old->st_gid)
            && ::fchown(fd.get(), old->st_uid, old->st_gid) != 0) {
            inPlaceInstead = true;
            return abandon(TFileStep::Write, errno);
        }
        if (::fchmod(fd.get(), old->st_mode & 07777) != 0)
            return abandon(TFileStep::Write, errno);
    }
    if (!writeFully(fd.get(), static_cast<const std::uint8_t*>(data), size) || ::fsync(fd.get()) != 0)
        return abandon(TFileStep::Write, errno);
    if (::close(fd.release()) != 0) {
        const int error = errno;
        ::unlinkat(dir.get(), temp.c_str(), 0);
        return failure(TFileStep::Write, error);
    }
    if (::renameat(dir.get(), temp.c_str(), dir.get(), name.c_str()) != 0) {
        const int error = errno;
        ::unlinkat(dir.get(), temp.c_str(), 0);
        // A file mounted on its own, or another user's in a sticky folder, cannot be replaced.
        inPlaceInstead = old && (error == EBUSY || error == EPERM || error == EACCES);
        return failure(TFileStep::Rename, error);
    }
    // Makes the new name durable; a folder opened only by path cannot be synced.
    ::fsync(dir.get());
    return success();
}

} // namespace

FileResult saveFile(const std::string& path, const void* data, std::size_t size)
{
    struct stat seen {};
    const bool exists = ::stat(path.c_str(), &seen) == 0;
    if (!exists && errno != ENOENT)
        return failure(TFileStep::Open, errno);
    if (exists && !S_ISREG(seen.st_mode))
        return notRegular(seen);

    std::string target = path;
    if (const int error = followLinks(target))
        return failure(TFileStep::Open, error);
    bool inPlace = false;
    if (!exists)
        return replaceAtomically(target, data, size, nullptr, inPlace);

    // Where the links as read lead elsewhere than the kernel's (a link in /proc
    // to a deleted file, or a name changed meanwhile), the file is written
    // through the name as given.
    struct stat st {};
    const bool byName = ::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) && sameFile(st, seen);
    // Opening for writing is the test a plain create-or-truncate would pass:
    // a write-protected file is refused here and left as it was.
    UniqueFd fd(::open(byName ? target.c_str() : path.c_str(),
                       O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (byName ? O_NOFOLLOW : 0)));
    if (!fd)
        return failure(TFileStep::Open, errno);
    if (::fstat(fd.get(), &st) != 0)
        return failure(TFileStep::Open, errno);
    if (!S_ISREG(st.st_mode))
        return notRegular(st);
    // A rename would split hard links from the file.
    if (byName && sameFile(st, seen) && st.st_nlink == 1) {
        const FileResult r = replaceAtomically(target, data, size, &st, inPlace);
        if (!inPlace)
            return r;
    }
    return writeInPlace(std::move(fd), data, size);
}

FileResult loadConfigFile(const std::string& path, TDisplayConfig& cfg)
{
    UniqueFd fd;
    if (const FileResult opened = openForReading(path, fd); !opened.ok)
        return opened;
    TRecord record{};
    const ssize_t n = readFully(fd.get(), record.data(), record.size());
    if (n < 0)
        return failure(TFileStep::Read, errno);
    if (static_cast<std::size_t>(n) < RecordSize) {
        FileResult r = failure(TFileStep::Short, EINVAL);
        r.needed = RecordSize;
        return r;
    }
    decodeRecord(record, cfg);
    return success();
}

FileResult saveConfigFile(const std::string& path, const TDisplayConfig& cfg)
{
    const TRecord record = encodeRecord(cfg);
    return saveFile(path, record.data(), record.size());
}

std::uint8_t readLanguageFile(const std::string& path)
{
    UniqueFd fd;
    if (!openForReading(path, fd).ok)
        return 0;
    std::uint8_t byte = 0;
    if (readFully(fd.get(), &byte, 1) != 1 || byte > 3)
        return 0;
    return byte;
}

FileResult writeLanguageFile(std::uint8_t language, const std::string& path)
{
    return saveFile(path, &language, 1);
}
