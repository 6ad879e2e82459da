#pragma once
// base/Formats.cpp switches the calling thread to the "C" locale with the
// POSIX calls newlocale, uselocale, strtod_l and strtoll_l; these are the
// same on the Microsoft C runtime. Force-included into that file alone by
// the Windows build.
#include <locale.h>
#include <stdlib.h>
#include <string>

struct TPosixLocale {
    _locale_t crt;
    std::string name;
};
using locale_t = TPosixLocale*;

#define LC_ALL_MASK LC_ALL
// The thread follows the process locale.
#define LC_GLOBAL_LOCALE (reinterpret_cast<locale_t>(-1))

inline locale_t newlocale(int category, const char* name, locale_t)
{
    _locale_t crt = _create_locale(category, name);
    return crt ? new TPosixLocale{crt, name} : nullptr;
}

// msvcrt.dll, the C runtime mingw-w64 links, has no per-thread locale
// (_configthreadlocale cannot enable one there): the process locale is
// switched for the scope and put back by name. A null argument only asks.
inline locale_t uselocale(locale_t locale)
{
    thread_local locale_t current = LC_GLOBAL_LOCALE;
    thread_local std::string processLocale;
    const locale_t previous = current;
    if (!locale)
        return previous;
    if (locale == LC_GLOBAL_LOCALE) {
        if (current != LC_GLOBAL_LOCALE)
            setlocale(LC_ALL, processLocale.c_str());
    } else {
        if (current == LC_GLOBAL_LOCALE) {
            const char* name = setlocale(LC_ALL, nullptr);
            processLocale = name ? name : "C";
        }
        setlocale(LC_ALL, locale->name.c_str());
    }
    current = locale;
    return previous;
}

inline double strtod_l(const char* text, char** end, locale_t locale) { return _strtod_l(text, end, locale->crt); }

inline long long strtoll_l(const char* text, char** end, int base, locale_t locale)
{
    return _strtoi64_l(text, end, base, locale->crt);
}
