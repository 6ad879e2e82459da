#pragma once
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/Language.h"

#include "serial/Comuni.h"
#include "serial/SerialBackend.h"

class TZComm;

// A value its owner may read but only the component may change.
template <class T>
class TReadOnly {
public:
    explicit TReadOnly(T v) : value_(v) {}
    operator T() const { return value_; }

private:
    friend class TZComm;
    TReadOnly& operator=(T v)
    {
        value_ = v;
        return *this;
    }
    T value_;
};

// The component's version: what is written to it is kept aside and never read.
class TVersionProperty {
public:
    operator std::string() const { return "1.0.8"; }
    std::string str() const { return "1.0.8"; }
    bool operator==(const std::string& other) const { return str() == other; }
    TVersionProperty& operator=(const std::string& v)
    {
        written_ = v;
        return *this;
    }

private:
    std::string written_;
};

// Why the last OpenConnection failed: the device path tried, the errno of the
// failing call, and, when the device refused the settings, which one.
struct TOpenFailure {
    std::string Path;
    int Error = 0;
    bool SettingsRejected = false;
    TTermiosRefusal Refusal = TTermiosRefusal::None;
};

// The serial port component. Lives on the UI thread; every operation and
// every event runs there. While a connection is open, its TCommThread waits for
// received bytes and posts one notification per receive event.
class TZComm : public QObject {
    Q_OBJECT
public:
    using BackendFactory = std::function<std::unique_ptr<TSerialBackend>()>;

    explicit TZComm(QObject* owner = nullptr);
    // Another device layer, e.g. a simulated one.
    TZComm(QObject* owner, BackendFactory factory);
    // Closes a connection still open: its thread must not outlive the component.
    ~TZComm() override;

    std::string Port;
    std::int32_t BaudRate = 9600;
    TParity Parity = no_parity;
    TDataBits DataBits = databits8;
    TStopBits StopBits = stop1;
    std::int32_t MaxReadLength = 8192;
    std::int32_t InputQueueSize = 1024;
    std::int32_t OutputQueueSize = 1024;
    std::int32_t XOnLimit = 150;
    std::int32_t XOffLimit = 150;
    bool CTSFlowCtl = false;
    bool DSRFlowCtl = false;
    bool EnableParity = true;
    bool DSRSensitive = false;
    bool TXResume = false;
    bool XOuputFlowCtl = true;
    bool XInputFlowCtl = true;
    bool ErrorReplace = true;
    bool DiscardNULL = false;
    bool AbortOnError = true;
    char ErrorChar = '~';
    char XOnChar = 0x11;
    char XOffChar = 0x13;
    std::int32_t TimeoutReadInterval = 65535;
    std::int32_t TimeoutReadMultiplier = 1;
    std::int32_t TimeoutReadConstant = 5000;
    std::int32_t TimeoutWriteMultiplier = 1;
    std::int32_t TimeoutWriteConstant = 5000;
    TReadOnly<std::int32_t> State{2};
    TVersionProperty Version;
    TReadOnly<std::int32_t> Connected{0};

    std::function<void(TZComm* sender)> OnDataAvailable;
    // Line errors found by a read, delivered through the event queue after it.
    std::function<void(TZComm* sender, int error, const std::string& errorstr)> OnErrorOccurred;
    // The device went away while the connection was open.
    std::function<void(TZComm* sender)> OnLineLost;

    int OpenConnection();
    int SetConnection();
    int SetFlowCtl(int on);
    int CloseConnection();
    int SetTimeouts();
    int GetTimeouts();
    long ReadComm(unsigned char* buf, long count);
    int WriteComm(const unsigned char* buf, long len);
    int WriteCommByte(unsigned char c);
    void SetText(const std::string& s);
    std::string GetText();
    int SetDTR();
    int ClearDTR();
    int SetRTS();
    int ClearRTS();
    int EscapeComm(unsigned long function);
    int PurgeCommPort(unsigned long flags);
    unsigned long GetQCountIn();
    unsigned long GetQCountOut();
    unsigned long GetTransmissionStatus();
    bool CheckIDE() const { return true; }
    // Turns one notification into one OnDataAvailable, OnErrorOccurred or
    // OnLineLost. 0 when dropped: data or a lost line of a connection closed
    // since, or of an earlier one. Line errors are told even after the close.
    int MessageCOMM(const TCommMessage& message);

    // The settings SetConnection writes, taken from the properties.
    TPortSettings portSettings() const;
    // The device path of the last open attempt and why it failed.
    const TOpenFailure& lastOpenFailure() const { return openFailure_; }

protected:
    bool event(QEvent* e) override;

private:
    struct TDeviceTimeouts {
        std::int32_t ReadInterval = 0, ReadMultiplier = 0, ReadConstant = 0;
        std::int32_t WriteMultiplier = 0, WriteConstant = 0;
    };

    void releaseDevice();

    BackendFactory factory_;
    std::unique_ptr<TSerialBackend> device_;
    // Kept from the first open to the component's end, idle while closed.
    TCommThread waiter_{this};
    std::uint64_t connection_ = 0;
    TDeviceTimeouts deviceTimeouts_;
    std::string lastText_;
    TOpenFailure openFailure_;
};

// The reason of the last failed OpenConnection in plain words, with the
// device path, for the informative text of the "cannot open" message; in the
// language given (English by default).
std::string describeOpenFailure(const TZComm& port, TLanguage language = TLanguage::English);

// Who may open a device, and when this process may not, why and what helps,
// in `language`: the window, dadizctl and the connection doctor all give this
// advice. Joining the device's group helps only where its mode gives the
// group read and write and the group is not root; otherwise the device needs
// another mode (chmod 660, a udev rule) and the serial group.
struct TDeviceAccess {
    bool allowed = false;                 // this process may read and write it
    std::string user;                     // this process's user
    std::string owner, group, mode;       // the device's: "root", "dialout", "crw-rw----"
    std::string finding;                  // why it may not; empty when allowed
    std::string advice;                   // what to do; empty when allowed
};
// None when the device cannot be looked at.
std::optional<TDeviceAccess> deviceAccess(const std::string& path, TLanguage language);
