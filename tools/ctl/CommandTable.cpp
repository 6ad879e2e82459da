#include "tools/ctl/CommandTable.h"

#include <algorithm>

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

const char* const kLineHelp =
    "Line options (a FILE's serial settings and address are the defaults):\n"
    "  --port COM1..COM6|PATH  port: a COM name through the program's port map, or a device\n"
    "                          (a relative path that exists from here, else a name under /dev)\n"
    "  --baud N                1200, 2400, 4800, 9600 or 19200\n"
    "  --parity P              even, odd or none\n"
    "  --data-bits N           7 or 8\n"
    "  --stop-bits N           1 or 2\n"
    "  --address N             the display's address, 0 to 31; send, receive, value and calib\n"
    "                          take several, as a list with ranges (1,2,5-9)\n"
    "  --timeout MS            wait for a reply, counted once the request has left and again\n"
    "                          after every piece of the reply (default 1000)\n"
    "  --retries N             send again after no reply or an invalid one (default 0)\n";

const char* const kSetHelp =
    "A field is named in plain words or by its DisplayConfig name; \"-\" reads NAME=VALUE lines\n"
    "from standard input (as show --plain prints them). Values are checked as the program's\n"
    "dialogs check them, and new digits or a new decimal point check again the values that\n"
    "depend on them; the file is left as it was when any of them is refused.\n";

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
std::string fieldsHelp()
{
    std::string text = "Fields, by DisplayConfig name and plain name:\n";
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
                takes += " with " + std::to_string(usual.digitsIndex + recordField(&TDisplayConfig::DigitsIndex).countBase)
                    + " digits; the limits follow the digits" + (f.depends & kDependsOnDecimalPoint ? " and DecimalPoint" : "");
        }
        text += std::string("  ") + f.name + ", " + f.plain + ": " + takes + "\n";
    }
    return text + "Plain names: " + plainNames() + "\n";
}

