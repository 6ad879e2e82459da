#include "config/PanelTexts.h"

#include <optional>
#include <string>

#include "base/Texts.h"
#include "config/DigitClass.h"
#include "config/LineFormat.h"
#include "config/RecordFields.h"
#include "base/Formats.h"

namespace {

// A serial line setting's number; "---" for a position beyond its list.
template <typename T>
std::string entryText(std::optional<T> entry)
{
    return entry ? std::to_string(*entry) : "---";
}

struct AnalogWords {
    TTexts label6{"Control", "Control", "Contrôle ", "Control"};
    TTexts processName{"Procès", "Proceso", "Process", "Process"};
    TTexts temperatureName{"Termòmetre", "Termómetro", "Thermometre", "Thermometer"};
    TTexts inputType{"Tipus entrada", "Tipo entrada", "Type entrée", "Input type "};
    TTexts voltage{"Tensió", "Tensión", "Tension ", "Voltage "};
    TTexts current{"Corrent", "Corriente", "Courant ", "Current"};
    TTexts inputValue{"Valor entrada", "Valor entrada", "Valeur entrée", "Input value "};
    TTexts displayValue{"Valor display entrada", "Valor display entrada", "Valeur affichage", "Display value "};
    TTexts decimalPoint{"Posició punt decimal", "Posición punto decimal", "Position point décimal", "Decimal point place"};
    TTexts units{"Unitat de mesura", "Unidad de medida", "Unité de mesure", "Enginnering units"};
    TTexts probe{"Tipus de sonda", "Tipo de sonda", "Type de sonde", "Probe type"};
    TTexts resolution{"Resolució", "Resolución", "Résolution", "Resolution"};
    TTexts offset{"Offset del termòmetre", "Offset del termómetro", "Offset du thermometre", "Thermometer offset"};
};
const AnalogWords analogWords;

const TTexts delayTimed{"Temps retard", "Tiempo retardo", "Temps retard", "Delay"};
const TTexts delayHysteresis{"Valor histeresis", "Valor histeresis", "Valeur hystérésis", "Hysteresis value"};
const TTexts triggerHigh{"Activat si valor > nivell dispar", "Activado si valor > nivel disparo", "On si valeur > seuil",
    "On if value > level"};
const TTexts triggerLow{"Activat si valor < nivell dispar", "Activado si valor < nivel disparo", "On si valeur < seuil",
    "On if value < level"};

} // namespace

SerialPanelText serialPanelText(const TDisplayConfig& c)
{
    SerialPanelText t;
    t.port = recordField(&TDisplayConfig::PortIndex).panelText(c.PortIndex);
    t.baud = entryText(speedAt(c.BaudIndex));
    t.parity = recordField(&TDisplayConfig::ParityIndex).panelText(c.ParityIndex);
    t.stopBits = entryText(stopBitsAt(c.StopBitsIndex));
    t.dataBits = entryText(dataBitsAt(c.DataBitsIndex));
    t.address = cfmt("%02d", c.Address);
    t.digits = cfmt("%2d", c.DigitsIndex + recordField(&TDisplayConfig::DigitsIndex).countBase);
    return t;
}

AnalogPanelText analogPanelText(const TDisplayConfig& c, TLanguage language)
{
    const TLanguage l = language;
    const AnalogWords& w = analogWords;
    AnalogPanelText t;
    if (c.InputMode == 0) {
        t.label[0] = w.label6.pick(l);
        t.value[0] = w.processName.pick(l);
        t.label[1] = w.inputType.pick(l);
        t.label[6] = w.decimalPoint.pick(l);
        if (c.ProcessInput == 0)
            t.value[1] = w.voltage.pick(l);
        else if (c.ProcessInput == 1)
            t.value[1] = w.current.pick(l);
        t.label[2] = std::string(w.inputValue.pick(l)) + " 1";
        t.value[2] = generalFloatText(c.InputValue1);
        t.label[3] = std::string(w.displayValue.pick(l)) + " 1";
        t.value[3] = generalFloatText(c.DisplayValue1);
        t.label[4] = std::string(w.inputValue.pick(l)) + " 2";
        t.value[4] = generalFloatText(c.InputValue2);
        t.label[5] = std::string(w.displayValue.pick(l)) + " 2";
        t.value[5] = generalFloatText(c.DisplayValue2);
        t.value[6] = recordField(&TDisplayConfig::DecimalPoint).panelText(c.DecimalPoint);
        t.lastRowsShown = true;
    } else if (c.InputMode == 1) {
        t.label[0] = w.label6.pick(l);
        t.value[0] = w.temperatureName.pick(l);
        t.label[1] = w.units.pick(l);
        t.label[2] = w.probe.pick(l);
        t.label[3] = w.resolution.pick(l);
        t.value[1] = recordField(&TDisplayConfig::TempUnits).panelText(c.TempUnits);
        t.value[2] = recordField(&TDisplayConfig::ProbeType).panelText(c.ProbeType);
        t.value[3] = recordField(&TDisplayConfig::Resolution).panelText(c.Resolution);
        t.label[4] = w.offset.pick(l);
        t.value[4] = generalFloatText(c.TempOffset);
        t.label[5] = "";
        t.value[5] = "";
        t.label[6] = "";
        t.value[6] = "";
        t.lastRowsShown = false;
    } else {
        t.value[0] = "---";
    }
    return t;
}

std::string setpointText(std::int32_t sp, std::uint8_t digitsIndex, std::uint8_t dp)
{
    // Width and largest number of decimals follow the display's digits.
    const int width = digitclass::width(digitclass::of(digitsIndex));
    const int decimals = digitclass::shownDecimals(digitsIndex, dp);
    static constexpr double scale[] = {1.0, 0.1, 0.01, 0.001, 0.0001};
    if (decimals == 0)
        return cfmt("%0*d", width, sp);
    return cfmt("%0*.*f", width, decimals, sp * scale[decimals]);
}

RelayPanelText relayPanelText(const TDisplayConfig& c, int relay, TLanguage language)
{
    const TLanguage l = language;
    const TConstRelayFields r = c.relay(relay);
    RelayPanelText t;
    t.delayLabel = r.DelayType == '0' ? delayTimed.pick(l) : delayHysteresis.pick(l);
    t.triggerText = r.TriggerLevel == '0' ? triggerHigh.pick(l) : triggerLow.pick(l);
    t.enabled = r.Enabled == 1;
    if (t.enabled) {
        t.delay = cfmt("%03d", r.Delay);
        t.setpoint = setpointText(r.Setpoint, c.DigitsIndex, c.DecimalPoint);
    } else {
        t.delay = " ";
        t.setpoint = " ";
    }
    return t;
}
