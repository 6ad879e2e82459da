#pragma once
// The masked fields' tables as the displays define them, written out: the
// expectations of the dialog tests, never taken from the code under test.

namespace testsupport {

struct DigitClassRow {
    const char* inputMask;          // input-value fields
    const char* displayMasks[5];    // display-value fields, decimal position 0..4
    int width;                      // positions of every field of the class
    int cap;                        // largest decimal position shown
    int inputDecimals;              // decimals of the input-value fields
};

inline const DigitClassRow kThreeDigits = {
    "!#99.9;0;0", {"!#999;0;0", "!#99.9;0;0", "!#9.99;0;0", "!#9.99;0;0", "!#9.99;0;0"}, 4, 2, 1};
inline const DigitClassRow kFourDigits = {
    "!#99.99;0;0", {"!#9999;0;0", "!#999.9;0;0", "!#99.99;0;0", "!#9.999;0;0", "!#9.999;0;0"}, 5, 3, 2};
inline const DigitClassRow kFiveDigits = {
    "!#99.999;0;0", {"!#99999;0;0", "!#9999.9;0;0", "!#999.99;0;0", "!#99.999;0;0", "!#9.9999;0;0"}, 6, 4, 3};

// 3 digits (index 1) and 4 digits (index 2) have their own masks; 2 digits
// and 5 to 10 digits all use the five-digit ones.
inline const DigitClassRow& digitClassRow(int digitsIndex)
{
    return digitsIndex == 1 ? kThreeDigits : digitsIndex == 2 ? kFourDigits : kFiveDigits;
}

} // namespace testsupport
