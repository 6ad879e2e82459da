#pragma once
#include <QObject>
#include <QTimer>
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Texts.h"
#include "config/DisplayConfig.h"
#include "config/LineFormat.h"
#include "link/DoctorProbe.h"
#include "link/DoctorSearch.h"
#include "serial/Zcomm.h"

class TDisplayLink;
class TRxBuffer;
struct TExchangeReport;

// The checks of the connection doctor, in the order they run.
enum class TDoctorCheck : std::uint8_t { Device, Permission, Busy, Echo, Answer, Search };
inline constexpr int kDoctorCheckCount = 6;

enum class TVerdict : std::uint8_t { Ok, Problem, Skipped };

struct TCheckResult {
    TDoctorCheck check = TDoctorCheck::Device;
    TVerdict verdict = TVerdict::Skipped;
    TWords finding; // what was found
    TWords advice;  // what to do; empty when nothing
};

// Where displays answered: the line settings and every address that did.
struct TFoundLine {
    TLineFormat line;
    std::vector<std::uint8_t> addresses;
    std::uint8_t Address = 0; // the one to use: the configured one when it answered, else the first
};

enum class TDoctorOutcome : std::uint8_t {
    Answers,         // the display answers as configured
    Found,           // a display answers at other settings or another address
    NothingAnswered,
    SlowReply,       // a reply came only after its time-out: nothing usable within it
    OtherAddress,    // a display answers the configured address's requests, signed with another address
    OthersAnswer,    // several displays answer at some settings, none as the configured address
    CannotOpen,      // the device is missing, forbidden, held by another process or refuses to open
    Cancelled,
};

struct TDoctorReport {
    std::vector<TCheckResult> checks; // in order, as far as the run went
    TDoctorOutcome outcome = TDoctorOutcome::Cancelled;
    std::optional<TFoundLine> found;  // only for Found
    std::optional<TFoundLine> answering; // only for OthersAnswer: where displays answer, none as configured
    TWords conclusion;                // what to do, with the settings to use
    int tries = 0;                    // requests the search sent
    // The least time those tries can take: each request's wire time plus its time-out.
    std::chrono::milliseconds searchFloor{0};
    // SlowReply: how long the display took when given time (0 when it did not
    // answer then), and the reply time-out to use.
    std::chrono::milliseconds slowLatency{0};
    int suggestedTimeoutMs = 0;
};

struct TSearchProgress {
    int done = 0;  // tries made so far
    int total = 0; // tries planned, as far as the search knows now
    TLineFormat line;
    std::uint8_t address = 0;
};

struct TDoctorSetup {
    TDisplayConfig config;            // its serial line and address are diagnosed
    std::optional<std::string> port;  // a COM name or a device path in place of PortIndex
    int answerTimeoutMs = 1000;       // the reply time-out of the configured exchange
    bool search = true;               // search when the display does not answer as configured
    int searchMarginMs = 40;          // added to the wire times of a search try's time-out
    TSystemPlaces places;
};

// The connection doctor: finds out why a display does not answer, and where
// it is. Runs its checks one after the other from the event loop, never
// blocking it; cancel() ends it at any moment. It has its own serial port and
// exchange path, open only while it exchanges.
class TDoctor : public QObject {
    Q_OBJECT
public:
    explicit TDoctor(TDoctorSetup setup, QObject* parent = nullptr,
        TZComm::BackendFactory factory = makeSystemSerialBackend);
    ~TDoctor() override;

    // Starts a run; one still going is cancelled first.
    void start();
    // Ends the run at once: the port is closed and finished() is emitted.
    void cancel();
    bool running() const { return running_; }
    const TDoctorReport& report() const { return report_; }
    // The port as named and its device: "COM1 (/dev/ttyUSB0)".
    std::string portText() const;
    // The exchange path, for a traffic monitor to listen to.
    TDisplayLink& link() { return *link_; }

signals:
    void checkDone(const TCheckResult& result);
    void progress(const TSearchProgress& progress);
    void finished(const TDoctorReport& report);

private:
    enum class TPhase : std::uint8_t { Answer, Search, Patient };

