// HTTP freshness and validation.
#include "platform/network/CachePolicy.h"

#include <charconv>
#include <ctime>

namespace network {
namespace {

// The value of one Cache-Control directive ("max-age"), empty when present without a value.
std::optional<std::string> directive(const NSHTTPURLResponse& response, std::string_view name)
{
    auto header = response.valueForHTTPHeaderField("Cache-Control");
    if (!header)
        return std::nullopt;
    std::string_view rest = *header;
    while (!rest.empty()) {
        auto comma = rest.find(',');
        std::string_view item = trimmed(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view {} : rest.substr(comma + 1);
        auto equals = item.find('=');
        if (!equalsIgnoringCase(trimmed(item.substr(0, equals)), name))
            continue;
        if (equals == std::string_view::npos)
            return std::string {};
        std::string_view value = trimmed(item.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return std::nullopt;
}

std::optional<double> seconds(const std::string& text)
{
    long long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return static_cast<double>(value);
}

} // namespace

std::optional<double> parseHTTPDate(std::string_view text)
{
    std::string copy(trimmed(text));
    for (const char* format : { "%a, %d %b %Y %H:%M:%S", "%A, %d-%b-%y %H:%M:%S", "%a %b %d %H:%M:%S %Y" }) {
        std::tm tm {};
        if (strptime(copy.c_str(), format, &tm))
            return static_cast<double>(timegm(&tm));
    }
    return std::nullopt;
}

bool isCacheable(const NSURLRequest& request, const NSHTTPURLResponse& response)
{
    if (request.HTTPMethod() != "GET" || request.cachePolicy() == NSURLRequestReloadIgnoringLocalAndRemoteCacheData)
        return false;
    switch (response.statusCode()) {
    case 200:
    case 203:
    case 300:
    case 301:
    case 410:
        break;
    default:
        return false;
    }
    if (directive(response, "no-store"))
        return false;
    if (auto cc = request.valueForHTTPHeaderField("Cache-Control"); cc && cc->find("no-store") != std::string::npos)
        return false;
    auto vary = response.valueForHTTPHeaderField("Vary");
    return !(vary && trimmed(*vary) == "*");
}

bool isFresh(const NSCachedURLResponse& entry, double now)
{
    auto* response = dynamic_cast<const NSHTTPURLResponse*>(entry.response().get());
    if (!response)
        return true;
    if (directive(*response, "no-cache"))
        return false;
    double age = now - entry.storedAt();
    if (auto maxAge = directive(*response, "max-age")) {
        auto limit = seconds(*maxAge);
        return limit && age < *limit;
    }
    auto date = response->valueForHTTPHeaderField("Date");
    double served = date ? parseHTTPDate(*date).value_or(entry.storedAt()) : entry.storedAt();
    if (auto expires = response->valueForHTTPHeaderField("Expires")) {
        auto when = parseHTTPDate(*expires);
        return when && age < *when - served;
    }
    if (auto modified = response->valueForHTTPHeaderField("Last-Modified")) {
        auto when = parseHTTPDate(*modified);
        return when && served > *when && age < (served - *when) / 10;
    }
    return false;
}

HeaderFields validatorsFor(const NSCachedURLResponse& entry)
{
    HeaderFields result;
    auto* response = dynamic_cast<const NSHTTPURLResponse*>(entry.response().get());
    if (!response)
        return result;
    if (auto etag = response->valueForHTTPHeaderField("ETag"))
        result.set("If-None-Match", *etag);
    if (auto modified = response->valueForHTTPHeaderField("Last-Modified"))
        result.set("If-Modified-Since", *modified);
    return result;
}

} // namespace network
