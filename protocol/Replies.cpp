#include "protocol/Replies.h"

#include "base/Formats.h"
#include "config/RecordFields.h"
#include "protocol/Requests.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace {

// The payload of a reply: the bytes before its final CR.
class TPayload {
public:
    explicit TPayload(std::span<const std::uint8_t> reply)
        : bytes_(reply.empty() ? reply : reply.first(reply.size() - 1))
    {
    }

    // True when offsets pos .. pos+count-1 all lie before the CR.
    bool has(std::size_t pos, std::size_t count) const { return pos + count <= bytes_.size(); }

    std::uint8_t at(std::size_t pos) const { return bytes_[pos]; }

    bool tag(std::size_t pos, char a, char b) const
    {
        return has(pos, 2) && bytes_[pos] == static_cast<std::uint8_t>(a) &&
               bytes_[pos + 1] == static_cast<std::uint8_t>(b);
    }

    // A tag and the `count` bytes after it, all before the CR.
    bool group(std::size_t pos, char a, char b, std::size_t count) const
    {
        return tag(pos, a, b) && has(pos + 2, count);
    }

    std::string text(std::size_t pos, std::size_t count) const
    {
        return std::string(reinterpret_cast<const char*>(bytes_.data() + pos), count);
    }

private:
    std::span<const std::uint8_t> bytes_;
};

using C = TDisplayConfig;

// The names of the fields a 'P' reply can carry, in record order.
const std::vector<const char*>& replyFields()
{
    static const std::vector<const char*> names = [] {
        std::vector<const char*> out;
        for (const TRecordField& f : recordFields())
            if (f.carriedBy(kInParamsReply))
                out.push_back(f.name);
        return out;
    }();
    return names;
}

bool contains(const std::vector<const char*>& names, const char* name)
{
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return std::string_view(n) == name; });
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Blanks, a sign, digits with at most one point (when `point`), blanks: the
// whole text, with at least one digit. What atof or atol would read only in
// part ("12x0", "1e44", " 0?") or not at all is not.
bool isDecimalText(const std::string& text, bool point)
{
    std::size_t i = text.find_first_not_of(' ');
    const std::size_t end = text.find_last_not_of(' ') + 1;
    if (i == std::string::npos)
        return false;
    if (text[i] == '+' || text[i] == '-')
        ++i;
    bool digits = false;
    bool pointSeen = !point;
    for (; i < end; ++i) {
        if (isDigit(text[i]))
            digits = true;
        else if (text[i] == '.' && !pointSeen)
            pointSeen = true;
        else
            return false;
    }
    return digits;
}

// The parser's walk through one reply: it writes the fields into the
// configuration and notes what it found.
class TParamsParse {
public:
    TParamsParse(std::span<const std::uint8_t> reply, TDisplayConfig& cfg) : p_(reply), cfg_(cfg) {}

    TParamsReplyContents run();

private:
    void carried(const char* field) { found_.push_back(field); }
    void unreadable(const char* field, std::string text) { out_.unreadable.push_back({field, std::move(text)}); }
    void digit(std::uint8_t C::*member, std::size_t pos);
    double decimal(const char* field, std::size_t pos);
    void inputValue(double C::*member, std::size_t pos);
    void displayValue(double C::*member, std::size_t pos);
    void offset();
    void relay(std::size_t pos, char number);
    std::int32_t setpoint(const char* field, std::size_t pos);
    const char* nameAt(const void* member) const { return recordFieldAt(cfg_, member).name; }

    TPayload p_;
    TDisplayConfig& cfg_;
    std::vector<const char*> found_;
    TParamsReplyContents out_;
};

// A digit whose low four bits are the value.
void TParamsParse::digit(std::uint8_t C::*member, std::size_t pos)
{
    const std::uint8_t byte = p_.at(pos);
    const char* field = recordField(member).name;
    carried(field);
    if (!isDigit(static_cast<char>(byte)))
        unreadable(field, p_.text(pos, 1));
    cfg_.*member = static_cast<std::uint8_t>(byte & 0x0F);
}

