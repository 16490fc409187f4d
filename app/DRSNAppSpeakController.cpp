// The script bridge of DRSNAppSpeakController.
#include "app/DRSNAppSpeakController.h"

#include "platform/foundation/NSLog.h"

void DRSNAppSpeakController::registerWithPage()
{
    Value found = bunessWeb()->valueForKeyPath("documentView.webView.mainFrame.javaScriptContext");
    auto context = found.asObject<JSContext>();
    if (!context)
        return;
    jsContext_ = context;
    // The context holds the screen weakly, and the handler does not hold the screen at all.
    jsContext_->setObjectForKeyedSubscript(Value(sharedAs<DRSNAppSpeakController>()), kDRSNScriptGlobalName);
    jsContext_->setExceptionHandler([](const std::shared_ptr<JSContext>& ctx, const Value& exception) {
        if (ctx)
            ctx->setException(exception);
        NSLog("异常信息：%@", exception);
    });
}

void DRSNAppSpeakController::webViewDidFinishLoad(const std::shared_ptr<UIWebView>& webView)
{
    app::WebPageScreen::webViewDidFinishLoad(webView);
    registerWithPage();
}
