#include "tools/ctl/Options.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "config/Formats.h"
#include "serial/PortMap.h"

namespace {

const std::set<std::string> kFlags = {"--json", "--verify", "--watch", "--search"};
const std::set<std::string> kValued = {"--port",    "--baud",    "--parity",   "--data-bits", "--stop-bits",
                                       "--address", "--timeout", "--retries",  "--interval",  "--lang"};

const std::set<std::string> kLineOptions = {"--port", "--baud", "--parity", "--data-bits", "--stop-bits",
                                            "--address", "--timeout", "--retries"};

struct TCommandInfo {
    std::size_t minOperands;
    std::size_t maxOperands;
    std::set<std::string> options;
    const char* synopsis;
    const char* help;
};

std::set<std::string> withLine(std::set<std::string> extra, bool address = true)
{
    extra.insert(kLineOptions.begin(), kLineOptions.end());
    if (!address)
        extra.erase("--address");
    return extra;
}

const char* const kLineHelp =
    "Line options (a FILE's serial settings and address are the defaults):\n"
    "  --port COM1..COM6|PATH  port: a COM name through the program's port map, or a device\n"
    "                          (a relative path that exists from here, else a name under /dev)\n"
    "  --baud N                1200, 2400, 4800, 9600 or 19200\n"
    "  --parity P              even, odd or none\n"
    "  --data-bits N           7 or 8\n"
    "  --stop-bits N           1 or 2\n"
    "  --address N             the display's address, 0 to 31\n"
    "  --timeout MS            wait for a reply, counted once the request has left and again\n"
    "                          after every piece of the reply (default 1000)\n"
    "  --retries N             send again after no reply or an invalid one (default 0)\n";

const std::map<std::string, TCommandInfo>& commands()
{
    static const std::map<std::string, TCommandInfo> table = {
        {"show",
         {1, 1, {"--lang", "--json"}, "dadizctl show FILE [--lang ca|es|fr|en] [--json]",
          "Prints a configuration file as the main window's four panels show it.\n"
          "  --lang L   ca, es, fr or en (default en)\n"
          "  --json     one JSON object whose keys are the DisplayConfig field names\n"}},
        {"new",
         {1, 1, {}, "dadizctl new FILE", "Writes the default configuration (COM1, 1200 baud, even parity, 7 data\n"
                                         "bits, 1 stop bit, address 00, 4 digits, everything else zero) to FILE.\n"}},
        {"set",
         {2, SIZE_MAX, {}, "dadizctl set FILE FIELD=VALUE...",
          "Changes fields of FILE by their DisplayConfig names and writes it back in one step;\n"
          "runs on the same file take turns. Values are checked as the program's dialogs check\n"
          "them, and new digits or a new decimal point check again the values that depend on\n"
          "them; the file is left as it was when any of them is refused.\n"
          "  PortIndex 0..5 (COM1..COM6)   ParityIndex 0..2 (even, odd, none)   DataBitsIndex 0..1 (7, 8)\n"
          "  StopBitsIndex 0..1 (1, 2)     BaudIndex 0..4 (1200..19200)        Address 0..31\n"
          "  DigitsIndex 0..8 (2..10 digits)   InputMode 0..1 (process, temperature)\n"
          "  ProcessInput 0..1 (voltage, current)\n"
          "  InputValue1, InputValue2      -99.9..99.9, at most 1 decimal with 3 digits, 2 with 4, else 3\n"
          "  DisplayValue1, DisplayValue2  within -19999..9999 (19999 with 5 digits) and the field\n"
          "                                the digits and DecimalPoint give\n"
          "  DecimalPoint 0..4   TempUnits 0..1 (F, C)   ProbeType 0..3 (PT100, J, K, T)\n"
          "  Resolution 0..1 (1, 0.1 degree)   TempOffset -99.9..99.9\n"
          "  Relay1Enabled, Relay2Enabled 0..1\n"
          "  Relay1DelayType, Relay2DelayType 0 (timed) or 1 (hysteresis)\n"
          "  Relay1TriggerLevel, Relay2TriggerLevel 0 (on above the level) or 1 (below)\n"
          "  Relay1Delay, Relay2Delay 0..999\n"
          "  Relay1Setpoint, Relay2Setpoint  display counts without the decimal point\n"}},
        {"send",
         {1, 1, withLine({"--verify"}), "dadizctl send FILE [--verify] [LINE OPTIONS]",
          "Sends the analog input and relay configuration of FILE to the display ('E' request)\n"
          "and waits for its acknowledgement. A file whose address is outside 0..31 or whose\n"
          "values the request cannot carry (not finite, or digits that would be cut) is refused.\n"
          "A decimal point above 4 goes out as 4.\n"
          "  --verify   then reads the configuration back ('P' request) and lists every field\n"
          "             that differs beyond the precision of the frames (exit status 1)\n"}},
        {"receive",
         {1, 1, withLine({}), "dadizctl receive FILE [LINE OPTIONS]",
          "Reads the display's configuration ('P' request) and writes it into FILE. The serial\n"
          "line, address and digits are kept from FILE when it exists; a new FILE gets the line\n"
          "and address used, and 4 digits. A reply that lacks part of the configuration, or holds\n"
          "values no configuration holds, is refused and FILE is not written.\n"}},
        {"value",
         {0, 1, withLine({"--watch", "--interval"}), "dadizctl value [FILE] [--watch [--interval MS]] [LINE OPTIONS]",
          "Reads the value the display shows and the states of its two relays ('L' request):\n"
          "one line with a timestamp. Control bytes from the display are shown as <XX>.\n"
          "  --watch         a reading every interval until SIGINT (Ctrl+C) or SIGTERM\n"
          "  --interval MS   time between readings (default 500)\n"}},
        {"calib",
         {0, 1, withLine({}), "dadizctl calib [FILE] [LINE OPTIONS]",
          "Reads the display's calibration data ('C' request) and prints the 18 values with\n"
          "their row names.\n"}},
        {"scan",
         {0, 1, withLine({}, false), "dadizctl scan [FILE] [LINE OPTIONS]",
          "Asks every address 00 to 31 for its value and lists those that answer, with the value.\n"
          "Answers that come after their time-out are reported on standard error.\n"}},
        {"doctor",
         {0, 1, [] { auto o = withLine({"--search", "--lang"}); o.erase("--retries"); return o; }(),
          "dadizctl doctor [FILE] [--search] [--lang ca|es|fr|en] [LINE OPTIONS]",
          "Finds out why the display does not answer, one line per check: Device (the port's\n"
          "device and the adapter behind it), Permission, Busy (other programs holding it), Echo\n"
          "(an RS-485 adapter handing back what it sends), Answer (a reading at the line settings\n"
          "and address), Search, and a last line, Verdict, that says what to do.\n"
          "  --search   when the display does not answer: try the address at every speed and\n"
          "             frame format (7E1, 7O1, 8N1 first), then every address 00 to 31; the\n"
          "             settings found end the Verdict line. Progress goes to a terminal's stderr.\n"
          "  --lang L   ca, es, fr or en (default en)\n"
          "  --timeout  applies to the reading at the line settings; search tries wait for their\n"
          "             wire time and a short margin\n"
          "Exit status: 0 a display answers (as configured, or where the search found it),\n"
          "1 nothing answered, 3 the port cannot be used.\n"}},
    };
    return table;
}

bool wholeNumber(const std::string& text, long long low, long long high, long long& value)
{
    if (text.empty() || text.size() > 10)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    value = textToInt(text);
    return value >= low && value <= high;
}

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
            o.port = value;
        } else if (arg == "--baud") {
            static const char* const bauds[] = {"1200", "2400", "4800", "9600", "19200"};
            const auto it = std::find(std::begin(bauds), std::end(bauds), value);
            if (it == std::end(bauds)) {
                error = "--baud must be 1200, 2400, 4800, 9600 or 19200, not \"" + value + "\"";
                return false;
            }
            o.baudIndex = static_cast<std::uint8_t>(it - std::begin(bauds));
        } else if (arg == "--parity") {
            if (value == "even")
                o.parityIndex = 0;
            else if (value == "odd")
                o.parityIndex = 1;
            else if (value == "none")
                o.parityIndex = 2;
            else {
                error = "--parity must be even, odd or none, not \"" + value + "\"";
                return false;
            }
        } else if (arg == "--data-bits") {
            if (value != "7" && value != "8") {
                error = "--data-bits must be 7 or 8, not \"" + value + "\"";
                return false;
            }
            o.dataBitsIndex = value == "7" ? 0 : 1;
        } else if (arg == "--stop-bits") {
            if (value != "1" && value != "2") {
                error = "--stop-bits must be 1 or 2, not \"" + value + "\"";
                return false;
            }
            o.stopBitsIndex = value == "1" ? 0 : 1;
        } else if (arg == "--address") {
            if (!wholeNumber(value, 0, 31, n)) {
                error = "--address must be a whole number from 0 to 31, not \"" + value + "\"";
                return false;
            }
            o.address = static_cast<std::uint8_t>(n);
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
            static const char* const langs[] = {"ca", "es", "fr", "en"};
            const auto it = std::find(std::begin(langs), std::end(langs), value);
            if (it == std::end(langs)) {
                error = "--lang must be ca, es, fr or en, not \"" + value + "\"";
                return false;
            }
            o.language = static_cast<std::uint8_t>(it - std::begin(langs));
        }
    }

    if (o.command.empty()) {
        if (o.help)
            return true;
        error = "no command given";
        return false;
    }
    const auto it = commands().find(o.command);
    if (it == commands().end()) {
        error = "unknown command \"" + o.command + "\"";
        return false;
    }
    if (o.help)
        return true;
    const TCommandInfo& info = it->second;
    for (const std::string& opt : given)
        if (!info.options.count(opt) && opt != "--lang") {
            error = opt + " does not apply to " + o.command;
            return false;
        }
    if (given.count("--interval") && !o.watch) {
        error = "--interval applies to value --watch";
        return false;
    }
    if (o.operands.size() < info.minOperands || o.operands.size() > info.maxOperands) {
        error = std::string("usage: ") + info.synopsis;
        return false;
    }
    return true;
}

