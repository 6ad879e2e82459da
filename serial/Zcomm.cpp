#include "serial/Zcomm.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <grp.h>
#include <sys/stat.h>
#include <vector>

#include "config/Formats.h"
#include "serial/PortMap.h"

namespace {
constexpr int kWriteWaitMs = 2000;
}

TZComm::TZComm(QObject* owner) : TZComm(owner, makeSystemSerialBackend) {}

TZComm::TZComm(QObject* owner, BackendFactory factory) : QObject(owner), factory_(std::move(factory)) {}

TZComm::~TZComm()
{
    State = 1;
    releaseDevice();
}

TPortSettings TZComm::portSettings() const
{
    TPortSettings s;
    s.BaudRate = BaudRate;
    s.Parity = Parity;
    s.DataBits = DataBits;
    s.StopBits = StopBits;
    s.EnableParity = EnableParity;
    s.CTSFlowCtl = CTSFlowCtl;
    s.DSRFlowCtl = DSRFlowCtl;
    s.DSRSensitive = DSRSensitive;
    s.TXResume = TXResume;
    s.XOuputFlowCtl = XOuputFlowCtl;
    s.XInputFlowCtl = XInputFlowCtl;
    s.ErrorReplace = ErrorReplace;
    s.DiscardNULL = DiscardNULL;
    s.AbortOnError = AbortOnError;
    s.XOnChar = XOnChar;
    s.XOffChar = XOffChar;
    s.XOnLimit = XOnLimit;
    s.XOffLimit = XOffLimit;
    return s;
}

int TZComm::OpenConnection()
{
    if (!CheckIDE())
        return 0;
    // A connection still open is closed first, so a failed open never
    // strands a device that nobody could close any more.
    CloseConnection();
    openFailure_ = TOpenFailure{};
    openFailure_.Path = resolvePortPath(Port);
    if (openFailure_.Path.empty()) {
        openFailure_.Error = ENOENT;
        return 0;
    }
    auto device = factory_();
    if (const int err = device->open(openFailure_.Path)) {
        openFailure_.Error = err;
        return 0;
    }
    device_ = std::move(device);
    // The queue sizes have no equivalent: the tty layer sizes its own buffers.
    SetTimeouts();
    if (!SetConnection()) {
        releaseDevice();
        return 0;
    }
    // Bytes that reached the device before this open belong to nobody's
    // request: a virtual port keeps them while closed. Output held by an XOFF
    // from an earlier session must not hold this one.
    device_->purge(PURGE_RXCLEAR);
    device_->escape(SETXON);
    Connected = 1;
    ++connection_;
    thread_ = std::make_unique<TCommThread>(*device_, this, connection_);
    if (!thread_->start()) {
        openFailure_.Error = EAGAIN;
        Connected = 0;
        releaseDevice();
        return 0;
    }
    // A device without modem lines (a pseudo-terminal) still opens.
    SetDTR();
    openFailure_ = TOpenFailure{};
    return 1;
}

int TZComm::SetConnection()
{
    if (!device_)
        return 0;
    TTermiosRefusal refusal{};
    const int err = device_->applySettings(portSettings(), refusal);
    if (err == 0)
        return 1;
    openFailure_.Error = err;
    openFailure_.SettingsRejected = true;
    openFailure_.Refusal = refusal;
    return 0;
}

int TZComm::SetFlowCtl(int on)
{
    return device_ && device_->setSoftwareFlowControl(on & 1) == 0 ? 1 : 0;
}

void TZComm::releaseDevice()
{
    if (thread_)
        thread_->stop();
    thread_.reset();
    if (device_)
        device_->close();
    device_.reset();
}

