#include "tools/bridge/BridgeConfig.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "base/Failure.h"
#include "base/Formats.h"
#include "base/UniqueFd.h"
#include "config/LineFormat.h"
#include "config/PlainFields.h"
#include "config/RecordFields.h"
#include "tools/bridge/BridgeTexts.h"
#include "tools/ctl/Addresses.h"
#include "tools/ctl/JsonText.h"

using namespace bridgetext;

namespace {

constexpr std::size_t kMaxFileBytes = 1 << 20;

enum class TSection { None, Bridge, Broker, Modbus, Line };

struct TContext {
    TBridgeConfig& config;
    TBridgeLine* line = nullptr;
    TLanguage language = TLanguage::English;
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
            error = say(kWhole, c.language, {std::to_string(low), std::to_string(high)});
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
            error = say(kMustBe, c.language, {orList({"true", "false"}, c.language)});
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
            error = say(kOneWord, c.language);
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
            error = say(kFilePath, c.language);
            return false;
        }
        if (::stat(value.c_str(), &st) != 0 || ::access(value.c_str(), R_OK) != 0) {
            error = say(kCannotRead, c.language, {value, errorWords(errno, c.language)});
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            error = say(kCannotRead, c.language, {value, notRegularWords(c.language)});
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
            error = say(kTopicLevels, c.language);
            return false;
        }
        c.config.broker.*member = value;
        return true;
    };
}

// A line setting by its plain name, as dadizctl takes it ("baud=9600"); `allowed` says what it takes.
TSetter plainSetting(const char* plainName, std::function<std::string(TLanguage language)> allowed)
{
    return [=](const std::string& value, TContext& c, std::string& error) {
        std::vector<TRecordAssignment> out;
        std::string why;
        if (expandPlain(plainName, value, c.language, out, why) != TPlainParse::Done || out.size() != 1) {
            error = allowed(c.language);
            return false;
        }
        c.line->settings.*(out[0].field->u8) = static_cast<std::uint8_t>(textToInt(out[0].text));
        return true;
    };
}

TSetter listSetting(const char* plainName, std::vector<std::string> (*words)())
{
    return plainSetting(plainName, [words](TLanguage language) { return say(kMustBe, language, {orList(words(), language)}); });
}

// The displays' digits, as the record counts them.
std::string digitsAllowed(TLanguage language)
{
    const TRecordField& field = recordField(&TDisplayConfig::DigitsIndex);
    return say(kWhole, language, {std::to_string(field.countBase), std::to_string(field.limits({}).high + field.countBase)});
}

