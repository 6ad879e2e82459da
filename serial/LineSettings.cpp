#include "serial/LineSettings.h"

#include "config/DisplayConfig.h"
#include "base/Formats.h"
#include "serial/Zcomm.h"

void copyLineSettings(const TDisplayConfig& cfg, TZComm& port)
{
    port.Port = cfg.PortIndex <= 5 ? cfmt("COM%d", cfg.PortIndex + 1) : std::string("COM1");

    static constexpr std::int32_t kBauds[] = {1200, 2400, 4800, 9600, 19200};
    port.BaudRate = cfg.BaudIndex <= 4 ? kBauds[cfg.BaudIndex] : 9600;

    // The dialog lists even, odd, none; the component counts none, odd, even.
    switch (cfg.ParityIndex) {
    case 0: port.Parity = even_parity; break;
    case 1: port.Parity = odd_parity; break;
    case 2: port.Parity = no_parity; break;
    default: break;
    }
    switch (cfg.DataBitsIndex) {
    case 0: port.DataBits = databits7; break;
    case 1: port.DataBits = databits8; break;
    default: break;
    }
    switch (cfg.StopBitsIndex) {
    case 0: port.StopBits = stop1; break;
    case 1: port.StopBits = stop2; break;
    default: break;
    }
}
