#pragma once
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/Texts.h"
#include "protocol/RxBuffer.h"
#include "session/DisplaySession.h"

class QAction;
class QApplication;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class QToolBar;
class QFrame;
class TZComm;
class TSerialBackend;
class TTrafficMonitor;
class TDoctorWindow;
class TBusWindow;
class TTrendHandle;
class TForm8;
class TDisplayLine;
struct TSessionReading;

// The main window's controls, named as the window design names them.
struct TForm1Controls {
    QToolBar* ToolBar1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QGroupBox* GroupBox5 = nullptr;
    QLabel* Label[22] = {};     // Label1 .. Label21 (index 0 unused)
    QLineEdit* Edit[21] = {};   // Edit1 .. Edit20 (index 0 unused)
    QLabel* DisparRele1 = nullptr;
    QLabel* DisparRele2 = nullptr;
    QPushButton* ActuVisu = nullptr;
    QPushButton* ActConti = nullptr;
    QPushButton* Tara = nullptr;
    QPushButton* ResetTara = nullptr;
    QFrame* Shape1 = nullptr;
    QFrame* Shape2 = nullptr;
    QLabel* Pilot1 = nullptr;
    QLabel* Pilot2 = nullptr;
    QLabel* StatusBar1 = nullptr; // the status bar's one panel
    QLabel* NoticeLabel = nullptr; // right of it: why the display did not answer

    // Menus and their items
    QMenu* Archivo1 = nullptr;
    QMenu* Configuracion1 = nullptr;
    QMenu* Comunicacion1 = nullptr;
    QMenu* Ayuda1 = nullptr;
    QAction* Abrir1 = nullptr;
    QAction* Nuevo1 = nullptr;
    QAction* Guardar2 = nullptr;
    QAction* Guardar1 = nullptr;
    QAction* Salir1 = nullptr;
    QAction* Lneaserie1 = nullptr;
    QAction* Entradaanalogica1 = nullptr;
    QAction* Reles1 = nullptr;
    QAction* Idioma1 = nullptr;
    QAction* Enviar1 = nullptr;
    QAction* Recibir1 = nullptr;
    QAction* Leerparametros1 = nullptr;
    QAction* Testcomunicacion1 = nullptr;
    QAction* Version1 = nullptr;
    QAction* Menuayuda1 = nullptr;
    // The Tools menu, which the program adds after the communication menu.
    QMenu* toolsMenu = nullptr;
    QAction* trafficMonitorItem = nullptr;
    QAction* trendItem = nullptr;
    QAction* doctorItem = nullptr;
    QAction* busViewItem = nullptr;
    // Toolbar buttons
    QAction* ToolButton1 = nullptr;
    QAction* ToolButton3 = nullptr;
    QAction* ToolButton4 = nullptr;
    QAction* ToolButton6 = nullptr;
    QAction* ToolButton7 = nullptr;
    QAction* ToolButton8 = nullptr;
    QAction* ToolButton10 = nullptr;
    QAction* ToolButton11 = nullptr;
    QAction* ToolButton13 = nullptr;
    QAction* ToolButton14 = nullptr;
    QAction* ConfigRele = nullptr;
};

// The main window: it builds the window, forwards the commands to the
// display's session and shows what the session tells.
class TForm1 : public QMainWindow, private TForm1Controls {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    // The same window on another serial device layer (a simulated one).
    TForm1(QWidget* parent, std::function<std::unique_ptr<TSerialBackend>()> serialBackend);
    ~TForm1() override;

    // Sets the application title, creates the main window and the start-up dialogs.
    static void startUp(QApplication& app);

    std::uint8_t LanguageIndex = 0;
    // The language of the texts the program adds (see languageAt).
    TLanguage language() const { return textLanguage(LanguageIndex); }

    // The controls, for those who drive the window as a user would.
    const TForm1Controls& controls() const { return *this; }
    // The display's session, its line and what they hold.
    TDisplaySession& session() const { return *session_; }
    TPendingRequest PendingRequest() const;
    std::uint8_t ContinuousReading() const;
    // Readings missed in a row during continuous reading.
    int MissedReadings() const;
    TZComm* ZComm1() const;
    TDisplayLink* Link() const;
    const TRxBuffer& RxBuffer() const;
    const QTimer* Timer1() const;

