#pragma once
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "base/Texts.h"

// Every text of dadiz-bridge that a person reads (its journal, its usage,
// its configuration errors, the "why" and "error" of its payloads), in the
// four languages. Topics, JSON
// names and the status words plant systems match on are not texts: they
// stay as they are in every language.

namespace bridgetext {

inline constexpr TLanguage kEnglish = TLanguage::English;

inline std::string say(const TTexts& texts, TLanguage language, std::initializer_list<std::string> args = {})
{
    return fillIn(texts.pick(language), args);
}

inline const TTexts kOr{" o ", " o ", " ou ", " or "};

// "a, b or c" in the language.
inline std::string orList(const std::vector<std::string>& words, TLanguage language)
{
    std::string out;
    for (std::size_t i = 0; i < words.size(); ++i)
        out += (i == 0 ? "" : i + 1 == words.size() ? kOr.pick(language) : ", ") + words[i];
    return out;
}

inline std::string languageCodes(TLanguage language)
{
    return orList({std::begin(kLanguageCodes), std::end(kLanguageCodes)}, language);
}

// The command line
inline const TTexts kUsage{
    "ús: dadiz-bridge [--config ARXIU] [--lang ca|es|fr|en] [--check]\n"
    "Llegeix els visualitzadors de les línies de l'ARXIU (per defecte /etc/dadiz/bridge.conf) i\n"
    "publica les seves lectures per MQTT i Modbus TCP; vegeu man dadiz-bridge.\n"
    "  --config ARXIU  l'arxiu de configuració\n"
    "  --lang L        ca, es, fr o en: la llengua dels missatges (per defecte la de Language=\n"
    "                  a la secció [Bridge] de l'ARXIU, o en)\n"
    "  --check         comprova l'arxiu de configuració i surt\n"
    "Estat de sortida: 0 aturada per SIGTERM o SIGINT, o un arxiu correcte amb --check; 1 no es\n"
    "poden fer servir el broker o el port Modbus; 2 error d'ús o de configuració.\n",
    "uso: dadiz-bridge [--config ARCHIVO] [--lang ca|es|fr|en] [--check]\n"
    "Lee los visualizadores de las líneas del ARCHIVO (por defecto /etc/dadiz/bridge.conf) y\n"
    "publica sus lecturas por MQTT y Modbus TCP; véase man dadiz-bridge.\n"
    "  --config ARCHIVO  el archivo de configuración\n"
    "  --lang L          ca, es, fr o en: el idioma de los mensajes (por defecto el de Language=\n"
    "                    en la sección [Bridge] del ARCHIVO, o en)\n"
    "  --check           comprueba el archivo de configuración y termina\n"
    "Estado de salida: 0 detenido por SIGTERM o SIGINT, o un archivo correcto con --check; 1 no\n"
    "se pueden usar el broker o el puerto Modbus; 2 error de uso o de configuración.\n",
    "usage : dadiz-bridge [--config FICHIER] [--lang ca|es|fr|en] [--check]\n"
    "Lit les afficheurs des lignes du FICHIER (par défaut /etc/dadiz/bridge.conf) et publie\n"
    "leurs lectures sur MQTT et Modbus TCP ; voir man dadiz-bridge.\n"
    "  --config FICHIER  le fichier de configuration\n"
    "  --lang L          ca, es, fr ou en : la langue des messages (par défaut celle de Language=\n"
    "                    dans la section [Bridge] du FICHIER, sinon en)\n"
    "  --check           vérifie le fichier de configuration et termine\n"
    "Code de sortie : 0 arrêté par SIGTERM ou SIGINT, ou un fichier correct avec --check ; 1 le\n"
    "broker ou le port Modbus ne peuvent pas être utilisés ; 2 erreur d'utilisation ou de configuration.\n",
    "usage: dadiz-bridge [--config FILE] [--lang ca|es|fr|en] [--check]\n"
    "Reads the displays of the lines in FILE (default /etc/dadiz/bridge.conf) and publishes\n"
    "their readings on MQTT and Modbus TCP; see man dadiz-bridge.\n"
    "  --config FILE  the configuration file\n"
    "  --lang L       ca, es, fr or en: the language of its messages (default that of Language=\n"
    "                 in the [Bridge] section of FILE, else en)\n"
    "  --check        check the configuration file and exit\n"
    "Exit status: 0 stopped by SIGTERM or SIGINT, or a good file with --check; 1 the broker\n"
    "or the Modbus port cannot be used; 2 usage or configuration error.\n"};
inline const TTexts kNeedsFile{"--config necessita un ARXIU", "--config necesita un ARCHIVO",
    "--config demande un FICHIER", "--config needs a FILE"};
inline const TTexts kLangRefused{"--lang ha de ser %1, no \"%2\"", "--lang debe ser %1, no \"%2\"",
    "--lang doit être %1, et non \"%2\"", "--lang must be %1, not \"%2\""};
inline const TTexts kUnknownArgument{"argument desconegut \"%1\"", "argumento desconocido \"%1\"",
    "argument inconnu \"%1\"", "unknown argument \"%1\""};
inline const TTexts kGood{"%1: correcte", "%1: correcto", "%1 : correct", "%1: good"};
inline const TTexts kStarted{"en marxa amb %1", "en marcha con %1", "démarré avec %1", "started with %1"};
inline const TTexts kStopping{"aturant-se", "deteniéndose", "arrêt en cours", "stopping"};

// The configuration file: "PATH:LINE: KEY: why" keeps its shape in every language.
inline const TTexts kCannotRead{"no es pot llegir %1: %2", "no se puede leer %1: %2", "impossible de lire %1 : %2",
    "cannot read %1: %2"};
inline const TTexts kTooBig{"conté més de %1 bytes", "contiene más de %1 bytes", "il contient plus de %1 octets",
    "it holds more than %1 bytes"};
inline const TTexts kValueRefused{"%1: %2, no \"%3\"", "%1: %2, no \"%3\"", "%1: %2, et non \"%3\"",
    "%1: %2, not \"%3\""};
inline const TTexts kWhole{"ha de ser un nombre enter de %1 a %2", "debe ser un número entero de %1 a %2",
    "doit être un nombre entier de %1 à %2", "must be a whole number from %1 to %2"};
inline const TTexts kMustBe{"ha de ser %1", "debe ser %1", "doit être %1", "must be %1"};
inline const TTexts kOneWord{"ha de ser una sola paraula de caràcters imprimibles",
    "debe ser una sola palabra de caracteres imprimibles", "doit être un seul mot de caractères imprimables",
    "must be one word of printable characters"};
inline const TTexts kFilePath{"ha de ser el camí d'un arxiu", "debe ser la ruta de un archivo",
    "doit être le chemin d'un fichier", "must be the path of a file"};
inline const TTexts kTopicLevels{"han de ser nivells de tema separats per '/', sense espais, '+' ni '#'",
    "deben ser niveles de tema separados por '/', sin espacios, '+' ni '#'",
    "doit être des niveaux de sujet séparés par '/', sans espaces, '+' ni '#'",
    "must be topic levels separated by '/', without blanks, '+' or '#'"};
inline const TTexts kIpv4{"ha de ser una adreça IPv4 com ara 127.0.0.1", "debe ser una dirección IPv4 como 127.0.0.1",
    "doit être une adresse IPv4 telle que 127.0.0.1", "must be an IPv4 address such as 127.0.0.1"};
inline const TTexts kDevicePath{"ha de ser el camí d'un dispositiu o un nom COM",
    "debe ser la ruta de un dispositivo o un nombre COM", "doit être le chemin d'un périphérique ou un nom COM",
    "must be a device path or a COM name"};
inline const TTexts kAddressList{"han de ser adreces de 0 a 31 i intervals, com ara 1-8 o 1,2,5-9",
    "deben ser direcciones de 0 a 31 e intervalos, como 1-8 o 1,2,5-9",
    "doit être des adresses de 0 à 31 et des plages, telles que 1-8 ou 1,2,5-9",
    "must be addresses from 0 to 31 and ranges, such as 1-8 or 1,2,5-9"};
inline const TTexts kNotUtf8{"la línia no és text UTF-8", "la línea no es texto UTF-8",
    "la ligne n'est pas du texte UTF-8", "the line is not UTF-8 text"};
inline const TTexts kBrackets{"una secció comença amb '[' i acaba amb ']'", "una sección empieza con '[' y termina con ']'",
    "une section commence par '[' et se termine par ']'", "a section starts with '[' and ends with ']'"};
inline const TTexts kLineName{
    "[%1]: el nom d'una línia té d'1 a 64 lletres, xifres, '-', '_' o '.', i no és \"bridge\"",
    "[%1]: el nombre de una línea tiene de 1 a 64 letras, cifras, '-', '_' o '.', y no es \"bridge\"",
    "[%1]: le nom d'une ligne compte de 1 à 64 lettres, chiffres, '-', '_' ou '.', et n'est pas \"bridge\"",
    "[%1]: a line's name is 1 to 64 letters, digits, '-', '_' or '.', and not \"bridge\""};
inline const TTexts kNoSuchSection{
    "[%1] no és cap secció; les seccions són [Bridge], [Broker], [Modbus] i [Line NOM]",
    "[%1] no es ninguna sección; las secciones son [Bridge], [Broker], [Modbus] y [Line NOMBRE]",
    "[%1] n'est pas une section ; les sections sont [Bridge], [Broker], [Modbus] et [Line NOM]",
    "[%1] is no section; the sections are [Bridge], [Broker], [Modbus] and [Line NAME]"};
inline const TTexts kSectionTwice{"[%1] apareix dues vegades", "[%1] aparece dos veces", "[%1] apparaît deux fois",
    "[%1] comes twice"};
inline const TTexts kNotKeyValue{"\"%1\" no és CLAU=VALOR", "\"%1\" no es CLAVE=VALOR", "\"%1\" n'est pas CLÉ=VALEUR",
    "\"%1\" is not KEY=VALUE"};
inline const TTexts kKeyBeforeSection{"%1: una clau abans de cap secció", "%1: una clave antes de cualquier sección",
    "%1: une clé avant toute section", "%1: a key before any section"};
inline const TTexts kNoSuchKey{"%1: aquesta clau no existeix aquí; les claus són %2",
    "%1: esta clave no existe aquí; las claves son %2", "%1: cette clé n'existe pas ici ; les clés sont %2",
    "%1: no such key here; the keys are %2"};
inline const TTexts kKeyTwice{"%1: donada dues vegades en aquesta secció", "%1: dada dos veces en esta sección",
    "%1: donnée deux fois dans cette section", "%1: given twice in this section"};
inline const TTexts kMissingKey{"[Line %1] no té la clau %2", "[Line %1] no tiene la clave %2",
    "[Line %1] n'a pas de clé %2", "[Line %1] has no %2 key"};
inline const TTexts kNoLine{"no hi ha cap secció [Line NOM]: la passarel·la no té cap visualitzador per llegir",
    "no hay ninguna sección [Line NOMBRE]: la pasarela no tiene ningún visualizador que leer",
    "aucune section [Line NOM] : la passerelle n'a aucun afficheur à lire",
    "no [Line NAME] section: the bridge has no display to read"};
inline const TTexts kNowhere{"ni [Broker] ni [Modbus]: les lectures no anirien enlloc",
    "ni [Broker] ni [Modbus]: las lecturas no irían a ninguna parte",
    "ni [Broker] ni [Modbus] : les lectures n'iraient nulle part",
    "neither [Broker] nor [Modbus]: the readings would go nowhere"};
inline const TTexts kCertPair{"%1: un certificat de client necessita CertFile i KeyFile alhora",
    "%1: un certificado de cliente necesita CertFile y KeyFile a la vez",
    "%1: un certificat client demande à la fois CertFile et KeyFile",
    "%1: a client certificate needs both CertFile and KeyFile"};
inline const TTexts kUnitTwice{
    "Addresses: l'adreça %1 també és a la línia %2, i un identificador d'unitat Modbus designa un sol visualitzador",
    "Addresses: la dirección %1 también está en la línea %2, y un identificador de unidad Modbus designa un solo "
    "visualizador",
    "Addresses: l'adresse %1 est aussi sur la ligne %2, et un identifiant d'unité Modbus désigne un seul afficheur",
    "Addresses: address %1 is also on line %2, and a Modbus unit id names one display"};

// The journal
inline const TTexts kModbusOn{"Modbus TCP a %1:%2", "Modbus TCP en %1:%2", "Modbus TCP sur %1:%2", "Modbus TCP on %1:%2"};
inline const TTexts kDisplayNote{"línia %1, visualitzador %2: %3", "línea %1, visualizador %2: %3",
    "ligne %1, afficheur %2 : %3", "line %1, display %2: %3"};
inline const TTexts kConfigNote{"línia %1, visualitzador %2: configuració %3: %4",
    "línea %1, visualizador %2: configuración %3: %4", "ligne %1, afficheur %2 : configuration %3 : %4",
    "line %1, display %2: configuration %3: %4"};
inline const TTexts kWritten{"línia %1, visualitzador %2: configuració escrita i rellegida",
    "línea %1, visualizador %2: configuración escrita y releída", "ligne %1, afficheur %2 : configuration écrite et relue",
    "line %1, display %2: configuration written and read back"};
inline const TTexts kLineOpen{"línia %1: %2 és obert", "línea %1: %2 está abierto", "ligne %1 : %2 est ouvert",
    "line %1: %2 is open"};
inline const TTexts kLineCannotOpen{"línia %1: no es pot obrir %2: %3", "línea %1: no se puede abrir %2: %3",
    "ligne %1 : impossible d'ouvrir %2 : %3", "line %1: cannot open %2: %3"};
inline const TTexts kLineWasLost{"línia %1: s'ha perdut %2", "línea %1: se ha perdido %2", "ligne %1 : %2 a été perdu",
    "line %1: %2 was lost"};

// Why a display has no good reading
inline const TTexts kNoReplyInTime{"cap resposta dins el temps d'espera", "sin respuesta dentro del tiempo de espera",
    "pas de réponse dans le délai", "no reply within the time-out"};
inline const TTexts kNoReplyWithin{"cap resposta en %1 ms", "sin respuesta en %1 ms", "pas de réponse en %1 ms",
    "no reply within %1 ms"};
inline const TTexts kOtherAddress{"ha respost un visualitzador amb una altra adreça",
    "ha respondido un visualizador con otra dirección", "un afficheur a répondu avec une autre adresse",
    "a display answered with another address"};
inline const TTexts kNotAnAnswer{"la resposta no respon a la petició", "la respuesta no responde a la petición",
    "la réponse ne répond pas à la requête", "the reply does not answer the request"};
inline const TTexts kNoEnd{"han arribat bytes sense el final d'una resposta", "han llegado bytes sin el final de una respuesta",
    "des octets sont arrivés sans la fin d'une réponse", "bytes came without the end of a reply"};
inline const TTexts kNoReading{"la resposta no porta ni valor ni estat dels relés",
    "la respuesta no lleva ni valor ni estado de los relés", "la réponse ne porte ni valeur ni état des relais",
    "the reply carries neither a value nor relay states"};
inline const TTexts kLineLost{"s'ha perdut la línia", "se ha perdido la línea", "la ligne a été perdue",
    "the line was lost"};
inline const TTexts kLineCannotBeOpened{"la línia no es pot obrir: %1", "la línea no se puede abrir: %1",
    "la ligne ne peut pas être ouverte : %1", "the line cannot be opened: %1"};
inline const TTexts kDeviceGone{"el dispositiu ha desaparegut", "el dispositivo ha desaparecido",
    "le périphérique a disparu", "the device went away"};

// Configuration requests
inline const TTexts kReadingConfig{"en llegir la configuració: %1", "al leer la configuración: %1",
    "à la lecture de la configuration : %1", "reading the configuration: %1"};
inline const TTexts kPartOnly{"la resposta del visualitzador només porta part de la seva configuració: \"%1\"",
    "la respuesta del visualizador solo lleva parte de su configuración: \"%1\"",
    "la réponse de l'afficheur ne porte qu'une partie de sa configuration : \"%1\"",
    "the display's reply carries only part of its configuration: \"%1\""};
inline const TTexts kCannotHold{"el visualitzador té el que una configuració no pot tenir: %1",
    "el visualizador tiene lo que una configuración no puede tener: %1",
    "l'afficheur contient ce qu'une configuration ne peut pas contenir : %1",
    "the display holds what a configuration cannot hold: %1"};
inline const TTexts kWritesRefused{
    "no es permet escriure una configuració: l'arxiu de la passarel·la no diu AllowWrites=true a [Broker]",
    "no se permite escribir una configuración: el archivo de la pasarela no dice AllowWrites=true en [Broker]",
    "l'écriture d'une configuration n'est pas permise : le fichier de la passerelle ne dit pas AllowWrites=true "
    "dans [Broker]",
    "writing a configuration is not allowed: the bridge's file does not say AllowWrites=true in [Broker]"};
inline const TTexts kNothingSent{"%1; no s'ha enviat res", "%1; no se ha enviado nada", "%1 ; rien n'a été envoyé",
    "%1; nothing was sent"};
inline const TTexts kSending{"en enviar la configuració: %1", "al enviar la configuración: %1",
    "à l'envoi de la configuration : %1", "sending the configuration: %1"};
inline const TTexts kReadBack{"enviada, però en rellegir-la: %1", "enviada, pero al releerla: %1",
    "envoyée, mais à la relecture : %1", "sent, but reading it back: %1"};
inline const TTexts kDifference{"%1 enviat %2, el visualitzador té %3", "%1 enviado %2, el visualizador tiene %3",
    "%1 envoyé %2, l'afficheur contient %3", "%1 sent %2, display holds %3"};
inline const TTexts kOtherValues{"enviada, però el visualitzador té altres valors: %1",
    "enviada, pero el visualizador tiene otros valores: %1", "envoyée, mais l'afficheur contient d'autres valeurs : %1",
    "sent, but the display holds other values: %1"};
inline const TTexts kNotSent{
    "%1 no forma part del que s'envia a un visualitzador; la línia, l'adreça i els dígits són de l'arxiu de "
    "configuració de la passarel·la",
    "%1 no forma parte de lo que se envía a un visualizador; la línea, la dirección y los dígitos son del archivo de "
    "configuración de la pasarela",
    "%1 ne fait pas partie de ce qui est envoyé à un afficheur ; la ligne, l'adresse et les chiffres relèvent du "
    "fichier de configuration de la passerelle",
    "%1 is not part of what a display is sent; the line, the address and the digits are the bridge's configuration "
    "file's"};
inline const TTexts kCannotGoOut{"%1 no pot sortir a la petició (sortiria com a \"%2\")",
    "%1 no puede salir en la petición (saldría como \"%2\")",
    "%1 ne peut pas partir dans la requête (il partirait sous la forme \"%2\")",
    "%1 cannot go out in the request (it would go out as \"%2\")"};

// Configuration payloads
inline const TTexts kPayloadTooBig{"el missatge té més de %1 bytes", "el mensaje tiene más de %1 bytes",
    "le message fait plus de %1 octets", "the payload holds more than %1 bytes"};
inline const TTexts kPayloadNotUtf8{"el missatge no és text UTF-8", "el mensaje no es texto UTF-8",
    "le message n'est pas du texte UTF-8", "the payload is not UTF-8 text"};
inline const TTexts kNotObject{"el missatge no és un objecte JSON", "el mensaje no es un objeto JSON",
    "le message n'est pas un objet JSON", "the payload is not a JSON object"};
inline const TTexts kNotString{"un nom o un valor no és una cadena", "un nombre o un valor no es una cadena",
    "un nom ou une valeur n'est pas une chaîne", "a name or value is not a string"};
inline const TTexts kControlCharacter{"una cadena conté un caràcter de control", "una cadena contiene un carácter de control",
    "une chaîne contient un caractère de contrôle", "a string holds a control character"};
inline const TTexts kEscapedCharacter{"una cadena conté un escapament d'un caràcter que cap valor no té",
    "una cadena contiene un escape de un carácter que ningún valor tiene",
    "une chaîne contient l'échappement d'un caractère qu'aucune valeur ne contient",
    "a string holds an escape for a character no value has"};
inline const TTexts kOtherEscape{"una cadena conté un escapament que cap valor no necessita",
    "una cadena contiene un escape que ningún valor necesita",
    "une chaîne contient un échappement dont aucune valeur n'a besoin", "a string holds an escape no value needs"};
inline const TTexts kNoStringEnd{"una cadena no té final", "una cadena no tiene final", "une chaîne n'a pas de fin",
    "a string has no end"};
inline const TTexts kNotValue{"un valor no és ni una cadena ni un nombre", "un valor no es ni una cadena ni un número",
    "une valeur n'est ni une chaîne ni un nombre", "a value is neither a string nor a number"};
inline const TTexts kExponent{"un nombre està escrit amb exponent; escriviu-lo amb les seves xifres",
    "un número está escrito con exponente; escríbalo con sus cifras",
    "un nombre est écrit avec un exposant ; écrivez-le avec ses chiffres",
    "a number is written with an exponent; write it with its digits"};
inline const TTexts kNoColon{"un nom no va seguit de ':'", "un nombre no va seguido de ':'", "un nom n'est pas suivi de ':'",
    "a name is not followed by ':'"};
inline const TTexts kNameTwice{"\"%1\" apareix dues vegades", "\"%1\" aparece dos veces", "\"%1\" est donné deux fois",
    "\"%1\" is given twice"};
inline const TTexts kNoFieldName{"\"%1\" no és el nom de cap camp", "\"%1\" no es el nombre de ningún campo",
    "\"%1\" n'est le nom d'aucun champ", "\"%1\" is no field's name"};
inline const TTexts kNoComma{"els membres no estan separats per ','", "los miembros no están separados por ','",
    "les membres ne sont pas séparés par ','", "the members are not separated by ','"};
inline const TTexts kBytesAfter{"hi ha bytes després de l'objecte JSON", "hay bytes después del objeto JSON",
    "des octets suivent l'objet JSON", "bytes follow the JSON object"};
inline const TTexts kNoField{"l'objecte no anomena cap camp", "el objeto no nombra ningún campo",
    "l'objet ne nomme aucun champ", "the object names no field"};

// The broker
inline const TTexts kNoClient{"no es pot crear el client MQTT", "no se puede crear el cliente MQTT",
    "impossible de créer le client MQTT", "cannot create the MQTT client"};
inline const TTexts kTlsFiles{"els arxius TLS no es poden fer servir: %1", "los archivos TLS no se pueden usar: %1",
    "les fichiers TLS ne peuvent pas être utilisés : %1", "the TLS files cannot be used: %1"};
inline const TTexts kLastWill{"no es pot establir el darrer missatge (last will): %1",
    "no se puede fijar el último mensaje (last will): %1", "le dernier message (last will) ne peut pas être défini : %1",
    "the last will cannot be set: %1"};
inline const TTexts kBrokerRefused{"el broker ha refusat la connexió: %1", "el broker ha rechazado la conexión: %1",
    "le broker a refusé la connexion : %1", "the broker refused the connection: %1"};
// The broker's refusals of MQTT 3.1.1, by their code 1 to 5.
inline const TTexts kRefusals[] = {
    {"versió de protocol no acceptada", "versión de protocolo no aceptada", "version de protocole non acceptée",
        "unacceptable protocol version"},
    {"identificador rebutjat", "identificador rechazado", "identifiant rejeté", "identifier rejected"},
    {"broker no disponible", "broker no disponible", "broker indisponible", "broker unavailable"},
    {"nom d'usuari o contrasenya incorrectes", "nombre de usuario o contraseña incorrectos",
        "nom d'utilisateur ou mot de passe incorrect", "bad user name or password"},
    {"no autoritzat", "no autorizado", "non autorisé", "not authorised"},
};
// libmosquitto's own errors (other than a system error), in the user's words.
inline const TTexts kMqttProtocol{"error del protocol MQTT", "error del protocolo MQTT", "erreur du protocole MQTT",
    "MQTT protocol error"};
inline const TTexts kMqttInvalid{"paràmetres no vàlids per a la biblioteca MQTT",
    "parámetros no válidos para la biblioteca MQTT", "paramètres invalides pour la bibliothèque MQTT",
    "invalid parameters for the MQTT library"};
inline const TTexts kMqttNotConnected{"no connectat al broker", "no conectado al broker", "non connecté au broker",
    "not connected to the broker"};
inline const TTexts kMqttRefused{"el broker ha rebutjat la connexió", "el broker ha rechazado la conexión",
    "le broker a refusé la connexion", "the broker refused the connection"};
inline const TTexts kMqttLost{"connexió perduda", "conexión perdida", "connexion perdue", "connection lost"};
inline const TTexts kMqttTls{"error de TLS", "error de TLS", "erreur TLS", "TLS error"};
inline const TTexts kMqttTlsHandshake{"la negociació TLS ha fallat", "la negociación TLS ha fallado",
    "la négociation TLS a échoué", "the TLS handshake failed"};
inline const TTexts kMqttTooLong{"missatge massa llarg", "mensaje demasiado largo", "message trop long",
    "payload too large"};
inline const TTexts kMqttNotSupported{"no ho admet aquesta biblioteca MQTT", "no lo admite esta biblioteca MQTT",
    "non pris en charge par cette bibliothèque MQTT", "not supported by this MQTT library"};
inline const TTexts kMqttAuth{"autenticació rebutjada", "autenticación rechazada", "authentification refusée",
    "authentication refused"};
inline const TTexts kMqttDenied{"accés denegat", "acceso denegado", "accès refusé", "access denied"};
inline const TTexts kMqttLookup{"no es troba el nom del broker", "no se encuentra el nombre del broker",
    "nom du broker introuvable", "the broker's name cannot be looked up"};
inline const TTexts kMqttProxy{"error del servidor intermediari", "error del proxy", "erreur du proxy", "proxy error"};
inline const TTexts kMqttUtf8{"tema o text amb UTF-8 no vàlid", "tema o texto con UTF-8 no válido",
    "sujet ou texte en UTF-8 invalide", "topic or text with invalid UTF-8"};
inline const TTexts kMqttNoAnswer{"el broker no ha respost a temps", "el broker no ha respondido a tiempo",
    "le broker n'a pas répondu à temps", "the broker did not answer in time"};
inline const TTexts kMqttLibraryError{"error %1 de la biblioteca MQTT", "error %1 de la biblioteca MQTT",
    "erreur %1 de la bibliothèque MQTT", "MQTT library error %1"};
inline const TTexts kRefusalCode{"codi %1", "código %1", "code %1", "code %1"};
inline const TTexts kConnected{"connectat al broker", "conectado al broker", "connecté au broker",
    "connected to the broker"};
inline const TTexts kConnectionLost{"s'ha perdut la connexió amb el broker; es torna a provar",
    "se ha perdido la conexión con el broker; se vuelve a intentar", "la connexion au broker a été perdue ; nouvel essai",
    "the connection to the broker was lost; trying again"};
inline const TTexts kUnreachable{
    "no es pot arribar al broker de %1:%2 (%3); es torna a provar al cap d'1 s, després cada vegada el doble de temps, "
    "fins a un minut",
    "no se puede llegar al broker de %1:%2 (%3); se vuelve a intentar tras 1 s, después cada vez el doble de tiempo, "
    "hasta un minuto",
    "le broker %1:%2 est inaccessible (%3) ; nouvel essai après 1 s, puis deux fois plus tard à chaque fois, jusqu'à "
    "une minute",
    "the broker at %1:%2 cannot be reached (%3); trying again after 1 s, then twice as long each time, up to a minute"};

// The Modbus server
inline const TTexts kModbusCreate{"no es pot crear el servidor Modbus: %1", "no se puede crear el servidor Modbus: %1",
    "impossible de créer le serveur Modbus : %1", "cannot create the Modbus server: %1"};
inline const TTexts kModbusListen{"no es pot escoltar Modbus TCP a %1:%2: %3", "no se puede escuchar Modbus TCP en %1:%2: %3",
    "impossible d'écouter Modbus TCP sur %1:%2 : %3", "cannot listen for Modbus TCP on %1:%2: %3"};
inline const TTexts kModbusStart{"no es pot engegar el servidor Modbus: %1", "no se puede arrancar el servidor Modbus: %1",
    "impossible de démarrer le serveur Modbus : %1", "cannot start the Modbus server: %1"};

// Home Assistant's names of a display's entities, which it shows to people.
inline const TTexts kValueEntity{"Valor", "Valor", "Valeur", "Value"};
inline const TTexts kRelayEntity{"Relé %1", "Relé %1", "Relais %1", "Relay %1"};

} // namespace bridgetext
