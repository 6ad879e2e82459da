#pragma once
#include "base/Texts.h"

// Texts of the trend window and the CSV log, by language.
namespace trendtext {

inline constexpr TTexts kTitle = {"Tendència", "Tendencia", "Tendance", "Trend"};
inline constexpr TTexts kSpan = {"Interval", "Intervalo", "Durée", "Span"};
inline constexpr TTexts kFollow = {"Segueix el final", "Seguir el final", "Suivre la fin", "Follow latest"};
inline constexpr TTexts kRecord = {"Enregistra", "Grabar", "Enregistrer", "Record"};
inline constexpr TTexts kStop = {"Atura", "Detener", "Arrêter", "Stop"};
inline constexpr TTexts kClear = {"Esborra", "Borrar", "Effacer", "Clear"};
inline constexpr TTexts kValue = {"Valor", "Valor", "Valeur", "Value"};
inline constexpr TTexts kThreshold = {"Nivell dispar %1", "Nivel disparo %1", "Seuil %1", "Threshold %1"};
inline constexpr TTexts kRelayOn = {"Rele %1 ON", "Rele %1 ON", "Relais %1 ON", "Relay %1 ON"};
inline constexpr TTexts kLatest = {"Últim", "Último", "Dernier", "Latest"};
inline constexpr TTexts kMinimum = {"Mínim", "Mínimo", "Minimum", "Minimum"};
inline constexpr TTexts kMaximum = {"Màxim", "Máximo", "Maximum", "Maximum"};
inline constexpr TTexts kMean = {"Mitjana", "Media", "Moyenne", "Mean"};
inline constexpr TTexts kReadings = {"Lectures", "Lecturas", "Lectures", "Readings"};
inline constexpr TTexts kMissed = {"Perdudes", "Perdidas", "Manquées", "Missed"};
inline constexpr TTexts kNonNumbers = {"No numèriques", "No numéricas", "Non numériques", "Not a number"};
inline constexpr TTexts kNoReply = {"sense resposta", "sin respuesta", "sans réponse", "no reply"};
inline constexpr TTexts kRecording = {"Enregistrant a %1", "Grabando en %1", "Enregistrement dans %1", "Recording to %1"};
inline constexpr TTexts kFileDialogTitle = {"Enregistra en un arxiu CSV", "Grabar en un archivo CSV",
                                            "Enregistrer dans un fichier CSV", "Record to a CSV file"};
inline constexpr TTexts kCsvFiles = {"Arxius CSV (*.csv)", "Archivos CSV (*.csv)", "Fichiers CSV (*.csv)",
                                     "CSV files (*.csv)"};
inline constexpr TTexts kAllFiles = {"Tots els arxius (*)", "Todos los archivos (*)", "Tous les fichiers (*)",
                                     "All files (*)"};

inline constexpr TTexts kOpenFailure = {"No es pot obrir %1: %2.", "No se puede abrir %1: %2.",
                                        "Impossible d'ouvrir %1 : %2.", "Cannot open %1: %2."};
inline constexpr TTexts kWriteFailure = {
    "Enregistrament aturat: no es pot escriure a %1: %2.", "Grabación detenida: no se puede escribir en %1: %2.",
    "Enregistrement arrêté : impossible d'écrire dans %1 : %2.", "Recording stopped: cannot write to %1: %2."};

} // namespace trendtext
