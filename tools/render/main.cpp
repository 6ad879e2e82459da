// Renders the program's windows in each language to PNG files, for looking at
// them and for the README's screenshot. Usage: dadiz-render OUTDIR
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cstdio>

#include "app/Qxtest.h"

namespace {

const char* const languageNames[] = {"ca", "es", "fr", "en"};

void save(QWidget& w, const QString& dir, const QString& name)
{
    w.show();
    QApplication::processEvents();
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!w.grab().save(path))
        std::fprintf(stderr, "dadiz-render: cannot write %s\n", qPrintable(path));
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: dadiz-render OUTDIR\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(11);
    app.setFont(f);
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QDir::setCurrent(QDir::tempPath()); // no Conf.dad of the user's is read

    for (int lang = 0; lang < 4; ++lang) {
        TForm1 main;
        main.LanguageIndex = static_cast<std::uint8_t>(lang);
        main.applyLanguage();
        save(main, out, QStringLiteral("main-%1").arg(QLatin1String(languageNames[lang])));
    }
    return 0;
}
