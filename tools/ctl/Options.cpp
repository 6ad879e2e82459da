#include "tools/ctl/Options.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "base/Formats.h"
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

} // namespace

bool parseArguments(const std::vector<std::string>& args, TCtlOptions& o, std::string& error)
{
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
            error = "unknown option \"" + arg + "\"";
            return false;
        }
        if (flag && inlineValue) {
            error = arg + " takes no value";
            return false;
        }
        std::string value;
        if (!flag) {
            if (inlineValue)
                value = *inlineValue;
            else if (i + 1 < args.size())
                value = args[++i];
            else {
                error = arg + " needs a value";
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
                error = "--port needs COM1..COM6 or a device path";
                return false;
            }
            // Any other COM name is a typing error, not a device under /dev.
            const bool comLike = value.size() >= 3
                && std::equal(value.begin(), value.begin() + 3, "COM",
                              [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; })
                && std::all_of(value.begin() + 3, value.end(),
                               [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
            if (comLike && (comNumber(value) < 1 || comNumber(value) > 6)) {
                error = "--port \"" + value + "\" is not a port of the program: COM1, COM2, COM3, COM4, COM5 or "
                    "COM6, or a device path";
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
                error = arg + " must be " + either(words) + ", not \"" + value + "\"";
                return false;
            }
            o.*(line->index) = static_cast<std::uint8_t>(it - words.begin());
        } else if (arg == "--address") {
            if (!parseAddressList(value, o.addresses)) {
                const TFieldLimits limits = recordField(&TDisplayConfig::Address).limits({});
                error = cfmt("--address must be a whole number from %lld to %lld", limits.low, limits.high)
                    + ", or several as a list with ranges such as "
                        "1,2,5-9, not \"" + value + "\"";
                return false;
            }
        } else if (arg == "--timeout") {
            if (!wholeNumber(value, 1, 600000, n)) {
                error = "--timeout must be a whole number of milliseconds from 1 to 600000, not \"" + value + "\"";
                return false;
            }
            o.timeoutMs = static_cast<int>(n);
        } else if (arg == "--retries") {
            if (!wholeNumber(value, 0, 100, n)) {
                error = "--retries must be a whole number from 0 to 100, not \"" + value + "\"";
                return false;
            }
            o.retries = static_cast<int>(n);
        } else if (arg == "--interval") {
            if (!wholeNumber(value, 10, 86400000, n)) {
                error = "--interval must be a whole number of milliseconds from 10 to 86400000, not \"" + value
                    + "\"";
                return false;
            }
            o.intervalMs = static_cast<int>(n);
        } else if (arg == "--lang") {
            const std::optional<TLanguage> language = languageOfCode(value);
            if (!language) {
                error = "--lang must be ca, es, fr or en, not \"" + value + "\"";
                return false;
            }
            o.language = *language;
        } else if (arg == "--csv") {
            if (value.empty()) {
                error = "--csv needs a file name";
                return false;
            }
            o.csv = value;
        }
    }

    if (o.command.empty()) {
        if (o.help)
            return true;
        error = "no command given";
        return false;
    }
    const TCommandSpec* command = findCommand(o.command);
    if (!command) {
        error = "unknown command \"" + o.command + "\"";
        return false;
    }
    if (o.help)
        return true;
    for (const std::string& opt : given)
        if (!kGlobal.count(opt)
            && std::find(command->options.begin(), command->options.end(), opt) == command->options.end()) {
            error = opt + " does not apply to " + o.command;
            return false;
        }
    if (given.count("--interval") && !o.watch) {
        error = "--interval applies to value --watch";
        return false;
    }
    if (given.count("--retries") && o.watch) {
        error = "--retries does not apply to value --watch: a missed reading is followed by the next one";
        return false;
    }
    if (o.json && o.plain) {
        error = "--json and --plain cannot go together";
        return false;
    }
    if (o.addresses.size() > 1 && !command->addressList) {
        error = o.command + " takes one --address";
        return false;
    }
    if (o.operands.size() < command->minOperands || o.operands.size() > command->maxOperands) {
        error = std::string("usage: ") + command->synopsis;
        return false;
    }
    if (o.command == "diff" && o.operands.size() == 2)
        for (const std::string& opt : given)
            if (opt != "--json" && !kGlobal.count(opt)) {
                error = "diff A B compares two files; " + opt
                    + " is for diff FILE, which compares a file and the display";
                return false;
            }
    if (o.csv && o.addresses.size() > 1) {
        error = "--csv records one display; give one --address";
        return false;
    }
    return true;
}