int TZComm::CloseConnection()
{
    Connected = 0;
    if (!device_)
        return 1;
    // The thread has left its wait before the descriptor goes.
    if (thread_)
        thread_->stop();
    thread_.reset();
    ClearDTR();
    PurgeCommPort(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    releaseDevice();
    return 1;
}

// Linux has no per-device time-outs: reads never wait and a write waits at
// most 2000 ms for the driver. The values are kept so GetTimeouts reads them back.
int TZComm::SetTimeouts()
{
    if (!device_)
        return 0;
    deviceTimeouts_ = {TimeoutReadInterval, TimeoutReadMultiplier, TimeoutReadConstant,
                       TimeoutWriteMultiplier, TimeoutWriteConstant};
    return 1;
}

int TZComm::GetTimeouts()
{
    if (!device_)
        return 0;
    TimeoutReadInterval = deviceTimeouts_.ReadInterval;
    TimeoutReadMultiplier = deviceTimeouts_.ReadMultiplier;
    TimeoutReadConstant = deviceTimeouts_.ReadConstant;
    TimeoutWriteMultiplier = deviceTimeouts_.WriteMultiplier;
    TimeoutWriteConstant = deviceTimeouts_.WriteConstant;
    return 1;
}

long TZComm::ReadComm(unsigned char* buf, long count)
{
    if (!device_)
        return 0;
    const unsigned errors = device_->takeLineErrors();
    if (errors != 0 && OnErrorOccurred) {
        OnErrorOccurred(this, static_cast<int>(errors), "Read Error");
        // The handler may have shown a message box, and a reply completed
        // meanwhile may have closed the port.
        if (!device_)
            return 0;
    }
    const long queued = device_->queuedIn();
    if (count <= 0 || queued <= 0)
        return 0;
    const long n = device_->read(buf, std::min(count, queued));
    return n > 0 ? n : 0;
}

// The bytes go to the driver in one call, with one 2000 ms wait in all for
// room: on a stalled line the window is not frozen for 2000 ms per byte.
int TZComm::WriteComm(const unsigned char* buf, long len)
{
    if (len <= 0)
        return 1;
    return device_ && device_->write(buf, len, kWriteWaitMs) == len ? 1 : 0;
}

int TZComm::WriteCommByte(unsigned char c)
{
    return device_ && device_->write(&c, 1, kWriteWaitMs) == 1 ? 1 : 0;
}

void TZComm::SetText(const std::string& s)
{
    WriteComm(reinterpret_cast<const unsigned char*>(s.data()), static_cast<long>(s.size()));
}

std::string TZComm::GetText()
{
    if (MaxReadLength <= 0)
        return {};
    std::vector<unsigned char> block(static_cast<size_t>(MaxReadLength) + 1, 0);
    const long n = ReadComm(block.data(), MaxReadLength);
    if (n < 1)
        return {};
    lastText_ = std::string(reinterpret_cast<const char*>(block.data()));
    return lastText_;
}

int TZComm::EscapeComm(unsigned long function) { return device_ && device_->escape(function) == 0 ? 1 : 0; }
int TZComm::SetDTR() { return EscapeComm(SETDTR); }
int TZComm::ClearDTR() { return EscapeComm(CLRDTR); }
int TZComm::SetRTS() { return EscapeComm(SETRTS); }
int TZComm::ClearRTS() { return EscapeComm(CLRRTS); }

int TZComm::PurgeCommPort(unsigned long flags) { return device_ && device_->purge(flags) == 0 ? 1 : 0; }

unsigned long TZComm::GetQCountIn()
{
    if (!device_)
        return 0;
    device_->takeLineErrors();
    const long n = device_->queuedIn();
    return n > 0 ? static_cast<unsigned long>(n) : 0;
}

unsigned long TZComm::GetQCountOut()
{
    if (!device_)
        return 0;
    device_->takeLineErrors();
    const long n = device_->queuedOut();
    return n > 0 ? static_cast<unsigned long>(n) : 0;
}

unsigned long TZComm::GetTransmissionStatus() { return device_ ? device_->takeLineErrors() : 0; }

int TZComm::MessageCOMM(const TCommMessage& message)
{
    if (Connected == 0 || message.Connection != connection_)
        return 0;
    if (message.LineLost) {
        // The wait thread has already ended; the device stays held until
        // CloseConnection so the owner sees one consistent state.
        if (OnErrorOccurred)
            OnErrorOccurred(this, LineLostError, "Device disconnected");
        return 1;
    }
    if (OnDataAvailable)
        OnDataAvailable(this);
    return 1;
}

bool TZComm::event(QEvent* e)
{
    commEventReceived(e);
    if (e->type() == TCommEvent::eventType()) {
        MessageCOMM(static_cast<TCommEvent*>(e)->Message);
        return true;
    }
    return QObject::event(e);
}

namespace {

std::string owningGroup(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return {};
    std::vector<char> buf(4096);
    group g{};
    group* found = nullptr;
    if (getgrgid_r(st.st_gid, &g, buf.data(), buf.size(), &found) != 0 || !found)
        return cfmt("%u", static_cast<unsigned>(st.st_gid));
    return found->gr_name;
}

} // namespace

std::string describeOpenFailure(const TZComm& port)
{
    const TOpenFailure& f = port.lastOpenFailure();
    if (f.Error == 0)
        return {};
    const std::string& path = f.Path;
    if (path.empty())
        return "No serial device is set for port \"" + port.Port + "\".";
    if (f.SettingsRejected) {
        std::string why = f.Refusal != TTermiosRefusal::None
            ? std::string(refusalText(f.Refusal))
            : "it does not keep the speed, parity, data bits or stop bits asked for";
        return path + " does not accept the line settings: " + why + ".";
    }
    switch (f.Error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return path + " does not exist. Plug the adapter in, or choose the device of this COM port "
                      "in the serial line settings.";
    case EACCES:
    case EPERM: {
        std::string group = owningGroup(path);
        if (group.empty())
            group = "dialout";
        return "You may not open " + path + ". Your user must be a member of the group \"" + group
            + "\" that owns the device (usually dialout): run \"sudo usermod -aG " + group
            + " $USER\", then log out and in again.";
    }
    case EBUSY:
        return path + " is in use by another program.";
    case ENOTTY:
        return path + " is not a serial device.";
    case EIO:
        return path + " does not answer; unplug the adapter and plug it in again.";
    default:
        return path + ": " + std::strerror(f.Error) + ".";
    }
}
