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
                                         "impossible de lire l'entrée standard : %1", "cannot read standard input: %1"};
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
inline constexpr TTexts kWouldGoOut{" (sortiria com a \"%1\")", " (saldría como \"%1\")", " (il partirait comme \"%1\")",
                                    " (it would go out as \"%1\")"};

} // namespace ctltext
