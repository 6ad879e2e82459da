#pragma once
#include "base/Texts.h"

// Texts of the trend window and the CSV log, by language (0 Catalan,
// 1 Spanish, 2 French, 3 English).
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
inline constexpr TTexts kFileDialogTitle = {"Enregistra en un fitxer CSV", "Grabar en un archivo CSV",
                                            "Enregistrer dans un fichier CSV", "Record to a CSV file"};
inline constexpr TTexts kCsvFiles = {"Fitxers CSV (*.csv)", "Archivos CSV (*.csv)", "Fichiers CSV (*.csv)",
                                     "CSV files (*.csv)"};
inline constexpr TTexts kAllFiles = {"Tots els fitxers (*)", "Todos los archivos (*)", "Tous les fichiers (*)",
                                     "All files (*)"};

inline constexpr TTexts kOpenFailure = {"No es pot obrir %1: %2.", "No se puede abrir %1: %2.",
                                        "Impossible d'ouvrir %1 : %2.", "Cannot open %1: %2."};
inline constexpr TTexts kWriteFailure = {
    "Enregistrament aturat: no es pot escriure a %1: %2.", "Grabación detenida: no se puede escribir en %1: %2.",
    "Enregistrement arrêté : impossible d'écrire dans %1 : %2.", "Recording stopped: cannot write to %1: %2."};

inline constexpr TTexts kNotRegularFile = {"no és un fitxer normal", "no es un archivo normal",
                                           "ce n'est pas un fichier ordinaire", "not a regular file"};
inline constexpr TTexts kNoSpace = {"no queda espai al disc", "no queda espacio en el disco",
                                    "plus d'espace sur le disque", "no space left on the disk"};
inline constexpr TTexts kTooLarge = {"el fitxer és massa gran", "el archivo es demasiado grande",
                                     "fichier trop volumineux", "file too large"};
inline constexpr TTexts kDenied = {"permís denegat", "permiso denegado", "permission refusée", "permission denied"};
inline constexpr TTexts kReadOnly = {"sistema de fitxers només de lectura", "sistema de archivos de solo lectura",
                                     "système de fichiers en lecture seule", "read-only file system"};
inline constexpr TTexts kIoError = {"error d'entrada/sortida", "error de entrada/salida", "erreur d'entrée/sortie",
                                    "input/output error"};
inline constexpr TTexts kQuota = {"s'ha superat la quota de disc", "cuota de disco superada",
                                  "quota de disque dépassé", "disk quota exceeded"};
inline constexpr TTexts kNoSuchFile = {"no existeix el fitxer o la carpeta", "no existe el archivo o la carpeta",
                                       "fichier ou dossier inexistant", "no such file or folder"};
inline constexpr TTexts kIsFolder = {"és una carpeta", "es una carpeta", "c'est un dossier", "it is a folder"};
inline constexpr TTexts kNotFolder = {"una part del camí no és una carpeta", "una parte de la ruta no es una carpeta",
                                      "une partie du chemin n'est pas un dossier", "a part of the path is not a folder"};

} // namespace trendtext
