#include "tools/ctl/Addresses.h"

#include <algorithm>

#include "base/Formats.h"
#include "config/RecordFields.h"

bool wholeNumber(const std::string& text, long long low, long long high, long long& value)
{
    if (text.empty() || text.size() > 10)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    value = textToInt(text);
    return value >= low && value <= high;
}

bool parseAddressList(const std::string& text, std::vector<std::uint8_t>& addresses)
{
    const TFieldLimits limits = recordField(&TDisplayConfig::Address).limits({});
    std::vector<std::uint8_t> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const std::size_t dash = item.find('-');
        long long first = 0;
        long long last = 0;
        if (!wholeNumber(item.substr(0, dash), limits.low, limits.high, first))
            return false;
        last = first;
        if (dash != std::string::npos
            && (!wholeNumber(item.substr(dash + 1), limits.low, limits.high, last) || last < first))
            return false;
        for (long long a = first; a <= last; ++a)
            if (std::find(out.begin(), out.end(), a) == out.end())
                out.push_back(static_cast<std::uint8_t>(a));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    addresses = std::move(out);
    return true;
}
