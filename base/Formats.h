#pragma once
#include <cstdint>
#include <string>

// Number <-> text conversions of the program. All of them use a '.' as the
// decimal separator whatever the user's locale: they run under the "C" locale
// of the calling thread, never the process locale that QApplication sets.

// printf-style formatting ("%02d", "%05.1f", "+%6.3f", ...).
std::string cfmt(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The general floating-point text of the windows: at most 15 significant
// digits, no trailing zeros, no point for whole numbers, exponent form
// ("1E-6", "1.5E20") below 0.00001 or with more than 15 digits before the point.
std::string generalFloatText(double value);

// atof on decimal text: leading blanks skipped, conversion stops at the first
// character that cannot continue a number; nothing readable (and "nan", "inf",
// hexadecimal) gives 0.
double textToDouble(const std::string& text);

// atol: leading blanks skipped, optional sign, decimal digits; nothing readable gives 0.
// Values beyond the 32-bit range saturate instead of overflowing.
std::int32_t textToInt(const std::string& text);

// Text from a user, a file name or a file, safe to print: control bytes
// (below 0x20 and 0x7F) become <XX> so that they cannot drive a terminal;
// a line feed is kept when `keepLineFeeds`. Other bytes, UTF-8 included, stay.
std::string escapedControls(const std::string& text, bool keepLineFeeds = false);
