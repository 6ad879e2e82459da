#include "serial/Win32SerialBackend.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cwctype>

#include "serial/DcbMap.h"
#include "serial/Gathering.h"
#include "serial/WindowsErrors.h"

static_assert(CE_RXOVER == 0x0001 && CE_OVERRUN == 0x0002 && CE_RXPARITY == 0x0004 && CE_FRAME == 0x0008
              && CE_BREAK == 0x0010);
static_assert(SETXOFF == 1 && SETXON == 2 && SETRTS == 3 && CLRRTS == 4 && SETDTR == 5 && CLRDTR == 6
              && SETBREAK == 8 && CLRBREAK == 9);
static_assert(PURGE_TXABORT == 1 && PURGE_RXABORT == 2 && PURGE_TXCLEAR == 4 && PURGE_RXCLEAR == 8);

namespace {

// A read asks only for bytes the driver holds, and the time-outs set at open
// make it return at once; this bounds it should a driver still hold it.
constexpr DWORD kReadWaitMs = 1000;
// A pending wait ends within this once its mask is cleared or it is cancelled.
constexpr DWORD kAbandonWaitMs = 2000;

int lastErrno()
{
    const DWORD code = GetLastError();
    // A call that failed without saying why still failed.
    return code == ERROR_SUCCESS ? EIO : errnoOfWindowsError(code);
}

bool widen(const std::string& text, std::wstring& wide)
{
    if (text.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
    if (n <= 0)
        return false;
    wide.assign(static_cast<std::size_t>(n), L'\0');
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                               wide.data(), n)
        == n;
}

// The name of the object that says a DADiz connection holds the device: the
// driver of a real port refuses a second open, but virtual ports (and Wine)
// may not, and two programs writing to one display garble both exchanges.
std::wstring guardName(const std::wstring& device)
{
    std::wstring name = L"Global\\DADiz-serial-";
    for (wchar_t c : device)
        name += c == L'\\' ? L'/' : static_cast<wchar_t>(std::towupper(c));
    return name;
}

bool isFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TWinHandle manualResetEvent() { return TWinHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr)); }

} // namespace

std::string windowsDevicePath(const std::string& port)
{
    if (port.size() >= 4 && port.size() <= 6 && std::toupper(static_cast<unsigned char>(port[0])) == 'C'
        && std::toupper(static_cast<unsigned char>(port[1])) == 'O'
        && std::toupper(static_cast<unsigned char>(port[2])) == 'M') {
        int n = 0;
        for (std::size_t i = 3; i < port.size(); ++i) {
            if (!std::isdigit(static_cast<unsigned char>(port[i])))
                return port;
            n = n * 10 + (port[i] - '0');
        }
        if (port[3] != '0' && n >= 1 && n <= 256)
            return "\\\\.\\COM" + std::to_string(n);
    }
    return port;
}

TWin32SerialBackend::~TWin32SerialBackend() { close(); }

int TWin32SerialBackend::open(const std::string& path)
{
    close();
    std::wstring device;
    if (!widen(windowsDevicePath(path), device))
        return lastErrno();

    TWinHandle guard(CreateMutexW(nullptr, FALSE, guardName(device).c_str()));
    if (!guard)
        return lastErrno();
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return EBUSY;

    TWinHandle h(CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr));
    if (!h) {
        const DWORD code = GetLastError();
        if (code == ERROR_ACCESS_DENIED && isFolder(device))
            return EISDIR;
        return code == ERROR_SUCCESS ? EIO : errnoOfWindowsError(code);
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (GetFileType(h.get()) != FILE_TYPE_CHAR || !GetCommState(h.get(), &dcb))
        return ENOTTY;
    // Reads return at once with what the driver holds; writes have no
    // driver time-out, write() bounds its own wait.
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    if (!SetCommTimeouts(h.get(), &timeouts))
        return lastErrno();
    TWinHandle ioDone = manualResetEvent();
    TWinHandle takeDone = manualResetEvent();
    TWinHandle waitDone = manualResetEvent();
    TWinHandle cancel = manualResetEvent();
    if (!ioDone || !takeDone || !waitDone || !cancel)
        return lastErrno();
    // Errors left by an earlier session are not this one's.
    DWORD errors = 0;
    ClearCommError(h.get(), &errors, nullptr);
    errors_ = 0;
    armed_ = false;
    lostAfterData_ = false;
    held_.clear();
    device_ = std::move(h);
    guard_ = std::move(guard);
    ioDone_ = std::move(ioDone);
    takeDone_ = std::move(takeDone);
    waitDone_ = std::move(waitDone);
    cancel_ = std::move(cancel);
    return 0;
}

