#include "tools/ctl/Output.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <poll.h>
#include <unistd.h>

#include "base/Failure.h"
#include "base/Formats.h"
#include "tools/ctl/Commands.h"
#include "tools/ctl/CtlTexts.h"
#include "tools/ctl/Link.h"

namespace {

volatile std::sig_atomic_t caughtStop = 0;
TProgress* activeProgress = nullptr;
bool printFailed = false;
TLanguage language = TLanguage::English;

void noteStopSignal(int signal)
{
    caughtStop = signal;
}

// Waits until `fd` is ready for `events`, with the stop signals let through:
// false with errno EINTR after a stop signal (made pending again for the
// event loop), or another errno.
bool waitReady(int fd, short events)
{
    sigset_t waitMask;
    pthread_sigmask(SIG_SETMASK, nullptr, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    for (;;) {
        pollfd pfd{fd, events, 0};
        if (::ppoll(&pfd, 1, nullptr, &waitMask) < 0) {
            if (errno != EINTR)
                return false;
            if (const int signal = caughtStop) {
                caughtStop = 0;
                ::kill(::getpid(), signal);
                errno = EINTR;
                return false;
            }
            continue;
        }
        if (pfd.revents & POLLNVAL) {
            errno = EBADF;
            return false;
        }
        return true;
    }
}

// Writes all of `text` to `fd`. The wait for room happens with the stop
// signals let through, so that a reader who stops reading cannot keep
// dadizctl (and its port) for ever; a stop signal caught there is made
// pending again for the event loop. errno tells why it failed.
bool writeAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        if (!waitReady(fd, POLLOUT))
            return false;
        // Small pieces: room for one is what the wait promises on a pipe or a terminal.
        const ssize_t n = ::write(fd, text.data() + done, std::min<std::size_t>(text.size() - done, 256));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void clearProgress()
{
    if (activeProgress)
        activeProgress->clear();
}

} // namespace

void prepareOutput()
{
    // Runs only while a write waits for room: the stop signals are blocked elsewhere.
    struct sigaction sa {};
    sa.sa_handler = noteStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no restart: the wait returns
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool printText(const std::string& text)
{
    return print(text);
}

void printMessage(const std::string& text, const std::string& hint)
{
    message(text, hint);
}

void setMessageLanguage(TLanguage chosen)
{
    language = chosen;
}

TLanguage messageLanguage()
{
    return language;
}

std::string say(const TTexts& texts, std::initializer_list<std::string> args)
{
    return fillIn(texts.pick(language), args);
}

void message(const std::string& text, const std::string& hint)
{
    clearProgress();
    // Names and values typed or read from files are in messages: one message, one line, no terminal codes.
    writeAll(STDERR_FILENO, "dadizctl: " + escapedControls(text) + "\n" + (hint.empty() ? "" : hint + "\n"));
}

bool print(const std::string& text)
{
    clearProgress();
    if (writeAll(STDOUT_FILENO, text))
        return true;
    const int error = errno;
    printFailed = true;
    if (!stopRequested())
        message(say(ctltext::kCannotWriteOutput, {errorWords(error, language)}));
    return false;
}

bool outputFailed()
{
    return printFailed;
}

TInput readStandardInput(std::string& text, std::size_t limit)
{
    char buf[4096];
    for (;;) {
        if (!waitReady(STDIN_FILENO, POLLIN))
            return errno == EINTR ? TInput::Stopped : TInput::Failed;
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n == 0)
            return TInput::Read;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return TInput::Failed;
        }
        text.append(buf, static_cast<std::size_t>(n));
        if (text.size() > limit)
            return TInput::TooLong;
    }
}

int printFailure(const TCtlOptions& o)
{
    if (!stopRequested())
        return ExitNoReply;
    if (o.watch)
        return ExitOk;
    message(say(ctltext::kInterrupted));
    return ExitNoReply;
}

std::size_t textWidth(const std::string& s)
{
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

std::string trimmed(const std::string& s)
{
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string timestamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text + cfmt(".%03d", static_cast<int>(ms));
}

TProgress::TProgress() : terminal_(::isatty(STDERR_FILENO) == 1)
{
    if (terminal_)
        activeProgress = this;
}

TProgress::~TProgress()
{
    clear();
    if (activeProgress == this)
        activeProgress = nullptr;
}

void TProgress::show(const std::string& text)
{
    if (!terminal_)
        return;
    shown_ = true;
    writeAll(STDERR_FILENO, "\r" + text + "\x1b[K");
}

void TProgress::clear()
{
    if (!shown_)
        return;
    shown_ = false;
    writeAll(STDERR_FILENO, "\r\x1b[K");
}