const std::vector<TCommandSpec>& table()
{
    static const std::vector<TCommandSpec> rows = {
        {"show", 1, 1, {"--json", "--plain"}, false, "dadizctl show FILE [--plain | --json] [--lang ca|es|fr|en]",
         "Prints a configuration file as the main window's four panels show it.\n"
         "  --lang L   ca, es, fr or en (default en)\n"
         "  --plain    one NAME=VALUE a line in plain names, as set takes them\n"
         "  --json     one JSON object whose keys are the DisplayConfig field names\n",
         runShow},
        {"new", 1, SIZE_MAX, {}, false, "dadizctl new FILE [FIELD=VALUE... | -]",
         "Writes the default configuration (COM1, 1200 baud, even parity, 7 data bits, 1 stop\n"
         "bit, address 00, 4 digits, everything else zero) to FILE, with the fields given\n"
         "changed as set changes them; nothing is written when one is refused.\n",
         runNew},
        {"set", 2, SIZE_MAX, {}, false, "dadizctl set FILE FIELD=VALUE... | -",
         "Changes fields of FILE and writes it back in one step; runs on the same file take turns.\n", runSet},
        {"send", 1, 1, withLine({"--verify"}), true, "dadizctl send FILE|FOLDER [--verify] [LINE OPTIONS]",
         "Sends the analog input and relay configuration of FILE to the display ('E' request)\n"
         "and waits for its acknowledgement. With several addresses, FILE goes to each of them;\n"
         "a FOLDER holds one file a display, NN.dad for address NN (every one present, or those\n"
         "--address names). One line a display; the exit status is the highest of theirs.\n"
         "A file whose address is outside 0..31 or whose values the request cannot carry (not\n"
         "finite, or digits that would be cut) is refused. A decimal point above 4 goes out as 4.\n"
         "  --verify   then reads the configuration back ('P' request) and lists every field\n"
         "             that differs beyond the precision of the frames (exit status 1)\n",
         runSend},
        {"receive", 1, 1, withLine({}), true, "dadizctl receive FILE|FOLDER [LINE OPTIONS]",
         "Reads the display's configuration ('P' request) and writes it into FILE. The serial\n"
         "line, address and digits are kept from FILE when it exists; a new FILE gets the line\n"
         "and address used, and 4 digits. A reply that lacks part of the configuration, or holds\n"
         "values no configuration holds, is refused and FILE is not written. Into a FOLDER, each\n"
         "display's configuration goes to NN.dad (every one present, or those --address names).\n",
         runReceive},
        {"value", 0, 1, withLine({"--watch", "--interval", "--json", "--csv"}), true,
         "dadizctl value [FILE] [--watch [--interval MS]] [--csv CSVFILE] [--json] [LINE OPTIONS]",
         "Reads the value the display shows and the states of its two relays ('L' request):\n"
         "one line with a timestamp (and the address, with several displays). Control bytes\n"
         "from the display are shown as <XX>.\n"
         "  --watch         a reading every interval until SIGINT (Ctrl+C) or SIGTERM\n"
         "  --interval MS   time between readings (default 500)\n"
         "  --csv CSVFILE   also appends one CSV row a reading (a \"missed\" row when none came);\n"
         "                  one display only\n"
         "  --json          one JSON object a reading and display, one a line\n",
         runValue},
        {"calib", 0, 1, withLine({"--json"}), true, "dadizctl calib [FILE] [--json] [LINE OPTIONS]",
         "Reads the display's calibration data ('C' request) and prints the 18 values with\n"
         "their row names (after the address, with several displays).\n"
         "  --json   one JSON object a display, one a line\n",
         runCalib},
        {"scan", 0, 1, withLine({"--json"}, false), false, "dadizctl scan [FILE] [--json] [LINE OPTIONS]",
         "Asks every address 00 to 31 for its value and lists those that answer, with the value.\n"
         "Answers that come after their time-out are reported on standard error. On a terminal,\n"
         "standard error shows the address being asked and how many answered so far.\n"
         "  --json   one JSON object a display that answers, one a line\n",
         runScan},
        {"diff", 1, 2, withLine({"--json"}), false, "dadizctl diff A B | dadizctl diff FILE [LINE OPTIONS] [--json]",
         "Compares two configuration files, or a file and the display ('P' request), field by\n"
         "field in plain names, and prints each field that differs. A display is compared on\n"
         "what the frames carry, within their precision. Exit status 0 when they are the same,\n"
         "1 when they differ.\n"
         "  --json   one JSON object: the two sides, whether they are the same, the differences\n",
         runDiff},
        {"doctor", 0, 1, withoutRetries(withLine({"--search", "--json"})), false,
         "dadizctl doctor [FILE] [--search] [--json] [--lang ca|es|fr|en] [LINE OPTIONS]",
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
         "1 nothing answered, 3 the port cannot be used.\n",
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

std::string helpText(const std::string& command)
{
    if (const TCommandSpec* c = findCommand(command)) {
        std::string text = std::string("Usage: ") + c->synopsis + "\n\n" + c->help;
        if (command == "set" || command == "new")
            text += kSetHelp + fieldsHelp();
        if (std::string(c->help).find("--lang") == std::string::npos)
            text += "  --lang L   ca, es, fr or en (default en), as for every command\n";
        text += "  -v, --verbose   every frame sent and received on standard error, as for every command\n";
        if (std::find(c->options.begin(), c->options.end(), "--port") != c->options.end())
            text += std::string("\n") + kLineHelp;
        return text;
    }
    std::string text =
        "Usage: dadizctl COMMAND [OPTIONS] [ARGUMENTS]\n"
        "Sets up the maker's numeric displays over a serial line from a shell, with the same\n"
        "configuration files and frames as the DADiz program.\n\nCommands:\n";
    for (const TCommandSpec& c : table())
        text += std::string("  ") + c.synopsis + "\n";
    text += std::string("\n") + kLineHelp +
        "\nEvery command takes:\n"
        "  --lang L                ca, es, fr or en (default en): the language of the program's\n"
        "                          texts it prints (the panels of show, the doctor, usage errors,\n"
        "                          refused values)\n"
        "  -v, --verbose           every frame sent and received, on standard error\n"
        "\n\"dadizctl COMMAND --help\" describes one command.\n\n"
        "Exit status: 0 success, 1 no reply or an invalid or partial reply (or differences found\n"
        "by send --verify or diff), or standard output cannot be written, 2 usage error, 3 the\n"
        "port cannot be opened, 4 a file cannot be read or written, is not a regular file, or\n"
        "holds values a request cannot carry. With several displays, the highest of theirs.\n";
    return text;
}
