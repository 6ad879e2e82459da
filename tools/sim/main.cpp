// dadiz-sim: one or more simulated displays on a pseudo-terminal.

#include "base/Formats.h"
#include "base/UniqueFd.h"
#include "tools/sim/SimDisplay.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr auto kPiecePause = 30ms;
constexpr std::size_t kMaxRequest = 256;
// A reply still unread this long after its last byte went out was sent while
// nobody listened; a real line would have lost it.
constexpr auto kUnreadReplyLifetime = 200ms;
// How often a held reply looks again whether the previous one has been read.
constexpr auto kHeldReplyLook = 5ms;

struct TLineOptions {
    std::string link;
    std::chrono::milliseconds delay{0};
    int baud = 0;
    int stopBits = 0; // 1 or 2: answer only when the terminal has these; 0 whatever it has
    std::vector<std::size_t> pieces;
    bool silent = false;
    std::vector<int> silentAddresses;
    bool log = false;
    bool echo = false;
    bool crlf = false;
    std::vector<int> addresses;
};

[[noreturn]] void usage(const char* error)
{
    if (error) {
        std::fprintf(stderr, "dadiz-sim: %s\nTry \"dadiz-sim --help\".\n", error);
        std::exit(2);
    }
    std::fprintf(stdout,
                 "usage: dadiz-sim [--address N | --bus N,N,...] [--link PATH] [--delay MS] [--baud N]\n"
                 "                 [--stop-bits 1|2] [--pieces N,N,...] [--wrong-address] [--silent]\n"
                 "                 [--silent-address N]... [--noise] [--echo] [--crlf] [--log] [--digits N]\n"
                 "                 [--decimals N] [--value X] [--input-mode N] [--ramp]\n"
                 "Simulated displays on a pseudo-terminal; the first line of output is its device.\n"
                 "  --address N      one display at address N (default 0)\n"
                 "  --bus N,N,...    one display at each address\n"
                 "  --link PATH      a symbolic link to the device, removed at exit\n"
                 "  --delay MS       wait before each reply\n"
                 "  --baud N         send replies at the pace of N baud, and answer only while the\n"
                 "                   terminal is set to N baud\n"
                 "  --stop-bits 1|2  answer only while the terminal is set to these stop bits (a Linux\n"
                 "                   pseudo-terminal always keeps 8 data bits and no parity, so only\n"
                 "                   the speed and the stop bits can be compared)\n"
                 "  --pieces N,...   send each reply in pieces of these sizes\n"
                 "  --wrong-address  answer with the next address\n"
                 "  --silent         never answer\n"
                 "  --silent-address N  the display at address N never answers; repeat for more\n"
                 "  --noise          answer with 300 bytes and no CR\n"
                 "  --echo           hand back every request byte as received before the reply,\n"
                 "                   as an RS-485 adapter that hears its own transmission does\n"
                 "  --crlf           end replies with CR LF instead of CR\n"
                 "  --log            log requests (rx) and replies (tx) on standard error\n"
                 "  --digits N       digits of the displays, 2..10 (default 4)\n"
                 "  --decimals N     decimals shown, 0..5 (default 1)\n"
                 "  --value X        show X instead of a moving value; it must fit the digits\n"
                 "  --input-mode N   input mode reported in 'P' replies, 0 or 1\n"
                 "  --ramp           the value ramps through both relay set points, 40 s a period\n");
    std::exit(0);
}

int intArg(const char* option, const char* text, int low, int high)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < low || value > high)
        usage(cfmt("%s needs a whole number from %d to %d, not \"%s\"", option, low, high, text).c_str());
    return static_cast<int>(value);
}

std::vector<int> listArg(const char* option, const char* text, int low, int high)
{
    std::vector<int> values;
    std::string item;
    for (const char* p = text;; ++p) {
        if (*p == ',' || *p == '\0') {
            values.push_back(intArg(option, item.c_str(), low, high));
            item.clear();
            if (*p == '\0')
                break;
        } else {
            item += *p;
        }
    }
    return values;
}

