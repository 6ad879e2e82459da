// An empty Qt window of a given size: what the start-up benchmark compares
// the program with.
//   empty_window WIDTH HEIGHT
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    if (argc > 2)
        window.setFixedSize(QString::fromLocal8Bit(argv[1]).toInt(), QString::fromLocal8Bit(argv[2]).toInt());
    window.show();
    return app.exec();
}
