#include "link/Doctor.h"

#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "base/Formats.h"
#include "base/Texts.h"
#include "base/UniqueFd.h"
#include "link/DisplayLink.h"
#include "link/LineSettings.h"
#include "link/Traffic.h"
#include "protocol/Requests.h"
#include "protocol/RxBuffer.h"
#include "serial/PortMap.h"

namespace {

// ---- Words ------------------------------------------------------------------

const TTexts kCheckNames[kDoctorCheckCount] = {
    {"Dispositiu", "Dispositivo", "Périphérique", "Device"},
    {"Permís", "Permiso", "Permission", "Permission"},
    {"Ocupat", "Ocupado", "Occupé", "Busy"},
    {"Eco", "Eco", "Écho", "Echo"},
    {"Resposta", "Respuesta", "Réponse", "Answer"},
    {"Cerca", "Búsqueda", "Recherche", "Search"},
};
const TTexts kVerdictName{"Veredicte", "Veredicto", "Verdict", "Verdict"};
const TTexts kVerdicts[] = {
    {"correcte", "correcto", "correct", "ok"},
    {"problema", "problema", "problème", "problem"},
    {"omès", "omitido", "omis", "skipped"},
};
const TTexts kLine{"%1: %2. %3", "%1: %2. %3", "%1 : %2. %3", "%1: %2. %3"};
const TTexts kConclusionLine{"%1: %2", "%1: %2", "%1 : %2", "%1: %2"};

// Device
const TTexts kNoDeviceSet{"No hi ha cap dispositiu assignat al port %1.", "No hay ningún dispositivo asignado al puerto %1.",
    "Aucun périphérique n'est attribué au port %1.", "No device is set for port %1."};
const TTexts kChooseDevice{"Trieu el dispositiu d'aquest port a la configuració de la línia sèrie.",
    "Elija el dispositivo de este puerto en la configuración de la línea serie.",
    "Choisissez le périphérique de ce port dans les réglages de la ligne série.",
    "Choose the device of this port in the serial line settings."};
const TTexts kMissing{"%1 no existeix: no hi ha res connectat.", "%1 no existe: no hay nada conectado.",
    "%1 n'existe pas : rien n'est branché.", "%1 does not exist: nothing is plugged in there."};
const TTexts kPresent{"Dispositius sèrie presents: %1.", "Dispositivos serie presentes: %1.",
    "Périphériques série présents : %1.", "Serial devices present: %1."};
const TTexts kNonePresent{"No hi ha cap dispositiu sèrie.", "No hay ningún dispositivo serie.",
    "Aucun périphérique série n'est présent.", "No serial device is present."};
const TTexts kPlugIn{"Connecteu l'adaptador, o assigneu a %1 un dels dispositius presents a la configuració de la "
                     "línia sèrie.",
    "Conecte el adaptador, o asigne a %1 uno de los dispositivos presentes en la configuración de la línea serie.",
    "Branchez l'adaptateur, ou attribuez à %1 l'un des périphériques présents dans les réglages de la ligne série.",
    "Plug the adapter in, or give %1 one of the devices present in the serial line settings."};
const TTexts kPlugInPath{"Connecteu l'adaptador, o indiqueu un dels dispositius presents.",
    "Conecte el adaptador, o indique uno de los dispositivos presentes.",
    "Branchez l'adaptateur, ou indiquez l'un des périphériques présents.",
    "Plug the adapter in, or name one of the devices present."};
const TTexts kNotDevice{"%1 no és un dispositiu sèrie: és %2.", "%1 no es un dispositivo serie: es %2.",
    "%1 n'est pas un périphérique série : c'est %2.", "%1 is not a serial device: it is %2."};
const TTexts kFolder{"una carpeta", "una carpeta", "un dossier", "a folder"};
const TTexts kFile{"un fitxer", "un archivo", "un fichier", "a file"};
const TTexts kOtherFile{"un altre tipus de fitxer", "otro tipo de archivo", "un autre type de fichier",
    "another kind of file"};
const TTexts kNoUart{"%1 no té cap port sèrie al darrere (el sistema no hi coneix cap UART).",
    "%1 no tiene ningún puerto serie detrás (el sistema no conoce ninguna UART).",
    "%1 n'a aucun port série derrière lui (le système n'y connaît aucune UART).",
    "%1 has no serial port behind it (the system knows no UART there)."};
const TTexts kPseudoTerminal{"%1 és un pseudoterminal (una línia simulada).",
    "%1 es un pseudoterminal (una línea simulada).", "%1 est un pseudo-terminal (une ligne simulée).",
    "%1 is a pseudo-terminal (a simulated line)."};
const TTexts kUsb{"%1 és %2 (USB %3).", "%1 es %2 (USB %3).", "%1 est %2 (USB %3).", "%1 is %2 (USB %3)."};
const TTexts kUsbAdapter{"un adaptador USB", "un adaptador USB", "un adaptateur USB", "a USB adapter"};
const TTexts kSerialNumber{"número de sèrie %1", "número de serie %1", "numéro de série %1", "serial number %1"};
const TTexts kById{"També s'anomena %1.", "También se llama %1.", "Aussi appelé %1.", "Also known as %1."};
const TTexts kBuiltIn{"%1 és un port sèrie de l'ordinador (controlador %2).",
    "%1 es un puerto serie del ordenador (controlador %2).", "%1 est un port série de l'ordinateur (pilote %2).",
    "%1 is a serial port of the computer (driver %2)."};
const TTexts kCharDevice{"%1 existeix (dispositiu de caràcters %2).", "%1 existe (dispositivo de caracteres %2).",
    "%1 existe (périphérique caractère %2).", "%1 exists (character device %2)."};

// Permission
const TTexts kMayOpen{"%1 pot obrir %2 (%3, propietari %4, grup %5).", "%1 puede abrir %2 (%3, propietario %4, grupo %5).",
    "%1 peut ouvrir %2 (%3, propriétaire %4, groupe %5).", "%1 may open %2 (%3, owner %4, group %5)."};
// Busy
const TTexts kFree{"Cap altre programa no té obert %1.", "Ningún otro programa tiene abierto %1.",
    "Aucun autre programme n'a ouvert %1.", "No other program holds %1."};
const TTexts kFarEnd{"L'altre extrem el té %1.", "El otro extremo lo tiene %1.", "L'autre bout est tenu par %1.",
    "Its other end is held by %1."};
const TTexts kHidden{"No s'han pogut mirar els fitxers oberts de %1 processos d'altres usuaris.",
    "No se han podido mirar los archivos abiertos de %1 procesos de otros usuarios.",
    "Les fichiers ouverts de %1 processus d'autres utilisateurs n'ont pas pu être examinés.",
    "The open files of %1 processes of other users could not be looked at."};
const TTexts kGrabberRunning{"%1 s'està executant: de vegades s'apodera dels adaptadors sèrie USB.",
    "%1 se está ejecutando: a veces se apodera de los adaptadores serie USB.",
    "%1 est en cours d'exécution : il lui arrive de s'emparer des adaptateurs série USB.",
    "%1 is running: it sometimes grabs USB serial adapters."};
const TTexts kHeld{"%1 el té obert %2.", "%1 lo tiene abierto %2.", "%1 est ouvert par %2.", "%1 is held by %2."};
const TTexts kModemManager{"ModemManager s'apodera dels adaptadors sèrie USB per buscar-hi mòdems: atureu-lo amb "
                           "\"sudo systemctl stop ModemManager\", o per sempre amb \"sudo systemctl mask "
                           "ModemManager\".",
    "ModemManager se apodera de los adaptadores serie USB para buscar módems: deténgalo con \"sudo systemctl stop "
    "ModemManager\", o para siempre con \"sudo systemctl mask ModemManager\".",
    "ModemManager s'empare des adaptateurs série USB pour y chercher des modems : arrêtez-le avec \"sudo systemctl "
    "stop ModemManager\", ou pour de bon avec \"sudo systemctl mask ModemManager\".",
    "ModemManager grabs USB serial adapters to look for modems: stop it with \"sudo systemctl stop ModemManager\", "
    "or for good with \"sudo systemctl mask ModemManager\"."};
const TTexts kBrltty{"brltty (per a línies braille) s'apodera dels adaptadors sèrie USB: atureu-lo amb \"sudo "
                     "systemctl stop brltty\", o traieu-lo amb \"sudo apt-get remove brltty\".",
    "brltty (para líneas braille) se apodera de los adaptadores serie USB: deténgalo con \"sudo systemctl stop "
    "brltty\", o quítelo con \"sudo apt-get remove brltty\".",
    "brltty (pour les plages braille) s'empare des adaptateurs série USB : arrêtez-le avec \"sudo systemctl stop "
    "brltty\", ou supprimez-le avec \"sudo apt-get remove brltty\".",
    "brltty (for braille displays) grabs USB serial adapters: stop it with \"sudo systemctl stop brltty\", or "
    "remove it with \"sudo apt-get remove brltty\"."};
const TTexts kUnseenProcess{"un procés que no es pot veure des d'aquí (el bloqueig el va fer el pid %1)",
    "un proceso que no se puede ver desde aquí (el bloqueo lo hizo el pid %1)",
    "un processus invisible d'ici (le verrou a été pris par le pid %1)",
    "a process that cannot be seen from here (its lock was taken by pid %1)"};
const TTexts kFindHolder{"Cerqueu-lo amb \"sudo fuser -v %1\", tanqueu-lo i torneu a passar el diagnòstic.",
    "Búsquelo con \"sudo fuser -v %1\", ciérrelo y vuelva a pasar el diagnóstico.",
    "Trouvez-le avec \"sudo fuser -v %1\", fermez-le, puis relancez le diagnostic.",
    "Find it with \"sudo fuser -v %1\", close it, then run the doctor again."};
const TTexts kCloseOther{"Tanqueu %1 (o atureu-lo: \"kill %2\") i torneu a passar el diagnòstic.",
    "Cierre %1 (o deténgalo: \"kill %2\") y vuelva a pasar el diagnóstico.",
    "Fermez %1 (ou arrêtez-le : \"kill %2\"), puis relancez le diagnostic.",
    "Close %1 (or end it: \"kill %2\"), then run the doctor again."};

// Skipped
const TTexts kPortUnusable{"No s'ha fet: el port no es pot fer servir.", "No se ha hecho: el puerto no se puede usar.",
    "Non fait : le port ne peut pas être utilisé.", "Not done: the port cannot be used."};
const TTexts kNotNeeded{"No cal: el visualitzador respon.", "No hace falta: el visualizador responde.",
    "Inutile : l'afficheur répond.", "Not needed: the display answers."};
const TTexts kNotAsked{"No s'ha demanat: afegiu --search per provar totes les velocitats, formats de trama i adreces.",
    "No se ha pedido: añada --search para probar todas las velocidades, formatos de trama y direcciones.",
    "Non demandée : ajoutez --search pour essayer toutes les vitesses, formats de trame et adresses.",
    "Not asked for: add --search to try every speed, frame format and address."};
const TTexts kCancelled{"Cancel·lat.", "Cancelado.", "Annulé.", "Cancelled."};
const TTexts kCancelledAfter{"Cancel·lada després de %1 de %2 proves.", "Cancelada tras %1 de %2 pruebas.",
    "Annulée après %1 essais sur %2.", "Cancelled after %1 of %2 tries."};

// Echo and answer
const TTexts kCannotOpen{"%1 no es pot obrir: %2", "%1 no se puede abrir: %2", "%1 ne peut pas être ouvert : %2",
    "%1 cannot be opened: %2"};
const TTexts kWriteFailed{"La petició no s'ha pogut escriure a %1.", "La petición no se ha podido escribir en %1.",
    "La requête n'a pas pu être écrite sur %1.", "The request could not be written to %1."};
const TTexts kWentAway{"%1 ha desaparegut durant l'intercanvi.", "%1 ha desaparecido durante el intercambio.",
    "%1 a disparu pendant l'échange.", "%1 went away during the exchange."};
const TTexts kCheckPlug{"Reviseu el connector i el cable de l'adaptador i torneu a passar el diagnòstic.",
    "Revise el conector y el cable del adaptador y vuelva a pasar el diagnóstico.",
    "Vérifiez la prise et le câble de l'adaptateur, puis relancez le diagnostic.",
    "Check the adapter's plug and cable, then run the doctor again."};
const TTexts kEchoes{"L'adaptador retorna el que envia (eco d'un adaptador RS-485); el programa el descarta.",
    "El adaptador devuelve lo que envía (eco de un adaptador RS-485); el programa lo descarta.",
    "L'adaptateur renvoie ce qu'il envoie (écho d'un adaptateur RS-485) ; le programme l'ignore.",
    "The adapter hands back what it sends (an RS-485 adapter's echo); the program drops it."};
const TTexts kNoEcho{"L'adaptador no retorna el que envia.", "El adaptador no devuelve lo que envía.",
    "L'adaptateur ne renvoie pas ce qu'il envoie.", "The adapter does not hand back what it sends."};
const TTexts kAnswers{"El visualitzador %1 respon a %2 amb %3.", "El visualizador %1 responde en %2 con %3.",
    "L'afficheur %1 répond sur %2 à %3.", "Display %1 answers on %2 at %3."};
const TTexts kNoReply{"El visualitzador %1 no ha respost a %2 amb %3 en %4 s.",
    "El visualizador %1 no ha respondido en %2 con %3 en %4 s.",
    "L'afficheur %1 n'a pas répondu sur %2 à %3 en %4 s.", "Display %1 did not answer on %2 at %3 within %4 s."};
const TTexts kEchoOnly{"Només ha tornat l'eco de la petició: l'adaptador envia, però res no respon.",
    "Solo ha vuelto el eco de la petición: el adaptador envía, pero nada responde.",
    "Seul l'écho de la requête est revenu : l'adaptateur envoie, mais rien ne répond.",
    "Only the echo of the request came back: the adapter sends, but nothing answers."};
const TTexts kNoEnd{"Han arribat %1 bytes sense final de trama.", "Han llegado %1 bytes sin final de trama.",
    "%1 octets sont arrivés sans fin de trame.", "%1 bytes arrived without an end of frame."};
const TTexts kLineErrors{"La línia ha indicat errors de paritat o d'enquadrament.",
    "La línea ha indicado errores de paridad o de trama.", "La ligne a signalé des erreurs de parité ou de trame.",
    "The line reported parity or framing errors."};
const TTexts kLikelyFormat{"La velocitat o el format de trama probablement no són els del visualitzador.",
    "La velocidad o el formato de trama probablemente no son los del visualizador.",
    "La vitesse ou le format de trame ne sont probablement pas ceux de l'afficheur.",
    "The speed or frame format is likely not the display's."};
const TTexts kOtherAddress{"Ha respost un visualitzador amb l'adreça %1 en lloc del %2.",
    "Ha respondido un visualizador con la dirección %1 en lugar del %2.",
    "Un afficheur d'adresse %1 a répondu à la place de l'afficheur %2.",
    "A display at address %1 answered instead of display %2."};
const TTexts kUseAddress{"Feu servir l'adreça %1, o reviseu l'adreça configurada al visualitzador.",
    "Use la dirección %1, o revise la dirección configurada en el visualizador.",
    "Utilisez l'adresse %1, ou vérifiez l'adresse réglée sur l'afficheur.",
    "Use address %1, or check the address set on the display."};
const TTexts kNoReading{"El visualitzador %1 ha respost \"%2\", que no porta ni valor ni estat dels relés.",
    "El visualizador %1 ha respondido \"%2\", que no lleva ni valor ni estado de los relés.",
    "L'afficheur %1 a répondu \"%2\", qui ne porte ni valeur ni état des relais.",
    "Display %1 replied \"%2\", which carries neither a value nor relay states."};
const TTexts kNoise{"Ha arribat soroll en lloc d'una resposta: \"%1\".", "Ha llegado ruido en lugar de una respuesta: \"%1\".",
    "Du bruit est arrivé au lieu d'une réponse : \"%1\".", "Noise came instead of a reply: \"%1\"."};
const TTexts kTrickle{"Han anat arribant bytes sense final de trama (%1 en %2 s): la comprovació s'ha aturat aquí.",
    "Han ido llegando bytes sin final de trama (%1 en %2 s): la comprobación se ha detenido aquí.",
    "Des octets arrivaient sans fin de trame (%1 en %2 s) : la vérification s'est arrêtée là.",
    "Bytes kept trickling in without an end of frame (%1 in %2 s): the check stopped there."};
const TTexts kEndlessEcho{"L'eco de la petició no parava de tornar (%1 s), sense cap resposta: la comprovació s'ha aturat "
                          "aquí.",
    "El eco de la petición no dejaba de volver (%1 s), sin ninguna respuesta: la comprobación se ha detenido aquí.",
    "L'écho de la requête revenait sans cesse (%1 s), sans aucune réponse : la vérification s'est arrêtée là.",
    "The echo of the request kept coming back (%1 s) with no reply: the check stopped there."};
const TTexts kUnexpected{"El visualitzador %1 ha donat una resposta inesperada: \"%2\".",
    "El visualizador %1 ha dado una respuesta inesperada: \"%2\".",
    "L'afficheur %1 a donné une réponse inattendue : \"%2\".", "Display %1 gave an unexpected reply: \"%2\"."};

// Search
const TTexts kFoundOne{"Un visualitzador respon a %1, adreça %2 (%3 proves).",
    "Un visualizador responde a %1, dirección %2 (%3 pruebas).", "Un afficheur répond à %1, adresse %2 (%3 essais).",
    "A display answers at %1, address %2 (%3 tries)."};
const TTexts kFoundMany{"Responen visualitzadors a %1, adreces %2 (%3 proves).",
    "Responden visualizadores a %1, direcciones %2 (%3 pruebas).",
    "Des afficheurs répondent à %1, adresses %2 (%3 essais).", "Displays answer at %1, addresses %2 (%3 tries)."};
const TTexts kNoneAsConfigured{"Cap no respon com a %1.", "Ninguno responde como %1.", "Aucun ne répond en tant que %1.",
    "None answers as %1."};
const TTexts kPseudoFormat{"%1 és un pseudoterminal, que es queda 8 bits de dades i cap paritat demani el que es demani: "
                           "la paritat i els bits de dades no s'hi poden distingir, i es mantenen els configurats.",
    "%1 es un pseudoterminal, que se queda 8 bits de datos y ninguna paridad se pida lo que se pida: la paridad y los "
    "bits de datos no se pueden distinguir, y se mantienen los configurados.",
    "%1 est un pseudo-terminal, qui garde 8 bits de données et aucune parité quoi qu'on lui demande : la parité et les "
    "bits de données ne peuvent pas y être distingués, ceux configurés sont gardés.",
    "%1 is a pseudo-terminal, which keeps 8 data bits and no parity whatever is asked: the parity and data bits "
    "cannot be told apart there, so those configured are kept."};
const TTexts kNothingFound{"Cap visualitzador no ha respost a cap velocitat (%2 a %3), format de trama ni adreça "
                           "(00 a 31); %1 proves.",
    "Ningún visualizador ha respondido a ninguna velocidad (%2 a %3), formato de trama ni dirección (00 a 31); "
    "%1 pruebas.",
    "Aucun afficheur n'a répondu, à aucune vitesse (%2 à %3), aucun format de trame ni aucune adresse (00 à "
    "31) ; %1 essais.",
    "No display answered at any speed (%2 to %3), frame format or address (00 to 31); %1 tries."};
const TTexts kCheckWiring{"Reviseu el cablatge (en RS-485, A i B poden estar invertits; en RS-232, TX i RX), "
                          "l'alimentació del visualitzador i que cap altre aparell no ocupi la línia.",
    "Revise el cableado (en RS-485, A y B pueden estar invertidos; en RS-232, TX y RX), la alimentación del "
    "visualizador y que ningún otro aparato ocupe la línea.",
    "Vérifiez le câblage (en RS-485, A et B peuvent être inversés ; en RS-232, TX et RX), l'alimentation de "
    "l'afficheur et qu'aucun autre appareil n'occupe la ligne.",
    "Check the wiring (on RS-485, A and B may be swapped; on RS-232, TX and RX), the display's power, and that "
    "nothing else drives the line."};

const TTexts kTries{"(%1 proves)", "(%1 pruebas)", "(%1 essais)", "(%1 tries)"};
const TTexts kOneTry{"(1 prova)", "(1 prueba)", "(1 essai)", "(1 try)"};
const TTexts kLateSearch{"Ha arribat una resposta de l'adreça %1 durant una prova a %2, però una segona petició no n'ha "
                         "obtingut cap: era la resposta tardana a una petició anterior.",
    "Ha llegado una respuesta de la dirección %1 durante una prueba a %2, pero una segunda petición no ha obtenido "
    "ninguna: era la respuesta tardía a una petición anterior.",
    "Une réponse de l'adresse %1 est arrivée pendant un essai à %2, mais une deuxième requête n'en a obtenu aucune : "
    "c'était la réponse tardive à une requête antérieure.",
    "A reply for address %1 came during a try at %2, but a second request there got none: it was a late reply to an "
    "earlier request."};
const TTexts kPatientAnswer{"Preguntat de nou a %1 amb %2 s per respondre, el visualitzador %3 ha respost al cap de %4 s.",
    "Preguntado de nuevo a %1 con %2 s para responder, el visualizador %3 ha respondido al cabo de %4 s.",
    "Interrogé de nouveau à %1 avec %2 s pour répondre, l'afficheur %3 a répondu au bout de %4 s.",
    "Asked again at %1 with %2 s to answer, display %3 answered after %4 s."};
const TTexts kPatientSilent{"Preguntat de nou a %1 amb %2 s per respondre, el visualitzador %3 no ha respost.",
    "Preguntado de nuevo a %1 con %2 s para responder, el visualizador %3 no ha respondido.",
    "Interrogé de nouveau à %1 avec %2 s pour répondre, l'afficheur %3 n'a pas répondu.",
    "Asked again at %1 with %2 s to answer, display %3 did not answer."};
const TTexts kSignedSilent{"El visualitzador %1 tampoc no respon a les peticions per a la seva pròpia adreça a %2.",
    "El visualizador %1 tampoco responde a las peticiones para su propia dirección a %2.",
    "L'afficheur %1 ne répond pas non plus aux requêtes pour sa propre adresse à %2.",
    "Display %1 does not answer requests for its own address at %2 either."};
const TTexts kNothingToTry{"Res a provar: no es pot preguntar cap visualitzador amb l'adreça \"%1\".",
    "Nada que probar: no se puede preguntar a ningún visualizador con la dirección \"%1\".",
    "Rien à essayer : aucun afficheur ne peut être interrogé sous l'adresse \"%1\".",
    "Nothing to try: no display can be asked under address \"%1\"."};

// Verdict
const TTexts kAllGood{"El visualitzador respon tal com està configurat: no cal canviar res.",
    "El visualizador responde tal como está configurado: no hace falta cambiar nada.",
    "L'afficheur répond tel qu'il est configuré : rien à changer.",
    "The display answers as configured: nothing to change."};
const TTexts kUseInstead{"Feu servir aquesta configuració: %1 (en lloc de %2).", "Use esta configuración: %1 (en lugar de %2).",
    "Utilisez ces réglages : %1 (au lieu de %2).", "Use these settings: %1 (instead of %2)."};
const TTexts kOtherDisplay{"El visualitzador que respon té l'adreça %1, no la %2 configurada: comproveu que és el que "
                           "voleu configurar.",
    "El visualizador que responde tiene la dirección %1, no la %2 configurada: compruebe que es el que quiere "
    "configurar.",
    "L'afficheur qui répond a l'adresse %1, pas l'adresse %2 configurée : vérifiez que c'est bien celui à régler.",
    "The display that answers has address %1, not the configured %2: make sure it is the one to set up."};
const TTexts kOthersAnswer{"Cap visualitzador no respon com a %1; responen els visualitzadors %2 a %3. Reviseu l'adreça "
                           "configurada al visualitzador, o trieu quin d'aquests voleu.",
    "Ningún visualizador responde como %1; responden los visualizadores %2 a %3. Revise la dirección configurada en "
    "el visualizador, o elija cuál de estos quiere.",
    "Aucun afficheur ne répond en tant que %1 ; les afficheurs %2 répondent à %3. Vérifiez l'adresse réglée sur "
    "l'afficheur, ou choisissez lequel de ceux-ci vous voulez.",
    "No display answers as %1; displays %2 answer at %3. Check the address set on the display, or choose which of "
    "these you mean."};
const TTexts kTrySearch{"Afegiu --search per buscar-lo a totes les velocitats, formats de trama i adreces.",
    "Añada --search para buscarlo en todas las velocidades, formatos de trama y direcciones.",
    "Ajoutez --search pour le chercher à toutes les vitesses, formats de trame et adresses.",
    "Add --search to look for it at every speed, frame format and address."};
const TTexts kNothing{"Cap visualitzador no respon a %1.", "Ningún visualizador responde en %1.",
    "Aucun afficheur ne répond sur %1.", "No display answers on %1."};
const TTexts kSlowVerdict{"El visualitzador %1 respon a %2, però només al cap de %3 s, més tard que el temps d'espera de "
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
const TTexts kLateVerdict{"Ha arribat una resposta després del seu temps d'espera: sembla que un visualitzador respon a %1, "
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
const TTexts kSignedVerdict{"Un visualitzador respon a les peticions per a l'adreça %1 a %2, però signa les respostes com "
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
const TTexts kFixFirst{"El port no es pot fer servir: resoleu el que diu la comprovació \"%1\" i torneu a passar el "
                       "diagnòstic.",
    "El puerto no se puede usar: resuelva lo que dice la comprobación \"%1\" y vuelva a pasar el diagnóstico.",
    "Le port ne peut pas être utilisé : corrigez ce que signale la vérification \"%1\", puis relancez le "
    "diagnostic.",
    "The port cannot be used: fix what the %1 check says, then run the doctor again."};
const TTexts kRunCancelled{"Diagnòstic cancel·lat; el port està tancat.", "Diagnóstico cancelado; el puerto está cerrado.",
    "Diagnostic annulé ; le port est fermé.", "Cancelled; the port is closed."};

// Line settings
const TTexts kTrying{"Provant l'adreça %1 a %2 (%3 de %4)", "Probando la dirección %1 a %2 (%3 de %4)",
    "Essai de l'adresse %1 à %2 (%3 sur %4)", "Trying address %1 at %2 (%3 of %4)"};
const TTexts kBaud{"%1 baud", "%1 baudios", "%1 bauds", "%1 baud"};
const TTexts kShortLine{"%1, %2", "%1, %2", "%1, %2", "%1, %2"};
const TTexts kLineAddress{"%1, adreça %2", "%1, dirección %2", "%1, adresse %2", "%1, address %2"};
const TTexts kFullLine{"%1, %2 (%3, %4, %5), adreça %6", "%1, %2 (%3, %4, %5), dirección %6",
    "%1, %2 (%3, %4, %5), adresse %6", "%1, %2 (%3, %4, %5), address %6"};
const TTexts kDataBits{"%1 bits de dades", "%1 bits de datos", "%1 bits de données", "%1 data bits"};
const TTexts kParities[] = {
    {"paritat parell", "paridad par", "parité paire", "even parity"},
    {"paritat imparell", "paridad impar", "parité impaire", "odd parity"},
    {"sense paritat", "sin paridad", "sans parité", "no parity"},
};
const TTexts kStopBits[] = {
    {"1 bit de stop", "1 bit de stop", "1 bit de stop", "1 stop bit"},
    {"2 bits de stop", "2 bits de stop", "2 bits de stop", "2 stop bits"},
};

const TTexts kRefusals[] = {
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
    TArg(const std::string& s) : w{s, s, s, s} {}
    TArg(const char* s) : TArg(std::string(s)) {}
    TArg(TWords words) : w(std::move(words)) {}
};

TWords say(const TTexts& t, std::initializer_list<TArg> args = {})
{
    TWords out;
    for (int l = 0; l < 4; ++l) {
        std::string a[9];
        std::size_t i = 0;
        for (const TArg& arg : args)
            if (i < 9)
                a[i++] = arg.w[static_cast<std::size_t>(l)];
        out[static_cast<std::size_t>(l)]
            = fillIn(pickText(t, l), {a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]});
    }
    return out;
}

// Sentences one after the other; empty ones leave no blank.
TWords join(const TWords& a, const TWords& b, const char* between = " ")
{
    TWords out;
    for (std::size_t l = 0; l < 4; ++l)
        out[l] = a[l].empty() ? b[l] : b[l].empty() ? a[l] : a[l] + between + b[l];
    return out;
}

TWords joinList(const std::vector<TWords>& items)
{
    TWords out;
    for (const TWords& item : items)
        out = join(out, item, ", ");
    return out;
}

std::string joinList(const std::vector<std::string>& items)
{
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : ", ") + item;
    return out;
}

TWords triesWords(int tries)
{
    return tries == 1 ? say(kOneTry) : say(kTries, {cfmt("%d", tries)});
}

TCheckResult result(TDoctorCheck check, TVerdict verdict, TWords finding, TWords advice = {})
{
    return {check, verdict, std::move(finding), std::move(advice)};
}

// ---- The system -------------------------------------------------------------

// What a device, a process or the kernel tells may hold anything: only
// printable ASCII is kept, and not too much of it.
std::string printableOnly(const std::string& s, std::size_t max = 80)
{
    std::string out;
    for (unsigned char c : s) {
        if (out.size() >= max)
            break;
        out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return out.substr(first, out.find_last_not_of(' ') + 1 - first);
}

// A small system file (sysfs attribute, /proc entry), at most `max` bytes; empty when unreadable.
std::string readSmall(const std::string& path, std::size_t max = 4096)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd)
        return {};
    struct stat st {};
    if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    std::string text(max, '\0');
    std::size_t got = 0;
    while (got < max) {
        const ssize_t n = ::read(fd.get(), text.data() + got, max - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return text;
}

std::string firstLine(const std::string& text)
{
    return printableOnly(text.substr(0, text.find('\n')));
}

std::string realPath(const std::string& path)
{
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

std::string baseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> listDir(const std::string& dir)
{
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return names;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

bool isPseudoTerminal(const struct stat& st)
{
    const unsigned m = major(st.st_rdev);
    return S_ISCHR(st.st_mode) && ((m >= 136 && m <= 143) || m == 3);
}

// What sysfs knows of a tty: the USB device it hangs from, or its driver.
struct TAdapter {
    bool usb = false;
    std::string vendor, product, serial, manufacturer, name;
    std::string driver;
    bool noUart = false;
};

TAdapter adapterOf(const std::string& tty, const TSystemPlaces& places)
{
    TAdapter a;
    const std::string cls = places.sys + "/class/tty/" + tty;
    a.noUart = firstLine(readSmall(cls + "/type")) == "0";
    std::string dev = realPath(cls + "/device");
    const std::string root = realPath(places.sys);
    if (dev.empty() || root.empty())
        return a;
    // Up from the tty's own device (a USB interface or a usb-serial port) to
    // the USB device; the driver is the first one below the kernel's generic
    // serial port layer ("port", "ctrl").
    for (int up = 0; up < 8 && dev.size() > root.size() && dev.compare(0, root.size(), root) == 0; ++up) {
        const std::string driver = printableOnly(baseName(realPath(dev + "/driver")));
        if (a.driver.empty() && !driver.empty() && driver != "port" && driver != "ctrl")
            a.driver = driver;
        const std::string vendor = firstLine(readSmall(dev + "/idVendor"));
        if (!vendor.empty()) {
            a.usb = true;
            a.vendor = vendor;
            a.product = firstLine(readSmall(dev + "/idProduct"));
            a.serial = firstLine(readSmall(dev + "/serial"));
            a.manufacturer = firstLine(readSmall(dev + "/manufacturer"));
            a.name = firstLine(readSmall(dev + "/product"));
            break;
        }
        dev = dev.substr(0, dev.find_last_of('/'));
    }
    return a;
}

// The adapter's name as its USB descriptors give it: "FTDI FT232R USB UART".
TWords adapterName(const TAdapter& a)
{
    if (a.name.empty() && a.manufacturer.empty())
        return say(kUsbAdapter);
    std::string name = a.name.empty() ? a.manufacturer : a.name;
    if (!a.name.empty() && !a.manufacturer.empty() && a.name.rfind(a.manufacturer, 0) != 0)
        name = a.manufacturer + " " + a.name;
    return {name, name, name, name};
}

// "0403:6001, serial number A50285BI"
TWords usbIds(const TAdapter& a)
{
    const std::string ids = a.vendor + ":" + a.product;
    TWords out{ids, ids, ids, ids};
    return a.serial.empty() ? out : join(out, say(kSerialNumber, {a.serial}), ", ");
}

// The /dev/serial/by-id names that lead to `real`.
std::vector<std::string> byIdNames(const std::string& real, const TSystemPlaces& places)
{
    std::vector<std::string> names;
    for (const std::string& name : listDir(places.serialById)) {
        const std::string link = places.serialById + "/" + name;
        if (realPath(link) == real)
            names.push_back(printableOnly(link, 160));
    }
    return names;
}

// The serial devices present, each with its adapter where sysfs names one;
// ports without hardware behind them are left out.
std::vector<TWords> devicesPresent(const TSystemPlaces& places)
{
    std::vector<TWords> out;
    for (const std::string& d : listSerialDevices()) {
        if (d.rfind("/dev/serial/", 0) == 0)
            continue;
        const TAdapter a = adapterOf(baseName(d), places);
        if (a.noUart)
            continue;
        const std::string path = printableOnly(d, 160);
        TWords w{path, path, path, path};
        if (a.usb) {
            const TWords name = adapterName(a);
            for (std::size_t l = 0; l < 4; ++l)
                w[l] += " (" + name[l] + ", USB " + a.vendor + ":" + a.product + ")";
        }
        out.push_back(w);
    }
    return out;
}

struct THolder {
    int pid = 0;
    std::string comm;
    bool holdsDevice = false;
    bool holdsMaster = false; // the far end of this pseudo-terminal
};

// "minicom (pid 4242)"; a process known only by its lock has no name to give.
TWords processWords(const THolder& h)
{
    if (h.comm.empty())
        return say(kUnseenProcess, {cfmt("%d", h.pid)});
    const std::string named = cfmt("%s (pid %d)", h.comm.c_str(), h.pid);
    return {named, named, named, named};
}

bool allDigits(const std::string& s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The processes that hold the device, or the far end of a pseudo-terminal,
// seen in /proc/*/fd and in the flock table; `hidden` counts the processes
// whose descriptors could not be looked at.
std::vector<THolder> holdersOf(const struct stat& device, const std::string& real, const TSystemPlaces& places,
    int& hidden, std::vector<std::string>& running)
{
    std::vector<THolder> out;
    hidden = 0;
    // The index of a pseudo-terminal, as the master's fdinfo gives it.
    std::string ptyIndex;
    if (isPseudoTerminal(device) && real.rfind("/dev/pts/", 0) == 0)
        ptyIndex = real.substr(9);
    const int self = static_cast<int>(getpid());
    for (const std::string& entry : listDir(places.proc)) {
        if (!allDigits(entry) || entry.size() > 9)
            continue;
        const int pid = std::atoi(entry.c_str());
        const std::string base = places.proc + "/" + entry;
        const std::string comm = firstLine(readSmall(base + "/comm", 64));
        if (comm == "ModemManager" || comm == "brltty")
            running.push_back(comm);
        if (pid == self)
            continue;
        THolder h;
        h.pid = pid;
        h.comm = comm.empty() ? "?" : comm;
        DIR* d = ::opendir((base + "/fd").c_str());
        if (!d) {
            if (errno == EACCES || errno == EPERM)
                ++hidden;
            continue;
        }
        while (const dirent* e = ::readdir(d)) {
            const std::string fd = e->d_name;
            if (!allDigits(fd))
                continue;
            char target[PATH_MAX];
            const ssize_t n = ::readlink((base + "/fd/" + fd).c_str(), target, sizeof target - 1);
            if (n <= 0)
                continue;
            const std::string link(target, static_cast<std::size_t>(n));
            if (link.rfind("/dev/", 0) != 0)
                continue;
            if (!ptyIndex.empty() && (link == "/dev/ptmx" || link == "/dev/pts/ptmx")) {
                const std::string info = readSmall(base + "/fdinfo/" + fd);
                const auto at = info.find("tty-index:");
                if (at != std::string::npos) {
                    const std::size_t from = info.find_first_not_of(" \t", at + 10);
                    if (from != std::string::npos && info.compare(from, ptyIndex.size(), ptyIndex) == 0
                        && (from + ptyIndex.size() >= info.size() || info[from + ptyIndex.size()] == '\n'))
                        h.holdsMaster = true;
                }
                continue;
            }
            struct stat st {};
            if (::stat((base + "/fd/" + fd).c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device.st_rdev)
                h.holdsDevice = true;
        }
        ::closedir(d);
        if (h.holdsDevice || h.holdsMaster)
            out.push_back(h);
    }
    // A lock names its process even where the descriptors could not be seen.
    const std::string locks = readSmall(places.proc + "/locks", 1 << 20);
    std::size_t at = 0;
    while (at < locks.size()) {
        const std::size_t end = std::min(locks.find('\n', at), locks.size());
        const std::string line = locks.substr(at, end - at);
        at = end + 1;
        char kind[16] = {}, advisory[16] = {}, mode[16] = {};
        int pid = 0;
        unsigned maj = 0, min = 0;
        unsigned long long ino = 0;
        if (line.find("->") != std::string::npos
            || std::sscanf(line.c_str(), "%*d: %15s %15s %15s %d %x:%x:%llu", kind, advisory, mode, &pid, &maj, &min, &ino)
                != 7)
            continue;
        if (ino != device.st_ino || makedev(maj, min) != device.st_dev || pid == self || pid <= 0)
            continue;
        auto it = std::find_if(out.begin(), out.end(), [pid](const THolder& h) { return h.pid == pid; });
        if (it == out.end()) {
            THolder h;
            h.pid = pid;
            // The lock's process may be gone while a child it left holds the
            // descriptor: that child, when seen, stands for the lock.
            h.comm = firstLine(readSmall(places.proc + cfmt("/%d/comm", pid), 64));
            if (h.comm.empty() && std::any_of(out.begin(), out.end(), [](const THolder& o) { return o.holdsDevice; }))
                continue;
            h.holdsDevice = true;
            out.push_back(h);
        } else {
            it->holdsDevice = true;
        }
    }
    return out;
}

// ---- The search -------------------------------------------------------------

// Frame formats: the common ones first, then the rest of the serial line
// dialog's combinations (parity even, odd, none; 7 or 8 data bits; 1 or 2 stop bits).
struct TFormat {
    TLineParity parity;
    std::uint8_t data, stop;
};
constexpr TLineParity E = TLineParity::Even, O = TLineParity::Odd, N = TLineParity::None;
constexpr TFormat kFormats[] = {
    {E, 7, 1}, {O, 7, 1}, {N, 8, 1},                       // 7E1, 7O1, 8N1
    {E, 7, 2}, {O, 7, 2}, {N, 7, 1}, {N, 7, 2},            // 7E2, 7O2, 7N1, 7N2
    {E, 8, 1}, {E, 8, 2}, {O, 8, 1}, {O, 8, 2}, {N, 8, 2}, // 8E1, 8E2, 8O1, 8O2, 8N2
};
// The longest reply to a reading: '@', address, 'R', 'L', eight value
// characters, 'R', 'R', two relays, CR.
constexpr std::size_t kReadingReplyLength = 18;
constexpr std::uint8_t kReadingKind = 3;
// Beyond its time-out and the wire time of the longest reply, what an
// exchange is given before bytes that keep coming are cut short.
constexpr int kCutMarginMs = 250;

// An answer the reading command would take: its letters, and a value or relay states.
bool carriesReading(const TExchangeReport& r)
{
    if (r.outcome != TExchangeOutcome::Reply)
        return false;
    const TDisplayReading reading = parseDisplayReadingReply(r.reply);
    return reading.value || reading.relays;
}

std::string seconds(TLinkClock::duration d)
{
    return cfmt("%.1f", std::chrono::duration<double>(d).count());
}

TWords shortLineWords(const TLineFormat& f)
{
    return say(kShortLine, {say(kBaud, {speedText(f.baud)}), formatText(f)});
}

TWords fullLineWords(const TLineFormat& f, std::uint8_t address)
{
    return say(kFullLine, {say(kBaud, {speedText(f.baud)}), formatText(f), say(kDataBits, {cfmt("%d", f.dataBits)}),
                              say(kParities[std::min<int>(static_cast<int>(f.parity), 2)]),
                              say(kStopBits[f.stopBits == 2 ? 1 : 0]), cfmt("%02d", address)});
}

std::string addressText(const std::vector<std::uint8_t>& frame)
{
    return frame.size() >= 3 ? std::string(frame.begin() + 1, frame.begin() + 3) : std::string("??");
}

// The two address characters a request carries ("07"; "-1" for 255).
std::string addressOf(std::uint8_t address)
{
    const auto digits = addressDigits(address);
    return {digits.begin(), digits.end()};
}

// Names from the settings file or the command line, as they may be shown.
std::string shownName(const std::string& name) { return printableOnly(name, 256); }

std::string portTextOf(const std::string& port, const std::string& path)
{
    return path.empty() || path == port ? shownName(port) : shownName(port) + " (" + shownName(path) + ")";
}

} // namespace

// ---- The checks that look at the system --------------------------------------

TCheckResult checkDevice(const std::string& port, const std::string& path, const TSystemPlaces& places)
{
    const std::string shown = portTextOf(port, path);
    if (path.empty())
        return result(TDoctorCheck::Device, TVerdict::Problem, say(kNoDeviceSet, {shownName(port)}), say(kChooseDevice));
    const TWords plugIn = comNumber(port) ? say(kPlugIn, {shownName(port)}) : say(kPlugInPath);
    auto absent = [&](const TTexts& why) {
        const std::vector<TWords> present = devicesPresent(places);
        return result(TDoctorCheck::Device, TVerdict::Problem,
            join(say(why, {shown}), present.empty() ? say(kNonePresent) : say(kPresent, {joinList(present)})), plugIn);
    };
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return absent(kMissing);
    if (!S_ISCHR(st.st_mode)) {
        const TTexts& kind = S_ISDIR(st.st_mode) ? kFolder : S_ISREG(st.st_mode) ? kFile : kOtherFile;
        return result(TDoctorCheck::Device, TVerdict::Problem, say(kNotDevice, {shown, say(kind)}), plugIn);
    }
    if (isPseudoTerminal(st))
        return result(TDoctorCheck::Device, TVerdict::Ok, say(kPseudoTerminal, {shown}));
    const std::string real = realPath(path);
    const TAdapter a = adapterOf(baseName(real), places);
    if (a.noUart)
        return absent(kNoUart);
    TWords finding;
    if (a.usb)
        finding = say(kUsb, {shown, adapterName(a), usbIds(a)});
    else if (!a.driver.empty())
        finding = say(kBuiltIn, {shown, a.driver});
    else
        finding = say(kCharDevice, {shown, cfmt("%u:%u", major(st.st_rdev), minor(st.st_rdev))});
    const std::vector<std::string> ids = byIdNames(real, places);
    if (!ids.empty())
        finding = join(finding, say(kById, {joinList(ids)}));
    return result(TDoctorCheck::Device, TVerdict::Ok, finding);
}

TCheckResult checkPermission(const std::string& path)
{
    TWords finding, advice;
    bool allowed = false;
    for (std::size_t l = 0; l < 4; ++l) {
        const std::optional<TDeviceAccess> a = deviceAccess(path, static_cast<int>(l));
        if (!a)
            return result(TDoctorCheck::Permission, TVerdict::Skipped, say(kPortUnusable));
        allowed = a->allowed;
        finding[l] = allowed ? fillIn(pickText(kMayOpen, static_cast<int>(l)),
                                      {a->user, shownName(path), a->mode, a->owner, a->group})
                             : a->finding;
        advice[l] = a->advice;
    }
    return result(TDoctorCheck::Permission, allowed ? TVerdict::Ok : TVerdict::Problem, finding, advice);
}

TCheckResult checkBusy(const std::string& path, const TSystemPlaces& places)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return result(TDoctorCheck::Busy, TVerdict::Skipped, say(kPortUnusable));
    const std::string real = realPath(path);
    int hidden = 0;
    std::vector<std::string> running;
    const std::vector<THolder> found = holdersOf(st, real, places, hidden, running);
    std::vector<THolder> holders, farEnds;
    for (const THolder& h : found)
        (h.holdsMaster ? farEnds : holders).push_back(h);
    auto names = [](const std::vector<THolder>& hs) {
        std::vector<TWords> out;
        for (const THolder& h : hs)
            out.push_back(processWords(h));
        return joinList(out);
    };
    if (!holders.empty()) {
        TWords advice;
        for (const THolder& h : holders) {
            if (h.comm == "ModemManager")
                advice = join(advice, say(kModemManager));
            else if (h.comm == "brltty")
                advice = join(advice, say(kBrltty));
            else if (h.comm.empty())
                advice = join(advice, say(kFindHolder, {shownName(path)}));
            else
                advice = join(advice, say(kCloseOther, {h.comm, cfmt("%d", h.pid)}));
        }
        return result(TDoctorCheck::Busy, TVerdict::Problem, say(kHeld, {shownName(path), names(holders)}), advice);
    }
    TWords finding = say(kFree, {shownName(path)});
    if (!farEnds.empty())
        finding = join(finding, say(kFarEnd, {names(farEnds)}));
    if (hidden > 0 && geteuid() != 0)
        finding = join(finding, say(kHidden, {cfmt("%d", hidden)}));
    TWords advice;
    const std::string tty = baseName(real);
    if (tty.rfind("ttyUSB", 0) == 0 || tty.rfind("ttyACM", 0) == 0) {
        std::sort(running.begin(), running.end());
        running.erase(std::unique(running.begin(), running.end()), running.end());
        for (const std::string& grabber : running) {
            finding = join(finding, say(kGrabberRunning, {grabber}));
            advice = join(advice, say(grabber == "brltty" ? kBrltty : kModemManager));
        }
    }
    return result(TDoctorCheck::Busy, TVerdict::Ok, finding, advice);
}

// ---- The run ----------------------------------------------------------------

TDoctor::TDoctor(TDoctorSetup setup, QObject* parent, TZComm::BackendFactory factory)
    : QObject(parent), setup_(std::move(setup)), port_(std::make_unique<TZComm>(nullptr, std::move(factory))),
      rx_(std::make_unique<TRxBuffer>()), link_(std::make_unique<TDisplayLink>(*port_, *rx_))
{
    qRegisterMetaType<TCheckResult>();
    qRegisterMetaType<TSearchProgress>();
    qRegisterMetaType<TDoctorReport>();
    // Between the tries of a search the port stays open; only its settings change.
    link_->setCloseAfterExchange(false);
    connect(link_.get(), &TDisplayLink::finished, this, &TDoctor::onExchange);
    cut_.setSingleShot(true);
    connect(&cut_, &QTimer::timeout, this, &TDoctor::cutShort);
}

TDoctor::~TDoctor()
{
    running_ = false;
    link_->closePort();
}

std::string TDoctor::portText() const
{
    return portTextOf(port_->Port, path_);
}

void TDoctor::queue(void (TDoctor::*step)())
{
    QMetaObject::invokeMethod(
        this,
        [this, step, run = run_] {
            if (run == run_ && running_)
                (this->*step)();
        },
        Qt::QueuedConnection);
}

void TDoctor::start()
{
    if (running_)
        cancel();
    ++run_;
    running_ = true;
    report_ = TDoctorReport{};
    found_.reset();
    current_.reset();
    plan_.clear();
    planAt_ = 0;
    swept_.clear();
    everywhere_ = false;
    inFlight_ = false;
    phase_ = TPhase::Answer;
    otherAddress_ = false;
    signedAs_.clear();
    lateAt_.reset();
    permissionRefused_ = false;
    last_.reset();
    pseudoTerminal_ = false;
    cut_.stop();
    cutting_ = false;
    cutShort_ = false;
    copyLineSettings(setup_.config, *port_);
    if (setup_.port) {
        const int com = comNumber(*setup_.port);
        port_->Port = com >= 1 && com <= 6 ? cfmt("COM%d", com) : *setup_.port;
    }
    configured_ = lineFormatOf(*port_);
    path_ = resolvePortPath(port_->Port);
    queue(&TDoctor::checkTheDevice);
}

void TDoctor::add(TCheckResult r)
{
    // A listener may have cancelled the run meanwhile: it has its report.
    if (!running_)
        return;
    report_.checks.push_back(r);
    emit checkDone(r);
}

int TDoctor::plannedTries() const
{
    return report_.tries + static_cast<int>(plan_.size() - planAt_) - (inFlight_ ? 1 : 0);
}

void TDoctor::checkTheDevice()
{
    TCheckResult r = checkDevice(port_->Port, path_, setup_.places);
    const bool ok = r.verdict != TVerdict::Problem;
    struct stat st {};
    pseudoTerminal_ = ::stat(path_.c_str(), &st) == 0 && isPseudoTerminal(st);
    add(std::move(r));
    if (ok)
        queue(&TDoctor::checkThePermission);
    else
        finish(TDoctorOutcome::CannotOpen);
}

void TDoctor::checkThePermission()
{
    TCheckResult r = checkPermission(path_);
    permissionRefused_ = r.verdict == TVerdict::Problem;
    add(std::move(r));
    // Who holds the device is worth knowing even when it may not be opened.
    queue(&TDoctor::checkIfBusy);
}

void TDoctor::checkIfBusy()
{
    TCheckResult r = checkBusy(path_, setup_.places);
    const bool busy = r.verdict == TVerdict::Problem;
    add(std::move(r));
    if (busy || permissionRefused_)
        finish(TDoctorOutcome::CannotOpen);
    else
        queue(&TDoctor::startAnswer);
}

void TDoctor::startAnswer()
{
    current_ = configured_;
    ask(setup_.config.Address, setup_.answerTimeoutMs);
}

void TDoctor::ask(std::uint8_t address, int timeoutMs)
{
    link_->setReplyTimeout(timeoutMs);
    cutShort_ = false;
    // The link's time-out moves on with every piece of the reply, and with
    // every echo; this deadline does not, so a trickle of bytes without an
    // end, or an echo that never stops, cannot hold the check for ever.
    cut_.start(link_->wireMs(kReadRequestLength) + timeoutMs + link_->wireMs(kReadingReplyLength) + kCutMarginMs);
    const TReadRequest frame = buildReadRequest(address, kLetterDisplayReading);
    link_->start(kReadingKind, std::vector<std::uint8_t>(frame.begin(), frame.end()));
}

void TDoctor::cutShort()
{
    if (!running_ || !link_->pending())
        return;
    cutting_ = true;
    link_->abandon();
}

void TDoctor::onExchange(const TExchangeReport& r)
{
    // Reported from inside the link (even from inside start()): the next step
    // runs from the event loop, once the link has finished with the exchange.
    if (!running_ || (r.outcome == TExchangeOutcome::Abandoned && !cutting_))
        return;
    cut_.stop();
    last_ = std::make_unique<TExchangeReport>(r);
    if (cutting_) {
        // Cut short: no reply, and what had come of one so far.
        cutting_ = false;
        cutShort_ = true;
        last_->outcome = TExchangeOutcome::NoReply;
        last_->reply.assign(rx_->reply().begin(), rx_->reply().end());
    }
    queue(&TDoctor::exchangeEnded);
}

void TDoctor::exchangeEnded()
{
    switch (phase_) {
    case TPhase::Answer: answerDone(); break;
    case TPhase::Search: searchDone(); break;
    case TPhase::Patient: patientDone(); break;
    }
}

void TDoctor::answerDone()
{
    const TExchangeReport& r = *last_;
    const std::string port = portText();
    if (r.outcome == TExchangeOutcome::OpenFailed || r.outcome == TExchangeOutcome::LineLost) {
        TWords finding;
        if (r.outcome == TExchangeOutcome::OpenFailed) {
            for (int l = 0; l < 4; ++l)
                finding[static_cast<std::size_t>(l)]
                    = fillIn(pickText(kCannotOpen, l), {port, describeOpenFailure(*port_, l)});
        } else {
            finding = say(r.writeFailed ? kWriteFailed : kWentAway, {port});
        }
        add(result(TDoctorCheck::Echo, TVerdict::Problem, finding,
            r.outcome == TExchangeOutcome::LineLost ? say(kCheckPlug) : TWords{}));
        finish(TDoctorOutcome::CannotOpen);
        return;
    }
    add(result(TDoctorCheck::Echo, TVerdict::Ok, say(r.echoDropped ? kEchoes : kNoEcho)));

    const std::string address = addressText(r.request);
    const TWords line = shortLineWords(configured_);
    if (carriesReading(r)) {
        add(result(TDoctorCheck::Answer, TVerdict::Ok, say(kAnswers, {address, port, line})));
        finish(TDoctorOutcome::Answers);
        return;
    }
    const std::string replyText = trafficText(std::span(r.reply).first(std::min<std::size_t>(r.reply.size(), 40)));
    TWords finding, advice;
    switch (r.outcome) {
    case TExchangeOutcome::Reply:
        finding = say(kNoReading, {address, replyText});
        break;
    case TExchangeOutcome::WrongAddress:
        otherAddress_ = true;
        signedAs_ = printableOnly(addressText(r.reply));
        finding = say(kOtherAddress, {signedAs_, address});
        advice = say(kUseAddress, {signedAs_});
        break;
    case TExchangeOutcome::Unexpected:
        if (checkReply(r.reply, r.request) == TReplyCheck::Noise)
            finding = join(say(kNoise, {replyText}), say(kLikelyFormat));
        else
            finding = say(kUnexpected, {address, replyText});
        break;
    default:
        finding = say(kNoReply, {address, port, line, cfmt("%.1f", setup_.answerTimeoutMs / 1000.0)});
        if (cutShort_ && !r.reply.empty())
            finding = join(finding, say(kTrickle, {cfmt("%zu", r.reply.size()), seconds(r.ended - r.started)}));
        else if (cutShort_ && r.echoDropped)
            finding = join(finding, say(kEndlessEcho, {seconds(r.ended - r.started)}));
        else if (r.echoDropped && r.reply.empty())
            finding = join(finding, say(kEchoOnly));
        else if (!r.reply.empty())
            finding = join(finding, say(kNoEnd, {cfmt("%zu", r.reply.size())}));
        if (r.lineErrors)
            finding = join(finding, say(kLineErrors));
        if (!r.reply.empty() || r.lineErrors)
            finding = join(finding, say(kLikelyFormat));
        break;
    }
    add(result(TDoctorCheck::Answer, TVerdict::Problem, finding, advice));
    const TDoctorOutcome unanswered = otherAddress_ ? TDoctorOutcome::OtherAddress : TDoctorOutcome::NothingAnswered;
    if (!setup_.search) {
        add(result(TDoctorCheck::Search, TVerdict::Skipped, say(kNotAsked)));
        finish(unanswered);
        return;
    }
    phase_ = TPhase::Search;
    if (otherAddress_) {
        // Something answers at the configured settings: all that is left to
        // know is whether it also answers under the address it signs with.
        const bool digits = signedAs_.size() == 2 && std::isdigit(static_cast<unsigned char>(signedAs_[0]))
            && std::isdigit(static_cast<unsigned char>(signedAs_[1]));
        const int signedAs = digits ? std::stoi(signedAs_) : -1;
        if (signedAs < 0 || signedAs > 31 || signedAs == setup_.config.Address) {
            add(result(TDoctorCheck::Search, TVerdict::Skipped, say(kNothingToTry, {signedAs_})));
            finish(unanswered);
            return;
        }
        plan_.push_back({configured_, static_cast<std::uint8_t>(signedAs)});
    } else {
        planConfigured();
    }
    queue(&TDoctor::searchStep);
}

void TDoctor::planSweep(const TLineFormat& line)
{
    if (std::find(swept_.begin(), swept_.end(), line) != swept_.end())
        return;
    swept_.push_back(line);
    std::vector<TTry> sweep;
    for (std::uint8_t a = 0; a <= 31; ++a)
        // The configured address has been tried at this setting already.
        if (a != setup_.config.Address)
            sweep.push_back({line, a});
    plan_.insert(plan_.begin() + static_cast<std::ptrdiff_t>(planAt_), sweep.begin(), sweep.end());
}

void TDoctor::planConfigured()
{
    if (setup_.config.Address > 31)
        return;
    for (const TFormat& f : kFormats)
        // Fastest first: a try at the top speed costs a sixth of one at the lowest.
        for (auto baud = kLineSpeeds.rbegin(); baud != kLineSpeeds.rend(); ++baud) {
            const TLineFormat line{*baud, f.parity, f.data, f.stop};
            if (!(line == configured_))
                plan_.push_back({line, setup_.config.Address});
        }
}

void TDoctor::planEverywhere()
{
    everywhere_ = true;
    for (const TFormat& f : kFormats)
        for (auto baud = kLineSpeeds.rbegin(); baud != kLineSpeeds.rend(); ++baud) {
            const TLineFormat line{*baud, f.parity, f.data, f.stop};
            if (std::find(swept_.begin(), swept_.end(), line) != swept_.end())
                continue;
            for (std::uint8_t a = 0; a <= 31; ++a)
                if (a != setup_.config.Address)
                    plan_.push_back({line, a});
        }
}

bool TDoctor::applyLine(const TLineFormat& line)
{
    applyLineFormat(line, *port_);
    current_ = line;
    // The open port takes the new settings as they are; a closed one gets
    // them when the next exchange opens it.
    return !link_->portOpen() || port_->SetConnection() != 0;
}

void TDoctor::searchStep()
{
    // Once displays have answered at one setting, the tries of that setting
    // end the search.
    if (found_ && (planAt_ >= plan_.size() || !(plan_[planAt_].line == found_->line))) {
        finish(TDoctorOutcome::Found);
        return;
    }
    if (planAt_ >= plan_.size() && otherAddress_) {
        add(result(TDoctorCheck::Search, TVerdict::Problem,
            join(say(kSignedSilent, {signedAs_, shortLineWords(configured_)}), triesWords(report_.tries))));
        finish(TDoctorOutcome::OtherAddress);
        return;
    }
    if (planAt_ >= plan_.size() && !everywhere_)
        planEverywhere();
    if (planAt_ >= plan_.size()) {
        add(result(TDoctorCheck::Search, TVerdict::Problem,
            say(kNothingFound,
                {cfmt("%d", report_.tries), speedText(kLineSpeeds.front()), speedText(kLineSpeeds.back())}),
            say(kCheckWiring)));
        finish(TDoctorOutcome::NothingAnswered);
        return;
    }
    const TTry t = plan_[planAt_];
    if (!current_ || !(*current_ == t.line)) {
        if (!applyLine(t.line)) {
            // This device has no such setting: nothing can answer there.
            ++planAt_;
            queue(&TDoctor::searchStep);
            return;
        }
    }
    const int requestMs = link_->wireMs(kReadRequestLength);
    const int timeoutMs = requestMs + link_->wireMs(kReadingReplyLength) + setup_.searchMarginMs;
    ++report_.tries;
    inFlight_ = true;
    report_.searchFloor += std::chrono::milliseconds(requestMs + timeoutMs);
    emit progress({report_.tries, plannedTries(), t.line, t.address});
    if (!running_)
        return;
    ask(t.address, timeoutMs);
}

void TDoctor::searchDone()
{
    const TExchangeReport& r = *last_;
    const TTry t = plan_[planAt_++];
    inFlight_ = false;
    if (r.outcome == TExchangeOutcome::OpenFailed || r.outcome == TExchangeOutcome::LineLost) {
        add(result(TDoctorCheck::Search, TVerdict::Problem, say(kWentAway, {portText()}), say(kCheckPlug)));
        finish(TDoctorOutcome::CannotOpen);
        return;
    }
    const bool answered = carriesReading(r);
    if (t.confirm && !answered && !found_) {
        // The answer the try before got was a late reply to an earlier request.
        lateAt_ = t;
        queue(&TDoctor::askPatiently);
        return;
    }
    if (answered && !t.confirm) {
        // Only an answer given twice counts: a late reply to an earlier
        // request comes once.
        plan_.insert(plan_.begin() + static_cast<std::ptrdiff_t>(planAt_), TTry{t.line, t.address, true});
    } else if (answered) {
        if (!found_)
            found_ = TFoundLine{t.line, {}, t.address};
        found_->addresses.push_back(t.address);
        // Everywhere, the setting's other addresses come next anyway.
        if (!everywhere_ && !otherAddress_)
            planSweep(t.line);
    } else if (r.outcome == TExchangeOutcome::WrongAddress && !everywhere_ && !otherAddress_) {
        // Something answers at these settings, from another address.
        planSweep(t.line);
    }
    queue(&TDoctor::searchStep);
}

int TDoctor::patientTimeoutMs() const
{
    return std::clamp(5 * setup_.answerTimeoutMs, 3000, 60000);
}

void TDoctor::askPatiently()
{
    phase_ = TPhase::Patient;
    // Replies to the search's tries may still be on their way: the patient
    // request goes out once the line has been quiet for as long as it waits.
    if (!applyLine(configured_)) {
        add(result(TDoctorCheck::Search, TVerdict::Problem, say(kWentAway, {portText()}), say(kCheckPlug)));
        finish(TDoctorOutcome::CannotOpen);
        return;
    }
    emit progress({report_.tries + 1, report_.tries + 1, configured_, setup_.config.Address});
    if (!running_)
        return;
    drainStart_ = quietSince_ = TLinkClock::now();
    drainTick();
}

void TDoctor::drainTick()
{
    const auto now = TLinkClock::now();
    if (port_->GetQCountIn() > 0) {
        port_->PurgeCommPort(PURGE_RXABORT | PURGE_RXCLEAR);
        quietSince_ = now;
    }
    const std::chrono::milliseconds wait(patientTimeoutMs());
    // A line that never goes quiet is asked all the same.
    if (now - quietSince_ < wait && now - drainStart_ < 3 * wait) {
        QTimer::singleShot(50, this, [this, run = run_] {
            if (run == run_ && running_)
                drainTick();
        });
        return;
    }
    const int requestMs = link_->wireMs(kReadRequestLength);
    ++report_.tries;
    report_.searchFloor += std::chrono::milliseconds(requestMs + patientTimeoutMs());
    ask(setup_.config.Address, patientTimeoutMs());
}

void TDoctor::patientDone()
{
    const TExchangeReport& r = *last_;
    if (r.outcome == TExchangeOutcome::OpenFailed || r.outcome == TExchangeOutcome::LineLost) {
        add(result(TDoctorCheck::Search, TVerdict::Problem, say(kWentAway, {portText()}), say(kCheckPlug)));
        finish(TDoctorOutcome::CannotOpen);
        return;
    }
    const std::string address = addressOf(setup_.config.Address);
    const std::string waited = cfmt("%.1f", patientTimeoutMs() / 1000.0);
    const auto latency = r.latency();
    TWords finding = say(kLateSearch, {addressOf(lateAt_->address), shortLineWords(lateAt_->line)});
    if (carriesReading(r)) {
        finding = join(finding, say(kPatientAnswer, {shortLineWords(configured_), waited, address,
                                                        cfmt("%.1f", static_cast<double>(latency.count()) / 1000.0)}));
        // Twice what it took, in whole half seconds, leaves room for a slower day.
        if (latency.count() > setup_.answerTimeoutMs) {
            report_.slowLatency = latency;
            report_.suggestedTimeoutMs = static_cast<int>(std::min<long long>((latency.count() * 2 + 499) / 500 * 500, 60000));
        }
    } else {
        finding = join(finding, say(kPatientSilent, {shortLineWords(configured_), waited, address}));
    }
    add(result(TDoctorCheck::Search, TVerdict::Problem, join(finding, triesWords(report_.tries))));
    finish(TDoctorOutcome::SlowReply);
}

void TDoctor::cancel()
{
    if (!running_)
        return;
    finish(TDoctorOutcome::Cancelled);
}

void TDoctor::finish(TDoctorOutcome outcome)
{
    if (!running_)
        return;
    running_ = false;
    ++run_;
    cut_.stop();
    cutting_ = false;
    link_->closePort();
    auto add = [this](TCheckResult r) {
        report_.checks.push_back(r);
        emit checkDone(r);
    };
    const bool searched = phase_ != TPhase::Answer;
    phase_ = TPhase::Answer;
    std::string addressList;
    if (outcome == TDoctorOutcome::Found) {
        std::sort(found_->addresses.begin(), found_->addresses.end());
        const auto& as = found_->addresses;
        const bool configured = std::find(as.begin(), as.end(), setup_.config.Address) != as.end();
        found_->Address = configured ? setup_.config.Address : as.front();
        // Another address is proposed only where one display alone answers:
        // on a bus, any other one would be set up as if it were this one.
        if (!configured && as.size() > 1)
            outcome = TDoctorOutcome::OthersAnswer;
        // What the device does not keep was never tried: the configured stays.
        if (pseudoTerminal_) {
            found_->line.parity = configured_.parity;
            found_->line.dataBits = configured_.dataBits;
        }
        std::vector<std::string> list;
        for (std::uint8_t a : as)
            list.push_back(cfmt("%02d", a));
        addressList = joinList(list);
        TWords finding = say(as.size() == 1 ? kFoundOne : kFoundMany,
            {shortLineWords(found_->line), addressList, cfmt("%d", report_.tries)});
        if (outcome == TDoctorOutcome::OthersAnswer)
            finding = join(finding, say(kNoneAsConfigured, {addressOf(setup_.config.Address)}));
        add(result(TDoctorCheck::Search, outcome == TDoctorOutcome::Found ? TVerdict::Ok : TVerdict::Problem, finding));
        (outcome == TDoctorOutcome::Found ? report_.found : report_.answering) = found_;
    }
    // Every check has a line: those the run did not reach say why.
    const bool cannotOpen = outcome == TDoctorOutcome::CannotOpen;
    for (int c = static_cast<int>(report_.checks.size()); c < kDoctorCheckCount; ++c) {
        const auto check = static_cast<TDoctorCheck>(c);
        TWords why = say(cannotOpen ? kPortUnusable : kCancelled);
        if (check == TDoctorCheck::Search && outcome == TDoctorOutcome::Answers)
            why = say(kNotNeeded);
        else if (check == TDoctorCheck::Search && outcome == TDoctorOutcome::Cancelled && searched)
            why = say(kCancelledAfter, {cfmt("%d", report_.tries), cfmt("%d", plannedTries())});
        add(result(check, TVerdict::Skipped, why));
    }
    report_.outcome = outcome;
    const std::string port = portText();
    switch (outcome) {
    case TDoctorOutcome::Answers:
        report_.conclusion = say(kAllGood);
        break;
    case TDoctorOutcome::Found:
        report_.conclusion = say(kUseInstead, {fullLineWords(found_->line, found_->Address),
                                                  say(kLineAddress, {shortLineWords(configured_), addressOf(setup_.config.Address)})});
        if (found_->Address != setup_.config.Address)
            report_.conclusion = join(report_.conclusion,
                say(kOtherDisplay, {cfmt("%02d", found_->Address), addressOf(setup_.config.Address)}));
        if (pseudoTerminal_)
            report_.conclusion = join(report_.conclusion, say(kPseudoFormat, {shownName(path_)}));
        break;
    case TDoctorOutcome::OthersAnswer:
        report_.conclusion = say(kOthersAnswer, {addressOf(setup_.config.Address), addressList, shortLineWords(found_->line)});
        if (pseudoTerminal_)
            report_.conclusion = join(report_.conclusion, say(kPseudoFormat, {shownName(path_)}));
        break;
    case TDoctorOutcome::NothingAnswered:
        report_.conclusion = join(say(kNothing, {port}), setup_.search ? say(kCheckWiring) : say(kTrySearch));
        break;
    case TDoctorOutcome::SlowReply:
        report_.conclusion = report_.suggestedTimeoutMs > 0
            ? say(kSlowVerdict, {addressOf(setup_.config.Address), shortLineWords(configured_),
                                    cfmt("%.1f", static_cast<double>(report_.slowLatency.count()) / 1000.0),
                                    cfmt("%.1f", setup_.answerTimeoutMs / 1000.0), cfmt("%d", report_.suggestedTimeoutMs)})
            : say(kLateVerdict, {port});
        break;
    case TDoctorOutcome::OtherAddress:
        report_.conclusion = say(kSignedVerdict, {addressOf(setup_.config.Address), shortLineWords(configured_), signedAs_});
        break;
    case TDoctorOutcome::CannotOpen: {
        const auto problem = std::find_if(report_.checks.begin(), report_.checks.end(),
            [](const TCheckResult& c) { return c.verdict == TVerdict::Problem; });
        const TDoctorCheck check = problem == report_.checks.end() ? TDoctorCheck::Echo : problem->check;
        report_.conclusion = say(kFixFirst, {say(kCheckNames[static_cast<int>(check)])});
        break;
    }
    case TDoctorOutcome::Cancelled:
        report_.conclusion = say(kRunCancelled);
        break;
    }
    emit finished(report_);
}

// ---- Words of a run ---------------------------------------------------------

TCheckParts checkParts(const TCheckResult& r, int language)
{
    const std::size_t l = static_cast<std::size_t>(language >= 0 && language <= 3 ? language : 1);
    std::string text = r.finding[l];
    if (!r.advice[l].empty())
        text += (text.empty() ? "" : " ") + r.advice[l];
    return {pickText(kCheckNames[static_cast<int>(r.check)], language),
        pickText(kVerdicts[static_cast<int>(r.verdict)], language), text};
}

std::string checkLine(const TCheckResult& r, int language)
{
    const TCheckParts p = checkParts(r, language);
    return fillIn(pickText(kLine, language), {p.name, p.verdict, p.text});
}

std::string verdictName(int language)
{
    return pickText(kVerdictName, language);
}

std::string conclusionLine(const TDoctorReport& report, int language)
{
    const std::size_t l = static_cast<std::size_t>(language >= 0 && language <= 3 ? language : 1);
    return fillIn(pickText(kConclusionLine, language), {verdictName(language), report.conclusion[l]});
}

std::vector<std::string> doctorLines(const TDoctorReport& report, int language)
{
    std::vector<std::string> lines;
    for (const TCheckResult& r : report.checks)
        lines.push_back(checkLine(r, language));
    lines.push_back(conclusionLine(report, language));
    return lines;
}

std::string progressText(const TSearchProgress& p, int language)
{
    const std::size_t l = static_cast<std::size_t>(language >= 0 && language <= 3 ? language : 1);
    return fillIn(pickText(kTrying, language),
        {cfmt("%02d", p.address), shortLineWords(p.line)[l], cfmt("%d", p.done), cfmt("%d", p.total)});
}

std::string lineWords(const TLineFormat& line, std::uint8_t address, int language)
{
    const std::size_t l = static_cast<std::size_t>(language >= 0 && language <= 3 ? language : 1);
    return fullLineWords(line, address)[l];
}

void applyFoundLine(const TFoundLine& found, TDisplayConfig& config)
{
    storeLineFormat(found.line, config);
    config.Address = found.Address;
}

std::string doctorRefusalText(TDoctorRefusal why, int language)
{
    return pickText(kRefusals[static_cast<int>(why)], language);
}