// A fixed value must fit the digits, the sign taking one of them, in the
// eight characters of a reading.
void checkShownValue(const char* text, double value, int digits, int decimals)
{
    const int positions = std::min(digits, 8 - (decimals > 0 ? 1 : 0));
    const double scale = std::pow(10.0, decimals);
    const double high = (std::pow(10.0, positions) - 1) / scale;
    const double low = -(std::pow(10.0, positions - 1) - 1) / scale;
    const double count = std::nearbyint(value * scale);
    if (count > high * scale || count < low * scale)
        usage(cfmt("--value %s is more than a display of %d digits with %d decimals can show (%.*f .. %.*f)", text,
                   digits, decimals, decimals, low, decimals, high)
                  .c_str());
}

void parseOptions(int argc, char** argv, TLineOptions& line, TSimOptions& display)
{
    const char* valueText = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc)
                usage(cfmt("%s needs a value", opt.c_str()).c_str());
            return argv[++i];
        };
        if (opt == "--address")
            line.addresses = {intArg("--address", value(), 0, 99)};
        else if (opt == "--bus") {
            line.addresses = listArg("--bus", value(), 0, 99);
            for (std::size_t k = 1; k < line.addresses.size(); ++k)
                if (std::find(line.addresses.begin(), line.addresses.begin() + static_cast<long>(k), line.addresses[k])
                    != line.addresses.begin() + static_cast<long>(k))
                    usage(cfmt("--bus names address %d twice", line.addresses[k]).c_str());
        }
        else if (opt == "--link")
            line.link = value();
        else if (opt == "--delay")
            line.delay = std::chrono::milliseconds(intArg("--delay", value(), 0, 600000));
        else if (opt == "--baud")
            line.baud = intArg("--baud", value(), 50, 4000000);
        else if (opt == "--stop-bits")
            line.stopBits = intArg("--stop-bits", value(), 1, 2);
        else if (opt == "--pieces") {
            line.pieces.clear();
            for (int n : listArg("--pieces", value(), 1, 1000))
                line.pieces.push_back(static_cast<std::size_t>(n));
        } else if (opt == "--wrong-address")
            display.wrongAddress = true;
        else if (opt == "--silent")
            line.silent = true;
        else if (opt == "--silent-address")
            line.silentAddresses.push_back(intArg("--silent-address", value(), 0, 99));
        else if (opt == "--noise")
            display.noise = true;
        else if (opt == "--log")
            line.log = true;
        else if (opt == "--echo")
            line.echo = true;
        else if (opt == "--crlf")
            line.crlf = true;
        else if (opt == "--digits")
            display.digits = intArg("--digits", value(), 2, 10);
        else if (opt == "--decimals")
            display.decimals = intArg("--decimals", value(), 0, 5);
        else if (opt == "--ramp")
            display.ramp = true;
        else if (opt == "--input-mode")
            display.inputMode = intArg("--input-mode", value(), 0, 1);
        else if (opt == "--value") {
            const char* text = value();
            char* end = nullptr;
            const double v = std::strtod(text, &end); // this program never leaves the C locale
            if (end == text || *end != '\0' || !std::isfinite(v))
                usage(cfmt("--value needs a number, not \"%s\"", text).c_str());
            display.fixedValue = v;
            valueText = text;
        } else if (opt == "--help" || opt == "-h")
            usage(nullptr);
        else
            usage(cfmt("unknown option \"%s\"", opt.c_str()).c_str());
    }
    if (line.addresses.empty())
        line.addresses = {0};
    for (int silent : line.silentAddresses)
        if (std::find(line.addresses.begin(), line.addresses.end(), silent) == line.addresses.end())
            usage(cfmt("--silent-address %d is not the address of a display on this line", silent).c_str());
    if (display.fixedValue)
        checkShownValue(valueText, *display.fixedValue, display.digits, display.decimals);
}

[[noreturn]] void fail(const char* what, int error)
{
    std::fprintf(stderr, "dadiz-sim: %s: %s\n", what, std::strerror(error));
    std::exit(1);
}

struct TPty {
    UniqueFd master;
    // Kept open so that the other side may close and reopen at will, and so
    // that an exclusive flag left by an opener that died can be cleared.
    UniqueFd slave;
    UniqueFd watch; // inotify: closes of the device
    std::string path;
};

