// The serial component on pseudo-terminal pairs and on a scripted device.
#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <deque>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <vector>

#include "serial/Gathering.h"
#include "serial/Zcomm.h"
#include "SerialTestSupport.h"

namespace {

struct Opened {
    PtyPair pty;
    TZComm port;
    Opened()
    {
        qtApp();
        port.Port = pty.path;
    }
};

std::string readAll(TZComm& port)
{
    unsigned char buf[256];
    const long n = port.ReadComm(buf, sizeof buf);
    return std::string(reinterpret_cast<char*>(buf), static_cast<size_t>(n));
}

std::string drainMaster(const PtyPair& pty)
{
    std::string out;
    char buf[256];
    const int flags = fcntl(pty.master.get(), F_GETFL);
    fcntl(pty.master.get(), F_SETFL, flags | O_NONBLOCK);
    ssize_t n;
    while ((n = ::read(pty.master.get(), buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    fcntl(pty.master.get(), F_SETFL, flags);
    return out;
}

// The system's device layer, counting how often the wait thread begins a wait.
class TCountedWaits final : public TSerialBackend {
public:
    explicit TCountedWaits(std::atomic<int>& waits) : real_(makeSystemSerialBackend()), waits_(waits) {}
    int open(const std::string& path) override { return real_->open(path); }
    void close() override { real_->close(); }
    int applySettings(const TPortSettings& s, TTermiosRefusal& r) override { return real_->applySettings(s, r); }
    int setSoftwareFlowControl(bool on) override { return real_->setSoftwareFlowControl(on); }
    long queuedIn() override { return real_->queuedIn(); }
    long queuedOut() override { return real_->queuedOut(); }
    long read(unsigned char* buf, long count) override { return real_->read(buf, count); }
    long write(const unsigned char* buf, long count, int ms) override { return real_->write(buf, count, ms); }
    unsigned takeLineErrors() override { return real_->takeLineErrors(); }
    int escape(unsigned long function) override { return real_->escape(function); }
    int purge(unsigned long flags) override { return real_->purge(flags); }
    TWaitOutcome waitReceive() override
    {
        ++waits_;
        return real_->waitReceive();
    }
    void cancelWait() override { real_->cancelWait(); }

private:
    std::unique_ptr<TSerialBackend> real_;
    std::atomic<int>& waits_;
};

} // namespace

TEST(ZComm, DefaultsAndVersion)
{
    qtApp();
    TZComm port;
    EXPECT_EQ(port.BaudRate, 9600);
    EXPECT_EQ(port.Parity, no_parity);
    EXPECT_EQ(port.DataBits, databits8);
    EXPECT_EQ(port.StopBits, stop1);
    EXPECT_EQ(port.TimeoutReadInterval, 65535);
    EXPECT_EQ(port.ErrorChar, '~');
    EXPECT_EQ(port.State, 2);
    EXPECT_EQ(port.Connected, 0);
    port.Version = "2.0";
    EXPECT_EQ(std::string(port.Version), "1.0.8");
    // Harmless when nothing is open.
    EXPECT_EQ(port.CloseConnection(), 1);
    EXPECT_EQ(port.SetConnection(), 0);
    EXPECT_EQ(port.WriteCommByte('x'), 0);
    unsigned char b;
    EXPECT_EQ(port.ReadComm(&b, 1), 0);
}

TEST(ZComm, ExchangeIsRawBothWays)
{
    Opened o;
    ASSERT_EQ(o.port.OpenConnection(), 1) << describeOpenFailure(o.port);
    EXPECT_EQ(o.port.Connected, 1);
    const unsigned char request[] = {'@', '0', '7', 'L', '\r'};
    EXPECT_EQ(o.port.WriteComm(request, 5), 1);
    EXPECT_EQ(drainMaster(o.pty), std::string("@07L\r"));
    o.pty.send("@07RL\r\n\x13\x11");
    ASSERT_TRUE(spinUntil([&] { return o.port.GetQCountIn() >= 7; }, 2000));
    runEvents(50);
    // No CR/LF translation, and XON/XOFF received while flow control is on are consumed.
    EXPECT_EQ(readAll(o.port), std::string("@07RL\r\n"));
    o.port.CloseConnection();
    EXPECT_EQ(o.port.Connected, 0);
}

TEST(ZComm, ReadNeverWaitsAndLeavesTheRestQueued)
{
    Opened o;
    // All-zero read time-outs mean "wait for every byte asked for" where
    // reads wait: here a read that waited would never return.
    o.port.TimeoutReadInterval = 0;
    o.port.TimeoutReadMultiplier = 0;
    o.port.TimeoutReadConstant = 0;
    ASSERT_EQ(o.port.OpenConnection(), 1);
    unsigned char buf[32];
    EXPECT_EQ(o.port.ReadComm(buf, 20), 0);
    o.pty.send("0123456789");
    ASSERT_TRUE(spinUntil([&] { return o.port.GetQCountIn() == 10; }, 2000));
    EXPECT_EQ(o.port.ReadComm(buf, 4), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 4), "0123");
    EXPECT_EQ(o.port.GetQCountIn(), 6u);
    EXPECT_EQ(readAll(o.port), "456789");
    EXPECT_EQ(o.port.ReadComm(buf, 0), 0);
}

TEST(ZComm, GetTextStopsAtNul)
{
    Opened o;
    ASSERT_EQ(o.port.OpenConnection(), 1);
    o.pty.send(std::string("AB\0CD", 5));
    ASSERT_TRUE(spinUntil([&] { return o.port.GetQCountIn() == 5; }, 2000));
    EXPECT_EQ(o.port.GetText(), "AB");
    EXPECT_EQ(o.port.GetText(), "");
    o.port.SetText("hello");
    EXPECT_EQ(drainMaster(o.pty), "hello");
}

TEST(ZComm, NotificationsArriveOnTheUiThreadOncePerReceiveEvent)
{
    Opened o;
    int calls = 0;
    bool onUiThread = true;
    o.port.OnDataAvailable = [&](TZComm* sender) {
        ++calls;
        onUiThread = onUiThread && QThread::currentThread() == qtApp().thread() && sender == &o.port;
    };
    ASSERT_EQ(o.port.OpenConnection(), 1);
    for (int i = 0; i < 5; ++i) {
        o.pty.send("x");
        ASSERT_TRUE(spinUntil([&] { return calls == i + 1; }, 2000)) << i << " queued " << o.port.GetQCountIn();
    }
    EXPECT_TRUE(onUiThread);
    // Bytes left unread do not bring notification after notification.
    runEvents(200);
    EXPECT_EQ(calls, 5);
    EXPECT_EQ(o.port.GetQCountIn(), 5u);
}

TEST(ZComm, NoNotificationAfterClose)
{
    qtApp();
    PtyPair pty;
    std::atomic<int> waits{0};
    TZComm port(nullptr, [&] { return std::make_unique<TCountedWaits>(waits); });
    port.Port = pty.path;
    int calls = 0;
    port.OnDataAvailable = [&](TZComm*) { ++calls; };
    ASSERT_EQ(port.OpenConnection(), 1);
    ASSERT_TRUE(spinUntil([&] { return waits == 1; }, 5000));
    pty.send("late");
    // The thread waits again only once it has posted: the notification is
    // queued, and the event loop has not run since.
    for (int i = 0; i < 50000 && waits < 2; ++i)
        usleep(100);
    ASSERT_EQ(waits, 2);
    port.CloseConnection();
    runEvents(100);
    EXPECT_EQ(calls, 0);
    // A notification of the closed connection stays dropped after a new open.
    ASSERT_EQ(port.OpenConnection(), 1);
    EXPECT_EQ(port.MessageCOMM(TCommMessage{1, TCommNote::DataArrived}), 0);
    EXPECT_EQ(calls, 0);
}

TEST(ZComm, ThousandCyclesLeaveNoDescriptorOrThread)
{
    Opened o;
    int calls = 0;
    o.port.OnDataAvailable = [&](TZComm* p) {
        ++calls;
        unsigned char b[20];
        p->ReadComm(b, 20);
    };
    ASSERT_EQ(o.port.OpenConnection(), 1);
    o.port.CloseConnection();
    const int fds = openDescriptors();
    const int threads = settledThreads();
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(o.port.OpenConnection(), 1) << i;
        if (i % 100 == 0) {
            o.pty.send("r\r");
            ASSERT_TRUE(spinUntil([&] { return calls > 0; }, 2000));
            calls = 0;
        }
        o.port.CloseConnection();
    }
    EXPECT_EQ(openDescriptors(), fds);
    EXPECT_EQ(runningThreads(), threads);
}

// The wait thread is kept between connections and ends with its component.
TEST(ZComm, WaitThreadEndsWithTheComponent)
{
    PtyPair pty;
    qtApp();
    const int threads = settledThreads();
    {
        TZComm port;
        port.Port = pty.path;
        ASSERT_EQ(port.OpenConnection(), 1);
        port.CloseConnection();
        ASSERT_EQ(port.OpenConnection(), 1);
        EXPECT_EQ(runningThreads(), threads + 1);
    }
    EXPECT_EQ(runningThreads(), threads);
}

TEST(ZComm, SecondOpenOfTheSameDeviceFails)
{
    Opened o;
    TZComm other;
    other.Port = o.pty.path;
    ASSERT_EQ(o.port.OpenConnection(), 1);
    const int fds = openDescriptors();
    EXPECT_EQ(other.OpenConnection(), 0);
    EXPECT_EQ(other.Connected, 0);
    EXPECT_EQ(other.lastOpenFailure().Error, EBUSY);
    EXPECT_NE(describeOpenFailure(other).find("in use"), std::string::npos);
    EXPECT_EQ(openDescriptors(), fds);
    o.port.CloseConnection();
    EXPECT_EQ(other.OpenConnection(), 1);
}

TEST(ZComm, FailedOpensLeakNothingAndSayWhy)
{
    Opened o;
    struct Row { const char* name; std::string port; TDataBits bits; TStopBits stop; std::int32_t bps;
                 const char* words; };
    const Row rows[] = {
        {"missing device", "/dev/does-not-exist-dadiz", databits8, stop1, 9600, "does not exist"},
        {"not a tty", "/dev/null", databits8, stop1, 9600, "not a serial device"},
        {"path through a file", "/dev/null/tty", databits8, stop1, 9600, "opened: a part of the path is not a folder."},
        {"4 data bits", o.pty.path, databits4, stop1, 9600, "4 data bits"},
        {"1.5 stop bits", o.pty.path, databits8, stop1x5, 9600, "1.5 stop bits"},
        {"odd speed", o.pty.path, databits8, stop1, 12345, "speed"},
        {"empty port", "", databits8, stop1, 9600, "No serial device"},
    };
    const int fds = openDescriptors();
    const int threads = settledThreads();
    for (const Row& row : rows) {
        o.port.Port = row.port;
        o.port.DataBits = row.bits;
        o.port.StopBits = row.stop;
        o.port.BaudRate = row.bps;
        EXPECT_EQ(o.port.OpenConnection(), 0) << row.name;
        EXPECT_EQ(o.port.Connected, 0) << row.name;
        const std::string why = describeOpenFailure(o.port);
        EXPECT_NE(why.find(row.words), std::string::npos) << row.name << ": " << why;
        EXPECT_NE(why.find(row.port), std::string::npos) << row.name << ": " << why;
    }
    EXPECT_EQ(openDescriptors(), fds);
    EXPECT_EQ(runningThreads(), threads);
}

// The terminal settings the device had at open come back when it is closed,
// whatever the line used meanwhile.
TEST(ZComm, TheDeviceGetsItsSettingsBackAtClose)
{
    Opened o;
    termios before{};
    ASSERT_EQ(tcgetattr(o.pty.slave.get(), &before), 0);
    ASSERT_TRUE(before.c_lflag & ECHO); // a terminal as openpty leaves it
    o.port.BaudRate = 1200;
    o.port.StopBits = stop2;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(o.port.OpenConnection(), 1) << describeOpenFailure(o.port);
        termios open{};
        ASSERT_EQ(tcgetattr(o.pty.slave.get(), &open), 0);
        EXPECT_EQ(cfgetospeed(&open), B1200);
        EXPECT_FALSE(open.c_lflag & ECHO);
        o.port.BaudRate = 19200;
        ASSERT_EQ(o.port.SetConnection(), 1);
        o.port.CloseConnection();
        termios after{};
        ASSERT_EQ(tcgetattr(o.pty.slave.get(), &after), 0);
        EXPECT_EQ(after.c_lflag, before.c_lflag) << i;
        EXPECT_EQ(after.c_iflag, before.c_iflag) << i;
        EXPECT_EQ(after.c_oflag, before.c_oflag) << i;
        EXPECT_EQ(after.c_cflag, before.c_cflag) << i;
        EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before)) << i;
        o.port.BaudRate = 1200;
    }
}

