// Routing the messenger's return URLs: the authorisation and payment returns carry their result
// in the URL's query; every other return carries the app-to-app data on the general pasteboard.
#include "services/messenger/MGApi.h"

#include <mutex>

#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIMenuController.h"
#include "services/messenger/MGAppData.h"
#include "services/messenger/MGQuery.h"

namespace {

struct Registration {
    std::mutex mutex;
    std::string appId;
};

Registration& registration()
{
    static Registration r;
    return r;
}

void deliver(const messenger::Message& message, const std::shared_ptr<MGApiDelegate>& delegate)
{
    if (auto req = std::get_if<std::shared_ptr<BaseReq>>(&message)) {
        if (delegate->answersOnReq())
            delegate->onReq(*req);
        return;
    }
    auto resp = std::get<std::shared_ptr<BaseResp>>(message);
    if (delegate->answersOnResp())
        delegate->onResp(resp);
}

// "<appid>://oauth?code=..&state=..": a login through the messenger; no code means refused.
std::shared_ptr<BaseResp> authResult(const NSURL& url)
{
    auto pairs = messenger::queryPairs(url.query().value_or(""));
    auto resp = std::make_shared<SendAuthResp>();
    resp->code = pairs["code"];
    resp->state = pairs["state"];
    resp->lang = pairs["lang"];
    resp->country = pairs["country"];
    resp->errCode = resp->code.empty() ? MGErrCodeAuthDeny : MGSuccess;
    return resp;
}

// "<appid>://pay/?returnKey=..&ret=0": a payment's result code.
std::shared_ptr<BaseResp> payResult(const NSURL& url)
{
    auto pairs = messenger::queryPairs(url.query().value_or(""));
    auto resp = std::make_shared<PayResp>();
    resp->returnKey = pairs["returnKey"];
    resp->errCode = pairs.contains("ret") ? messenger::resultCode(NSString::integerValue(pairs["ret"])) : MGErrCodeCommon;
    return resp;
}

} // namespace

bool MGApi::registerApp(const std::string& appId)
{
    if (appId.empty())
        return false;
    std::lock_guard lock(registration().mutex);
    registration().appId = appId;
    return true;
}

std::string MGApi::registeredAppId()
{
    std::lock_guard lock(registration().mutex);
    return registration().appId;
}

void MGApi::reset()
{
    std::lock_guard lock(registration().mutex);
    registration().appId.clear();
}

bool MGApi::handleOpenURL(const NSURL& url, const std::shared_ptr<MGApiDelegate>& delegate)
{
    if (!delegate)
        return false;
    std::string appId = registeredAppId();
    if (appId.empty() || url.scheme() != appId)
        return false;
    if (url.host() == "oauth") {
        deliver(std::shared_ptr<BaseResp>(authResult(url)), delegate);
        return true;
    }
    if (url.host() == "pay") {
        deliver(std::shared_ptr<BaseResp>(payResult(url)), delegate);
        return true;
    }
    auto text = UIPasteboard::generalPasteboard()->string();
    auto message = messenger::readAppData(text.value_or(""), appId);
    if (!message) {
        NSLog("MGApi: no app data from the messenger for %@", url.absoluteString());
        return false;
    }
    deliver(*message, delegate);
    return true;
}
