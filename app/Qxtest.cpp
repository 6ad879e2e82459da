#include "app/Qxtest.h"

#include <QApplication>

TForm1* Form1 = nullptr;

TForm1::TForm1(QWidget* parent) : QMainWindow(parent)
{
    Form1 = this;
    setWindowTitle(QStringLiteral("DA DIZ 1.1"));
}

TForm1::~TForm1()
{
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::startUp(QApplication& app)
{
    app.setApplicationName(QStringLiteral("QX Test"));
    auto* w = new TForm1;
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
}
