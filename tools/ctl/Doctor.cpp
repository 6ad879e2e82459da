// dadizctl doctor: the connection doctor of the program's window, one line per check.

#include <QObject>
#include <cstdio>
#include <unistd.h>

#include "config/ConfigFile.h"
#include "config/DisplayConfig.h"
#include "link/Doctor.h"
#include "serial/PortMap.h"
#include "tools/ctl/Commands.h"
#include "tools/ctl/Link.h"

namespace {

bool configFromOptions(const TCtlOptions& o, TDisplayConfig& cfg)
{
    resetToDefaults(cfg);
    if (!o.operands.empty()) {
        const FileResult loaded = loadConfigFile(o.operands[0], cfg);
        if (!loaded.ok) {
            printMessage("cannot read " + describeFileError(o.operands[0], loaded, 3));
            return false;
        }
    }
    if (o.port) {
        const int com = comNumber(*o.port);
        if (com >= 1 && com <= 6)
            cfg.PortIndex = static_cast<std::uint8_t>(com - 1);
    }
    for (const auto& [option, field] : {std::pair{&o.baudIndex, &cfg.BaudIndex}, {&o.parityIndex, &cfg.ParityIndex},
             {&o.dataBitsIndex, &cfg.DataBitsIndex}, {&o.stopBitsIndex, &cfg.StopBitsIndex}, {&o.address, &cfg.Address}})
        if (*option)
            *field = **option;
    return true;
}

} // namespace

int runDoctor(const TCtlOptions& o)
{
    TDoctorSetup setup;
    if (!configFromOptions(o, setup.config))
        return ExitFile;
    setup.port = o.port;
    setup.answerTimeoutMs = o.timeoutMs;
    setup.search = o.search;
    const int language = o.language;

    TDoctor doctor(setup);
    // The search's progress overwrites itself on a terminal, and is left out of pipes and files.
    const bool showProgress = isatty(STDERR_FILENO) == 1;
    bool progressShown = false;
    auto clearProgress = [&] {
        if (progressShown)
            std::fputs("\r\033[K", stderr);
        progressShown = false;
    };
    // Output that cannot be written ends the run: the port is given back at once.
    bool written = true;
    QObject::connect(&doctor, &TDoctor::checkDone, &doctor, [&](const TCheckResult& r) {
        clearProgress();
        if (written && !printText(checkLine(r, language) + "\n")) {
            written = false;
            doctor.cancel();
        }
    });
    QObject::connect(&doctor, &TDoctor::progress, &doctor, [&](const TSearchProgress& p) {
        if (!showProgress)
            return;
        std::fprintf(stderr, "\r%s\033[K", progressText(p, language).c_str());
        progressShown = true;
    });
    TEventWait wait;
    QObject::connect(&doctor, &TDoctor::finished, &doctor, [&] { wait.finish(); });

    doctor.start();
    while (doctor.running())
        if (wait.run(60000) == TWaitEnd::Stopped)
            doctor.cancel();
    clearProgress();
    if (!written || !printText(conclusionLine(doctor.report(), language) + "\n"))
        return ExitNoReply;

    switch (doctor.report().outcome) {
    case TDoctorOutcome::Answers:
    case TDoctorOutcome::Found:
        return ExitOk;
    case TDoctorOutcome::CannotOpen:
        return ExitPort;
    case TDoctorOutcome::NothingAnswered:
    case TDoctorOutcome::Cancelled:
        break;
    }
    return ExitNoReply;
}
