#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "base/Texts.h"
#include "link/Doctor.h"

// The connection doctor's words: every text it says, in the four languages,
// and how its findings are put together from them.

namespace doctor {

inline const TTexts kCheckNames[kDoctorCheckCount] = {
    {"Dispositiu", "Dispositivo", "Périphérique", "Device"},
    {"Permís", "Permiso", "Permission", "Permission"},
    {"Ocupat", "Ocupado", "Occupé", "Busy"},
    {"Eco", "Eco", "Écho", "Echo"},
    {"Resposta", "Respuesta", "Réponse", "Answer"},
    {"Cerca", "Búsqueda", "Recherche", "Search"},
};
inline const TTexts kVerdictName{"Veredicte", "Veredicto", "Verdict", "Verdict"};
inline const TTexts kVerdicts[] = {
    {"correcte", "correcto", "correct", "ok"},
    {"problema", "problema", "problème", "problem"},
    {"omès", "omitido", "omis", "skipped"},
};
inline const TTexts kLine{"%1: %2. %3", "%1: %2. %3", "%1 : %2. %3", "%1: %2. %3"};
inline const TTexts kConclusionLine{"%1: %2", "%1: %2", "%1 : %2", "%1: %2"};

// Device
inline const TTexts kNoDeviceSet{"No hi ha cap dispositiu assignat al port %1.", "No hay ningún dispositivo asignado al puerto %1.",
    "Aucun périphérique n'est attribué au port %1.", "No device is set for port %1."};
inline const TTexts kChooseDevice{"Trieu el dispositiu d'aquest port a la configuració de la línia sèrie.",
    "Elija el dispositivo de este puerto en la configuración de la línea serie.",
    "Choisissez le périphérique de ce port dans les réglages de la ligne série.",
    "Choose the device of this port in the serial line settings."};
inline const TTexts kMissing{"%1 no existeix: no hi ha res connectat.", "%1 no existe: no hay nada conectado.",
    "%1 n'existe pas : rien n'est branché.", "%1 does not exist: nothing is plugged in there."};
inline const TTexts kUnreachable{"No es pot arribar a %1: %2.", "No se puede llegar a %1: %2.",
    "%1 est inaccessible : %2.", "%1 cannot be reached: %2."};
inline const TTexts kPresent{"Dispositius sèrie presents: %1.", "Dispositivos serie presentes: %1.",
    "Périphériques série présents : %1.", "Serial devices present: %1."};
inline const TTexts kNonePresent{"No hi ha cap dispositiu sèrie.", "No hay ningún dispositivo serie.",
    "Aucun périphérique série n'est présent.", "No serial device is present."};
inline const TTexts kPlugIn{"Connecteu l'adaptador, o assigneu a %1 un dels dispositius presents a la configuració de la "
                     "línia sèrie.",
    "Conecte el adaptador, o asigne a %1 uno de los dispositivos presentes en la configuración de la línea serie.",
    "Branchez l'adaptateur, ou attribuez à %1 l'un des périphériques présents dans les réglages de la ligne série.",
    "Plug the adapter in, or give %1 one of the devices present in the serial line settings."};
inline const TTexts kPlugInPath{"Connecteu l'adaptador, o indiqueu un dels dispositius presents.",
    "Conecte el adaptador, o indique uno de los dispositivos presentes.",
    "Branchez l'adaptateur, ou indiquez l'un des périphériques présents.",
    "Plug the adapter in, or name one of the devices present."};
inline const TTexts kNotDevice{"%1 no és un dispositiu sèrie: és %2.", "%1 no es un dispositivo serie: es %2.",
    "%1 n'est pas un périphérique série : c'est %2.", "%1 is not a serial device: it is %2."};
inline const TTexts kFolder{"una carpeta", "una carpeta", "un dossier", "a folder"};
inline const TTexts kFile{"un arxiu", "un archivo", "un fichier", "a file"};
inline const TTexts kOtherFile{"un altre tipus d'arxiu", "otro tipo de archivo", "un autre type de fichier",
    "another kind of file"};
inline const TTexts kNoUart{"%1 no té cap port sèrie al darrere (el sistema no hi coneix cap UART).",
    "%1 no tiene ningún puerto serie detrás (el sistema no conoce ninguna UART).",
    "%1 n'a aucun port série derrière lui (le système n'y connaît aucune UART).",
    "%1 has no serial port behind it (the system knows no UART there)."};
inline const TTexts kPseudoTerminal{"%1 és un pseudoterminal (una línia simulada).",
    "%1 es un pseudoterminal (una línea simulada).", "%1 est un pseudo-terminal (une ligne simulée).",
    "%1 is a pseudo-terminal (a simulated line)."};
inline const TTexts kUsb{"%1 és %2 (USB %3).", "%1 es %2 (USB %3).", "%1 est %2 (USB %3).", "%1 is %2 (USB %3)."};
inline const TTexts kUsbAdapter{"un adaptador USB", "un adaptador USB", "un adaptateur USB", "a USB adapter"};
inline const TTexts kSerialNumber{"número de sèrie %1", "número de serie %1", "numéro de série %1", "serial number %1"};
inline const TTexts kById{"També s'anomena %1.", "También se llama %1.", "Aussi appelé %1.", "Also known as %1."};
inline const TTexts kBuiltIn{"%1 és un port sèrie de l'ordinador (controlador %2).",
    "%1 es un puerto serie del ordenador (controlador %2).", "%1 est un port série de l'ordinateur (pilote %2).",
    "%1 is a serial port of the computer (driver %2)."};
inline const TTexts kCharDevice{"%1 existeix (dispositiu de caràcters %2).", "%1 existe (dispositivo de caracteres %2).",
    "%1 existe (périphérique caractère %2).", "%1 exists (character device %2)."};

// Permission
inline const TTexts kMayOpen{"%1 pot obrir %2 (%3, propietari %4, grup %5).", "%1 puede abrir %2 (%3, propietario %4, grupo %5).",
    "%1 peut ouvrir %2 (%3, propriétaire %4, groupe %5).", "%1 may open %2 (%3, owner %4, group %5)."};
// Busy
inline const TTexts kFree{"Cap altre programa no té obert %1.", "Ningún otro programa tiene abierto %1.",
    "Aucun autre programme n'a ouvert %1.", "No other program holds %1."};
inline const TTexts kFarEnd{"L'altre extrem el té %1.", "El otro extremo lo tiene %1.", "L'autre bout est tenu par %1.",
    "Its other end is held by %1."};
inline const TTexts kHidden{"No s'han pogut mirar els arxius oberts de %1 processos d'altres usuaris.",
    "No se han podido mirar los archivos abiertos de %1 procesos de otros usuarios.",
    "Les fichiers ouverts de %1 processus d'autres utilisateurs n'ont pas pu être examinés.",
    "The open files of %1 processes of other users could not be looked at."};
inline const TTexts kGrabberRunning{"%1 s'està executant: de vegades s'apodera dels adaptadors sèrie USB.",
    "%1 se está ejecutando: a veces se apodera de los adaptadores serie USB.",
    "%1 est en cours d'exécution : il lui arrive de s'emparer des adaptateurs série USB.",
    "%1 is running: it sometimes grabs USB serial adapters."};
inline const TTexts kHeld{"%1 el té obert %2.", "%1 lo tiene abierto %2.", "%1 est ouvert par %2.", "%1 is held by %2."};
inline const TTexts kModemManager{"ModemManager s'apodera dels adaptadors sèrie USB per buscar-hi mòdems: atureu-lo amb "
                           "\"sudo systemctl stop ModemManager\", o per sempre amb \"sudo systemctl mask "
                           "ModemManager\".",
    "ModemManager se apodera de los adaptadores serie USB para buscar módems: deténgalo con \"sudo systemctl stop "
    "ModemManager\", o para siempre con \"sudo systemctl mask ModemManager\".",
    "ModemManager s'empare des adaptateurs série USB pour y chercher des modems : arrêtez-le avec \"sudo systemctl "
    "stop ModemManager\", ou pour de bon avec \"sudo systemctl mask ModemManager\".",
    "ModemManager grabs USB serial adapters to look for modems: stop it with \"sudo systemctl stop ModemManager\", "
    "or for good with \"sudo systemctl mask ModemManager\"."};
inline const TTexts kBrltty{"brltty (per a línies braille) s'apodera dels adaptadors sèrie USB: atureu-lo amb \"sudo "
                     "systemctl stop brltty\", o traieu-lo amb \"sudo apt-get remove brltty\".",
    "brltty (para líneas braille) se apodera de los adaptadores serie USB: deténgalo con \"sudo systemctl stop "
    "brltty\", o quítelo con \"sudo apt-get remove brltty\".",
    "brltty (pour les plages braille) s'empare des adaptateurs série USB : arrêtez-le avec \"sudo systemctl stop "
    "brltty\", ou supprimez-le avec \"sudo apt-get remove brltty\".",
    "brltty (for braille displays) grabs USB serial adapters: stop it with \"sudo systemctl stop brltty\", or "
    "remove it with \"sudo apt-get remove brltty\"."};
inline const TTexts kUnseenProcess{"un procés que no es pot veure des d'aquí (el bloqueig el va fer el pid %1)",
    "un proceso que no se puede ver desde aquí (el bloqueo lo hizo el pid %1)",
    "un processus invisible d'ici (le verrou a été pris par le pid %1)",
    "a process that cannot be seen from here (its lock was taken by pid %1)"};
inline const TTexts kFindHolder{"Cerqueu-lo amb \"sudo fuser -v %1\", tanqueu-lo i torneu a passar el diagnòstic.",
    "Búsquelo con \"sudo fuser -v %1\", ciérrelo y vuelva a pasar el diagnóstico.",
    "Trouvez-le avec \"sudo fuser -v %1\", fermez-le, puis relancez le diagnostic.",
    "Find it with \"sudo fuser -v %1\", close it, then run the doctor again."};
inline const TTexts kCloseOther{"Tanqueu %1 (o atureu-lo: \"kill %2\") i torneu a passar el diagnòstic.",
    "Cierre %1 (o deténgalo: \"kill %2\") y vuelva a pasar el diagnóstico.",
    "Fermez %1 (ou arrêtez-le : \"kill %2\"), puis relancez le diagnostic.",
    "Close %1 (or end it: \"kill %2\"), then run the doctor again."};

// Skipped
inline const TTexts kPortUnusable{"No s'ha fet: el port no es pot fer servir.", "No se ha hecho: el puerto no se puede usar.",
    "Non fait : le port ne peut pas être utilisé.", "Not done: the port cannot be used."};
inline const TTexts kNotNeeded{"No cal: el visualitzador respon.", "No hace falta: el visualizador responde.",
    "Inutile : l'afficheur répond.", "Not needed: the display answers."};
inline const TTexts kNotAsked{"No s'ha demanat: afegiu --search per provar totes les velocitats, formats de trama i adreces.",
    "No se ha pedido: añada --search para probar todas las velocidades, formatos de trama y direcciones.",
    "Non demandée : ajoutez --search pour essayer toutes les vitesses, formats de trame et adresses.",
    "Not asked for: add --search to try every speed, frame format and address."};
inline const TTexts kCancelled{"Cancel·lat.", "Cancelado.", "Annulé.", "Cancelled."};
inline const TTexts kCancelledAfter{"Cancel·lada després de %1 de %2 proves.", "Cancelada tras %1 de %2 pruebas.",
    "Annulée après %1 essais sur %2.", "Cancelled after %1 of %2 tries."};

// Echo and answer
inline const TTexts kCannotOpen{"%1 no es pot obrir: %2", "%1 no se puede abrir: %2", "%1 ne peut pas être ouvert : %2",
    "%1 cannot be opened: %2"};
inline const TTexts kWriteFailed{"La petició no s'ha pogut escriure a %1.", "La petición no se ha podido escribir en %1.",
    "La requête n'a pas pu être écrite sur %1.", "The request could not be written to %1."};
inline const TTexts kWentAway{"%1 ha desaparegut durant l'intercanvi.", "%1 ha desaparecido durante el intercambio.",
    "%1 a disparu pendant l'échange.", "%1 went away during the exchange."};
inline const TTexts kCheckPlug{"Reviseu el connector i el cable de l'adaptador i torneu a passar el diagnòstic.",
    "Revise el conector y el cable del adaptador y vuelva a pasar el diagnóstico.",
    "Vérifiez la prise et le câble de l'adaptateur, puis relancez le diagnostic.",
    "Check the adapter's plug and cable, then run the doctor again."};
inline const TTexts kEchoes{"L'adaptador retorna el que envia (eco d'un adaptador RS-485); el programa el descarta.",
    "El adaptador devuelve lo que envía (eco de un adaptador RS-485); el programa lo descarta.",
    "L'adaptateur renvoie ce qu'il envoie (écho d'un adaptateur RS-485) ; le programme l'ignore.",
    "The adapter hands back what it sends (an RS-485 adapter's echo); the program drops it."};
inline const TTexts kNoEcho{"L'adaptador no retorna el que envia.", "El adaptador no devuelve lo que envía.",
    "L'adaptateur ne renvoie pas ce qu'il envoie.", "The adapter does not hand back what it sends."};
inline const TTexts kAnswers{"El visualitzador %1 respon a %2 amb %3.", "El visualizador %1 responde en %2 con %3.",
    "L'afficheur %1 répond sur %2 à %3.", "Display %1 answers on %2 at %3."};
inline const TTexts kNoReply{"El visualitzador %1 no ha respost a %2 amb %3 en %4 s.",
    "El visualizador %1 no ha respondido en %2 con %3 en %4 s.",
    "L'afficheur %1 n'a pas répondu sur %2 à %3 en %4 s.", "Display %1 did not answer on %2 at %3 within %4 s."};
inline const TTexts kEchoOnly{"Només ha tornat l'eco de la petició: l'adaptador envia, però res no respon.",
    "Solo ha vuelto el eco de la petición: el adaptador envía, pero nada responde.",
    "Seul l'écho de la requête est revenu : l'adaptateur envoie, mais rien ne répond.",
    "Only the echo of the request came back: the adapter sends, but nothing answers."};
inline const TTexts kNoEnd{"Han arribat %1 bytes sense final de trama.", "Han llegado %1 bytes sin final de trama.",
    "%1 octets sont arrivés sans fin de trame.", "%1 bytes arrived without an end of frame."};
inline const TTexts kLineErrors{"La línia ha indicat errors de paritat o d'enquadrament.",
    "La línea ha indicado errores de paridad o de trama.", "La ligne a signalé des erreurs de parité ou de trame.",
    "The line reported parity or framing errors."};
inline const TTexts kLikelyFormat{"La velocitat o el format de trama probablement no són els del visualitzador.",
    "La velocidad o el formato de trama probablemente no son los del visualizador.",
    "La vitesse ou le format de trame ne sont probablement pas ceux de l'afficheur.",
    "The speed or frame format is likely not the display's."};
inline const TTexts kOtherAddress{"Ha respost un visualitzador amb l'adreça %1 en lloc del %2.",
    "Ha respondido un visualizador con la dirección %1 en lugar del %2.",
    "Un afficheur d'adresse %1 a répondu à la place de l'afficheur %2.",
    "A display at address %1 answered instead of display %2."};
inline const TTexts kUseAddress{"Feu servir l'adreça %1, o reviseu l'adreça configurada al visualitzador.",
    "Use la dirección %1, o revise la dirección configurada en el visualizador.",
    "Utilisez l'adresse %1, ou vérifiez l'adresse réglée sur l'afficheur.",
    "Use address %1, or check the address set on the display."};
inline const TTexts kNoReading{"El visualitzador %1 ha respost \"%2\", que no porta ni valor ni estat dels relés.",
    "El visualizador %1 ha respondido \"%2\", que no lleva ni valor ni estado de los relés.",
    "L'afficheur %1 a répondu \"%2\", qui ne porte ni valeur ni état des relais.",
    "Display %1 replied \"%2\", which carries neither a value nor relay states."};
inline const TTexts kNoise{"Ha arribat soroll en lloc d'una resposta: \"%1\".", "Ha llegado ruido en lugar de una respuesta: \"%1\".",
    "Du bruit est arrivé au lieu d'une réponse : \"%1\".", "Noise came instead of a reply: \"%1\"."};
inline const TTexts kTrickle{"Han anat arribant bytes sense final de trama (%1 en %2 s): la comprovació s'ha aturat aquí.",
    "Han ido llegando bytes sin final de trama (%1 en %2 s): la comprobación se ha detenido aquí.",
    "Des octets arrivaient sans fin de trame (%1 en %2 s) : la vérification s'est arrêtée là.",
    "Bytes kept trickling in without an end of frame (%1 in %2 s): the check stopped there."};
inline const TTexts kEndlessEcho{"L'eco de la petició no parava de tornar (%1 s), sense cap resposta: la comprovació s'ha aturat "
                          "aquí.",
    "El eco de la petición no dejaba de volver (%1 s), sin ninguna respuesta: la comprobación se ha detenido aquí.",
    "L'écho de la requête revenait sans cesse (%1 s), sans aucune réponse : la vérification s'est arrêtée là.",
    "The echo of the request kept coming back (%1 s) with no reply: the check stopped there."};
inline const TTexts kUnexpected{"El visualitzador %1 ha donat una resposta inesperada: \"%2\".",
    "El visualizador %1 ha dado una respuesta inesperada: \"%2\".",
    "L'afficheur %1 a donné une réponse inattendue : \"%2\".", "Display %1 gave an unexpected reply: \"%2\"."};

// Search
inline const TTexts kFoundOne{"Un visualitzador respon a %1, adreça %2 (%3 proves).",
    "Un visualizador responde a %1, dirección %2 (%3 pruebas).", "Un afficheur répond à %1, adresse %2 (%3 essais).",
    "A display answers at %1, address %2 (%3 tries)."};
inline const TTexts kFoundMany{"Responen visualitzadors a %1, adreces %2 (%3 proves).",
    "Responden visualizadores a %1, direcciones %2 (%3 pruebas).",
    "Des afficheurs répondent à %1, adresses %2 (%3 essais).", "Displays answer at %1, addresses %2 (%3 tries)."};
inline const TTexts kNoneAsConfigured{"Cap no respon com a %1.", "Ninguno responde como %1.", "Aucun ne répond en tant que %1.",
    "None answers as %1."};
inline const TTexts kPseudoFormat{"%1 és un pseudoterminal, que es queda 8 bits de dades i cap paritat demani el que es demani: "
                           "la paritat i els bits de dades no s'hi poden distingir, i es mantenen els configurats.",
    "%1 es un pseudoterminal, que se queda 8 bits de datos y ninguna paridad se pida lo que se pida: la paridad y los "
    "bits de datos no se pueden distinguir, y se mantienen los configurados.",
    "%1 est un pseudo-terminal, qui garde 8 bits de données et aucune parité quoi qu'on lui demande : la parité et les "
    "bits de données ne peuvent pas y être distingués, ceux configurés sont gardés.",
    "%1 is a pseudo-terminal, which keeps 8 data bits and no parity whatever is asked: the parity and data bits "
    "cannot be told apart there, so those configured are kept."};
inline const TTexts kNothingFound{"Cap visualitzador no ha respost a cap velocitat (%2 a %3), format de trama ni adreça "
                           "(00 a 31); %1 proves.",
    "Ningún visualizador ha respondido a ninguna velocidad (%2 a %3), formato de trama ni dirección (00 a 31); "
    "%1 pruebas.",
    "Aucun afficheur n'a répondu, à aucune vitesse (%2 à %3), aucun format de trame ni aucune adresse (00 à "
    "31) ; %1 essais.",
    "No display answered at any speed (%2 to %3), frame format or address (00 to 31); %1 tries."};
inline const TTexts kCheckWiring{"Reviseu el cablatge (en RS-485, A i B poden estar invertits; en RS-232, TX i RX), "
                          "l'alimentació del visualitzador i que cap altre aparell no ocupi la línia.",
    "Revise el cableado (en RS-485, A y B pueden estar invertidos; en RS-232, TX y RX), la alimentación del "
    "visualizador y que ningún otro aparato ocupe la línea.",
    "Vérifiez le câblage (en RS-485, A et B peuvent être inversés ; en RS-232, TX et RX), l'alimentation de "
    "l'afficheur et qu'aucun autre appareil n'occupe la ligne.",
    "Check the wiring (on RS-485, A and B may be swapped; on RS-232, TX and RX), the display's power, and that "
    "nothing else drives the line."};

inline const TTexts kTries{"(%1 proves)", "(%1 pruebas)", "(%1 essais)", "(%1 tries)"};
inline const TTexts kOneTry{"(1 prova)", "(1 prueba)", "(1 essai)", "(1 try)"};
inline const TTexts kLateSearch{"Ha arribat una resposta de l'adreça %1 durant una prova a %2, però una segona petició no n'ha "
                         "obtingut cap: era la resposta tardana a una petició anterior.",
    "Ha llegado una respuesta de la dirección %1 durante una prueba a %2, pero una segunda petición no ha obtenido "
    "ninguna: era la respuesta tardía a una petición anterior.",
    "Une réponse de l'adresse %1 est arrivée pendant un essai à %2, mais une deuxième requête n'en a obtenu aucune : "
    "c'était la réponse tardive à une requête antérieure.",
    "A reply for address %1 came during a try at %2, but a second request there got none: it was a late reply to an "
    "earlier request."};
inline const TTexts kPatientAnswer{"Preguntat de nou a %1 amb %2 s per respondre, el visualitzador %3 ha respost al cap de %4 s.",
    "Preguntado de nuevo a %1 con %2 s para responder, el visualizador %3 ha respondido al cabo de %4 s.",
    "Interrogé de nouveau à %1 avec %2 s pour répondre, l'afficheur %3 a répondu au bout de %4 s.",
    "Asked again at %1 with %2 s to answer, display %3 answered after %4 s."};
inline const TTexts kPatientSilent{"Preguntat de nou a %1 amb %2 s per respondre, el visualitzador %3 no ha respost.",
    "Preguntado de nuevo a %1 con %2 s para responder, el visualizador %3 no ha respondido.",
    "Interrogé de nouveau à %1 avec %2 s pour répondre, l'afficheur %3 n'a pas répondu.",
    "Asked again at %1 with %2 s to answer, display %3 did not answer."};
inline const TTexts kSignedSilent{"El visualitzador %1 tampoc no respon a les peticions per a la seva pròpia adreça a %2.",
    "El visualizador %1 tampoco responde a las peticiones para su propia dirección a %2.",
    "L'afficheur %1 ne répond pas non plus aux requêtes pour sa propre adresse à %2.",
    "Display %1 does not answer requests for its own address at %2 either."};
inline const TTexts kNothingToTry{"Res a provar: no es pot preguntar cap visualitzador amb l'adreça \"%1\".",
    "Nada que probar: no se puede preguntar a ningún visualizador con la dirección \"%1\".",
    "Rien à essayer : aucun afficheur ne peut être interrogé sous l'adresse \"%1\".",
    "Nothing to try: no display can be asked under address \"%1\"."};

// Verdict
inline const TTexts kAllGood{"El visualitzador respon tal com està configurat: no cal canviar res.",
    "El visualizador responde tal como está configurado: no hace falta cambiar nada.",
    "L'afficheur répond tel qu'il est configuré : rien à changer.",
    "The display answers as configured: nothing to change."};
inline const TTexts kUseInstead{"Feu servir aquesta configuració: %1 (en lloc de %2).", "Use esta configuración: %1 (en lugar de %2).",
    "Utilisez ces réglages : %1 (au lieu de %2).", "Use these settings: %1 (instead of %2)."};
inline const TTexts kOtherDisplay{"El visualitzador que respon té l'adreça %1, no la %2 configurada: comproveu que és el que "
                           "voleu configurar.",
    "El visualizador que responde tiene la dirección %1, no la %2 configurada: compruebe que es el que quiere "
    "configurar.",
    "L'afficheur qui répond a l'adresse %1, pas l'adresse %2 configurée : vérifiez que c'est bien celui à régler.",
    "The display that answers has address %1, not the configured %2: make sure it is the one to set up."};
inline const TTexts kOthersAnswer{"Cap visualitzador no respon com a %1; responen els visualitzadors %2 a %3. Reviseu l'adreça "
                           "configurada al visualitzador, o trieu quin d'aquests voleu.",
    "Ningún visualizador responde como %1; responden los visualizadores %2 a %3. Revise la dirección configurada en "
    "el visualizador, o elija cuál de estos quiere.",
    "Aucun afficheur ne répond en tant que %1 ; les afficheurs %2 répondent à %3. Vérifiez l'adresse réglée sur "
    "l'afficheur, ou choisissez lequel de ceux-ci vous voulez.",
    "No display answers as %1; displays %2 answer at %3. Check the address set on the display, or choose which of "
    "these you mean."};
inline const TTexts kTrySearch{"Afegiu --search per buscar-lo a totes les velocitats, formats de trama i adreces.",
    "Añada --search para buscarlo en todas las velocidades, formatos de trama y direcciones.",
    "Ajoutez --search pour le chercher à toutes les vitesses, formats de trame et adresses.",
    "Add --search to look for it at every speed, frame format and address."};
inline const TTexts kNothing{"Cap visualitzador no respon a %1.", "Ningún visualizador responde en %1.",
    "Aucun afficheur ne répond sur %1.", "No display answers on %1."};
inline const TTexts kSlowVerdict{"El visualitzador %1 respon a %2, però només al cap de %3 s, més tard que el temps d'espera de "
                          "resposta de %4 s: mantingueu aquesta configuració i doneu-li un temps d'espera més llarg, %5 ms "
                          "(dadizctl: --timeout %5; la finestra: ReplyTimeoutMs=%5 a la secció [Link] de DADiz.conf).",
    "El visualizador %1 responde a %2, pero solo al cabo de %3 s, más tarde que el tiempo de espera de respuesta de %4 "
    "s: mantenga esta configuración y dele un tiempo de espera más largo, %5 ms (dadizctl: --timeout %5; la ventana: "
    "ReplyTimeoutMs=%5 en la sección [Link] de DADiz.conf).",
    "L'afficheur %1 répond à %2, mais seulement au bout de %3 s, plus tard que le délai de réponse de %4 s : gardez "
    "ces réglages et donnez-lui un délai de réponse plus long, %5 ms (dadizctl : --timeout %5 ; la fenêtre : "
    "ReplyTimeoutMs=%5 dans la section [Link] de DADiz.conf).",
    "Display %1 answers at %2, but only after %3 s, later than the reply time-out of %4 s: keep these settings and "
    "give it a longer reply time-out, %5 ms (dadizctl: --timeout %5; the window: ReplyTimeoutMs=%5 in the [Link] "
    "section of DADiz.conf)."};
inline const TTexts kLateVerdict{"Ha arribat una resposta després del seu temps d'espera: sembla que un visualitzador respon a %1, "
                          "però lentament, i no es pot saber amb quina configuració. Torneu a passar el diagnòstic amb un "
                          "temps d'espera de resposta més llarg (dadizctl: --timeout; la finestra: ReplyTimeoutMs a la "
                          "secció [Link] de DADiz.conf) i reviseu la configuració del visualitzador.",
    "Ha llegado una respuesta después de su tiempo de espera: parece que un visualizador responde en %1, pero "
    "lentamente, y no se puede saber con qué configuración. Vuelva a pasar el diagnóstico con un tiempo de espera de "
    "respuesta más largo (dadizctl: --timeout; la ventana: ReplyTimeoutMs en la sección [Link] de DADiz.conf) y "
    "revise la configuración del visualizador.",
    "Une réponse est arrivée après son délai : un afficheur semble répondre sur %1, mais lentement, et ses réglages "
    "ne peuvent pas être déterminés. Relancez le diagnostic avec un délai de réponse plus long (dadizctl : --timeout ; "
    "la fenêtre : ReplyTimeoutMs dans la section [Link] de DADiz.conf) et vérifiez les réglages de l'afficheur.",
    "A reply arrived after its time-out: a display seems to answer on %1, but slowly, so the settings it answers at "
    "cannot be told. Run the doctor again with a longer reply time-out (dadizctl: --timeout; the window: "
    "ReplyTimeoutMs in the [Link] section of DADiz.conf), and check the display's settings."};
inline const TTexts kSignedVerdict{"Un visualitzador respon a les peticions per a l'adreça %1 a %2, però signa les respostes com "
                            "a adreça %3, i el programa no les pot fer servir. Reviseu l'adreça configurada al "
                            "visualitzador i si un altre visualitzador de la línia respon en el seu lloc.",
    "Un visualizador responde a las peticiones para la dirección %1 a %2, pero firma sus respuestas como dirección %3, "
    "y el programa no puede usarlas. Revise la dirección configurada en el visualizador y si otro visualizador de la "
    "línea responde en su lugar.",
    "Un afficheur répond aux requêtes pour l'adresse %1 à %2, mais signe ses réponses de l'adresse %3 : le programme "
    "ne peut pas les utiliser. Vérifiez l'adresse réglée sur l'afficheur, et si un autre afficheur de la ligne répond "
    "à sa place.",
    "A display answers requests for address %1 at %2, but signs its replies as address %3, so the program cannot use "
    "them. Check the address set on the display, and whether another display on the line answers in its place."};
inline const TTexts kFixFirst{"El port no es pot fer servir: resoleu el que diu la comprovació \"%1\" i torneu a passar el "
                       "diagnòstic.",
    "El puerto no se puede usar: resuelva lo que dice la comprobación \"%1\" y vuelva a pasar el diagnóstico.",
    "Le port ne peut pas être utilisé : corrigez ce que signale la vérification \"%1\", puis relancez le "
    "diagnostic.",
    "The port cannot be used: fix what the %1 check says, then run the doctor again."};
inline const TTexts kRunCancelled{"Diagnòstic cancel·lat; el port està tancat.", "Diagnóstico cancelado; el puerto está cerrado.",
    "Diagnostic annulé ; le port est fermé.", "Cancelled; the port is closed."};

// Line settings
inline const TTexts kTrying{"Provant l'adreça %1 a %2 (%3 de %4)", "Probando la dirección %1 a %2 (%3 de %4)",
    "Essai de l'adresse %1 à %2 (%3 sur %4)", "Trying address %1 at %2 (%3 of %4)"};
inline const TTexts kBaud{"%1 baud", "%1 baudios", "%1 bauds", "%1 baud"};
inline const TTexts kShortLine{"%1, %2", "%1, %2", "%1, %2", "%1, %2"};
inline const TTexts kLineAddress{"%1, adreça %2", "%1, dirección %2", "%1, adresse %2", "%1, address %2"};
inline const TTexts kFullLine{"%1, %2 (%3, %4, %5), adreça %6", "%1, %2 (%3, %4, %5), dirección %6",
    "%1, %2 (%3, %4, %5), adresse %6", "%1, %2 (%3, %4, %5), address %6"};
inline const TTexts kDataBits{"%1 bits de dades", "%1 bits de datos", "%1 bits de données", "%1 data bits"};
inline const TTexts kParities[] = {
    {"paritat parell", "paridad par", "parité paire", "even parity"},
    {"paritat imparell", "paridad impar", "parité impaire", "odd parity"},
    {"sense paritat", "sin paridad", "sans parité", "no parity"},
};
inline const TTexts kStopBits[] = {
    {"1 bit de stop", "1 bit de stop", "1 bit de stop", "1 stop bit"},
    {"2 bits de stop", "2 bits de stop", "2 bits de stop", "2 stop bits"},
};

inline const TTexts kRefusals[] = {
    {"Hi ha un intercanvi amb el visualitzador en curs: espereu que acabi.",
        "Hay un intercambio con el visualizador en curso: espere a que termine.",
        "Un échange avec l'afficheur est en cours : attendez qu'il se termine.",
        "An exchange with the display is under way: wait for it to end."},
    {"La lectura contínua està en marxa: atureu-la abans del diagnòstic.",
        "La lectura continua está en marcha: deténgala antes del diagnóstico.",
        "La lecture continue est en cours : arrêtez-la avant le diagnostic.",
        "Continuous reading is running: stop it before the doctor runs."},
};

// An argument of a text: the same in every language, or its own in each.
struct TArg {
    TWords w;
    TArg(const std::string& s) : w(sameWords(s)) {}
    TArg(const char* s) : TArg(std::string(s)) {}
    TArg(TWords words) : w(std::move(words)) {}
};

TWords say(const TTexts& t, std::initializer_list<TArg> args = {});
// Sentences one after the other; empty ones leave no blank.
TWords join(const TWords& a, const TWords& b, const char* between = " ");
TWords joinList(const std::vector<TWords>& items);
std::string joinList(const std::vector<std::string>& items);
// "(12 tries)"
TWords triesWords(int tries);
TCheckResult result(TDoctorCheck check, TVerdict verdict, TWords finding, TWords advice = {});
// "9600 baud, 7E1"
TWords shortLineWords(const TLineFormat& f);
// "9600 baud, 7E1 (7 data bits, even parity, 1 stop bit), address 07"
TWords fullLineWords(const TLineFormat& f, std::uint8_t address);
// Names from the settings file or the command line, as they may be shown.
std::string shownName(const std::string& name);
// "COM1 (/dev/ttyUSB0)", or the port alone when it is its own device.
std::string portTextOf(const std::string& port, const std::string& path);

} // namespace doctor
