#include "app/Qxtest.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QKeyEvent>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>
#include <QWindow>
#include <chrono>

#include "app/DeferredIcons.h"
#include "app/PngIcon.h"
#include "config/ConfigFile.h"
#include "config/DisplayConfig.h"
#include "config/MainPanelCaptions.h"
#include "config/PanelTexts.h"
#include "base/Texts.h"
#include "link/DisplayLink.h"
#include "session/DisplayLine.h"
#include "link/LinkTexts.h"
#include "protocol/Replies.h"
#include "protocol/Requests.h"
#include "serial/Zcomm.h"
#include "dialogs/Conflinser.h"
#include "dialogs/Confentanalogica.h"
#include "dialogs/Confreles.h"
#include "dialogs/Datoscalibracion.h"
#include "dialogs/Leerparamvis.h"
#include "dialogs/Password.h"
#include "dialogs/Selecidioma.h"
#include "dialogs/Testcom.h"
#include "dialogs/Version.h"
#include "trend/Setpoints.h"
#include "link/Doctor.h"
#include "windows/BusWindow.h"
#include "windows/DoctorWindow.h"
#include "windows/TrafficMonitor.h"
#include "windows/TrendModule.h"

TForm1* Form1 = nullptr;
QString CurrentFileName;

namespace {

// The main window's texts by language: 0 Catalan, 1 Spanish, 2 French, 3 English.
struct MainTexts {
    TTexts GroupBox3{"Valor del visualitzador", "Valor del visualizador", "Valeur du afficheur", "Display value"};
    TTexts ActuVisu{"Actualitzar valor", "Actualizar valor", "Mettre à jour valeur", "Update"};
    TTexts ActConti{"Actualitzar continuo", "Actualizar continuo", "Mettre à jour contin.", "Update running"};
    TTexts Label19{"RELE 1", "RELE 1", "RELAIS 1", "RELAY 1"};
    TTexts Label20{"RELE 2", "RELE 2", "RELAIS 2", "RELAY 2"};
    TTexts Label15{"Temps retard", "Tiempo retardo", "Temps retard", "Delay"};
    TTexts Label17{"Temps retard", "Tiempo retardo", "Temps retard", "Delay"};
    TTexts Archivo1{"Arxiu", "Archivo", "Fichier", "File"};
    TTexts Abrir1{"Obrir", "Abrir", "Ouvrir", "Open"};
    TTexts Nuevo1{"Nou", "Nuevo", "Nouveau", "New"};
    TTexts Guardar2{"Guardar", "Guardar", "Sauvegarde", "Save"};
    TTexts Guardar1{"Guardar com", "Guardar como", "Sauvegarde com", "Save as"};
    TTexts Salir1{"Sortir", "Salir", "Quitter", "Exit"};
    TTexts Configuracion1{"Configuració", "Configuración", "Configuration", "Setup"};
    TTexts Lneaserie1{"Visualitzador", "Visualizador", "Afficheur", "Display"};
    TTexts Entradaanalogica1{"Entrada analògica", "Entrada analógica", "Entrée analogique", "Analog input"};
    TTexts Reles1{"Reles", "Reles", "Relais", "Relays"};
    TTexts Idioma1{"Idioma", "Idioma", "Langue", "Language"};
    TTexts Comunicacion1{"Transmisió", "Transmisión", "Transmision", "Transmission"};
    TTexts Enviar1{"Enviar config. Analògica", "Enviar config. Analògica", "Envoyer config. Analogique",
        "Send analog setup"};
    TTexts Recibir1{"Rebre config. Analògica", "Recibir config. Analògica", "Recevoir config. Analogique",
        "Receive analog setup"};
    TTexts Leerparametros1{"Llegir paràmetres", "Leer parámetros", "Lire paramètres", "Read parameters"};
    TTexts Testcomunicacion1{"Test transmisió", "Test transmisión", "Test transmission", "Test transmission"};
    TTexts Ayuda1{"Ajuda", "Ayuda", "Aide", "Help"};
    TTexts Version1{"Versió", "Versión", "Version", "Version"};
    TTexts Menuayuda1{"Menu Ajuda", "Menu Ayuda", "Menu Aide", "Help menu"};
    TTexts ToolButton4{"Crear nova configuració", "Crear nueva configuración", "Ouvrir nouveau configuration",
        "New project"};
    TTexts ToolButton1{"Obrir arxiu", "Abrir archivo", "Ouvrir fichier", "File open"};
    TTexts ToolButton13{"Guardar configuració", "Guardar configuración", "Sauvegarde configuration", "Save project"};
    TTexts ToolButton6{"Configurar línia sèrie PC", "Configurar linea serie PC", "Configurer sortie série PC",
        "Setup serial line PC"};
    TTexts ToolButton8{"Configurar entrada analògica visualitzador", "Configurar entrada analógica visualizador",
        "Configurer entrée analogique afficheur", "Setup analog input"};
    TTexts ConfigRele{"Configurar reles", "Configurar reles", "Configurer relais", "Set relays"};
    TTexts ToolButton10{"Enviar configuració entrada analògica", "Enviar configuración entrada analógica",
        "Envoyer configuration entrée analogique", "Send analog input setup"};
    TTexts ToolButton11{"Llegir configuració entrada analògica", "Leer configuración entrada analógica",
        "Lire configuration entrée analogique", "Read analog input setup"};
    TTexts ToolButton3{"Llegir paràmetres del visualitzador", "Leer parámetros del visualizador",
        "Lire paramètres afficheur", "Read display parameters"};
    TTexts ToolButton14{"Test comunicació amb visualitzador", "Test comunicación con visualizador",
        "Test transmission afficheur", "Test transmission"};
    TTexts ToolButton7{"Tancar la aplicació", "Cerrar la aplicación", "Quitter", "Exit"};
};
const MainTexts mainTexts;

// The Tools menu, which the program adds after the communication menu.
const TTexts toolsMenuText{"Eines", "Herramientas", "Outils", "Tools"};
const TTexts trendText{"Tendència", "Tendencia", "Tendance", "Trend"};
const TTexts trafficMonitorText{"Monitor de trànsit", "Monitor de tráfico", "Moniteur de trafic", "Traffic monitor"};

const TTexts waitingForReceiveText{"S'espera la configuració del visualitzador abans d'obrir el diàleg",
    "Se espera la configuración del visualizador antes de abrir el diálogo",
    "Attente de la configuration de l'afficheur avant d'ouvrir la fenêtre",
    "Waiting for the display's setup before opening the dialog"};
const TTexts doctorHoldsPortText{"El diagnòstic de connexió està fent servir el port: espereu que acabi o cancel·leu-lo.",
    "El diagnóstico de conexión está usando el puerto: espere a que termine o cancélelo.",
    "Le diagnostic de connexion utilise le port : attendez qu'il se termine ou annulez-le.",
    "The connection doctor is using the port: wait for it to end or cancel it."};
const TTexts readingArmedText{"La lectura contínua començarà quan acabi l'intercanvi en curs",
    "La lectura continua empezará cuando termine el intercambio en curso",
    "La lecture continue commencera à la fin de l'échange en cours",
    "Continuous reading starts when the exchange under way ends"};
const TTexts readingDisarmedText{"Lectura contínua anul·lada", "Lectura continua anulada", "Lecture continue annulée",
    "Continuous reading cancelled"};
const TTexts newFileText{"%1 no existeix: en desar es crearà", "%1 no existe: al guardar se creará",
    "%1 n'existe pas : l'enregistrement le créera", "%1 does not exist: Save will create it"};
const TTexts languageNotKeptText{"Aquest idioma s'usarà fins que es tanqui el programa: no s'ha pogut desar a %1.",
    "Este idioma se usará hasta cerrar el programa: no se ha podido guardar en %1.",
    "Cette langue sera utilisée jusqu'à la fermeture du programme : elle n'a pas pu être enregistrée dans %1.",
    "This language is used until the program closes: it could not be kept in %1."};

// Qt's own dialogs and buttons (the file dialogs, a message box's Yes and No)
// speak the window's language, from Qt's translations as Debian ships them;
// English is Qt's own. Without the files they stay English.
void useQtTranslations(TLanguage language)
{
    static QPointer<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
    static const char* const names[] = {"qtbase_ca", "qtbase_es", "qtbase_fr"};
    if (language == TLanguage::English)
        return;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QString::fromLatin1(names[languagePlace(language)]), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
        installed = translator;
    } else {
        delete translator;
    }
}

