// The Win32 backend against dadiz-sim: COM1 and COM2 of the Wine prefix are
// two simulated displays on pseudo-terminals (win32/run-tests.sh sets them
// up). The simulator's log of what it sent is the oracle for each reply.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "config/DisplayConfig.h"
#include "protocol/Replies.h"
#include "protocol/Requests.h"
#include "protocol/RxBuffer.h"
#include "serial/Win32SerialBackend.h"

using namespace std::chrono_literals;

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The bytes of the replies the simulator logged ("tx @00RL...<CR>"), in order.
std::vector<std::string> loggedReplies()
{
    std::ifstream log(environment("DADIZ_SIM_LOG"), std::ios::binary);
    std::vector<std::string> replies;
    std::string line;
    while (std::getline(log, line)) {
        if (line.rfind("tx ", 0) != 0)
            continue;
        std::string bytes;
        for (std::size_t i = 3; i < line.size(); ++i) {
            if (line.compare(i, 4, "<CR>") == 0) {
                bytes += '\r';
                i += 3;
            } else if (line[i] == '<' && i + 3 < line.size() && line[i + 3] == '>') {
                bytes += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
                i += 3;
            } else {
                bytes += line[i];
            }
        }
        replies.push_back(bytes);
    }
    return replies;
}

// The component's wait thread in small: waits until cancelled or the line is
// lost, handing each outcome to the test thread.
class TWaiter {
public:
    explicit TWaiter(TSerialBackend& device) : device_(device), thread_([this] { run(); }) {}
    ~TWaiter() { stop(); }

    // The next outcome, or none within `patience`.
    std::optional<TWaitOutcome> next(std::chrono::milliseconds patience)
    {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_for(lock, patience, [this] { return !outcomes_.empty(); }))
            return std::nullopt;
        const TWaitOutcome outcome = outcomes_.front();
        outcomes_.pop_front();
        return outcome;
    }
    void stop()
    {
        if (!thread_.joinable())
            return;
        device_.cancelWait();
        thread_.join();
    }
    // After a lost line the thread has ended without being asked.
    void join() { thread_.join(); }

private:
    void run()
    {
        for (;;) {
            const TWaitOutcome outcome = device_.waitReceive();
            {
                std::lock_guard lock(mutex_);
                outcomes_.push_back(outcome);
            }
            ready_.notify_one();
            if (outcome != TWaitOutcome::DataArrived)
                return;
        }
    }

    TSerialBackend& device_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<TWaitOutcome> outcomes_;
    std::thread thread_;
};

template <std::size_t N>
std::string text(const std::array<std::uint8_t, N>& frame)
{
    return std::string(frame.begin(), frame.end());
}

class Win32Line : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(environment("DADIZ_SIM_LOG").empty()) << "run through win32/run-tests.sh";
        ASSERT_EQ(port_.open("COM1"), 0);
        // The display's own frame format, 7E1, where the line can carry it.
        TPortSettings line;
        if (!pseudoTerminal()) {
            line.Parity = even_parity;
            line.DataBits = databits7;
        }
        TTermiosRefusal refusal{};
        ASSERT_EQ(port_.applySettings(line, refusal), 0);
        ASSERT_EQ(port_.purge(PURGE_RXCLEAR), 0);
    }

    // Sends a request and collects its reply as the program does: each wake-up
    // of the wait thread reads what has come; `wakes` counts them. A reply the
    // simulator dropped (nobody read it for 200 ms on a loaded machine) is asked for again.
    std::string exchange(const std::string& request, TWaiter& waiter, int& wakes)
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            TRxBuffer rx;
            rx.reset();
            wakes = 0;
            const auto* bytes = reinterpret_cast<const unsigned char*>(request.data());
            EXPECT_EQ(port_.write(bytes, static_cast<long>(request.size()), 2000), static_cast<long>(request.size()));
            while (const auto outcome = waiter.next(2s)) {
                EXPECT_EQ(*outcome, TWaitOutcome::DataArrived);
                if (*outcome != TWaitOutcome::DataArrived)
                    return {};
                ++wakes;
                unsigned char piece[256];
                const long queued = port_.queuedIn();
                const long n = port_.read(piece, std::min<long>(queued, sizeof piece));
                if (n > 0 && rx.append({piece, static_cast<std::size_t>(n)}) != TRxBuffer::TState::Incomplete)
                    break;
            }
            if (rx.complete())
                return std::string(rx.reply().begin(), rx.reply().end());
        }
        ADD_FAILURE() << "no reply to " << request;
        return {};
    }

    // The reply as the simulator logged it; its line follows the bytes.
    static std::string simulatorSent(std::size_t before)
    {
        for (int i = 0; i < 500; ++i) {
            const std::vector<std::string> replies = loggedReplies();
            if (replies.size() > before)
                return replies.back();
            std::this_thread::sleep_for(10ms);
        }
        return "(nothing in the simulator's log)";
    }

    // The line is a Linux pseudo-terminal seen through Wine.
    static bool pseudoTerminal() { return environment("DADIZ_LINE") == "wine-pty"; }

    TWin32SerialBackend port_;
};

} // namespace

