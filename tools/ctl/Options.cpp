#include "tools/ctl/Options.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "base/Formats.h"
#include "base/Texts.h"
#include "config/FieldEdits.h"
#include "config/LineFormat.h"
#include "config/RecordFields.h"
#include "serial/PortMap.h"
#include "tools/ctl/Addresses.h"
#include "tools/ctl/CommandTable.h"
#include "tools/ctl/Output.h"

namespace {

const std::set<std::string> kFlags = {"--json", "--plain", "--verify", "--watch", "--verbose", "--search"};
const std::set<std::string> kValued = {"--port",    "--baud",    "--parity",  "--data-bits", "--stop-bits", "--address",
                                       "--timeout", "--retries", "--interval", "--lang",     "--csv"};

// The serial line's options: a word of the setting's list, kept as its position.
struct TLineOption {
    const char* name;
    std::vector<std::string> (*words)();
    std::optional<std::uint8_t> TCtlOptions::*index;
};
const TLineOption kLineOptions[] = {
    {"--baud", speedWords, &TCtlOptions::baudIndex},
    {"--parity", parityWords, &TCtlOptions::parityIndex},
    {"--data-bits", dataBitsWords, &TCtlOptions::dataBitsIndex},
    {"--stop-bits", stopBitsWords, &TCtlOptions::stopBitsIndex},
};

const TLineOption* lineOption(const std::string& arg)
{
    for (const TLineOption& option : kLineOptions)
        if (arg == option.name)
            return &option;
    return nullptr;
}

// Options every command takes.
const std::set<std::string> kGlobal = {"--lang", "--verbose"};

const TTexts kUnknownOption{"opció desconeguda \"%1\"", "opción desconocida \"%1\"", "option inconnue \"%1\"",
                            "unknown option \"%1\""};
const TTexts kTakesNoValue{"%1 no pren cap valor", "%1 no admite ningún valor", "%1 ne prend pas de valeur",
                           "%1 takes no value"};
const TTexts kNeedsValue{"%1 necessita un valor", "%1 necesita un valor", "%1 demande une valeur", "%1 needs a value"};
const TTexts kPortNeeds{"--port necessita COM1..COM6 o el camí d'un dispositiu",
                        "--port necesita COM1..COM6 o la ruta de un dispositivo",
                        "--port demande COM1..COM6 ou le chemin d'un périphérique",
                        "--port needs COM1..COM6 or a device path"};
const TTexts kNotProgramPort{
    "--port \"%1\" no és un port del programa: COM1, COM2, COM3, COM4, COM5 o COM6, o el camí d'un dispositiu",
    "--port \"%1\" no es un puerto del programa: COM1, COM2, COM3, COM4, COM5 o COM6, o la ruta de un dispositivo",
    "--port \"%1\" n'est pas un port du programme : COM1, COM2, COM3, COM4, COM5 ou COM6, ou le chemin d'un "
    "périphérique",
    "--port \"%1\" is not a port of the program: COM1, COM2, COM3, COM4, COM5 or COM6, or a device path"};
const TTexts kAddressList{"%1, o diverses en una llista amb intervals com ara 1,2,5-9",
                          "%1, o varias en una lista con intervalos como 1,2,5-9",
                          "%1, ou plusieurs en une liste avec des plages telles que 1,2,5-9",
                          "%1, or several as a list with ranges such as 1,2,5-9"};
const TTexts kMilliseconds{"un nombre enter de mil·lisegons de %1 a %2", "un número entero de milisegundos de %1 a %2",
                           "un nombre entier de millisecondes de %1 à %2",
                           "a whole number of milliseconds from %1 to %2"};
const TTexts kCsvNeedsName{"--csv necessita un nom d'arxiu", "--csv necesita un nombre de archivo",
                           "--csv demande un nom de fichier", "--csv needs a file name"};
const TTexts kNoCommand{"no s'ha donat cap ordre", "no se ha dado ninguna orden", "aucune commande n'est donnée",
                        "no command given"};
const TTexts kUnknownCommand{"ordre desconeguda \"%1\"", "orden desconocida \"%1\"", "commande inconnue \"%1\"",
                             "unknown command \"%1\""};
const TTexts kDoesNotApply{"%1 no s'aplica a %2", "%1 no se aplica a %2", "%1 ne s'applique pas à %2",
                           "%1 does not apply to %2"};
const TTexts kIntervalWatch{"--interval s'aplica a value --watch", "--interval se aplica a value --watch",
                            "--interval s'applique à value --watch", "--interval applies to value --watch"};
const TTexts kRetriesWatch{
    "--retries no s'aplica a value --watch: una lectura perduda és seguida per la següent",
    "--retries no se aplica a value --watch: a una lectura perdida le sigue la siguiente",
    "--retries ne s'applique pas à value --watch : une lecture manquée est suivie de la suivante",
    "--retries does not apply to value --watch: a missed reading is followed by the next one"};
const TTexts kJsonPlain{"--json i --plain no poden anar junts", "--json y --plain no pueden ir juntos",
                        "--json et --plain ne peuvent pas aller ensemble", "--json and --plain cannot go together"};
const TTexts kOneAddress{"%1 pren una sola --address", "%1 admite una sola --address", "%1 prend une seule --address",
                         "%1 takes one --address"};
const TTexts kUsage{"ús: %1", "uso: %1", "usage : %1", "usage: %1"};
const TTexts kDiffFiles{
    "diff A B compara dos arxius; %1 és per a diff FILE, que compara un arxiu i el visualitzador",
    "diff A B compara dos archivos; %1 es para diff FILE, que compara un archivo y el visualizador",
    "diff A B compare deux fichiers ; %1 est pour diff FILE, qui compare un fichier et l'afficheur",
    "diff A B compares two files; %1 is for diff FILE, which compares a file and the display"};
const TTexts kCsvOneDisplay{"--csv registra un sol visualitzador; doneu una sola --address",
                            "--csv registra un solo visualizador; dé una sola --address",
                            "--csv enregistre un seul afficheur ; donnez une seule --address",
                            "--csv records one display; give one --address"};
const TTexts kTryHelp{"Proveu \"dadizctl --help\".", "Pruebe \"dadizctl --help\".", "Essayez \"dadizctl --help\".",
                      "Try \"dadizctl --help\"."};

std::string say(const TTexts& texts, TLanguage language, std::initializer_list<std::string> args = {})
{
    return fillIn(texts.pick(language), args);
}

// The language of --lang wherever it stands before "--", so that every
// other usage error is said in it; the last one given wins. An unknown code
// is said in English, which names the four codes.
bool findLanguage(const std::vector<std::string>& args, TLanguage& language, std::string& error)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--")
            break;
        std::optional<std::string> value;
        if (arg.rfind("--lang=", 0) == 0)
            value = arg.substr(7);
        else if (arg == "--lang" && i + 1 < args.size())
            value = args[++i];
        else if (kValued.count(arg))
            ++i; // its value, whatever it looks like
        if (!value)
            continue;
        const std::optional<TLanguage> code = languageOfCode(*value);
        if (!code) {
            error = "--lang must be ca, es, fr or en, not \"" + *value + "\"";
            return false;
        }
        language = *code;
    }
    return true;
}

} // namespace

