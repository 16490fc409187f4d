// A static resource served the way caches and resumable downloads expect: Range with 206 and
// Content-Range (416 when unsatisfiable), If-Range, and ETag / Last-Modified validators
// answering If-None-Match / If-Modified-Since with 304.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "testing/httpserver/Headers.h"
#include "testing/httpserver/Routes.h"

namespace httpserver {

struct Resource {
    std::string body;
    std::string contentType = "application/octet-stream";
    std::optional<std::string> etag; // with its quotes: "\"v1\"" or "W/\"v1\""
    std::optional<std::time_t> lastModified;
    Headers extraHeaders; // Cache-Control and the like, sent with 200, 206 and 304
    bool honourRange = true; // false: Range is ignored and the whole body comes with 200
    bool honourConditionals = true; // false: never 304
};

Handler serve(Resource resource);

struct ByteRange {
    enum class Kind { Ignore, Satisfiable, Unsatisfiable };
    Kind kind = Kind::Ignore;
    std::uint64_t first = 0;
    std::uint64_t last = 0; // inclusive
};

// One "bytes=" range of a representation of `size` bytes. Malformed values and several
// ranges give Ignore (the whole body is served).
ByteRange parseRange(std::string_view header, std::uint64_t size);

} // namespace httpserver
