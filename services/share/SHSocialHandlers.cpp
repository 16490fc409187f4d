// The messenger and Buddy handlers' settings and the platforms they add.
#include "services/share/SHSocialHandlers.h"

#include <iostream>
#include <mutex>

#include "services/messenger/MGApi.h"
#include "services/share/SHSocialPlatforms.h"

namespace {

struct Keys {
    std::string id;
    std::string secret;
    std::string url;
};

struct HandlerState {
    std::mutex mutex;
    Keys messenger;
    Keys buddy;
};

HandlerState& handlers()
{
    static HandlerState s;
    return s;
}

std::string linkOrDefault(const std::string& url)
{
    return url.empty() ? share::kDefaultSharePage : url;
}

} // namespace

void SHSocialMessengerHandler::setMGAppId(
    const std::string& appId, const std::string& appSecret, const std::string& url)
{
    {
        std::lock_guard lock(handlers().mutex);
        handlers().messenger = { appId, appSecret, linkOrDefault(url) };
    }
    if (appId.empty())
        std::cerr << "SHSocial----no messenger app id: sharing to the messenger is off\n";
    else
        MGApi::registerApp(appId);
    share::addPlatforms({ { "mgsession", "聊天好友" }, { "mgtimeline", "朋友圈" }, { "mgfavorite", "收藏" } });
}

std::string SHSocialMessengerHandler::appId()
{
    std::lock_guard lock(handlers().mutex);
    return handlers().messenger.id;
}

std::string SHSocialMessengerHandler::appSecret()
{
    std::lock_guard lock(handlers().mutex);
    return handlers().messenger.secret;
}

std::string SHSocialMessengerHandler::url()
{
    std::lock_guard lock(handlers().mutex);
    return handlers().messenger.url;
}

void SHSocialBuddyHandler::setBuddyWithAppId(
    const std::string& appId, const std::string& appKey, const std::string& url)
{
    {
        std::lock_guard lock(handlers().mutex);
        handlers().buddy = { appId, appKey, linkOrDefault(url) };
    }
    share::addPlatforms({ { "buddy", "Buddy" }, { "buddyzone", "Buddy空间" } });
}

std::string SHSocialBuddyHandler::appId()
{
    std::lock_guard lock(handlers().mutex);
    return handlers().buddy.id;
}

std::string SHSocialBuddyHandler::appKey()
{
    std::lock_guard lock(handlers().mutex);
    return handlers().buddy.secret;
}

std::string SHSocialBuddyHandler::url()
{
    std::lock_guard lock(handlers().mutex);
    return handlers().buddy.url;
}

namespace share {

void resetHandlers()
{
    std::lock_guard lock(handlers().mutex);
    handlers().messenger = {};
    handlers().buddy = {};
}

} // namespace share
