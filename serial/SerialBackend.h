#pragma once
#include <memory>
#include <string>

#include "serial/PortSettings.h"

#ifdef _WIN32
#include <windows.h>
#endif

// What the wait thread learnt from one wait.
enum class TWaitOutcome { DataArrived, Cancelled, LineLost };

// The Windows headers declare the constants below with these values.
#ifndef _WIN32
// Line error flags in the Windows manner, as ReadComm reports them.
enum : unsigned {
    CE_RXOVER = 0x0001,   // receive buffer overrun
    CE_OVERRUN = 0x0002,  // character lost by the UART
    CE_RXPARITY = 0x0004,
    CE_FRAME = 0x0008,
    CE_BREAK = 0x0010,
};

// What open() answers for the terminal the program itself runs in: not an errno.
inline constexpr int kControllingTerminal = -1;

// Escape functions of the modem lines and of the transmitter.
enum : unsigned long {
    SETXOFF = 1, SETXON = 2, SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6, SETBREAK = 8, CLRBREAK = 9,
};

// Purge flags.
enum : unsigned long { PURGE_TXABORT = 1, PURGE_RXABORT = 2, PURGE_TXCLEAR = 4, PURGE_RXCLEAR = 8 };
#endif

// One serial device as the operating system offers it. The component talks to
// the device only through this, so another system needs only another backend.
// Every call but waitReceive and cancelWait is made on the component's thread;
// those two are made by the wait thread, and close() only after it has ended.
class TSerialBackend {
public:
    virtual ~TSerialBackend() = default;

    // Opens the device for this process alone. 0, the errno of the failing
    // call, or kControllingTerminal.
    virtual int open(const std::string& path) = 0;
    // Closes the device. The POSIX backend first gives it back the terminal
    // settings it had when it was opened, so a user's terminal or the next
    // program finds it as it was.
    virtual void close() = 0;
    // Writes the settings into the open device. 0 or an errno; `refusal`
    // says which setting has no form on this system.
    virtual int applySettings(const TPortSettings& settings, TTermiosRefusal& refusal) = 0;
    // XON/XOFF flow control both ways on or off. 0 or an errno.
    virtual int setSoftwareFlowControl(bool on) = 0;

    // Bytes waiting to be read / to be sent; -1 with errno set on failure.
    virtual long queuedIn() = 0;
    virtual long queuedOut() = 0;
    // Reads at most `count` bytes already received; never waits. -1 on failure.
    virtual long read(unsigned char* buf, long count) = 0;
    // Hands the bytes to the driver, waiting at most timeoutMs in all for room.
    // Returns how many it took; fewer than `count` when the line stalled or failed.
    virtual long write(const unsigned char* buf, long count, int timeoutMs) = 0;
    // Line errors (CE_ flags) seen since the previous call.
    virtual unsigned takeLineErrors() = 0;
    // 0 or an errno; a device without the line answers ENOTTY or EINVAL.
    virtual int escape(unsigned long function) = 0;
    virtual int purge(unsigned long flags) = 0;

    // Wait thread: blocks until bytes arrive, cancelWait() is called, or the
    // device goes away. Uses no CPU while it waits. The system backends then
    // gather the bytes of the reply (serial/Gathering.h) and hold them for read().
    virtual TWaitOutcome waitReceive() = 0;
    virtual void cancelWait() = 0;
};

// The backend of this operating system.
std::unique_ptr<TSerialBackend> makeSystemSerialBackend();
