#pragma once
#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

// The word that opens the calibration screen, compared whole and case-sensitive.
inline constexpr char CalibrationPassword[] = "pomvek";

// The password dialog in front of the calibration screen: "Aceptar" (and
// Enter) closes with Accepted, "Salir" (and the window frame, and Escape)
// with Rejected.
class TForm7 : public QDialog {
    Q_OBJECT
public:
    // `language`: 0 Catalan .. 3 English; any other value keeps the built-in texts.
    TForm7(QWidget* owner, int language);

    // What has been typed into the password box.
    QString enteredText() const;

    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* MaskEdit1;
    QPushButton* Button1;
    QPushButton* Button2;
};
