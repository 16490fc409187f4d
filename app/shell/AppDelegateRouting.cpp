// Incoming URLs (payment or messenger) and the messenger app's requests and responses.
#include "app/shell/AppDelegate.h"

#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "services/payment/WalletSDK.h"

bool AppDelegate::routeURL(const NSURL& url, bool knowsWalletApi)
{
    std::weak_ptr<AppDelegate> weak = sharedAs<AppDelegate>();
    auto keepResult = [weak](const Value& result) {
        NSLog("result = %@", result);
        if (auto self = weak.lock())
            self->lastWalletResult_ = result;
    };
    if (url.host() == "walletpay") {
        WalletSDK::defaultService()->processOrderWithPaymentResult(url, keepResult);
        return true;
    }
    if (knowsWalletApi && url.host() == "walletapi") {
        WalletSDK::defaultService()->processAuthResult(url, keepResult);
        return true;
    }
    return MGApi::handleOpenURL(url, sharedAs<AppDelegate>());
}

bool AppDelegate::applicationOpenURLSourceApplicationAnnotation(
    const App&, const NSURL& url, const std::string&, const Value&)
{
    return routeURL(url, true);
}

std::optional<bool> AppDelegate::applicationOpenURLOptions(const App&, const NSURL& url, const Value&)
{
    return routeURL(url, false);
}

void AppDelegate::showMessengerAlert(const std::string& title, const std::string& message, NSInteger tag)
{
    auto alert = UIAlertView::initWithTitle(title, message, sharedAs<AppDelegate>(), "OK");
    if (tag)
        alert->setTag(tag);
    alert->show();
}

void AppDelegate::onReq(const std::shared_ptr<BaseReq>& req)
{
    if (std::dynamic_pointer_cast<GetMessageFromMGReq>(req)) {
        showMessengerAlert(
            "聊天请求App提供内容", "聊天请求App提供内容，App要调用sendResp:GetMessageFromMGResp返回给聊天", 1000);
        return;
    }
    if (auto show = std::dynamic_pointer_cast<ShowMessageFromMGReq>(req)) {
        auto message = show->message;
        // The extra information belongs to an app's content only; any other media has none.
        auto appObject = message ? std::dynamic_pointer_cast<MGAppExtendObject>(message->mediaObject) : nullptr;
        Value title = message ? Value(message->title) : Value();
        Value description = message ? Value(message->description) : Value();
        Value extInfo = appObject ? Value(appObject->extInfo) : Value();
        unsigned long thumbBytes = message ? static_cast<unsigned long>(message->thumbData.size()) : 0;
        showMessengerAlert("聊天请求App显示内容",
            NSString::stringWithFormat(
                "标题：%@ \n内容：%@ \n附带信息：%@ \n缩略图:%lu bytes\n\n", title, description, extInfo, thumbBytes),
            0);
        return;
    }
    if (std::dynamic_pointer_cast<LaunchFromMGReq>(req))
        showMessengerAlert("从聊天启动", "这是从聊天启动的消息", 0);
}

void AppDelegate::onResp(const std::shared_ptr<BaseResp>& resp)
{
    NSLog("%@", resp ? Value(resp->description()) : Value());
    if (auto auth = std::dynamic_pointer_cast<SendAuthResp>(resp))
        NSLog("%@  %@  %@ code：%@", auth->state, auth->country, auth->lang, auth->code);
}
