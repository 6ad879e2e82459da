#include "protocol/Requests.h"

#include "base/Formats.h"
#include "config/RecordFields.h"

#include <algorithm>
#include <cmath>

namespace {

// First six characters of `text`, then its seventh or '*' when it has only six.
// Every conversion used yields at least six characters; a shorter text is
// padded with blanks rather than read past its end.
void putNumberField(std::uint8_t* out, const std::string& text)
{
    for (std::size_t i = 0; i < 6; ++i)
        out[i] = static_cast<std::uint8_t>(i < text.size() ? text[i] : ' ');
    out[6] = static_cast<std::uint8_t>(text.size() > 6 ? text[6] : '*');
}

void putTag(std::uint8_t* out, char a, char b)
{
    out[0] = static_cast<std::uint8_t>(a);
    out[1] = static_cast<std::uint8_t>(b);
}

// The first `count` characters of `text`, blanks if it is shorter.
void putPrefix(std::uint8_t* out, const std::string& text, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<std::uint8_t>(i < text.size() ? text[i] : ' ');
}

// A number whose text reads as zero goes out without a sign: minus zero
// would give "+-0.000", "-0.000" or "-0".
std::string zeroWithoutSign(double value, const std::string& text, const char* format)
{
    if (!std::isfinite(value) || text.find_first_of("123456789") != std::string::npos)
        return text;
    return cfmt(format, 0.0);
}

std::string inputValueText(double value)
{
    const std::string text = value >= 0.0 ? cfmt("+%6.3f", value) : cfmt("%6.3f", value);
    return zeroWithoutSign(value, text, "+%6.3f");
}

// The display has at most four decimals: a larger position scales as four
// instead of leaving the field without a text of its own.
double displayScale(std::uint8_t decimalPoint)
{
    static constexpr double kScale[] = {1.0, 10.0, 100.0, 1000.0, 10000.0};
    return kScale[sentDecimalPoint(decimalPoint)];
}

std::string displayValueText(double value, std::uint8_t decimalPoint)
{
    const double scaled = value * displayScale(decimalPoint);
    return zeroWithoutSign(scaled, cfmt("%6.0f", scaled), "%6.0f");
}

std::string offsetText(double offset)
{
    return zeroWithoutSign(offset, cfmt("%05.1f", offset), "%05.1f");
}

// Position of the offset's point in its text, 7 when there is none.
std::size_t offsetPoint(const std::string& t)
{
    for (std::size_t i = 0; i < 7 && i < t.size(); ++i)
        if (t[i] == '.')
            return i;
    return 7;
}

std::uint8_t digitChar(std::uint8_t value)
{
    return static_cast<std::uint8_t>(value | 0x30);
}

char charAt(const std::string& text, std::size_t pos)
{
    return pos < text.size() ? text[pos] : '0';
}

// Sign and two digits of the offset: tens and units in whole degrees, units
// and tenths in tenths of a degree, taken around the point of "%05.1f".
void putOffset(std::uint8_t* out, double offset, std::uint8_t resolution)
{
    const std::string t = offsetText(offset);
    const std::size_t k = offsetPoint(t);
    out[0] = static_cast<std::uint8_t>(!t.empty() && t[0] == '-' ? '-' : ' ');
    if (resolution == 0) {
        out[1] = static_cast<std::uint8_t>(charAt(t, k - 2));
        out[2] = static_cast<std::uint8_t>(charAt(t, k - 1));
    } else {
        out[1] = static_cast<std::uint8_t>(charAt(t, k - 1));
        out[2] = static_cast<std::uint8_t>(charAt(t, k + 1));
    }
}

void putRelay(std::uint8_t* out, char number, TConstRelayFields r)
{
    putTag(out, 'R', number);
    out[2] = static_cast<std::uint8_t>(r.DelayType);
    out[3] = static_cast<std::uint8_t>(r.Enabled == 1 ? r.TriggerLevel : '2');
    putTag(out + 4, 'H', number);
    putPrefix(out + 6, cfmt("%03d", r.Delay), 3);
    putTag(out + 9, 'S', number);
    putPrefix(out + 11, cfmt("%06d", r.Setpoint), 6);
}

} // namespace

std::array<char, 2> addressDigits(std::uint8_t address)
{
    const std::string text = cfmt("%02d", static_cast<int>(static_cast<std::int8_t>(address)));
    return {text[0], text[1]};
}

TReadRequest buildReadRequest(std::uint8_t address, char letter)
{
    const auto digits = addressDigits(address);
    return {'@', static_cast<std::uint8_t>(digits[0]), static_cast<std::uint8_t>(digits[1]),
            static_cast<std::uint8_t>(letter), kCR};
}

TConfigRequest buildConfigRequest(const TDisplayConfig& cfg)
{
    TConfigRequest f{};
    const auto digits = addressDigits(cfg.Address);
    f[0] = '@';
    f[1] = static_cast<std::uint8_t>(digits[0]);
    f[2] = static_cast<std::uint8_t>(digits[1]);
    f[3] = static_cast<std::uint8_t>(kLetterSendConfig);
    f[4] = cfg.ProcessInput == 0 ? '0' : '1';
    putTag(&f[5], 'I', '1');
    putNumberField(&f[7], inputValueText(cfg.InputValue1));
    putTag(&f[14], 'D', '1');
    putNumberField(&f[16], displayValueText(cfg.DisplayValue1, cfg.DecimalPoint));
    putTag(&f[23], 'I', '2');
    putNumberField(&f[25], inputValueText(cfg.InputValue2));
    putTag(&f[32], 'D', '2');
    putNumberField(&f[34], displayValueText(cfg.DisplayValue2, cfg.DecimalPoint));
    putTag(&f[41], 'P', 'D');
    f[43] = digitChar(sentDecimalPoint(cfg.DecimalPoint));
    putTag(&f[44], 'T', 'T');
    f[46] = digitChar(cfg.ProbeType);
    putTag(&f[47], 'U', 'M');
    f[49] = digitChar(cfg.TempUnits);
    putTag(&f[50], 'R', 'E');
    f[52] = digitChar(cfg.Resolution);
    putTag(&f[53], 'O', 'F');
    putOffset(&f[55], cfg.TempOffset, cfg.Resolution);
    putRelay(&f[58], '1', cfg.relay(1));
    putRelay(&f[75], '2', cfg.relay(2));
    f[92] = kCR;
    return f;
}

