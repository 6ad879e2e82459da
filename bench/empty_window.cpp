// An empty Qt window of a given size, or one showing a word: what the
// start-up benchmark compares the program with.
//   empty_window WIDTH HEIGHT [TEXT]
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    if (argc > 2)
        window.setFixedSize(QString::fromLocal8Bit(argv[1]).toInt(), QString::fromLocal8Bit(argv[2]).toInt());
    if (argc > 3)
        (new QLabel(QString::fromLocal8Bit(argv[3]), &window))->move(8, 8);
    window.show();
    return app.exec();
}