TEST(ZComm, StalledLineGivesUpAfterTheWriteWait)
{
    Opened o;
    ASSERT_EQ(o.port.OpenConnection(), 1);
    // XOFF from the other side; the byte after it arrives once the line has taken it.
    o.pty.send("\x13" "a");
    ASSERT_TRUE(spinUntil([&] { return o.port.GetQCountIn() == 1; }, 5000));
    QElapsedTimer t;
    t.start();
    const unsigned char frame[] = {'@', '0', '1', 'L', '\r'};
    EXPECT_EQ(o.port.WriteComm(frame, 5), 0);
    EXPECT_LT(t.elapsed(), 4000);  // one wait, not one per byte
    o.pty.send("\x11" "b");  // XON
    ASSERT_TRUE(spinUntil([&] { return o.port.GetQCountIn() == 2; }, 5000));
    EXPECT_EQ(o.port.WriteCommByte('z'), 1);
}

TEST(ZComm, HangUpIsReportedOnceAndCostsNoCpu)
{
    Opened o;
    int errors = 0;
    o.port.OnLineLost = [&](TZComm*) { ++errors; };
    ASSERT_EQ(o.port.OpenConnection(), 1);
    o.pty.master.reset();
    o.pty.slave.reset();
    ASSERT_TRUE(spinUntil([&] { return errors > 0; }, 2000));
    const double before = processCpuSeconds();
    runEvents(1000);
    EXPECT_LT(processCpuSeconds() - before, 0.05);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(o.port.WriteCommByte('x'), 0);
    unsigned char b[4];
    EXPECT_EQ(o.port.ReadComm(b, 4), 0);
    EXPECT_EQ(o.port.CloseConnection(), 1);

    // The next connection is waited on again.
    PtyPair next;
    int calls = 0;
    o.port.OnDataAvailable = [&](TZComm*) { ++calls; };
    o.port.Port = next.path;
    ASSERT_EQ(o.port.OpenConnection(), 1);
    next.send("x");
    EXPECT_TRUE(spinUntil([&] { return calls > 0; }, 2000));
    EXPECT_EQ(errors, 1);
}

