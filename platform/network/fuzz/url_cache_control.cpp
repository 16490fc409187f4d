// Fuzz target: Cache-Control on a response and on its request, with the fields freshness falls
// back on (Expires, Date, Last-Modified) and the validators (ETag), through the caching rules.
// The input holds one field value a line, in that order.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/network/CachePolicy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    static const char* const names[] = { "Cache-Control", "Cache-Control", "Expires", "Date", "Last-Modified", "ETag" };
    network::HeaderFields responseFields;
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString("http://www.example.com/a"));
    for (std::size_t i = 0; i < std::size(names) && !text.empty(); ++i) {
        auto end = text.find('\n');
        std::string value(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view {} : text.substr(end + 1);
        if (i == 1)
            request->setValueForHTTPHeaderField(value, names[i]);
        else
            responseFields.set(names[i], value);
    }
    auto response = std::make_shared<NSHTTPURLResponse>(request->URL(), 200, "HTTP/1.1", responseFields);
    network::isCacheable(*request, *response);
    NSCachedURLResponse entry(response, Bytes {}, Value {}, NSURLCacheStorageAllowed, 1e9);
    for (double now : { 0.0, 1e9, 1e9 + 86400, 1e300 })
        network::isFresh(entry, now);
    network::validatorsFor(entry);
    return 0;
}
