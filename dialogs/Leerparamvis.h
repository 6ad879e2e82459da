#pragma once
#include <QDialog>

#include "config/DisplayConfig.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TRadioGroup;

// The display parameter dialog: the PC's serial line (editable) above the
// display's own parameters (shown only).
class TForm5 : public QDialog {
    Q_OBJECT
public:
    // `language`: 0 Catalan .. 3 English; any other value keeps the built-in texts.
    TForm5(QWidget* owner, int language);

    // Selects the serial line settings and shows the display parameters.
    void loadFrom(const TDisplayConfig& cfg);
    // Writes the five serial line fields back; a typed port or speed that
    // names no entry leaves its field as it is.
    void storeTo(TDisplayConfig& cfg) const;

    // "Aceptar": closes only when the typed port and speed name entries of
    // their lists; otherwise says which do not and stays open.
    void accept() override;

    // "Leer configuración": no request for the display's parameters exists.
    void Button1Click();

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QComboBox* ComboBox1;
    QLabel* Label2;
    QComboBox* ComboBox2;
    TRadioGroup* RadioGroup1;
    TRadioGroup* RadioGroup2;
    TRadioGroup* RadioGroup3;

    QGroupBox* GroupBox2;
    QGroupBox* GroupBox4;
    QLabel* Label8;
    QLineEdit* Edit1;
    QGroupBox* GroupBox5;
    QComboBox* ComboBox8;
    QGroupBox* GroupBox3;
    QLabel* Label3;
    QComboBox* ComboBox3;
    QLabel* Label4;
    QComboBox* ComboBox4;
    QLabel* Label5;
    QComboBox* ComboBox5;
    QLabel* Label6;
    QComboBox* ComboBox6;
    QLabel* Label7;
    QComboBox* ComboBox7;
    QGroupBox* GroupBox6;
    QComboBox* ComboBox9;
    QGroupBox* GroupBox7;
    QComboBox* ComboBox10;
    QGroupBox* GroupBox8;
    QLabel* Label9;
    QLabel* Label10;
    QLabel* Label11;
    QLabel* Label12;
    QLabel* Label13;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    QLineEdit* Edit5;
    QLineEdit* Edit6;

    QPushButton* Button1;
    QPushButton* Button3;
    QPushButton* Button2;

private:
    int language_;
};
