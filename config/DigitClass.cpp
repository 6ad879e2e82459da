#include "config/DigitClass.h"

#include <algorithm>
#include <cmath>

#include "base/Formats.h"

namespace digitclass {

int of(std::uint8_t digitsIndex)
{
    return digitsIndex == 1 ? 3 : digitsIndex == 2 ? 4 : 5;
}

long long powerOfTen(int exponent)
{
    long long p = 1;
    for (int i = 0; i < exponent; ++i)
        p *= 10;
    return p;
}

int cap(int cls)
{
    return cls == 3 ? 2 : cls == 4 ? 3 : 4;
}

int width(int cls)
{
    return cls + 1;
}

int inputDecimals(int cls)
{
    return cls - 2;
}

int shownDecimals(std::uint8_t digitsIndex, std::uint8_t decimalPoint)
{
    return std::min<int>(decimalPoint, cap(of(digitsIndex)));
}

std::string inputValueMask(int cls)
{
    return cls == 3 ? "!#99.9;0;0" : cls == 4 ? "!#99.99;0;0" : "!#99.999;0;0";
}

std::string displayValueMask(int cls, int position)
{
    static const char* const table[3][5] = {
        {"!#999;0;0", "!#99.9;0;0", "!#9.99;0;0", "!#9.99;0;0", "!#9.99;0;0"},
        {"!#9999;0;0", "!#999.9;0;0", "!#99.99;0;0", "!#9.999;0;0", "!#9.999;0;0"},
        {"!#99999;0;0", "!#9999.9;0;0", "!#999.99;0;0", "!#99.999;0;0", "!#9.9999;0;0"},
    };
    const int row = cls == 3 ? 0 : cls == 4 ? 1 : 2;
    const int column = position < 0 || position > 4 ? 4 : position;
    return table[row][column];
}

std::string countText(long long count, int width)
{
    const long long largest = powerOfTen(width) - 1;
    const long long smallest = -(largest / 10);
    if (count > largest)
        count = largest;
    if (count < smallest)
        count = smallest;
    return cfmt("%0*lld", width, count);
}

std::string scaledCountText(double value, int decimals, int width)
{
    if (std::isnan(value))
        return countText(0, width);
    // Far beyond any field: saturate before the count could overflow.
    if (std::fabs(value) >= 1e12)
        return countText(value < 0 ? -1000000000000LL : 1000000000000LL, width);
    // The decimal text rounds exactly, where value x 10^n could land just below a half.
    std::string text = cfmt("%.*f", decimals, value);
    text.erase(std::remove(text.begin(), text.end(), '.'), text.end());
    return countText(std::stoll(text), width);
}

} // namespace digitclass
