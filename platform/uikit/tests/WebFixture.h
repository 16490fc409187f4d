// The web view fixture both web test files use: a fresh page loader, a web view filling the
// window, and a delegate that records what it is told, in order.
#pragma once

#include "Fixture.h"

#include "platform/uikit/UIWebView.h"

struct WebEvents : UIWebViewDelegate {
    std::vector<std::string> events;
    bool allow = true; // every request
    bool allowLinks = true; // tapped links
    bool webViewShouldStartLoadWithRequest(const std::shared_ptr<UIWebView>&, const std::shared_ptr<NSURLRequest>& request,
        UIWebViewNavigationType type) override
    {
        bool link = type == UIWebViewNavigationTypeLinkClicked;
        events.push_back("should " + request->URL()->path() + (link ? " link" : type == UIWebViewNavigationTypeReload ? " reload" : ""));
        return allow && (!link || allowLinks);
    }
    void webViewDidStartLoad(const std::shared_ptr<UIWebView>&) override { events.push_back("start"); }
    void webViewDidFinishLoad(const std::shared_ptr<UIWebView>& web) override { events.push_back("finish " + web->request()->URL()->path()); }
    void webViewDidFailLoadWithError(const std::shared_ptr<UIWebView>&, const NSErrorRef& error) override
    {
        events.push_back("fail " + std::to_string(error->code()));
    }
    bool ended() const { return !events.empty() && (events.back().starts_with("finish") || events.back().starts_with("fail")); }
};

class WebTest : public UIKitTest {
protected:
    void SetUp() override
    {
        UIKitTest::SetUp();
        uikit::web::reset();
        window->setBackgroundColor(UIColor::whiteColor());
        web = UIWebView::initWithFrame({ { 0, 0 }, { 320, 480 } });
        page = std::make_shared<WebEvents>();
        web->setDelegate(page);
        window->addSubview(web);
    }
    void TearDown() override
    {
        UIKitTest::TearDown();
        uikit::web::reset();
    }
    static std::shared_ptr<NSURLRequest> requestFor(const std::string& url) { return NSURLRequest::requestWithURL(NSURL::URLWithString(url)); }
    // Loads `url` from a fresh event list and runs the main loop until the load ends.
    void load(const std::string& url)
    {
        page->events.clear();
        web->loadRequest(requestFor(url));
        ASSERT_TRUE(testing_support::runUntil([&] { return page->ended(); }));
    }
    std::shared_ptr<UIWebView> web;
    std::shared_ptr<WebEvents> page;
};
