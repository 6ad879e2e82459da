#pragma once
#include <cstdint>
#include <termios.h>

// Line settings of the serial component. The numeric values are those of the
// Windows device control block, so files and callers written for it keep them.
enum TParity : std::uint8_t { no_parity, odd_parity, even_parity, mark_parity, space_parity };
enum TDataBits : std::uint8_t { databits4, databits5, databits6, databits7, databits8 };
enum TStopBits : std::uint8_t { stop1, stop1x5, stop2 };

// Everything the component writes into the device when it opens it.
struct TPortSettings {
    std::int32_t BaudRate = 9600;
    TParity Parity = no_parity;
    TDataBits DataBits = databits8;
    TStopBits StopBits = stop1;
    bool EnableParity = true;
    bool CTSFlowCtl = false;
    bool DSRFlowCtl = false;
    bool DSRSensitive = false;
    bool TXResume = false;
    bool XOuputFlowCtl = true;
    bool XInputFlowCtl = true;
    bool ErrorReplace = true;
    bool DiscardNULL = false;
    bool AbortOnError = true;
    char XOnChar = 0x11;
    char XOffChar = 0x13;
    std::int32_t XOnLimit = 150;
    std::int32_t XOffLimit = 150;
};

// Why a set of line settings has no termios form.
enum class TTermiosRefusal { None, BaudRate, DataBits, StopBits, Parity };

struct TTermiosResult {
    TTermiosRefusal refusal = TTermiosRefusal::None;
    termios tio{};
    bool ok() const { return refusal == TTermiosRefusal::None; }
};

// The termios structure for the settings, starting from what the driver had.
// Pure: touches no descriptor.
TTermiosResult toTermios(const TPortSettings& settings, const termios& base);

// True when the device kept what was asked. A pseudo-terminal always forces
// 8 data bits without parity, so those two are not compared there.
bool termiosKept(const termios& wanted, const termios& got, bool pseudoTerminal);

// Plain words for a refusal ("4 data bits"), for the open-failure message.
const char* refusalText(TTermiosRefusal refusal);

// Bit/s for a termios speed code, 0 when unknown.
std::int32_t speedOfCode(speed_t code);
