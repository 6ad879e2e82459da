#include "trend/CsvLog.h"

#include "base/Failure.h"
#include "base/Formats.h"
#include "trend/TrendTexts.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kEndOfRow = "\r\n";

bool isControl(unsigned char c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

FileResult succeeded()
{
    return {true};
}

FileResult failed(TFileStep step, int error)
{
    return {false, error, step};
}

FileResult notRegular(mode_t mode)
{
    FileResult r = failed(TFileStep::NotRegular, S_ISDIR(mode) ? EISDIR : EINVAL);
    r.kind = S_ISDIR(mode)                     ? TFileKind::Folder
        : S_ISCHR(mode) || S_ISBLK(mode) ? TFileKind::Device
        : S_ISFIFO(mode)                       ? TFileKind::Fifo
                                               : TFileKind::Socket;
    return r;
}

} // namespace

std::string csvLocalTime(std::chrono::system_clock::time_point time)
{
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(time).time_since_epoch().count();
    const std::time_t seconds = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000));
    const int milli = static_cast<int>(ms - static_cast<long long>(seconds) * 1000);
    std::tm tm{};
    if (!localtime_r(&seconds, &tm))
        return {};
    const long offset = tm.tm_gmtoff;
    const long absOffset = offset < 0 ? -offset : offset;
    return cfmt("%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec, milli, offset < 0 ? '-' : '+', absOffset / 3600,
                absOffset / 60 % 60);
}

std::string csvDisplayField(const std::string& latin1)
{
    std::string text;
    bool quote = false;
    for (unsigned char c : latin1) {
        if (isControl(c)) {
            text += cfmt("<%02X>", c);
            quote = true;
        } else if (c >= 0x80) {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            if (c == '"') {
                text += '"';
                quote = true;
            } else if (c == ',') {
                quote = true;
            }
            text += static_cast<char>(c);
        }
    }
    return quote ? '"' + text + '"' : text;
}

std::string csvHeader()
{
    return std::string("time,display,value,relay1,relay2,status") + kEndOfRow;
}

std::string csvRow(const TReading& reading)
{
    std::string row = csvLocalTime(reading.time);
    if (reading.missed)
        return row + ",,,,,missed" + kEndOfRow;
    row += ',';
    if (reading.value) {
        row += csvDisplayField(*reading.value);
        row += ',';
        row += readingNumberText(*reading.value);
    } else {
        row += ',';
    }
    for (std::size_t r = 0; r < 2; ++r) {
        row += ',';
        if (reading.relays)
            row += (*reading.relays)[r] ? '1' : '0';
    }
    return row + ",ok" + kEndOfRow;
}

FileResult TCsvLog::open(const std::string& path)
{
    close();
    // A FIFO or device is refused before it is opened: opening one may block
    // or act on hardware.
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return notRegular(st.st_mode);

    // Read access, where granted, tells whether the file ends in a partial row.
    const int flags = O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    UniqueFd fd(::open(path.c_str(), O_RDWR | flags, 0666));
    const bool readable = fd.valid();
    if (!fd && errno == EACCES)
        fd.reset(::open(path.c_str(), O_WRONLY | flags, 0666));
    if (!fd || ::fstat(fd.get(), &st) != 0)
        return failed(TFileStep::Open, errno);
    if (!S_ISREG(st.st_mode))
        return notRegular(st.st_mode);
    ::fcntl(fd.get(), F_SETFL, O_APPEND);

    fd_ = std::move(fd);
    path_ = path;
    std::string start;
    if (st.st_size == 0) {
        start = csvHeader();
    } else if (readable) {
        char last = '\n';
        if (::pread(fd_.get(), &last, 1, st.st_size - 1) == 1 && last != '\n')
            start = kEndOfRow;
    }
    if (!start.empty()) {
        if (const int error = writeAll(start)) {
            close();
            return failed(TFileStep::Write, error);
        }
    }
    return succeeded();
}

FileResult TCsvLog::append(const TReading& reading)
{
    if (!fd_)
        return failed(TFileStep::Write, EBADF);
    const int error = writeAll(csvRow(reading));
    return error == 0 ? succeeded() : failed(TFileStep::Write, error);
}

void TCsvLog::close()
{
    fd_.reset();
}

int TCsvLog::writeAll(const std::string& bytes)
{
    std::size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    // A row written in part is taken back, so the file never holds half a row;
    // should that fail too, the write's own error is still the one to tell.
    struct stat st{};
    if (error != 0 && done > 0 && ::fstat(fd_.get(), &st) == 0 && st.st_size >= static_cast<off_t>(done)) {
        [[maybe_unused]] const int cut = ::ftruncate(fd_.get(), st.st_size - static_cast<off_t>(done));
    }
    return error;
}

std::string csvFailureReason(const FileResult& result, TLanguage language)
{
    // The log says a plain "not a regular file" for whatever the name holds instead, but a folder.
    const bool notFile = result.failedStep == TFileStep::NotRegular && result.kind != TFileKind::Folder;
    return notFile ? notRegularWords(language) : result.words(language);
}

std::string csvFailureText(TCsvStep step, const std::string& path, const FileResult& result, TLanguage language)
{
    const TTexts& pattern = step == TCsvStep::Open ? trendtext::kOpenFailure : trendtext::kWriteFailure;
    return fillIn(pattern.pick(language), {path, csvFailureReason(result, language)});
}