std::string helpText(const std::string& command)
{
    const auto it = commands().find(command);
    if (it != commands().end()) {
        std::string text = std::string("Usage: ") + it->second.synopsis + "\n\n" + it->second.help;
        if (!it->second.options.count("--lang"))
            text += "  --lang L   ca, es, fr or en (default en), as for every command\n";
        if (it->second.options.count("--port"))
            text += std::string("\n") + kLineHelp;
        return text;
    }
    std::string text =
        "Usage: dadizctl COMMAND [OPTIONS] [ARGUMENTS]\n"
        "Sets up the maker's numeric displays over a serial line from a shell, with the same\n"
        "configuration files and frames as the DADiz program.\n\nCommands:\n";
    for (const auto& [name, info] : commands())
        text += std::string("  ") + info.synopsis + "\n";
    text += std::string("\n") + kLineHelp +
        "\nEvery command takes:\n"
        "  --lang L                ca, es, fr or en (default en): the language of the program's\n"
        "                          texts it prints (the panels of show)\n"
        "\n\"dadizctl COMMAND --help\" describes one command.\n\n"
        "Exit status: 0 success, 1 no reply or an invalid or partial reply (or differences found\n"
        "by send --verify), or standard output cannot be written, 2 usage error, 3 the port\n"
        "cannot be opened, 4 a file cannot be read or written, is not a regular file, or holds\n"
        "values a request cannot carry.\n";
    return text;
}
