// Fuzz target: header values the server interprets: Range, HTTP dates and Authorization.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "testing/httpserver/Auth.h"
#include "testing/httpserver/HttpDate.h"
#include "testing/httpserver/Resource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view value(reinterpret_cast<const char*>(data), size);
    auto range = httpserver::parseRange(value, size);
    if (range.kind == httpserver::ByteRange::Kind::Satisfiable && (range.first > range.last || range.last >= size))
        __builtin_trap();
    if (auto t = httpserver::parseHttpDate(value); t && httpserver::parseHttpDate(httpserver::formatHttpDate(*t)) != t)
        __builtin_trap();
    httpserver::parseAuthParams(value);
    httpserver::parseBasicCredentials(value);
    return 0;
}
