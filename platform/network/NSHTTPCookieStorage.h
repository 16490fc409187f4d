// Cookies as far as loads need them: Set-Cookie values are kept per domain and path, and sent
// back in a Cookie field to matching URLs until they expire. Kept in memory for the process.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSURL.h"
#include "platform/network/HeaderFields.h"

enum NSHTTPCookieAcceptPolicy : std::uint64_t {
    NSHTTPCookieAcceptPolicyAlways = 0,
    NSHTTPCookieAcceptPolicyNever = 1,
    NSHTTPCookieAcceptPolicyOnlyFromMainDocumentDomain = 2,
};

class NSHTTPCookie final : public NSObject {
public:
    // One Set-Cookie value received from `url`; nullptr when malformed.
    static std::shared_ptr<NSHTTPCookie> fromSetCookie(std::string_view value, const NSURL& url, double now);
    std::string className() const override { return "NSHTTPCookie"; }

    std::string name;
    std::string value;
    std::string domain; // lower case, without a leading dot
    bool hostOnly = true;
    std::string path = "/";
    std::optional<double> expiresDate; // seconds since 1970; none: a session cookie
    bool secure = false;
    bool httpOnly = false;

    bool matches(const NSURL& url) const;
};

class NSHTTPCookieStorage final : public NSObject {
public:
    static std::shared_ptr<NSHTTPCookieStorage> sharedHTTPCookieStorage();
    std::string className() const override { return "NSHTTPCookieStorage"; }

    NSHTTPCookieAcceptPolicy cookieAcceptPolicy() const;
    void setCookieAcceptPolicy(NSHTTPCookieAcceptPolicy policy);
    std::vector<std::shared_ptr<NSHTTPCookie>> cookies() const;
    std::vector<std::shared_ptr<NSHTTPCookie>> cookiesForURL(const NSURL& url) const;
    void setCookie(const std::shared_ptr<NSHTTPCookie>& cookie);
    void deleteCookie(const std::shared_ptr<NSHTTPCookie>& cookie);
    void removeAllCookies();
    // Every Set-Cookie field of a response from `url` (fields as received, unfolded).
    void setCookiesFromResponse(const std::vector<network::HeaderFields::Field>& fields, const NSURL& url);
    // "a=1; b=2" for `url`, or none.
    std::optional<std::string> cookieHeaderForURL(const NSURL& url) const;

private:
    mutable std::mutex mutex_;
    NSHTTPCookieAcceptPolicy policy_ = NSHTTPCookieAcceptPolicyAlways;
    std::vector<std::shared_ptr<NSHTTPCookie>> cookies_;
};
