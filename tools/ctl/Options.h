#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The command line of dadizctl: COMMAND [OPTIONS] OPERANDS, options in any
// place after the command (or before it), "--opt VALUE" or "--opt=VALUE",
// "--" ending the options.
struct TCtlOptions {
    std::string command;
    std::vector<std::string> operands;
    bool help = false;

    std::optional<std::string> port;
    std::optional<std::uint8_t> baudIndex;
    std::optional<std::uint8_t> parityIndex;
    std::optional<std::uint8_t> dataBitsIndex;
    std::optional<std::uint8_t> stopBitsIndex;
    std::optional<std::uint8_t> address;
    int timeoutMs = 1000;
    int retries = 0;

    std::uint8_t language = 3; // English
    bool json = false;
    bool verify = false;
    bool watch = false;
    bool search = false; // doctor: look for the display at other settings
    int intervalMs = 500;
};

// False on a usage error, with the reason in error.
bool parseArguments(const std::vector<std::string>& args, TCtlOptions& options, std::string& error);

// --help texts: the tool's with an empty command, else the command's.
std::string helpText(const std::string& command);
