// dadiz-bridge: the displays' readings on MQTT and Modbus TCP.

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <string>
#include <sys/signalfd.h>
#include <vector>

#include "base/Formats.h"
#include "base/UniqueFd.h"
#include "tools/bridge/Bridge.h"
#include "tools/bridge/BridgeConfig.h"

namespace {

void say(const std::string& text)
{
    std::fprintf(stderr, "dadiz-bridge: %s\n", escapedControls(text).c_str());
    std::fflush(stderr);
}

constexpr const char* kUsage =
    "usage: dadiz-bridge [--config FILE] [--check]\n"
    "Reads the displays of the lines in FILE (default /etc/dadiz/bridge.conf) and publishes\n"
    "their readings on MQTT and Modbus TCP; see man dadiz-bridge.\n"
    "  --config FILE  the configuration file\n"
    "  --check        check the configuration file and exit\n"
    "Exit status: 0 stopped by SIGTERM or SIGINT, or a good file with --check; 1 the broker\n"
    "or the Modbus port cannot be used; 2 usage or configuration error.\n";

} // namespace

int main(int argc, char** argv)
{
    std::string path = kDefaultBridgeConfig;
    bool check = false;
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--check") {
            check = true;
        } else if (a == "--config" && i + 1 < args.size()) {
            path = args[++i];
        } else if (a.rfind("--config=", 0) == 0) {
            path = a.substr(9);
        } else {
            say(a == "--config" ? "--config needs a FILE" : "unknown argument \"" + a + "\"");
            std::fputs(kUsage, stderr);
            return 2;
        }
    }

    TBridgeConfig config;
    std::string error;
    if (!readBridgeConfig(path, config, error)) {
        say(error);
        return 2;
    }
    if (check) {
        say(path + ": good");
        return 0;
    }

    // SIGTERM and SIGINT end the run from the event loop; a Modbus client that
    // goes away while it is answered is no reason to die.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    UniqueFd stopFd(::signalfd(-1, &stops, SFD_NONBLOCK | SFD_CLOEXEC));

    QCoreApplication app(argc, argv);
    TBridge bridge(config, say);
    if (!bridge.start(error)) {
        say(error);
        return 1;
    }
    say("started with " + path);
    QSocketNotifier notifier(stopFd.get(), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
        signalfd_siginfo info{};
        (void)!::read(stopFd.get(), &info, sizeof info);
        say("stopping");
        bridge.stop();
        app.quit();
    });
    return app.exec();
}
