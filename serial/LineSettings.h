#pragma once

struct TDisplayConfig;
class TZComm;

// Copies the serial line of the configuration into the (closed) port before
// an exchange. Out-of-range indexes give COM1 and 9600 bit/s, and leave
// parity, data bits and stop bits as they were.
void copyLineSettings(const TDisplayConfig& cfg, TZComm& port);
