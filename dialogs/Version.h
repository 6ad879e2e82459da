#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// The version dialog: what the program is, its version and its date.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    // `language`: 0 Catalan .. 3 English; any other value keeps the built-in texts.
    TForm4(QWidget* owner, int language);

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QPushButton* Button1;
};
