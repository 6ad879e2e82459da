#pragma once
#include <atomic>
#include <string>
#include <windows.h>

#include "serial/Gathering.h"
#include "serial/SerialBackend.h"

// The device a port name opens: "COM1".."COM256" (any case) become
// "\\.\COMn", which also reaches ports above COM9; any other name, a full
// device path among them, is used as given.
std::string windowsDevicePath(const std::string& port);

// A handle closed when it goes; empty (null) or a live handle, never INVALID_HANDLE_VALUE.
class TWinHandle {
public:
    TWinHandle() = default;
    explicit TWinHandle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~TWinHandle() { reset(); }
    TWinHandle(const TWinHandle&) = delete;
    TWinHandle& operator=(const TWinHandle&) = delete;
    TWinHandle(TWinHandle&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
    TWinHandle& operator=(TWinHandle&& o) noexcept
    {
        if (this != &o) {
            reset();
            h_ = o.h_;
            o.h_ = nullptr;
        }
        return *this;
    }
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    void reset()
    {
        if (h_)
            CloseHandle(h_);
        h_ = nullptr;
    }

private:
    HANDLE h_ = nullptr;
};

// A COM port opened for overlapped I/O. Reads take what the driver holds and
// never wait; a write waits for the driver at most the time it is given; the
// wait thread sleeps in WaitCommEvent (received characters, line errors)
// beside an event that cancelWait sets, and gathers the bytes of a reply
// before it tells the owner (serial/Gathering.h).
class TWin32SerialBackend final : public TSerialBackend {
public:
    TWin32SerialBackend() = default;
    ~TWin32SerialBackend() override;

    // 0 or the errno kind of the failure (errnoOfWindowsError): a port that
    // another program, or another connection of this one, holds gives EBUSY;
    // a folder EISDIR; a device that is not a serial port ENOTTY.
    int open(const std::string& path) override;
    void close() override;
    int applySettings(const TPortSettings& settings, TTermiosRefusal& refusal) override;
    int setSoftwareFlowControl(bool on) override;
    long queuedIn() override;
    long queuedOut() override;
    long read(unsigned char* buf, long count) override;
    long write(const unsigned char* buf, long count, int timeoutMs) override;
    unsigned takeLineErrors() override;
    int escape(unsigned long function) override;
    int purge(unsigned long flags) override;
    TWaitOutcome waitReceive() override;
    void cancelWait() override;

    // What the driver holds now, read back from it.
    bool deviceState(DCB& dcb) const;
    bool deviceTimeouts(COMMTIMEOUTS& timeouts) const;

private:
    enum class TWoke { Data, Errors, Quiet, Cancelled, Lost };

    // One WaitCommEvent, for at most timeoutMs (INFINITE: for ever).
    TWoke waitEvent(DWORD timeoutMs);
    // Moves what the driver holds into the held bytes, for the owner's next read.
    TTaken take();
    // After the first bytes: gathers until a frame ends or the line falls quiet.
    TWaitOutcome gather();
    // ClearCommError: the queue counts, and the error flags kept for takeLineErrors.
    bool status(COMSTAT& st);
    bool cancelled() const;
    // Ends a WaitCommEvent still pending, so its record may be used again.
    void abandonWait();
    // Reads at most `count` of the bytes the driver holds, `done` signalling
    // its end; never waits for more. -1 with errno set on failure.
    long readDriver(unsigned char* buf, long count, HANDLE done);
    // Waits for an overlapped read or write (its record's event), cancels it after timeoutMs;
    // the bytes it moved, or -1 with errno set.
    long finishTransfer(OVERLAPPED& ov, DWORD timeoutMs);

    TWinHandle device_;
    TWinHandle guard_;   // a named object: this port is held by a DADiz connection
    TWinHandle ioDone_;  // completion of the component thread's reads and writes
    TWinHandle takeDone_;  // completion of the wait thread's reads
    TWinHandle waitDone_;
    TWinHandle cancel_;
    OVERLAPPED waitRecord_{};  // wait thread only
    DWORD waitMask_ = 0;       // wait thread only
    bool armed_ = false;       // wait thread only
    bool lostAfterData_ = false;  // wait thread only
    std::atomic<unsigned> errors_{0};
    THeldBytes held_;
    std::atomic<long long> quietNs_{0};
    std::atomic<long long> longestNs_{0};
};