// Texts of the messages this program adds, by language.
const TTexts openFailedText{"No s'ha pogut obrir l'arxiu", "No se ha podido abrir el archivo",
    "Impossible d'ouvrir le fichier", "The file could not be opened"};

QString u8(const char* s) { return QString::fromUtf8(s); }

const QColor teal(0, 128, 128);
const QColor navy(0, 0, 128);
const QColor green(0, 128, 0);
const QColor red(255, 0, 0);
const QColor lime(0, 255, 0);

QFont boldFont(int pixelSize = 11)
{
    QFont f = QApplication::font();
    f.setPixelSize(pixelSize);
    f.setBold(true);
    return f;
}

QAction* makeAction(QObject* parent, const char* name, const char* caption, const char* icon = nullptr)
{
    auto* a = new QAction(u8(caption), parent);
    a->setObjectName(QString::fromLatin1(name));
    if (icon)
        a->setIcon(pngIcon(icon, {16, 24, 32, 48}));
    return a;
}

// Runs `then` once `window` has been exposed and painted for the first time
// (on X11 the window is mapped only when the event loop runs). Nothing runs
// when the window goes first.
class TFirstExposure : public QObject {
public:
    TFirstExposure(QWidget* window, std::function<void()> then) : QObject(window), then_(std::move(then))
    {
        window->windowHandle()->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            // Posted: the window paints the exposed area before this runs.
            QTimer::singleShot(0, parent(), std::move(then_));
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> then_;
};

void whenFirstExposed(QWidget* window, std::function<void()> then)
{
    new TFirstExposure(window, std::move(then));
}

// The cycle of every editing command: a new dialog filled from the
// configuration, shown modally, written back on the storing result, destroyed.
template <typename Dialog>
void editConfiguration(QWidget* owner, int languageIndex, QDialog::DialogCode storeOn)
{
    Dialog dialog(owner, languageIndex);
    dialog.loadFrom(DisplayConfig);
    if (dialog.exec() == storeOn)
        dialog.storeTo(DisplayConfig);
}

} // namespace

TForm1::TForm1(QWidget* parent) : TForm1(parent, makeSystemSerialBackend) {}

TForm1::TForm1(QWidget* parent, std::function<std::unique_ptr<TSerialBackend>()> serialBackend) : QMainWindow(parent)
{
    Form1 = this;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("DA DIZ 1.1"));

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(central);
    buildMenus();
    buildToolBar();
    buildPanels();
    buildValueGroup();

    StatusBar1 = new QLabel(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedWidth(200);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->setFixedHeight(19);
    statusBar()->addWidget(StatusBar1);
    NoticeLabel = new QLabel(this);
    NoticeLabel->setObjectName(QStringLiteral("NoticeLabel"));
    NoticeLabel->setFixedWidth(380);
    NoticeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    statusBar()->addPermanentWidget(NoticeLabel);

    // The display's line and session: the port is opened for each exchange
    // with the line settings of the configuration, and closed after it.
    line_ = new TDisplayLine(std::move(serialBackend), this);
    line_->setObjectName(QStringLiteral("Line"));
    line_->port().setObjectName(QStringLiteral("ZComm1"));
    line_->link().setObjectName(QStringLiteral("Link"));
    line_->setLineSource([]() -> const TDisplayConfig& { return DisplayConfig; });
    line_->setReplyTimeout(configuredReplyTimeoutMs());
    session_ = new TDisplaySession(*line_, DisplayConfig, this);
    session_->setObjectName(QStringLiteral("Session"));
    // While the doctor has the port, opening it would only say it is busy, as if another program held it.
    session_->setLineHolder([this] { return doctorRunning() || (busView_ && busView_->holdsLine()); });
    connect(session_, &TDisplaySession::reading, this, &TForm1::showReading);
    connect(session_, &TDisplaySession::staleChanged, this, &TForm1::showStale);
    connect(session_, &TDisplaySession::exchangeEnded, this, &TForm1::showExchangeEnd);
    connect(session_, &TDisplaySession::requestNotStarted, this, &TForm1::showRequestNotStarted);
    connect(session_, &TDisplaySession::readingToggled, this, &TForm1::showReadingToggle);
    connect(session_, &TDisplaySession::stateChanged, this, &TForm1::showReadingState);
    connect(session_, &TDisplaySession::lateReply, this, &TForm1::noteLateReply);
    connect(session_, &TDisplaySession::configurationReceived, this, [this] {
        fillAnalogPanel();
        fillRelayPanels();
    });
    connect(session_, &TDisplaySession::calibrationReceived, this, [this](const TCalibrationTexts& texts) {
        // A reply that comes after the screen has closed is dropped.
        if (calibration_)
            calibration_->showCalibration(texts);
    });
    connect(line_, &TDisplayLine::lineError, this, [this](int error) { ErrorComuni(error, "Read Error"); });
    // The component's own word for a lost device is the window's, in its language.
    connect(line_, &TDisplayLine::lineLost, this, [this] { ErrorComuni(0, deviceDisconnectedText(language())); });
    qApp->installEventFilter(this);

    setFixedSize(600, 600);

    // Start-up, in order: panels from the all-zero record, value box, indicators,
    // New, then the language of the settings file.
    fillSerialPanel();
    fillAnalogPanel();
    fillRelayPanels();
    Edit[14]->setText(QStringLiteral("   "));
    setRelayIndicator(1, false);
    setRelayIndicator(2, false);
    Nuevo1Click();
    LanguageIndex = readLanguageFile();
    applyLanguage();
}

