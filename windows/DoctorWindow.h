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
    // Empty when the doctor may run now, else why not, in the owner's language.
    using TMayRun = std::function<std::string()>;
    // Sets the configuration's serial line and address to what was found.
    using TUseFound = std::function<void(const TFoundLine&)>;

    TDoctorWindow(QWidget* owner, int language, int answerTimeoutMs, TMayRun mayRun, TUseFound useFound);
    ~TDoctorWindow() override;

    // Diagnoses a copy of `config`, unless the owner says the doctor may not run now.
    void diagnose(const TDisplayConfig& config);
    bool running() const;
    // Shows a finished run (for pictures of the window).
    void showReport(const TDoctorReport& report);
    TDoctor* doctor() const { return doctor_.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void run();
    void clearChecks();
    void showCheck(const TCheckResult& result);
    void showProgress(const TSearchProgress& progress);
    void showFinished(const TDoctorReport& report);
    void showRunning(bool running);
    void useSettings();

    int language_;
    int answerTimeoutMs_;
    TMayRun mayRun_;
    TUseFound useFound_;
    TDisplayConfig config_{};
    std::unique_ptr<TDoctor> doctor_;
    std::optional<TFoundLine> found_;

    QLabel* subject_;
    std::array<QLabel*, kDoctorCheckCount> verdicts_{};
    std::array<QLabel*, kDoctorCheckCount> texts_{};
    QLabel* verdict_;
    QProgressBar* progress_;
    QLabel* step_;
    QPushButton* use_;
    QPushButton* again_;
    QPushButton* cancel_;
    QPushButton* close_;
};

// The window's title, which is also its item in the Tools menu.
std::string doctorWindowTitle(int language);
