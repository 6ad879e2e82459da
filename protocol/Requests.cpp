#include "protocol/Requests.h"

#include "config/Formats.h"

#include <algorithm>

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

std::string inputValueText(double value)
{
    return value >= 0.0 ? cfmt("+%6.3f", value) : cfmt("%6.3f", value);
}

std::string displayValueText(double value, std::uint8_t decimalPoint)
{
    static constexpr double kScale[] = {1.0, 10.0, 100.0, 1000.0, 10000.0};
    // The display has at most four decimals: a larger value scales as four
    // instead of leaving the field without a text of its own.
    const double scale = kScale[std::min<std::uint8_t>(decimalPoint, 4)];
    return cfmt("%6.0f", value * scale);
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
    const std::string t = cfmt("%05.1f", offset);
    std::size_t k = 7;
    for (std::size_t i = 0; i < 7 && i < t.size(); ++i) {
        if (t[i] == '.') {
            k = i;
            break;
        }
    }
    out[0] = static_cast<std::uint8_t>(!t.empty() && t[0] == '-' ? '-' : ' ');
    if (resolution == 0) {
        out[1] = static_cast<std::uint8_t>(charAt(t, k - 2));
        out[2] = static_cast<std::uint8_t>(charAt(t, k - 1));
    } else {
        out[1] = static_cast<std::uint8_t>(charAt(t, k - 1));
        out[2] = static_cast<std::uint8_t>(charAt(t, k + 1));
    }
}

void putRelay(std::uint8_t* out, char number, std::uint8_t enabled, char delayType, char triggerLevel,
              std::int32_t delay, std::int32_t setpoint)
{
    putTag(out, 'R', number);
    out[2] = static_cast<std::uint8_t>(delayType);
    out[3] = static_cast<std::uint8_t>(enabled == 1 ? triggerLevel : '2');
    putTag(out + 4, 'H', number);
    putPrefix(out + 6, cfmt("%03d", delay), 3);
    putTag(out + 9, 'S', number);
    putPrefix(out + 11, cfmt("%06d", setpoint), 6);
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
    f[43] = digitChar(cfg.DecimalPoint);
    putTag(&f[44], 'T', 'T');
    f[46] = digitChar(cfg.ProbeType);
    putTag(&f[47], 'U', 'M');
    f[49] = digitChar(cfg.TempUnits);
    putTag(&f[50], 'R', 'E');
    f[52] = digitChar(cfg.Resolution);
    putTag(&f[53], 'O', 'F');
    putOffset(&f[55], cfg.TempOffset, cfg.Resolution);
    putRelay(&f[58], '1', cfg.Relay1Enabled, cfg.Relay1DelayType, cfg.Relay1TriggerLevel, cfg.Relay1Delay,
             cfg.Relay1Setpoint);
    putRelay(&f[75], '2', cfg.Relay2Enabled, cfg.Relay2DelayType, cfg.Relay2TriggerLevel, cfg.Relay2Delay,
             cfg.Relay2Setpoint);
    f[92] = kCR;
    return f;
}
