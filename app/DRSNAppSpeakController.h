// DRSNAppSpeakController: a web page screen that offers itself to the page's scripts under the
// global name "SNAppSpeakController" (through JSObjcDelegate) and logs the page's script
// exceptions. No screen of the app opens it.
#pragma once

#include <memory>
#include <string>

#include "app/WebPageScreen.h"
#include "platform/uikit/JSContext.h"

// What a page's scripts may call on the screen. The screen answers neither call.
class JSObjcDelegate {
public:
    virtual ~JSObjcDelegate() = default;
    virtual void clickOnAndroid(const Value&) { }
    virtual void clickZiXunAction() { }
};

inline constexpr const char* kDRSNScriptGlobalName = "SNAppSpeakController";

class DRSNAppSpeakController : public app::WebPageScreen, public JSObjcDelegate {
public:
    static std::shared_ptr<DRSNAppSpeakController> create() { return std::make_shared<DRSNAppSpeakController>(); }
    std::string className() const override { return "DRSNAppSpeakController"; }

    // Each page that finishes loading gets the screen again, as a new page has a new context.
    void webViewDidFinishLoad(const std::shared_ptr<UIWebView>& webView) override;

    const std::shared_ptr<JSContext>& jsContext() const { return jsContext_; }

protected:
    void afterLoadRequest() override { registerWithPage(); }

private:
    // Takes the page's context, sets the screen into it and installs the exception handler.
    void registerWithPage();

    std::shared_ptr<JSContext> jsContext_;
};
