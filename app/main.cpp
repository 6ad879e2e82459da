#include <QApplication>

#include "app/Qxtest.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    TForm1::startUp(app);
    return app.exec();
}
