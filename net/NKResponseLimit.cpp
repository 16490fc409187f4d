// The error of a reply longer than a request may keep in memory.
#include "net/NKResponseLimit.h"

#include "platform/foundation/Format.h"
#include "platform/network/URLError.h"

NSErrorRef net::responseTooLargeError(const std::optional<NSURL>& url, std::uint64_t limit)
{
    Value userInfo = Value::dictionary({ { NSLocalizedDescriptionKey,
        NSString::stringWithFormat("The response is longer than the %llu bytes this request may keep in memory.",
            static_cast<unsigned long long>(limit)) } });
    if (url) {
        userInfo.set(NSURLErrorFailingURLErrorKey, url->absoluteString());
        userInfo.set(NSURLErrorFailingURLStringErrorKey, url->absoluteString());
    }
    return NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorDataLengthExceedsMaximum, std::move(userInfo));
}
