// LocaleEnvironment: sets the locale variables (LANGUAGE, LC_ALL, LANG) for one test and puts
// the old ones back on destruction. Only LANG is set; the other two are cleared meanwhile.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace testing_support {

class LocaleEnvironment {
public:
    explicit LocaleEnvironment(const char* lang)
    {
        for (auto& [name, old] : saved_) {
            if (const char* value = std::getenv(name))
                old = value;
            ::unsetenv(name);
        }
        if (lang)
            ::setenv("LANG", lang, 1);
    }
    ~LocaleEnvironment()
    {
        for (auto& [name, old] : saved_) {
            if (old)
                ::setenv(name, old->c_str(), 1);
            else
                ::unsetenv(name);
        }
    }
    LocaleEnvironment(const LocaleEnvironment&) = delete;
    LocaleEnvironment& operator=(const LocaleEnvironment&) = delete;

private:
    std::pair<const char*, std::optional<std::string>> saved_[3] = { { "LANGUAGE", {} }, { "LC_ALL", {} }, { "LANG", {} } };
};

} // namespace testing_support
