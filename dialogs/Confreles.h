#pragma once
#include <tuple>
#include <QDialog>

#include "config/DisplayConfig.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class TMaskEdit;
class TRadioGroup;

// The relay dialog: for each of the two relays whether it is used, its delay
// kind and value, its trigger direction and its trigger level.
class TForm9 : public QDialog {
    Q_OBJECT
public:
    // `language`: 0 Catalan .. 3 English; any other value keeps the built-in texts.
    TForm9(QWidget* owner, int language);

    // Fills relay 1, then relay 2, from the configuration.
    void loadFrom(const TDisplayConfig& cfg);
    // Writes both relay sections back.
    void storeTo(TDisplayConfig& cfg) const;

    // Enable box checked or unchecked (however it was): the relay's controls
    // follow it; checking selects HI.
    void CheckBox1Click();
    void CheckBox2Click();
    // Delay kind chosen (however it was chosen): the delay label follows it.
    void Temporitzacio1Click();
    void Temporitzacio2Click();

    QGroupBox* GroupBox1;
    QGroupBox* GroupBox2;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    TRadioGroup* Temporitzacio1;
    TRadioGroup* Temporitzacio2;
    TRadioGroup* NivellDispar1;
    TRadioGroup* NivellDispar2;
    QLabel* TextRetard1;
    QLabel* TextRetard2;
    TMaskEdit* ValRetard1;
    TMaskEdit* ValRetard2;
    QLabel* TextNivell1;
    QLabel* TextNivell2;
    TMaskEdit* ValNivell1;
    TMaskEdit* ValNivell2;
    QPushButton* Button1;
    QPushButton* Button2;

private:
    // The controls of one relay, so that both run the same steps.
    struct Relay {
        QGroupBox* group;
        QCheckBox* enabled;
        TRadioGroup* delayType;
        TRadioGroup* trigger;
        QLabel* delayLabel;
        TMaskEdit* delay;
        QLabel* levelLabel;
        TMaskEdit* level;
    };
    Relay relay(int which) const;
    // The controls of relay 1 or relay 2 as the window design names them, by reference.
    template <typename Self>
    static auto relayMembers(Self& f, int which)
    {
        return which == 1 ? std::tie(f.GroupBox1, f.CheckBox1, f.Temporitzacio1, f.NivellDispar1, f.TextRetard1,
                                f.ValRetard1, f.TextNivell1, f.ValNivell1)
                          : std::tie(f.GroupBox2, f.CheckBox2, f.Temporitzacio2, f.NivellDispar2, f.TextRetard2,
                                f.ValRetard2, f.TextNivell2, f.ValNivell2);
    }
    void buildRelay(int which);
    void applyEnabling(const Relay& r);
    void applyDelayLabel(const Relay& r);
    void loadRelay(const Relay& r, TConstRelayFields fields, const TDisplayConfig& cfg);
    void storeRelay(const Relay& r, TRelayFields fields) const;

    int language_;
};
