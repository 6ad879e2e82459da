#pragma once
#include <string>

#include "tools/ctl/Options.h"

// Exit statuses of dadizctl. With several displays a command ends with the
// highest of theirs.
enum TExitStatus : int {
    ExitOk = 0,
    ExitNoReply = 1, // no reply, an invalid reply, or differences (send --verify, diff)
    ExitUsage = 2,
    ExitPort = 3,
    ExitFile = 4,
};

// Lets a stop signal end a write to standard output or error that waits for
// room; call once, after installStopSignals.
void prepareOutput();

// Writes to standard output; false, after a message, when it cannot be written.
bool printText(const std::string& text);
// "dadizctl: TEXT" on standard error, then `hint` on a line of its own.
void printMessage(const std::string& text, const std::string& hint = {});

// Runs the parsed command; messages go to stderr, results to stdout.
int runCommand(const TCtlOptions& options);

// The commands, one each; the command table names them.
int runShow(const TCtlOptions& o);
int runNew(const TCtlOptions& o);
int runSet(const TCtlOptions& o);
int runSend(const TCtlOptions& o);
int runReceive(const TCtlOptions& o);
int runValue(const TCtlOptions& o);
int runCalib(const TCtlOptions& o);
int runScan(const TCtlOptions& o);
int runDiff(const TCtlOptions& o);
int runDoctor(const TCtlOptions& o); // tools/ctl/Doctor.cpp