TForm1::~TForm1()
{
    // The session goes before the line it uses.
    delete session_;
    session_ = nullptr;
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::startUp(QApplication& app)
{
    // The task-bar title. Only the application name is set: a display name
    // would be appended to every window caption.
    app.setApplicationName(QStringLiteral("QX Test"));
    // The desktop matches the windows to the menu entry and its icon.
    app.setDesktopFileName(QStringLiteral("cat.dadiz.DADiz"));
    app.setWindowIcon(pngIcon("cat.dadiz.DADiz", {16, 24, 32, 48, 64, 128}));
    app.setStyle(new TDeferredIconStyle);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(11);
    app.setFont(f);
    auto* w = new TForm1;
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    // The dialogs made hidden at start-up go with the main window; the
    // commands build their own instances. They are made once the window is
    // on screen, so that they do not hold up its first appearance.
    const int language = w->LanguageIndex;
    whenFirstExposed(w, [w, language] {
        new TForm4(w, language);
        new TForm5(w, language);
        new TForm6(w, language);
        new TForm7(w, language);
        Form8 = new TForm8(w, language, {});
        QObject::connect(w, &QObject::destroyed, [] { Form8 = nullptr; });
    });
}

void TForm1::buildMenus()
{
    QMenuBar* bar = menuBar();
    Archivo1 = bar->addMenu(u8("Archivo"));
    Archivo1->setObjectName(QStringLiteral("Archivo1"));
    Abrir1 = makeAction(this, "Abrir1", "Abrir", "open");
    Abrir1->setShortcut(QKeySequence(QStringLiteral("Ctrl+A")));
    Nuevo1 = makeAction(this, "Nuevo1", "Nuevo", "new");
    Nuevo1->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
    Guardar2 = makeAction(this, "Guardar2", "Guardar", "save");
    Guardar2->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    Guardar1 = makeAction(this, "Guardar1", "Guardar como");
    Salir1 = makeAction(this, "Salir1", "Salir", "exit");
    Archivo1->addActions({Abrir1, Nuevo1, Guardar2, Guardar1, Salir1});

    Configuracion1 = bar->addMenu(u8("Configuración"));
    Configuracion1->setObjectName(QStringLiteral("Configuracion1"));
    Lneaserie1 = makeAction(this, "Lneaserie1", "Visualizador", "serial");
    Lneaserie1->setShortcut(QKeySequence(Qt::Key_F2));
    Entradaanalogica1 = makeAction(this, "Entradaanalogica1", "Entrada analógica", "analog");
    Entradaanalogica1->setShortcut(QKeySequence(Qt::Key_F3));
    Reles1 = makeAction(this, "Reles1", "Reles ", "relays");
    Reles1->setShortcut(QKeySequence(Qt::Key_F4));
    Idioma1 = makeAction(this, "Idioma1", "Idioma", "language");
    Idioma1->setShortcut(QKeySequence(Qt::Key_F5));
    Configuracion1->addActions({Lneaserie1, Entradaanalogica1, Reles1, Idioma1});

    Comunicacion1 = bar->addMenu(u8("Comunicación"));
    Comunicacion1->setObjectName(QStringLiteral("Comunicacion1"));
    Enviar1 = makeAction(this, "Enviar1", "Enviar config. Analògica", "send");
    Enviar1->setShortcut(QKeySequence(QStringLiteral("Ctrl+E")));
    Recibir1 = makeAction(this, "Recibir1", "Recibir config. Analògica", "receive");
    Recibir1->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
    Leerparametros1 = makeAction(this, "Leerparametros1", "Leer parámetros", "params");
    Leerparametros1->setShortcut(QKeySequence(QStringLiteral("Ctrl+L")));
    Leerparametros1->setEnabled(false);
    Testcomunicacion1 = makeAction(this, "Testcomunicacion1", "Test comunicación", "test");
    Testcomunicacion1->setShortcut(QKeySequence(QStringLiteral("Ctrl+T")));
    Testcomunicacion1->setEnabled(false);
    Comunicacion1->addActions({Enviar1, Recibir1, Leerparametros1, Testcomunicacion1});

    toolsMenu = bar->addMenu(u8(toolsMenuText.pick(TLanguage::Spanish)));
    toolsMenu->setObjectName(QStringLiteral("toolsMenu"));
    trafficMonitorItem = makeAction(this, "trafficMonitorItem", trafficMonitorText.pick(TLanguage::Spanish));
    trendItem = makeAction(this, "trendItem", trendText.pick(TLanguage::Spanish));
    doctorItem = makeAction(this, "doctorItem", doctorWindowTitle(TLanguage::Spanish).c_str());
    busViewItem = makeAction(this, "busViewItem", busWindowTitle(TLanguage::Spanish).c_str());
    toolsMenu->addActions({trafficMonitorItem, trendItem, doctorItem, busViewItem});

    Ayuda1 = bar->addMenu(u8("Ayuda"));
    Ayuda1->setObjectName(QStringLiteral("Ayuda1"));
    Version1 = makeAction(this, "Version1", "Versión", "version");
    Version1->setShortcut(QKeySequence(Qt::Key_F12));
    Menuayuda1 = makeAction(this, "Menuayuda1", "Menu ayuda", "help");
    Menuayuda1->setShortcut(QKeySequence(Qt::Key_F1));
    Menuayuda1->setEnabled(false);
    Ayuda1->addActions({Version1, Menuayuda1});

    connect(Abrir1, &QAction::triggered, this, &TForm1::Abrir1Click);
    connect(Nuevo1, &QAction::triggered, this, &TForm1::Nuevo1Click);
    connect(Guardar2, &QAction::triggered, this, &TForm1::Guardar2Click);
    connect(Guardar1, &QAction::triggered, this, &TForm1::Guardar1Click);
    connect(Salir1, &QAction::triggered, this, &TForm1::Salir1Click);
    connect(Lneaserie1, &QAction::triggered, this, &TForm1::Lneaserie1Click);
    connect(Entradaanalogica1, &QAction::triggered, this, &TForm1::Entradaanalogica1Click);
    connect(Reles1, &QAction::triggered, this, &TForm1::ConfigReleClick);
    connect(Idioma1, &QAction::triggered, this, &TForm1::SelectIdioma);
    connect(Enviar1, &QAction::triggered, this, &TForm1::EnviarConfig);
    // The menu item reads the configuration as its toolbar twin does.
    connect(Recibir1, &QAction::triggered, this, &TForm1::LlegirParamAnalog);
    connect(Leerparametros1, &QAction::triggered, this, &TForm1::Leerparametros1Click);
    connect(Testcomunicacion1, &QAction::triggered, this, &TForm1::Testcomunicacion1Click);
    connect(Version1, &QAction::triggered, this, &TForm1::Version1Click);
    connect(trafficMonitorItem, &QAction::triggered, this, &TForm1::openTrafficMonitor);
    connect(trendItem, &QAction::triggered, this, &TForm1::openTrend);
    connect(doctorItem, &QAction::triggered, this, &TForm1::openConnectionDoctor);
    connect(busViewItem, &QAction::triggered, this, &TForm1::openBusView);
}

void TForm1::buildToolBar()
{
    ToolBar1 = new QToolBar(centralWidget());
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setGeometry(0, 0, 600, 29);
    ToolBar1->setIconSize(QSize(20, 20));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);

    ToolButton4 = makeAction(this, "ToolButton4", "Crear nueva configuración", "new");
    ToolButton1 = makeAction(this, "ToolButton1", "Abrir archivo", "open");
    ToolButton13 = makeAction(this, "ToolButton13", "Guardar configuración", "save");
    ToolButton6 = makeAction(this, "ToolButton6", "Configurar línea serie PC", "serial");
    ToolButton8 = makeAction(this, "ToolButton8", "Configurar entrada analógica visualizador", "analog");
    ConfigRele = makeAction(this, "ConfigRele", "Configurar reles", "relays");
    ToolButton10 = makeAction(this, "ToolButton10", "Enviar configuración entrada analògica", "send");
    ToolButton11 = makeAction(this, "ToolButton11", "Leer configuración entrada analògica", "receive");
    ToolButton3 = makeAction(this, "ToolButton3", "Leer parámetros del visualizador", "params");
    ToolButton14 = makeAction(this, "ToolButton14", "Test comunicación con visualizador", "test");
    ToolButton7 = makeAction(this, "ToolButton7", "Cerrar la aplicación", "exit");
    ToolButton3->setEnabled(false);
    ToolButton14->setEnabled(false);

    // A narrow separator first, then the groups.
    auto* lead = new QWidget(ToolBar1);
    lead->setFixedWidth(4);
    ToolBar1->addWidget(lead);
    ToolBar1->addActions({ToolButton4, ToolButton1, ToolButton13});
    ToolBar1->addSeparator();
    ToolBar1->addActions({ToolButton6, ToolButton8, ConfigRele});
    ToolBar1->addSeparator();
    ToolBar1->addActions({ToolButton10, ToolButton11, ToolButton3, ToolButton14});
    ToolBar1->addSeparator();
    ToolBar1->addAction(ToolButton7);
    for (QAction* a : ToolBar1->actions()) {
        // The hint is the tooltip; the caption is the hint as well, never shown.
        a->setToolTip(a->text());
        if (QWidget* w = ToolBar1->widgetForAction(a); w && !a->objectName().isEmpty())
            w->setObjectName(a->objectName());
    }

    connect(ToolButton4, &QAction::triggered, this, &TForm1::Nuevo1Click);
    connect(ToolButton1, &QAction::triggered, this, &TForm1::Abrir1Click);
    connect(ToolButton13, &QAction::triggered, this, &TForm1::Guardar2Click);
    connect(ToolButton6, &QAction::triggered, this, &TForm1::Lneaserie1Click);
    connect(ToolButton8, &QAction::triggered, this, &TForm1::Entradaanalogica1Click);
    connect(ConfigRele, &QAction::triggered, this, &TForm1::ConfigReleClick);
    connect(ToolButton10, &QAction::triggered, this, &TForm1::EnviarConfig);
    connect(ToolButton11, &QAction::triggered, this, &TForm1::LlegirParamAnalog);
    connect(ToolButton3, &QAction::triggered, this, &TForm1::Leerparametros1Click);
    connect(ToolButton14, &QAction::triggered, this, &TForm1::Testcomunicacion1Click);
    connect(ToolButton7, &QAction::triggered, this, &TForm1::Salir1Click);
}

