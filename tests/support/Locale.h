#pragma once
// The C library's locale set for one scope; the one before comes back when
// the scope ends, also when a failed assertion ends it early.
#include <clocale>
#include <string>

namespace testsupport {

class TScopedLocale {
public:
    explicit TScopedLocale(const char* name) : before_(std::setlocale(LC_ALL, nullptr))
    {
        ok_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~TScopedLocale() { std::setlocale(LC_ALL, before_.c_str()); }
    TScopedLocale(const TScopedLocale&) = delete;
    TScopedLocale& operator=(const TScopedLocale&) = delete;

    bool ok() const { return ok_; }

private:
    std::string before_;
    bool ok_ = false;
};

} // namespace testsupport