std::uint8_t sentDecimalPoint(std::uint8_t decimalPoint)
{
    return std::min<std::uint8_t>(decimalPoint, 4);
}

int sentInputDecimals(double value)
{
    std::uint8_t field[7];
    putNumberField(field, inputValueText(value));
    int decimals = 0;
    bool afterPoint = false;
    for (std::size_t i = 0; i < 7 && field[i] != '*'; ++i) {
        if (afterPoint)
            ++decimals;
        if (field[i] == '.')
            afterPoint = true;
    }
    return decimals;
}

namespace {

TFrameCheck fault(TFrameFault kind, const char* field, std::string sent = {})
{
    return {kind, field, std::move(sent)};
}

// What a 7-character number field sends of `text`.
std::string numberField(const std::string& text)
{
    std::uint8_t out[7];
    putNumberField(out, text);
    return std::string(out, out + 7);
}

TFrameCheck checkInputValue(const TDisplayConfig& cfg, double TDisplayConfig::*member)
{
    const char* field = recordField(member).name;
    const double value = cfg.*member;
    if (!std::isfinite(value))
        return fault(TFrameFault::NotFinite, field);
    // The point may be the dropped eighth character; a digit may not.
    const std::string text = inputValueText(value);
    const auto point = text.find('.');
    if (point == std::string::npos || point > 7)
        return fault(TFrameFault::OutOfRange, field, numberField(text));
    return {};
}

TFrameCheck checkDisplayValue(const TDisplayConfig& cfg, double TDisplayConfig::*member)
{
    const char* field = recordField(member).name;
    const double value = cfg.*member;
    const std::uint8_t decimalPoint = cfg.DecimalPoint;
    if (!std::isfinite(value) || !std::isfinite(value * displayScale(decimalPoint)))
        return fault(TFrameFault::NotFinite, field);
    const std::string text = displayValueText(value, decimalPoint);
    if (text.size() > 7)
        return fault(TFrameFault::OutOfRange, field, numberField(text));
    return {};
}

const char* offsetName()
{
    return recordField(&TDisplayConfig::TempOffset).name;
}

TFrameCheck checkOffset(double offset, std::uint8_t resolution)
{
    if (!std::isfinite(offset))
        return fault(TFrameFault::NotFinite, offsetName());
    // Two digits travel: tens and units, or units and tenths; every digit
    // before them must be a leading zero.
    const std::string t = offsetText(offset);
    const std::size_t k = offsetPoint(t);
    const std::size_t first = resolution == 0 ? k - 2 : k - 1;
    for (std::size_t i = 0; i < first && i < t.size(); ++i) {
        if (t[i] != '0' && t[i] != '-') {
            std::uint8_t sent[3];
            putOffset(sent, offset, resolution);
            return fault(TFrameFault::OutOfRange, offsetName(), std::string(sent, sent + 3));
        }
    }
    return {};
}

TFrameCheck checkRelay(const TDisplayConfig& cfg, int number)
{
    const TConstRelayFields r = cfg.relay(number);
    const auto name = [&](const void* member) { return recordFieldAt(cfg, member).name; };
    if (r.DelayType == static_cast<char>(kCR))
        return fault(TFrameFault::EndsFrame, name(&r.DelayType));
    if (r.Enabled == 1 && r.TriggerLevel == static_cast<char>(kCR))
        return fault(TFrameFault::EndsFrame, name(&r.TriggerLevel));
    if (const std::string text = cfmt("%03d", r.Delay); text.size() > 3)
        return fault(TFrameFault::OutOfRange, name(&r.Delay), text.substr(0, 3));
    if (const std::string text = cfmt("%06d", r.Setpoint); text.size() > 6)
        return fault(TFrameFault::OutOfRange, name(&r.Setpoint), text.substr(0, 6));
    return {};
}

} // namespace

TFrameCheck checkRequestAddress(std::uint8_t address)
{
    if (address > 31) {
        const auto digits = addressDigits(address);
        return fault(TFrameFault::OutOfRange, recordField(&TDisplayConfig::Address).name,
                     std::string(digits.begin(), digits.end()));
    }
    return {};
}

TFrameCheck checkConfigRequest(const TDisplayConfig& cfg)
{
    const TFrameCheck checks[] = {
        checkRequestAddress(cfg.Address),
        checkInputValue(cfg, &TDisplayConfig::InputValue1),
        checkDisplayValue(cfg, &TDisplayConfig::DisplayValue1),
        checkInputValue(cfg, &TDisplayConfig::InputValue2),
        checkDisplayValue(cfg, &TDisplayConfig::DisplayValue2),
        checkOffset(cfg.TempOffset, cfg.Resolution),
        checkRelay(cfg, 1),
        checkRelay(cfg, 2),
    };
    for (const TFrameCheck& c : checks)
        if (c.fault != TFrameFault::None)
            return c;
    return {};
}