// Seven characters of decimal text.
double TParamsParse::decimal(const char* field, std::size_t pos)
{
    const std::string text = p_.text(pos, 7);
    carried(field);
    if (!isDecimalText(text, true))
        unreadable(field, text);
    return textToDouble(text);
}

void TParamsParse::inputValue(double C::*member, std::size_t pos)
{
    cfg_.*member = decimal(recordField(member).name, pos);
}

// Display values arrive as counts with the decimal point removed.
void TParamsParse::displayValue(double C::*member, std::size_t pos)
{
    static constexpr double kDivisor[] = {1.0, 10.0, 100.0, 1000.0, 10000.0};
    const double count = decimal(recordField(member).name, pos);
    if (cfg_.DecimalPoint < std::size(kDivisor))
        cfg_.*member = count / kDivisor[cfg_.DecimalPoint];
}

// Units and tenths (or tens and units), then the sign: least significant
// first. The text is the sign, the next digit, a point when the resolution is
// tenths of a degree, and the first digit.
void TParamsParse::offset()
{
    const char sign = static_cast<char>(p_.at(59));
    const char high = static_cast<char>(p_.at(58));
    const char low = static_cast<char>(p_.at(57));
    std::string text{sign, high};
    if (cfg_.Resolution == 1)
        text += '.';
    text += low;
    const char* field = recordField(&C::TempOffset).name;
    carried(field);
    if ((sign != ' ' && sign != '+' && sign != '-') || !isDigit(high) || !isDigit(low))
        unreadable(field, p_.text(57, 3));
    cfg_.TempOffset = textToDouble(text);
}

// Blanks left out; 0xB4 is the display's "-1" segment pattern.
std::int32_t TParamsParse::setpoint(const char* field, std::size_t pos)
{
    std::string text;
    for (std::size_t i = pos; i < pos + 5; ++i) {
        const std::uint8_t c = p_.at(i);
        if (c == ' ')
            continue;
        if (c == 0xB4)
            text += "-1";
        else
            text += static_cast<char>(c);
    }
    carried(field);
    if (!isDecimalText(text, false))
        unreadable(field, p_.text(pos, 5));
    return textToInt(text);
}

void TParamsParse::relay(std::size_t pos, char number)
{
    TRelayFields r = cfg_.relay(number - '0');
    if (p_.group(pos, 'R', number, 2)) {
        r.DelayType = static_cast<char>(p_.at(pos + 2));
        r.TriggerLevel = static_cast<char>(p_.at(pos + 3));
        r.Enabled = p_.at(pos + 3) == '2' ? 0 : 1;
        carried(nameAt(&r.Enabled));
        carried(nameAt(&r.DelayType));
        carried(nameAt(&r.TriggerLevel));
    }
    if (p_.group(pos + 4, 'H', number, 3)) {
        const char* field = nameAt(&r.Delay);
        const std::string text = p_.text(pos + 6, 3);
        carried(field);
        if (!isDecimalText(text, false))
            unreadable(field, text);
        r.Delay = textToInt(text);
    }
    if (p_.group(pos + 9, 'S', number, 5))
        r.Setpoint = setpoint(nameAt(&r.Setpoint), pos + 11);
}

TParamsReplyContents TParamsParse::run()
{
    if (p_.has(5, 2)) {
        digit(&C::InputMode, 5);
        digit(&C::ProcessInput, 6);
    }
    if (p_.group(43, 'P', 'D', 1))
        digit(&C::DecimalPoint, 45);
    if (p_.group(7, 'I', '1', 7))
        inputValue(&C::InputValue1, 9);
    if (p_.group(16, 'D', '1', 7))
        displayValue(&C::DisplayValue1, 18);
    if (p_.group(25, 'I', '2', 7))
        inputValue(&C::InputValue2, 27);
    if (p_.group(34, 'D', '2', 7))
        displayValue(&C::DisplayValue2, 36);
    if (p_.group(46, 'T', 'T', 1))
        digit(&C::ProbeType, 48);
    if (p_.group(49, 'U', 'M', 1))
        digit(&C::TempUnits, 51);
    if (p_.group(52, 'R', 'E', 1))
        digit(&C::Resolution, 54);
    if (p_.group(55, 'O', 'F', 3))
        offset();
    relay(63, '1');
    relay(79, '2');

    // Record order, whatever order the groups were read in.
    const std::vector<const char*>& fields = replyFields();
    const auto rank = [&](const char* field) {
        return std::find_if(fields.begin(), fields.end(), [&](const char* f) { return std::string_view(f) == field; })
            - fields.begin();
    };
    for (const char* field : fields)
        if (contains(found_, field))
            out_.carried.push_back(field);
    std::stable_sort(out_.unreadable.begin(), out_.unreadable.end(),
                     [&](const TUnreadableField& a, const TUnreadableField& b) { return rank(a.field) < rank(b.field); });
    return std::move(out_);
}

