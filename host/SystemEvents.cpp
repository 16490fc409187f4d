// Remote notifications, incoming URLs and the end of the app, as the system delivers them.
#include "host/SystemEvents.h"

#include "host/Driver.h"

#include "platform/foundation/NSURL.h"
#include "platform/persistence/NSJSONSerialization.h"
#include "platform/uikit/UIApplication.h"
#include "push/Client/PUSHClientController.h"
#include "push/Network/PUSHThread.h"

#include <atomic>
#include <memory>

namespace host {

std::string deliverRemoteNotification(const std::string& payloadJson, bool opened)
{
    Value payload = NSJSONSerialization::JSONObjectWithData(std::string_view(payloadJson));
    if (!payload.isDictionary())
        return "expected a JSON object";
    settle();
    auto app = UIApplication::sharedApplication();
    if (!opened) {
        uikit::receiveRemoteNotification(payload);
        settle();
        return "";
    }
    uikit::enterBackground();
    settle();
    app->setApplicationState(UIApplicationStateInactive);
    uikit::receiveRemoteNotification(payload);
    uikit::enterForeground();
    settle();
    return "";
}

std::string openIncomingURL(const std::string& url, bool& handled)
{
    auto parsed = NSURL::URLWithString(url);
    if (!parsed || parsed->scheme().empty())
        return "expected a URL with a scheme";
    settle();
    handled = uikit::openURLInApplication(*parsed);
    settle();
    return "";
}

namespace {

// The push client saves its state on its own thread when the app leaves; the process must not
// end (and destroy what that thread uses) before it has. Waits until the push thread has run
// everything asked of it so far, at most `realSeconds`.
void letPushThreadFinish(double realSeconds)
{
    auto thread = std::dynamic_pointer_cast<PUSHThread>(
        PUSHThreadController::shareThreadInstance()->getThreadWithName(kPUSHClientThreadName));
    if (!thread)
        return;
    auto done = std::make_shared<std::atomic<bool>>(false);
    thread->invokeBlock([done] { *done = true; });
    waitUntil([done] { return done->load(); }, realSeconds);
}

} // namespace

void quitApplication(double realSeconds)
{
    settle();
    auto app = UIApplication::sharedApplication();
    if (app->applicationState() != UIApplicationStateBackground)
        uikit::enterBackground();
    waitUntil([&] { return app->backgroundTaskCount() == 0; }, realSeconds);
    uikit::terminateApplication();
    settle();
    letPushThreadFinish(realSeconds);
}

} // namespace host
