// Fuzz target: URL strings, alone and against a base, and path components appended to them.
// Whatever parses must describe itself consistently: its absolute string parses again, to the
// same string and the same parts.
#include "platform/foundation/NSURL.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool sameParts(const NSURL& a, const NSURL& b)
{
    return a.scheme() == b.scheme() && a.host() == b.host() && a.port() == b.port() && a.user() == b.user()
        && a.password() == b.password() && a.percentEncodedPath() == b.percentEncodedPath() && a.query() == b.query()
        && a.fragment() == b.fragment();
}

void checkReadsBack(const NSURL& url)
{
    std::string absolute = url.absoluteString();
    if (absolute.empty())
        return;
    auto again = NSURL::URLWithString(absolute);
    if (!again || again->absoluteString() != absolute || !sameParts(*again, url))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    static const NSURL base = *NSURL::URLWithString("http://a/b/c/d;p?q");
    for (const std::optional<NSURL>& url : { NSURL::URLWithString(text), NSURL::URLWithString(text, base) }) {
        if (!url)
            continue;
        (void)url->path();
        (void)url->pathComponents();
        (void)url->pathExtension();
        checkReadsBack(*url);
        checkReadsBack(url->URLByAppendingPathComponent(text));
    }
    return 0;
}
