#include "config/PanelTexts.h"

#include <array>
#include <optional>
#include <string>

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

std::uint8_t lang(std::uint8_t language) { return language <= 3 ? language : 0; }

using Four = std::array<const char*, 4>;

struct AnalogWords {
    Four label6{"Control", "Control", "Contrôle ", "Control"};
    Four processName{"Procès", "Proceso", "Process", "Process"};
    Four temperatureName{"Termòmetre", "Termómetro", "Thermometre", "Thermometer"};
    Four inputType{"Tipus entrada", "Tipo entrada", "Type entrée", "Input type "};
    Four voltage{"Tensió", "Tensión", "Tension ", "Voltage "};
    Four current{"Corrent", "Corriente", "Courant ", "Current"};
    Four inputValue{"Valor entrada", "Valor entrada", "Valeur entrée", "Input value "};
    Four displayValue{"Valor display entrada", "Valor display entrada", "Valeur affichage", "Display value "};
    Four decimalPoint{"Posició punt decimal", "Posición punto decimal", "Position point décimal", "Decimal point place"};
    Four units{"Unitat de mesura", "Unidad de medida", "Unité de mesure", "Enginnering units"};
    Four probe{"Tipus de sonda", "Tipo de sonda", "Type de sonde", "Probe type"};
    Four resolution{"Resolució", "Resolución", "Résolution", "Resolution"};
    Four offset{"Offset del termòmetre", "Offset del termómetro", "Offset du thermometre", "Thermometer offset"};
};
const AnalogWords analogWords;

const Four delayTimed{"Temps retard", "Tiempo retardo", "Temps retard", "Delay"};
const Four delayHysteresis{"Valor histeresis", "Valor histeresis", "Valeur hystérésis", "Hysteresis value"};
const Four triggerHigh{"Activat si valor > nivell dispar", "Activado si valor > nivel disparo", "On si valeur > seuil",
    "On if value > level"};
const Four triggerLow{"Activat si valor < nivell dispar", "Activado si valor < nivel disparo", "On si valeur < seuil",
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

AnalogPanelText analogPanelText(const TDisplayConfig& c, std::uint8_t language)
{
    const std::uint8_t l = lang(language);
    const AnalogWords& w = analogWords;
    AnalogPanelText t;
    if (c.InputMode == 0) {
        t.label[0] = w.label6[l];
        t.value[0] = w.processName[l];
        t.label[1] = w.inputType[l];
        t.label[6] = w.decimalPoint[l];
        if (c.ProcessInput == 0)
            t.value[1] = w.voltage[l];
        else if (c.ProcessInput == 1)
            t.value[1] = w.current[l];
        t.label[2] = std::string(w.inputValue[l]) + " 1";
        t.value[2] = generalFloatText(c.InputValue1);
        t.label[3] = std::string(w.displayValue[l]) + " 1";
        t.value[3] = generalFloatText(c.DisplayValue1);
        t.label[4] = std::string(w.inputValue[l]) + " 2";
        t.value[4] = generalFloatText(c.InputValue2);
        t.label[5] = std::string(w.displayValue[l]) + " 2";
        t.value[5] = generalFloatText(c.DisplayValue2);
        t.value[6] = recordField(&TDisplayConfig::DecimalPoint).panelText(c.DecimalPoint);
        t.lastRowsShown = true;
    } else if (c.InputMode == 1) {
        t.label[0] = w.label6[l];
        t.value[0] = w.temperatureName[l];
        t.label[1] = w.units[l];
        t.label[2] = w.probe[l];
        t.label[3] = w.resolution[l];
        t.value[1] = recordField(&TDisplayConfig::TempUnits).panelText(c.TempUnits);
        t.value[2] = recordField(&TDisplayConfig::ProbeType).panelText(c.ProbeType);
        t.value[3] = recordField(&TDisplayConfig::Resolution).panelText(c.Resolution);
        t.label[4] = w.offset[l];
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

RelayPanelText relayPanelText(const TDisplayConfig& c, int relay, std::uint8_t language)
{
    const std::uint8_t l = lang(language);
    const TConstRelayFields r = c.relay(relay);
    RelayPanelText t;
    t.delayLabel = r.DelayType == '0' ? delayTimed[l] : delayHysteresis[l];
    t.triggerText = r.TriggerLevel == '0' ? triggerHigh[l] : triggerLow[l];
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
