// The connection doctor's search, timed against its floor: the sum, over the
// tries it makes, of each request's wire time plus its time-out. The display
// is a pseudo-terminal peer that answers only at its own line settings, as the
// program last set them on the device (speed, parity, data and stop bits:
// a pseudo-terminal itself keeps only the speed and the stop bits), after the
// wire time of its reply. Figures only, never pass or fail.
#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>
#include <cstdio>
#include <memory>

#include "config/DisplayConfig.h"
#include "link/DisplayLink.h"
#include "link/Doctor.h"
#include "serial/SerialBackend.h"
#include "tests/support/PtyDisplay.h"

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The system's device layer, noting the settings the program writes.
class TNotingBackend final : public TSerialBackend {
public:
    explicit TNotingBackend(TPortSettings& noted) : noted_(noted) {}
    int open(const std::string& path) override { return inner_->open(path); }
    void close() override { inner_->close(); }
    int applySettings(const TPortSettings& s, TTermiosRefusal& refusal) override
    {
        const int err = inner_->applySettings(s, refusal);
        if (err == 0)
            noted_ = s;
        return err;
    }
    int setSoftwareFlowControl(bool on) override { return inner_->setSoftwareFlowControl(on); }
    long queuedIn() override { return inner_->queuedIn(); }
    long queuedOut() override { return inner_->queuedOut(); }
    long read(unsigned char* buf, long count) override { return inner_->read(buf, count); }
    long write(const unsigned char* buf, long count, int timeoutMs) override { return inner_->write(buf, count, timeoutMs); }
    unsigned takeLineErrors() override { return inner_->takeLineErrors(); }
    int escape(unsigned long function) override { return inner_->escape(function); }
    int purge(unsigned long flags) override { return inner_->purge(flags); }
    TWaitOutcome waitReceive() override { return inner_->waitReceive(); }
    void cancelWait() override { inner_->cancelWait(); }

private:
    std::unique_ptr<TSerialBackend> inner_ = makeSystemSerialBackend();
    TPortSettings& noted_;
};

struct TDisplayAt {
    std::int32_t baud;
    TParity parity;
    TDataBits dataBits;
    TStopBits stopBits;
    std::string address;
};

struct TRun {
    double searchMs = 0;   // from the end of the Answer check to the verdict
    double foundMs = 0;    // from the start to the first reply of the search
    double totalMs = 0;
    TDoctorReport report;
};

TRun run(const TDisplayAt& at, const TDisplayConfig& file)
{
    testsupport::PtyDisplay display;
    TPortSettings noted;
    display.onRequest = [&](const std::string& frame) {
        if (noted.BaudRate != at.baud || noted.Parity != at.parity || noted.DataBits != at.dataBits
            || noted.StopBits != at.stopBits || frame.compare(1, 2, at.address) != 0)
            return;
        const std::string reply = display.answerTo(frame);
        const int bits = 1 + (at.dataBits == databits7 ? 7 : 8) + (at.parity == no_parity ? 0 : 1) + (at.stopBits == stop2 ? 2 : 1);
        display.sendLater(reply, static_cast<int>(reply.size() * bits * 1000 / at.baud));
    };

    TDoctorSetup setup;
    setup.config = file;
    setup.port = display.path;
    TDoctor doctor(setup, nullptr, [&noted] { return std::make_unique<TNotingBackend>(noted); });
    TRun r;
    const auto start = Clock::now();
    Clock::time_point answered, found;
    QObject::connect(&doctor, &TDoctor::checkDone, [&](const TCheckResult& c) {
        if (c.check == TDoctorCheck::Answer)
            answered = Clock::now();
    });
    QObject::connect(&doctor.link(), &TDisplayLink::finished, [&](const TExchangeReport& e) {
        if (e.outcome == TExchangeOutcome::Reply && found == Clock::time_point{})
            found = Clock::now();
    });
    QEventLoop loop;
    QObject::connect(&doctor, &TDoctor::finished, &loop, &QEventLoop::quit);
    doctor.start();
    loop.exec();
    const auto end = Clock::now();
    r.searchMs = ms(end - answered);
    r.foundMs = found == Clock::time_point{} ? -1 : ms(found - start);
    r.totalMs = ms(end - start);
    r.report = doctor.report();
    return r;
}

void print(const char* title, const TRun& r)
{
    std::printf("%s\n", title);
    for (const std::string& line : doctorLines(r.report, TLanguage::English))
        std::printf("  %s\n", line.c_str());
    const double floor = static_cast<double>(r.report.searchFloor.count());
    std::printf("  search tries                     %d\n", r.report.tries);
    std::printf("  search time                      %.0f ms\n", r.searchMs);
    std::printf("  floor (request wire + time-out)  %.0f ms\n", floor);
    std::printf("  search time / floor              %.3f (goal: within 1.10)\n", floor > 0 ? r.searchMs / floor : 0.0);
    std::printf("  first reply of the search        %.0f ms after the start\n", r.foundMs);
    std::printf("  whole run                        %.0f ms (Answer check at the file's settings included)\n\n",
        r.totalMs);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TDisplayConfig file;
    resetToDefaults(file); // COM1, 1200 baud, 7E1, address 00
    file.BaudIndex = 0;
    file.ParityIndex = 0;
    file.DataBitsIndex = 0;
    file.StopBitsIndex = 0;
    file.Address = 0;

    print("Display at address 31, 19200 baud, 8N1; the file says 1200 baud, 7E1, address 00",
        run({19200, no_parity, databits8, stop1, "31"}, file));

    print("Display at 9600 baud, 7E1, the configured address 00; the file says 1200 baud (goal: found in under 2 s)",
        run({9600, even_parity, databits7, stop1, "00"}, file));
    return 0;
}
