// The mapping from line settings to termios, checked over every combination,
// and what a pseudo-terminal keeps of it.
#include <gtest/gtest.h>

#include "serial/TermiosMap.h"
#include "serial/Zcomm.h"
#include "SerialTestSupport.h"

namespace {

struct SpeedRow { std::int32_t bps; speed_t code; };
const SpeedRow kSpeeds[] = {{1200, B1200}, {2400, B2400}, {4800, B4800}, {9600, B9600},
                            {19200, B19200}, {115200, B115200}, {4000000, B4000000}};
const std::int32_t kBadSpeeds[] = {0, -9600, 9601, 14400, 7};

struct ParityRow { TParity parity; tcflag_t bits; };
const ParityRow kParities[] = {{no_parity, 0}, {odd_parity, PARENB | PARODD}, {even_parity, PARENB},
                               {mark_parity, PARENB | CMSPAR | PARODD}, {space_parity, PARENB | CMSPAR}};

struct SizeRow { TDataBits bits; tcflag_t size; bool ok; };
const SizeRow kSizes[] = {{databits4, 0, false}, {databits5, CS5, true}, {databits6, CS6, true},
                          {databits7, CS7, true}, {databits8, CS8, true}};

struct StopRow { TStopBits stop; bool cstopb; bool ok; };
const StopRow kStops[] = {{stop1, false, true}, {stop1x5, false, false}, {stop2, true, true}};

// A driver state full of cooked-mode habits, to see that they all go.
termios cookedBase()
{
    termios t{};
    t.c_iflag = ICRNL | IXANY | IMAXBEL | ISTRIP | INLCR | IGNCR | BRKINT | PARMRK;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ECHOE | ISIG | IEXTEN;
    t.c_cflag = CS8 | HUPCL;
    return t;
}

} // namespace

TEST(TermiosMap, EveryCombinationMapsOrIsRefused)
{
    const termios base = cookedBase();
    int checked = 0;
    for (const auto& sp : kSpeeds)
        for (const auto& pa : kParities)
            for (const auto& sz : kSizes)
                for (const auto& st : kStops)
                    for (int flags = 0; flags < 16; ++flags) {
                        TPortSettings s;
                        s.BaudRate = sp.bps;
                        s.Parity = pa.parity;
                        s.DataBits = sz.bits;
                        s.StopBits = st.stop;
                        s.CTSFlowCtl = flags & 1;
                        s.EnableParity = flags & 2;
                        s.XOuputFlowCtl = flags & 4;
                        s.XInputFlowCtl = flags & 8;
                        s.XOnChar = 0x11 + (flags & 1);
                        s.XOffChar = 0x13 + (flags & 2);
                        const TTermiosResult r = toTermios(s, base);
                        SCOPED_TRACE(::testing::Message() << sp.bps << " parity " << int(pa.parity) << " size "
                                                          << int(sz.bits) << " stop " << int(st.stop) << " flags " << flags);
                        if (!sz.ok) {
                            EXPECT_EQ(r.refusal, TTermiosRefusal::DataBits);
                            continue;
                        }
                        if (!st.ok) {
                            EXPECT_EQ(r.refusal, TTermiosRefusal::StopBits);
                            continue;
                        }
                        ASSERT_TRUE(r.ok());
                        const termios& t = r.tio;
                        EXPECT_EQ(t.c_cflag & CSIZE, sz.size);
                        EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), pa.bits);
                        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, st.cstopb);
                        EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, s.CTSFlowCtl);
                        EXPECT_EQ((t.c_iflag & INPCK) != 0, s.EnableParity);
                        EXPECT_EQ((t.c_iflag & IXON) != 0, s.XOuputFlowCtl);
                        EXPECT_EQ((t.c_iflag & IXOFF) != 0, s.XInputFlowCtl);
                        EXPECT_EQ(t.c_iflag & (IXANY | ICRNL | INLCR | IGNCR | ISTRIP | PARMRK | IGNPAR), 0u);
                        EXPECT_EQ(t.c_oflag & OPOST, 0u);
                        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
                        EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), tcflag_t(CREAD | CLOCAL));
                        EXPECT_EQ(t.c_cc[VSTART], cc_t(s.XOnChar));
                        EXPECT_EQ(t.c_cc[VSTOP], cc_t(s.XOffChar));
                        EXPECT_EQ(cfgetispeed(&t), sp.code);
                        EXPECT_EQ(cfgetospeed(&t), sp.code);
                        EXPECT_EQ(speedOfCode(cfgetospeed(&t)), sp.bps);
                        ++checked;
                    }
    EXPECT_EQ(checked, 7 * 5 * 4 * 2 * 16);
}

TEST(TermiosMap, UnknownSpeedsAreRefused)
{
    for (std::int32_t bps : kBadSpeeds) {
        TPortSettings s;
        s.BaudRate = bps;
        EXPECT_EQ(toTermios(s, termios{}).refusal, TTermiosRefusal::BaudRate) << bps;
    }
}

