#pragma once
#include <initializer_list>
#include <string>

#include "base/Language.h"

// A text (or anything said) in each of the four languages, in the order of
// TLanguage. Every four-language table of the program has this shape.
template <typename T>
struct TByLanguage {
    T in[4];

    constexpr const T& pick(TLanguage language) const { return in[languagePlace(language)]; }
    constexpr T& pick(TLanguage language) { return in[languagePlace(language)]; }
};

// Texts the program adds beside the windows' own (UTF-8), and words put
// together from them at run time.
using TTexts = TByLanguage<const char*>;
using TWords = TByLanguage<std::string>;

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

// Words made in each language by `say`, given the language.
template <typename Say>
TWords wordsBy(Say&& say)
{
    TWords words;
    for (TLanguage language : kLanguages)
        words.pick(language) = say(language);
    return words;
}

// The same words in every language: a name, a path, a number.
inline TWords sameWords(const std::string& text)
{
    return {text, text, text, text};
}

// `texts` filled in with the same arguments in every language.
inline TWords wordsOf(const TTexts& texts, std::initializer_list<std::string> args = {})
{
    return wordsBy([&](TLanguage language) { return fillIn(texts.pick(language), args); });
}
