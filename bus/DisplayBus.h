#pragma once
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bus/BusTable.h"
#include "config/ConfigFile.h"
#include "config/DisplayConfig.h"

class TDisplayLine;
class TDisplaySession;
class TSerialBackend;
struct TExchangeReport;
struct TSessionReading;

// What a row's last command is doing, or how it ended.
enum class TRowTask : std::uint8_t {
    None,
    Sending,       // the configuration is on its way
    Verifying,     // it was taken; it is read back
    Verified,      // read back as sent
    VerifyFailed,  // read back otherwise, or not read back
    SendFailed,    // not taken
    Receiving,     // read for the folder
    Received,      // written to the folder
    ReceiveFailed, // not read, incomplete, or not written
};

// One display found on the line.
struct TBusRow {
    std::uint8_t address = 0;
    // The display's configuration as its last configuration reply gave it;
    // what a send writes into it goes out. The session reads its address here.
    std::unique_ptr<TDisplayConfig> config;
    std::optional<std::string> value; // Latin-1, as shown
    std::optional<std::array<bool, 2>> relays;
    TReadingState reading;
    // The last configuration reply, complete (every field carried and readable).
    std::vector<std::uint8_t> paramsReply;
    bool paramsComplete = false;
    // The folder's NN.dad, when read; otherwise why not.
    std::optional<TDisplayConfig> file;
    FileResult fileResult;
    TRowTask task = TRowTask::None;
    TWords taskWords{};
    // The configuration a send wrote: what the read-back must give.
    std::optional<TDisplayConfig> sent;
    bool inRound = false; // its reading of this round has not ended
    std::unique_ptr<TDisplaySession> session;
};

// The displays on one line, without a window: a scan of its addresses, one
// row a display found, their readings in turn at the pace of the line, their
// configuration read with 'P' and compared with a folder of NN.dad files,
// configurations sent (and read back) or received into the folder.
//
// It holds the port while it scans, reads or runs a command, and says what
// it does by signals; every message comes in the four languages.
class TDisplayBus : public QObject {
    Q_OBJECT
public:
    explicit TDisplayBus(QObject* parent = nullptr);
    // The same on another serial device layer (a simulated one).
    TDisplayBus(std::function<std::unique_ptr<TSerialBackend>()> backend, QObject* parent = nullptr);
    ~TDisplayBus() override;

    // The port and line settings: what `source` gives, read at every scan;
    // `device` in place of the COM name when given.
    void setLineSource(std::function<TDisplayConfig()> source, std::optional<std::string> device = {});
    // Empty when the port is free for the view now, else why not (the main
    // window's exchange, the connection doctor), in `language`.
    void setMayRun(std::function<std::string(TLanguage language)> mayRun) { mayRun_ = std::move(mayRun); }
    void setReplyTimeout(int ms);
    TDisplayLine& line() { return *line_; }

    // Asks every address from `first` to `last` in turn, then reads each
    // display's configuration and starts reading. False when refused (said).
    bool scan(std::uint8_t first, std::uint8_t last);
    void cancelScan();
    bool scanning() const { return scanning_; }

    // The displays found are read in rounds: every display at once, served
    // in turn at the pace of the line; a round starts a reading period after
    // the one before began, or at once when that one took longer.
    bool startReading();
    void stopReading();
    bool readingOn() const { return reading_; }
    // How often a round starts at most (500 ms by default).
    void setReadingPeriod(int ms) { readingPeriodMs_ = std::max(ms, 1); }

    // The folder of NN.dad files the rows are compared with ("" for none); read again now.
    void setFolder(const std::string& folder);
    const std::string& folder() const { return folder_; }
    void reloadFolder();
    std::string folderFile(std::uint8_t address) const;

    // Commands on rows; false when refused (said). Rows without a file are
    // left out of sendFiles, with a message.
    bool sendFiles(const std::vector<std::uint8_t>& addresses);
    bool sendConfiguration(const std::vector<std::uint8_t>& addresses, const TDisplayConfig& config);
    bool receiveIntoFolder(const std::vector<std::uint8_t>& addresses);
    // Stops scanning and reading and gives the port up; `then` runs once the
    // line is quiet and closed.
    void release(std::function<void()> then);

    // Scanning, reading, a command under way, or the line not yet quiet.
    bool holdsLine() const;
    bool commandsRunning() const;

    const std::vector<std::unique_ptr<TBusRow>>& rows() const { return rows_; }
    const TBusRow* row(std::uint8_t address) const;
    TFileState fileState(const TBusRow& row) const;
    // The file's fields the display holds otherwise.
    std::vector<TBusDifference> differences(const TBusRow& row, TLanguage language) const;
    std::vector<TCsvRow> csvRows(TLanguage language) const;
    // The line the last scan used.
    const TDisplayConfig& lineConfig() const { return lineConfig_; }

signals:
    void scanProgress(int asked, int total, int found);
    void scanEnded(bool cancelled);
    void rowAdded(std::uint8_t address);
    void rowChanged(std::uint8_t address);
    // Scanning, reading or a command started or ended.
    void activityChanged();
    void notice(const TWords& words);

private:
    TBusRow* findRow(std::uint8_t address);
    using TScanned = std::pair<std::unique_ptr<TDisplayConfig>, std::unique_ptr<TDisplaySession>>;
    TBusRow& addRow(TScanned scanned);
    TScanned makeSession(std::uint8_t address);
    bool refused();
    // A command may start: a folder when it needs one, no scan, the port free.
    bool mayCommand(bool withFolder);
    // `command` on each row of `addresses`; whether one started.
    bool onRows(const std::vector<std::uint8_t>& addresses, const std::function<bool(TBusRow&)>& command);
    void prepareLine();
    void askNextAddress();
    void endScan(bool cancelled);
    void onScanReading(std::uint8_t address, const TSessionReading& r);
    void noteSetAside(const TExchangeReport& report);
    void noteLate(std::uint8_t address, int afterMs);
    void onReading(TBusRow& row, const TSessionReading& r);
    void onExchangeEnded(TBusRow& row, const TExchangeReport& report);
    void onNotStarted(bool lineHeld);
    void onParams(TBusRow& row, const TExchangeReport& report);
    void startRound();
    void endRoundIfDone();
    void readFile(TBusRow& row);
    void settle();
    void finishTask(TBusRow& row, TRowTask task, TWords words);
    bool startSend(TBusRow& row, const TDisplayConfig& config);

    std::unique_ptr<TDisplayLine> line_;
    std::function<TDisplayConfig()> source_;
    std::function<std::string(TLanguage)> mayRun_;
    TDisplayConfig lineConfig_{};
    std::string folder_;
    std::vector<std::unique_ptr<TBusRow>> rows_;

    // The scan: a session an address, so that a late answer is set aside
    // and told as such rather than taken for another display's.
    bool scanning_ = false;
    std::uint8_t first_ = 0;
    std::uint8_t last_ = 0;
    int asked_ = 0;
    std::vector<TScanned> scanSessions_;
    QMetaObject::Connection lateTraffic_;
    bool reading_ = false;
    int readingPeriodMs_ = 500;
    QTimer roundTimer_;
    std::chrono::steady_clock::time_point roundStarted_;
    std::vector<std::function<void()>> whenReleased_;
};