void TWin32SerialBackend::close()
{
    held_.clear();
    device_.reset();
    guard_.reset();
    ioDone_.reset();
    takeDone_.reset();
    waitDone_.reset();
    cancel_.reset();
}

int TWin32SerialBackend::applySettings(const TPortSettings& settings, TTermiosRefusal& refusal)
{
    refusal = TTermiosRefusal::None;
    if (!device_)
        return EBADF;
    DCB base{};
    base.DCBlength = sizeof base;
    if (!GetCommState(device_.get(), &base))
        return lastErrno();
    TDcbResult wanted = toDcb(settings, base);
    if (!wanted.ok()) {
        refusal = wanted.refusal;
        return EINVAL;
    }
    // The driver refuses what its hardware cannot do; it is not read back.
    if (!SetCommState(device_.get(), &wanted.dcb))
        return lastErrno();
    const TGathering g = gatheringFor(settings);
    quietNs_ = g.quietNs;
    longestNs_ = g.longestNs;
    return 0;
}

int TWin32SerialBackend::setSoftwareFlowControl(bool on)
{
    if (!device_)
        return EBADF;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(device_.get(), &dcb))
        return lastErrno();
    dcb.fOutX = on;
    dcb.fInX = on;
    return SetCommState(device_.get(), &dcb) ? 0 : lastErrno();
}

bool TWin32SerialBackend::status(COMSTAT& st)
{
    DWORD errors = 0;
    st = COMSTAT{};
    if (!ClearCommError(device_.get(), &errors, &st))
        return false;
    errors_.fetch_or(errors);
    return true;
}

long TWin32SerialBackend::queuedIn()
{
    COMSTAT st{};
    if (!device_) {
        errno = EBADF;
        return -1;
    }
    return held_.queued([&] {
        if (status(st))
            return static_cast<long>(st.cbInQue);
        errno = lastErrno();
        return -1L;
    });
}

long TWin32SerialBackend::queuedOut()
{
    COMSTAT st{};
    if (!device_) {
        errno = EBADF;
        return -1;
    }
    if (!status(st)) {
        errno = lastErrno();
        return -1;
    }
    return static_cast<long>(st.cbOutQue);
}

long TWin32SerialBackend::finishTransfer(OVERLAPPED& ov, DWORD timeoutMs)
{
    DWORD done = 0;
    if (WaitForSingleObject(ov.hEvent, timeoutMs) != WAIT_OBJECT_0)
        CancelIoEx(device_.get(), &ov);
    // Waits for the end of a cancelled transfer too: the record and the
    // caller's buffer are in use until then.
    if (GetOverlappedResult(device_.get(), &ov, &done, TRUE) || GetLastError() == ERROR_OPERATION_ABORTED)
        return static_cast<long>(done);
    errno = lastErrno();
    return -1;
}

// The bytes the wait thread gathered come first, then the driver's.
long TWin32SerialBackend::read(unsigned char* buf, long count)
{
    if (!device_) {
        errno = EBADF;
        return -1;
    }
    return held_.read(buf, count, [this](unsigned char* b, long n) { return readDriver(b, n, ioDone_.get()); });
}

