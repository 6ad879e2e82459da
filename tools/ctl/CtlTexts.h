#pragma once
#include "base/Texts.h"

// dadizctl's own messages about files, standard input and output, displays
// and exchanges, in the four languages.
namespace ctltext {

inline constexpr TTexts kCannotRead{"no es pot llegir %1", "no se puede leer %1", "impossible de lire %1",
                                    "cannot read %1"};
inline constexpr TTexts kCannotWrite{"no es pot escriure %1", "no se puede escribir %1", "impossible d'écrire %1",
                                     "cannot write %1"};
inline constexpr TTexts kCannotReadFile{"no es pot llegir %1: %2.", "no se puede leer %1: %2.",
                                        "impossible de lire %1 : %2.", "cannot read %1: %2."};
inline constexpr TTexts kCannotWriteFile{"no es pot escriure %1: %2.", "no se puede escribir %1: %2.",
                                         "impossible d'écrire %1 : %2.", "cannot write %1: %2."};
inline constexpr TTexts kCannotReadInput{"no es pot llegir l'entrada estàndard: %1",
                                         "no se puede leer la entrada estándar: %1",
                                         "impossible de lire l'entrée standard : %1",
                                         "cannot read standard input: %1"};
inline constexpr TTexts kCannotWriteOutput{"no es pot escriure a la sortida estàndard: %1",
                                           "no se puede escribir en la salida estándar: %1",
                                           "impossible d'écrire sur la sortie standard : %1",
                                           "cannot write to standard output: %1"};
inline constexpr TTexts kInterrupted{"interromput", "interrumpido", "interrompu", "interrupted"};

// "%1: %2": a display or file, then what happened to it.
inline constexpr TTexts kAbout{"%1: %2", "%1: %2", "%1 : %2", "%1: %2"};
inline constexpr TTexts kDisplayAt{"el visualitzador de l'adreça %1 a %2", "el visualizador de la dirección %1 en %2",
                                   "l'afficheur à l'adresse %1 sur %2", "the display at address %1 on %2"};

// A file value that cannot go out: %1 file, %2 field, %3 its value, %4 why.
inline constexpr TTexts kNothingSent{"%1: %2 %3%4; no s'ha enviat res", "%1: %2 %3%4; no se ha enviado nada",
                                     "%1 : %2 %3%4 ; rien n'a été envoyé", "%1: %2 %3%4; nothing was sent"};
inline constexpr TTexts kNotFinite{" no és un nombre finit", " no es un número finito", " n'est pas un nombre fini",
                                   " is not a finite number"};
inline constexpr TTexts kEndsFrame{" conté un byte CR, que acabaria la petició abans d'hora",
                                   " contiene un byte CR, que terminaría la petición antes de tiempo",
                                   " contient un octet CR, qui terminerait la requête trop tôt",
                                   " holds a CR byte, which would end the request early"};
inline constexpr TTexts kDoesNotFit{" no cap al seu camp de la petició", " no cabe en su campo de la petición",
                                    " ne tient pas dans son champ de la requête",
                                    " does not fit its field of the request"};
inline constexpr TTexts kWouldGoOut{" (sortiria com a \"%1\")", " (saldría como \"%1\")",
                                    " (il partirait comme \"%1\")", " (it would go out as \"%1\")"};

// Why an exchange gave no answer, in a message after the display it was with.
inline constexpr TTexts kAttempts{" (%1 intents)", " (%1 intentos)", " (%1 tentatives)", " (%1 attempts)"};
inline constexpr TTexts kNoiseInstead{"ha arribat soroll en lloc d'una resposta: \"%1\"",
                                      "ha llegado ruido en lugar de una respuesta: \"%1\"",
                                      "du bruit est arrivé au lieu d'une réponse : \"%1\"",
                                      "noise came instead of a reply: \"%1\""};
inline constexpr TTexts kNotAnswer{"la resposta \"%1\" no respon la petició \"%2\"",
                                   "la respuesta \"%1\" no responde a la petición \"%2\"",
                                   "la réponse \"%1\" ne répond pas à la requête \"%2\"",
                                   "the reply \"%1\" does not answer the request \"%2\""};
inline constexpr TTexts kNoEnd{"han arribat %1 bytes sense el final d'una resposta (CR): %2",
                               "han llegado %1 bytes sin el final de una respuesta (CR): %2",
                               "%1 octets sont arrivés sans la fin d'une réponse (CR) : %2",
                               "%1 bytes arrived without the end of a reply (CR): %2"};
inline constexpr TTexts kNotWritten{"la petició no s'ha pogut escriure al dispositiu",
                                    "la petición no se ha podido escribir en el dispositivo",
                                    "la requête n'a pas pu être écrite sur le périphérique",
                                    "the request could not be written to the device"};
inline constexpr TTexts kNotReopened{"el dispositiu no es pot tornar a obrir: %1",
                                     "el dispositivo no se puede volver a abrir: %1",
                                     "le périphérique ne peut pas être rouvert : %1",
                                     "the device cannot be opened again: %1"};
inline constexpr TTexts kWentAway{"el dispositiu ha desaparegut", "el dispositivo ha desaparecido",
                                  "le périphérique a disparu", "the device went away"};
inline constexpr TTexts kPortNotOpened{"el port no es pot obrir.", "el puerto no se puede abrir.",
                                       "le port ne peut pas être ouvert.", "the port cannot be opened."};
inline constexpr TTexts kNoReplyWithin{"cap resposta en %1 ms", "sin respuesta en %1 ms", "pas de réponse en %1 ms",
                                       "no reply within %1 ms"};
inline constexpr TTexts kArrivedNoEnd{"; el que ha arribat no té final (CR): \"%1\"",
                                      "; lo que ha llegado no tiene final (CR): \"%1\"",
                                      " ; ce qui est arrivé n'a pas de fin (CR) : \"%1\"",
                                      "; what arrived has no end (CR): \"%1\""};
inline constexpr TTexts kSetAside{"; s'ha apartat una resposta per a una altra adreça: \"%1\"",
                                  "; se ha apartado una respuesta para otra dirección: \"%1\"",
                                  " ; une réponse pour une autre adresse a été mise de côté : \"%1\"",
                                  "; a reply for another address was set aside: \"%1\""};
inline constexpr TTexts kNoiseDropped{"; s'ha descartat soroll: \"%1\"", "; se ha descartado ruido: \"%1\"",
                                      " ; du bruit a été écarté : \"%1\"", "; noise was dropped: \"%1\""};
inline constexpr TTexts kLineErrors{"; la línia ha indicat errors de paritat o de trama",
                                    "; la línea ha indicado errores de paridad o de trama",
                                    " ; la ligne a signalé des erreurs de parité ou de trame",
                                    "; the line reported parity or framing errors"};
inline constexpr TTexts kNeitherValueNorRelays{"la resposta no porta ni un valor ni l'estat dels relés",
                                               "la respuesta no lleva ni un valor ni el estado de los relés",
                                               "la réponse ne porte ni valeur ni état des relais",
                                               "the reply carries neither a value nor relay states"};

// scan: %1 is the line, %2 an address.
inline constexpr TTexts kScanOf{"exploració de %1", "exploración de %1", "balayage de %1", "scan of %1"};
inline constexpr TTexts kScanProgress{"exploració de %1: adreça %2, %3 trobats",
                                      "exploración de %1: dirección %2, %3 encontrados",
                                      "balayage de %1 : adresse %2, %3 trouvés", "scan of %1: address %2, %3 found"};
inline constexpr TTexts kAtAddress{"adreça %1: %2", "dirección %1: %2", "adresse %1 : %2", "address %1: %2"};
inline constexpr TTexts kNoiseWasDropped{"s'ha descartat soroll: \"%1\"", "se ha descartado ruido: \"%1\"",
                                         "du bruit a été écarté : \"%1\"", "noise was dropped: \"%1\""};
inline constexpr TTexts kLateAnswer{"l'adreça %1 ha respost després del seu temps d'espera: \"%2\"",
                                    "la dirección %1 ha respondido después de su tiempo de espera: \"%2\"",
                                    "l'adresse %1 a répondu après son délai d'attente : \"%2\"",
                                    "address %1 answered after its time-out: \"%2\""};
inline constexpr TTexts kAnsweredAs{
    "la petició per a l'adreça %1 ha estat resposta com a adreça %2: \"%3\" (un visualitzador que respon per una "
    "altra adreça)",
    "la petición para la dirección %1 ha sido respondida como dirección %2: \"%3\" (un visualizador que responde "
    "por otra dirección)",
    "la requête pour l'adresse %1 a reçu la réponse de l'adresse %2 : \"%3\" (un afficheur qui répond pour une "
    "autre adresse)",
    "the request for address %1 was answered as address %2: \"%3\" (a display that answers for another address)"};
inline constexpr TTexts kLateSetAside{
    "s'han apartat %1 resposta(es) tardana(es); un --timeout de més de %2 ms pot trobar aquests visualitzadors",
    "se han apartado %1 respuesta(s) tardía(s); un --timeout de más de %2 ms puede encontrar esos visualizadores",
    "%1 réponse(s) tardive(s) mise(s) de côté ; un --timeout de plus de %2 ms peut trouver ces afficheurs",
    "%1 late answer(s) were set aside; a --timeout longer than %2 ms may find those displays"};
inline constexpr TTexts kNoneAnswered{"cap visualitzador no ha respost a %1 en %2 ms",
                                      "ningún visualizador ha respondido en %1 en %2 ms",
                                      "aucun afficheur n'a répondu sur %1 en %2 ms",
                                      "no display answered on %1 within %2 ms"};

inline constexpr TTexts kCannotOpen{"no es pot obrir %1: %2", "no se puede abrir %1: %2", "impossible d'ouvrir %1 : %2",
                                    "cannot open %1: %2"};
inline constexpr TTexts kNoFolderFiles{
    "%1 no conté cap arxiu de configuració amb el nom d'una adreça (00.dad a 31.dad); --address indica els "
    "visualitzadors",
    "%1 no contiene ningún archivo de configuración con el nombre de una dirección (00.dad a 31.dad); --address "
    "indica los visualizadores",
    "%1 ne contient aucun fichier de configuration nommé d'après une adresse (00.dad à 31.dad) ; --address désigne "
    "les afficheurs",
    "%1 holds no configuration file named after an address (00.dad to 31.dad); --address names the displays"};
inline constexpr TTexts kInputTooLong{"l'entrada estàndard conté més de %1 bytes d'assignacions",
                                      "la entrada estándar contiene más de %1 bytes de asignaciones",
                                      "l'entrée standard contient plus de %1 octets d'affectations",
                                      "standard input holds more than %1 bytes of assignments"};

// send, receive, calib and diff: %1 is a file or a display.
inline constexpr TTexts kSentTo{"%1: enviat a %2", "%1: enviado a %2", "%1 : envoyé à %2", "%1: sent to %2"};
inline constexpr TTexts kSentSame{"%1: enviat a %2 i rellegit igual", "%1: enviado a %2 y releído igual",
                                  "%1 : envoyé à %2 et relu à l'identique", "%1: sent to %2 and read back the same"};
inline constexpr TTexts kReceivedFrom{"%1: rebut de %2", "%1: recibido de %2", "%1 : reçu de %2",
                                      "%1: received from %2"};
inline constexpr TTexts kReadingBack{"%1 (rellegint)", "%1 (releyendo)", "%1 (en relisant)", "%1 (reading back)"};
inline constexpr TTexts kHoldsOther{"%1 té %2 camp(s) diferents de %3", "%1 tiene %2 campo(s) distintos de %3",
                                    "%1 a %2 champ(s) différent(s) de %3", "%1 holds %2 field(s) other than %3"};
inline constexpr TTexts kNotCheckable{"%1: %2 camp(s) de %3 no es poden rellegir per comprovar-los",
                                      "%1: %2 campo(s) de %3 no se pueden releer para comprobarlos",
                                      "%1 : %2 champ(s) de %3 ne peuvent pas être relus pour être vérifiés",
                                      "%1: %2 field(s) of %3 cannot be read back to be checked"};
inline constexpr TTexts kNotSentPort{"%1: no enviat, el seu port no es pot obrir",
                                     "%1: no enviado, su puerto no se puede abrir",
                                     "%1 : non envoyé, son port ne peut pas être ouvert",
                                     "%1: not sent, its port cannot be opened"};
inline constexpr TTexts kOneFile{
    "un FILE conté la configuració d'un sol visualitzador; per rebre'n diversos, doneu una carpeta, on cadascun va "
    "a NN.dad",
    "un FILE contiene la configuración de un solo visualizador; para recibir varios, indique una carpeta, donde cada "
    "uno va a NN.dad",
    "un FILE contient la configuration d'un seul afficheur ; pour en recevoir plusieurs, donnez un dossier, où "
    "chacun va dans NN.dad",
    "one FILE holds one display's configuration; to receive several, give a folder, where each goes to NN.dad"};
// What a 'P' reply lacks: %1 the display, %2 the reply, %3 the problem.
inline constexpr TTexts kReplyProblem{"%1: la resposta \"%2\" %3", "%1: la respuesta \"%2\" %3",
                                      "%1 : la réponse \"%2\" %3", "%1: the reply \"%2\" %3"};
inline constexpr TTexts kReplyProblemUnwritten{"%1: la resposta \"%2\" %3; %4 no s'ha escrit",
                                               "%1: la respuesta \"%2\" %3; %4 no se ha escrito",
                                               "%1 : la réponse \"%2\" %3 ; %4 n'a pas été écrit",
                                               "%1: the reply \"%2\" %3; %4 was not written"};
inline constexpr TTexts kCarriesNone{"no porta res de la configuració", "no lleva nada de la configuración",
                                     "ne porte rien de la configuration", "carries none of the configuration"};
inline constexpr TTexts kCarriesPart{"només porta part de la configuració; hi falten:%1",
                                     "solo lleva parte de la configuración; faltan:%1",
                                     "ne porte qu'une partie de la configuration ; il manque :%1",
                                     "carries only part of the configuration; missing:%1"};
inline constexpr TTexts kNotNumbers{"conté text que no és un nombre: %1", "contiene texto que no es un número: %1",
                                    "contient du texte qui n'est pas un nombre : %1",
                                    "holds text that is not a number: %1"};
inline constexpr TTexts kCannotCarryBack{
    "%1: la resposta \"%2\" conté el que una petició no pot tornar a portar: %3 sortiria com a \"%4\"; %5 no s'ha "
    "escrit",
    "%1: la respuesta \"%2\" contiene lo que una petición no puede volver a llevar: %3 saldría como \"%4\"; %5 no se "
    "ha escrito",
    "%1 : la réponse \"%2\" contient ce qu'une requête ne peut pas renvoyer : %3 partirait comme \"%4\" ; %5 n'a pas "
    "été écrit",
    "%1: the reply \"%2\" holds what a request cannot carry back: %3 would go out as \"%4\"; %5 was not written"};
inline constexpr TTexts kCalibMissing{"%1: a la resposta hi falten %2 dels 18 valors de calibració",
                                      "%1: en la respuesta faltan %2 de los 18 valores de calibración",
                                      "%1 : il manque %2 des 18 valeurs de calibration dans la réponse",
                                      "%1: %2 of the 18 calibration values are missing from the reply"};
inline constexpr TTexts kBeyondReply{"%1: %2 %3 no es pot rellegir (la resposta porta de %4 a %5)",
                                     "%1: %2 %3 no se puede releer (la respuesta lleva de %4 a %5)",
                                     "%1 : %2 %3 ne peut pas être relu (la réponse porte de %4 à %5)",
                                     "%1: %2 %3 cannot be read back (the reply carries %4 to %5)"};
// A difference: %1 field, %2 its value in %3, %4 its value in %5 (or on the display).
inline constexpr TTexts kDiffFiles{"%1: %2 a %3, %4 a %5", "%1: %2 en %3, %4 en %5", "%1 : %2 dans %3, %4 dans %5",
                                   "%1: %2 in %3, %4 in %5"};
inline constexpr TTexts kDiffDisplay{"%1: %2 a %3, %4 al visualitzador", "%1: %2 en %3, %4 en el visualizador",
                                     "%1 : %2 dans %3, %4 sur l'afficheur", "%1: %2 in %3, %4 on the display"};

} // namespace ctltext
