// dadizctl: the program's configuration files and display exchanges from a shell.

#include <QCoreApplication>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "tools/ctl/CommandTable.h"
#include "tools/ctl/Commands.h"
#include "tools/ctl/Link.h"
#include "tools/ctl/Options.h"
#include "tools/ctl/Output.h"

int main(int argc, char** argv)
{
    // Started with standard input, output or error closed, the first file
    // opened would take its place and messages would go down the serial line.
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF && ::open("/dev/null", O_RDWR) != fd)
            return ExitFile;

    // A reader that goes away ("| head -1") makes the write fail: the run then
    // ends with status 1, its port given back and its settings restored,
    // rather than being killed in the middle.
    std::signal(SIGPIPE, SIG_IGN);
    // Before any thread exists, so that every thread leaves the stop signals to the event loop.
    installStopSignals();
    prepareOutput();

    const std::vector<std::string> args(argv + 1, argv + argc);
    TCtlOptions options;
    std::string error;
    if (!parseArguments(args, options, error)) {
        printMessage(error, usageHint(options.language));
        return ExitUsage;
    }
    setMessageLanguage(options.language);
    if (options.help)
        return printText(helpText(options.command, options.language)) ? ExitOk : ExitNoReply;

    // The serial component delivers its notifications through the event loop.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    watchStopSignals();
    return runCommand(options);
}
