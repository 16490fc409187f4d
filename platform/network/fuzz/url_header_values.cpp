// Fuzz target: the header values the loader reads: WWW-Authenticate (and the Digest answer to
// it), Content-Type, Content-Disposition, Set-Cookie and HTTP dates.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/network/CachePolicy.h"
#include "platform/network/HTTPAuthentication.h"
#include "platform/network/NSHTTPCookieStorage.h"
#include "platform/network/NSURLResponse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto challenges = network::parseAuthenticate(text);
    if (auto chosen = network::preferredChallenge(challenges))
        network::digestAuthorization(*chosen, "user", "password", "GET", "/a?b", "cnonce", 1);
    network::parseContentType(text);
    network::dispositionFilename(text);
    network::parseHTTPDate(text);
    static const auto url = *NSURL::URLWithString("http://www.example.com/a/b");
    NSHTTPCookie::fromSetCookie(text, url, 0);
    return 0;
}
