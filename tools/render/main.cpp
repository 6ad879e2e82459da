// Renders every window of the program in each language to PNG files, for
// looking at them and for the README's screenshot. Usage: dadiz-render OUTDIR
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QPixmap>
#include <QProcess>
#include <QSpinBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/Qxtest.h"
#include "config/ConfigFile.h"
#include "config/DisplayConfig.h"
#include "base/Formats.h"
#include "dialogs/Confentanalogica.h"
#include "dialogs/Conflinser.h"
#include "dialogs/Confreles.h"
#include "dialogs/Datoscalibracion.h"
#include "dialogs/Leerparamvis.h"
#include "dialogs/Password.h"
#include "dialogs/Selecidioma.h"
#include "dialogs/Testcom.h"
#include "dialogs/Version.h"
#include "link/DisplayLink.h"
#include "serial/PortMap.h"
#include "windows/BusWindow.h"
#include "windows/DoctorWindow.h"
#include "windows/TrafficMonitor.h"
#include "windows/TrendWindow.h"

namespace {

QString outDir;
bool allSaved = true;

void save(QWidget& w, const QString& name)
{
    w.show();
    QApplication::processEvents();
    const QString path = outDir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!w.grab().save(path)) {
        std::fprintf(stderr, "dadiz-render: cannot write %s\n", qPrintable(path));
        allSaved = false;
    }
    w.hide();
}

// A configuration that fills every panel: both relays on, one decimal.
void showcaseConfiguration(TDisplayConfig& c)
{
    resetToDefaults(c);
    c.BaudIndex = 3;
    c.Address = 7;
    c.InputValue1 = 4.0;
    c.DisplayValue1 = 0.0;
    c.InputValue2 = 20.0;
    c.DisplayValue2 = 250.0;
    c.DecimalPoint = 1;
    c.ProcessInput = 1;
    c.Relay1Enabled = 1;
    c.Relay1DelayType = '0';
    c.Relay1TriggerLevel = '0';
    c.Relay1Delay = 5;
    c.Relay1Setpoint = 1800;
    c.Relay2Enabled = 1;
    c.Relay2DelayType = '1';
    c.Relay2TriggerLevel = '1';
    c.Relay2Delay = 10;
    c.Relay2Setpoint = 250;
}

template <typename Dialog>
void renderDialog(QWidget* owner, int languageIndex, const QString& name, const TDisplayConfig& cfg)
{
    Dialog d(owner, languageIndex);
    d.loadFrom(cfg);
    save(d, name);
}

// Five minutes of a value ramping through both thresholds (relay 1 above
// 180.0, relay 2 below 25.0), with one missed reading and one "----".
void renderTrend(TLanguage language, const QString& name, const TDisplayConfig& cfg)
{
    using namespace std::chrono;
    TTrendWindow w(language, trendSetpoints(cfg));
    const auto start = system_clock::time_point(sys_days(year(2026) / 12 / 7)) + 9h;
    for (int i = 0; i < 600; ++i) {
        const double phase = (i % 240) / 240.0;
        const double v = 220.0 * (phase < 0.5 ? 2 * phase : 2 - 2 * phase);
        const std::string text = i == 450 ? "    ----" : cfmt("%8.1f", v);
        w.addReading({start + milliseconds(500 * i), i == 300, i == 300 ? std::nullopt : std::optional(text),
                      std::array{v > 180.0, v < 25.0}});
    }
    w.show();
    QApplication::processEvents();
    w.redraw();
    save(w, name);
}

// The window after a display reading that got no reply.
void renderNotice(TForm1& main, const QString& name)
{
    TExchangeReport r;
    r.kind = DisplayReadingRequest;
    r.outcome = TExchangeOutcome::NoReply;
    r.request = {'@', '0', '7', 'L', '\r'};
    r.port = "COM1";
    r.device = "/dev/ttyUSB0";
    r.sent = TLinkClock::now();
    r.ended = r.sent + std::chrono::milliseconds(1000);
    main.DadesRebudes(r);
    save(main, name);
    r.outcome = TExchangeOutcome::Reply;
    r.reply = {'@', '0', '7', 'R', 'E', '\r'};
    r.kind = SendConfigRequest;
    main.DadesRebudes(r);
}

