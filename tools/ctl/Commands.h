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

// Runs the parsed command; messages go to stderr, results to stdout.
int runCommand(const TCtlOptions& options);

// dadizctl doctor (tools/ctl/Doctor.cpp).
int runDoctor(const TCtlOptions& options);
