#include "serial/DcbMap.h"

TDcbResult toDcb(const TPortSettings& s, const DCB& base)
{
    TDcbResult r;
    if (s.BaudRate <= 0) {
        r.refusal = TTermiosRefusal::BaudRate;
        return r;
    }
    // UARTs send 5 to 8 data bits; 1.5 stop bits exist only with 5 of them.
    if (s.DataBits < databits5 || s.DataBits > databits8) {
        r.refusal = TTermiosRefusal::DataBits;
        return r;
    }
    if (s.StopBits > stop2 || (s.StopBits == stop1x5 && s.DataBits != databits5)) {
        r.refusal = TTermiosRefusal::StopBits;
        return r;
    }
    if (s.Parity > space_parity) {
        r.refusal = TTermiosRefusal::Parity;
        return r;
    }

    DCB d = base;
    d.DCBlength = sizeof(DCB);
    d.BaudRate = static_cast<DWORD>(s.BaudRate);
    d.ByteSize = static_cast<BYTE>(s.DataBits + 4);
    d.Parity = s.Parity;
    d.StopBits = s.StopBits;
    d.fBinary = TRUE;
    d.fParity = s.EnableParity;
    d.fOutxCtsFlow = s.CTSFlowCtl;
    d.fRtsControl = s.CTSFlowCtl ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    d.fOutxDsrFlow = s.DSRFlowCtl;
    d.fDtrControl = s.DSRFlowCtl ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE;
    d.fDsrSensitivity = s.DSRSensitive;
    d.fTXContinueOnXoff = s.TXResume;
    d.fOutX = s.XOuputFlowCtl;
    d.fInX = s.XInputFlowCtl;
    d.fErrorChar = s.ErrorReplace;
    d.fNull = s.DiscardNULL;
    d.fAbortOnError = s.AbortOnError;
    d.XonChar = s.XOnChar;
    d.XoffChar = s.XOffChar;
    d.XonLim = static_cast<WORD>(s.XOnLimit & 0xFFFF);
    d.XoffLim = static_cast<WORD>(s.XOffLimit & 0xFFFF);
    r.dcb = d;
    return r;
}
