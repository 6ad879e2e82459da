#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "base/UniqueFd.h"
#include "serial/Gathering.h"
#include "serial/HeldOutput.h"
#include "serial/SerialBackend.h"
#include "serial/TermiosMap.h"

namespace {

// Unix98 pseudo-terminal slaves have majors 136..143, the old BSD ones 3.
bool isPseudoTerminal(int fd)
{
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned m = major(st.st_rdev);
    return (m >= 136 && m <= 143) || m == 3;
}

// An ioctl the device may simply not have (pseudo-terminals, some USB adapters).
bool notSupported(int err) { return err == ENOTTY || err == EINVAL; }

long monotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

long long monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

class TPosixSerialBackend final : public TSerialBackend {
public:
    ~TPosixSerialBackend() override { close(); }

    int open(const std::string& path) override
    {
        close();
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (!fd)
            return errno;
        if (!isatty(fd.get()))
            return ENOTTY;
        // The terminal this process runs in is nobody's serial line: its
        // settings are not touched.
        if (tcgetsid(fd.get()) >= 0)
            return kControllingTerminal;
        // Given back as they were when the device is closed.
        termios original{};
        if (tcgetattr(fd.get(), &original) != 0)
            return errno;
        // TIOCEXCL does not stop root, the lock does; both go with the descriptor.
        if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            return errno == EWOULDBLOCK ? EBUSY : errno;
        if (ioctl(fd.get(), TIOCEXCL) != 0 && !notSupported(errno))
            return errno;
        UniqueFd wake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
        if (!wake)
            return errno;
        UniqueFd ep(epoll_create1(EPOLL_CLOEXEC));
        if (!ep)
            return errno;
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = wake.get();
        if (epoll_ctl(ep.get(), EPOLL_CTL_ADD, wake.get(), &ev) != 0)
            return errno;
        armed_ = false;
        lostAfterData_ = false;
        held_.clear();
        pseudoTerminal_ = isPseudoTerminal(fd.get());
        serial_icounter_struct counts{};
        hasCounters_ = ioctl(fd.get(), TIOCGICOUNT, &counts) == 0;
        counts_ = counts;
        original_ = original;
        fd_ = std::move(fd);
        wake_ = std::move(wake);
        epoll_ = std::move(ep);
        return 0;
    }

    void close() override
    {
        if (fd_) {
            // A terminal, or the next program, finds the device as it was.
            tcsetattr(fd_.get(), TCSANOW, &original_);
            ioctl(fd_.get(), TIOCNXCL);  // so that another user may open it after us
        }
        epoll_.reset();
        wake_.reset();
        held_.clear();
        fd_.reset();
    }

    int applySettings(const TPortSettings& settings, TTermiosRefusal& refusal) override
    {
        refusal = TTermiosRefusal::None;
        if (!fd_)
            return EBADF;
        termios base{};
        if (tcgetattr(fd_.get(), &base) != 0)
            return errno;
        const TTermiosResult wanted = toTermios(settings, base);
        if (!wanted.ok()) {
            refusal = wanted.refusal;
            return EINVAL;
        }
        const int err = writeSettings(wanted.tio);
        if (err == 0) {
            const TGathering g = gatheringFor(settings);
            charNs_ = g.charNs;
            quietNs_ = g.quietNs;
            longestNs_ = g.longestNs;
        }
        return err;
    }

    int setSoftwareFlowControl(bool on) override
    {
        if (!fd_)
            return EBADF;
        termios t{};
        if (tcgetattr(fd_.get(), &t) != 0)
            return errno;
        if (on)
            t.c_iflag |= IXON | IXOFF;
        else
            t.c_iflag &= ~(IXON | IXOFF);
        return writeSettings(t);
    }

    long queuedIn() override
    {
        return held_.queued([this] { return queueCount(FIONREAD); });
    }
    long queuedOut() override { return queueCount(TIOCOUTQ); }

    // The bytes the wait thread gathered come first, then the driver's.
    long read(unsigned char* buf, long count) override
    {
        if (!fd_) {
            errno = EBADF;
            return -1;
        }
        return held_.read(buf, count, [this](unsigned char* b, long n) { return readDriver(b, n); });
    }

