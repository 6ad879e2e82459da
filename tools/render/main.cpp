// Renders every window of the program in each language to PNG files, for
// looking at them and for the README's screenshot. Usage: dadiz-render OUTDIR
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/Qxtest.h"
#include "config/DisplayConfig.h"
#include "dialogs/Confentanalogica.h"
#include "dialogs/Conflinser.h"
#include "dialogs/Confreles.h"
#include "dialogs/Datoscalibracion.h"
#include "dialogs/Leerparamvis.h"
#include "dialogs/Password.h"
#include "dialogs/Selecidioma.h"
#include "dialogs/Testcom.h"
#include "dialogs/Version.h"

namespace {

const char* const languageNames[] = {"ca", "es", "fr", "en"};
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
void renderDialog(const QString& name, const TDisplayConfig& cfg)
{
    Dialog d(Form1);
    d.loadFrom(cfg);
    save(d, name);
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

    TForm1 main;
    for (int lang = 0; lang < 4; ++lang) {
        const QString l = QLatin1String(languageNames[lang]);
        main.LanguageIndex = static_cast<std::uint8_t>(lang);
        main.Nuevo1Click();
        main.applyLanguage();
        save(main, QStringLiteral("main-%1").arg(l));

        TDisplayConfig cfg;
        showcaseConfiguration(cfg);
        DisplayConfig = cfg;
        main.fillSerialPanel();
        main.applyLanguage();
        main.Edit[14]->setText(QStringLiteral("  180.5 "));
        main.setRelayIndicator(1, true);
        save(main, QStringLiteral("main-example-%1").arg(l));
        main.Edit[14]->setText(QStringLiteral("   "));
        main.setRelayIndicator(1, false);

        renderDialog<TForm2>(QStringLiteral("serial-%1").arg(l), cfg);
        for (int digits : {1, 2, 4}) {
            cfg.DigitsIndex = static_cast<std::uint8_t>(digits);
            for (int mode : {0, 1}) {
                cfg.InputMode = static_cast<std::uint8_t>(mode);
                renderDialog<TForm3>(QStringLiteral("analog-%1-digits%2-mode%3").arg(l).arg(digits + 2).arg(mode),
                    cfg);
            }
            renderDialog<TForm9>(QStringLiteral("relays-%1-digits%2").arg(l).arg(digits + 2), cfg);
        }
        renderDialog<TForm5>(QStringLiteral("params-%1").arg(l), cfg);
        renderDialog<TForm6>(QStringLiteral("test-%1").arg(l), cfg);
        {
            TForm4 d(&main);
            save(d, QStringLiteral("version-%1").arg(l));
        }
        {
            TForm10 d(&main);
            d.setItemIndex(lang);
            save(d, QStringLiteral("language-%1").arg(l));
        }
        {
            TForm7 d(&main);
            save(d, QStringLiteral("password-%1").arg(l));
        }
        {
            TForm8 d(&main);
            d.setAllBoxes(QStringLiteral("0"));
            save(d, QStringLiteral("calibration-%1").arg(l));
        }
    }
    return allSaved ? 0 : 1;
}
