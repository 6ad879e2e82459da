#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// The four languages of the user interface, in the order of the language
// dialog's choices and of the settings file's byte.
enum class TLanguage : std::uint8_t { Catalan, Spanish, French, English };

inline constexpr TLanguage kLanguages[] = {TLanguage::Catalan, TLanguage::Spanish, TLanguage::French,
    TLanguage::English};

// The one rule for a language index (the settings file's byte, the index a
// window is opened with): 0..3 name the four languages in the order above and
// any other index names none. With no language a window keeps the texts it is
// designed with, which are mostly Spanish, so every text the program adds
// beside them reads Spanish too.
constexpr std::optional<TLanguage> languageAt(int index)
{
    if (index < 0 || index > 3)
        return std::nullopt;
    return static_cast<TLanguage>(index);
}

constexpr TLanguage textLanguage(int index)
{
    return languageAt(index).value_or(TLanguage::Spanish);
}

// "ca", "es", "fr", "en": the languages by their codes, as the tools'
// --lang takes them.
inline constexpr const char* kLanguageCodes[] = {"ca", "es", "fr", "en"};

constexpr std::optional<TLanguage> languageOfCode(std::string_view code)
{
    for (TLanguage language : kLanguages)
        if (code == kLanguageCodes[static_cast<std::size_t>(language)])
            return language;
    return std::nullopt;
}

// The language's place in the order above: 0..3.
constexpr std::size_t languagePlace(TLanguage language)
{
    return static_cast<std::size_t>(language);
}