// A reading, an echo dropped before a reply, and a request without reply.
void renderTrafficMonitor(TForm1& main, TLanguage language, const QString& name)
{
    using namespace std::chrono;
    const auto at = system_clock::time_point(sys_days(year(2026) / 12 / 7)) + 9h;
    auto frame = [](const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); };
    const std::string port = "COM1 (/dev/ttyUSB0)";
    const std::vector<TTrafficRecord> records = {
        {at, TTrafficDirection::Sent, port, frame("@07L\r"), {}, TTrafficNote::None},
        {at + 31ms, TTrafficDirection::Received, port, frame("@07RL   180.5RR10\r"), 24, TTrafficNote::None},
        {at + 500ms, TTrafficDirection::Sent, port, frame("@07L\r"), {}, TTrafficNote::None},
        {at + 506ms, TTrafficDirection::Received, port, frame("@07L\r"), 0, TTrafficNote::EchoDropped},
        {at + 530ms, TTrafficDirection::Received, port, frame("\n"), 23, TTrafficNote::AfterCR},
        {at + 530ms, TTrafficDirection::Received, port, frame("@07RL   181.0RR10\r"), 23, TTrafficNote::None},
        {at + 1000ms, TTrafficDirection::Sent, port, frame("@07P\r"), {}, TTrafficNote::None},
        {at + 2005ms, TTrafficDirection::Received, port, {}, 1000, TTrafficNote::NoReply},
    };
    TTrafficMonitor monitor(&main, language, *main.Link());
    monitor.model()->add(records);
    save(monitor, name);
}

// The display of the doctor's pictures: dadiz-sim, built beside this program,
// at address 07, answering at 9600 baud only. Its device, or empty when it
// did not start.
std::string startSimulatedDisplay(QProcess& sim)
{
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/dadiz-sim"),
              {QStringLiteral("--address"), QStringLiteral("7"), QStringLiteral("--baud"), QStringLiteral("9600")});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000))
        return {};
    return sim.readLine().trimmed().toStdString();
}

// A finished run of the connection doctor: the configuration says 19200 baud,
// the display at address 07 on COM1 answers at 9600 only, so the search finds it.
void renderDoctor(QWidget* owner, TLanguage language, const QString& name)
{
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    cfg.BaudIndex = 4;
    cfg.Address = 7;
    TDoctorWindow w(owner, language, 300, {}, {});
    w.show();
    w.diagnose(cfg);
    QEventLoop loop;
    QObject::connect(w.doctor(), &TDoctor::finished, &loop, &QEventLoop::quit);
    if (w.running())
        loop.exec();
    save(w, name);
}

// Runs the event loop until `done`, for at most `ms`.
void waitUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

// Displays on the line: four displays of dadiz-sim on COM1; a folder where
// one file differs and one is missing.
void renderBus(QWidget* owner, TLanguage language, const QString& name)
{
    QProcess sim;
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/dadiz-sim"),
        {QStringLiteral("--bus"), QStringLiteral("1,2,4,7"), QStringLiteral("--baud"), QStringLiteral("9600")});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "dadiz-render: dadiz-sim did not start beside it: no picture of the displays on the line\n");
        allSaved = false;
        return;
    }
    setMappedDevice(1, sim.readLine().trimmed().toStdString());
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    cfg.BaudIndex = 3;
    TBusWindow w(owner, language, 300, [cfg] { return cfg; }, {}, {});
    w.resize(1060, 420);
    w.show();
    w.findChild<QSpinBox*>(QStringLiteral("LastAddress"))->setValue(9);
    w.scan();
    TDisplayBus& bus = w.bus();
    waitUntil([&] { return !bus.scanning(); }, 20000);
    waitUntil([&] { return bus.row(4) && bus.row(4)->paramsComplete && bus.row(7) && bus.row(7)->paramsComplete; }, 10000);
    QTemporaryDir folder;
    const QString commissioning = folder.filePath(QStringLiteral("cabinet-3"));
    QDir().mkpath(commissioning);
    w.setFolder(commissioning);
    bus.receiveIntoFolder({1, 2, 4});
    waitUntil([&] { return !bus.commandsRunning(); }, 10000);
    TDisplayConfig two;
    if (loadConfigFile(bus.folderFile(2), two).ok) {
        two.DecimalPoint = 2;
        two.Relay1Setpoint = 1500;
        saveConfigFile(bus.folderFile(2), two);
    }
    bus.reloadFolder();
    waitUntil([&] { return bus.row(7) && bus.row(7)->value; }, 5000);
    w.selectAddresses({2});
    w.refreshNow();
    save(w, name);
    bus.stopReading();
    waitUntil([&] { return !bus.holdsLine(); }, 3000);
}

