// dadiz-bridge: the displays' readings on MQTT and Modbus TCP.

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <sys/signalfd.h>
#include <vector>

#include "base/Formats.h"
#include "base/UniqueFd.h"
#include "tools/bridge/Bridge.h"
#include "tools/bridge/BridgeConfig.h"
#include "tools/bridge/BridgeTexts.h"

using namespace bridgetext;

namespace {

void sayLine(const std::string& text)
{
    std::fprintf(stderr, "dadiz-bridge: %s\n", escapedControls(text).c_str());
    std::fflush(stderr);
}

struct TArguments {
    std::string path = kDefaultBridgeConfig;
    std::optional<TLanguage> language;
    bool check = false;
    bool help = false;
};

// False with why in error. --lang is taken wherever it stands, so that every
// other complaint is already said in its language.
bool parseArguments(const std::vector<std::string>& args, TArguments& out, std::string& error)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool split = args[i] == "--lang";
        if (!split && args[i].rfind("--lang=", 0) != 0)
            continue;
        const std::string code = split ? (i + 1 < args.size() ? args[i + 1] : "") : args[i].substr(7);
        out.language = languageOfCode(code);
        if (!out.language) {
            error = say(kLangRefused, kEnglish, {languageCodes(kEnglish), code});
            return false;
        }
        i += split ? 1 : 0;
    }
    const TLanguage l = out.language.value_or(kEnglish);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            out.help = true;
        } else if (a == "--check") {
            out.check = true;
        } else if (a == "--lang") {
            ++i;
        } else if (a.rfind("--lang=", 0) == 0) {
            continue;
        } else if (a == "--config" && i + 1 < args.size()) {
            out.path = args[++i];
        } else if (a.rfind("--config=", 0) == 0) {
            out.path = a.substr(9);
        } else {
            error = a == "--config" ? say(kNeedsFile, l) : say(kUnknownArgument, l, {a});
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    TArguments arguments;
    std::string error;
    if (!parseArguments(std::vector<std::string>(argv + 1, argv + argc), arguments, error)) {
        sayLine(error);
        std::fputs(kUsage.pick(arguments.language.value_or(kEnglish)), stderr);
        return 2;
    }
    if (arguments.help) {
        std::fputs(kUsage.pick(arguments.language.value_or(kEnglish)), stdout);
        return 0;
    }

    TBridgeConfig config;
    if (!readBridgeConfig(arguments.path, arguments.language, config, error)) {
        sayLine(error);
        return 2;
    }
    const TLanguage l = config.language;
    if (arguments.check) {
        sayLine(say(kGood, l, {arguments.path}));
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
    TBridge bridge(config, sayLine);
    if (!bridge.start(error)) {
        sayLine(error);
        return 1;
    }
    sayLine(say(kStarted, l, {arguments.path}));
    QSocketNotifier notifier(stopFd.get(), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
        signalfd_siginfo info{};
        (void)!::read(stopFd.get(), &info, sizeof info);
        sayLine(say(kStopping, l));
        bridge.stop();
        app.quit();
    });
    return app.exec();
}