// Item n (0-based) of the calibration reply goes to this box (0-based):
// the form numbers the two PT100 boxes of the first row crosswise.
constexpr std::array<std::size_t, kCalibrationItems> kCalibrationBox = {0,  1,  2,  3,  4,  6,  5,  7,  8,
                                                                       9, 10, 11, 12, 13, 14, 15, 16, 17};

} // namespace

TReplyCheck checkReply(std::span<const std::uint8_t> reply, std::span<const std::uint8_t> request)
{
    const TPayload p(reply);
    // Bytes that do not begin as a reply does are noise: they name no address.
    const bool frame = p.has(0, 4) && p.at(0) == '@' && isDigit(static_cast<char>(p.at(1)))
        && isDigit(static_cast<char>(p.at(2))) && p.at(3) == 'R';
    if (!p.has(0, 3) || request.size() < 4)
        return frame ? TReplyCheck::WrongAddress : TReplyCheck::Noise;
    for (std::size_t i = 0; i < 3; ++i)
        if (p.at(i) != request[i])
            return frame ? TReplyCheck::WrongAddress : TReplyCheck::Noise;
    const char letter = static_cast<char>(request[3]);
    if (letter == kLetterDisplayReading || p.tag(3, 'R', letter))
        return TReplyCheck::Accepted;
    return TReplyCheck::WrongLetters;
}

std::span<const char* const> paramsReplyFields()
{
    return replyFields();
}

std::vector<const char*> TParamsReplyContents::missing() const
{
    std::vector<const char*> out;
    for (const char* field : replyFields())
        if (!contains(carried, field))
            out.push_back(field);
    return out;
}

TParamsReplyContents parseAnalogParamsReply(std::span<const std::uint8_t> reply, TDisplayConfig& cfg)
{
    return TParamsParse(reply, cfg).run();
}

TDisplayReading parseDisplayReadingReply(std::span<const std::uint8_t> reply)
{
    const TPayload p(reply);
    TDisplayReading reading;
    if (p.group(3, 'R', kLetterDisplayReading, 8)) {
        std::string value = p.text(5, 8);
        value.resize(value.find('\0') == std::string::npos ? value.size() : value.find('\0'));
        reading.value = std::move(value);
    }
    if (p.group(13, 'R', 'R', 2))
        reading.relays = std::array<bool, 2>{p.at(15) == '1', p.at(16) == '1'};
    return reading;
}

TCalibrationTexts parseCalibrationReply(std::span<const std::uint8_t> reply)
{
    const TPayload p(reply);
    TCalibrationTexts texts;
    for (std::size_t n = 0; n < kCalibrationItems; ++n) {
        const std::size_t pos = 5 + 7 * n;
        const char digit = static_cast<char>('1' + n % 9);
        const char letter = n < 9 ? 'C' : 'D';
        const bool last = n == kCalibrationItems - 1;
        // The last item uses four value characters and shows a point before the fourth.
        if (!p.group(pos, digit, letter, last ? 4 : 5))
            continue;
        std::string text = p.text(pos + 2, last ? 4 : 5);
        if (last)
            text.insert(3, 1, '.');
        texts[kCalibrationBox[n]] = std::move(text);
    }
    return texts;
}
