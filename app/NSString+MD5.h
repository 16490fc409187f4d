// NSString(MD5): the MD5 digest of a text as 32 lowercase hexadecimal digits.
#pragma once

#include <string>
#include <string_view>

#include "platform/foundation/NSString.h"

namespace NSString {

// The digest covers the text's UTF-8 bytes up to the first zero byte.
std::string MD5(std::string_view text);

} // namespace NSString
