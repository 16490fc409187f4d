// Push messages carrying a notification payload, delivered to the app as remote notifications.
#include "host/NotificationRelay.h"

#include "platform/threading/NSNotificationCenter.h"
#include "platform/uikit/UIApplication.h"
#include "push/Client/PUSHMessageCenter.h"

namespace host {
namespace {

NSObjectRef& relayToken()
{
    static NSObjectRef token;
    return token;
}

} // namespace

void startNotificationRelay()
{
    if (relayToken())
        return;
    relayToken() = NSNotificationCenter::defaultCenter()->addObserverForName(
        kPUSHNetworkDidReceiveMessageNotification, nullptr, nullptr, [](const std::shared_ptr<NSNotification>& note) {
            Value payload = note->userInfo()["extras"];
            if (payload.isDictionary() && payload["aps"].isDictionary())
                uikit::receiveRemoteNotification(payload);
        });
}

void stopNotificationRelay()
{
    if (!relayToken())
        return;
    NSNotificationCenter::defaultCenter()->removeObserver(relayToken().get());
    relayToken().reset();
}

} // namespace host
