#include "tools/bridge/BridgeConfig.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "base/Formats.h"
#include "base/UniqueFd.h"
#include "config/PlainFields.h"
#include "config/RecordFields.h"
#include "tools/ctl/Addresses.h"
#include "tools/ctl/JsonText.h"

namespace {

constexpr std::size_t kMaxFileBytes = 1 << 20;

enum class TSection { None, Broker, Modbus, Line };

struct TContext {
    TBridgeConfig& config;
    TBridgeLine* line = nullptr;
};

// Checks and stores one value; false with why in error.
using TSetter = std::function<bool(const std::string& value, TContext& c, std::string& error)>;

struct TKey {
    TSection section;
    const char* name;
    TSetter set;
};

std::string trimmedText(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool printable(const std::string& s)
{
    return std::none_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

TSetter number(long long low, long long high, std::function<void(TContext&, int)> store)
{
    return [=](const std::string& value, TContext& c, std::string& error) {
        long long n = 0;
        if (!wholeNumber(value, low, high, n)) {
            error = cfmt("must be a whole number from %lld to %lld", low, high);
            return false;
        }
        store(c, static_cast<int>(n));
        return true;
    };
}

TSetter flag(bool TBrokerSettings::*member)
{
    return [=](const std::string& value, TContext& c, std::string& error) {
        if (value != "true" && value != "false") {
            error = "must be true or false";
            return false;
        }
        c.config.broker.*member = value == "true";
        return true;
    };
}

// A word without blanks: host names, client ids, user names.
TSetter word(std::string TBrokerSettings::*member)
{
    return [=](const std::string& value, TContext& c, std::string& error) {
        if (value.empty() || value.size() > 256 || !printable(value) || value.find(' ') != std::string::npos) {
            error = "must be one word of printable characters";
            return false;
        }
        c.config.broker.*member = value;
        return true;
    };
}

// A file the bridge reads at start: it must be a regular file it can read.
TSetter readableFile(std::string TBrokerSettings::*member)
{
    return [=](const std::string& value, TContext& c, std::string& error) {
        struct stat st {};
        if (value.empty() || !printable(value)) {
            error = "must be the path of a file";
            return false;
        }
        if (::stat(value.c_str(), &st) != 0 || ::access(value.c_str(), R_OK) != 0) {
            error = "cannot read " + value + ": " + std::strerror(errno);
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            error = value + " is not a regular file";
            return false;
        }
        c.config.broker.*member = value;
        return true;
    };
}

// One or more topic levels: no wildcards, no empty level.
TSetter topicPrefix(std::string TBrokerSettings::*member)
{
    return [=](const std::string& value, TContext& c, std::string& error) {
        const bool emptyLevel = value.empty() || value.front() == '/' || value.back() == '/'
            || value.find("//") != std::string::npos;
        if (emptyLevel || value.size() > 128 || !printable(value) || value.find_first_of("+# ") != std::string::npos) {
            error = "must be topic levels separated by '/', without blanks, '+' or '#'";
            return false;
        }
        c.config.broker.*member = value;
        return true;
    };
}

// A line setting by its plain name, as dadizctl takes it ("baud=9600").
TSetter plainSetting(const char* plainName)
{
    return [=](const std::string& value, TContext& c, std::string& error) {
        std::vector<TRecordAssignment> out;
        std::string why;
        if (expandPlain(plainName, value, out, why) != TPlainParse::Done || out.size() != 1) {
            // "baud must be 1200, ... or 19200, not "9601"": the caller says what was given.
            const std::size_t from = why.find(" must be ") + 1;
            error = why.substr(from, why.rfind(", not \"") - from);
            return false;
        }
        c.line->settings.*(out[0].field->u8) = static_cast<std::uint8_t>(textToInt(out[0].text));
        return true;
    };
}

const std::vector<TKey>& keys()
{
    using B = TBrokerSettings;
    static const std::vector<TKey> table = {
        {TSection::Broker, "Host", word(&B::host)},
        {TSection::Broker, "Port", number(1, 65535, [](TContext& c, int n) { c.config.broker.port = n; })},
        {TSection::Broker, "ClientId", word(&B::clientId)},
        {TSection::Broker, "User", word(&B::user)},
        {TSection::Broker, "PasswordFile", readableFile(&B::passwordFile)},
        {TSection::Broker, "CAFile", readableFile(&B::caFile)},
        {TSection::Broker, "CertFile", readableFile(&B::certFile)},
        {TSection::Broker, "KeyFile", readableFile(&B::keyFile)},
        {TSection::Broker, "Prefix", topicPrefix(&B::prefix)},
        {TSection::Broker, "KeepAliveS", number(5, 3600, [](TContext& c, int n) { c.config.broker.keepAliveS = n; })},
        {TSection::Broker, "AllowWrites", flag(&B::allowWrites)},
        {TSection::Broker, "Discovery", flag(&B::discovery)},
        {TSection::Broker, "DiscoveryPrefix", topicPrefix(&B::discoveryPrefix)},
        {TSection::Modbus, "Listen",
         [](const std::string& value, TContext& c, std::string& error) {
             in_addr address{};
             if (::inet_pton(AF_INET, value.c_str(), &address) != 1) {
                 error = "must be an IPv4 address such as 127.0.0.1";
                 return false;
             }
             c.config.modbus.listen = value;
             return true;
         }},
        {TSection::Modbus, "Port", number(1, 65535, [](TContext& c, int n) { c.config.modbus.port = n; })},
        {TSection::Line, "Device",
         [](const std::string& value, TContext& c, std::string& error) {
             if (value.empty() || !printable(value)) {
                 error = "must be a device path or a COM name";
                 return false;
             }
             c.line->device = value;
             return true;
         }},
        {TSection::Line, "Baud", plainSetting("baud")},
        {TSection::Line, "Parity", plainSetting("parity")},
        {TSection::Line, "DataBits", plainSetting("data-bits")},
        {TSection::Line, "StopBits", plainSetting("stop-bits")},
        {TSection::Line, "Digits", plainSetting("digits")},
        {TSection::Line, "Addresses",
         [](const std::string& value, TContext& c, std::string& error) {
             if (!parseAddressList(value, c.line->addresses)) {
                 error = "must be addresses from 0 to 31 and ranges, such as 1-8 or 1,2,5-9";
                 return false;
             }
             return true;
         }},
        {TSection::Line, "PeriodMs", number(100, 3600000, [](TContext& c, int n) { c.line->periodMs = n; })},
        {TSection::Line, "TimeoutMs", number(10, 60000, [](TContext& c, int n) { c.line->timeoutMs = n; })},
    };
    return table;
}

std::string keyNames(TSection section)
{
    std::string out;
    for (const TKey& k : keys())
        if (k.section == section)
            out += (out.empty() ? "" : ", ") + std::string(k.name);
    return out;
}

// Letters, digits, '-', '_' and '.': a topic level and an id for discovery.
bool goodLineName(const std::string& name)
{
    return !name.empty() && name.size() <= 64 && name != "bridge" && std::all_of(name.begin(), name.end(), [](char ch) {
        return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '-'
            || ch == '_' || ch == '.';
    });
}

} // namespace

bool parseBridgeConfig(const std::string& text, const std::string& path, TBridgeConfig& config, std::string& error)
{
    config = TBridgeConfig{};
    TContext context{config};
    TSection section = TSection::None;
    std::set<std::string> sectionsSeen;
    std::set<std::string> keysSeen;
    std::map<std::size_t, int> addressLines; // line index -> where its Addresses key is
    std::size_t start = 0;
    int lineNo = 0;
    const auto fail = [&](int at, const std::string& why) {
        error = path + cfmt(":%d: ", at) + why;
        return false;
    };
    // A line's section is whole once the next section starts: Device and Addresses are needed.
    const auto closeLine = [&]() {
        if (section != TSection::Line)
            return true;
        const TBridgeLine& l = config.lines.back();
        if (l.device.empty())
            return fail(l.sectionLine, "[Line " + l.name + "] has no Device key");
        if (l.addresses.empty())
            return fail(l.sectionLine, "[Line " + l.name + "] has no Addresses key");
        return true;
    };

    while (start < text.size()) {
        ++lineNo;
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string raw = text.substr(start, end - start);
        start = end + 1;
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        if (!validUtf8(raw) || raw.find('\0') != std::string::npos)
            return fail(lineNo, "is not UTF-8 text");
        const std::string line = trimmedText(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;

        if (line[0] == '[') {
            if (line.back() != ']')
                return fail(lineNo, "a section starts with '[' and ends with ']'");
            if (!closeLine())
                return false;
            const std::string name = trimmedText(line.substr(1, line.size() - 2));
            keysSeen.clear();
            if (name == "Broker") {
                section = TSection::Broker;
                config.broker.enabled = true;
            } else if (name == "Modbus") {
                section = TSection::Modbus;
                config.modbus.enabled = true;
            } else if (name.rfind("Line ", 0) == 0) {
                const std::string lineName = trimmedText(name.substr(5));
                if (!goodLineName(lineName))
                    return fail(lineNo, "[" + name + "]: a line's name is 1 to 64 letters, digits, '-', '_' or '.', "
                                        "and not \"bridge\"");
                section = TSection::Line;
                config.lines.push_back({});
                config.lines.back().name = lineName;
                config.lines.back().sectionLine = lineNo;
                resetToDefaults(config.lines.back().settings);
                context.line = &config.lines.back();
            } else {
                return fail(lineNo, "[" + escapedControls(name) + "] is no section; the sections are [Broker], [Modbus] "
                                    "and [Line NAME]");
            }
            const std::string key = section == TSection::Line ? "Line " + config.lines.back().name : name;
            if (!sectionsSeen.insert(key).second)
                return fail(lineNo, "[" + key + "] comes twice");
            continue;
        }

        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            return fail(lineNo, "\"" + escapedControls(line) + "\" is not KEY=VALUE");
        const std::string key = trimmedText(line.substr(0, eq));
        const std::string value = trimmedText(line.substr(eq + 1));
        if (section == TSection::None)
            return fail(lineNo, key + ": a key before any section");
        const auto k = std::find_if(keys().begin(), keys().end(),
                                    [&](const TKey& x) { return x.section == section && key == x.name; });
        if (k == keys().end())
            return fail(lineNo, escapedControls(key) + ": no such key here; the keys are " + keyNames(section));
        if (!keysSeen.insert(key).second)
            return fail(lineNo, key + ": given twice in this section");
        std::string why;
        if (!k->set(value, context, why))
            return fail(lineNo, key + ": " + why + ", not \"" + escapedControls(value) + "\"");
        if (key == "Addresses")
            addressLines[config.lines.size() - 1] = lineNo;
    }
    if (!closeLine())
        return false;
    if (config.lines.empty())
        return fail(lineNo, "no [Line NAME] section: the bridge has no display to read");
    if (!config.broker.enabled && !config.modbus.enabled)
        return fail(lineNo, "neither [Broker] nor [Modbus]: the readings would go nowhere");
    if (config.broker.certFile.empty() != config.broker.keyFile.empty())
        return fail(lineNo, std::string(config.broker.certFile.empty() ? "KeyFile" : "CertFile")
                                + ": a client certificate needs both CertFile and KeyFile");
    // Modbus unit ids are the addresses: one display each.
    if (config.modbus.enabled) {
        std::map<int, std::string> owner;
        for (std::size_t i = 0; i < config.lines.size(); ++i)
            for (std::uint8_t a : config.lines[i].addresses)
                if (!owner.emplace(a, config.lines[i].name).second)
                    return fail(addressLines[i], cfmt("Addresses: address %02d is also on line ", a) + owner[a]
                                                      + ", and a Modbus unit id names one display");
    }
    return true;
}

bool readBridgeConfig(const std::string& path, TBridgeConfig& config, std::string& error)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "cannot read " + path + ": not a regular file";
        return false;
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = "cannot read " + path + ": " + std::strerror(errno);
            return false;
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > kMaxFileBytes) {
            error = "cannot read " + path + cfmt(": it holds more than %zu bytes", kMaxFileBytes);
            return false;
        }
    }
    return parseBridgeConfig(text, path, config, error);
}
