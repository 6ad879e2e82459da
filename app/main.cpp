#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/Qxtest.h"

int main(int argc, char* argv[])
{
    // Without a display Qt would abort with a long plugin message; say it in one line.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if ((!platform || !*platform) && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "dadiz: no display found (DISPLAY is not set); start it from a desktop session.\n");
        return 1;
    }
    QApplication app(argc, argv);
    TForm1::startUp(app);
    return app.exec();
}