void TForm1::buildPanels()
{
    QWidget* area = centralWidget();
    // Group box captions teal and bold, labels navy and bold, boxes black and bold.
    area->setStyleSheet(QStringLiteral(
        "QGroupBox { color: #008080; font-weight: bold; }"
        "QGroupBox QLabel { color: #000080; font-weight: bold; }"
        "QGroupBox QLabel:disabled { color: #808080; }"
        "QGroupBox QLineEdit { color: black; font-weight: bold; }"
        "QGroupBox QLineEdit:disabled { color: #808080; }"
        "QGroupBox QLineEdit[stale=\"true\"] { color: #A0A0A0; }"));

    auto group = [&](QGroupBox*& box, const char* name, const char* caption, int x, int y, int w, int h) {
        box = new QGroupBox(u8(caption), area);
        box->setObjectName(QString::fromLatin1(name));
        box->setGeometry(x, y, w, h);
    };
    auto label = [&](int n, QWidget* parent, const char* text, int x, int y, int w = 0) {
        auto* l = new QLabel(u8(text), parent);
        l->setObjectName(QStringLiteral("Label%1").arg(n));
        l->move(x, y);
        if (w)
            l->resize(w, 18);
        Label[n] = l;
        return l;
    };
    auto edit = [&](int n, QWidget* parent, int x, int y, int w, int h = 21) {
        auto* e = new QLineEdit(parent);
        e->setObjectName(QStringLiteral("Edit%1").arg(n));
        e->setGeometry(x, y, w, h);
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        Edit[n] = e;
        return e;
    };

    group(GroupBox1, "GroupBox1", "Configuración visualizador", 8, 32, 313, 145);
    // Two columns: the line on the left, data bits, address and digits on the right.
    label(1, GroupBox1, "Puerto", 8, 22, 86);
    edit(1, GroupBox1, 96, 20, 56);
    label(2, GroupBox1, "Velocidad", 8, 52, 86);
    edit(2, GroupBox1, 96, 50, 56);
    label(3, GroupBox1, "Paridad", 8, 82, 86);
    edit(3, GroupBox1, 96, 80, 56);
    label(4, GroupBox1, "Bits de stop", 8, 112, 86);
    edit(4, GroupBox1, 96, 110, 56);
    label(5, GroupBox1, "Bits de datos", 162, 22, 96);
    edit(5, GroupBox1, 262, 20, 42);
    label(13, GroupBox1, "Dirección", 162, 52, 96);
    edit(13, GroupBox1, 262, 50, 42);
    label(14, GroupBox1, "Num. digitos", 162, 82, 96);
    edit(15, GroupBox1, 262, 80, 42);

    group(GroupBox2, "GroupBox2", "Configuración entrada analógica", 8, 184, 313, 201);
    for (int row = 0; row < 7; ++row) {
        label(6 + row, GroupBox2, "", 8, 22 + row * 25, 168);
        edit(6 + row, GroupBox2, 180, 20 + row * 25, 124);
    }

    group(GroupBox4, "GroupBox4", "Configuración rele 1", 328, 32, 257, 169);
    group(GroupBox5, "GroupBox5", "Configuración rele 2", 327, 208, 257, 177);
    auto relay = [&](QGroupBox* box, QLabel*& trigger, const char* name, int delayLabel, int levelLabel, int delayEdit,
                     int levelEdit) {
        trigger = new QLabel(box);
        trigger->setObjectName(QString::fromLatin1(name));
        trigger->setGeometry(8, 24, 241, 36);
        trigger->setWordWrap(true);
        label(delayLabel, box, "Tiempo retardo", 8, 78, 130);
        edit(delayEdit, box, 144, 76, 104);
        label(levelLabel, box, "Nivel disparo", 8, 118, 130);
        edit(levelEdit, box, 144, 116, 104);
    };
    relay(GroupBox4, DisparRele1, "DisparRele1", 15, 16, 16, 17);
    relay(GroupBox5, DisparRele2, "DisparRele2", 17, 18, 18, 19);
}