    void queue(void (TDoctor::*step)());
    // One reading request to `address`, with `timeoutMs` to answer and a
    // deadline of its own that bytes trickling in cannot move.
    void ask(std::uint8_t address, int timeoutMs);
    void cutShort();
    void checkTheDevice();
    void checkThePermission();
    void checkIfBusy();
    void startAnswer();
    void onExchange(const TExchangeReport& r);
    void exchangeEnded();
    void answerDone();
    void searchStep();
    void searchDone();
    // A reply came late: the configured settings are asked once more, with time to answer.
    void askPatiently();
    // Waits until the line has been quiet for the patient time-out, then asks.
    void drainTick();
    void patientDone();
    int patientTimeoutMs() const;
    bool applyLine(const TLineFormat& line);
    void add(TCheckResult result);
    void finish(TDoctorOutcome outcome);
    // Tries made and still to make, as the plan stands.
    int plannedTries() const;

    TDoctorSetup setup_;
    std::unique_ptr<TZComm> port_;
    std::unique_ptr<TRxBuffer> rx_;
    std::unique_ptr<TDisplayLink> link_;
    TDoctorReport report_;
    bool running_ = false;
    std::uint64_t run_ = 0; // steps queued by an earlier run do nothing
    std::string path_;
    TLineFormat configured_;
    TPhase phase_ = TPhase::Answer;
    // The Answer check's reply came signed with another address, these two characters.
    bool otherAddress_ = false;
    std::string signedAs_;
    // The try whose answer was not confirmed: a late reply.
    std::optional<TSearchTry> lateAt_;
    std::chrono::steady_clock::time_point drainStart_, quietSince_;
    bool permissionRefused_ = false;
    std::unique_ptr<TExchangeReport> last_; // the exchange that just ended
    TSearchPlan plan_;
    bool inFlight_ = false; // a search try is on the line
    std::optional<TLineFormat> current_; // the settings the open port has
    std::optional<TFoundLine> found_;
    bool pseudoTerminal_ = false; // keeps 8 data bits and no parity whatever is asked
    QTimer cut_;                  // the deadline of the exchange on the line
    bool cutting_ = false;        // the exchange is being ended by that deadline
    bool cutShort_ = false;       // the exchange that just ended was
};

// The three checks that look at the system alone, for the given device path.
// `port` is the name asked for ("COM1", or a path).
TCheckResult checkDevice(const std::string& port, const std::string& path, const TSystemPlaces& places = {});
TCheckResult checkPermission(const std::string& path);
TCheckResult checkBusy(const std::string& path, const TSystemPlaces& places = {});

// How a check shows, window and dadizctl alike: its name, the verdict word,
// and what was found followed by what to do.
struct TCheckParts {
    std::string name;
    std::string verdict;
    std::string text;
};
TCheckParts checkParts(const TCheckResult& result, TLanguage language);
// "Device: ok. COM1 (/dev/ttyUSB0) is ...": one line.
std::string checkLine(const TCheckResult& result, TLanguage language);
// The last line: "Verdict: ...".
std::string verdictName(TLanguage language);
std::string conclusionLine(const TDoctorReport& report, TLanguage language);
// Every line of a finished run: one per check, then the verdict.
std::vector<std::string> doctorLines(const TDoctorReport& report, TLanguage language);

// "Trying address 05 at 9600 baud, 7E1 (12 of 59)".
std::string progressText(const TSearchProgress& progress, TLanguage language);
// "9600 baud, 7E1 (7 data bits, even parity, 1 stop bit), address 07".
std::string lineWords(const TLineFormat& line, std::uint8_t address, TLanguage language);
// Sets the serial line fields and the address of `config` to what was found.
void applyFoundLine(const TFoundLine& found, TDisplayConfig& config);

// Why the doctor may not run now, in words.
enum class TDoctorRefusal : std::uint8_t { ExchangePending, ContinuousReading };
std::string doctorRefusalText(TDoctorRefusal why, TLanguage language);

Q_DECLARE_METATYPE(TCheckResult)
Q_DECLARE_METATYPE(TSearchProgress)
Q_DECLARE_METATYPE(TDoctorReport)
