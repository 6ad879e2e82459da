#pragma once
#include <cstdint>
#include <string>

// What a display's number of digits decides: how many digit positions its
// values have (the class: 3, 4 or 5), how many decimals it can show, and the
// masks of the fields that edit its values. The dialogs, the summary panels
// and dadizctl all read them here.
namespace digitclass {
int of(std::uint8_t digitsIndex);  // 3, 4 or 5
long long powerOfTen(int exponent); // 10^exponent, for exponent 0..18
int cap(int cls);                  // largest decimal position shown: 2, 3, 4
int width(int cls);                // positions of every field of the class: 4, 5, 6
int inputDecimals(int cls);        // decimals of the input-value fields: 1, 2, 3
// The decimals a display value or level is shown with: the decimal point, up to the cap.
int shownDecimals(std::uint8_t digitsIndex, std::uint8_t decimalPoint);
std::string inputValueMask(int cls);
std::string displayValueMask(int cls, int position); // a position outside 0..4 uses 4
// value x 10^decimals rounded to a whole count, zero-padded to the width; a
// count beyond what the width holds becomes the nearest count it holds, and a
// value that is not a number counts 0.
std::string scaledCountText(double value, int decimals, int width);
std::string countText(long long count, int width);
} // namespace digitclass
