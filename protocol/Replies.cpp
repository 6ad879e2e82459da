#include "protocol/Replies.h"

#include "base/Formats.h"
#include "protocol/Requests.h"

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

std::uint8_t lowNibble(std::uint8_t byte)
{
    return static_cast<std::uint8_t>(byte & 0x0F);
}

// Display values arrive as counts with the decimal point removed.
void readDisplayValue(const TPayload& p, std::size_t pos, std::uint8_t decimalPoint, double& value)
{
    static constexpr double kDivisor[] = {1.0, 10.0, 100.0, 1000.0, 10000.0};
    if (decimalPoint < std::size(kDivisor))
        value = textToDouble(p.text(pos, 7)) / kDivisor[decimalPoint];
}

// Sign, then units, then the tenths when the resolution is tenths of a degree.
double readOffset(const TPayload& p, std::uint8_t resolution)
{
    std::string text;
    text += static_cast<char>(p.at(59));
    text += static_cast<char>(p.at(58));
    if (resolution == 1)
        text += '.';
    text += static_cast<char>(p.at(57));
    return textToDouble(text);
}

// Blanks left out; 0xB4 is the display's "-1" segment pattern.
std::int32_t readSetpoint(const TPayload& p, std::size_t pos)
{
    std::string text;
    for (std::size_t i = pos; i < pos + 5; ++i) {
        const std::uint8_t c = p.at(i);
        if (c == ' ')
            continue;
        if (c == 0xB4)
            text += "-1";
        else
            text += static_cast<char>(c);
    }
    return textToInt(text);
}

void readRelay(const TPayload& p, std::size_t pos, char number, TRelayFields r)
{
    if (p.group(pos, 'R', number, 2)) {
        r.DelayType = static_cast<char>(p.at(pos + 2));
        r.TriggerLevel = static_cast<char>(p.at(pos + 3));
        r.Enabled = p.at(pos + 3) == '2' ? 0 : 1;
    }
    if (p.group(pos + 4, 'H', number, 3))
        r.Delay = textToInt(p.text(pos + 6, 3));
    if (p.group(pos + 9, 'S', number, 5))
        r.Setpoint = readSetpoint(p, pos + 11);
}

// Item n (0-based) of the calibration reply goes to this box (0-based):
// the form numbers the two PT100 boxes of the first row crosswise.
constexpr std::array<std::size_t, kCalibrationItems> kCalibrationBox = {0,  1,  2,  3,  4,  6,  5,  7,  8,
                                                                       9, 10, 11, 12, 13, 14, 15, 16, 17};

} // namespace

TReplyCheck checkReply(std::span<const std::uint8_t> reply, std::span<const std::uint8_t> request)
{
    const TPayload p(reply);
    if (!p.has(0, 3) || request.size() < 4)
        return TReplyCheck::WrongAddress;
    for (std::size_t i = 0; i < 3; ++i)
        if (p.at(i) != request[i])
            return TReplyCheck::WrongAddress;
    const char letter = static_cast<char>(request[3]);
    if (letter == kLetterDisplayReading || p.tag(3, 'R', letter))
        return TReplyCheck::Accepted;
    return TReplyCheck::WrongLetters;
}

void parseAnalogParamsReply(std::span<const std::uint8_t> reply, TDisplayConfig& cfg)
{
    const TPayload p(reply);
    if (p.has(5, 2)) {
        cfg.InputMode = lowNibble(p.at(5));
        cfg.ProcessInput = lowNibble(p.at(6));
    }
    if (p.group(43, 'P', 'D', 1))
        cfg.DecimalPoint = lowNibble(p.at(45));
    if (p.group(7, 'I', '1', 7))
        cfg.InputValue1 = textToDouble(p.text(9, 7));
    if (p.group(16, 'D', '1', 7))
        readDisplayValue(p, 18, cfg.DecimalPoint, cfg.DisplayValue1);
    if (p.group(25, 'I', '2', 7))
        cfg.InputValue2 = textToDouble(p.text(27, 7));
    if (p.group(34, 'D', '2', 7))
        readDisplayValue(p, 36, cfg.DecimalPoint, cfg.DisplayValue2);
    if (p.group(46, 'T', 'T', 1))
        cfg.ProbeType = lowNibble(p.at(48));
    if (p.group(49, 'U', 'M', 1))
        cfg.TempUnits = lowNibble(p.at(51));
    if (p.group(52, 'R', 'E', 1))
        cfg.Resolution = lowNibble(p.at(54));
    if (p.group(55, 'O', 'F', 3))
        cfg.TempOffset = readOffset(p, cfg.Resolution);
    readRelay(p, 63, '1', cfg.relay(1));
    readRelay(p, 79, '2', cfg.relay(2));
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
