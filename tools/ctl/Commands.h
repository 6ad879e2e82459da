#pragma once
#include "tools/ctl/Options.h"

// Exit statuses of dadizctl.
enum TExitStatus : int {
    ExitOk = 0,
    ExitNoReply = 1, // no reply, an invalid reply, or differences after send --verify
    ExitUsage = 2,
    ExitPort = 3,
    ExitFile = 4,
};

// Lets a stop signal end a write to standard output or error that waits for
// room; call once, after installStopSignals.
void prepareOutput();

// Writes to standard output; false, after a message, when it cannot be written.
bool printText(const std::string& text);
// "dadizctl: TEXT" on standard error.
void printMessage(const std::string& text);

// Runs the parsed command; messages go to stderr, results to stdout.
int runCommand(const TCtlOptions& options);

// dadizctl doctor (tools/ctl/Doctor.cpp).
int runDoctor(const TCtlOptions& options);