void TForm1::buildValueGroup()
{
    QWidget* area = centralWidget();
    GroupBox3 = new QGroupBox(u8("Valor del visualizador"), area);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    GroupBox3->setGeometry(8, 392, 577, 129);

    QLineEdit* value = new QLineEdit(GroupBox3);
    value->setObjectName(QStringLiteral("Edit14"));
    value->setGeometry(48, 24, 81, 32);
    value->setReadOnly(true);
    value->setFocusPolicy(Qt::NoFocus);
    value->setFont(boldFont(19));
    value->setTextMargins(0, 0, 0, 0);
    value->setStyleSheet(QStringLiteral("QLineEdit { font-size: 19px; padding: 0px 1px; }"));
    Edit[14] = value;

    auto button = [&](QPushButton*& b, const char* name, const char* caption, int x, int y, int w, int h) {
        b = new QPushButton(u8(caption), GroupBox3);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, y, w, h);
    };
    button(ActuVisu, "ActuVisu", "Actualizar Valor", 8, 64, 161, 25);
    button(ActConti, "ActConti", "Actualizar continuo", 8, 96, 161, 25);
    ActConti->setStyleSheet(QStringLiteral("QPushButton { color: #008000; font-weight: bold; }"));
    button(Tara, "Tara", "Tara", 208, 24, 105, 25);
    button(ResetTara, "ResetTara", "Reset Tara", 328, 24, 105, 25);
    connect(ActuVisu, &QPushButton::clicked, this, &TForm1::LlegirDisplay);
    connect(ActConti, &QPushButton::clicked, this, &TForm1::ModActualit);

    auto* tareLabel = new QLabel(u8("Tara actual"), GroupBox3);
    tareLabel->setObjectName(QStringLiteral("Label21"));
    tareLabel->setGeometry(208, 64, 110, 18);
    Label[21] = tareLabel;
    auto* tare = new QLineEdit(QStringLiteral("0"), GroupBox3);
    tare->setObjectName(QStringLiteral("Edit20"));
    tare->setGeometry(328, 56, 105, 32);
    Edit[20] = tare;

    auto indicator = [&](int n, QFrame*& shape, QLabel*& pilot, const char* text, int y) {
        auto* caption = new QLabel(u8(text), GroupBox3);
        caption->setObjectName(QStringLiteral("Label%1").arg(n));
        caption->setGeometry(496, y, 70, 16);
        Label[n] = caption;
        shape = new QFrame(GroupBox3);
        shape->setObjectName(QStringLiteral("Shape%1").arg(n - 18));
        shape->setGeometry(496, y + 16, 57, 33);
        shape->setFrameShape(QFrame::Box);
        shape->setAutoFillBackground(true);
        pilot = new QLabel(shape);
        pilot->setObjectName(QStringLiteral("Pilot%1").arg(n - 18));
        pilot->setGeometry(1, 1, 55, 31);
        pilot->setAlignment(Qt::AlignCenter);
        pilot->setAutoFillBackground(true);
        pilot->setFont(boldFont(11));
    };
    indicator(19, Shape1, Pilot1, "RELE 1", 16);
    indicator(20, Shape2, Pilot2, "RELE 2", 72);
}

void TForm1::setRelayIndicator(int relay, bool on)
{
    QFrame* shape = relay == 1 ? Shape1 : Shape2;
    QLabel* pilot = relay == 1 ? Pilot1 : Pilot2;
    const QColor colour = on ? red : lime;
    for (QWidget* w : {static_cast<QWidget*>(shape), static_cast<QWidget*>(pilot)}) {
        QPalette p = w->palette();
        p.setColor(QPalette::Window, colour);
        w->setPalette(p);
    }
    pilot->setText(on ? QStringLiteral("ON") : QStringLiteral("OFF"));
}

void TForm1::fillSerialPanel()
{
    const SerialPanelText t = serialPanelText(DisplayConfig);
    Edit[1]->setText(u8(t.port.c_str()));
    Edit[2]->setText(u8(t.baud.c_str()));
    Edit[3]->setText(u8(t.parity.c_str()));
    Edit[4]->setText(u8(t.stopBits.c_str()));
    Edit[5]->setText(u8(t.dataBits.c_str()));
    Edit[13]->setText(u8(t.address.c_str()));
    Edit[15]->setText(u8(t.digits.c_str()));
}

void TForm1::fillAnalogPanel()
{
    const AnalogPanelText t = analogPanelText(DisplayConfig, language());
    for (int row = 0; row < 7; ++row) {
        if (t.label[row])
            Label[6 + row]->setText(u8(t.label[row]->c_str()));
        if (t.value[row])
            Edit[6 + row]->setText(u8(t.value[row]->c_str()));
    }
    if (t.lastRowsShown) {
        const bool shown = *t.lastRowsShown;
        Label[11]->setEnabled(shown);
        Edit[11]->setVisible(shown);
        Label[12]->setEnabled(shown);
        Edit[12]->setVisible(shown);
    }
}

void TForm1::fillRelayPanels()
{
    // Every change of the relays or the decimal point comes through here.
    if (trend_)
        trend_->setSetpoints(trendSetpoints(DisplayConfig));
    struct Controls {
        QLabel* trigger;
        QLabel* delayLabel;
        QLabel* levelLabel;
        QLineEdit* delay;
        QLineEdit* level;
    };
    const Controls relays[2] = {
        {DisparRele1, Label[15], Label[16], Edit[16], Edit[17]},
        {DisparRele2, Label[17], Label[18], Edit[18], Edit[19]},
    };
    for (int i = 0; i < 2; ++i) {
        const RelayPanelText t = relayPanelText(DisplayConfig, i + 1, language());
        const Controls& c = relays[i];
        c.delayLabel->setText(u8(t.delayLabel.c_str()));
        c.trigger->setText(u8(t.triggerText.c_str()));
        c.delay->setText(u8(t.delay.c_str()));
        c.level->setText(u8(t.setpoint.c_str()));
        for (QWidget* w : {static_cast<QWidget*>(c.trigger), static_cast<QWidget*>(c.delayLabel),
                 static_cast<QWidget*>(c.levelLabel), static_cast<QWidget*>(c.delay), static_cast<QWidget*>(c.level)})
            w->setEnabled(t.enabled);
    }
}

