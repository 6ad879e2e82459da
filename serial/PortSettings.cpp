#include "serial/PortSettings.h"

const char* refusalText(TTermiosRefusal refusal)
{
    switch (refusal) {
    case TTermiosRefusal::None: return "";
    case TTermiosRefusal::BaudRate: return "this line speed is not available";
    case TTermiosRefusal::DataBits: return "4 data bits are not available";
    case TTermiosRefusal::StopBits: return "1.5 stop bits are not available";
    case TTermiosRefusal::Parity: return "this parity is not available";
    }
    return "";
}
