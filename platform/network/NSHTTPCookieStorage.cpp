// Cookie parsing, matching and storage.
#include "platform/network/NSHTTPCookieStorage.h"

#include <algorithm>
#include <charconv>
#include <ctime>

#include "platform/foundation/Clock.h"

namespace {

bool domainMatches(const std::string& host, const NSHTTPCookie& cookie)
{
    if (host == cookie.domain)
        return true;
    if (cookie.hostOnly || host.size() <= cookie.domain.size())
        return false;
    return host.ends_with(cookie.domain) && host[host.size() - cookie.domain.size() - 1] == '.';
}

std::optional<double> parseExpires(std::string_view text)
{
    std::tm tm {};
    std::string copy(text);
    if (!strptime(copy.c_str(), "%a, %d %b %Y %H:%M:%S", &tm) && !strptime(copy.c_str(), "%a, %d-%b-%Y %H:%M:%S", &tm))
        return std::nullopt;
    return static_cast<double>(timegm(&tm));
}

// Cookies with the same name, domain and path replace each other.
bool sameSlot(const NSHTTPCookie& a, const NSHTTPCookie& b)
{
    return a.name == b.name && a.domain == b.domain && a.path == b.path;
}

} // namespace

std::shared_ptr<NSHTTPCookie> NSHTTPCookie::fromSetCookie(std::string_view text, const NSURL& url, double now)
{
    auto semicolon = text.find(';');
    std::string_view pair = text.substr(0, semicolon);
    auto equals = pair.find('=');
    if (equals == std::string_view::npos)
        return nullptr;
    auto cookie = std::make_shared<NSHTTPCookie>();
    cookie->name = std::string(network::trimmed(pair.substr(0, equals)));
    cookie->value = std::string(network::trimmed(pair.substr(equals + 1)));
    if (cookie->name.empty())
        return nullptr;
    cookie->domain = network::lowercased(url.host());
    std::string urlPath = url.path();
    auto lastSlash = urlPath.find_last_of('/');
    cookie->path = lastSlash == std::string::npos || lastSlash == 0 ? "/" : urlPath.substr(0, lastSlash);
    std::optional<double> maxAge;
    for (std::string_view rest = semicolon == std::string_view::npos ? std::string_view {} : text.substr(semicolon + 1);
         !rest.empty();) {
        auto next = rest.find(';');
        std::string_view attribute = network::trimmed(rest.substr(0, next));
        rest = next == std::string_view::npos ? std::string_view {} : rest.substr(next + 1);
        auto eq = attribute.find('=');
        std::string key = network::lowercased(network::trimmed(attribute.substr(0, eq)));
        std::string_view value = eq == std::string_view::npos ? std::string_view {} : network::trimmed(attribute.substr(eq + 1));
        if (key == "domain" && !value.empty()) {
            std::string domain = network::lowercased(value.front() == '.' ? value.substr(1) : value);
            NSHTTPCookie probe;
            probe.domain = domain;
            probe.hostOnly = false;
            if (!domainMatches(network::lowercased(url.host()), probe))
                return nullptr; // a cookie for another site
            cookie->domain = domain;
            cookie->hostOnly = false;
        } else if (key == "path" && !value.empty() && value.front() == '/') {
            cookie->path = std::string(value);
        } else if (key == "expires") {
            if (auto date = parseExpires(value))
                cookie->expiresDate = date;
        } else if (key == "max-age") {
            long long seconds = 0;
            auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (error == std::errc() && end == value.data() + value.size())
                maxAge = now + static_cast<double>(seconds);
        } else if (key == "secure") {
            cookie->secure = true;
        } else if (key == "httponly") {
            cookie->httpOnly = true;
        }
    }
    if (maxAge)
        cookie->expiresDate = maxAge;
    return cookie;
}

bool NSHTTPCookie::matches(const NSURL& url) const
{
    if (secure && url.scheme() != "https")
        return false;
    if (!domainMatches(network::lowercased(url.host()), *this))
        return false;
    std::string urlPath = url.path().empty() ? "/" : url.path();
    if (!urlPath.starts_with(path))
        return false;
    return path.back() == '/' || urlPath.size() == path.size() || urlPath[path.size()] == '/';
}

std::shared_ptr<NSHTTPCookieStorage> NSHTTPCookieStorage::sharedHTTPCookieStorage()
{
    static auto storage = std::make_shared<NSHTTPCookieStorage>();
    return storage;
}

NSHTTPCookieAcceptPolicy NSHTTPCookieStorage::cookieAcceptPolicy() const
{
    std::lock_guard lock(mutex_);
    return policy_;
}

void NSHTTPCookieStorage::setCookieAcceptPolicy(NSHTTPCookieAcceptPolicy policy)
{
    std::lock_guard lock(mutex_);
    policy_ = policy;
}

std::vector<std::shared_ptr<NSHTTPCookie>> NSHTTPCookieStorage::cookies() const
{
    std::lock_guard lock(mutex_);
    return cookies_;
}

std::vector<std::shared_ptr<NSHTTPCookie>> NSHTTPCookieStorage::cookiesForURL(const NSURL& url) const
{
    double now = foundation::clock::now();
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<NSHTTPCookie>> result;
    for (const auto& cookie : cookies_)
        if ((!cookie->expiresDate || *cookie->expiresDate > now) && cookie->matches(url))
            result.push_back(cookie);
    std::stable_sort(result.begin(), result.end(), [](const auto& a, const auto& b) { return a->path.size() > b->path.size(); });
    return result;
}

void NSHTTPCookieStorage::setCookie(const std::shared_ptr<NSHTTPCookie>& cookie)
{
    if (!cookie)
        return;
    double now = foundation::clock::now();
    std::lock_guard lock(mutex_);
    std::erase_if(cookies_, [&](const auto& existing) { return sameSlot(*existing, *cookie); });
    if (!cookie->expiresDate || *cookie->expiresDate > now)
        cookies_.push_back(cookie);
}

void NSHTTPCookieStorage::deleteCookie(const std::shared_ptr<NSHTTPCookie>& cookie)
{
    std::lock_guard lock(mutex_);
    std::erase(cookies_, cookie);
}

void NSHTTPCookieStorage::removeAllCookies()
{
    std::lock_guard lock(mutex_);
    cookies_.clear();
}

void NSHTTPCookieStorage::setCookiesFromResponse(const std::vector<network::HeaderFields::Field>& fields, const NSURL& url)
{
    if (cookieAcceptPolicy() == NSHTTPCookieAcceptPolicyNever)
        return;
    double now = foundation::clock::now();
    for (const auto& [name, value] : fields)
        if (network::equalsIgnoringCase(name, "Set-Cookie"))
            setCookie(NSHTTPCookie::fromSetCookie(value, url, now));
}

std::optional<std::string> NSHTTPCookieStorage::cookieHeaderForURL(const NSURL& url) const
{
    auto matching = cookiesForURL(url);
    if (matching.empty())
        return std::nullopt;
    std::string header;
    for (const auto& cookie : matching) {
        if (!header.empty())
            header += "; ";
        header += cookie->name + "=" + cookie->value;
    }
    return header;
}