void TForm1::applyLanguage()
{
    // An index that names no language keeps the window's built-in texts.
    if (const std::optional<TLanguage> named = languageAt(LanguageIndex)) {
        const TLanguage l = *named;
        const MainTexts& t = mainTexts;
        // The summary panels' captions are shared with the command-line tool.
        const MainPanelCaptions& panel = mainPanelCaptions(l);
        GroupBox1->setTitle(u8(panel.serialGroup));
        GroupBox2->setTitle(u8(panel.analogGroup));
        GroupBox4->setTitle(u8(panel.relay1Group));
        GroupBox5->setTitle(u8(panel.relay2Group));
        const std::pair<int, const char*> panelLabels[] = {{1, panel.port}, {2, panel.baud}, {3, panel.parity},
            {4, panel.stopBits}, {5, panel.dataBits}, {13, panel.address}, {14, panel.digits}, {16, panel.threshold},
            {18, panel.threshold}};
        for (const auto& [n, text] : panelLabels)
            Label[n]->setText(u8(text));
        GroupBox3->setTitle(u8(t.GroupBox3.pick(l)));
        const std::pair<int, const TTexts*> labels[] = {
            {15, &t.Label15}, {17, &t.Label17}, {19, &t.Label19}, {20, &t.Label20}};
        for (const auto& [n, texts] : labels)
            Label[n]->setText(u8(texts->pick(l)));
        ActuVisu->setText(u8(t.ActuVisu.pick(l)));
        ActConti->setText(u8(t.ActConti.pick(l)));
        Archivo1->setTitle(u8(t.Archivo1.pick(l)));
        Configuracion1->setTitle(u8(t.Configuracion1.pick(l)));
        Comunicacion1->setTitle(u8(t.Comunicacion1.pick(l)));
        Ayuda1->setTitle(u8(t.Ayuda1.pick(l)));
        const std::pair<QAction*, const TTexts*> items[] = {{Abrir1, &t.Abrir1}, {Nuevo1, &t.Nuevo1},
            {Guardar2, &t.Guardar2}, {Guardar1, &t.Guardar1}, {Salir1, &t.Salir1}, {Lneaserie1, &t.Lneaserie1},
            {Entradaanalogica1, &t.Entradaanalogica1}, {Reles1, &t.Reles1}, {Idioma1, &t.Idioma1},
            {Enviar1, &t.Enviar1}, {Recibir1, &t.Recibir1}, {Leerparametros1, &t.Leerparametros1},
            {Testcomunicacion1, &t.Testcomunicacion1}, {Version1, &t.Version1}, {Menuayuda1, &t.Menuayuda1}};
        for (const auto& [action, texts] : items)
            action->setText(u8(texts->pick(l)));
        const std::pair<QAction*, const TTexts*> hints[] = {{ToolButton4, &t.ToolButton4},
            {ToolButton1, &t.ToolButton1}, {ToolButton13, &t.ToolButton13}, {ToolButton6, &t.ToolButton6},
            {ToolButton8, &t.ToolButton8}, {ConfigRele, &t.ConfigRele}, {ToolButton10, &t.ToolButton10},
            {ToolButton11, &t.ToolButton11}, {ToolButton3, &t.ToolButton3}, {ToolButton14, &t.ToolButton14},
            {ToolButton7, &t.ToolButton7}};
        for (const auto& [action, texts] : hints) {
            action->setText(u8(texts->pick(l)));
            action->setToolTip(u8(texts->pick(l)));
        }
    }
    const TLanguage l = language();
    toolsMenu->setTitle(u8(toolsMenuText.pick(l)));
    trafficMonitorItem->setText(u8(trafficMonitorText.pick(l)));
    trendItem->setText(u8(trendText.pick(l)));
    doctorItem->setText(QString::fromStdString(doctorWindowTitle(l)));
    busViewItem->setText(QString::fromStdString(busWindowTitle(l)));
    // Every window follows at once.
    useQtTranslations(l);
    if (trend_)
        trend_->setLanguage(l);
    if (monitor_)
        monitor_->setLanguage(l);
    if (doctor_)
        doctor_->setLanguage(l);
    if (busView_)
        busView_->setLanguage(l);
    sayNotice();
    fillAnalogPanel();
    fillRelayPanels();
}

void TForm1::showCurrentFileName()
{
    StatusBar1->setText(CurrentFileName);
}

void TForm1::Nuevo1Click()
{
    resetToDefaults(DisplayConfig);
    fillSerialPanel();
    fillAnalogPanel();
    fillRelayPanels();
    CurrentFileName = UntitledFileName;
    showCurrentFileName();
}

void TForm1::showFileError(const QString& title, const QString& path, const QString& detail)
{
    QMessageBox box(QMessageBox::Warning, windowTitle(), title, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("FileErrorBox"));
    box.setInformativeText(detail.isEmpty() ? path : detail);
    box.exec();
}

void TForm1::Abrir1Click()
{
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString chosen = dialog.selectedFiles().constFirst();

    TDisplayConfig loaded = DisplayConfig;
    const FileResult r = loadConfigFile(chosen.toStdString(), loaded);
    if (!r.ok && r.error == ENOENT) {
        // A name that does not exist yet becomes the file the next Save creates.
        CurrentFileName = chosen;
        showCurrentFileName();
        showNotice(fixedNotice(newFileText, QFileInfo(chosen).fileName().toStdString()));
        return;
    }
    if (!r.ok) {
        showFileError(u8(openFailedText.pick(language())), chosen,
            QString::fromStdString(describeFileError(chosen.toStdString(), r, language())));
        return;
    }
    CurrentFileName = chosen;
    DisplayConfig = loaded;
    fillSerialPanel();
    fillAnalogPanel();
    fillRelayPanels();
    showCurrentFileName();
}

bool TForm1::saveTo(const QString& path)
{
    const FileResult r = saveConfigFile(path.toStdString(), DisplayConfig);
    if (r.ok)
        return true;
    // The create call's failed result is -1; the reason follows as plain words.
    showFileError(QStringLiteral("No guardado-1"), path,
        QString::fromStdString(describeFileError(path.toStdString(), r, language())));
    return false;
}

void TForm1::Guardar1Click()
{
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QFileInfo current(CurrentFileName);
    if (CurrentFileName != UntitledFileName)
        dialog.setDirectory(current.absolutePath());
    dialog.selectFile(current.fileName());
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        CurrentFileName = dialog.selectedFiles().constFirst();
        saveTo(CurrentFileName);
    }
    showCurrentFileName();
}

void TForm1::Guardar2Click()
{
    if (CurrentFileName == UntitledFileName) {
        Guardar1Click();
        return;
    }
    saveTo(CurrentFileName);
    showCurrentFileName();
}

void TForm1::Salir1Click()
{
    close();
}

void TForm1::Lneaserie1Click()
{
    editConfiguration<TForm2>(this, LanguageIndex, QDialog::Accepted);
    fillSerialPanel();
}
bool TForm1::waitForReceive(void (TForm1::*command)())
{
    // The dialogs open once the reply is in the configuration, one after the other.
    const int key = command == &TForm1::Entradaanalogica1Click ? 1 : 2;
    if (!session_->runAfterReceive(key, [this, command] { (this->*command)(); }))
        return false;
    showNotice(fixedNotice(waitingForReceiveText));
    return true;
}

void TForm1::Entradaanalogica1Click()
{
    if (waitForReceive(&TForm1::Entradaanalogica1Click))
        return;
    editConfiguration<TForm3>(this, LanguageIndex, QDialog::Accepted);
    fillAnalogPanel();
    fillRelayPanels();
}

void TForm1::ConfigReleClick()
{
    if (waitForReceive(&TForm1::ConfigReleClick))
        return;
    editConfiguration<TForm9>(this, LanguageIndex, QDialog::Accepted);
    fillRelayPanels();
}
void TForm1::SelectIdioma()
{
    TForm10 dialog(this, LanguageIndex);
    dialog.setItemIndex(LanguageIndex);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const int chosen = dialog.itemIndex();
    if (chosen < 0 || chosen > 3) {
        applyLanguage();
        return;
    }
    const FileResult kept = writeLanguageFile(static_cast<std::uint8_t>(chosen));
    // The language is used for this run even where the settings file cannot
    // keep it; the technician is told why it will not come back.
    LanguageIndex = static_cast<std::uint8_t>(chosen);
    applyLanguage();
    if (kept.ok)
        return;
    const QString path = QDir::current().absoluteFilePath(QString::fromLatin1(LanguageFileName));
    QMessageBox box(QMessageBox::Warning, windowTitle(),
        QString::fromStdString(fillIn(languageNotKeptText.pick(language()), {path.toStdString()})),
        QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("LanguageNotKeptBox"));
    box.setInformativeText(QString::fromStdString(describeFileError(path.toStdString(), kept, language())));
    box.exec();
}
void TForm1::Leerparametros1Click()
{
    editConfiguration<TForm5>(this, LanguageIndex, QDialog::Accepted);
    fillSerialPanel();
}

