#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Language.h"

// The command line of dadizctl: COMMAND [OPTIONS] OPERANDS, options in any
// place after the command (or before it), "--opt VALUE" or "--opt=VALUE",
// "--" ending the options.
struct TCtlOptions {
    std::string command;
    std::vector<std::string> operands;
    bool help = false;

    // --port, read once: a COM name of the program's (0..5 for COM1..COM6) or a device.
    std::optional<std::uint8_t> portIndex;
    std::optional<std::string> portPath;
    std::optional<std::uint8_t> baudIndex;
    std::optional<std::uint8_t> parityIndex;
    std::optional<std::uint8_t> dataBitsIndex;
    std::optional<std::uint8_t> stopBitsIndex;
    // --address: one address, or several in the order given, each once.
    std::vector<std::uint8_t> addresses;
    int timeoutMs = 1000;
    int retries = 0;

    TLanguage language = TLanguage::English;
    bool verbose = false;
    bool json = false;
    bool plain = false;
    bool verify = false;
    bool watch = false;
    bool search = false; // doctor: look for the display at other settings
    int intervalMs = 500;
    std::optional<std::string> csv;
};

// False on a usage error, with the reason in error, in the language of
// --lang wherever it stands.
bool parseArguments(const std::vector<std::string>& args, TCtlOptions& options, std::string& error);

// "Try "dadizctl --help"." in the language.
std::string usageHint(TLanguage language);
