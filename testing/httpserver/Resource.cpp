// Range and conditional requests on a static resource.
#include "testing/httpserver/Resource.h"

#include "testing/httpserver/HttpDate.h"
#include "testing/httpserver/RequestParser.h"

namespace httpserver {

namespace {

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::string_view opaqueTag(std::string_view etag)
{
    etag = trim(etag);
    if (etag.starts_with("W/"))
        etag.remove_prefix(2);
    return etag;
}

// If-None-Match uses the weak comparison: "*" or any listed tag equal to ours, W/ ignored.
bool noneMatchHits(std::string_view header, std::string_view etag)
{
    std::size_t pos = 0;
    while (pos <= header.size()) {
        std::size_t comma = header.find(',', pos);
        if (comma == std::string_view::npos)
            comma = header.size();
        std::string_view candidate = trim(header.substr(pos, comma - pos));
        if (candidate == "*" || (!candidate.empty() && opaqueTag(candidate) == opaqueTag(etag)))
            return true;
        pos = comma + 1;
    }
    return false;
}

void addValidators(Reply& reply, const Resource& r)
{
    if (r.etag)
        reply.header("ETag", *r.etag);
    if (r.lastModified)
        reply.header("Last-Modified", formatHttpDate(*r.lastModified));
    for (const auto& [name, value] : r.extraHeaders.fields())
        reply.header(name, value);
}

bool notModified(const Request& request, const Resource& r)
{
    if (!r.honourConditionals || (request.method != "GET" && request.method != "HEAD"))
        return false;
    if (auto inm = request.headers.get("If-None-Match"))
        return r.etag && noneMatchHits(*inm, *r.etag);
    auto ims = request.headers.get("If-Modified-Since");
    if (!ims || !r.lastModified)
        return false;
    auto since = parseHttpDate(trim(*ims));
    return since && *r.lastModified <= *since;
}

// If-Range: the range applies only if the validator is our strong ETag or our exact date.
bool ifRangeAllows(const Request& request, const Resource& r)
{
    auto ifRange = request.headers.get("If-Range");
    if (!ifRange)
        return true;
    std::string_view v = trim(*ifRange);
    if (v.starts_with("\"") || v.starts_with("W/"))
        return r.etag && !r.etag->starts_with("W/") && v == *r.etag;
    auto date = parseHttpDate(v);
    return date && r.lastModified && *date == *r.lastModified;
}

} // namespace

ByteRange parseRange(std::string_view header, std::uint64_t size)
{
    ByteRange none;
    header = trim(header);
    if (header.size() < 6 || !equalsIgnoringCase(header.substr(0, 6), "bytes="))
        return none;
    std::string_view spec = trim(header.substr(6));
    if (spec.find(',') != std::string_view::npos)
        return none;
    std::size_t dash = spec.find('-');
    if (dash == std::string_view::npos)
        return none;
    std::string_view a = trim(spec.substr(0, dash));
    std::string_view b = trim(spec.substr(dash + 1));
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    ByteRange range;
    range.kind = ByteRange::Kind::Satisfiable;
    if (a.empty()) {
        if (!parseDecimal(b, last))
            return none;
        if (last == 0 || size == 0) {
            range.kind = ByteRange::Kind::Unsatisfiable;
            return range;
        }
        range.first = last >= size ? 0 : size - last;
        range.last = size - 1;
        return range;
    }
    if (!parseDecimal(a, first))
        return none;
    if (!b.empty() && (!parseDecimal(b, last) || last < first))
        return none;
    if (first >= size) {
        range.kind = ByteRange::Kind::Unsatisfiable;
        return range;
    }
    range.first = first;
    range.last = b.empty() || last >= size ? size - 1 : last;
    return range;
}

Handler serve(Resource resource)
{
    return [r = std::move(resource)](const Request& request) {
        if (notModified(request, r)) {
            Reply reply(304);
            addValidators(reply, r);
            return reply;
        }
        std::uint64_t size = r.body.size();
        auto rangeHeader = request.headers.get("Range");
        ByteRange range;
        if (rangeHeader && r.honourRange && request.method == "GET" && ifRangeAllows(request, r))
            range = parseRange(*rangeHeader, size);

        if (range.kind == ByteRange::Kind::Unsatisfiable) {
            Reply reply(416);
            reply.header("Content-Range", "bytes */" + std::to_string(size));
            addValidators(reply, r);
            return reply;
        }
        Reply reply(200, r.body);
        reply.contentType(r.contentType);
        if (r.honourRange)
            reply.header("Accept-Ranges", "bytes");
        addValidators(reply, r);
        if (range.kind == ByteRange::Kind::Satisfiable) {
            reply.status(206);
            reply.body(r.body.substr(range.first, range.last - range.first + 1));
            reply.header("Content-Range",
                "bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" + std::to_string(size));
        }
        return reply;
    };
}

} // namespace httpserver
