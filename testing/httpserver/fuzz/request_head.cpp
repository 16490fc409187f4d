// Fuzz target: request heads, their body framing, and chunked bodies fed in two pieces.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "testing/httpserver/RequestParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    httpserver::HeadResult head = httpserver::parseRequestHead(bytes, 8192);
    if (head.status == httpserver::HeadResult::Status::Complete) {
        httpserver::bodyFramingOf(head.request);
        (void)head.request.wantsKeepAlive();
    }
    httpserver::ChunkedDecoder decoder(1 << 16);
    std::size_t half = size / 2;
    std::size_t used = decoder.feed(bytes.substr(0, half));
    if (used == half)
        decoder.feed(bytes.substr(half));
    return 0;
}