TEST_F(Win32Line, OpensOnceClosesAndSaysWhyNot)
{
    TWin32SerialBackend other;
    EXPECT_EQ(other.open("COM1"), EBUSY);
    EXPECT_EQ(other.open("\\\\.\\COM1"), EBUSY);
    port_.close();
    EXPECT_EQ(other.open("\\\\.\\COM1"), 0);
    EXPECT_EQ(port_.open("COM1"), EBUSY);
    other.close();
    EXPECT_EQ(port_.open("COM1"), 0);

    const std::string scratch = environment("DADIZ_SCRATCH");
    ASSERT_FALSE(scratch.empty());
    std::ofstream(scratch + "/plain.txt") << "not a port";
    const std::pair<std::string, int> refused[] = {
        {"COM9", ENOENT},
        {"\\\\.\\NOSUCHDEVICE", ENOENT},
        {scratch + "/missing", ENOENT},
        {scratch + "/plain.txt", ENOTTY},
        {scratch, EISDIR},
        {"", ENOENT},
    };
    for (const auto& [path, error] : refused)
        EXPECT_EQ(other.open(path), error) << path;
    EXPECT_EQ(other.queuedIn(), -1);

    // Calls the driver has no part in.
    EXPECT_EQ(port_.escape(7), EINVAL);
    EXPECT_EQ(port_.purge(0), 0);
    EXPECT_EQ(port_.escape(SETXON), 0);
    EXPECT_EQ(port_.purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR), 0);
    // Reads never wait for bytes that have not come.
    unsigned char byte = 0;
    EXPECT_EQ(port_.read(&byte, 1), 0);
    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(port_.deviceTimeouts(timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
}

// What the driver reads back after each setting is written. A Linux
// pseudo-terminal keeps only 8 data bits without parity: another frame
// format is either refused (EINVAL) or read back as 8 bits without parity.
// Wine writes 1.5 stop bits as termios's second stop bit (a UART sends 1.5
// with 5 data bits) and reads it back as 2.
TEST_F(Win32Line, EverySettingIsWrittenAndReadBack)
{
    const std::int32_t speeds[] = {1200, 2400, 4800, 9600, 19200, 115200};
    int written = 0;
    for (const std::int32_t bps : speeds)
        for (int parity = no_parity; parity <= space_parity; ++parity)
            for (int bits = databits5; bits <= databits8; ++bits)
                for (int stop = stop1; stop <= stop2; ++stop)
                    for (int flags = 0; flags < 4; ++flags) {
                        if (stop == stop1x5 && bits != databits5)
                            continue;
                        TPortSettings s;
                        s.BaudRate = bps;
                        s.Parity = static_cast<TParity>(parity);
                        s.DataBits = static_cast<TDataBits>(bits);
                        s.StopBits = static_cast<TStopBits>(stop);
                        s.XOuputFlowCtl = flags & 1;
                        s.XInputFlowCtl = flags & 2;
                        s.CTSFlowCtl = flags == 3;
                        s.XOnChar = static_cast<char>(0x11 + flags);
                        s.XOffChar = static_cast<char>(0x13 + flags);
                        const std::string at = std::to_string(bps) + " p" + std::to_string(parity) + " d"
                            + std::to_string(bits) + " s" + std::to_string(stop) + " f" + std::to_string(flags);
                        TTermiosRefusal refusal{};
                        const int error = port_.applySettings(s, refusal);
                        EXPECT_EQ(refusal, TTermiosRefusal::None) << at;
                        const bool eightNone = bits == databits8 && parity == no_parity;
                        if (pseudoTerminal() && !eightNone) {
                            EXPECT_TRUE(error == 0 || error == EINVAL) << at << ": " << error;
                            if (error != 0)
                                continue;
                        } else {
                            ASSERT_EQ(error, 0) << at;
                        }
                        DCB got{};
                        ASSERT_TRUE(port_.deviceState(got)) << at;
                        EXPECT_EQ(got.BaudRate, static_cast<DWORD>(bps)) << at;
                        EXPECT_EQ(got.ByteSize, pseudoTerminal() ? 8 : bits + 4) << at;
                        EXPECT_EQ(got.Parity, pseudoTerminal() ? NOPARITY : parity) << at;
                        EXPECT_EQ(got.StopBits, pseudoTerminal() && stop == stop1x5 ? TWOSTOPBITS : stop) << at;
                        EXPECT_EQ(got.fOutX, s.XOuputFlowCtl) << at;
                        EXPECT_EQ(got.fInX, s.XInputFlowCtl) << at;
                        EXPECT_EQ(got.fOutxCtsFlow, s.CTSFlowCtl) << at;
                        EXPECT_EQ(got.XonChar, s.XOnChar) << at;
                        EXPECT_EQ(got.XoffChar, s.XOffChar) << at;
                        ++written;
                    }
    EXPECT_GE(written, pseudoTerminal() ? 6 * 2 * 4 : 6 * 5 * (4 * 2 + 1) * 4);

    for (const bool on : {false, true}) {
        ASSERT_EQ(port_.setSoftwareFlowControl(on), 0);
        DCB got{};
        ASSERT_TRUE(port_.deviceState(got));
        EXPECT_EQ(got.fOutX, on);
        EXPECT_EQ(got.fInX, on);
    }
    TPortSettings fourBits;
    fourBits.DataBits = databits4;
    TTermiosRefusal refusal{};
    EXPECT_EQ(port_.applySettings(fourBits, refusal), EINVAL);
    EXPECT_EQ(refusal, TTermiosRefusal::DataBits);
}

// The four exchanges of the program, each reply checked byte for byte
// against what the simulator sent at the line's pace; the wait thread wakes
// a few times a reply, not once a byte, and ends when cancelled.
TEST_F(Win32Line, TheFourExchangesMatchTheSimulator)
{
    TWaiter waiter(port_);
    TDisplayConfig sent;
    resetToDefaults(sent);
    sent.Relay1Enabled = 1;
    sent.Relay1Setpoint = 1234;
    sent.Relay2Setpoint = -56;
    sent.DecimalPoint = 1;
    const std::pair<char, std::string> requests[] = {
        {'L', text(buildReadRequest(0, kLetterDisplayReading))},
        {'E', text(buildConfigRequest(sent))},
        {'P', text(buildReadRequest(0, kLetterAnalogParams))},
        {'C', text(buildReadRequest(0, kLetterCalibration))},
    };
    for (const auto& [letter, request] : requests) {
        const std::size_t before = loggedReplies().size();
        int wakes = 0;
        const std::string reply = exchange(request, waiter, wakes);
        EXPECT_EQ(reply, simulatorSent(before)) << letter;
        EXPECT_LE(wakes, static_cast<int>(reply.size() / 3) + 1) << letter;
        const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size());
        const std::span<const std::uint8_t> asked(reinterpret_cast<const std::uint8_t*>(request.data()), request.size());
        EXPECT_EQ(checkReply(bytes, asked), TReplyCheck::Accepted) << letter << ": " << reply;
        if (letter == 'P') {
            TDisplayConfig read;
            parseAnalogParamsReply(bytes, read);
            EXPECT_EQ(read.Relay1Setpoint, 1234);
            EXPECT_EQ(read.Relay2Setpoint, -56);
        }
        if (letter == 'L') {
            EXPECT_TRUE(parseDisplayReadingReply(bytes).value.has_value()) << reply;
        }
    }
    // Wake-ups that found the reply already read may still be queued.
    waiter.stop();
    std::optional<TWaitOutcome> last;
    while (const auto outcome = waiter.next(0ms))
        last = outcome;
    EXPECT_EQ(last, TWaitOutcome::Cancelled);
    // A cancelled wait stays cancelled until the port is opened again.
    EXPECT_EQ(port_.waitReceive(), TWaitOutcome::Cancelled);
}

// COM2's simulator is killed once the port is open (run-tests.sh watches
// for the mark): the wait ends by itself with one lost line.
TEST(Win32LostLine, AVanishedDeviceIsToldOnce)
{
    const std::string mark = environment("DADIZ_LOST_MARK");
    ASSERT_FALSE(mark.empty()) << "run through win32/run-tests.sh";
    TWin32SerialBackend port;
    ASSERT_EQ(port.open("COM2"), 0);
    TWaiter waiter(port);
    std::ofstream(mark) << "open\n";
    std::optional<TWaitOutcome> last;
    while (const auto outcome = waiter.next(60s)) {
        last = outcome;
        if (*outcome != TWaitOutcome::DataArrived)
            break;
    }
    ASSERT_EQ(last, TWaitOutcome::LineLost);
    waiter.join();
    // Asked again, the device is still gone: no data, no endless wait.
    EXPECT_EQ(port.waitReceive(), TWaitOutcome::LineLost);
    EXPECT_EQ(port.queuedIn(), -1);
    const unsigned char byte = '@';
    EXPECT_EQ(port.write(&byte, 1, 100), 0);
}
