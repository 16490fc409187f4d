// Fuzz target: URL strings, alone and against a base. Whatever parses must describe itself
// consistently: its absolute string parses again to the same parts.
#include "platform/foundation/NSURL.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    static const NSURL base = *NSURL::URLWithString("http://a/b/c/d;p?q");
    for (const std::optional<NSURL>& url : { NSURL::URLWithString(text), NSURL::URLWithString(text, base) }) {
        if (!url)
            continue;
        (void)url->host();
        (void)url->port();
        (void)url->user();
        (void)url->password();
        (void)url->path();
        (void)url->pathComponents();
        (void)url->pathExtension();
        (void)url->URLByAppendingPathComponent(text);
        std::string absolute = url->absoluteString();
        if (absolute.empty())
            continue;
        auto again = NSURL::URLWithString(absolute);
        if (!again || again->absoluteString() != absolute)
            std::abort();
    }
    return 0;
}
