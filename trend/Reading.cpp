#include "trend/Reading.h"

#include <charconv>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The canonical text of a decimal number, or empty when `text` is not one.
std::string canonical(std::string_view text)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
        while (i < n && isBlank(text[i]))
            ++i;
    }
    std::string whole;
    while (i < n && isDigit(text[i]))
        whole += text[i++];
    std::string fraction;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(text[i]))
            fraction += text[i++];
    }
    while (i < n && isBlank(text[i]))
        ++i;
    if (i != n || (whole.empty() && fraction.empty()))
        return {};

    const std::size_t firstNonZero = whole.find_first_not_of('0');
    whole = firstNonZero == std::string::npos ? "0" : whole.substr(firstNonZero);
    const bool zero = whole == "0" && fraction.find_first_not_of('0') == std::string::npos;
    std::string out = negative && !zero ? "-" : "";
    out += whole;
    if (!fraction.empty())
        out += '.' + fraction;
    return out;
}

} // namespace

std::optional<double> readingNumber(std::string_view text)
{
    const std::string c = canonical(text);
    if (c.empty())
        return std::nullopt;
    double value = 0.0;
    const auto [end, error] = std::from_chars(c.data(), c.data() + c.size(), value);
    if (error != std::errc() || end != c.data() + c.size())
        return std::nullopt;
    return value;
}

std::string readingNumberText(std::string_view text)
{
    return readingNumber(text) ? canonical(text) : std::string();
}

std::optional<double> readingNumber(const TReading& reading)
{
    if (reading.missed || !reading.value)
        return std::nullopt;
    return readingNumber(*reading.value);
}