long TWin32SerialBackend::readDriver(unsigned char* buf, long count, HANDLE done)
{
    // Only what the driver already holds is asked for, so the read never
    // waits, whatever the driver makes of the time-outs.
    COMSTAT st{};
    if (!status(st)) {
        errno = lastErrno();
        return -1;
    }
    const DWORD want = count > 0 ? std::min(static_cast<DWORD>(count), st.cbInQue) : 0;
    if (want == 0)
        return 0;
    OVERLAPPED ov{};
    ov.hEvent = done;
    ResetEvent(ov.hEvent);
    DWORD n = 0;
    if (ReadFile(device_.get(), buf, want, &n, &ov))
        return static_cast<long>(n);
    if (GetLastError() != ERROR_IO_PENDING) {
        errno = lastErrno();
        return -1;
    }
    return finishTransfer(ov, kReadWaitMs);
}

long TWin32SerialBackend::write(const unsigned char* buf, long count, int timeoutMs)
{
    if (!device_ || count <= 0)
        return 0;
    // Clears the errors first: with AbortOnError the driver refuses every
    // transfer until they are read. They are kept for takeLineErrors.
    COMSTAT st{};
    status(st);
    OVERLAPPED ov{};
    ov.hEvent = ioDone_.get();
    ResetEvent(ov.hEvent);
    DWORD n = 0;
    if (WriteFile(device_.get(), buf, static_cast<DWORD>(count), &n, &ov))
        return static_cast<long>(n);
    if (GetLastError() != ERROR_IO_PENDING)
        return 0;
    const long done = finishTransfer(ov, static_cast<DWORD>(timeoutMs < 0 ? 0 : timeoutMs));
    return done < 0 ? 0 : done;
}

unsigned TWin32SerialBackend::takeLineErrors()
{
    if (!device_)
        return 0;
    COMSTAT st{};
    status(st);
    return errors_.exchange(0);
}

int TWin32SerialBackend::escape(unsigned long function)
{
    if (!device_)
        return EBADF;
    switch (function) {
    case SETXOFF: case SETXON: case SETRTS: case CLRRTS: case SETDTR: case CLRDTR: case SETBREAK: case CLRBREAK:
        break;
    default:
        return EINVAL;
    }
    return EscapeCommFunction(device_.get(), function) ? 0 : lastErrno();
}

int TWin32SerialBackend::purge(unsigned long flags)
{
    if (!device_)
        return EBADF;
    flags &= PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
    if (flags == 0)
        return 0;
    return held_.purge(flags & (PURGE_RXABORT | PURGE_RXCLEAR),
        [&] { return PurgeComm(device_.get(), flags) ? 0 : lastErrno(); });
}

bool TWin32SerialBackend::cancelled() const { return WaitForSingleObject(cancel_.get(), 0) == WAIT_OBJECT_0; }

void TWin32SerialBackend::abandonWait()
{
    // A new mask ends a pending WaitCommEvent; CancelIoEx is the second try.
    SetCommMask(device_.get(), 0);
    if (WaitForSingleObject(waitDone_.get(), kAbandonWaitMs) != WAIT_OBJECT_0) {
        CancelIoEx(device_.get(), &waitRecord_);
        WaitForSingleObject(waitDone_.get(), kAbandonWaitMs);
    }
    armed_ = false;
}

TWaitOutcome TWin32SerialBackend::waitReceive()
{
    if (!device_)
        return TWaitOutcome::LineLost;
    if (cancelled())
        return TWaitOutcome::Cancelled;
    // The bytes before a lost line were told first; the loss comes now.
    if (lostAfterData_)
        return TWaitOutcome::LineLost;
    // The mask is set here, in the wait thread; bytes already there when the
    // wait begins are reported at once.
    if (!armed_) {
        if (!SetCommMask(device_.get(), EV_RXCHAR | EV_ERR))
            return TWaitOutcome::LineLost;
        armed_ = true;
        COMSTAT st{};
        if (!status(st))
            return TWaitOutcome::LineLost;
        if (st.cbInQue > 0) {
            const TTaken taken = take();
            if (taken == TTaken::Lost)
                return TWaitOutcome::LineLost;
            return taken == TTaken::Some ? gather() : TWaitOutcome::DataArrived;
        }
    }
    for (;;) {
        const TWoke woke = waitEvent(INFINITE);
        if (woke == TWoke::Cancelled)
            return TWaitOutcome::Cancelled;
        if (woke == TWoke::Lost)
            return TWaitOutcome::LineLost;
        switch (take()) {
        case TTaken::Nothing:
            // A line error wakes the owner too: its read takes the errors.
            // Otherwise: bytes the owner read first, or the event of bytes already told.
            if (woke == TWoke::Errors)
                return TWaitOutcome::DataArrived;
            continue;
        case TTaken::Lost:
            return TWaitOutcome::LineLost;
        case TTaken::FrameEnd:
        case TTaken::Full:
            return TWaitOutcome::DataArrived;
        case TTaken::Some:
            return gather();
        }
    }
}

