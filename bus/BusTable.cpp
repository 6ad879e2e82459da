#include "bus/BusTable.h"

#include <cmath>

#include "base/Formats.h"
#include "base/Texts.h"
#include "config/MainPanelCaptions.h"
#include "config/PanelTexts.h"
#include "config/PlainFields.h"
#include "link/LinkTexts.h"

namespace {

const TTexts kTitle{"Visualitzadors de la línia", "Visualizadores de la línea", "Afficheurs de la ligne",
    "Displays on the line"};
const TTexts kHoldsLine{
    "La finestra «Visualitzadors de la línia» està fent servir el port: atureu-ne la lectura o espereu que acabi.",
    "La ventana «Visualizadores de la línea» está usando el puerto: detenga su lectura o espere a que termine.",
    "La fenêtre « Afficheurs de la ligne » utilise le port : arrêtez sa lecture ou attendez qu'elle se termine.",
    "The \"Displays on the line\" window is using the port: stop its reading or wait for it to end."};
const TTexts kRefusals[] = {
    {"La finestra principal té un intercanvi amb el visualitzador en curs: espereu que acabi.",
        "La ventana principal tiene un intercambio con el visualizador en curso: espere a que termine.",
        "La fenêtre principale a un échange en cours avec l'afficheur : attendez qu'il se termine.",
        "The main window has an exchange with the display under way: wait for it to end."},
    {"La finestra principal està llegint contínuament: atureu-ne la lectura primer.",
        "La ventana principal está leyendo de forma continua: detenga su lectura primero.",
        "La fenêtre principale lit en continu : arrêtez d'abord sa lecture.",
        "The main window is reading continuously: stop its reading first."},
    {"El diagnòstic de connexió està fent servir el port: espereu que acabi o cancel·leu-lo.",
        "El diagnóstico de conexión está usando el puerto: espere a que termine o cancélelo.",
        "Le diagnostic de connexion utilise le port : attendez qu'il se termine ou annulez-le.",
        "The connection doctor is using the port: wait for it to end or cancel it."},
};
const TTexts kOk{"bé", "bien", "ok", "ok"};
const TTexts kNoAnswerYet{"sense lectura", "sin lectura", "sans lecture", "no reading yet"};
const TTexts kStale{"antic", "antiguo", "périmé", "stale"};
const TTexts kMissed{"%1 lectures perdudes seguides", "%1 lecturas perdidas seguidas", "%1 lectures manquées de suite",
    "missed %1 in a row"};
const TTexts kLateUntimed{"resposta tardana", "respuesta tardía", "réponse tardive", "late reply"};
const TTexts kFileStates[] = {
    {"sense carpeta", "sin carpeta", "pas de dossier", "no folder"},
    {"sense arxiu", "sin archivo", "pas de fichier", "no file"},
    {"arxiu il·legible", "archivo ilegible", "fichier illisible", "unreadable file"},
    {"configuració no llegida", "configuración no leída", "configuration non lue", "configuration not read"},
    {"coincideix", "coincide", "identique", "matches"},
    {"difereix", "difiere", "diffère", "differs"},
};
const TTexts kOff{"desactivat", "desactivado", "désactivé", "off"};
const TTexts kColumns[] = {
    {"Adreça", "Dirección", "Adresse", "Address"},
    {"Valor", "Valor", "Valeur", "Value"},
    {"Relé 1", "Relé 1", "Relais 1", "Relay 1"},
    {"Relé 2", "Relé 2", "Relais 2", "Relay 2"},
    {"Lectura", "Lectura", "Lecture", "Reading"},
    {"Entrada", "Entrada", "Entrée", "Input"},
    {"Dígits", "Dígitos", "Chiffres", "Digits"},
    {"Decimals", "Decimales", "Décimales", "Decimals"},
    {"Consignes", "Consignas", "Consignes", "Set points"},
    {"Arxiu", "Archivo", "Fichier", "File"},
};
const TTexts kDifferencesColumn{"Diferències", "Diferencias", "Différences", "Differences"};

std::string trimmed(std::string s)
{
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The configuration as it travels: input values to the thousandth, display
// values to whole counts of the decimal position.
TDisplayConfig asSent(TDisplayConfig c)
{
    const double counts = std::pow(10.0, std::min<int>(c.DecimalPoint, 4));
    for (double* v : {&c.InputValue1, &c.InputValue2})
        *v = std::round(*v * 1000.0) / 1000.0;
    for (double* v : {&c.DisplayValue1, &c.DisplayValue2})
        *v = std::round(*v * counts) / counts;
    return c;
}

std::string setpointWords(const TDisplayConfig& c, int relay, TLanguage language)
{
    const TConstRelayFields r = c.relay(relay);
    if (r.Enabled != 1)
        return kOff.pick(language);
    const int decimals = std::min<int>(c.DecimalPoint, 4);
    return cfmt("%.*f", decimals, r.Setpoint / std::pow(10.0, decimals));
}

std::string csvField(const std::string& s)
{
    if (s.find_first_of(",\"\r\n") == std::string::npos)
        return s;
    std::string out = "\"";
    for (char ch : s)
        out += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    return out + '"';
}

} // namespace

bool noWords(const TWords& words)
{
    return words.pick(TLanguage::English).empty();
}

std::vector<TBusDifference> configDifferences(const TDisplayConfig& fileConfig, const TDisplayConfig& displayConfig,
    TLanguage language)
{
    const TLanguage l = language;
    const TDisplayConfig file = asSent(fileConfig);
    TDisplayConfig display = asSent(displayConfig);
    // What never travels is not the display's to differ in.
    display.DigitsIndex = file.DigitsIndex;
    std::vector<TBusDifference> out;
    const AnalogPanelText a = analogPanelText(file, l);
    const AnalogPanelText b = analogPanelText(display, l);
    for (int i = 0; i < 7; ++i) {
        const std::string field = trimmed(a.label[i].value_or(b.label[i].value_or("")));
        const std::string x = trimmed(a.value[i].value_or("-"));
        const std::string y = trimmed(b.value[i].value_or("-"));
        if (x != y && !field.empty())
            out.push_back({field, x, y});
    }
    const MainPanelCaptions& captions = mainPanelCaptions(l);
    for (int n = 1; n <= 2; ++n) {
        const std::string group = trimmed(n == 1 ? captions.relay1Group : captions.relay2Group);
        const RelayPanelText x = relayPanelText(file, n, l);
        const RelayPanelText y = relayPanelText(display, n, l);
        if (x.enabled != y.enabled) {
            out.push_back({group, x.enabled ? trimmed(x.triggerText) : kOff.pick(l),
                y.enabled ? trimmed(y.triggerText) : kOff.pick(l)});
            continue;
        }
        if (!x.enabled)
            continue;
        const std::pair<std::string, std::pair<std::string, std::string>> fields[] = {
            {trimmed(x.delayLabel), {x.delay, y.delay}},
            {trimmed(captions.threshold), {setpointWords(file, n, l), setpointWords(display, n, l)}},
        };
        if (x.triggerText != y.triggerText)
            out.push_back({group, trimmed(x.triggerText), trimmed(y.triggerText)});
        if (x.delayLabel != y.delayLabel)
            out.push_back({group, trimmed(x.delayLabel), trimmed(y.delayLabel)});
        for (const auto& [field, values] : fields)
            if (trimmed(values.first) != trimmed(values.second))
                out.push_back({group + " · " + field, trimmed(values.first), trimmed(values.second)});
    }
    return out;
}

std::string differencesText(const std::vector<TBusDifference>& differences, TLanguage language)
{
    std::string out;
    for (const TBusDifference& d : differences)
        out += fillIn(kFileAndDisplay.pick(language), {d.field, d.file, d.display}) + "\n";
    if (!out.empty())
        out.pop_back();
    return out;
}

TConfigSummary configSummary(const TDisplayConfig& c, std::optional<std::uint8_t> digitsIndex, TLanguage language)
{
    const TLanguage l = language;
    const AnalogPanelText a = analogPanelText(c, l);
    TConfigSummary s;
    s.input = trimmed(a.value[0].value_or("-"));
    if (a.value[1])
        s.input += ", " + trimmed(*a.value[1]);
    if (digitsIndex)
        s.digits = cfmt("%d", *digitsIndex + 2);
    s.decimals = cfmt("%d", c.DecimalPoint);
    s.setpoints = setpointWords(c, 1, l) + " / " + setpointWords(c, 2, l);
    return s;
}

bool readingStale(const TReadingState& state)
{
    return state.missedInRow > 0;
}

std::string readingStateText(const TReadingState& state, TLanguage language)
{
    std::string out;
    if (state.missedInRow >= 2)
        out = fillIn(kMissed.pick(language), {cfmt("%d", state.missedInRow)});
    else if (state.missedInRow == 1)
        out = kStale.pick(language);
    else
        out = (state.answered ? kOk : kNoAnswerYet).pick(language);
    if (state.lateMs > 0)
        out += "; " + lateReplyText(state.lateMs, language);
    else if (state.lateMs == 0)
        out += "; " + std::string(kLateUntimed.pick(language));
    return out;
}

std::string fileStateText(TFileState state, TLanguage language)
{
    return kFileStates[static_cast<int>(state)].pick(language);
}

std::string busCsv(const std::vector<TCsvRow>& rows, TLanguage language)
{
    std::string out;
    for (const std::string& name : busColumns(language))
        out += csvField(name) + ",";
    out += std::string(kDifferencesColumn.pick(language)) + "\r\n";
    for (const TCsvRow& r : rows) {
        const auto lamp = [&](std::size_t n) { return r.relays ? std::string((*r.relays)[n] ? "1" : "0") : ""; };
        const std::vector<std::string> fields = {cfmt("%02d", r.address), r.value ? readingValueText(*r.value) : "", lamp(0),
            lamp(1), readingStateText(r.reading, language), r.summary ? r.summary->input : "",
            r.summary ? r.summary->digits : "", r.summary ? r.summary->decimals : "",
            r.summary ? r.summary->setpoints : "", fileStateText(r.file, language), r.differences};
        std::string line;
        for (const std::string& f : fields)
            line += (line.empty() && &f == &fields.front() ? "" : ",") + csvField(f);
        out += line + "\r\n";
    }
    return out;
}

std::string readingValueText(const std::string& value)
{
    // The display's bytes are Latin-1; a control byte is shown, never passed on.
    std::string out;
    for (const char ch : escapedControls(value)) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return trimmed(out);
}

std::vector<std::string> busColumns(TLanguage language)
{
    std::vector<std::string> out;
    for (const TTexts& c : kColumns)
        out.emplace_back(c.pick(language));
    return out;
}

std::string busWindowTitle(TLanguage language)
{
    return kTitle.pick(language);
}

std::string busHoldsLineText(TLanguage language)
{
    return kHoldsLine.pick(language);
}

std::string busRefusalText(TBusRefusal why, TLanguage language)
{
    return kRefusals[static_cast<int>(why)].pick(language);
}
