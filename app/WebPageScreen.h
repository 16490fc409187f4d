// The design the three web page screens share: a web view that loads `urlStr` when the screen
// is created and reloads on every appearance, a grey spinner over it while a page loads, and the
// title `titleName` in the bar. The twins differ in how they set the title and in a last step
// after the first load request (the hooks below).
#pragma once

#include <memory>
#include <string>

#include "app/DDYPPartentsController.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIWebView.h"

namespace app {

class WebPageScreen : public DDYPPartentsController, public UIWebViewDelegate {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void didReceiveMemoryWarning() override { DDYPPartentsController::didReceiveMemoryWarning(); }

    void webViewDidStartLoad(const std::shared_ptr<UIWebView>& webView) override;
    void webViewDidFinishLoad(const std::shared_ptr<UIWebView>& webView) override;
    // A failed page stops the spinner and says "出错"; a load cancelled by the next one
    // (a reload) only stops the spinner.
    void webViewDidFailLoadWithError(const std::shared_ptr<UIWebView>& webView, const NSErrorRef& error) override;

    const std::shared_ptr<UIWebView>& bunessWeb() const { return bunessWeb_; }
    const std::string& urlStr() const { return urlStr_; }
    void setUrlStr(std::string url) { urlStr_ = std::move(url); }
    const std::string& titleName() const { return titleName_; }
    void setTitleName(std::string title) { titleName_ = std::move(title); }
    const std::shared_ptr<UIActivityIndicatorView>& activity() const { return activity_; }

protected:
    // Runs before the base screen's set-up.
    virtual void beforeBaseSetUp() { }
    // Puts the title into the title label.
    virtual void showTitle();
    // Runs after the first load request.
    virtual void afterLoadRequest() { }

private:
    std::shared_ptr<UIWebView> bunessWeb_;
    std::string urlStr_;
    std::string titleName_;
    std::shared_ptr<UIActivityIndicatorView> activity_;
};

} // namespace app
