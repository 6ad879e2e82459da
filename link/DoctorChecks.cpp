#include "link/Doctor.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "base/Failure.h"
#include "base/Formats.h"
#include "link/DoctorProbe.h"
#include "link/DoctorWords.h"
#include "serial/PortMap.h"
#include "serial/Zcomm.h"

using namespace doctor;

namespace {

// The adapter's name as its USB descriptors give it: "FTDI FT232R USB UART".
TWords adapterName(const TAdapter& a)
{
    if (a.name.empty() && a.manufacturer.empty())
        return say(kUsbAdapter);
    std::string name = a.name.empty() ? a.manufacturer : a.name;
    if (!a.name.empty() && !a.manufacturer.empty() && a.name.rfind(a.manufacturer, 0) != 0)
        name = a.manufacturer + " " + a.name;
    return sameWords(name);
}

// "0403:6001, serial number A50285BI"
TWords usbIds(const TAdapter& a)
{
    const std::string ids = a.vendor + ":" + a.product;
    const TWords out = sameWords(ids);
    return a.serial.empty() ? out : join(out, say(kSerialNumber, {a.serial}), ", ");
}

// The serial devices present, each with its adapter where sysfs names one.
std::vector<TWords> devicesPresent(const TSystemPlaces& places)
{
    std::vector<TWords> out;
    for (const TPresentDevice& d : serialDevicesPresent(places)) {
        TWords w = sameWords(d.path);
        if (d.adapter.usb) {
            const TWords name = adapterName(d.adapter);
            for (TLanguage l : kLanguages)
                w.pick(l) += " (" + name.pick(l) + ", USB " + d.adapter.vendor + ":" + d.adapter.product + ")";
        }
        out.push_back(w);
    }
    return out;
}

// "minicom (pid 4242)"; a process known only by its lock has no name to give.
TWords processWords(const THolder& h)
{
    if (h.comm.empty())
        return say(kUnseenProcess, {cfmt("%d", h.pid)});
    const std::string named = cfmt("%s (pid %d)", h.comm.c_str(), h.pid);
    return {named, named, named, named};
}

} // namespace

// The checks that look at the system alone.

TCheckResult checkDevice(const std::string& port, const std::string& path, const TSystemPlaces& places)
{
    const std::string shown = portTextOf(port, path);
    if (path.empty())
        return result(TDoctorCheck::Device, TVerdict::Problem, say(kNoDeviceSet, {shownName(port)}), say(kChooseDevice));
    const TWords plugIn = comNumber(port) ? say(kPlugIn, {shownName(port)}) : say(kPlugInPath);
    auto absent = [&](const TTexts& why) {
        const std::vector<TWords> present = devicesPresent(places);
        return result(TDoctorCheck::Device, TVerdict::Problem,
            join(say(why, {shown}), present.empty() ? say(kNonePresent) : say(kPresent, {joinList(present)})), plugIn);
    };
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        // Only a name that is not there is "nothing plugged in"; a folder on
        // the way that may not be searched, or a loop of links, says itself.
        const int error = errno;
        if (error == ENOENT)
            return absent(kMissing);
        const TWords why = wordsBy([error](TLanguage l) { return errorWords(error, l); });
        return result(TDoctorCheck::Device, TVerdict::Problem, say(kUnreachable, {shown, why}), plugIn);
    }
    if (!S_ISCHR(st.st_mode)) {
        const TTexts& kind = S_ISDIR(st.st_mode) ? kFolder : S_ISREG(st.st_mode) ? kFile : kOtherFile;
        return result(TDoctorCheck::Device, TVerdict::Problem, say(kNotDevice, {shown, say(kind)}), plugIn);
    }
    if (isPseudoTerminal(st))
        return result(TDoctorCheck::Device, TVerdict::Ok, say(kPseudoTerminal, {shown}));
    const std::string real = realPath(path);
    const TAdapter a = adapterOf(baseName(real), places);
    if (a.noUart)
        return absent(kNoUart);
    TWords finding;
    if (a.usb)
        finding = say(kUsb, {shown, adapterName(a), usbIds(a)});
    else if (!a.driver.empty())
        finding = say(kBuiltIn, {shown, a.driver});
    else
        finding = say(kCharDevice, {shown, cfmt("%u:%u", major(st.st_rdev), minor(st.st_rdev))});
    const std::vector<std::string> ids = byIdNames(real, places);
    if (!ids.empty())
        finding = join(finding, say(kById, {joinList(ids)}));
    return result(TDoctorCheck::Device, TVerdict::Ok, finding);
}

TCheckResult checkPermission(const std::string& path)
{
    TWords finding, advice;
    bool allowed = false;
    for (TLanguage l : kLanguages) {
        const std::optional<TDeviceAccess> a = deviceAccess(path, l);
        if (!a)
            return result(TDoctorCheck::Permission, TVerdict::Skipped, say(kPortUnusable));
        allowed = a->allowed;
        finding.pick(l) = allowed ? fillIn(kMayOpen.pick(l), {a->user, shownName(path), a->mode, a->owner, a->group})
                                  : a->finding;
        advice.pick(l) = a->advice;
    }
    return result(TDoctorCheck::Permission, allowed ? TVerdict::Ok : TVerdict::Problem, finding, advice);
}

TCheckResult checkBusy(const std::string& path, const TSystemPlaces& places)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return result(TDoctorCheck::Busy, TVerdict::Skipped, say(kPortUnusable));
    const std::string real = realPath(path);
    TDeviceUsers users = holdersOf(st, real, places);
    const std::vector<THolder>& found = users.holders;
    const int hidden = users.hidden;
    std::vector<std::string>& running = users.running;
    std::vector<THolder> holders, farEnds;
    for (const THolder& h : found)
        (h.holdsMaster ? farEnds : holders).push_back(h);
    auto names = [](const std::vector<THolder>& hs) {
        std::vector<TWords> out;
        for (const THolder& h : hs)
            out.push_back(processWords(h));
        return joinList(out);
    };
    if (!holders.empty()) {
        TWords advice;
        for (const THolder& h : holders) {
            if (h.comm == "ModemManager")
                advice = join(advice, say(kModemManager));
            else if (h.comm == "brltty")
                advice = join(advice, say(kBrltty));
            else if (h.comm.empty())
                advice = join(advice, say(kFindHolder, {shownName(path)}));
            else
                advice = join(advice, say(kCloseOther, {h.comm, cfmt("%d", h.pid)}));
        }
        return result(TDoctorCheck::Busy, TVerdict::Problem, say(kHeld, {shownName(path), names(holders)}), advice);
    }
    TWords finding = say(kFree, {shownName(path)});
    if (!farEnds.empty())
        finding = join(finding, say(kFarEnd, {names(farEnds)}));
    if (hidden > 0 && geteuid() != 0)
        finding = join(finding, say(kHidden, {cfmt("%d", hidden)}));
    TWords advice;
    const std::string tty = baseName(real);
    if (tty.rfind("ttyUSB", 0) == 0 || tty.rfind("ttyACM", 0) == 0) {
        std::sort(running.begin(), running.end());
        running.erase(std::unique(running.begin(), running.end()), running.end());
        for (const std::string& grabber : running) {
            finding = join(finding, say(kGrabberRunning, {grabber}));
            advice = join(advice, say(grabber == "brltty" ? kBrltty : kModemManager));
        }
    }
    return result(TDoctorCheck::Busy, TVerdict::Ok, finding, advice);
}
