#pragma once
#include <QMainWindow>
#include <QString>
#include <cstdint>

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

// The main window: commands, summary panels, languages and the display exchanges.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Sets the application title, creates the main window and the start-up dialogs.
    static void startUp(QApplication& app);

    std::uint8_t LanguageIndex = 0;

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

    // Summary panels and languages
    void fillSerialPanel();
    void fillAnalogPanel();
    void fillRelayPanels();
    void applyLanguage();
    void setRelayIndicator(int relay, bool on);
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
    QTimer* Timer1 = nullptr;

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

private:
    void buildMenus();
    void buildToolBar();
    void buildPanels();
    void buildValueGroup();
    void showFileError(const QString& title, const QString& path, const QString& detail);
    bool saveTo(const QString& path);
};

// Program-wide reference to the main window, set before its constructor body runs.
extern TForm1* Form1;

// The name of the current configuration file; "Untitled.txt" until one is chosen.
extern QString CurrentFileName;
inline const QString UntitledFileName = QStringLiteral("Untitled.txt");