// A device whose line errors and queue the test decides.
class ScriptedDevice final : public TSerialBackend {
public:
    std::deque<unsigned char>* queue;
    unsigned* errors;
    ScriptedDevice(std::deque<unsigned char>* q, unsigned* e) : queue(q), errors(e) {}
    int open(const std::string&) override { return 0; }
    void close() override {}
    int applySettings(const TPortSettings&, TTermiosRefusal&) override { return 0; }
    int setSoftwareFlowControl(bool) override { return 0; }
    long queuedIn() override { return static_cast<long>(queue->size()); }
    long queuedOut() override { return 0; }
    long read(unsigned char* buf, long count) override
    {
        long n = 0;
        for (; n < count && !queue->empty(); ++n) {
            buf[n] = queue->front();
            queue->pop_front();
        }
        return n;
    }
    long write(const unsigned char*, long count, int) override { return count; }
    unsigned takeLineErrors() override { return std::exchange(*errors, 0u); }
    int escape(unsigned long) override { return 0; }
    int purge(unsigned long) override { return 0; }
    TWaitOutcome waitReceive() override
    {
        std::unique_lock lock(m_);
        cv_.wait(lock, [&] { return cancelled_; });
        cancelled_ = false;
        return TWaitOutcome::Cancelled;
    }
    void cancelWait() override
    {
        std::lock_guard lock(m_);
        cancelled_ = true;
        cv_.notify_one();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool cancelled_ = false;
};

// Line errors are told through the event queue after the read that found
// them, never from inside it, and even when the port has been closed since.
TEST(ZComm, LineErrorsAreToldAfterTheRead)
{
    qtApp();
    std::deque<unsigned char> queue;
    unsigned errors = 0;
    TZComm port(nullptr, [&] { return std::make_unique<ScriptedDevice>(&queue, &errors); });
    port.Port = "/dev/scripted";
    ASSERT_EQ(port.OpenConnection(), 1);

    struct Row { const char* name; unsigned flags; int expectedCalls; bool closeAfterRead; };
    const Row rows[] = {{"parity", CE_RXPARITY, 1, false}, {"frame and overrun", CE_FRAME | CE_OVERRUN, 1, false},
        {"clean", 0, 0, false}, {"closed before it is told", CE_RXPARITY, 1, true}};
    for (const Row& row : rows) {
        if (!port.Connected) {
            ASSERT_EQ(port.OpenConnection(), 1);
        }
        queue = {'@', '0', '7', '\r'};
        errors = row.flags;
        int calls = 0;
        port.OnErrorOccurred = [&](TZComm* sender, int error, const std::string& s) {
            ++calls;
            EXPECT_EQ(sender, &port);
            EXPECT_EQ(static_cast<unsigned>(error), row.flags);
            EXPECT_EQ(s, "Read Error");
        };
        unsigned char buf[20];
        EXPECT_EQ(port.ReadComm(buf, 20), 4) << row.name;
        EXPECT_EQ(calls, 0) << row.name;
        if (row.closeAfterRead)
            port.CloseConnection();
        runEvents(50);
        EXPECT_EQ(calls, row.expectedCalls) << row.name;
    }

    // GetQCountIn clears the error state without raising the event.
    ASSERT_EQ(port.OpenConnection(), 1);
    errors = CE_FRAME;
    int calls = 0;
    port.OnErrorOccurred = [&](TZComm*, int, const std::string&) { ++calls; };
    queue = {'x'};
    EXPECT_EQ(port.GetQCountIn(), 1u);
    unsigned char b[4];
    EXPECT_EQ(port.ReadComm(b, 4), 1);
    runEvents(50);
    EXPECT_EQ(calls, 0);

}

TEST(ZComm, GatheringLastsSomeCharacterTimes)
{
    struct Row { std::int32_t baud; TDataBits bits; TParity parity; TStopBits stop; std::int64_t charNs; };
    const Row rows[] = {
        {9600, databits7, even_parity, stop1, 1041666},  // ten bits
        {1200, databits8, no_parity, stop2, 9166666},    // eleven bits
        {115200, databits8, odd_parity, stop1x5, 99826}, // twelve and a half bits
        {0, databits8, no_parity, stop1, 1041666},       // no speed: taken as 9600
    };
    for (const Row& r : rows) {
        TPortSettings s;
        s.BaudRate = r.baud;
        s.DataBits = r.bits;
        s.Parity = r.parity;
        s.StopBits = r.stop;
        const TGathering g = gatheringFor(s);
        EXPECT_EQ(g.charNs, r.charNs) << r.baud;
        EXPECT_EQ(g.quietNs, 2 * r.charNs) << r.baud;
        EXPECT_EQ(g.longestNs, 32 * r.charNs) << r.baud;
    }
}

// The wait thread expects a frame as long as the last two that ended,
// whichever way their bytes came: taken by the wait thread, or read by the
// owner past the held ones. A purge starts a new frame.
TEST(ZComm, HeldBytesExpectTheLastFramesLength)
{
    struct Step { char op; std::string bytes; std::size_t expected; };
    struct Row { const char* name; std::vector<Step> steps; };
    // 't': the wait thread takes BYTES; 'r': the owner reads all, the driver giving BYTES; 'p': a purge.
    const Row rows[] = {
        {"one frame is not enough", {{'t', "@07RL\r", 0}, {'t', "@0", 0}}},
        {"the same length twice", {{'t', "@07RL\r", 0}, {'t', "@07RL\r", 6}, {'t', "@", 5}, {'t', "07RL", 1}}},
        {"two frames in one take", {{'t', "@07RL\r@07RL\r", 6}, {'t', "x", 5}}},
        {"another length ends the run", {{'t', "@07RL\r@07RL\r", 6}, {'t', "ab\r", 0}, {'t', "x", 0}}},
        {"a longer frame than expected", {{'t', "ab\rcd\r", 3}, {'t', "xyz", 0}}},
        {"bytes the owner read himself", {{'r', "@07RL\r@07RL\r", 6}, {'t', "@0", 4}}},
        {"a purge starts a new frame", {{'t', "@07RL\r@07RL\r", 6}, {'t', "@0", 4}, {'p', "", 6}, {'t', "@", 5}}},
    };
    for (const Row& row : rows) {
        THeldBytes held;
        for (const Step& step : row.steps) {
            std::string driver = step.bytes;
            auto readDriver = [&](unsigned char* b, long n) {
                const long k = std::min(n, static_cast<long>(driver.size()));
                std::copy_n(driver.begin(), k, b);
                driver.erase(0, static_cast<std::size_t>(k));
                return k;
            };
            if (step.op == 't') {
                held.take(readDriver);
            } else if (step.op == 'r') {
                unsigned char b[64];
                held.read(b, sizeof b, readDriver);
            } else {
                held.purge(true, [] { return 0; });
            }
            EXPECT_EQ(held.expectedBytes(), step.expected) << row.name << ", step " << (&step - row.steps.data());
        }
    }
}

// The bytes of a reply sent one by one at 9600 baud's pace wake the owner once
// a piece, never once a byte; a piece followed by a long silence is told
// without waiting for more, also while a frame as long as the last two is
// expected (the noise after the second reply). The port is set to 300 baud, so that its quiet
// time (67 ms) outlasts the pauses a loaded machine puts between the bytes.
TEST(ZComm, PacedBytesWakeTheOwnerOncePerPiece)
{
    Opened o;
    o.port.BaudRate = 300;
    std::string got;
    int deliveries = 0;
    o.port.OnDataAvailable = [&](TZComm* p) {
        ++deliveries;
        got += readAll(*p);
    };
    ASSERT_EQ(o.port.OpenConnection(), 1) << describeOpenFailure(o.port);
    struct Row { const char* name; std::vector<std::string> pieces; };
    const Row rows[] = {
        {"a reply", {"@07RL+0001234RR10\r"}},
        {"the same reply, its length expected", {"@07RL+0001234RR10\r"}},
        {"noise, no CR", {"#%$!#%$!#%$!#%$!#%$!"}},
        {"a reply cut by a silence", {"@07RL+00", "01234RR10\r"}},
        {"a reply with more after its CR", {"@07RL+0001234RR10\r", "\n"}},
    };
    for (const Row& row : rows) {
        got.clear();
        deliveries = 0;
        std::string all;
        for (const std::string& piece : row.pieces) {
            const std::size_t before = got.size();
            std::thread sender([&] {
                for (const char c : piece) {
                    o.pty.send(std::string(1, c));
                    usleep(1042);
                }
            });
            // Told while the next piece is still a second away.
            const bool told = spinUntil([&] { return got.size() == before + piece.size(); }, 1000);
            sender.join();
            all += piece;
            EXPECT_TRUE(told) << row.name << ": " << got;
        }
        EXPECT_EQ(got, all) << row.name;
        EXPECT_GE(deliveries, static_cast<int>(row.pieces.size())) << row.name;
        EXPECT_LE(deliveries, static_cast<int>(all.size() / 3)) << row.name;
    }
}
