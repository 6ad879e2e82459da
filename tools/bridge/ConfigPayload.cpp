#include "tools/bridge/ConfigPayload.h"

#include <algorithm>
#include <set>

#include "base/Formats.h"
#include "config/FieldEdits.h"
#include "config/PlainFields.h"
#include "config/RecordFields.h"
#include "protocol/Requests.h"
#include "tools/bridge/BridgeTexts.h"
#include "tools/ctl/JsonText.h"

using namespace bridgetext;

namespace {

class TJsonReader {
public:
    TJsonReader(std::string_view text, TLanguage language) : s_(text), language_(language) {}

    void blanks()
    {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
            ++i_;
    }
    bool take(char c)
    {
        blanks();
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    bool atEnd()
    {
        blanks();
        return i_ == s_.size();
    }
    char peek()
    {
        blanks();
        return i_ < s_.size() ? s_[i_] : '\0';
    }

    // A string with its escapes resolved; control characters and \u escapes
    // outside printable ASCII are refused: no name or value needs them.
    bool string(std::string& out, std::string& error)
    {
        if (!take('"')) {
            error = say(kNotString, language_);
            return false;
        }
        out.clear();
        while (i_ < s_.size()) {
            const char c = s_[i_++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20) {
                error = say(kControlCharacter, language_);
                return false;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i_ >= s_.size())
                break;
            const char e = s_[i_++];
            const std::string_view simple = "\"\\/";
            if (simple.find(e) != std::string_view::npos) {
                out += e;
            } else if (e == 'u' && i_ + 4 <= s_.size()
                       && std::all_of(s_.begin() + static_cast<std::ptrdiff_t>(i_),
                                      s_.begin() + static_cast<std::ptrdiff_t>(i_ + 4),
                                      [](char h) { return std::isxdigit(static_cast<unsigned char>(h)); })) {
                const long code = std::strtol(std::string(s_.substr(i_, 4)).c_str(), nullptr, 16);
                i_ += 4;
                if (code < 0x20 || code > 0x7E) {
                    error = say(kEscapedCharacter, language_);
                    return false;
                }
                out += static_cast<char>(code);
            } else {
                error = say(kOtherEscape, language_);
                return false;
            }
        }
        error = say(kNoStringEnd, language_);
        return false;
    }

    // A JSON number, as its text.
    bool number(std::string& out, std::string& error)
    {
        blanks();
        const std::size_t from = i_;
        if (i_ < s_.size() && s_[i_] == '-')
            ++i_;
        const std::size_t digits = i_;
        while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9')
            ++i_;
        const bool leadingZero = i_ - digits > 1 && s_[digits] == '0';
        bool fractionOk = true;
        if (i_ < s_.size() && s_[i_] == '.') {
            const std::size_t fraction = ++i_;
            while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9')
                ++i_;
            fractionOk = i_ > fraction;
        }
        if (i_ == digits || leadingZero || !fractionOk) {
            error = say(kNotValue, language_);
            return false;
        }
        // An exponent is JSON, but no field of the display is written so.
        if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
            error = say(kExponent, language_);
            return false;
        }
        out = std::string(s_.substr(from, i_ - from));
        return true;
    }

private:
    std::string_view s_;
    TLanguage language_;
    std::size_t i_ = 0;
};

// The record fields a name stands for, by its record name or its plain name.
std::vector<const TRecordField*> recordFieldsOf(const std::string& name)
{
    if (const TRecordField* f = findRecordField(name))
        return {f};
    return plainFields(name);
}

// Text that JSON reads as a number, as it is.
bool jsonNumberText(const std::string& text)
{
    TJsonReader r(text, kEnglish);
    std::string number;
    std::string error;
    return r.number(number, error) && r.atEnd();
}

bool carried(const TRecordField* field)
{
    return field->carriedBy(kInConfigRequest);
}

} // namespace

bool parseConfigPayload(std::string_view json, TLanguage language, std::vector<std::string>& assignments,
                        std::string& error)
{
    assignments.clear();
    if (json.size() > kMaxConfigPayload) {
        error = say(kPayloadTooBig, language, {std::to_string(kMaxConfigPayload)});
        return false;
    }
    if (!validUtf8(json)) {
        error = say(kPayloadNotUtf8, language);
        return false;
    }
    TJsonReader r(json, language);
    if (!r.take('{')) {
        error = say(kNotObject, language);
        return false;
    }
    std::set<std::string> names;
    if (!r.take('}')) {
        for (;;) {
            std::string name;
            std::string value;
            if (!r.string(name, error))
                return false;
            if (!r.take(':')) {
                error = say(kNoColon, language);
                return false;
            }
            const char next = r.peek();
            if (next == '"' ? !r.string(value, error) : !r.number(value, error))
                return false;
            if (!names.insert(name).second) {
                error = say(kNameTwice, language, {escapedControls(name)});
                return false;
            }
            if (name.empty() || name.find('=') != std::string::npos) {
                error = say(kNoFieldName, language, {escapedControls(name)});
                return false;
            }
            assignments.push_back(name + "=" + value);
            if (r.take('}'))
                break;
            if (!r.take(',')) {
                error = say(kNoComma, language);
                return false;
            }
        }
    }
    if (!r.atEnd()) {
        error = say(kBytesAfter, language);
        return false;
    }
    if (assignments.empty()) {
        error = say(kNoField, language);
        return false;
    }
    return true;
}

bool applyConfigPayload(std::string_view json, TLanguage language, TDisplayConfig& cfg, std::string& error)
{
    std::vector<std::string> assignments;
    if (!parseConfigPayload(json, language, assignments, error))
        return false;
    for (const std::string& a : assignments) {
        const std::string name = a.substr(0, a.find('='));
        const std::vector<const TRecordField*> fields = recordFieldsOf(name);
        if (!fields.empty() && !std::all_of(fields.begin(), fields.end(), carried)) {
            error = say(kNotSent, language, {name});
            return false;
        }
    }
    TDisplayConfig changed = cfg;
    if (!applyAssignments(assignments, language, changed, error))
        return false;
    const TFrameCheck check = checkConfigRequest(changed);
    if (check.fault != TFrameFault::None) {
        error = say(kCannotGoOut, language, {check.field, check.sent});
        return false;
    }
    cfg = changed;
    return true;
}

std::string configPayloadJson(const TDisplayConfig& cfg)
{
    std::string out = "{";
    for (const TPlainLine& line : plainLines(cfg, [](const TRecordField& f) { return carried(&f); }))
        out += (out.size() > 1 ? "," : "") + jsonString(line.name) + ":"
            + (line.number && jsonNumberText(line.value) ? line.value : jsonString(line.value));
    return out + "}";
}
