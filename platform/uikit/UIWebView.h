// UIWebView: loads a page through a pluggable loader and tells its delegate, always on the main
// queue, in this order for each load:
//   webViewShouldStartLoadWithRequest -> webViewDidStartLoad -> webViewDidFinishLoad
//                                                            or webViewDidFailLoadWithError.
// loadRequest records the request at once (request()); the load begins on the main loop's next
// turn. A load superseded before it began reports nothing; one superseded (or stopped) after it
// began fails with the URL error "cancelled" (-999), so every start is matched by one finish or
// fail. reload issues the last request again. A finished page (pageHTML) is laid out and drawn
// in the scroll view, whose content size is the page's height; its pictures load through the
// same loader and show when they arrive. A tap on a link asks the delegate (LinkClicked) and
// then loads the link's target, which becomes request(). No script runs: the page's script
// context is a recording stand-in (JSContext), reached by the key path
// "documentView.webView.mainFrame.javaScriptContext", one per web view.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/NSError.h"
#include "platform/network/NSURLRequest.h"
#include "platform/network/NSURLResponse.h"
#include "platform/uikit/JSContext.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/WebDocumentView.h"

class UIWebView;

enum UIWebViewNavigationType : int {
    UIWebViewNavigationTypeLinkClicked = 0,
    UIWebViewNavigationTypeFormSubmitted = 1,
    UIWebViewNavigationTypeBackForward = 2,
    UIWebViewNavigationTypeReload = 3,
    UIWebViewNavigationTypeFormResubmitted = 4,
    UIWebViewNavigationTypeOther = 5,
};

class UIWebViewDelegate {
public:
    virtual ~UIWebViewDelegate() = default;
    virtual bool webViewShouldStartLoadWithRequest(const std::shared_ptr<UIWebView>&, const std::shared_ptr<NSURLRequest>&,
        UIWebViewNavigationType) { return true; }
    virtual void webViewDidStartLoad(const std::shared_ptr<UIWebView>&) { }
    virtual void webViewDidFinishLoad(const std::shared_ptr<UIWebView>&) { }
    virtual void webViewDidFailLoadWithError(const std::shared_ptr<UIWebView>&, const NSErrorRef&) { }
};

namespace uikit::web {

// What a load gave: a page (any HTTP status) or an error. `html` holds the body: the page's
// text, or a picture's bytes.
struct LoadResult {
    std::shared_ptr<NSURLResponse> response;
    std::string html;
    NSErrorRef error;
};
using Completion = std::function<void(LoadResult result)>;
// Loads a request and calls `done` once, on any thread.
using Loader = std::function<void(const std::shared_ptr<NSURLRequest>& request, Completion done)>;

// The loader every web view uses; an empty one restores the default (an asynchronous GET
// through NSURLConnection).
void setLoader(Loader loader);
Loader defaultLoader();
// Restores the default loader.
void reset();

} // namespace uikit::web

class UIWebView : public UIView {
public:
    explicit UIWebView(CGRect frame = CGRectZero);
    static std::shared_ptr<UIWebView> initWithFrame(CGRect frame);
    std::string className() const override { return "UIWebView"; }

    void setDelegate(std::weak_ptr<UIWebViewDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<UIWebViewDelegate> delegate() const { return delegate_.lock(); }

    void loadRequest(const std::shared_ptr<NSURLRequest>& request);
    // Loads the last request again (nothing without one).
    void reload();
    void stopLoading();
    // The last request given to loadRequest.
    std::shared_ptr<NSURLRequest> request() const { return request_; }
    bool isLoading() const { return loading_; }
    // The text of the last page that finished loading.
    const std::string& pageHTML() const { return html_; }
    std::shared_ptr<NSURLResponse> response() const { return response_; }

    bool scalesPageToFit() const { return scalesPageToFit_; }
    void setScalesPageToFit(bool scales) { scalesPageToFit_ = scales; }
    // Made on first use; it fills the web view.
    std::shared_ptr<UIScrollView> scrollView();
    std::shared_ptr<JSContext> javaScriptContext();
    // "documentView.webView.mainFrame.javaScriptContext" gives the script context; other key
    // paths are absent.
    Value valueForKeyPath(const std::string& keyPath);

    std::string dumpText() const override;
    void layoutSubviews() override;

private:
    void begin(std::uint64_t generation, std::shared_ptr<NSURLRequest> request, UIWebViewNavigationType type);
    void complete(std::uint64_t generation, uikit::web::LoadResult result);
    void failStarted();
    void followLink(const NSURL& url);
    void showPage();
    void loadImage(const NSURL& url);
    void imageArrived(std::uint64_t page, const std::string& url, const UIImageRef& image);

    std::weak_ptr<UIWebViewDelegate> delegate_;
    std::shared_ptr<NSURLRequest> request_;
    std::shared_ptr<NSURLResponse> response_;
    std::string html_;
    std::shared_ptr<uikit::web::WebDocumentView> scrollView_;
    std::shared_ptr<JSContext> context_;
    std::uint64_t generation_ = 0;
    std::uint64_t page_ = 0; // counts the pages shown, so a late picture of an old one is dropped
    bool loading_ = false;
    bool scalesPageToFit_ = false;
};