TWin32SerialBackend::TWoke TWin32SerialBackend::waitEvent(DWORD timeoutMs)
{
    // A wait that ends with no event and no cancel, or fails, may mean the
    // device has gone: it is asked once; a second such end in a row is taken
    // as gone too, so that a device that cannot be waited on never spins here.
    int unexplained = 0;
    for (;;) {
        waitRecord_ = OVERLAPPED{};
        waitRecord_.hEvent = waitDone_.get();
        ResetEvent(waitRecord_.hEvent);
        waitMask_ = 0;
        BOOL done = WaitCommEvent(device_.get(), &waitMask_, &waitRecord_);
        if (!done && GetLastError() == ERROR_IO_PENDING) {
            const HANDLE either[2] = {waitDone_.get(), cancel_.get()};
            const DWORD woke = WaitForMultipleObjects(2, either, FALSE, timeoutMs);
            if (woke != WAIT_OBJECT_0) {
                // Ended here; the next wait sets the mask again.
                abandonWait();
                return woke == WAIT_TIMEOUT ? TWoke::Quiet
                    : woke == WAIT_OBJECT_0 + 1 ? TWoke::Cancelled
                                                : TWoke::Lost;
            }
            DWORD unused = 0;
            done = GetOverlappedResult(device_.get(), &waitRecord_, &unused, FALSE);
        }
        if (done && (waitMask_ & EV_ERR))
            return TWoke::Errors;
        if (done && (waitMask_ & EV_RXCHAR))
            return TWoke::Data;
        if (cancelled())
            return TWoke::Cancelled;
        COMSTAT st{};
        if (!status(st) || ++unexplained > 1)
            return TWoke::Lost;
    }
}

TTaken TWin32SerialBackend::take()
{
    return held_.take([this](unsigned char* b, long n) { return readDriver(b, n, takeDone_.get()); });
}

TWaitOutcome TWin32SerialBackend::gather()
{
    // Waits are whole milliseconds here (and last at least a timer tick).
    const DWORD quietMs = static_cast<DWORD>((quietNs_ + 999999) / 1000000);
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>((longestNs_ + 999999) / 1000000);
    auto waitMore = [&] {
        const ULONGLONG now = GetTickCount64();
        if (now >= until)
            return TGatherWake::Quiet;
        switch (waitEvent(static_cast<DWORD>(std::min<ULONGLONG>(quietMs, until - now)))) {
        case TWoke::Cancelled:
            return TGatherWake::Cancelled;
        case TWoke::Quiet:
            return TGatherWake::Quiet;
        case TWoke::Lost:
            return TGatherWake::Lost;
        case TWoke::Data:
        case TWoke::Errors:
            break;
        }
        return TGatherWake::Data;
    };
    return gatherReply(waitMore, [this] { return take(); }, lostAfterData_);
}

void TWin32SerialBackend::cancelWait()
{
    if (cancel_)
        SetEvent(cancel_.get());
}

bool TWin32SerialBackend::deviceState(DCB& dcb) const
{
    dcb = DCB{};
    dcb.DCBlength = sizeof dcb;
    return device_ && GetCommState(device_.get(), &dcb);
}

bool TWin32SerialBackend::deviceTimeouts(COMMTIMEOUTS& timeouts) const
{
    timeouts = COMMTIMEOUTS{};
    return device_ && GetCommTimeouts(device_.get(), &timeouts);
}

std::unique_ptr<TSerialBackend> makeSystemSerialBackend() { return std::make_unique<TWin32SerialBackend>(); }