    // File commands
    void Abrir1Click();
    void Nuevo1Click();
    void Guardar2Click();
    void Guardar1Click();
    void Salir1Click();
    // Configuration commands
    void Lneaserie1Click();
    void Entradaanalogica1Click();
    void ConfigReleClick();
    void SelectIdioma();
    // Communication commands
    void EnviarConfig();
    void LlegirParamAnalog();
    void Leerparametros1Click();
    void Testcomunicacion1Click();
    // Help
    void Version1Click();
    // Value group
    void LlegirDisplay();
    void ModActualit();
    // How an exchange of this window's display ended: the session takes it
    // and tells the window what to show.
    void DadesRebudes(const TExchangeReport& report);
    void ErrorComuni(int error, const std::string& errorstr);
    // Tools
    void openTrafficMonitor();
    void openTrend();
    // The connection doctor's window, given the configuration and asked whether it may run.
    void openConnectionDoctor();
    // "Displays on the line", given the configuration, whether the port is free and how to open a display here.
    void openBusView();
    // Alt+F1: the password and the calibration screen
    void FormKeyDown(int key, Qt::KeyboardModifiers shift);

    // Summary panels and languages
    void fillSerialPanel();
    void fillAnalogPanel();
    void fillRelayPanels();
    void applyLanguage();
    void setRelayIndicator(int relay, bool on);
    void showCurrentFileName();

signals:
    // A display reading was shown (value, relays or both).
    void displayReadingShown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // "NO PUEDO ABRIR EL PUERTO", with the device and the reason.
    void showOpenFailure();
    // What the session tells.
    void showReading(const TSessionReading& reading);
    void showStale(bool stale);
    void showExchangeEnd(const TExchangeReport& report, int missedInRow);
    void showRequestNotStarted(TPendingRequest kind, bool lineHeld);
    void showReadingToggle(TReadingToggle what);
    void showReadingState();
    // The button and the commands of a stopped reading.
    void showReadingStopped();
    void setExchangeCommandsVisible(bool visible);
    // What the notice at the right of the status bar says, whole and shorter,
    // in a given language: kept, so that a change of language says it again.
    using TNoticeWords = std::function<std::pair<std::string, std::string>(TLanguage language)>;
    void showNotice(TNoticeWords words);
    void sayNotice();
    static TNoticeWords fixedNotice(const TTexts& texts, const std::string& argument = {});
    // Why `report` got no reply, after the count of `missed` readings and a
    // reply that came `lateMs` after the request (when 0 or more).
    void showExchangeNotice(const TExchangeReport& report, int missed = 0, int lateMs = -1);
    bool doctorRunning() const;
    void showLineHeld();
    // A reply came after its exchange had been given up: the notice says so.
    void noteLateReply(const TExchangeReport& missed, int afterMs);
    // Shows the display's value whole, fitting the type to the box.
    void showValue(const QString& text);
    // Runs `command` once a configuration read under way has ended, after
    // those already waiting, in the order asked; false when none is under way.
    bool waitForReceive(void (TForm1::*command)());
    void buildMenus();
    void buildToolBar();
    void buildPanels();
    void buildValueGroup();
    void showFileError(const QString& title, const QString& path, const QString& detail);
    bool saveTo(const QString& path);

    TDisplayLine* line_ = nullptr;
    TDisplaySession* session_ = nullptr;
    TNoticeWords noticeWords_;
    // The exchange the notice tells of and its count of missed readings, so
    // that a late reply can be added.
    std::optional<std::chrono::steady_clock::time_point> noticeExchange_;
    int noticeMissed_ = 0;
    // What the reading button shows: reading, or armed to start.
    bool shownReading_ = false;
    bool shownArmed_ = false;
    // Windows that delete themselves on close; the pointers follow.
    QPointer<TTrafficMonitor> monitor_;
    // Made at its first opening (its module loaded then) and kept, hidden
    // when closed, so that the session's readings and a recording go on.
    std::unique_ptr<TTrendHandle> trend_;
    QPointer<TDoctorWindow> doctor_;
    // The calibration screen while it is open.
    TForm8* calibration_ = nullptr;
    QPointer<TBusWindow> busView_;
    int valueFontSize_ = 19;
};

// Program-wide reference to the main window, set before its constructor body runs.
extern TForm1* Form1;

// The name of the current configuration file; "Untitled.txt" until one is chosen.
extern QString CurrentFileName;
inline const QString UntitledFileName = QStringLiteral("Untitled.txt");
