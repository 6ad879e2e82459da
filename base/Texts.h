#pragma once
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>

// Texts the program adds beside the windows' own, by language: 0 Catalan,
// 1 Spanish, 2 French, 3 English (UTF-8). An index outside 0..3 reads the
// Spanish row, the language of the windows' built-in texts.
using TTexts = std::array<const char*, 4>;

inline const char* pickText(const TTexts& texts, int language)
{
    return texts[language >= 0 && language <= 3 ? static_cast<std::size_t>(language) : 1];
}

// Replaces %1 .. %9 in `pattern` by the arguments, so that each language
// may place them in its own order. "%%" is a single '%'.
inline std::string fillIn(const char* pattern, std::initializer_list<std::string> args)
{
    std::string out;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] == '%') {
            out += '%';
            ++p;
        } else if (p[0] == '%' && p[1] >= '1' && p[1] <= '9') {
            const std::size_t i = static_cast<std::size_t>(p[1] - '1');
            if (i < args.size())
                out += *(args.begin() + i);
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}
