#include "serial/TermiosMap.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<std::int32_t, speed_t>, 31> kSpeeds{{
    {50, B50}, {75, B75}, {110, B110}, {134, B134}, {150, B150}, {200, B200},
    {300, B300}, {600, B600}, {1200, B1200}, {1800, B1800}, {2400, B2400},
    {4800, B4800}, {9600, B9600}, {19200, B19200}, {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800},
    {500000, B500000}, {576000, B576000}, {921600, B921600}, {1000000, B1000000},
    {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000},
    {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000},
    {4000000, B4000000}, {0, B0},
}};

bool speedCode(std::int32_t bitsPerSecond, speed_t& code)
{
    for (const auto& [bps, c] : kSpeeds)
        if (bps == bitsPerSecond && bps != 0) {
            code = c;
            return true;
        }
    return false;
}

} // namespace

std::int32_t speedOfCode(speed_t code)
{
    for (const auto& [bps, c] : kSpeeds)
        if (c == code)
            return bps;
    return 0;
}

// Settings without a termios equivalent:
// - DSRFlowCtl, DSRSensitive: Linux has no DSR handshake; DTR is simply held on.
// - AbortOnError: Linux never blocks reads and writes after a line error; the
//   errors are counted and ReadComm reports them instead.
// - XOnLimit, XOffLimit: the tty layer chooses its own thresholds.
// - TXResume: Linux keeps transmitting after it sent XOFF.
// - ErrorReplace, ErrorChar: with input parity checking a byte received with a
//   parity or framing error arrives as NUL, the driver's own replacement.
// - DiscardNULL: NUL bytes are always delivered.
TTermiosResult toTermios(const TPortSettings& s, const termios& base)
{
    TTermiosResult r;
    termios t = base;

    speed_t speed{};
    if (!speedCode(s.BaudRate, speed)) {
        r.refusal = TTermiosRefusal::BaudRate;
        return r;
    }
    tcflag_t size{};
    switch (s.DataBits) {
    case databits5: size = CS5; break;
    case databits6: size = CS6; break;
    case databits7: size = CS7; break;
    case databits8: size = CS8; break;
    default:
        r.refusal = TTermiosRefusal::DataBits;
        return r;
    }
    if (s.StopBits != stop1 && s.StopBits != stop2) {
        r.refusal = TTermiosRefusal::StopBits;
        return r;
    }
    tcflag_t parity{};
    switch (s.Parity) {
    case no_parity: parity = 0; break;
    case odd_parity: parity = PARENB | PARODD; break;
    case even_parity: parity = PARENB; break;
    case mark_parity: parity = PARENB | CMSPAR | PARODD; break;
    case space_parity: parity = PARENB | CMSPAR; break;
    default:
        r.refusal = TTermiosRefusal::Parity;
        return r;
    }

    // Raw bytes both ways: the CR that ends every frame must arrive as 0x0D.
    t.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR | ICRNL
                   | IUCLC | IXON | IXOFF | IXANY | IMAXBEL | IUTF8);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOPRT | ECHOKE | ICANON | ISIG
                   | IEXTEN | NOFLSH | TOSTOP | XCASE);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | CBAUDEX);
    t.c_cflag |= CREAD | CLOCAL | size | parity;
    if (s.StopBits == stop2)
        t.c_cflag |= CSTOPB;
    if (s.CTSFlowCtl)
        t.c_cflag |= CRTSCTS;
    if (s.EnableParity)
        t.c_iflag |= INPCK;
    if (s.XOuputFlowCtl)
        t.c_iflag |= IXON;
    if (s.XInputFlowCtl)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(s.XOnChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(s.XOffChar);
    // The descriptor is non-blocking; reads take what the queue holds.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    r.tio = t;
    return r;
}

bool termiosKept(const termios& wanted, const termios& got, bool pseudoTerminal)
{
    tcflag_t cflagMask = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CREAD | CLOCAL;
    if (pseudoTerminal)
        cflagMask &= ~(CSIZE | PARENB);
    const tcflag_t iflagMask = INPCK | IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP;
    return (wanted.c_cflag & cflagMask) == (got.c_cflag & cflagMask)
        && (wanted.c_iflag & iflagMask) == (got.c_iflag & iflagMask)
        && (wanted.c_oflag & OPOST) == (got.c_oflag & OPOST)
        && (wanted.c_lflag & (ICANON | ECHO | ISIG)) == (got.c_lflag & (ICANON | ECHO | ISIG))
        && wanted.c_cc[VSTART] == got.c_cc[VSTART] && wanted.c_cc[VSTOP] == got.c_cc[VSTOP]
        && cfgetispeed(&wanted) == cfgetispeed(&got) && cfgetospeed(&wanted) == cfgetospeed(&got);
}
