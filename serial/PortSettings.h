#pragma once
#include <cstdint>

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

// Which setting the system's serial layer has no form for.
enum class TTermiosRefusal { None, BaudRate, DataBits, StopBits, Parity };

