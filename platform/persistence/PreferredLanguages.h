// The user's preferred languages, as the system lists them: the HTTP stack's Accept-Language and
// the user defaults' "AppleLanguages" both read this one list.
#pragma once

#include <string>
#include <vector>

namespace persistence {

// Most preferred first: the environment's language as a language tag ("zh_CN.UTF-8" gives
// "zh-CN"), or "en" when the environment names none.
std::vector<std::string> preferredLanguages();

// The user defaults key under which the system keeps that list.
inline constexpr const char* kAppleLanguagesKey = "AppleLanguages";

} // namespace persistence
