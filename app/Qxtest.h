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
class TDisplayLink;
class TTrafficMonitor;
class TDoctorWindow;
class TBusWindow;
class TTrendHandle;
struct TExchangeReport;
class TForm4;
class TForm5;
class TForm6;
class TForm7;

// What the main window waits for after a request.
enum TPendingRequest : std::uint8_t {
    NoRequest = 0,
    CalibrationRequest = 1,
    AnalogParamsRequest = 2,
    DisplayReadingRequest = 3,
    SendConfigRequest = 4,
};

// The main window: commands, summary panels, languages and the display exchanges.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    // The same window on another serial device layer (a simulated one).
    TForm1(QWidget* parent, std::function<std::unique_ptr<TSerialBackend>()> serialBackend);
    ~TForm1() override;

    // Sets the application title, creates the main window and the start-up dialogs.
    static void startUp(QApplication& app);

    std::uint8_t LanguageIndex = 0;
    TPendingRequest PendingRequest = NoRequest;
    std::array<std::uint8_t, 93> TxBuffer{};
    TRxBuffer RxBuffer;
    std::uint8_t ContinuousReading = 0;
    TZComm* ZComm1 = nullptr;
    // The exchange path shared with dadizctl: opens ZComm1 for each request,
    // collects the reply into RxBuffer and reports how each exchange ended.
    TDisplayLink* Link = nullptr;
    // Readings missed in a row during continuous reading.
    int MissedReadings = 0;

    // The exchange every request goes through: abandons a request still
    // pending, applies the line settings, opens the port, records the kind,
    // sends the frame (once the line is quiet after a missed reply). False
    // when nothing is pending: the port could not be opened, or the
    // connection doctor holds it; the window has said which.
    bool startRequest(TPendingRequest kind, std::span<const std::uint8_t> frame);
    // "NO PUEDO ABRIR EL PUERTO", with the device and the reason.
    void showOpenFailure();
    void ApplyLineSettings();

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
    // Each tick of Timer1: a reading, unless the previous one still waits
    // for its reply (or the line for quiet after a missed one).
    void Timer1Timer();
    // How an exchange ended: the reply handed to the part that asked for it,
    // or a notice saying why there is none.
    void DadesRebudes(const TExchangeReport& report);
    void ErrorComuni(int error, const std::string& errorstr);
    // Tools
    void MonitorTrafic1Click();
    void Tendencia1Click();
    // The connection doctor's window, given the configuration and asked whether it may run.
    void Doctor1Click();
    // "Displays on the line", given the configuration, whether the port is free and how to open a display here.
    void BusView1Click();
    // Alt+F1: the password and the calibration screen
    void FormKeyDown(int key, Qt::KeyboardModifiers shift);

    // Summary panels and languages
    void fillSerialPanel();
    void fillAnalogPanel();
    void fillRelayPanels();
    void applyLanguage();
    void setRelayIndicator(int relay, bool on);

signals:
    // A display reading was shown (value, relays or both).
    void displayReadingShown();

public:
    void showCurrentFileName();

    // Controls, named as the window design names them.
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
    QTimer* Timer1 = nullptr;

    // Menus and their items
    QMenu* Archivo1 = nullptr;
    QMenu* Configuracion1 = nullptr;
    QMenu* Comunicacion1 = nullptr;
    QMenu* Eines1 = nullptr;
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
    QAction* MonitorTrafic1 = nullptr;
    QAction* Tendencia1 = nullptr;
    QAction* Doctor1 = nullptr;
    QAction* BusView1 = nullptr;
    QAction* Version1 = nullptr;
    QAction* Menuayuda1 = nullptr;
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void stopContinuousReading();
    // "Update running" clicked while an exchange is under way: reading starts when it ends.
    void setReadingArmed(bool armed);
    void setExchangeCommandsVisible(bool visible);
    // What the notice at the right of the status bar says, whole and shorter,
    // in a given language: kept, so that a change of language says it again.
    using TNoticeWords = std::function<std::pair<std::string, std::string>(int language)>;
    void showNotice(TNoticeWords words);
    void sayNotice();
    static TNoticeWords fixedNotice(const TTexts& texts, const std::string& argument = {});
    // Why `report` got no reply, after the count of `missed` readings and a
    // reply that came `lateMs` after the request (when 0 or more).
    void showExchangeNotice(const TExchangeReport& report, int missed = 0, int lateMs = -1);
    // What a request that could not be written leaves: the message (the port
    // could not be opened, or the doctor holds it) and the requesting part's clean-up.
    void requestNotStarted(TPendingRequest kind, bool besideDoctor);
    bool doctorRunning() const;
    void showDoctorHoldsPort();
    // A reply came after its exchange had been given up: the notice says so.
    void noteLateReply(const TExchangeReport& missed, int afterMs);
    // Shows the display's value whole, fitting the type to the box.
    void showValue(const QString& text);
    // Runs `command` once a configuration read under way has ended, after
    // those already waiting, in the order asked; false when none is under way.
    bool waitForReceive(void (TForm1::*command)());
    void runDeferredCommandsAfterReceive();
    void noteMissedReading(const TExchangeReport& report);
    // Every display reading, taken or missed, goes to the trend once it is open.
    void feedTrend(const TExchangeReport& report);
    // The value box greys out while the last good reading is older than two periods.
    void showValueAge();
    void buildMenus();
    void buildToolBar();
    void buildPanels();
    void buildValueGroup();
    void showFileError(const QString& title, const QString& path, const QString& detail);
    bool saveTo(const QString& path);

    TNoticeWords noticeWords_;
    // The exchange the notice tells of and its count of missed readings, so
    // that a late reply can be added.
    std::optional<std::chrono::steady_clock::time_point> noticeExchange_;
    int noticeMissed_ = 0;
    qint64 lastGoodReadingMs_ = -1; // monotonic time of the last good reading
    // Windows that delete themselves on close; the pointers follow.
    QPointer<TTrafficMonitor> monitor_;
    // Made at its first opening (its module loaded then) and kept, hidden
    // when closed, so that the session's readings and a recording go on.
    std::unique_ptr<TTrendHandle> trend_;
    QPointer<TDoctorWindow> doctor_;
    QPointer<TBusWindow> busView_;
    std::vector<void (TForm1::*)()> deferredCommands_;
    bool startReadingWhenIdle_ = false;
    int valueFontSize_ = 19;
};

// Program-wide reference to the main window, set before its constructor body runs.
extern TForm1* Form1;

// The dialogs created hidden at start-up (the calibration screen's Form8 is
// declared with its class). The commands build their own instances.
extern TForm4* Form4;
extern TForm5* Form5;
extern TForm6* Form6;
extern TForm7* Form7;

// The name of the current configuration file; "Untitled.txt" until one is chosen.
extern QString CurrentFileName;
inline const QString UntitledFileName = QStringLiteral("Untitled.txt");
