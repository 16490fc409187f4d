// URL responses, Content-Type and Content-Disposition reading, status texts.
#include "platform/network/NSURLResponse.h"

#include <map>

namespace network {
namespace {

std::string unquoted(std::string_view value)
{
    value = trimmed(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

// Parameters of a "type; a=b; c=\"d\"" value, names in lower case.
std::map<std::string, std::string> parameters(std::string_view rest)
{
    std::map<std::string, std::string> result;
    while (!rest.empty()) {
        auto semicolon = rest.find(';');
        std::string_view item = rest.substr(0, semicolon);
        rest = semicolon == std::string_view::npos ? std::string_view {} : rest.substr(semicolon + 1);
        auto equals = item.find('=');
        if (equals == std::string_view::npos)
            continue;
        result[lowercased(trimmed(item.substr(0, equals)))] = unquoted(item.substr(equals + 1));
    }
    return result;
}

std::string extensionFor(const std::optional<std::string>& mimeType)
{
    static const std::map<std::string, std::string> table {
        { "text/html", "html" }, { "text/plain", "txt" }, { "application/json", "json" }, { "image/png", "png" },
        { "image/jpeg", "jpeg" }, { "image/gif", "gif" }, { "image/webp", "webp" }, { "application/xml", "xml" },
        { "text/xml", "xml" }, { "application/pdf", "pdf" }, { "application/zip", "zip" },
    };
    if (!mimeType)
        return {};
    auto it = table.find(*mimeType);
    return it == table.end() ? std::string {} : it->second;
}

} // namespace

ContentType parseContentType(std::string_view value)
{
    ContentType result;
    auto semicolon = value.find(';');
    std::string_view type = trimmed(value.substr(0, semicolon));
    if (!type.empty())
        result.mimeType = lowercased(type);
    if (semicolon == std::string_view::npos)
        return result;
    auto params = parameters(value.substr(semicolon + 1));
    if (auto it = params.find("charset"); it != params.end() && !it->second.empty())
        result.charset = it->second;
    return result;
}

std::optional<std::string> dispositionFilename(std::string_view value)
{
    auto semicolon = value.find(';');
    if (semicolon == std::string_view::npos)
        return std::nullopt;
    auto params = parameters(value.substr(semicolon + 1));
    auto it = params.find("filename");
    if (it == params.end() || it->second.empty())
        return std::nullopt;
    std::string name = it->second;
    if (auto slash = name.find_last_of("/\\"); slash != std::string::npos)
        name = name.substr(slash + 1); // never a path
    return name.empty() ? std::nullopt : std::optional(name);
}

} // namespace network

NSURLResponse::NSURLResponse(std::optional<NSURL> url, std::optional<std::string> mimeType,
    std::int64_t expectedContentLength, std::optional<std::string> textEncodingName)
    : url_(std::move(url))
    , mimeType_(std::move(mimeType))
    , expectedLength_(expectedContentLength)
    , textEncoding_(std::move(textEncodingName))
{
}

std::string NSURLResponse::description() const
{
    return "<" + className() + ": " + (url_ ? url_->absoluteString() : std::string("(null)")) + ">";
}

std::string NSURLResponse::suggestedFilename() const
{
    std::string name = url_ ? url_->lastPathComponent() : std::string {};
    if (name.empty() || name == "/")
        return "Unknown";
    std::string extension = network::extensionFor(mimeType_);
    if (!extension.empty() && name.find('.') == std::string::npos)
        name += "." + extension;
    return name;
}

NSHTTPURLResponse::NSHTTPURLResponse(
    std::optional<NSURL> url, std::int64_t statusCode, std::string httpVersion, network::HeaderFields headers)
    : NSURLResponse(std::move(url), std::nullopt, NSURLResponseUnknownLength, std::nullopt)
    , status_(statusCode)
    , version_(std::move(httpVersion))
    , headers_(std::move(headers))
{
    if (const std::string* type = headers_.find("Content-Type")) {
        auto parsed = network::parseContentType(*type);
        mimeType_ = parsed.mimeType;
        textEncoding_ = parsed.charset;
    }
    if (auto length = headers_.contentLength())
        expectedLength_ = *length;
}

std::shared_ptr<NSHTTPURLResponse> NSHTTPURLResponse::create(
    const std::optional<NSURL>& url, std::int64_t statusCode, std::string httpVersion, const Value& headerFields)
{
    return std::make_shared<NSHTTPURLResponse>(
        url, statusCode, std::move(httpVersion), network::HeaderFields::fromDictionary(headerFields));
}

std::string NSHTTPURLResponse::description() const
{
    return "<NSHTTPURLResponse: " + (url_ ? url_->absoluteString() : std::string("(null)")) + " { Status Code: "
        + std::to_string(status_) + " }>";
}

std::string NSHTTPURLResponse::suggestedFilename() const
{
    if (auto disposition = headers_.get("Content-Disposition"))
        if (auto name = network::dispositionFilename(*disposition))
            return *name;
    return NSURLResponse::suggestedFilename();
}

std::string NSHTTPURLResponse::localizedStringForStatusCode(std::int64_t statusCode)
{
    static const std::map<std::int64_t, std::string> table {
        { 100, "continue" }, { 101, "switching protocols" }, { 200, "no error" }, { 201, "created" },
        { 202, "accepted" }, { 203, "non-authoritative information" }, { 204, "no content" },
        { 205, "reset content" }, { 206, "partial content" }, { 300, "multiple choices" },
        { 301, "moved permanently" }, { 302, "found" }, { 303, "see other" }, { 304, "not modified" },
        { 305, "needs proxy" }, { 307, "temporarily redirected" }, { 308, "permanent redirect" },
        { 400, "bad request" }, { 401, "unauthorized" }, { 402, "payment required" }, { 403, "forbidden" },
        { 404, "not found" }, { 405, "method not allowed" }, { 406, "unacceptable" },
        { 407, "proxy authentication required" }, { 408, "request timed out" }, { 409, "conflict" },
        { 410, "no longer exists" }, { 411, "length required" }, { 412, "precondition failed" },
        { 413, "request too large" }, { 414, "requested URL too long" }, { 415, "unsupported media type" },
        { 416, "requested range not satisfiable" }, { 417, "expectation failed" },
        { 500, "internal server error" }, { 501, "unimplemented" }, { 502, "bad gateway" },
        { 503, "service unavailable" }, { 504, "gateway timed out" }, { 505, "unsupported version" },
    };
    if (auto it = table.find(statusCode); it != table.end())
        return it->second;
    switch (statusCode / 100) {
    case 1: return "informational";
    case 2: return "success";
    case 3: return "redirected";
    case 4: return "client error";
    case 5: return "server error";
    default: return "server error";
    }
}
