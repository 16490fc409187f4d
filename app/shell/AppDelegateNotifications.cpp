// Remote notifications: the alert, the news screen and the link.
#include "app/shell/AppDelegate.h"

#include <algorithm>

#include "app/JZNewsDetailController.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "push/Service/PUSHService.h"

namespace {

// Only a web link is opened outside the app.
std::optional<NSURL> webLink(const Value& info)
{
    auto url = NSURL::URLWithString(NSString::stringWithFormat("%@", info));
    if (!url || url->host().empty())
        return std::nullopt;
    std::string scheme = NSString::lowercaseString(url->scheme());
    if (scheme != "http" && scheme != "https")
        return std::nullopt;
    return url;
}

} // namespace

void AppDelegate::applicationDidReceiveRemoteNotificationFetchCompletionHandler(
    const App& application, const Value& userInfo, std::function<void(UIBackgroundFetchResult)> completionHandler)
{
    PUSHService::handleRemoteNotification(userInfo);
    NSLog("%@", userInfo);
    msgDic = userInfo;
    if (application->applicationState() == UIApplicationStateActive) {
        showNotificationAlert(userInfo);
    } else {
        NSLog("%@", userInfo);
        std::int64_t pushType = userInfo["pushType"].integerValue();
        if (pushType == 0)
            openNewsScreen(userInfo);
        else if (pushType == 1)
            showNotificationAlert(userInfo);
    }
    if (completionHandler)
        completionHandler(UIBackgroundFetchResultNewData);
}

void AppDelegate::showNotificationAlert(const Value& payload)
{
    std::string alertText = NSString::stringWithFormat("%@", payload["aps"]["alert"]);
    auto alert
        = UIAlertView::initWithTitle("收到一条推送消息", alertText, sharedAs<AppDelegate>(), "去查看", { "忽略" });
    alert->setTag(kNotificationAlertTag);
    std::erase_if(alertPayloads_, [](const auto& entry) { return entry.first.expired(); });
    alertPayloads_.emplace_back(alert, payload);
    alert->show();
}

void AppDelegate::openNewsScreen(const Value& payload)
{
    auto news = JZNewsDetailController::create();
    news->setContent(NSString::stringWithFormat("%@", payload["aps"]["alert"]));
    news->setTitleText(NSString::stringWithFormat("%@", payload["title"]));
    news->setTimes(NSString::stringWithFormat("%@", payload["addTime"]));
    auto navigation
        = window ? std::dynamic_pointer_cast<UINavigationController>(window->rootViewController()) : nullptr;
    if (navigation)
        navigation->pushViewController(news, true);
}

void AppDelegate::alertViewClickedButtonAtIndex(const std::shared_ptr<UIAlertView>& alertView, NSInteger buttonIndex)
{
    if (!alertView || alertView->tag() != kNotificationAlertTag)
        return;
    // The answer is for the notification this alert showed, not a later one.
    auto found = std::find_if(alertPayloads_.begin(), alertPayloads_.end(),
        [&](const auto& entry) { return entry.first.lock() == alertView; });
    Value payload = found != alertPayloads_.end() ? found->second : msgDic;
    if (found != alertPayloads_.end())
        alertPayloads_.erase(found);
    if (buttonIndex != 0 || payload.isNil())
        return;
    if (payload["pushType"].integerValue() != 1) {
        openNewsScreen(payload);
        return;
    }
    auto link = webLink(payload["info"]);
    if (!link) {
        NSLog("not a web link: %@", payload["info"]);
        return;
    }
    UIApplication::sharedApplication()->openURL(*link);
}
