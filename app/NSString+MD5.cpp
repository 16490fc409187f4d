// The string digest.
#include "app/NSString+MD5.h"

#include <cctype>
#include <cstdio>

#include "platform/security/CommonDigest.h"

namespace NSString {

std::string MD5(std::string_view text)
{
    auto end = text.find('\0');
    if (end != std::string_view::npos)
        text = text.substr(0, end);
    unsigned char digest[CC_MD5_DIGEST_LENGTH];
    CC_MD5(text.data(), static_cast<CC_LONG>(text.size()), digest);
    std::string hex;
    hex.reserve(2 * CC_MD5_DIGEST_LENGTH);
    for (unsigned char byte : digest) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", byte);
        hex += pair;
    }
    for (char& c : hex)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return hex;
}

} // namespace NSString
