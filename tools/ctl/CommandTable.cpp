#include "tools/ctl/CommandTable.h"

#include <algorithm>

#include "config/FieldEdits.h"
#include "config/LineFormat.h"
#include "config/PlainFields.h"
#include "config/RecordFields.h"
#include "tools/ctl/Commands.h"

namespace {

const std::vector<std::string> kLineOptions = {"--port",      "--baud",    "--parity",  "--data-bits",
                                               "--stop-bits", "--address", "--timeout", "--retries"};

std::vector<std::string> withLine(std::vector<std::string> extra, bool address = true)
{
    for (const std::string& option : kLineOptions)
        if (address || option != "--address")
            extra.push_back(option);
    return extra;
}

std::vector<std::string> withoutRetries(std::vector<std::string> options)
{
    std::erase(options, "--retries");
    return options;
}

// Option names, values and placeholders stay as the user types them in every
// language; the descriptions start in the same column in all four. %1..%4 are
// the line's lists of speeds, parities, data bits and stop bits.
const TTexts kLineHelp{
    "Opcions de línia (per defecte, els paràmetres sèrie i l'adreça de FILE):\n"
    "  --port COM1..COM6|PATH  port: un nom COM a través del mapa de ports del programa, o un\n"
    "                          dispositiu (un camí relatiu que existeix des d'aquí, si no un nom\n"
    "                          sota /dev)\n"
    "  --baud N                %1\n"
    "  --parity P              %2\n"
    "  --data-bits N           %3\n"
    "  --stop-bits N           %4\n"
    "  --address N             l'adreça del visualitzador, de 0 a 31; send, receive, value i\n"
    "                          calib en prenen diverses, en una llista amb intervals (1,2,5-9)\n"
    "  --timeout MS            espera d'una resposta, comptada un cop ha sortit la petició i de\n"
    "                          nou després de cada tros de la resposta (per defecte 1000)\n"
    "  --retries N             torna a enviar si no hi ha resposta o no és vàlida (per defecte 0)\n",
    "Opciones de línea (por defecto, los parámetros serie y la dirección de FILE):\n"
    "  --port COM1..COM6|PATH  puerto: un nombre COM a través del mapa de puertos del programa, o\n"
    "                          un dispositivo (una ruta relativa que existe desde aquí, si no un\n"
    "                          nombre bajo /dev)\n"
    "  --baud N                %1\n"
    "  --parity P              %2\n"
    "  --data-bits N           %3\n"
    "  --stop-bits N           %4\n"
    "  --address N             la dirección del visualizador, de 0 a 31; send, receive, value y\n"
    "                          calib admiten varias, en una lista con intervalos (1,2,5-9)\n"
    "  --timeout MS            espera de una respuesta, contada una vez salida la petición y de\n"
    "                          nuevo tras cada trozo de la respuesta (por defecto 1000)\n"
    "  --retries N             vuelve a enviar si no hay respuesta o no es válida (por defecto 0)\n",
    "Options de ligne (par défaut, les réglages série et l'adresse de FILE) :\n"
    "  --port COM1..COM6|PATH  port : un nom COM via la table des ports du programme, ou un\n"
    "                          périphérique (un chemin relatif qui existe depuis ici, sinon un\n"
    "                          nom sous /dev)\n"
    "  --baud N                %1\n"
    "  --parity P              %2\n"
    "  --data-bits N           %3\n"
    "  --stop-bits N           %4\n"
    "  --address N             l'adresse de l'afficheur, de 0 à 31 ; send, receive, value et\n"
    "                          calib en prennent plusieurs, en liste avec des plages (1,2,5-9)\n"
    "  --timeout MS            attente d'une réponse, comptée une fois la requête partie et à\n"
    "                          nouveau après chaque morceau de la réponse (par défaut 1000)\n"
    "  --retries N             renvoie après une absence de réponse ou une réponse invalide\n"
    "                          (par défaut 0)\n",
    "Line options (a FILE's serial settings and address are the defaults):\n"
    "  --port COM1..COM6|PATH  port: a COM name through the program's port map, or a device\n"
    "                          (a relative path that exists from here, else a name under /dev)\n"
    "  --baud N                %1\n"
    "  --parity P              %2\n"
    "  --data-bits N           %3\n"
    "  --stop-bits N           %4\n"
    "  --address N             the display's address, 0 to 31; send, receive, value and calib\n"
    "                          take several, as a list with ranges (1,2,5-9)\n"
    "  --timeout MS            wait for a reply, counted once the request has left and again\n"
    "                          after every piece of the reply (default 1000)\n"
    "  --retries N             send again after no reply or an invalid one (default 0)\n"};

std::string lineHelp(TLanguage language)
{
    return fillIn(kLineHelp.pick(language), {either(speedWords(), language), either(parityWords(), language),
                                             either(dataBitsWords(), language), either(stopBitsWords(), language)});
}

const TTexts kSetHelp{
    "Un camp es nomena amb paraules senzilles o pel seu nom de DisplayConfig; \"-\" llegeix\n"
    "línies NAME=VALUE de l'entrada estàndard (tal com les escriu show --plain). Els valors es\n"
    "comproven com els comproven els diàlegs del programa, i uns dígits nous o un punt decimal\n"
    "nou tornen a comprovar els valors que en depenen; l'arxiu queda com era si se'n refusa\n"
    "algun.\n",
    "Un campo se nombra con palabras sencillas o por su nombre de DisplayConfig; \"-\" lee líneas\n"
    "NAME=VALUE de la entrada estándar (tal como las escribe show --plain). Los valores se\n"
    "comprueban como los comprueban los diálogos del programa, y unos dígitos nuevos o un punto\n"
    "decimal nuevo vuelven a comprobar los valores que dependen de ellos; el archivo queda como\n"
    "estaba si se rechaza alguno.\n",
    "Un champ est désigné en mots simples ou par son nom DisplayConfig ; \"-\" lit des lignes\n"
    "NAME=VALUE sur l'entrée standard (telles que show --plain les écrit). Les valeurs sont\n"
    "vérifiées comme les boîtes de dialogue du programme les vérifient, et de nouveaux chiffres\n"
    "ou un nouveau point décimal vérifient à nouveau les valeurs qui en dépendent ; le fichier\n"
    "reste tel quel si l'une d'elles est refusée.\n",
    "A field is named in plain words or by its DisplayConfig name; \"-\" reads NAME=VALUE lines\n"
    "from standard input (as show --plain prints them). Values are checked as the program's\n"
    "dialogs check them, and new digits or a new decimal point check again the values that\n"
    "depend on them; the file is left as it was when any of them is refused.\n"};

const TTexts kFieldsHeading{"Camps, pel nom de DisplayConfig i el nom senzill:\n",
                            "Campos, por nombre de DisplayConfig y nombre sencillo:\n",
                            "Champs, par nom DisplayConfig et nom simple :\n",
                            "Fields, by DisplayConfig name and plain name:\n"};
// %1 DisplayConfig name, %2 plain name, %3 what it takes.
const TTexts kFieldLine{"  %1, %2: %3\n", "  %1, %2: %3\n", "  %1, %2 : %3\n", "  %1, %2: %3\n"};
const TTexts kFollowDigits{" amb %1 dígits; els límits segueixen els dígits",
                           " con %1 dígitos; los límites siguen a los dígitos",
                           " avec %1 chiffres ; les limites suivent les chiffres",
                           " with %1 digits; the limits follow the digits"};
const TTexts kAndDecimalPoint{" i DecimalPoint", " y DecimalPoint", " et DecimalPoint", " and DecimalPoint"};
const TTexts kPlainNames{"Noms senzills: %1\n", "Nombres sencillos: %1\n", "Noms simples : %1\n",
                         "Plain names: %1\n"};

const TTexts kUsageHeading{"Ús: ", "Uso: ", "Usage : ", "Usage: "};
const TTexts kLangLine{"  --lang L   ca, es, fr o en (per defecte en), com per a qualsevol ordre\n",
                       "  --lang L   ca, es, fr o en (por defecto en), como en cualquier orden\n",
                       "  --lang L   ca, es, fr ou en (par défaut en), comme pour toute commande\n",
                       "  --lang L   ca, es, fr or en (default en), as for every command\n"};
const TTexts kVerboseLine{
    "  -v, --verbose   cada trama enviada i rebuda a la sortida d'error estàndard, com per a\n"
    "                  qualsevol ordre\n",
    "  -v, --verbose   cada trama enviada y recibida en la salida de error estándar, como en\n"
    "                  cualquier orden\n",
    "  -v, --verbose   chaque trame envoyée et reçue sur la sortie d'erreur standard, comme\n"
    "                  pour toute commande\n",
    "  -v, --verbose   every frame sent and received on standard error, as for every command\n"};

const TTexts kToolIntro{
    "Configura els visualitzadors numèrics del fabricant per una línia sèrie des d'un shell, amb\n"
    "els mateixos arxius de configuració i les mateixes trames que el programa DADiz.\n\nOrdres:\n",
    "Configura los visualizadores numéricos del fabricante por una línea serie desde un shell,\n"
    "con los mismos archivos de configuración y las mismas tramas que el programa DADiz.\n\nÓrdenes:\n",
    "Configure les afficheurs numériques du fabricant par une ligne série depuis un shell, avec\n"
    "les mêmes fichiers de configuration et les mêmes trames que le programme DADiz.\n\nCommandes :\n",
    "Sets up the maker's numeric displays over a serial line from a shell, with the same\n"
    "configuration files and frames as the DADiz program.\n\nCommands:\n"};

const TTexts kToolOptions{
    "\nCada ordre admet:\n"
    "  --lang L                ca, es, fr o en (per defecte en): la llengua dels textos del\n"
    "                          programa que escriu (els panells de show, doctor, els errors d'ús,\n"
    "                          els valors refusats)\n"
    "  -v, --verbose           cada trama enviada i rebuda, a la sortida d'error estàndard\n"
    "\n\"dadizctl COMMAND --help\" descriu una ordre.\n\n"
    "Estat de sortida: 0 èxit, 1 cap resposta o una resposta no vàlida o parcial (o diferències\n"
    "trobades per send --verify o diff), o no es pot escriure la sortida estàndard, 2 error d'ús,\n"
    "3 el port no es pot obrir, 4 un arxiu no es pot llegir o escriure, no és un arxiu normal, o\n"
    "conté valors que una petició no pot portar. Amb diversos visualitzadors, el més alt de tots.\n",
    "\nCada orden admite:\n"
    "  --lang L                ca, es, fr o en (por defecto en): el idioma de los textos del\n"
    "                          programa que escribe (los paneles de show, doctor, los errores de\n"
    "                          uso, los valores rechazados)\n"
    "  -v, --verbose           cada trama enviada y recibida, en la salida de error estándar\n"
    "\n\"dadizctl COMMAND --help\" describe una orden.\n\n"
    "Estado de salida: 0 éxito, 1 sin respuesta o una respuesta no válida o parcial (o\n"
    "diferencias encontradas por send --verify o diff), o no se puede escribir la salida\n"
    "estándar, 2 error de uso, 3 el puerto no se puede abrir, 4 un archivo no se puede leer o\n"
    "escribir, no es un archivo normal, o contiene valores que una petición no puede llevar. Con\n"
    "varios visualizadores, el más alto de todos.\n",
    "\nToute commande accepte :\n"
    "  --lang L                ca, es, fr ou en (par défaut en) : la langue des textes du\n"
    "                          programme qu'elle écrit (les panneaux de show, doctor, les\n"
    "                          erreurs d'utilisation, les valeurs refusées)\n"
    "  -v, --verbose           chaque trame envoyée et reçue, sur la sortie d'erreur standard\n"
    "\n\"dadizctl COMMAND --help\" décrit une commande.\n\n"
    "Code de sortie : 0 succès, 1 pas de réponse ou une réponse invalide ou partielle (ou des\n"
    "différences trouvées par send --verify ou diff), ou la sortie standard ne peut pas être\n"
    "écrite, 2 erreur d'utilisation, 3 le port ne peut pas être ouvert, 4 un fichier ne peut pas\n"
    "être lu ou écrit, n'est pas un fichier ordinaire, ou contient des valeurs qu'une requête ne\n"
    "peut pas porter. Avec plusieurs afficheurs, le plus élevé des leurs.\n",
    "\nEvery command takes:\n"
    "  --lang L                ca, es, fr or en (default en): the language of the program's\n"
    "                          texts it prints (the panels of show, the doctor, usage errors,\n"
    "                          refused values)\n"
    "  -v, --verbose           every frame sent and received, on standard error\n"
    "\n\"dadizctl COMMAND --help\" describes one command.\n\n"
    "Exit status: 0 success, 1 no reply or an invalid or partial reply (or differences found\n"
    "by send --verify or diff), or standard output cannot be written, 2 usage error, 3 the\n"
    "port cannot be opened, 4 a file cannot be read or written, is not a regular file, or\n"
    "holds values a request cannot carry. With several displays, the highest of theirs.\n"};

// A count of a field's last decimal as a number with '.'.
std::string countText(long long count, int decimals)
{
    std::string digits = std::to_string(count < 0 ? -count : count);
    if (decimals > 0) {
        if (digits.size() <= static_cast<std::size_t>(decimals))
            digits.insert(0, static_cast<std::size_t>(decimals) - digits.size() + 1, '0');
        digits.insert(digits.size() - static_cast<std::size_t>(decimals), ".");
    }
    return (count < 0 ? "-" : "") + digits;
}

// Every field by its DisplayConfig name and its plain name, with what it
// takes, as the record's field description gives it.
std::string fieldsHelp(TLanguage language)
{
    std::string text = kFieldsHeading.pick(language);
    for (const TRecordField& f : recordFields()) {
        std::string takes;
        if (!f.choices.empty()) {
            for (const TFieldChoice& c : f.choices) {
                const std::string value = f.type == TFieldType::Character ? std::string(1, static_cast<char>(c.value))
                                                                           : std::to_string(c.value);
                takes += (takes.empty() ? "" : ", ") + value + " " + c.word;
            }
        } else if (f.limits) {
            const TFieldContext usual;
            const TFieldLimits l = f.limits(usual);
            takes = countText(l.low, l.decimals) + ".." + countText(l.high, l.decimals);
            if (f.depends != kDependsOnNothing)
                takes += fillIn(kFollowDigits.pick(language),
                                {std::to_string(usual.digitsIndex + recordField(&TDisplayConfig::DigitsIndex).countBase)})
                    + (f.depends & kDependsOnDecimalPoint ? kAndDecimalPoint.pick(language) : "");
        }
        text += fillIn(kFieldLine.pick(language), {f.name, f.plain, takes});
    }
    return text + fillIn(kPlainNames.pick(language), {plainNames()});
}

const std::vector<TCommandSpec>& table()
{
    static const std::vector<TCommandSpec> rows = {
        {"show", 1, 1, {"--json", "--plain"}, false, "dadizctl show FILE [--plain | --json] [--lang ca|es|fr|en]",
         {"Mostra un arxiu de configuració com ho fan els quatre panells de la finestra principal.\n"
          "  --lang L   ca, es, fr o en (per defecte en)\n"
          "  --plain    un NAME=VALUE per línia amb els noms senzills, com els pren set\n"
          "  --json     un objecte JSON les claus del qual són els noms de camp de DisplayConfig\n",
          "Muestra un archivo de configuración como lo hacen los cuatro paneles de la ventana\n"
          "principal.\n"
          "  --lang L   ca, es, fr o en (por defecto en)\n"
          "  --plain    un NAME=VALUE por línea con los nombres sencillos, como los admite set\n"
          "  --json     un objeto JSON cuyas claves son los nombres de campo de DisplayConfig\n",
          "Affiche un fichier de configuration comme le font les quatre panneaux de la fenêtre\n"
          "principale.\n"
          "  --lang L   ca, es, fr ou en (par défaut en)\n"
          "  --plain    un NAME=VALUE par ligne en noms simples, comme set les prend\n"
          "  --json     un objet JSON dont les clés sont les noms de champ de DisplayConfig\n",
          "Prints a configuration file as the main window's four panels show it.\n"
          "  --lang L   ca, es, fr or en (default en)\n"
          "  --plain    one NAME=VALUE a line in plain names, as set takes them\n"
          "  --json     one JSON object whose keys are the DisplayConfig field names\n"},
         runShow},
        {"new", 1, SIZE_MAX, {}, false, "dadizctl new FILE [FIELD=VALUE... | -]",
         {"Escriu la configuració per defecte (COM1, 1200 baud, paritat parell, 7 bits de dades, 1 bit\n"
          "de stop, adreça 00, 4 dígits, tota la resta a zero) a FILE, amb els camps donats canviats\n"
          "com els canvia set; no s'escriu res si se'n refusa algun.\n",
          "Escribe la configuración por defecto (COM1, 1200 baudios, paridad par, 7 bits de datos, 1\n"
          "bit de stop, dirección 00, 4 dígitos, todo lo demás a cero) en FILE, con los campos dados\n"
          "cambiados como los cambia set; no se escribe nada si se rechaza alguno.\n",
          "Écrit la configuration par défaut (COM1, 1200 bauds, parité paire, 7 bits de données, 1 bit\n"
          "de stop, adresse 00, 4 chiffres, tout le reste à zéro) dans FILE, avec les champs donnés\n"
          "modifiés comme set les modifie ; rien n'est écrit si l'un d'eux est refusé.\n",
          "Writes the default configuration (COM1, 1200 baud, even parity, 7 data bits, 1 stop\n"
          "bit, address 00, 4 digits, everything else zero) to FILE, with the fields given\n"
          "changed as set changes them; nothing is written when one is refused.\n"},
         runNew},
        {"set", 2, SIZE_MAX, {}, false, "dadizctl set FILE FIELD=VALUE... | -",
         {"Canvia camps de FILE i el torna a escriure d'un sol cop; les execucions sobre un mateix\n"
          "arxiu es fan per torns.\n",
          "Cambia campos de FILE y lo vuelve a escribir en un solo paso; las ejecuciones sobre un\n"
          "mismo archivo se hacen por turnos.\n",
          "Modifie des champs de FILE et le réécrit en une seule étape ; les exécutions sur un même\n"
          "fichier passent chacune à son tour.\n",
          "Changes fields of FILE and writes it back in one step; runs on the same file take turns.\n"},
         runSet},
        {"send", 1, 1, withLine({"--verify"}), true, "dadizctl send FILE|FOLDER [--verify] [LINE OPTIONS]",
         {"Envia la configuració de l'entrada analògica i dels relés de FILE al visualitzador\n"
          "(petició 'E') i n'espera la confirmació. Amb diverses adreces, FILE va a cadascuna;\n"
          "FOLDER conté un arxiu per visualitzador, NN.dad per a l'adreça NN (tots els presents, o\n"
          "els que indica --address). Una línia per visualitzador; l'estat de sortida és el més alt.\n"
          "Es refusa un arxiu amb l'adreça fora de 0..31 o amb valors que la petició no pot portar\n"
          "(no finits, o dígits que es tallarien). Un punt decimal per sobre de 4 surt com a 4.\n"
          "  --verify   després rellegeix la configuració (petició 'P') i llista cada camp\n"
          "             que difereix més enllà de la precisió de les trames (estat de sortida 1)\n",
          "Envía la configuración de la entrada analógica y de los relés de FILE al visualizador\n"
          "(petición 'E') y espera su confirmación. Con varias direcciones, FILE va a cada una;\n"
          "FOLDER contiene un archivo por visualizador, NN.dad para la dirección NN (todos los\n"
          "presentes, o los que indica --address). Una línea por visualizador; el estado de salida\n"
          "es el más alto de todos.\n"
          "Se rechaza un archivo cuya dirección esté fuera de 0..31 o cuyos valores la petición no\n"
          "pueda llevar (no finitos, o dígitos que se cortarían). Un punto decimal por encima de 4\n"
          "sale como 4.\n"
          "  --verify   después relee la configuración (petición 'P') y lista cada campo\n"
          "             que difiere más allá de la precisión de las tramas (estado de salida 1)\n",
          "Envoie la configuration de l'entrée analogique et des relais de FILE à l'afficheur\n"
          "(requête 'E') et attend son accusé de réception. Avec plusieurs adresses, FILE va à\n"
          "chacune ; FOLDER contient un fichier par afficheur, NN.dad pour l'adresse NN (tous ceux\n"
          "présents, ou ceux que désigne --address). Une ligne par afficheur ; le code de sortie\n"
          "est le plus élevé des leurs.\n"
          "Un fichier dont l'adresse est hors de 0..31 ou dont la requête ne peut pas porter les\n"
          "valeurs (non finies, ou des chiffres qui seraient coupés) est refusé. Un point décimal\n"
          "au-delà de 4 part comme 4.\n"
          "  --verify   relit ensuite la configuration (requête 'P') et liste chaque champ\n"
          "             qui diffère au-delà de la précision des trames (code de sortie 1)\n",
          "Sends the analog input and relay configuration of FILE to the display ('E' request)\n"
          "and waits for its acknowledgement. With several addresses, FILE goes to each of them;\n"
          "a FOLDER holds one file a display, NN.dad for address NN (every one present, or those\n"
          "--address names). One line a display; the exit status is the highest of theirs.\n"
          "A file whose address is outside 0..31 or whose values the request cannot carry (not\n"
          "finite, or digits that would be cut) is refused. A decimal point above 4 goes out as 4.\n"
          "  --verify   then reads the configuration back ('P' request) and lists every field\n"
          "             that differs beyond the precision of the frames (exit status 1)\n"},
         runSend},
        {"receive", 1, 1, withLine({}), true, "dadizctl receive FILE|FOLDER [LINE OPTIONS]",
         {"Llegeix la configuració del visualitzador (petició 'P') i l'escriu a FILE. La línia sèrie,\n"
          "l'adreça i els dígits es conserven de FILE si existeix; un FILE nou rep la línia i l'adreça\n"
          "usades, i 4 dígits. Una resposta a la qual falta part de la configuració, o que conté\n"
          "valors que cap configuració no conté, es refusa i FILE no s'escriu. A FOLDER, la\n"
          "configuració de cada visualitzador va a NN.dad (tots els presents, o els que indica\n"
          "--address).\n",
          "Lee la configuración del visualizador (petición 'P') y la escribe en FILE. La línea serie,\n"
          "la dirección y los dígitos se conservan de FILE si existe; un FILE nuevo recibe la línea y\n"
          "la dirección usadas, y 4 dígitos. Una respuesta a la que le falta parte de la\n"
          "configuración, o que contiene valores que ninguna configuración contiene, se rechaza y FILE\n"
          "no se escribe. En FOLDER, la configuración de cada visualizador va a NN.dad (todos los\n"
          "presentes, o los que indica --address).\n",
          "Lit la configuration de l'afficheur (requête 'P') et l'écrit dans FILE. La ligne série,\n"
          "l'adresse et les chiffres sont gardés de FILE s'il existe ; un nouveau FILE reçoit la\n"
          "ligne et l'adresse utilisées, et 4 chiffres. Une réponse à laquelle manque une partie de\n"
          "la configuration, ou qui contient des valeurs qu'aucune configuration ne contient, est\n"
          "refusée et FILE n'est pas écrit. Dans FOLDER, la configuration de chaque afficheur va\n"
          "dans NN.dad (tous ceux présents, ou ceux que désigne --address).\n",
          "Reads the display's configuration ('P' request) and writes it into FILE. The serial\n"
          "line, address and digits are kept from FILE when it exists; a new FILE gets the line\n"
          "and address used, and 4 digits. A reply that lacks part of the configuration, or holds\n"
          "values no configuration holds, is refused and FILE is not written. Into a FOLDER, each\n"
          "display's configuration goes to NN.dad (every one present, or those --address names).\n"},
         runReceive},
        {"value", 0, 1, withLine({"--watch", "--interval", "--json", "--csv"}), true,
         "dadizctl value [FILE] [--watch [--interval MS]] [--csv CSVFILE] [--json] [LINE OPTIONS]",
         // "missed" is the status the CSV row holds, in every language.
         {"Llegeix el valor que mostra el visualitzador i l'estat dels seus dos relés (petició 'L'):\n"
          "una línia amb una marca de temps (i l'adreça, amb diversos visualitzadors). Els bytes de\n"
          "control del visualitzador es mostren com a <XX>.\n"
          "  --watch         una lectura a cada interval fins a SIGINT (Ctrl+C) o SIGTERM\n"
          "  --interval MS   temps entre lectures (per defecte 500)\n"
          "  --csv CSVFILE   també afegeix una fila CSV per lectura (una fila \"missed\" si no n'arriba\n"
          "                  cap); un sol visualitzador\n"
          "  --json          un objecte JSON per lectura i visualitzador, un per línia\n",
          "Lee el valor que muestra el visualizador y el estado de sus dos relés (petición 'L'):\n"
          "una línea con una marca de tiempo (y la dirección, con varios visualizadores). Los bytes\n"
          "de control del visualizador se muestran como <XX>.\n"
          "  --watch         una lectura en cada intervalo hasta SIGINT (Ctrl+C) o SIGTERM\n"
          "  --interval MS   tiempo entre lecturas (por defecto 500)\n"
          "  --csv CSVFILE   además añade una fila CSV por lectura (una fila \"missed\" si no llega\n"
          "                  ninguna); un solo visualizador\n"
          "  --json          un objeto JSON por lectura y visualizador, uno por línea\n",
          "Lit la valeur qu'affiche l'afficheur et l'état de ses deux relais (requête 'L') :\n"
          "une ligne avec un horodatage (et l'adresse, avec plusieurs afficheurs). Les octets de\n"
          "contrôle venus de l'afficheur sont montrés comme <XX>.\n"
          "  --watch         une lecture à chaque intervalle jusqu'à SIGINT (Ctrl+C) ou SIGTERM\n"
          "  --interval MS   temps entre les lectures (par défaut 500)\n"
          "  --csv CSVFILE   ajoute aussi une ligne CSV par lecture (une ligne \"missed\" si aucune\n"
          "                  n'est venue) ; un seul afficheur\n"
          "  --json          un objet JSON par lecture et par afficheur, un par ligne\n",
          "Reads the value the display shows and the states of its two relays ('L' request):\n"
          "one line with a timestamp (and the address, with several displays). Control bytes\n"
          "from the display are shown as <XX>.\n"
          "  --watch         a reading every interval until SIGINT (Ctrl+C) or SIGTERM\n"
          "  --interval MS   time between readings (default 500)\n"
          "  --csv CSVFILE   also appends one CSV row a reading (a \"missed\" row when none came);\n"
          "                  one display only\n"
          "  --json          one JSON object a reading and display, one a line\n"},
         runValue},
        {"calib", 0, 1, withLine({"--json"}), true, "dadizctl calib [FILE] [--json] [LINE OPTIONS]",
         {"Llegeix les dades de calibració del visualitzador (petició 'C') i escriu els 18 valors\n"
          "amb els noms de les seves files (després de l'adreça, amb diversos visualitzadors).\n"
          "  --json   un objecte JSON per visualitzador, un per línia\n",
          "Lee los datos de calibración del visualizador (petición 'C') y escribe los 18 valores con\n"
          "los nombres de sus filas (después de la dirección, con varios visualizadores).\n"
          "  --json   un objeto JSON por visualizador, uno por línea\n",
          "Lit les données de calibration de l'afficheur (requête 'C') et écrit les 18 valeurs avec\n"
          "les noms de leurs lignes (après l'adresse, avec plusieurs afficheurs).\n"
          "  --json   un objet JSON par afficheur, un par ligne\n",
          "Reads the display's calibration data ('C' request) and prints the 18 values with\n"
          "their row names (after the address, with several displays).\n"
          "  --json   one JSON object a display, one a line\n"},
         runCalib},
        {"scan", 0, 1, withLine({"--json"}, false), false, "dadizctl scan [FILE] [--json] [LINE OPTIONS]",
         {"Demana el valor a cada adreça de 00 a 31 i llista les que responen, amb el valor. Les\n"
          "respostes que arriben després del seu temps d'espera s'indiquen a la sortida d'error\n"
          "estàndard. En un terminal, la sortida d'error estàndard mostra l'adreça que es consulta i\n"
          "quantes n'han respost fins ara.\n"
          "  --json   un objecte JSON per visualitzador que respon, un per línia\n",
          "Pide su valor a cada dirección de 00 a 31 y lista las que responden, con el valor. Las\n"
          "respuestas que llegan después de su tiempo de espera se indican en la salida de error\n"
          "estándar. En un terminal, la salida de error estándar muestra la dirección consultada y\n"
          "cuántas han respondido hasta ahora.\n"
          "  --json   un objeto JSON por visualizador que responde, uno por línea\n",
          "Demande sa valeur à chaque adresse de 00 à 31 et liste celles qui répondent, avec la\n"
          "valeur. Les réponses venues après leur délai d'attente sont signalées sur la sortie\n"
          "d'erreur standard. Sur un terminal, la sortie d'erreur standard montre l'adresse\n"
          "interrogée et combien ont répondu jusqu'ici.\n"
          "  --json   un objet JSON par afficheur qui répond, un par ligne\n",
          "Asks every address 00 to 31 for its value and lists those that answer, with the value.\n"
          "Answers that come after their time-out are reported on standard error. On a terminal,\n"
          "standard error shows the address being asked and how many answered so far.\n"
          "  --json   one JSON object a display that answers, one a line\n"},
         runScan},
        {"diff", 1, 2, withLine({"--json"}), false, "dadizctl diff A B | dadizctl diff FILE [LINE OPTIONS] [--json]",
         {"Compara dos arxius de configuració, o un arxiu i el visualitzador (petició 'P'), camp per\n"
          "camp amb els noms senzills, i escriu cada camp que difereix. Un visualitzador es compara\n"
          "en el que porten les trames, dins la seva precisió. Estat de sortida 0 si són iguals, 1 si\n"
          "difereixen.\n"
          "  --json   un objecte JSON: els dos costats, si són iguals, les diferències\n",
          "Compara dos archivos de configuración, o un archivo y el visualizador (petición 'P'), campo\n"
          "por campo con los nombres sencillos, y escribe cada campo que difiere. Un visualizador se\n"
          "compara en lo que llevan las tramas, dentro de su precisión. Estado de salida 0 si son\n"
          "iguales, 1 si difieren.\n"
          "  --json   un objeto JSON: los dos lados, si son iguales, las diferencias\n",
          "Compare deux fichiers de configuration, ou un fichier et l'afficheur (requête 'P'), champ\n"
          "par champ en noms simples, et écrit chaque champ qui diffère. Un afficheur est comparé sur\n"
          "ce que portent les trames, à leur précision près. Code de sortie 0 s'ils sont identiques,\n"
          "1 s'ils diffèrent.\n"
          "  --json   un objet JSON : les deux côtés, s'ils sont identiques, les différences\n",
          "Compares two configuration files, or a file and the display ('P' request), field by\n"
          "field in plain names, and prints each field that differs. A display is compared on\n"
          "what the frames carry, within their precision. Exit status 0 when they are the same,\n"
          "1 when they differ.\n"
          "  --json   one JSON object: the two sides, whether they are the same, the differences\n"},
         runDiff},
        {"doctor", 0, 1, withoutRetries(withLine({"--search", "--json"})), false,
         "dadizctl doctor [FILE] [--search] [--json] [--lang ca|es|fr|en] [LINE OPTIONS]",
         // The checks by the names the doctor prints them with in that language.
         {"Esbrina per què el visualitzador no respon, una línia per comprovació: Dispositiu (el\n"
          "dispositiu del port i l'adaptador que hi ha al darrere), Permís, Ocupat (altres programes\n"
          "que el tenen obert), Eco (un adaptador RS-485 que retorna el que envia), Resposta (una\n"
          "lectura amb els paràmetres de la línia i l'adreça), Cerca, i una última línia, Veredicte,\n"
          "que diu què cal fer.\n"
          "  --search   quan el visualitzador no respon: prova l'adreça a cada velocitat i format de\n"
          "             trama (primer 7E1, 7O1, 8N1), després cada adreça de 00 a 31; els paràmetres\n"
          "             trobats acaben la línia Veredicte. El progrés va a la sortida d'error d'un\n"
          "             terminal.\n"
          "  --json     un objecte JSON: les comprovacions, el resultat, els paràmetres trobats, el\n"
          "             veredicte\n"
          "  --lang L   ca, es, fr o en (per defecte en)\n"
          "  --timeout  s'aplica a la lectura amb els paràmetres de la línia; els intents de la\n"
          "             cerca esperen el seu temps de transmissió i un petit marge\n"
          "Estat de sortida: 0 un visualitzador respon (tal com està configurat, o on l'ha trobat la\n"
          "cerca), 1 no ha respost res, 3 el port no es pot fer servir.\n",
          "Averigua por qué el visualizador no responde, una línea por comprobación: Dispositivo (el\n"
          "dispositivo del puerto y el adaptador que hay detrás), Permiso, Ocupado (otros programas\n"
          "que lo tienen abierto), Eco (un adaptador RS-485 que devuelve lo que envía), Respuesta\n"
          "(una lectura con los parámetros de la línea y la dirección), Búsqueda, y una última\n"
          "línea, Veredicto, que dice qué hacer.\n"
          "  --search   cuando el visualizador no responde: prueba la dirección en cada velocidad y\n"
          "             formato de trama (primero 7E1, 7O1, 8N1), luego cada dirección de 00 a 31;\n"
          "             los parámetros encontrados terminan la línea Veredicto. El progreso va a la\n"
          "             salida de error de un terminal.\n"
          "  --json     un objeto JSON: las comprobaciones, el resultado, los parámetros\n"
          "             encontrados, el veredicto\n"
          "  --lang L   ca, es, fr o en (por defecto en)\n"
          "  --timeout  se aplica a la lectura con los parámetros de la línea; los intentos de la\n"
          "             búsqueda esperan su tiempo de transmisión y un pequeño margen\n"
          "Estado de salida: 0 un visualizador responde (tal como está configurado, o donde lo ha\n"
          "encontrado la búsqueda), 1 nada ha respondido, 3 el puerto no se puede usar.\n",
          "Cherche pourquoi l'afficheur ne répond pas, une ligne par vérification : Périphérique (le\n"
          "périphérique du port et l'adaptateur derrière lui), Permission, Occupé (d'autres\n"
          "programmes qui le tiennent), Écho (un adaptateur RS-485 qui renvoie ce qu'il envoie),\n"
          "Réponse (une lecture avec les réglages de la ligne et l'adresse), Recherche, et une\n"
          "dernière ligne, Verdict, qui dit quoi faire.\n"
          "  --search   quand l'afficheur ne répond pas : essaie l'adresse à chaque vitesse et format\n"
          "             de trame (7E1, 7O1, 8N1 d'abord), puis chaque adresse de 00 à 31 ; les\n"
          "             réglages trouvés terminent la ligne Verdict. La progression va sur la\n"
          "             sortie d'erreur d'un terminal.\n"
          "  --json     un objet JSON : les vérifications, l'issue, les réglages trouvés, le verdict\n"
          "  --lang L   ca, es, fr ou en (par défaut en)\n"
          "  --timeout  s'applique à la lecture avec les réglages de la ligne ; les essais de la\n"
          "             recherche attendent leur temps de transmission et une courte marge\n"
          "Code de sortie : 0 un afficheur répond (tel que configuré, ou là où la recherche l'a\n"
          "trouvé), 1 rien n'a répondu, 3 le port ne peut pas être utilisé.\n",
          "Finds out why the display does not answer, one line per check: Device (the port's\n"
          "device and the adapter behind it), Permission, Busy (other programs holding it), Echo\n"
          "(an RS-485 adapter handing back what it sends), Answer (a reading at the line settings\n"
          "and address), Search, and a last line, Verdict, that says what to do.\n"
          "  --search   when the display does not answer: try the address at every speed and\n"
          "             frame format (7E1, 7O1, 8N1 first), then every address 00 to 31; the\n"
          "             settings found end the Verdict line. Progress goes to a terminal's stderr.\n"
          "  --json     one JSON object: the checks, the outcome, the settings found, the verdict\n"
          "  --lang L   ca, es, fr or en (default en)\n"
          "  --timeout  applies to the reading at the line settings; search tries wait for their\n"
          "             wire time and a short margin\n"
          "Exit status: 0 a display answers (as configured, or where the search found it),\n"
          "1 nothing answered, 3 the port cannot be used.\n"},
         runDoctor},
    };
    return rows;
}

} // namespace

std::span<const TCommandSpec> commandTable()
{
    return table();
}

const TCommandSpec* findCommand(std::string_view name)
{
    for (const TCommandSpec& command : table())
        if (name == command.name)
            return &command;
    return nullptr;
}

std::string helpText(const std::string& command, TLanguage language)
{
    const std::string heading = kUsageHeading.pick(language);
    if (const TCommandSpec* c = findCommand(command)) {
        const std::string help = c->help.pick(language);
        std::string text = heading + c->synopsis + "\n\n" + help;
        if (command == "set" || command == "new")
            text += kSetHelp.pick(language) + fieldsHelp(language);
        if (help.find("--lang") == std::string::npos)
            text += kLangLine.pick(language);
        text += kVerboseLine.pick(language);
        if (std::find(c->options.begin(), c->options.end(), "--port") != c->options.end())
            text += "\n" + lineHelp(language);
        return text;
    }
    std::string text = heading + "dadizctl COMMAND [OPTIONS] [ARGUMENTS]\n" + kToolIntro.pick(language);
    for (const TCommandSpec& c : table())
        text += std::string("  ") + c.synopsis + "\n";
    return text + "\n" + lineHelp(language) + kToolOptions.pick(language);
}