void TForm1::Testcomunicacion1Click()
{
    // The test dialog keeps its values when left with its exit button (Cancel).
    editConfiguration<TForm6>(this, LanguageIndex, QDialog::Rejected);
}
void TForm1::Version1Click()
{
    TForm4 dialog(this, LanguageIndex);
    dialog.exec();
}

void TForm1::openTrafficMonitor()
{
    if (!monitor_)
        monitor_ = new TTrafficMonitor(this, language(), line_->link());
    monitor_->show();
    monitor_->raise();
    monitor_->activateWindow();
}

void TForm1::openTrend()
{
    if (!trend_) {
        TTrendOpening opening = openTrendWindow(language(), trendSetpoints(DisplayConfig), this);
        if (!opening.handle) {
            QMessageBox box(QMessageBox::Warning, windowTitle(), opening.error, QMessageBox::Ok, this);
            box.setObjectName(QStringLiteral("TrendModuleBox"));
            box.exec();
            return;
        }
        trend_ = std::move(opening.handle);
    }
    QWidget* window = trend_->widget();
    window->show();
    window->raise();
    window->activateWindow();
}

void TForm1::openConnectionDoctor()
{
    if (!doctor_) {
        // It may not run beside an exchange of the window's own, nor while the
        // line is held for a late reply: both would use the port.
        auto mayRun = [this](TLanguage language) -> std::string {
            if (session_->continuousReading())
                return doctorRefusalText(TDoctorRefusal::ContinuousReading, language);
            if (line_->busy())
                return doctorRefusalText(TDoctorRefusal::ExchangePending, language);
            if (busView_ && busView_->holdsLine())
                return busHoldsLineText(language);
            return {};
        };
        auto useFound = [this](const TFoundLine& found) {
            applyFoundLine(found, DisplayConfig);
            fillSerialPanel();
        };
        doctor_ = new TDoctorWindow(this, language(), configuredReplyTimeoutMs(), mayRun, useFound);
        doctor_->setAttribute(Qt::WA_DeleteOnClose);
        // Every run diagnoses the configuration as it is when it starts.
        doctor_->setConfigSource([] { return DisplayConfig; });
    }
    doctor_->diagnose();
    doctor_->show();
    doctor_->raise();
    doctor_->activateWindow();
}

void TForm1::openBusView()
{
    if (!busView_) {
        // It may not take the port beside the window's own exchanges or the doctor.
        auto mayRun = [this](TLanguage language) -> std::string {
            if (doctorRunning())
                return busRefusalText(TBusRefusal::Doctor, language);
            if (session_->continuousReading())
                return busRefusalText(TBusRefusal::MainReading, language);
            if (line_->busy())
                return busRefusalText(TBusRefusal::MainExchange, language);
            return {};
        };
        auto openHere = [this](std::uint8_t address) {
            DisplayConfig.Address = address;
            fillSerialPanel();
            LlegirParamAnalog();
        };
        busView_ = new TBusWindow(this, language(), configuredReplyTimeoutMs(), [] { return DisplayConfig; },
            mayRun, openHere);
        busView_->setAttribute(Qt::WA_DeleteOnClose);
    }
    busView_->show();
    busView_->raise();
    busView_->activateWindow();
}

bool TForm1::doctorRunning() const
{
    return doctor_ && doctor_->running();
}

void TForm1::showLineHeld()
{
    // "Displays on the line" or the doctor holds the port: say which, not that another program does.
    const bool bus = busView_ && busView_->holdsLine();
    QMessageBox box(QMessageBox::Information, windowTitle(),
        bus ? QString::fromStdString(busHoldsLineText(language()))
            : QString::fromUtf8(doctorHoldsPortText.pick(language())),
        QMessageBox::Ok, this);
    box.setObjectName(bus ? QStringLiteral("BusViewHoldsPortBox") : QStringLiteral("DoctorHoldsPortBox"));
    box.exec();
}

// ---- What the session tells ----------------------------------------------

TPendingRequest TForm1::PendingRequest() const
{
    return session_->pendingKind();
}

std::uint8_t TForm1::ContinuousReading() const
{
    return session_->continuousReading() ? 1 : 0;
}

int TForm1::MissedReadings() const
{
    return session_->missedReadings();
}

TZComm* TForm1::ZComm1() const
{
    return &line_->port();
}

TDisplayLink* TForm1::Link() const
{
    return &line_->link();
}

const TRxBuffer& TForm1::RxBuffer() const
{
    return line_->rxBuffer();
}

const QTimer* TForm1::Timer1() const
{
    return &session_->readingTimer();
}

void TForm1::DadesRebudes(const TExchangeReport& report)
{
    session_->takeReport(report);
}

void TForm1::showReading(const TSessionReading& r)
{
    // Every display reading, taken or missed, goes to the trend once it is open.
    if (trend_)
        trend_->addReading(TReading{r.time, r.missed, r.reading.value, r.reading.relays});
    if (r.report.outcome != TExchangeOutcome::Reply)
        return;
    if (r.reading.value)
        showValue(QString::fromLatin1(r.reading.value->data(), static_cast<int>(r.reading.value->size())));
    if (r.reading.relays) {
        setRelayIndicator(1, (*r.reading.relays)[0]);
        setRelayIndicator(2, (*r.reading.relays)[1]);
    }
    if (!r.missed)
        emit displayReadingShown();
}

void TForm1::showStale(bool stale)
{
    // The style sheet colours a stale value grey; it reads the property at polish.
    Edit[14]->setProperty("stale", stale);
    Edit[14]->style()->unpolish(Edit[14]);
    Edit[14]->style()->polish(Edit[14]);
}

void TForm1::showExchangeEnd(const TExchangeReport& report, int missedInRow)
{
    if (report.outcome == TExchangeOutcome::Reply)
        showNotice({});
    else
        showExchangeNotice(report, missedInRow);
}

void TForm1::showRequestNotStarted(TPendingRequest kind, bool lineHeld)
{
    if (kind == DisplayReadingRequest)
        showReadingStopped();
    if (lineHeld)
        showLineHeld();
    else
        showOpenFailure();
    if (kind == DisplayReadingRequest)
        Edit[14]->setText(QStringLiteral("   "));
    if (kind == CalibrationRequest && calibration_)
        calibration_->setAllBoxes(QStringLiteral("0"));
}

void TForm1::showReadingToggle(TReadingToggle what)
{
    switch (what) {
    case TReadingToggle::Started:
        // The tare controls go for the rest of the run.
        for (QWidget* w : {static_cast<QWidget*>(Tara), static_cast<QWidget*>(ResetTara),
                 static_cast<QWidget*>(Label[21]), static_cast<QWidget*>(Edit[20])})
            w->hide();
        break;
    case TReadingToggle::Armed:
    case TReadingToggle::Disarmed:
        showNotice(fixedNotice(what == TReadingToggle::Armed ? readingArmedText : readingDisarmedText));
        break;
    case TReadingToggle::Refused:
        showLineHeld();
        break;
    case TReadingToggle::Stopped:
        break;
    }
}

