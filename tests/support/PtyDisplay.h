#pragma once
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <map>
#include <string>
#include <termios.h>
#include <unistd.h>

#include "base/Formats.h"
#include "base/UniqueFd.h"

namespace testsupport {

// The 'P' reply of a display with everything in range, address at offsets 1..2.
inline const std::string kParamsReply =
    "@00RP01I1  4.000D1      0I2 20.000D2   9999PD1TT0UM1RE0OF00 000R110H1005S1 5999R211H2005S2 1999\r";

// A display at the far end of a pseudo-terminal, driven by the test. It keeps
// a second descriptor of the terminal side open, as a line would stay there,
// so that the program may close and reopen its port at will. Requests are
// taken from '@' to CR; replies go out whole, late, or as a flood.
class PtyDisplay : public QObject {
public:
    using Clock = std::chrono::steady_clock;

    PtyDisplay()
    {
        master.reset(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        char name[128] = {};
        if (!master || grantpt(master.get()) != 0 || unlockpt(master.get()) != 0
            || ptsname_r(master.get(), name, sizeof name) != 0)
            return;
        path = name;
        line.reset(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        termios t{};
        tcgetattr(line.get(), &t);
        cfmakeraw(&t);
        tcsetattr(line.get(), TCSANOW, &t);
        notifier = new QSocketNotifier(master.get(), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] { receive(); });
        onRequest = [this](const std::string& frame) { send(answerTo(frame)); };
    }

    bool ok() const { return !path.empty() && line.valid(); }

    // The other side goes away: the terminal hangs up for whoever still holds it.
    void vanish()
    {
        delete notifier;
        notifier = nullptr;
        master.reset();
        line.reset();
    }

    // Bytes lying unread in the terminal are lost, as on a line nobody reads.
    void discardUnread() { tcflush(line.get(), TCIFLUSH); }

    // The reply a display in order gives: readings carry a serial number as
    // their value, so each one shown can be traced to the moment it was sent.
    std::string answerTo(const std::string& frame)
    {
        const std::string address = frame.substr(1, 2);
        switch (frame[3]) {
        case 'L':
            return "@" + address + "RL" + cfmt("%8d", ++serial) + "RR10\r";
        case 'P':
            return "@" + address + kParamsReply.substr(3);
        case 'E':
            return "@" + address + "RE\r";
        default:
            return {};
        }
    }

    void send(const std::string& bytes)
    {
        if (bytes.empty() || !master)
            return;
        // A closed serial port receives nothing: what the display sends then is lost.
        if (listening && !listening())
            return;
        sentAt[bytes] = Clock::now();
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master.get(), bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                return;
            done += static_cast<std::size_t>(n);
        }
    }

    void sendLater(const std::string& bytes, int ms)
    {
        QTimer::singleShot(ms, this, [this, bytes] { send(bytes); });
    }

    // Offers `total` bytes without a CR as fast as the terminal takes them;
    // what it cannot take is lost, as on a line.
    void flood(std::size_t total)
    {
        floodLeft = total;
        auto* pump = new QTimer(this);
        connect(pump, &QTimer::timeout, this, [this, pump] {
            const std::string chunk(std::min<std::size_t>(floodLeft, 4096), '~');
            const ssize_t n = master ? ::write(master.get(), chunk.data(), chunk.size()) : -1;
            if (n > 0)
                floodLeft -= static_cast<std::size_t>(n);
            else
                discardUnread();
            if (floodLeft == 0 || !master) {
                pump->stop();
                pump->deleteLater();
            }
        });
        pump->start(0);
    }

    std::string path;
    UniqueFd master;
    UniqueFd line;
    int requests = 0;
    int serial = 0;
    std::size_t floodLeft = 0;
    std::map<std::string, Clock::time_point> sentAt;
    std::function<void(const std::string&)> onRequest;
    std::function<bool()> listening;

private:
    void receive()
    {
        char buf[512];
        const ssize_t n = ::read(master.get(), buf, sizeof buf);
        for (ssize_t i = 0; i < n; ++i) {
            incoming += buf[i];
            if (buf[i] != '\r')
                continue;
            const std::size_t at = incoming.find('@');
            if (at != std::string::npos && incoming.size() - at >= 5) {
                ++requests;
                onRequest(incoming.substr(at));
            }
            incoming.clear();
        }
    }

    QSocketNotifier* notifier = nullptr;
    std::string incoming;
};

} // namespace testsupport
