// The pure parts of the Windows serial layer: line settings to a device
// control block, port names to devices, Windows errors to the errno kinds
// whose words the program already has; and the '.' of number texts under a
// process locale that writes ','.
#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>

#include "base/Formats.h"
#include "serial/DcbMap.h"
#include "serial/Win32SerialBackend.h"
#include "serial/WindowsErrors.h"

namespace {

// A driver state with values of its own in every field the settings leave alone.
DCB driverBase()
{
    DCB d{};
    d.DCBlength = sizeof d;
    d.BaudRate = 300;
    d.ByteSize = 8;
    d.fDtrControl = DTR_CONTROL_DISABLE;
    d.fRtsControl = RTS_CONTROL_TOGGLE;
    d.ErrorChar = '~';
    d.EofChar = 0x1A;
    d.EvtChar = 0x0D;
    return d;
}

} // namespace

TEST(DcbMap, EveryCombinationMapsOrIsRefused)
{
    const std::int32_t speeds[] = {1200, 2400, 4800, 9600, 19200, 14400, 115200};
    const DCB base = driverBase();
    int mapped = 0;
    for (const std::int32_t bps : speeds)
        for (int parity = no_parity; parity <= space_parity; ++parity)
            for (int bits = databits4; bits <= databits8; ++bits)
                for (int stop = stop1; stop <= stop2; ++stop)
                    for (int flags = 0; flags < 64; ++flags) {
                        TPortSettings s;
                        s.BaudRate = bps;
                        s.Parity = static_cast<TParity>(parity);
                        s.DataBits = static_cast<TDataBits>(bits);
                        s.StopBits = static_cast<TStopBits>(stop);
                        s.CTSFlowCtl = flags & 1;
                        s.DSRFlowCtl = flags & 2;
                        s.EnableParity = flags & 4;
                        s.XOuputFlowCtl = flags & 8;
                        s.XInputFlowCtl = flags & 16;
                        s.AbortOnError = flags & 32;
                        s.ErrorReplace = !(flags & 1);
                        s.DiscardNULL = flags & 2;
                        s.DSRSensitive = flags & 4;
                        s.TXResume = flags & 8;
                        s.XOnChar = static_cast<char>(0x11 + (flags & 3));
                        s.XOffChar = static_cast<char>(0x13 + (flags & 3));
                        s.XOnLimit = 100 + flags;
                        s.XOffLimit = 0x10000 + 200 + flags;  // only the low 16 bits go in
                        const TDcbResult r = toDcb(s, base);
                        const std::string at = std::to_string(bps) + " p" + std::to_string(parity) + " d"
                            + std::to_string(bits) + " s" + std::to_string(stop) + " f" + std::to_string(flags);
                        if (bits == databits4) {
                            EXPECT_EQ(r.refusal, TTermiosRefusal::DataBits) << at;
                            continue;
                        }
                        if (stop == stop1x5 && bits != databits5) {
                            EXPECT_EQ(r.refusal, TTermiosRefusal::StopBits) << at;
                            continue;
                        }
                        ASSERT_TRUE(r.ok()) << at;
                        const DCB& d = r.dcb;
                        EXPECT_EQ(d.DCBlength, sizeof(DCB));
                        EXPECT_EQ(d.BaudRate, static_cast<DWORD>(bps)) << at;
                        EXPECT_EQ(d.ByteSize, bits + 4) << at;
                        EXPECT_EQ(d.Parity, parity) << at;
                        EXPECT_EQ(d.StopBits, stop) << at;
                        EXPECT_TRUE(d.fBinary);
                        EXPECT_EQ(d.fParity, s.EnableParity) << at;
                        EXPECT_EQ(d.fOutxCtsFlow, s.CTSFlowCtl) << at;
                        EXPECT_EQ(d.fRtsControl, s.CTSFlowCtl ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE) << at;
                        EXPECT_EQ(d.fOutxDsrFlow, s.DSRFlowCtl) << at;
                        EXPECT_EQ(d.fDtrControl, s.DSRFlowCtl ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE) << at;
                        EXPECT_EQ(d.fDsrSensitivity, s.DSRSensitive) << at;
                        EXPECT_EQ(d.fTXContinueOnXoff, s.TXResume) << at;
                        EXPECT_EQ(d.fOutX, s.XOuputFlowCtl) << at;
                        EXPECT_EQ(d.fInX, s.XInputFlowCtl) << at;
                        EXPECT_EQ(d.fErrorChar, s.ErrorReplace) << at;
                        EXPECT_EQ(d.fNull, s.DiscardNULL) << at;
                        EXPECT_EQ(d.fAbortOnError, s.AbortOnError) << at;
                        EXPECT_EQ(d.XonChar, s.XOnChar) << at;
                        EXPECT_EQ(d.XoffChar, s.XOffChar) << at;
                        EXPECT_EQ(d.XonLim, 100 + flags) << at;
                        EXPECT_EQ(d.XoffLim, 200 + flags) << at;
                        // What the settings do not name stays the driver's.
                        EXPECT_EQ(d.ErrorChar, '~');
                        EXPECT_EQ(d.EofChar, 0x1A);
                        EXPECT_EQ(d.EvtChar, 0x0D);
                        ++mapped;
                    }
    EXPECT_EQ(mapped, 7 * 5 * (4 * 2 + 1) * 64);
}