void TForm1::showReadingState()
{
    const bool reading = session_->continuousReading();
    const bool armed = session_->readingArmed();
    if (reading != shownReading_) {
        shownReading_ = reading;
        if (reading) {
            ActConti->setStyleSheet(QStringLiteral("QPushButton { color: #FF0000; font-weight: bold; }"));
            setExchangeCommandsVisible(false);
        } else {
            showReadingStopped();
        }
    } else if (armed != shownArmed_ && !reading) {
        // Armed: the button's own colour, between stopped (teal) and reading (red).
        ActConti->setStyleSheet(armed ? QStringLiteral("QPushButton { color: #C05000; font-weight: bold; }")
                                      : QStringLiteral("QPushButton { color: #008080; font-weight: bold; }"));
    }
    if (armed != shownArmed_) {
        shownArmed_ = armed;
        ActConti->setProperty("armed", armed);
    }
}

void TForm1::showReadingStopped()
{
    ActConti->setStyleSheet(QStringLiteral("QPushButton { color: #008080; font-weight: bold; }"));
    setExchangeCommandsVisible(true);
}

void TForm1::setExchangeCommandsVisible(bool visible)
{
    ActuVisu->setVisible(visible);
    for (QAction* a : {ToolButton10, ToolButton11, ToolButton3, ToolButton14, Enviar1, Recibir1, Leerparametros1,
             Testcomunicacion1})
        a->setVisible(visible);
}

void TForm1::showOpenFailure()
{
    QMessageBox box(QMessageBox::Warning, windowTitle(), QStringLiteral("NO PUEDO ABRIR EL PUERTO"), QMessageBox::Ok,
        this);
    box.setObjectName(QStringLiteral("OpenFailureBox"));
    box.setInformativeText(QString::fromStdString(describeOpenFailure(line_->port(), language())));
    box.exec();
}

void TForm1::showNotice(TNoticeWords words)
{
    noticeExchange_.reset();
    noticeWords_ = std::move(words);
    sayNotice();
}

void TForm1::sayNotice()
{
    const auto [whole, shorter] = noticeWords_ ? noticeWords_(language()) : std::pair<std::string, std::string>();
    const QString text = QString::fromStdString(whole);
    NoticeLabel->setToolTip(text);
    // The whole text where it fits, else the shorter form, else cut at the end.
    const QFontMetrics metrics = NoticeLabel->fontMetrics();
    const int room = NoticeLabel->width();
    const QString shown = metrics.horizontalAdvance(text) <= room || shorter.empty() ? text : QString::fromStdString(shorter);
    NoticeLabel->setText(metrics.elidedText(shown, Qt::ElideRight, room));
}

TForm1::TNoticeWords TForm1::fixedNotice(const TTexts& texts, const std::string& argument)
{
    return [&texts, argument](TLanguage language) {
        return std::pair<std::string, std::string>(fillIn(texts.pick(language), {argument}), {});
    };
}

void TForm1::showExchangeNotice(const TExchangeReport& report, int missed, int lateMs)
{
    showNotice([report, missed, lateMs](TLanguage language) {
        // The count and a late reply first, so that they stay in sight in a narrow status bar.
        std::string lead;
        if (missed > 0)
            lead = missedReadingsText(missed, language);
        if (lateMs >= 0) {
            const std::string late = lateReplyText(lateMs, language);
            if (lead.empty()) {
                const QString words = QString::fromStdString(late);
                lead = (words.left(1).toUpper() + words.mid(1)).toStdString();
            } else {
                lead += ", " + late;
            }
        }
        if (!lead.empty())
            lead += " \u2014 ";
        return std::pair(lead + exchangeNotice(report, language), lead + exchangeNotice(report, language, false));
    });
    noticeExchange_ = report.started;
    noticeMissed_ = missed;
}

void TForm1::noteLateReply(const TExchangeReport& missed, int afterMs)
{
    if (noticeExchange_ == missed.started)
        showExchangeNotice(missed, noticeMissed_, afterMs);
}

void TForm1::showValue(const QString& text)
{
    // The same reading again changes nothing on screen: no repaint for it.
    if (text == Edit[14]->text())
        return;
    // All eight characters the display sends must show: a long reading gets
    // a smaller type in the same box, never a cut-off sign.
    QFont font = Edit[14]->font();
    const int room = Edit[14]->width() - 8;
    int size = 19;
    for (; size > 8; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).horizontalAdvance(text) <= room)
            break;
    }
    if (size != valueFontSize_) {
        valueFontSize_ = size;
        Edit[14]->setStyleSheet(QStringLiteral("QLineEdit { font-size: %1px; padding: 0px 1px; }").arg(size));
    }
    Edit[14]->setText(text);
    Edit[14]->setCursorPosition(0);
}

// ---- Commands to the display ----------------------------------------------

void TForm1::EnviarConfig()
{
    session_->sendConfiguration();
}

void TForm1::LlegirParamAnalog()
{
    // Nothing is received when the port cannot be opened, so nothing changes:
    // the configuration the technician has keeps every value.
    session_->receiveConfiguration();
}

void TForm1::LlegirDisplay()
{
    // A failed open stops continuous reading and blanks the value.
    session_->readValue();
}

void TForm1::ModActualit()
{
    session_->toggleContinuousReading();
}

void TForm1::ErrorComuni(int, const std::string& errorstr)
{
    session_->stopContinuousReading();
    showReadingStopped();
    QMessageBox box(QMessageBox::Warning, windowTitle(), QString::fromStdString(errorstr), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("LineErrorBox"));
    box.exec();
}

// ---- Calibration screen ---------------------------------------------------

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // Key preview: the window sees each key before the focused control.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()
        && static_cast<QWidget*>(watched)->window() == this && QApplication::activeModalWidget() == nullptr) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1 && (key->modifiers() & Qt::AltModifier)) {
            FormKeyDown(key->key(), key->modifiers());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::FormKeyDown(int key, Qt::KeyboardModifiers shift)
{
    if (key != Qt::Key_F1 || !(shift & Qt::AltModifier))
        return;
    QString entered;
    {
        TForm7 password(this, LanguageIndex);
        if (password.exec() == QDialog::Accepted)
            entered = password.enteredText();
    }
    if (entered != QLatin1String(CalibrationPassword)) {
        QMessageBox::warning(this, windowTitle(), QStringLiteral("Password incorrecto"));
        return;
    }
    // The line is the screen's while it is open: reading pauses, so that no
    // reading holds it when the calibration data are asked for.
    session_->pause();
    // A request that cannot go zeroes the boxes (showRequestNotStarted).
    auto* calibration = new TForm8(this, LanguageIndex, [this] { session_->readCalibration(); });
    calibration_ = calibration;
    // The screen while it is open, for RebreCalib.
    Form8 = calibration;
    calibration->setAllBoxes(QStringLiteral("0"));
    calibration->exec();
    Form8 = nullptr;
    calibration_ = nullptr;
    delete calibration;
    session_->resume();
}
