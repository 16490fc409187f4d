// The platform handlers' set-up: the messenger (chat, timeline and favourites) and Buddy (with
// its zone). Each keeps its keys and link and adds its platforms to the share library.
#pragma once

#include <optional>
#include <string>

class SHSocialMessengerHandler final {
public:
    SHSocialMessengerHandler() = delete;
    // An empty url means the library's own default page. Registers the app id with the
    // messenger library; without an app id only a console message is written.
    static void setMGAppId(const std::string& appId, const std::string& appSecret, const std::string& url);
    static std::string appId();
    static std::string appSecret();
    static std::string url();
};

class SHSocialBuddyHandler final {
public:
    SHSocialBuddyHandler() = delete;
    static void setBuddyWithAppId(const std::string& appId, const std::string& appKey, const std::string& url);
    static std::string appId();
    static std::string appKey();
    static std::string url();
};

namespace share {
// The page shared content links to when no url was given.
inline constexpr const char* kDefaultSharePage = "http://127.0.0.1:8091/brelvoxin/share.do";
// Forgets both handlers' settings (tests).
void resetHandlers();
} // namespace share
