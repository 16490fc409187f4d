// Fuzz target: reply bodies of any bytes through the JSON, property-list, XML and image
// serializers, under a content type picked by the first byte.
#include <cstddef>
#include <cstdint>

#include "net/NKURLResponseSerialization.h"
#include "net/NSXMLParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const char* const types[] = { "application/json", "text/html; charset=GBK", "application/x-plist",
        "text/xml", "image/png", "image/jpeg", "text/plain; charset=bogus" };
    if (size == 0)
        return 0;
    const char* type = types[data[0] % (sizeof types / sizeof *types)];
    Bytes body(data + 1, data + size);
    auto response = NSHTTPURLResponse::create(
        NSURL::URLWithString("http://fuzz/"), 200 + data[0] % 3 * 100, "HTTP/1.1", Value::dictionary({ { "Content-Type", type } }));
    NSErrorRef error;
    NKJSONResponseSerializer::serializer()->responseObjectForResponse(response, &body, &error);
    NKPropertyListResponseSerializer::serializer()->responseObjectForResponse(response, &body, &error);
    NKImageResponseSerializer::serializer()->responseObjectForResponse(response, &body, &error);
    NSXMLParser::initWithData(body)->parse();
    return 0;
}
