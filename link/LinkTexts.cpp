#include "link/LinkTexts.h"

#include "base/Formats.h"
#include "base/Texts.h"
#include "link/DisplayLink.h"
#include "link/Traffic.h"

namespace {

const TTexts kKinds[] = {
    {"Dades de calibració", "Datos de calibración", "Données de calibration", "Calibration data"},
    {"Rebre configuració", "Recibir configuración", "Recevoir configuration", "Receive setup"},
    {"Lectura", "Lectura", "Lecture", "Reading"},
    {"Enviar configuració", "Enviar configuración", "Envoyer configuration", "Send setup"},
};
const TTexts kOtherKind{"Petició", "Petición", "Requête", "Request"};

const TTexts kNoReply{"%1: cap resposta del visualitzador %2 a %3 després de %4 s",
    "%1: sin respuesta del visualizador %2 en %3 tras %4 s",
    "%1 : pas de réponse de l'afficheur %2 sur %3 après %4 s",
    "%1: no reply from display %2 on %3 after %4 s"};
const TTexts kWrongAddress{"%1: resposta d'una altra adreça (%2) a %3, no del visualitzador %4",
    "%1: respuesta de otra dirección (%2) en %3, no del visualizador %4",
    "%1 : réponse d'une autre adresse (%2) sur %3, pas de l'afficheur %4",
    "%1: reply from another address (%2) on %3, not from display %4"};
const TTexts kUnexpected{"%1: resposta inesperada del visualitzador %2 a %3",
    "%1: respuesta inesperada del visualizador %2 en %3",
    "%1 : réponse inattendue de l'afficheur %2 sur %3",
    "%1: unexpected reply from display %2 on %3"};
const TTexts kNoise{"%1: soroll a %2 en lloc d'una resposta del visualitzador %3",
    "%1: ruido en %2 en lugar de una respuesta del visualizador %3",
    "%1 : du bruit sur %2 au lieu d'une réponse de l'afficheur %3",
    "%1: noise on %2 instead of a reply from display %3"};
const TTexts kOverflow{"%1: resposta il·legible a %2 (sense final de trama)",
    "%1: respuesta ilegible en %2 (sin final de trama)",
    "%1 : réponse illisible sur %2 (sans fin de trame)",
    "%1: unreadable reply on %2 (no end of frame)"};
const TTexts kLost{"%1: %2 s'ha desconnectat", "%1: %2 se ha desconectado", "%1 : %2 s'est déconnecté",
    "%1: %2 was disconnected"};
const TTexts kMissedOne{"1 lectura perduda", "1 lectura perdida", "1 lecture manquée", "1 reading missed"};
const TTexts kMissed{"%1 lectures perdudes", "%1 lecturas perdidas", "%1 lectures manquées", "%1 readings missed"};
const TTexts kLate{"resposta tardana (%1 s)", "respuesta tardía (%1 s)", "réponse tardive (%1 s)", "late reply (%1 s)"};
const TTexts kDisconnected{"Dispositiu desconnectat", "Dispositivo desconectado", "Périphérique déconnecté",
    "Device disconnected"};

// The two address characters of a frame, as they went or came on the line.
std::string addressOf(const std::vector<std::uint8_t>& frame)
{
    std::string out;
    for (std::size_t i = 1; i < 3 && i < frame.size(); ++i) {
        const std::uint8_t b = frame[i];
        out += b >= 0x20 && b < 0x7F ? std::string(1, static_cast<char>(b)) : cfmt("<%02X>", b);
    }
    return out;
}

} // namespace

std::string requestKindText(std::uint8_t kind, TLanguage language)
{
    return (kind >= 1 && kind <= 4 ? kKinds[kind - 1] : kOtherKind).pick(language);
}

std::string exchangeNotice(const TExchangeReport& report, TLanguage language, bool withDevice)
{
    const std::string what = requestKindText(report.kind, language);
    const std::string address = addressOf(report.request);
    const std::string port = withDevice ? report.portText() : report.port;
    switch (report.outcome) {
    case TExchangeOutcome::NoReply:
        return fillIn(kNoReply.pick(language),
            {what, address, port, cfmt("%.1f", static_cast<double>(report.latency().count()) / 1000.0)});
    case TExchangeOutcome::WrongAddress:
        return fillIn(kWrongAddress.pick(language), {what, addressOf(report.reply), port, address});
    case TExchangeOutcome::Unexpected:
        if (checkReply(report.reply, report.request) == TReplyCheck::Noise)
            return fillIn(kNoise.pick(language), {what, port, address});
        return fillIn(kUnexpected.pick(language), {what, address, port});
    case TExchangeOutcome::Overflow:
        return fillIn(kOverflow.pick(language), {what, port});
    case TExchangeOutcome::LineLost:
        return fillIn(kLost.pick(language), {what, port});
    case TExchangeOutcome::Reply:
    case TExchangeOutcome::OpenFailed:
    case TExchangeOutcome::Abandoned:
        break;
    }
    return {};
}

std::string missedReadingsText(int count, TLanguage language)
{
    return count == 1 ? kMissedOne.pick(language) : fillIn(kMissed.pick(language), {cfmt("%d", count)});
}

std::string lateReplyText(int ms, TLanguage language)
{
    return fillIn(kLate.pick(language), {cfmt("%.1f", static_cast<double>(ms) / 1000.0)});
}

std::string deviceDisconnectedText(TLanguage language)
{
    return kDisconnected.pick(language);
}

std::string trafficNoteText(TTrafficNote note, bool sent, TLanguage language)
{
    static const TTexts kOk{"Correcta", "Correcta", "Correcte", "OK"};
    static const TTexts kNotes[] = {
        {"Sense resposta", "Sin respuesta", "Pas de réponse", "No reply"},
        {"Altra adreça", "Otra dirección", "Autre adresse", "Another address"},
        {"Resposta inesperada", "Respuesta inesperada", "Réponse inattendue", "Unexpected reply"},
        {"Sense final (CR)", "Sin final (CR)", "Sans fin (CR)", "No end (CR)"},
        {"Eco descartat", "Eco descartado", "Écho ignoré", "Echo dropped"},
        {"Apartada: altra adreça", "Apartada: otra dirección", "Mise de côté : autre adresse",
            "Set aside: another address"},
        {"Descartat després del CR", "Descartado tras el CR", "Ignoré après le CR", "Dropped after the CR"},
        {"Línia perduda", "Línea perdida", "Ligne perdue", "Line lost"},
        {"Abandonada", "Abandonada", "Abandonnée", "Abandoned"},
        {"Soroll", "Ruido", "Bruit", "Noise"},
        {"Tardana, descartada", "Tardía, descartada", "Tardive, ignorée", "Late, dropped"},
    };
    if (note == TTrafficNote::None)
        return sent ? std::string() : kOk.pick(language);
    return kNotes[static_cast<int>(note) - 1].pick(language);
}