std::string usageHint(TLanguage language)
{
    return say(kTryHelp, language);
}

bool parseArguments(const std::vector<std::string>& args, TCtlOptions& o, std::string& error)
{
    if (!findLanguage(args, o.language, error))
        return false;
    const TLanguage l = o.language;
    std::set<std::string> given;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (o.command.empty() && !optionsEnded)
                o.command = arg;
            else
                o.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            if (o.command.empty() && i + 1 < args.size())
                o.command = args[++i];
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            continue;
        }
        if (arg == "-v")
            arg = "--verbose";
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        const bool flag = kFlags.count(arg) > 0;
        if (!flag && !kValued.count(arg)) {
            error = say(kUnknownOption, l, {arg});
            return false;
        }
        if (flag && inlineValue) {
            error = say(kTakesNoValue, l, {arg});
            return false;
        }
        std::string value;
        if (!flag) {
            if (inlineValue)
                value = *inlineValue;
            else if (i + 1 < args.size())
                value = args[++i];
            else {
                error = say(kNeedsValue, l, {arg});
                return false;
            }
        }
        given.insert(arg);
        long long n = 0;
        if (arg == "--json")
            o.json = true;
        else if (arg == "--plain")
            o.plain = true;
        else if (arg == "--verbose")
            o.verbose = true;
        else if (arg == "--search")
            o.search = true;
        else if (arg == "--verify")
            o.verify = true;
        else if (arg == "--watch")
            o.watch = true;
        else if (arg == "--search")
            o.search = true;
        else if (arg == "--port") {
            if (value.empty()) {
                error = say(kPortNeeds, l);
                return false;
            }
            // Any other COM name is a typing error, not a device under /dev.
            const bool comLike = value.size() >= 3
                && std::equal(value.begin(), value.begin() + 3, "COM",
                              [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; })
                && std::all_of(value.begin() + 3, value.end(),
                               [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
            if (comLike && (comNumber(value) < 1 || comNumber(value) > 6)) {
                error = say(kNotProgramPort, l, {value});
                return false;
            }
            o.portIndex.reset();
            o.portPath.reset();
            if (comLike)
                o.portIndex = static_cast<std::uint8_t>(comNumber(value) - 1);
            else
                o.portPath = value;
        } else if (const TLineOption* line = lineOption(arg)) {
            const std::vector<std::string> words = line->words();
            const auto it = std::find(words.begin(), words.end(), value);
            if (it == words.end()) {
                error = refusalText(arg, either(words, l), value, l);
                return false;
            }
            o.*(line->index) = static_cast<std::uint8_t>(it - words.begin());
        } else if (arg == "--address") {
            if (!parseAddressList(value, o.addresses)) {
                const TFieldLimits limits = recordField(&TDisplayConfig::Address).limits({});
                error = refusalText(arg, say(kAddressList, l, {wholeNumberWords(limits.low, limits.high, l)}),
                                    value, l);
                return false;
            }
        } else if (arg == "--timeout") {
            if (!wholeNumber(value, 1, 600000, n)) {
                error = refusalText(arg, say(kMilliseconds, l, {"1", "600000"}), value, l);
                return false;
            }
            o.timeoutMs = static_cast<int>(n);
        } else if (arg == "--retries") {
            if (!wholeNumber(value, 0, 100, n)) {
                error = refusalText(arg, wholeNumberWords(0, 100, l), value, l);
                return false;
            }
            o.retries = static_cast<int>(n);
        } else if (arg == "--interval") {
            if (!wholeNumber(value, 10, 86400000, n)) {
                error = refusalText(arg, say(kMilliseconds, l, {"10", "86400000"}), value, l);
                return false;
            }
            o.intervalMs = static_cast<int>(n);
        } else if (arg == "--csv") {
            if (value.empty()) {
                error = say(kCsvNeedsName, l);
                return false;
            }
            o.csv = value;
        }
    }

    if (o.command.empty()) {
        if (o.help)
            return true;
        error = say(kNoCommand, l);
        return false;
    }
    const TCommandSpec* command = findCommand(o.command);
    if (!command) {
        error = say(kUnknownCommand, l, {o.command});
        return false;
    }
    if (o.help)
        return true;
    for (const std::string& opt : given)
        if (!kGlobal.count(opt)
            && std::find(command->options.begin(), command->options.end(), opt) == command->options.end()) {
            error = say(kDoesNotApply, l, {opt, o.command});
            return false;
        }
    if (given.count("--interval") && !o.watch) {
        error = say(kIntervalWatch, l);
        return false;
    }
    if (given.count("--retries") && o.watch) {
        error = say(kRetriesWatch, l);
        return false;
    }
    if (o.json && o.plain) {
        error = say(kJsonPlain, l);
        return false;
    }
    if (o.addresses.size() > 1 && !command->addressList) {
        error = say(kOneAddress, l, {o.command});
        return false;
    }
    if (o.operands.size() < command->minOperands || o.operands.size() > command->maxOperands) {
        error = say(kUsage, l, {command->synopsis});
        return false;
    }
    if (o.command == "diff" && o.operands.size() == 2)
        for (const std::string& opt : given)
            if (opt != "--json" && !kGlobal.count(opt)) {
                error = say(kDiffFiles, l, {opt});
                return false;
            }
    if (o.csv && o.addresses.size() > 1) {
        error = say(kCsvOneDisplay, l);
        return false;
    }
    return true;
}
