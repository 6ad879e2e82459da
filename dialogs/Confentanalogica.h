#pragma once
#include <QDialog>

#include <string>

#include "config/DisplayConfig.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class TMaskEdit;
class TRadioGroup;

// The analog input dialog: process or temperature input, the process scaling
// and decimal point, the temperature units, probe, resolution and offset.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    // `language`: 0 Catalan .. 3 English; any other value keeps the built-in texts.
    TForm3(QWidget* owner, int language);

    // Fills the controls from the configuration (digit class, masks, values).
    void loadFrom(const TDisplayConfig& cfg);
    // Writes every analog field back, with the limits of the input.
    void storeTo(TDisplayConfig& cfg) const;

    // Mode chosen (however it was chosen): enables the controls of that mode,
    // disables the other's.
    void RadioGroup1Click();
    // Decimal point chosen (however it was chosen): re-masks the display-value
    // fields and refills them from the loaded values; what was typed in them
    // is discarded.
    void ModPuntDec();

    TRadioGroup* RadioGroup1;
    TRadioGroup* RadioGroup2;
    TRadioGroup* RadioGroup3;
    TRadioGroup* RadioGroup4;
    QGroupBox* GroupBox1;
    QGroupBox* GroupBox2;
    QGroupBox* GroupBox3;
    QGroupBox* GroupBox4;
    QGroupBox* GroupBox5;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    // Beside the offset field when the loaded offset has tenths the field
    // cannot show: the value that Ok keeps unless the field is retyped.
    QLabel* OffsetNote;
    TMaskEdit* Edit1;
    TMaskEdit* Edit2;
    TMaskEdit* Edit3;
    TMaskEdit* Edit4;
    TMaskEdit* Edit5;
    QComboBox* ComboBox1;
    QComboBox* ComboBox2;
    QPushButton* Button1;
    QPushButton* Button2;

private:
    void setLanguageTexts(int languageIndex);

    std::uint8_t digitsIndex_ = 2;
    // The display-value texts as loaded: the display's counts at the loaded
    // decimal position, which a change of position keeps and only re-points.
    std::string displayText1_;
    std::string displayText2_;
    double offsetLoaded_ = 0.0;
    int language_;
};
