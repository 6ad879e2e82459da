#include "tools/ctl/JsonText.h"

#include "base/Formats.h"

namespace {

// Latin-1 as UTF-8.
void appendLatin1(std::string& out, unsigned char c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

// Control bytes (C0, DEL, C1) as <XX> like the reply bytes in messages, so
// that a device can neither break a line nor drive the terminal.
std::string shownText(const std::string& bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c == 0x0D)
            out += "<CR>";
        else if (c < 0x20 || (c >= 0x7F && c < 0xA0))
            out += cfmt("<%02X>", c);
        else
            appendLatin1(out, c);
    }
    return out;
}

std::string jsonText(const std::string& bytes)
{
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\')
            out += std::string("\\") + static_cast<char>(c);
        else if (c < 0x20 || (c >= 0x7F && c < 0xA0))
            out += cfmt("\\u%04x", c);
        else
            appendLatin1(out, c);
    }
    return out + "\"";
}

std::string jsonString(const std::string& utf8)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            if (c == '"' || c == '\\')
                out += std::string("\\") + static_cast<char>(c);
            else if (c < 0x20 || c == 0x7F)
                out += cfmt("\\u%04x", c);
            else
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        // A well-formed sequence of 2 to 4 bytes goes as it is: no overlong
        // form, no surrogate, nothing beyond U+10FFFF.
        const std::size_t length = c >= 0xF0 && c <= 0xF4 ? 4
            : c >= 0xE0 && c <= 0xEF                      ? 3
            : c >= 0xC2 && c <= 0xDF                      ? 2
                                                          : 0;
        bool whole = length > 0 && i + length <= utf8.size();
        for (std::size_t k = 1; whole && k < length; ++k)
            whole = (static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80;
        if (whole) {
            const auto second = static_cast<unsigned char>(utf8[i + 1]);
            whole = !(c == 0xE0 && second < 0xA0) && !(c == 0xED && second >= 0xA0) && !(c == 0xF0 && second < 0x90)
                && !(c == 0xF4 && second >= 0x90);
        }
        if (whole) {
            out.append(utf8, i, length);
            i += length;
        } else {
            out += "\\ufffd";
            ++i;
        }
    }
    return out + "\"";
}

std::string jsonNumber(const std::optional<std::string>& text)
{
    return text && !text->empty() ? *text : "null";
}

bool validUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3
                                                : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        const auto second = length > 1 ? static_cast<unsigned char>(text[i + 1]) : 0;
        if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second >= 0xA0) || (c == 0xF0 && second < 0x90)
            || (c == 0xF4 && second >= 0x90))
            return false;
        i += length;
    }
    return true;
}