TEST(TermiosMap, NamedLines)
{
    struct Row { const char* name; std::int32_t bps; TDataBits bits; TParity parity; TStopBits stop;
                 tcflag_t cflag; speed_t code; };
    const Row rows[] = {
        {"7E1 1200", 1200, databits7, even_parity, stop1, CS7 | PARENB, B1200},
        {"8N2 19200", 19200, databits8, no_parity, stop2, CS8 | CSTOPB, B19200},
        {"7O2 9600", 9600, databits7, odd_parity, stop2, CS7 | PARENB | PARODD | CSTOPB, B9600},
        {"8N1 4800", 4800, databits8, no_parity, stop1, CS8, B4800},
    };
    for (const Row& row : rows) {
        TPortSettings s;
        s.BaudRate = row.bps;
        s.DataBits = row.bits;
        s.Parity = row.parity;
        s.StopBits = row.stop;
        const TTermiosResult r = toTermios(s, cookedBase());
        ASSERT_TRUE(r.ok()) << row.name;
        EXPECT_EQ(r.tio.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB), row.cflag) << row.name;
        EXPECT_EQ(cfgetospeed(&r.tio), row.code) << row.name;
    }
}

// What the kernel keeps on a pseudo-terminal, read back with tcgetattr.
TEST(TermiosMap, PseudoTerminalKeepsWhatItCan)
{
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    for (const auto& sp : kSpeeds)
        for (const auto& pa : kParities)
            for (const auto& st : {kStops[0], kStops[2]})
                for (int flags = 0; flags < 16; ++flags) {
                    TPortSettings s;
                    s.BaudRate = sp.bps;
                    s.Parity = pa.parity;
                    s.DataBits = databits7;
                    s.StopBits = st.stop;
                    s.CTSFlowCtl = flags & 1;
                    s.EnableParity = flags & 2;
                    s.XOuputFlowCtl = flags & 4;
                    s.XInputFlowCtl = flags & 8;
                    termios base{};
                    ASSERT_EQ(tcgetattr(pty.slave.get(), &base), 0);
                    const TTermiosResult r = toTermios(s, base);
                    ASSERT_TRUE(r.ok());
                    tcsetattr(pty.slave.get(), TCSANOW, &r.tio);  // glibc may say EINVAL here
                    termios got{};
                    ASSERT_EQ(tcgetattr(pty.slave.get(), &got), 0);
                    SCOPED_TRACE(::testing::Message() << sp.bps << " parity " << int(pa.parity) << " flags " << flags);
                    EXPECT_EQ(got.c_cflag & (PARODD | CMSPAR | CSTOPB | CRTSCTS),
                              r.tio.c_cflag & (PARODD | CMSPAR | CSTOPB | CRTSCTS));
                    EXPECT_EQ(got.c_iflag & (INPCK | IXON | IXOFF | IXANY), r.tio.c_iflag & (INPCK | IXON | IXOFF | IXANY));
                    EXPECT_EQ(got.c_cc[VSTART], 0x11);
                    EXPECT_EQ(got.c_cc[VSTOP], 0x13);
                    EXPECT_EQ(cfgetospeed(&got), sp.code);
                    // The coercion: always 8 data bits without parity.
                    EXPECT_EQ(got.c_cflag & (CSIZE | PARENB), tcflag_t(CS8));
                    EXPECT_TRUE(termiosKept(r.tio, got, true));
                    EXPECT_FALSE(termiosKept(r.tio, got, false));  // 7 data bits were lost
                }
}

TEST(TermiosMap, KeptComparesEachSetting)
{
    TPortSettings s;
    s.DataBits = databits7;
    s.Parity = even_parity;
    const termios wanted = toTermios(s, termios{}).tio;
    EXPECT_TRUE(termiosKept(wanted, wanted, false));
    struct Row { const char* name; tcflag_t termios::*field; tcflag_t flip; bool pty; bool kept; };
    const Row rows[] = {
        {"data bits on a real device", &termios::c_cflag, CS7 ^ CS8, false, false},
        {"data bits on a pty", &termios::c_cflag, CS7 ^ CS8, true, true},
        {"parity on a pty", &termios::c_cflag, PARENB, true, true},
        {"stop bits on a pty", &termios::c_cflag, CSTOPB, true, false},
        {"rts/cts", &termios::c_cflag, CRTSCTS, true, false},
        {"xon output", &termios::c_iflag, IXON, false, false},
        {"ixany", &termios::c_iflag, IXANY, true, false},
        {"crlf translation", &termios::c_iflag, ICRNL, true, false},
    };
    for (const Row& row : rows) {
        termios got = wanted;
        got.*(row.field) ^= row.flip;
        EXPECT_EQ(termiosKept(wanted, got, row.pty), row.kept) << row.name;
    }
    termios slower = wanted;
    cfsetospeed(&slower, B1200);
    EXPECT_FALSE(termiosKept(wanted, slower, true));
}

// glibc answers EINVAL when a pseudo-terminal forced 8N, so the default 7E1
// line must still open the same pseudo-terminal again and again.
TEST(TermiosMap, SevenEvenOneReopensOnAPseudoTerminal)
{
    qtApp();
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    TZComm port;
    port.Port = pty.path;
    port.DataBits = databits7;
    port.Parity = even_parity;
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(port.OpenConnection(), 1) << "open " << i << ": " << describeOpenFailure(port);
        port.CloseConnection();
    }
}