// The offscreen platform warns about every window it cannot resize; that says nothing here.
void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (!message.contains(QLatin1String("propagateSizeHints")))
        std::fprintf(stderr, "%s\n", qPrintable(message));
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: dadiz-render OUTDIR\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(11);
    app.setFont(f);
    // Made absolute before the current folder changes below.
    outDir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "dadiz-render: cannot create %s\n", qPrintable(outDir));
        return 1;
    }
    QDir::setCurrent(QDir::tempPath()); // no Conf.dad of the user's is read
    // Nor the user's port map: the doctor's pictures map COM1 to a display of their own.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));

    QProcess sim;
    const std::string display = startSimulatedDisplay(sim);
    if (display.empty()) {
        std::fprintf(stderr, "dadiz-render: dadiz-sim did not start beside it: no picture of the doctor\n");
        allSaved = false;
    } else {
        setMappedDevice(1, display);
    }

    TForm1 main;
    for (int lang = 0; lang < 4; ++lang) {
        const QString l = QLatin1String(kLanguageCodes[lang]);
        main.LanguageIndex = static_cast<std::uint8_t>(lang);
        main.Nuevo1Click();
        main.applyLanguage();
        save(main, QStringLiteral("main-%1").arg(l));

        TDisplayConfig cfg;
        showcaseConfiguration(cfg);
        DisplayConfig = cfg;
        main.fillSerialPanel();
        main.applyLanguage();
        main.controls().Edit[14]->setText(QStringLiteral("  180.5 "));
        main.setRelayIndicator(1, true);
        save(main, QStringLiteral("main-example-%1").arg(l));
        main.controls().Edit[14]->setText(QStringLiteral("   "));
        main.setRelayIndicator(1, false);
        renderNotice(main, QStringLiteral("main-notice-%1").arg(l));
        renderTrafficMonitor(main, kLanguages[lang], QStringLiteral("traffic-%1").arg(l));
        if (!display.empty())
            renderDoctor(&main, kLanguages[lang], QStringLiteral("doctor-%1").arg(l));
        renderBus(&main, kLanguages[lang], QStringLiteral("busview-%1").arg(l));
        if (!display.empty())
            setMappedDevice(1, display);

        renderDialog<TForm2>(&main, lang, QStringLiteral("serial-%1").arg(l), cfg);
        for (int digits : {1, 2, 4}) {
            cfg.DigitsIndex = static_cast<std::uint8_t>(digits);
            for (int mode : {0, 1}) {
                cfg.InputMode = static_cast<std::uint8_t>(mode);
                // In temperature mode an offset with tenths, which the field says it keeps.
                cfg.TempOffset = mode == 1 ? -2.5 : 0.0;
                renderDialog<TForm3>(&main, lang,
                    QStringLiteral("analog-%1-digits%2-mode%3").arg(l).arg(digits + 2).arg(mode), cfg);
            }
            renderDialog<TForm9>(&main, lang, QStringLiteral("relays-%1-digits%2").arg(l).arg(digits + 2), cfg);
        }
        renderTrend(kLanguages[lang], QStringLiteral("trend-%1").arg(l), cfg);
        renderDialog<TForm5>(&main, lang, QStringLiteral("params-%1").arg(l), cfg);
        renderDialog<TForm6>(&main, lang, QStringLiteral("test-%1").arg(l), cfg);
        {
            TForm4 d(&main, lang);
            save(d, QStringLiteral("version-%1").arg(l));
        }
        {
            TForm10 d(&main, lang);
            d.setItemIndex(lang);
            save(d, QStringLiteral("language-%1").arg(l));
        }
        {
            TForm7 d(&main, lang);
            save(d, QStringLiteral("password-%1").arg(l));
        }
        {
            TForm8 d(&main, lang, {});
            d.setAllBoxes(QStringLiteral("0"));
            save(d, QStringLiteral("calibration-%1").arg(l));
        }
    }
    sim.terminate();
    sim.waitForFinished(3000);
    return allSaved ? 0 : 1;
}