TEST(DcbMap, ValuesOutsideTheListsAreRefused)
{
    struct Row {
        const char* name;
        void (*spoil)(TPortSettings&);
        TTermiosRefusal refusal;
    };
    const Row rows[] = {
        {"speed 0", [](TPortSettings& s) { s.BaudRate = 0; }, TTermiosRefusal::BaudRate},
        {"negative speed", [](TPortSettings& s) { s.BaudRate = -9600; }, TTermiosRefusal::BaudRate},
        {"data bits 9", [](TPortSettings& s) { s.DataBits = static_cast<TDataBits>(5); }, TTermiosRefusal::DataBits},
        {"stop bits 3", [](TPortSettings& s) { s.StopBits = static_cast<TStopBits>(3); }, TTermiosRefusal::StopBits},
        {"parity 5", [](TPortSettings& s) { s.Parity = static_cast<TParity>(5); }, TTermiosRefusal::Parity},
    };
    for (const Row& row : rows) {
        TPortSettings s;
        row.spoil(s);
        EXPECT_EQ(toDcb(s, driverBase()).refusal, row.refusal) << row.name;
    }
}

TEST(Win32Names, PortNamesBecomeDevicePaths)
{
    const std::pair<const char*, const char*> rows[] = {
        {"COM1", "\\\\.\\COM1"},         {"com6", "\\\\.\\COM6"},
        {"Com12", "\\\\.\\COM12"},       {"COM256", "\\\\.\\COM256"},
        {"COM257", "COM257"},            {"COM0", "COM0"},
        {"COM01", "COM01"},              {"COM", "COM"},
        {"COM1 ", "COM1 "},              {"COM1x", "COM1x"},
        {"\\\\.\\COM3", "\\\\.\\COM3"},  {"\\\\?\\USB#VID_0403", "\\\\?\\USB#VID_0403"},
        {"", ""},
    };
    for (const auto& [port, device] : rows)
        EXPECT_EQ(windowsDevicePath(port), device) << port;
}

TEST(Win32Errors, EachFailureHasTheKindLinuxGivesIt)
{
    const std::pair<unsigned long, int> rows[] = {
        {ERROR_SUCCESS, 0},
        {ERROR_FILE_NOT_FOUND, ENOENT},         {ERROR_PATH_NOT_FOUND, ENOENT},
        {ERROR_INVALID_NAME, ENOENT},           {ERROR_ACCESS_DENIED, EBUSY},
        {ERROR_SHARING_VIOLATION, EBUSY},       {ERROR_PRIVILEGE_NOT_HELD, EACCES},
        {ERROR_NOT_READY, ENODEV},              {ERROR_DEVICE_REMOVED, ENODEV},
        {ERROR_GEN_FAILURE, EIO},               {ERROR_SEM_TIMEOUT, EIO},
        {ERROR_NOT_SUPPORTED, ENOTTY},          {ERROR_INVALID_FUNCTION, ENOTTY},
        {ERROR_TOO_MANY_OPEN_FILES, EMFILE},    {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
        {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},      {ERROR_OPERATION_ABORTED, ECANCELED},
        {ERROR_INVALID_PARAMETER, EINVAL},      {12345, EINVAL},
    };
    for (const auto& [code, kind] : rows)
        EXPECT_EQ(errnoOfWindowsError(code), kind) << code;
}

// The C runtime's per-thread locale stands in for POSIX uselocale: numbers
// keep their '.' and the process keeps its own locale afterwards.
TEST(Win32Formats, NumbersKeepTheirPointUnderAFrenchLocale)
{
    const char* french = std::setlocale(LC_ALL, "French_France.1252");
    ASSERT_NE(french, nullptr) << "no French locale in this C runtime";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    EXPECT_EQ(cfmt("%05.1f|%+6.3f", 12.75, -1.5), "012.8|-1.500");
    EXPECT_EQ(textToDouble("2.75"), 2.75);
    EXPECT_EQ(textToInt(" -42"), -42);
    EXPECT_EQ(generalFloatText(0.125), "0.125");
    EXPECT_STREQ(std::localeconv()->decimal_point, ",");
    std::setlocale(LC_ALL, "C");
}
