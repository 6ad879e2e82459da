#pragma once
#include <cstdint>
#include <termios.h>

#include "serial/PortSettings.h"

// The termios form of the line settings, for the POSIX serial backend.
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

// Bit/s for a termios speed code, 0 when unknown.
std::int32_t speedOfCode(speed_t code);
