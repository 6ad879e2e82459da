#pragma once
#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "config/DisplayConfig.h"
#include "link/DisplayLink.h"
#include "protocol/Replies.h"

class TDisplayLine;

// What a session waits for after a request.
enum TPendingRequest : std::uint8_t {
    NoRequest = 0,
    CalibrationRequest = 1,
    AnalogParamsRequest = 2,
    DisplayReadingRequest = 3,
    SendConfigRequest = 4,
};

// What a session is doing. The request under way is pendingKind().
enum class TSessionState : std::uint8_t {
    Idle,                // nothing asked
    Requesting,          // a command's request is under way (or waits for its turn)
    ReadingContinuously, // a reading every period, none while one is pending
    Paused,              // the calibration screen has the line; reading resumes after it
};

// One display reading as the session delivers it, taken or missed.
struct TSessionReading {
    std::chrono::system_clock::time_point time;
    // What the reply carried; both absent when missed.
    TDisplayReading reading;
    // No reply, or a reply that carried neither a value nor relay states.
    bool missed = false;
    // Readings missed in a row during continuous reading, this one included.
    int missedInRow = 0;
    // How the exchange ended: why a reading was missed.
    TExchangeReport report;
};

// What a click on "Update running" did.
enum class TReadingToggle : std::uint8_t {
    Started,  // reading every period from now
    Stopped,  // reading has stopped
    Armed,    // a request is under way: reading starts when it ends
    Disarmed, // the click before it is taken back
    Refused,  // the line is held by another user of the port
};

// One display on a line: its requests and their kinds, continuous reading,
// commands that wait for a receive, the pause for the calibration screen,
// missed readings and the age of the last good value. It tells what happened
// by signals and holds no window.
class TDisplaySession : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultPeriodMs = 500;

    // A session for the display `config` describes, on `line` (which
    // outlives it): its address
    // is read at every request, a received configuration is written into it.
    // `config` outlives the session.
    TDisplaySession(TDisplayLine& line, TDisplayConfig& config, QObject* parent = nullptr);
    // A session for one address, with a configuration of its own.
    TDisplaySession(TDisplayLine& line, std::uint8_t address, QObject* parent = nullptr);
    ~TDisplaySession() override;

    TDisplayLine& line() { return line_; }
    const TDisplayLine& line() const { return line_; }
    const TDisplayConfig& config() const { return *config_; }
    std::uint8_t address() const;

    // Another user of the port (the connection doctor) holds it while this
    // says so: requests are refused (requestNotStarted with lineHeld).
    void setLineHolder(std::function<bool()> held) { lineHeld_ = std::move(held); }
    // The continuous reading period; at most one reading a period.
    void setReadingPeriod(int ms);
    int readingPeriod() const { return timer_.interval(); }

    TSessionState state() const;
    // The request under way or waiting for its turn, or NoRequest.
    TPendingRequest pendingKind() const;
    bool continuousReading() const { return reading_; }
    // "Update running" was clicked while a request was under way.
    bool readingArmed() const { return armed_; }
    int missedReadings() const { return missed_; }
    // Stale once a reading has been missed, or when none has come for longer
    // than a slow display that answers in time can take.
    bool valueStale() const { return stale_; }
    // The request's own pieces, or the quiet after this display's missed reply.
    bool busy() const;

    // Commands: each abandons this session's request still under way. False
    // when nothing is pending: the line is held, or the port could not be
    // opened (requestNotStarted has said which).
    bool sendConfiguration();
    bool receiveConfiguration();
    bool readValue();
    bool readCalibration();
    // "Update running": starts or stops continuous reading, or arms it while
    // a request is under way (a second click takes that back).
    TReadingToggle toggleContinuousReading();
    // Stops reading, and takes back a click that armed it.
    void stopContinuousReading();

    // Runs `command` once the configuration read under way has ended,
    // however it ended, after those already waiting and in the order asked;
    // the same `key` waits once. False when no receive is under way.
    bool runAfterReceive(int key, std::function<void()> command);

    // The calibration screen has the line: the exchange under way is given
    // up and reading pauses until resume().
    void pause();
    void resume();

    // The continuous reading's timer, for those who watch it run.
    const QTimer& readingTimer() const { return timer_; }

    // How one of this session's exchanges ended; the line calls it.
    void takeReport(const TExchangeReport& report);

signals:
    // A display reading ended, taken or missed (not an abandoned one).
    void reading(const TSessionReading& reading);
    // A configuration reply was written into the configuration; `contents`
    // says which fields it carried.
    void configurationReceived(const TParamsReplyContents& contents);
    void calibrationReceived(const TCalibrationTexts& texts);
    // Every exchange that was written and has ended, but an abandoned one:
    // for notices. `missedInRow` counts the readings missed during
    // continuous reading (0 otherwise).
    void exchangeEnded(const TExchangeReport& report, int missedInRow);
    // A request that could not go: the port could not be opened, or
    // `lineHeld` by another user of the port. Reading has stopped if it was one.
    void requestNotStarted(TPendingRequest kind, bool lineHeld);
    // A reply came for `missed`, an exchange that had ended without it.
    void lateReply(const TExchangeReport& missed, int afterMs);
    // What a click on "Update running" did, or what an armed click did
    // once the request under way had ended.
    void readingToggled(TReadingToggle what);
    // The state, or whether reading is armed, changed.
    void stateChanged(TSessionState state);
    void staleChanged(bool stale);

private:
    void init();
    bool request(TPendingRequest kind, const std::vector<std::uint8_t>& frame);
    void tick();
    void startReading();
    void setArmed(bool armed);
    void startArmedReading();
    void notStarted(TPendingRequest kind, bool lineHeld);
    void checkStale();
    void tellState();
    void waitForReceiveEnd();
    void runWaitingCommands();
    qint64 nowMs() const;

    TDisplayLine& line_;
    std::unique_ptr<TDisplayConfig> own_;
    TDisplayConfig* config_;
    std::function<bool()> lineHeld_;
    QTimer timer_;
    bool reading_ = false;
    bool armed_ = false;
    bool paused_ = false;
    bool stale_ = false;
    int missed_ = 0;
    qint64 lastGoodMs_ = -1; // monotonic time of the last good reading
    TSessionState told_ = TSessionState::Idle;
    bool armedTold_ = false;
    std::vector<std::pair<int, std::function<void()>>> afterReceive_;
    bool waitingForReceive_ = false;
};