TPty openPty()
{
    TPty pty;
    pty.master.reset(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!pty.master)
        fail("posix_openpt", errno);
    if (grantpt(pty.master.get()) != 0)
        fail("grantpt", errno);
    if (unlockpt(pty.master.get()) != 0)
        fail("unlockpt", errno);
    char name[256];
    if (const int err = ptsname_r(pty.master.get(), name, sizeof name); err != 0)
        fail("ptsname_r", err);
    pty.path = name;
    pty.slave.reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!pty.slave)
        fail(name, errno);
    termios tio{};
    if (tcgetattr(pty.slave.get(), &tio) != 0)
        fail("tcgetattr", errno);
    cfmakeraw(&tio);
    if (tcsetattr(pty.slave.get(), TCSANOW, &tio) != 0)
        fail("tcsetattr", errno);
    // Without the watch the simulator still runs; only a stale exclusive flag stays.
    pty.watch.reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (pty.watch && inotify_add_watch(pty.watch.get(), name, IN_CLOSE) < 0)
        pty.watch.reset();
    return pty;
}

volatile std::sig_atomic_t stopSignal = 0;

void onStopSignal(int signal)
{
    stopSignal = signal;
}

struct TChunk {
    TSimClock::time_point due;
    std::string bytes;
    std::string logLine; // written once the chunk has gone out
    bool startsFrame = false;
    bool endsFrame = false;
};

class TLine {
public:
    TLine(const TLineOptions& options, std::vector<TSimDisplay> displays, TPty pty)
        : options_(options), displays_(std::move(displays)), pty_(std::move(pty))
    {
    }

    void run(const sigset_t& waitMask);

private:
    void receive(TSimClock::time_point now);
    void handleFrame(const std::string& frame, TSimClock::time_point now);
    bool atOwnLineSettings() const;
    void schedule(const std::string& reply, TSimClock::time_point now);
    void sendDue(TSimClock::time_point now);
    bool previousReplySettled(TSimClock::time_point now);
    void dropUnreadReply(TSimClock::time_point now);
    void clearStaleExclusive();

    const TLineOptions& options_;
    std::vector<TSimDisplay> displays_;
    TPty pty_;
    std::string incoming_;
    std::deque<TChunk> outgoing_;
    std::optional<TSimClock::time_point> quietUntil_;
    std::optional<TSimClock::time_point> unreadCheck_;
    bool holding_ = false; // a reply waits until the previous one is read or dropped
};

void TLine::run(const sigset_t& waitMask)
{
    while (stopSignal == 0) {
        const auto now = TSimClock::now();
        std::optional<TSimClock::time_point> wake;
        if (!outgoing_.empty())
            wake = holding_ ? std::max(outgoing_.front().due, now + kHeldReplyLook) : outgoing_.front().due;
        const bool quiet = quietUntil_ && now < *quietUntil_;
        if (quiet && (!wake || *quietUntil_ < *wake))
            wake = quietUntil_;
        if (unreadCheck_ && (!wake || *unreadCheck_ < *wake))
            wake = unreadCheck_;
        timespec timeout{};
        if (wake) {
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(*wake - now, 0ns)).count();
            timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
            timeout.tv_nsec = static_cast<long>(ns % 1000000000);
        }
        pollfd pfd[2] = {{pty_.master.get(), static_cast<short>(quiet ? 0 : POLLIN), 0},
                         {pty_.watch.get(), POLLIN, 0}};
        const int n = ppoll(pfd, 2, wake ? &timeout : nullptr, &waitMask);
        if (n < 0 && errno != EINTR)
            fail("ppoll", errno);
        if (stopSignal != 0)
            break;
        const auto after = TSimClock::now();
        if (n > 0 && (pfd[1].revents & POLLIN))
            clearStaleExclusive();
        if (n > 0 && (pfd[0].revents & (POLLIN | POLLHUP | POLLERR)))
            receive(after);
        sendDue(after);
        dropUnreadReply(after);
    }
}

void TLine::receive(TSimClock::time_point now)
{
    char buf[512];
    const ssize_t n = ::read(pty_.master.get(), buf, sizeof buf);
    if (n <= 0) {
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        // The other side hung up: wait a little instead of polling a
        // descriptor that stays readable with nothing to read.
        quietUntil_ = now + 50ms;
        return;
    }
    // The adapter hears its own transmission: the request comes back first.
    // A previous reply already read is settled first, so its check cannot
    // flush the echo; one still unread may take the echo with it.
    if (options_.echo)
        previousReplySettled(now);
    if (options_.echo && ::write(pty_.master.get(), buf, static_cast<std::size_t>(n)) < 0 && errno != EAGAIN)
        fail("write", errno);
    for (ssize_t i = 0; i < n; ++i) {
        incoming_ += buf[i];
        if (buf[i] == '\r') {
            handleFrame(incoming_, now);
            incoming_.clear();
        } else if (incoming_.size() > kMaxRequest) {
            incoming_.clear();
        }
    }
}

