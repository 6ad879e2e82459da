#pragma once
#include <QDialog>

#include "config/DisplayConfig.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The communication test dialog: a protocol and a test value. Sending is not
// defined for any protocol, so the send button does nothing.
class TForm6 : public QDialog {
    Q_OBJECT
public:
    // `language`: 0 Catalan .. 3 English; any other value keeps the built-in texts.
    TForm6(QWidget* owner, int language);

    void loadFrom(const TDisplayConfig& cfg);
    // Writes the protocol and the value; the exit button's result confirms.
    void storeTo(TDisplayConfig& cfg) const;

    // "Enviar": no test frame exists; the dialog stays open.
    void Button1Click();

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QComboBox* ComboBox1;
    QGroupBox* GroupBox2;
    QLabel* Label2;
    QLabel* Label3;
    QLineEdit* Edit1;
    QPushButton* Button1;
    QPushButton* Button2;
};
