#pragma once
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/Texts.h"
#include "tools/ctl/Options.h"

using TCommandHandler = int (*)(const TCtlOptions&);

// One command of dadizctl: its name, operands and options, its help, and the
// function that runs it. A command is added with one row of the table.
struct TCommandSpec {
    const char* name;
    std::size_t minOperands;
    std::size_t maxOperands;
    // Besides --lang, --verbose and --help, which every command takes.
    std::vector<std::string> options;
    bool addressList; // --address may name several displays
    // The syntax, as the user types it: the same in every language.
    const char* synopsis;
    TTexts help;
    TCommandHandler run;
};

std::span<const TCommandSpec> commandTable();
const TCommandSpec* findCommand(std::string_view name);

// --help texts in `language`: the tool's with an empty command, else the command's.
std::string helpText(const std::string& command, TLanguage language);
