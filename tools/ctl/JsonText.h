#pragma once
#include <optional>
#include <string>
#include <string_view>

// Texts for messages and JSON: bytes from a display and our own UTF-8.

// Bytes from a display as text: Latin-1 as UTF-8, control bytes as <XX>.
std::string shownText(const std::string& bytes);
// Bytes from a display as a JSON string: Latin-1 as UTF-8, escaped.
std::string jsonText(const std::string& bytes);
// Our own UTF-8 text as a JSON string; a byte that is not UTF-8 becomes U+FFFD.
std::string jsonString(const std::string& utf8);
// A number from its text with a '.', or null.
std::string jsonNumber(const std::optional<std::string>& text);
// Well-formed UTF-8: no overlong form, no surrogate, nothing beyond U+10FFFF.
bool validUtf8(std::string_view text);
