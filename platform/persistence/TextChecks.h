// Small text checks shared by the readers: UTF-8 validity.
#pragma once

#include <string_view>

namespace persistence {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUTF8(std::string_view text);

} // namespace persistence
