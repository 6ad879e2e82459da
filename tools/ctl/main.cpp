// dadizctl: the program's configuration files and display exchanges from a shell.

#include <QCoreApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/ctl/Commands.h"
#include "tools/ctl/Link.h"
#include "tools/ctl/Options.h"

int main(int argc, char** argv)
{
    // Before any thread exists, so that every thread leaves the stop signals to the event loop.
    installStopSignals();

    const std::vector<std::string> args(argv + 1, argv + argc);
    TCtlOptions options;
    std::string error;
    if (!parseArguments(args, options, error)) {
        std::fprintf(stderr, "dadizctl: %s\nTry \"dadizctl --help\".\n", error.c_str());
        return ExitUsage;
    }
    if (options.help) {
        std::fputs(helpText(options.command).c_str(), stdout);
        return ExitOk;
    }

    // The serial component delivers its notifications through the event loop.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    watchStopSignals();
    return runCommand(options);
}