void TLine::handleFrame(const std::string& received, TSimClock::time_point now)
{
    if (options_.log)
        std::fprintf(stderr, "rx %s\n", printableFrame(received).c_str());
    const std::size_t at = received.find('@');
    if (at == std::string::npos)
        return;
    if (!atOwnLineSettings()) {
        if (options_.log)
            std::fprintf(stderr, "(not at this display's speed or stop bits: no answer)\n");
        return;
    }
    const std::string frame = received.substr(at);
    for (TSimDisplay& display : displays_) {
        if (frame.size() < 3 || frame.compare(1, 2, display.addressText()) != 0)
            continue;
        const bool silent = options_.silent
            || std::any_of(options_.silentAddresses.begin(), options_.silentAddresses.end(),
                           [&](int a) { return display.addressText() == cfmt("%02d", a); });
        if (auto reply = display.answer(frame, now); reply && !silent)
            schedule(*reply, now);
    }
}

// A display set to another speed or other stop bits hears noise. The settings
// are those the program put on the terminal, read when its request arrives.
bool TLine::atOwnLineSettings() const
{
    static constexpr std::pair<int, speed_t> kSpeeds[] = {{300, B300}, {600, B600}, {1200, B1200}, {2400, B2400},
        {4800, B4800}, {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
        {230400, B230400}};
    termios tio{};
    if ((options_.baud == 0 && options_.stopBits == 0) || tcgetattr(pty_.slave.get(), &tio) != 0)
        return true;
    for (const auto& [baud, speed] : kSpeeds)
        if (baud == options_.baud && cfgetospeed(&tio) != speed)
            return false;
    return options_.stopBits == 0 || ((tio.c_cflag & CSTOPB) != 0) == (options_.stopBits == 2);
}

void TLine::schedule(const std::string& frame, TSimClock::time_point now)
{
    const std::string reply = options_.crlf ? frame + '\n' : frame;
    auto due = now + options_.delay;
    if (!outgoing_.empty())
        due = std::max(due, outgoing_.back().due);
    const auto byteTime = options_.baud > 0 ? std::chrono::nanoseconds(10'000'000'000LL / options_.baud) : 0ns;
    std::size_t pos = 0;
    std::size_t piece = 0;
    while (pos < reply.size()) {
        const std::size_t size = piece < options_.pieces.size() ? options_.pieces[piece] : reply.size() - pos;
        const std::string part = reply.substr(pos, size);
        if (pos > 0)
            due += kPiecePause;
        if (byteTime > 0ns) {
            for (std::size_t i = 0; i < part.size(); ++i) {
                outgoing_.push_back({due, part.substr(i, 1), {}, pos == 0 && i == 0});
                due += byteTime;
            }
        } else {
            outgoing_.push_back({due, part, {}, pos == 0});
        }
        pos += part.size();
        ++piece;
    }
    outgoing_.back().endsFrame = true;
    if (options_.log)
        outgoing_.back().logLine = "tx " + printableFrame(reply);
}

void TLine::sendDue(TSimClock::time_point now)
{
    holding_ = false;
    while (!outgoing_.empty() && outgoing_.front().due <= now) {
        const TChunk& chunk = outgoing_.front();
        if (chunk.startsFrame && !previousReplySettled(now)) {
            holding_ = true;
            return;
        }
        // Nobody reading and the queue full: the bytes are lost, as on a line.
        if (::write(pty_.master.get(), chunk.bytes.data(), chunk.bytes.size()) < 0 && errno != EAGAIN)
            fail("write", errno);
        if (!chunk.logLine.empty())
            std::fprintf(stderr, "%s\n", chunk.logLine.c_str());
        if (chunk.endsFrame)
            unreadCheck_ = now + kUnreadReplyLifetime;
        outgoing_.pop_front();
    }
}

// The check for an unread reply flushes what the device holds, so no byte
// of a new reply goes out while it is pending: the new reply waits until the
// previous one has been read (the check is then moot) or dropped.
bool TLine::previousReplySettled(TSimClock::time_point now)
{
    if (!unreadCheck_)
        return true;
    int unread = 0;
    if (ioctl(pty_.slave.get(), FIONREAD, &unread) == 0 && unread > 0 && now < *unreadCheck_)
        return false;
    dropUnreadReply(now);
    unreadCheck_.reset();
    return true;
}

void TLine::dropUnreadReply(TSimClock::time_point now)
{
    if (!unreadCheck_ || now < *unreadCheck_)
        return;
    unreadCheck_.reset();
    int unread = 0;
    if (ioctl(pty_.slave.get(), FIONREAD, &unread) == 0 && unread > 0)
        tcflush(pty_.slave.get(), TCIFLUSH);
}

// True when a process other than this one holds the character device
// `device` open. Processes whose descriptors cannot be read (another user's)
// are taken not to: they could not open the simulator's device anyway.
bool openedElsewhere(dev_t device)
{
    const std::string self = std::to_string(::getpid());
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return false;
    bool found = false;
    while (const dirent* p = ::readdir(proc)) {
        if (found || p->d_name[0] < '1' || p->d_name[0] > '9' || self == p->d_name)
            continue;
        const std::string folder = std::string("/proc/") + p->d_name + "/fd";
        DIR* fds = ::opendir(folder.c_str());
        if (!fds)
            continue;
        while (const dirent* f = ::readdir(fds)) {
            struct stat st {};
            if (f->d_name[0] != '.' && ::stat((folder + "/" + f->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode)
                && st.st_rdev == device) {
                found = true;
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return found;
}

// An opener that died (kill -9) never cleared its exclusive flag, and the
// flag lives as long as the simulator keeps the device open. Once no other
// process holds the device, the flag is cleared for the next opener. Closes
// are only a cue: the events of two closes may arrive as one.
void TLine::clearStaleExclusive()
{
    alignas(inotify_event) char buf[4096];
    bool closed = false;
    while (::read(pty_.watch.get(), buf, sizeof buf) > 0)
        closed = true;
    int exclusive = 0;
    struct stat st {};
    if (!closed || ioctl(pty_.slave.get(), TIOCGEXCL, &exclusive) != 0 || exclusive == 0
        || ::fstat(pty_.slave.get(), &st) != 0)
        return;
    if (!openedElsewhere(st.st_rdev))
        ioctl(pty_.slave.get(), TIOCNXCL);
}

// The link is removed only if it still names this simulator's device.
void removeLink(const std::string& link, const std::string& target)
{
    char buf[512];
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
    if (n > 0 && std::string(buf, static_cast<std::size_t>(n)) == target)
        ::unlink(link.c_str());
}

void makeLink(const std::string& link, const std::string& target)
{
    struct stat st{};
    if (::lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            std::fprintf(stderr, "dadiz-sim: %s exists and is not a symbolic link; left alone\n", link.c_str());
            std::exit(1);
        }
        ::unlink(link.c_str());
    }
    if (::symlink(target.c_str(), link.c_str()) != 0)
        fail(link.c_str(), errno);
}

} // namespace

int main(int argc, char** argv)
{
    TLineOptions line;
    TSimOptions displayOptions;
    parseOptions(argc, argv, line, displayOptions);

    // Stop signals are held back except while waiting, so none is missed between checks.
    sigset_t stopSet;
    sigemptyset(&stopSet);
    sigaddset(&stopSet, SIGTERM);
    sigaddset(&stopSet, SIGINT);
    sigaddset(&stopSet, SIGHUP);
    sigset_t waitMask;
    if (sigprocmask(SIG_BLOCK, &stopSet, &waitMask) != 0)
        fail("sigprocmask", errno);
    struct sigaction sa{};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &sa, nullptr);

    TPty pty = openPty();
    const std::string path = pty.path;
    if (!line.link.empty())
        makeLink(line.link, path);
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);

    const auto start = TSimClock::now();
    std::vector<TSimDisplay> displays;
    for (int address : line.addresses) {
        TSimOptions options = displayOptions;
        options.address = address;
        displays.emplace_back(options, start);
    }
    TLine(line, std::move(displays), std::move(pty)).run(waitMask);

    if (!line.link.empty())
        removeLink(line.link, path);
    return 0;
}