    long write(const unsigned char* buf, long count, int timeoutMs) override
    {
        if (!fd_)
            return 0;
        const long deadline = monotonicMs() + timeoutMs;
        long done = 0;
        while (done < count) {
            const ssize_t n = ::write(fd_.get(), buf + done, static_cast<size_t>(count - done));
            if (n > 0) {
                done += n;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN)
                break;  // EIO: the device is gone
            const long left = deadline - monotonicMs();
            if (left <= 0)
                break;
            pollfd p{fd_.get(), POLLOUT, 0};
            if (poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR)
                break;
            if (p.revents & (POLLERR | POLLHUP | POLLNVAL))
                break;
        }
        return done;
    }

    unsigned takeLineErrors() override
    {
        if (!fd_ || !hasCounters_)
            return 0;
        serial_icounter_struct now{};
        if (ioctl(fd_.get(), TIOCGICOUNT, &now) != 0)
            return 0;
        unsigned flags = 0;
        if (now.buf_overrun != counts_.buf_overrun) flags |= CE_RXOVER;
        if (now.overrun != counts_.overrun) flags |= CE_OVERRUN;
        if (now.parity != counts_.parity) flags |= CE_RXPARITY;
        if (now.frame != counts_.frame) flags |= CE_FRAME;
        if (now.brk != counts_.brk) flags |= CE_BREAK;
        counts_ = now;
        return flags;
    }

    int escape(unsigned long function) override
    {
        if (!fd_)
            return EBADF;
        int bits = 0;
        int rc = 0;
        switch (function) {
        case SETDTR: bits = TIOCM_DTR; rc = ioctl(fd_.get(), TIOCMBIS, &bits); break;
        case CLRDTR: bits = TIOCM_DTR; rc = ioctl(fd_.get(), TIOCMBIC, &bits); break;
        case SETRTS: bits = TIOCM_RTS; rc = ioctl(fd_.get(), TIOCMBIS, &bits); break;
        case CLRRTS: bits = TIOCM_RTS; rc = ioctl(fd_.get(), TIOCMBIC, &bits); break;
        case SETXOFF: rc = tcflow(fd_.get(), TCOOFF); break;
        case SETXON: return resumeHeldOutput(fd_.get());
        case SETBREAK: rc = ioctl(fd_.get(), TIOCSBRK); break;
        case CLRBREAK: rc = ioctl(fd_.get(), TIOCCBRK); break;
        default: return EINVAL;
        }
        return rc == 0 ? 0 : errno;
    }

    int purge(unsigned long flags) override
    {
        if (!fd_)
            return EBADF;
        const bool tx = flags & (PURGE_TXABORT | PURGE_TXCLEAR);
        const bool rx = flags & (PURGE_RXABORT | PURGE_RXCLEAR);
        if (!tx && !rx)
            return 0;
        const int which = tx && rx ? TCIOFLUSH : (tx ? TCOFLUSH : TCIFLUSH);
        return held_.purge(rx, [&] { return tcflush(fd_.get(), which) == 0 ? 0 : errno; });
    }

    TWaitOutcome waitReceive() override
    {
        // The bytes before a hang-up were told first; the hang-up comes now.
        if (lostAfterData_)
            return TWaitOutcome::LineLost;
        // The device joins the wait set here, in the wait thread, so wake-ups
        // caused by the settings written at open are not taken for bytes.
        // Edge-triggered: one wake-up per arrival of bytes, so bytes the owner
        // leaves unread do not wake the thread again and again; bytes already
        // there when the device joins are reported at once.
        if (!armed_) {
            epoll_event ev{};
            ev.events = EPOLLIN | EPOLLET | EPOLLRDHUP;
            ev.data.fd = fd_.get();
            if (epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, fd_.get(), &ev) != 0)
                return TWaitOutcome::LineLost;
            armed_ = true;
        }
        for (;;) {
            const TGatherWake woke = waitEvents(nullptr);
            if (woke != TGatherWake::Data)
                return woke == TGatherWake::Cancelled ? TWaitOutcome::Cancelled : TWaitOutcome::LineLost;
            switch (take()) {
            case TTaken::Nothing:
                continue;  // bytes the owner read first, or the edge of bytes already told
            case TTaken::Lost:
                return TWaitOutcome::LineLost;
            case TTaken::FrameEnd:
            case TTaken::Full:
                return TWaitOutcome::DataArrived;
            case TTaken::Some:
                return gather();
            }
        }
    }

    void cancelWait() override
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_.get(), &one, sizeof one);
    }

