#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// The version dialog: what the program is, its version and its date.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* owner);

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QPushButton* Button1;
};
