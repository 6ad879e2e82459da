#include "config/ConfigFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "config/RecordCodec.h"
#include "config/UniqueFd.h"

namespace {

FileResult failure(const char* step, int error)
{
    return FileResult{false, error, step};
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

// The file a save really replaces: the target of a symbolic link, so that the link survives.
std::string resolveTarget(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char buf[PATH_MAX];
        if (::realpath(path.c_str(), buf) != nullptr)
            return buf;
    }
    return path;
}

} // namespace

FileResult loadConfigFile(const std::string& path, TDisplayConfig& cfg)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return failure("open", errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) == 0 && S_ISDIR(st.st_mode))
        return failure("open", EISDIR);
    TRecord record{};
    const ssize_t n = readFully(fd.get(), record.data(), record.size());
    if (n < 0)
        return failure("read", errno);
    if (static_cast<std::size_t>(n) < RecordSize)
        return failure("short", EINVAL);
    decodeRecord(record, cfg);
    return FileResult{true, 0, {}};
}

FileResult writeFileAtomically(const std::string& path, const void* data, std::size_t size)
{
    static std::atomic<unsigned> counter{0};
    const std::string target = resolveTarget(path);
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        return failure("open", EISDIR);

    const std::string base = target.substr(target.rfind('/') == std::string::npos ? 0 : target.rfind('/') + 1);
    const std::string temp = folderOf(target) + "/." + base + ".tmp-" + std::to_string(::getpid()) + "-"
        + std::to_string(counter++);
    UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd)
        return failure("open", errno);

    auto abandon = [&](const char* step, int error) {
        fd.reset();
        ::unlink(temp.c_str());
        return failure(step, error);
    };
    if (exists && ::fchmod(fd.get(), st.st_mode & 07777) != 0)
        return abandon("write", errno);
    if (!writeFully(fd.get(), static_cast<const std::uint8_t*>(data), size))
        return abandon("write", errno);
    if (::fsync(fd.get()) != 0)
        return abandon("write", errno);
    if (::close(fd.release()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return failure("write", error);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return failure("rename", error);
    }
    return FileResult{true, 0, {}};
}

FileResult saveConfigFile(const std::string& path, const TDisplayConfig& cfg)
{
    const TRecord record = encodeRecord(cfg);
    return writeFileAtomically(path, record.data(), record.size());
}

std::uint8_t readLanguageFile(const std::string& path)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return 0;
    std::uint8_t byte = 0;
    if (readFully(fd.get(), &byte, 1) != 1 || byte > 3)
        return 0;
    return byte;
}

FileResult writeLanguageFile(std::uint8_t language, const std::string& path)
{
    return writeFileAtomically(path, &language, 1);
}

std::string describeFileError(const std::string& path, const FileResult& result)
{
    if (result.failedStep == "short")
        return path + ": the file is shorter than a configuration (" + std::to_string(RecordSize)
            + " bytes); nothing was loaded.";
    std::string reason = std::strerror(result.error);
    if (!reason.empty())
        reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
    return path + ": " + reason + ".";
}