private:

    // Waits for bytes, a cancel or a lost device, at most `timeout` (none: for ever).
    TGatherWake waitEvents(const timespec* timeout)
    {
        for (;;) {
            epoll_event events[2];
            int n = epoll_pwait2(epoll_.get(), events, 2, timeout, nullptr);
            if (n < 0 && errno == ENOSYS) {
                // A kernel before 5.11: whole milliseconds, rounded up.
                const int ms = timeout ? static_cast<int>((timeout->tv_sec * 1000000000L + timeout->tv_nsec + 999999)
                                                          / 1000000)
                                       : -1;
                n = epoll_wait(epoll_.get(), events, 2, ms);
            }
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return TGatherWake::Lost;
            }
            if (n == 0)
                return TGatherWake::Quiet;
            bool data = false;
            bool lost = false;
            for (int i = 0; i < n; ++i) {
                if (events[i].data.fd == wake_.get())
                    return TGatherWake::Cancelled;
                if (events[i].events & (EPOLLHUP | EPOLLERR | EPOLLRDHUP))
                    lost = true;
                else if (events[i].events & EPOLLIN)
                    data = true;
            }
            // A vanished device reports readable and hung up for ever: stop here.
            if (lost)
                return TGatherWake::Lost;
            if (data)
                return TGatherWake::Data;
        }
    }

    // Sleeps `ns` unless a cancel comes first (false then). Bytes that come
    // meanwhile leave their wake-up in the wait set; the next wait finds them.
    bool restUnlessCancelled(long long ns)
    {
        const timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd p{wake_.get(), POLLIN, 0};
        for (;;) {
            const int n = ppoll(&p, 1, &timeout, nullptr);
            if (n < 0 && errno == EINTR)
                continue;
            return n <= 0;
        }
    }

    // Moves what the driver holds into the held bytes, for the owner's next read.
    TTaken take()
    {
        return held_.take([this](unsigned char* b, long n) { return readDriver(b, n); });
    }

    // After the first bytes: gathers until a frame ends or the line falls quiet.
    TWaitOutcome gather()
    {
        const long quietNs = quietNs_;
        const long long until = monotonicNs() + longestNs_;
        // A frame as long as the last two: its bytes, the CR included, are let
        // come without a wake each, until the CR is due (counted from this
        // wake, which came after the first byte).
        if (const std::size_t expected = held_.expectedBytes(); expected > 1) {
            const long long rest = std::min<long long>(static_cast<long long>(expected) * charNs_,
                                                       until - monotonicNs());
            if (rest > 0 && !restUnlessCancelled(rest))
                return TWaitOutcome::Cancelled;
            if (const auto ended = gatheringEnded(take(), lostAfterData_))
                return *ended;
        }
        auto waitMore = [&] {
            const long long left = std::min<long long>(quietNs, until - monotonicNs());
            if (left <= 0)
                return TGatherWake::Quiet;
            const timespec timeout{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
            return waitEvents(&timeout);
        };
        return gatherReply(waitMore, [this] { return take(); }, lostAfterData_);
    }

    long readDriver(unsigned char* buf, long count)
    {
        for (;;) {
            const ssize_t n = ::read(fd_.get(), buf, static_cast<size_t>(count));
            if (n >= 0)
                return n;
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN)
                return 0;
            return -1;
        }
    }

    long queueCount(unsigned long request)
    {
        if (!fd_) {
            errno = EBADF;
            return -1;
        }
        int n = 0;
        if (ioctl(fd_.get(), request, &n) != 0)
            return -1;
        return n;
    }

    int writeSettings(const termios& wanted)
    {
        // glibc reads a pseudo-terminal back and answers EINVAL when it forced
        // 8 data bits or no parity; the read-back below judges instead.
        if (tcsetattr(fd_.get(), TCSANOW, &wanted) != 0 && !(errno == EINVAL && pseudoTerminal_))
            return errno;
        termios got{};
        if (tcgetattr(fd_.get(), &got) != 0)
            return errno;
        return termiosKept(wanted, got, pseudoTerminal_) ? 0 : EINVAL;
    }

    UniqueFd fd_;
    UniqueFd wake_;
    UniqueFd epoll_;
    bool armed_ = false;  // wait thread only
    bool lostAfterData_ = false;  // wait thread only
    THeldBytes held_;
    std::atomic<long> charNs_{0};
    std::atomic<long> quietNs_{0};
    std::atomic<long> longestNs_{0};
    bool pseudoTerminal_ = false;
    termios original_{};  // the settings at open
    bool hasCounters_ = false;
    serial_icounter_struct counts_{};
};

} // namespace

std::unique_ptr<TSerialBackend> makeSystemSerialBackend()
{
    return std::make_unique<TPosixSerialBackend>();
}
