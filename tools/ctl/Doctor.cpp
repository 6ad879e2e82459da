// dadizctl doctor: the connection doctor of the program's window, one line per check.

#include <QObject>

#include "config/DisplayConfig.h"
#include "base/Formats.h"
#include "link/Doctor.h"
#include "tools/ctl/Commands.h"
#include "tools/ctl/Link.h"
#include "tools/ctl/Output.h"
#include "tools/ctl/Session.h"

namespace {

const char* const kCheckKeys[] = {"device", "permission", "busy", "echo", "answer", "search"};
const char* const kVerdictKeys[] = {"ok", "problem", "skipped"};

std::string outcomeKey(TDoctorOutcome outcome)
{
    switch (outcome) {
    case TDoctorOutcome::Answers: return "answers";
    case TDoctorOutcome::Found: return "found";
    case TDoctorOutcome::NothingAnswered: return "nothing answered";
    case TDoctorOutcome::SlowReply: return "slow reply";
    case TDoctorOutcome::OtherAddress: return "other address";
    case TDoctorOutcome::OthersAnswer: return "others answer";
    case TDoctorOutcome::CannotOpen: return "cannot open";
    case TDoctorOutcome::Cancelled: break;
    }
    return "cancelled";
}

// Where displays answered, as JSON, or null.
std::string foundJson(const std::optional<TFoundLine>& found)
{
    if (!found)
        return "null";
    const TLineFormat& line = found->line;
    std::string out = "{\"baud\":" + speedText(line.baud) + ",\"parity\":" + jsonString(parityWord(line.parity))
        + cfmt(",\"data-bits\":%d,\"stop-bits\":%d,\"address\":%d,\"addresses\":[", line.dataBits, line.stopBits,
               found->Address);
    for (std::size_t i = 0; i < found->addresses.size(); ++i)
        out += cfmt(i == 0 ? "%d" : ",%d", found->addresses[i]);
    return out + "]}";
}

// The run as one JSON object: the checks, how it ended, and where a display answered.
std::string reportJson(const TDoctor& doctor, TLanguage language)
{
    const TDoctorReport& report = doctor.report();
    std::string out = "{\"port\":" + jsonString(doctor.portText()) + ",\"checks\":[";
    for (const TCheckResult& r : report.checks)
        out += std::string(&r == report.checks.data() ? "" : ",") + "{\"check\":"
            + jsonString(kCheckKeys[static_cast<int>(r.check)])
            + ",\"verdict\":" + jsonString(kVerdictKeys[static_cast<int>(r.verdict)])
            + ",\"finding\":" + jsonString(r.finding.pick(language)) + ",\"advice\":" + jsonString(r.advice.pick(language)) + "}";
    out += "],\"outcome\":" + jsonString(outcomeKey(report.outcome)) + ",\"found\":" + foundJson(report.found)
        + ",\"answering\":" + foundJson(report.answering);
    out += ",\"suggested-timeout-ms\":"
        + (report.suggestedTimeoutMs > 0 ? std::to_string(report.suggestedTimeoutMs) : std::string("null"));
    return out + ",\"tries\":" + std::to_string(report.tries) + ",\"verdict\":" + jsonString(report.conclusion.pick(language))
        + "}\n";
}

} // namespace

int runDoctor(const TCtlOptions& o)
{
    TDoctorSetup setup;
    resetToDefaults(setup.config);
    if (!o.operands.empty() && !loadFile(o.operands[0], setup.config))
        return ExitFile;
    applyLineOptions(o, setup.config);
    sayPortMapProblem(o, setup.config.PortIndex);
    if (!o.addresses.empty())
        setup.config.Address = o.addresses.front();
    // A COM name is in PortIndex by now; a device path stands in its place.
    setup.port = o.portPath;
    setup.answerTimeoutMs = o.timeoutMs;
    setup.search = o.search;
    const TLanguage language = o.language;

    TDoctor doctor(setup);
    if (o.verbose)
        printTraffic(doctor.link(), o.language);
    // The search's progress overwrites itself on a terminal, and is left out of pipes and files.
    TProgress progress;
    // Output that cannot be written ends the run: the port is given back at once.
    bool written = true;
    QObject::connect(&doctor, &TDoctor::checkDone, &doctor, [&](const TCheckResult& r) {
        progress.clear();
        if (!o.json && written && !print(checkLine(r, language) + "\n")) {
            written = false;
            doctor.cancel();
        }
    });
    QObject::connect(&doctor, &TDoctor::progress, &doctor,
                     [&](const TSearchProgress& p) { progress.show(progressText(p, language)); });
    TEventWait wait;
    QObject::connect(&doctor, &TDoctor::finished, &doctor, [&] { wait.finish(); });

    doctor.start();
    while (doctor.running())
        if (wait.run(60000) == TWaitEnd::Stopped)
            doctor.cancel();
    progress.clear();
    const std::string last = o.json ? reportJson(doctor, language) : conclusionLine(doctor.report(), language) + "\n";
    if (!written || !print(last))
        return ExitNoReply;

    switch (doctor.report().outcome) {
    case TDoctorOutcome::Answers:
    case TDoctorOutcome::Found:
        return ExitOk;
    case TDoctorOutcome::CannotOpen:
        return ExitPort;
    // A display that answers too late or under another address, or displays
    // none of which answers as the one asked for, give nothing usable.
    case TDoctorOutcome::NothingAnswered:
    case TDoctorOutcome::SlowReply:
    case TDoctorOutcome::OtherAddress:
    case TDoctorOutcome::OthersAnswer:
    case TDoctorOutcome::Cancelled:
        break;
    }
    return ExitNoReply;
}
