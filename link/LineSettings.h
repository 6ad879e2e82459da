#pragma once

#include "config/LineFormat.h"

struct TDisplayConfig;
class TZComm;

// Copies the serial line of the configuration into the (closed) port before
// an exchange. Out-of-range indexes give COM1 and 9600 bit/s, and leave
// parity, data bits and stop bits as they were.
void copyLineSettings(const TDisplayConfig& cfg, TZComm& port);
// Gives the port this speed and frame format; an open port takes them when it
// is next set up.
void applyLineFormat(const TLineFormat& line, TZComm& port);
// The speed and frame format the port has.
TLineFormat lineFormatOf(const TZComm& port);
