// NSURL: construction, parts of the absolute URL, file URLs and appending (see NSURL.h).
#include "platform/foundation/NSURL.h"

#include <filesystem>
#include <functional>

#include "platform/foundation/NSString.h"

using foundation::URLParts;

namespace {

struct Authority {
    std::optional<std::string> userinfo;
    std::string host;
    std::optional<std::string> port;
};

Authority splitAuthority(std::string_view authority)
{
    Authority a;
    std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        a.userinfo = std::string(authority.substr(0, at));
        authority.remove_prefix(at + 1);
    }
    std::size_t colon;
    if (!authority.empty() && authority[0] == '[') {
        std::size_t close = authority.find(']');
        a.host = std::string(authority.substr(1, close - 1));
        colon = authority.find(':', close);
    } else {
        colon = authority.find(':');
        a.host = std::string(authority.substr(0, colon));
    }
    if (colon != std::string_view::npos)
        a.port = std::string(authority.substr(colon + 1));
    return a;
}

std::string decodedOrEmpty(std::string_view s)
{
    return NSString::stringByRemovingPercentEncoding(s).value_or(std::string());
}

} // namespace

NSURL NSURL::fromParts(const URLParts& parts)
{
    NSURL url;
    url.absolute_ = parts;
    foundation::keepPathUnambiguous(url.absolute_);
    url.relative_ = url.absolute_.recompose();
    return url;
}

std::optional<NSURL> NSURL::URLWithString(std::string_view string)
{
    if (string.empty())
        return std::nullopt;
    std::optional<URLParts> parts = foundation::parseURLReference(string);
    if (!parts)
        return std::nullopt;
    NSURL url;
    url.relative_ = std::string(string);
    url.absolute_ = std::move(*parts);
    return url;
}

std::optional<NSURL> NSURL::URLWithString(std::string_view string, const NSURL& baseURL)
{
    std::optional<URLParts> parts = foundation::parseURLReference(string);
    if (!parts || (string.empty() && baseURL.relative_.empty()))
        return std::nullopt;
    NSURL url;
    url.relative_ = std::string(string);
    url.base_ = std::make_shared<const NSURL>(baseURL);
    url.absolute_ = foundation::resolveURLReference(baseURL.absolute_, *parts);
    return url;
}

std::optional<NSURL> NSURL::URLWithString(std::string_view string, const std::optional<NSURL>& baseURL)
{
    return baseURL ? URLWithString(string, *baseURL) : URLWithString(string);
}

NSURL NSURL::fileURLWithPath(std::string_view path)
{
    std::error_code error;
    bool directory = path.ends_with("/") || std::filesystem::is_directory(std::filesystem::path(path), error);
    return fileURLWithPath(path, directory);
}

NSURL NSURL::fileURLWithPath(std::string_view path, bool isDirectory)
{
    std::string absolute(path);
    if (absolute.empty() || absolute[0] != '/') {
        std::error_code error;
        std::string cwd = std::filesystem::current_path(error).string();
        absolute = NSString::stringByAppendingPathComponent(cwd.empty() ? "/" : cwd, absolute);
    }
    if (isDirectory && !absolute.ends_with("/"))
        absolute += '/';
    URLParts parts;
    parts.scheme = "file";
    parts.authority = "";
    parts.path = NSString::stringByAddingPercentEncodingWithAllowedCharacters(absolute,
        NSCharacterSet::URLPathAllowedCharacterSet());
    return fromParts(parts);
}

std::string NSURL::absoluteString() const
{
    return base_ ? absolute_.recompose() : relative_;
}

std::optional<NSURL> NSURL::baseURL() const
{
    if (!base_)
        return std::nullopt;
    return *base_;
}

NSURL NSURL::absoluteURL() const
{
    if (!base_)
        return *this;
    return fromParts(absolute_);
}

std::string NSURL::scheme() const
{
    return absolute_.scheme.value_or(std::string());
}

std::string NSURL::host() const
{
    if (!absolute_.authority)
        return {};
    std::string host = splitAuthority(*absolute_.authority).host;
    return NSString::stringByRemovingPercentEncoding(host).value_or(host);
}

std::optional<int> NSURL::port() const
{
    if (!absolute_.authority)
        return std::nullopt;
    std::optional<std::string> port = splitAuthority(*absolute_.authority).port;
    if (!port || port->empty())
        return std::nullopt;
    return std::stoi(*port); // at most five digits, checked when parsed
}

std::string NSURL::user() const
{
    if (!absolute_.authority)
        return {};
    std::optional<std::string> info = splitAuthority(*absolute_.authority).userinfo;
    if (!info)
        return {};
    return decodedOrEmpty(std::string_view(*info).substr(0, info->find(':')));
}

std::string NSURL::password() const
{
    if (!absolute_.authority)
        return {};
    std::optional<std::string> info = splitAuthority(*absolute_.authority).userinfo;
    if (!info || info->find(':') == std::string::npos)
        return {};
    return decodedOrEmpty(std::string_view(*info).substr(info->find(':') + 1));
}

std::string NSURL::path() const
{
    std::string_view raw = absolute_.path;
    while (raw.size() > 1 && raw.back() == '/')
        raw.remove_suffix(1);
    return decodedOrEmpty(raw);
}

std::string NSURL::lastPathComponent() const
{
    return NSString::lastPathComponent(path());
}

std::string NSURL::pathExtension() const
{
    return NSString::pathExtension(path());
}

std::vector<std::string> NSURL::pathComponents() const
{
    std::vector<std::string> parts = NSString::pathComponents(path());
    if (parts.size() > 1 && parts.back() == "/")
        parts.pop_back();
    return parts;
}

bool NSURL::isFileURL() const
{
    return NSString::caseInsensitiveCompare(scheme(), "file") == NSOrderedSame;
}

NSURL NSURL::URLByAppendingPathComponent(std::string_view component) const
{
    URLParts parts = absolute_;
    std::string escaped = NSString::stringByAddingPercentEncodingWithAllowedCharacters(component,
        NSCharacterSet::URLPathAllowedCharacterSet());
    if (!parts.path.ends_with("/"))
        parts.path += '/';
    parts.path += escaped;
    return fromParts(parts);
}

NSURL NSURL::URLByAppendingPathComponent(std::string_view component, bool isDirectory) const
{
    NSURL url = URLByAppendingPathComponent(component);
    if (isDirectory && !url.absolute_.path.ends_with("/")) {
        url.absolute_.path += '/';
        url.relative_ = url.absolute_.recompose();
    }
    return url;
}

std::string NSURL::description() const
{
    return base_ ? relative_ + " -- " + base_->description() : relative_;
}

bool NSURL::operator==(const NSURL& other) const
{
    if (relative_ != other.relative_ || static_cast<bool>(base_) != static_cast<bool>(other.base_))
        return false;
    return !base_ || *base_ == *other.base_;
}

std::size_t NSURL::hash() const
{
    return std::hash<std::string> {}(relative_);
}
