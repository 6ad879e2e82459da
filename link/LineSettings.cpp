#include "link/LineSettings.h"

#include "base/Formats.h"
#include "config/DisplayConfig.h"
#include "serial/Zcomm.h"

namespace {

// The lists name even, odd, none; the component counts none, odd, even.
TParity portParity(TLineParity parity)
{
    switch (parity) {
    case TLineParity::Even: return even_parity;
    case TLineParity::Odd: return odd_parity;
    case TLineParity::None: break;
    }
    return no_parity;
}

TDataBits portDataBits(std::uint8_t bits)
{
    return bits == 7 ? databits7 : databits8;
}

TStopBits portStopBits(std::uint8_t bits)
{
    return bits == 2 ? stop2 : stop1;
}

} // namespace

void copyLineSettings(const TDisplayConfig& cfg, TZComm& port)
{
    port.Port = cfg.PortIndex <= 5 ? cfmt("COM%d", cfg.PortIndex + 1) : std::string("COM1");
    port.BaudRate = lineFormatOf(cfg).baud;
    if (const auto parity = parityAt(cfg.ParityIndex))
        port.Parity = portParity(*parity);
    if (const auto bits = dataBitsAt(cfg.DataBitsIndex))
        port.DataBits = portDataBits(*bits);
    if (const auto bits = stopBitsAt(cfg.StopBitsIndex))
        port.StopBits = portStopBits(*bits);
}

void applyLineFormat(const TLineFormat& line, TZComm& port)
{
    port.BaudRate = line.baud;
    port.Parity = portParity(line.parity);
    port.DataBits = portDataBits(line.dataBits);
    port.StopBits = portStopBits(line.stopBits);
}

TLineFormat lineFormatOf(const TZComm& port)
{
    return {port.BaudRate, port.Parity == even_parity ? TLineParity::Even
            : port.Parity == odd_parity               ? TLineParity::Odd
                                                      : TLineParity::None,
        static_cast<std::uint8_t>(port.DataBits == databits7 ? 7 : 8),
        static_cast<std::uint8_t>(port.StopBits == stop2 ? 2 : 1)};
}
