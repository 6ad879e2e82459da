#pragma once
#include <windows.h>

#include "serial/PortSettings.h"

// The device control block form of the line settings, for the Windows serial backend.
struct TDcbResult {
    TTermiosRefusal refusal = TTermiosRefusal::None;
    DCB dcb{};
    bool ok() const { return refusal == TTermiosRefusal::None; }
};

// The device control block for the settings, starting from what the driver
// had: every field the settings do not name (ErrorChar, EofChar...) keeps
// the driver's value. Refused: 4 data bits, 1.5 stop bits with more than 5
// data bits, a speed of 0 or less, values outside the enumerations. Pure.
TDcbResult toDcb(const TPortSettings& settings, const DCB& base);
