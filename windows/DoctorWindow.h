#pragma once
#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "config/DisplayConfig.h"
#include "link/Doctor.h"

class QLabel;
class QProgressBar;
class QPushButton;

// The connection doctor's window: non-modal, its check list filling in as the
// run goes, with the search's progress and Cancel, and "Use these settings"
// when a display was found elsewhere. It is given what it needs and never
// reaches into the main window.
class TDoctorWindow : public QWidget {
    Q_OBJECT
public:
    // Empty when the doctor may run now, else why not, in `language`.
    using TMayRun = std::function<std::string(TLanguage language)>;
    // Sets the configuration's serial line and address to what was found.
    using TUseFound = std::function<void(const TFoundLine&)>;
    // The configuration to diagnose, as it is when a run starts.
    using TConfigSource = std::function<TDisplayConfig()>;

    TDoctorWindow(QWidget* owner, TLanguage language, int answerTimeoutMs, TMayRun mayRun, TUseFound useFound);
    ~TDoctorWindow() override;

    // Every run, "Run again" included, then diagnoses what `source` gives.
    void setConfigSource(TConfigSource source) { configSource_ = std::move(source); }
    // Diagnoses a copy of `config`, or without one what the source gives,
    // unless the owner says the doctor may not run now.
    void diagnose(const TDisplayConfig& config);
    void diagnose();
    bool running() const;
    // Shows a finished run (for pictures of the window).
    void showReport(const TDoctorReport& report);
    TDoctor* doctor() const { return doctor_.get(); }
    // Every text, the run's results included, in `language`.
    void setLanguage(TLanguage language);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void run();
    void clearChecks();
    void showCheck(const TCheckResult& result);
    void showProgress(const TSearchProgress& progress);
    void showFinished(const TDoctorReport& report);
    void showRunning(bool running);
    void showVerdict();
    void useSettings();
    void applyTexts();

    TLanguage language_;
    int answerTimeoutMs_;
    TMayRun mayRun_;
    TUseFound useFound_;
    TConfigSource configSource_;
    TDisplayConfig config_{};
    std::unique_ptr<TDoctor> doctor_;
    std::optional<TFoundLine> found_;
    // What is shown, kept so that it can be said again in another language.
    std::array<std::optional<TCheckResult>, kDoctorCheckCount> results_{};
    std::optional<TSearchProgress> progressShown_;
    std::optional<TDoctorReport> report_;
    TWords refusal_{}; // why the doctor may not run
    bool applied_ = false;                 // "Use these settings" was taken

    QLabel* subject_;
    std::array<QLabel*, kDoctorCheckCount> names_{};
    std::array<QLabel*, kDoctorCheckCount> verdicts_{};
    std::array<QLabel*, kDoctorCheckCount> texts_{};
    QLabel* verdictName_;
    QLabel* verdict_;
    QProgressBar* progress_;
    QLabel* step_;
    QPushButton* use_;
    QPushButton* again_;
    QPushButton* cancel_;
    QPushButton* close_;
};

// The window's title, which is also its item in the Tools menu.
std::string doctorWindowTitle(TLanguage language);
