#pragma once
#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
struct TDisplayConfig;

// Index of the checked radio button of a group box, -1 when none is checked.
int radioIndex(const QGroupBox* group);
// Checks button `index` of the group; any index outside the buttons checks none.
void setRadioIndex(QGroupBox* group, int index);

// The serial line dialog: PC port, speed, parity, stop bits, data bits, the
// display's address and its number of digits. Beside the port list it shows
// the device the selected COM port stands for and lets the user choose another.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    // `language`: 0 Catalan .. 3 English; any other value keeps the built-in texts.
    TForm2(QWidget* owner, int language);

    // Selects the items of the seven indexes (255 selects nothing).
    void loadFrom(const TDisplayConfig& cfg);
    // The seven indexes back into `cfg` (255 where a box is left with no item
    // and no text), and the device chosen for the selected COM port into the
    // settings file. A typed text that names no item changes nothing.
    void storeTo(TDisplayConfig& cfg) const;

    // Ok: closes only when every typed text names an item of its box;
    // otherwise says which do not and stays open.
    void accept() override;

    QComboBox* ComboBox1;
    QComboBox* ComboBox2;
    QComboBox* ComboBox3;
    QComboBox* Digits;
    QComboBox* PortDevice;
    QGroupBox* RadioGroup1;
    QGroupBox* RadioGroup2;
    QGroupBox* RadioGroup3;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* DeviceLabel;
    QPushButton* Button1;
    QPushButton* Button2;

private:
    void setLanguage(int language);
    void showDeviceOfSelectedPort();

    int language_;
};
