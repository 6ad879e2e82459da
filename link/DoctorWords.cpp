#include "link/DoctorWords.h"

#include <algorithm>

#include "base/Formats.h"
#include "link/DoctorProbe.h"

namespace doctor {

TWords say(const TTexts& t, std::initializer_list<TArg> args)
{
    return wordsBy([&](TLanguage l) {
        std::string a[9];
        std::size_t i = 0;
        for (const TArg& arg : args)
            if (i < 9)
                a[i++] = arg.w.pick(l);
        return fillIn(t.pick(l), {a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]});
    });
}

TWords join(const TWords& a, const TWords& b, const char* between)
{
    return wordsBy([&](TLanguage l) {
        const std::string &x = a.pick(l), &y = b.pick(l);
        return x.empty() ? y : y.empty() ? x : x + between + y;
    });
}

TWords joinList(const std::vector<TWords>& items)
{
    TWords out;
    for (const TWords& item : items)
        out = join(out, item, ", ");
    return out;
}

std::string joinList(const std::vector<std::string>& items)
{
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : ", ") + item;
    return out;
}

TWords triesWords(int tries)
{
    return tries == 1 ? say(kOneTry) : say(kTries, {cfmt("%d", tries)});
}

TCheckResult result(TDoctorCheck check, TVerdict verdict, TWords finding, TWords advice)
{
    return {check, verdict, std::move(finding), std::move(advice)};
}

TWords shortLineWords(const TLineFormat& f)
{
    return say(kShortLine, {say(kBaud, {speedText(f.baud)}), formatText(f)});
}

TWords fullLineWords(const TLineFormat& f, std::uint8_t address)
{
    return say(kFullLine, {say(kBaud, {speedText(f.baud)}), formatText(f), say(kDataBits, {cfmt("%d", f.dataBits)}),
                              say(kParities[std::min<int>(static_cast<int>(f.parity), 2)]),
                              say(kStopBits[f.stopBits == 2 ? 1 : 0]), cfmt("%02d", address)});
}

std::string shownName(const std::string& name)
{
    return printableOnly(name, 256);
}

std::string portTextOf(const std::string& port, const std::string& path)
{
    return path.empty() || path == port ? shownName(port) : shownName(port) + " (" + shownName(path) + ")";
}

} // namespace doctor

using namespace doctor;

// Words of a run, for the window and dadizctl.

TCheckParts checkParts(const TCheckResult& r, TLanguage language)
{
    std::string text = r.finding.pick(language);
    if (!r.advice.pick(language).empty())
        text += (text.empty() ? "" : " ") + r.advice.pick(language);
    return {kCheckNames[static_cast<int>(r.check)].pick(language),
        kVerdicts[static_cast<int>(r.verdict)].pick(language), text};
}

std::string checkLine(const TCheckResult& r, TLanguage language)
{
    const TCheckParts p = checkParts(r, language);
    return fillIn(kLine.pick(language), {p.name, p.verdict, p.text});
}

std::string verdictName(TLanguage language)
{
    return kVerdictName.pick(language);
}

std::string conclusionLine(const TDoctorReport& report, TLanguage language)
{
    return fillIn(kConclusionLine.pick(language), {verdictName(language), report.conclusion.pick(language)});
}

std::vector<std::string> doctorLines(const TDoctorReport& report, TLanguage language)
{
    std::vector<std::string> lines;
    for (const TCheckResult& r : report.checks)
        lines.push_back(checkLine(r, language));
    lines.push_back(conclusionLine(report, language));
    return lines;
}

std::string progressText(const TSearchProgress& p, TLanguage language)
{
    return fillIn(kTrying.pick(language),
        {cfmt("%02d", p.address), shortLineWords(p.line).pick(language), cfmt("%d", p.done), cfmt("%d", p.total)});
}

std::string lineWords(const TLineFormat& line, std::uint8_t address, TLanguage language)
{
    return fullLineWords(line, address).pick(language);
}

std::string doctorRefusalText(TDoctorRefusal why, TLanguage language)
{
    return kRefusals[static_cast<int>(why)].pick(language);
}