const std::vector<TKey>& keys()
{
    using B = TBrokerSettings;
    static const std::vector<TKey> table = {
        // Read before the rest of the file (fileLanguage); here only checked.
        {TSection::Bridge, "Language",
         [](const std::string& value, TContext& c, std::string& error) {
             if (!languageOfCode(value)) {
                 error = say(kMustBe, c.language, {languageCodes(c.language)});
                 return false;
             }
             return true;
         }},
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
                 error = say(kIpv4, c.language);
                 return false;
             }
             c.config.modbus.listen = value;
             return true;
         }},
        {TSection::Modbus, "Port", number(1, 65535, [](TContext& c, int n) { c.config.modbus.port = n; })},
        {TSection::Line, "Device",
         [](const std::string& value, TContext& c, std::string& error) {
             if (value.empty() || !printable(value)) {
                 error = say(kDevicePath, c.language);
                 return false;
             }
             c.line->device = value;
             return true;
         }},
        {TSection::Line, "Baud", listSetting("baud", speedWords)},
        {TSection::Line, "Parity", listSetting("parity", parityWords)},
        {TSection::Line, "DataBits", listSetting("data-bits", dataBitsWords)},
        {TSection::Line, "StopBits", listSetting("stop-bits", stopBitsWords)},
        {TSection::Line, "Digits", plainSetting("digits", digitsAllowed)},
        {TSection::Line, "Addresses",
         [](const std::string& value, TContext& c, std::string& error) {
             if (!parseAddressList(value, c.line->addresses)) {
                 error = say(kAddressList, c.language);
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

// The next line of `text` from `start`, without its CR LF; false at the end.
bool nextLine(const std::string& text, std::size_t& start, std::string& line)
{
    if (start >= text.size())
        return false;
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos)
        end = text.size();
    line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

// The language Language= of [Bridge] names, looked for before the rest of the
// file is checked so that what is wrong anywhere in it is said in that language.
std::optional<TLanguage> fileLanguage(const std::string& text)
{
    bool inBridge = false;
    std::size_t start = 0;
    for (std::string raw; nextLine(text, start, raw);) {
        const std::string line = trimmedText(raw);
        if (!line.empty() && line[0] == '[') {
            inBridge = line.size() >= 2 && line.back() == ']' && trimmedText(line.substr(1, line.size() - 2)) == "Bridge";
        } else if (const std::size_t eq = line.find('='); inBridge && eq != std::string::npos
                   && trimmedText(line.substr(0, eq)) == "Language") {
            return languageOfCode(trimmedText(line.substr(eq + 1)));
        }
    }
    return std::nullopt;
}

} // namespace

bool parseBridgeConfig(const std::string& text, const std::string& path, std::optional<TLanguage> language,
                       TBridgeConfig& config, std::string& error)
{
    config = TBridgeConfig{};
    config.language = language ? *language : fileLanguage(text).value_or(kEnglish);
    const TLanguage l = config.language;
    TContext context{config, nullptr, l};
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
        const TBridgeLine& b = config.lines.back();
        if (b.device.empty())
            return fail(b.sectionLine, say(kMissingKey, l, {b.name, "Device"}));
        if (b.addresses.empty())
            return fail(b.sectionLine, say(kMissingKey, l, {b.name, "Addresses"}));
        return true;
    };

    for (std::string raw; nextLine(text, start, raw);) {
        ++lineNo;
        if (!validUtf8(raw) || raw.find('\0') != std::string::npos)
            return fail(lineNo, say(kNotUtf8, l));
        const std::string line = trimmedText(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;

        if (line[0] == '[') {
            if (line.back() != ']')
                return fail(lineNo, say(kBrackets, l));
            if (!closeLine())
                return false;
            const std::string name = trimmedText(line.substr(1, line.size() - 2));
            keysSeen.clear();
            if (name == "Bridge") {
                section = TSection::Bridge;
            } else if (name == "Broker") {
                section = TSection::Broker;
                config.broker.enabled = true;
            } else if (name == "Modbus") {
                section = TSection::Modbus;
                config.modbus.enabled = true;
            } else if (name.rfind("Line ", 0) == 0) {
                const std::string lineName = trimmedText(name.substr(5));
                if (!goodLineName(lineName))
                    return fail(lineNo, say(kLineName, l, {name}));
                section = TSection::Line;
                config.lines.push_back({});
                config.lines.back().name = lineName;
                config.lines.back().sectionLine = lineNo;
                resetToDefaults(config.lines.back().settings);
                context.line = &config.lines.back();
            } else {
                return fail(lineNo, say(kNoSuchSection, l, {escapedControls(name)}));
            }
            const std::string key = section == TSection::Line ? "Line " + config.lines.back().name : name;
            if (!sectionsSeen.insert(key).second)
                return fail(lineNo, say(kSectionTwice, l, {key}));
            continue;
        }

        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            return fail(lineNo, say(kNotKeyValue, l, {escapedControls(line)}));
        const std::string key = trimmedText(line.substr(0, eq));
        const std::string value = trimmedText(line.substr(eq + 1));
        if (section == TSection::None)
            return fail(lineNo, say(kKeyBeforeSection, l, {escapedControls(key)}));
        const auto k = std::find_if(keys().begin(), keys().end(),
                                    [&](const TKey& x) { return x.section == section && key == x.name; });
        if (k == keys().end())
            return fail(lineNo, say(kNoSuchKey, l, {escapedControls(key), keyNames(section)}));
        if (!keysSeen.insert(key).second)
            return fail(lineNo, say(kKeyTwice, l, {key}));
        std::string why;
        if (!k->set(value, context, why))
            return fail(lineNo, say(kValueRefused, l, {key, why, escapedControls(value)}));
        if (key == "Addresses")
            addressLines[config.lines.size() - 1] = lineNo;
    }
    if (!closeLine())
        return false;
    if (config.lines.empty())
        return fail(lineNo, say(kNoLine, l));
    if (!config.broker.enabled && !config.modbus.enabled)
        return fail(lineNo, say(kNowhere, l));
    if (config.broker.certFile.empty() != config.broker.keyFile.empty())
        return fail(lineNo, say(kCertPair, l, {config.broker.certFile.empty() ? "KeyFile" : "CertFile"}));
    // Modbus unit ids are the addresses: one display each.
    if (config.modbus.enabled) {
        std::map<int, std::string> owner;
        for (std::size_t i = 0; i < config.lines.size(); ++i)
            for (std::uint8_t a : config.lines[i].addresses)
                if (!owner.emplace(a, config.lines[i].name).second)
                    return fail(addressLines[i], say(kUnitTwice, l, {cfmt("%02d", a), owner[a]}));
    }
    return true;
}

bool readBridgeConfig(const std::string& path, std::optional<TLanguage> language, TBridgeConfig& config, std::string& error)
{
    const TLanguage l = language.value_or(kEnglish);
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) {
        error = say(kCannotRead, l, {path, errorWords(errno, l)});
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = say(kCannotRead, l, {path, notRegularWords(l)});
        return false;
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = say(kCannotRead, l, {path, errorWords(errno, l)});
            return false;
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > kMaxFileBytes) {
            error = say(kCannotRead, l, {path, say(kTooBig, l, {std::to_string(kMaxFileBytes)})});
            return false;
        }
    }
    return parseBridgeConfig(text, path, language, config, error);
}
