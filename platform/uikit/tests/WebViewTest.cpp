// Web views: the delegate's order over a real loopback load, reload, superseded and stopped
// loads, loader-forced outcomes, refusals, and the recording script context.
#include "WebFixture.h"

#include "platform/network/URLError.h"
#include "testing/httpserver/TestServer.h"

namespace {

class WebViewTest : public WebTest {
protected:
    // A loader that keeps every load's completion for the test to call.
    void holdLoads()
    {
        uikit::web::setLoader([this](const std::shared_ptr<NSURLRequest>& request, uikit::web::Completion done) {
            held.push_back({ request, std::move(done) });
        });
    }
    std::vector<std::pair<std::shared_ptr<NSURLRequest>, uikit::web::Completion>> held;
};

TEST_F(WebViewTest, ALoopbackPageLoadsInOrderAndReloadFetchesItAgain)
{
    httpserver::TestServer server;
    server.on("/page", httpserver::Reply::text("<html>hello</html>"));
    web->loadRequest(requestFor(server.url("/page")));
    EXPECT_EQ(web->request()->URL()->absoluteString(), server.url("/page")) << "the request is recorded at once";
    EXPECT_TRUE(page->events.empty()) << "nothing is reported before the main loop turns";
    ASSERT_TRUE(testing_support::runUntil([&] { return page->ended(); }));
    EXPECT_EQ(page->events, (std::vector<std::string> { "should /page", "start", "finish /page" }));
    EXPECT_EQ(web->pageHTML(), "<html>hello</html>");
    EXPECT_FALSE(web->isLoading());

    page->events.clear();
    server.on("/page", httpserver::Reply::text("<html>again</html>"));
    web->reload();
    ASSERT_TRUE(testing_support::runUntil([&] { return page->ended(); }));
    EXPECT_EQ(page->events, (std::vector<std::string> { "should /page reload", "start", "finish /page" }));
    EXPECT_EQ(web->pageHTML(), "<html>again</html>");
    EXPECT_EQ(server.requestCount("/page"), 2u);

    load(server.url("/missing"));
    EXPECT_EQ(page->events.back(), "finish /missing") << "an HTTP error page is still a page";
}

TEST_F(WebViewTest, AnUnreachableServerFailsTheLoad)
{
    std::string url;
    {
        httpserver::TestServer server;
        url = server.url("/gone");
    }
    load(url);
    EXPECT_EQ(page->events, (std::vector<std::string> { "should /gone", "start", "fail " + std::to_string(NSURLErrorCannotConnectToHost) }));
    EXPECT_TRUE(web->pageHTML().empty());
}

TEST_F(WebViewTest, ALoadSupersededBeforeItBeganReportsNothing)
{
    holdLoads();
    web->loadRequest(requestFor("http://127.0.0.1:1/first"));
    web->reload(); // what a screen does when it loads in viewDidLoad and reloads in viewWillAppear
    testing_support::settle();
    EXPECT_EQ(page->events, (std::vector<std::string> { "should /first reload", "start" }));
    ASSERT_EQ(held.size(), 1u);
    held[0].second({ nullptr, "<p>done</p>", nullptr });
    testing_support::settle();
    EXPECT_EQ(page->events.back(), "finish /first");
    EXPECT_EQ(web->pageHTML(), "<p>done</p>");
}

TEST_F(WebViewTest, AStartedLoadThatIsReplacedOrStoppedFailsAsCancelled)
{
    holdLoads();
    web->loadRequest(requestFor("http://127.0.0.1:1/a"));
    testing_support::settle();
    web->loadRequest(requestFor("http://127.0.0.1:1/b"));
    testing_support::settle();
    EXPECT_EQ(page->events, (std::vector<std::string> { "should /a", "start", "fail -999", "should /b", "start" }));
    ASSERT_EQ(held.size(), 2u);
    held[0].second({ nullptr, "late", nullptr });
    testing_support::settle();
    EXPECT_EQ(page->events.size(), 5u) << "the replaced load's late answer is dropped";

    web->stopLoading();
    testing_support::settle();
    EXPECT_EQ(page->events.back(), "fail -999");
    EXPECT_FALSE(web->isLoading());
    held[1].second({ nullptr, "late", nullptr });
    testing_support::settle();
    EXPECT_EQ(page->events.size(), 6u);
    web->stopLoading();
    testing_support::settle();
    EXPECT_EQ(page->events.size(), 6u) << "stopping when idle reports nothing";
}

TEST_F(WebViewTest, ForcedFailuresAndRefusalsReachTheDelegate)
{
    uikit::web::setLoader([](const std::shared_ptr<NSURLRequest>& request, uikit::web::Completion done) {
        std::thread([request, done] { done({ nullptr, "", network::urlError(NSURLErrorNotConnectedToInternet, request->URL()) }); }).detach();
    });
    load("http://example.invalid/page");
    EXPECT_EQ(page->events.back(), "fail -1009") << "an answer from another thread arrives on the main loop";

    page->events.clear();
    page->allow = false;
    bool loaded = false;
    uikit::web::setLoader([&](const std::shared_ptr<NSURLRequest>&, uikit::web::Completion) { loaded = true; });
    web->reload();
    testing_support::settle();
    EXPECT_EQ(page->events, (std::vector<std::string> { "should /page reload" }));
    EXPECT_FALSE(loaded) << "a refused request is never loaded";
    EXPECT_FALSE(web->isLoading());
}

TEST_F(WebViewTest, TheScriptContextRecordsGlobalsAndExceptions)
{
    auto context = web->valueForKeyPath("documentView.webView.mainFrame.javaScriptContext").asObject<JSContext>();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(web->valueForKeyPath("documentView.webView.mainFrame.javaScriptContext").asObject(), context) << "one per web view";
    EXPECT_TRUE(web->valueForKeyPath("documentView.other").isAbsent());

    auto screen = std::make_shared<UIViewController>();
    context->setObjectForKeyedSubscript(Value(screen), "SNAppSpeakController");
    context->setObjectForKeyedSubscript(Value("1.0"), "version");
    EXPECT_EQ(context->globalNames(), (std::vector<std::string> { "SNAppSpeakController", "version" }));
    context->setObjectForKeyedSubscript(Value(), "version");
    EXPECT_TRUE(context->objectForKeyedSubscript("version").isAbsent());
    std::weak_ptr<UIViewController> weak = screen;
    screen.reset();
    EXPECT_TRUE(weak.expired()) << "the context does not keep its globals alive";
    EXPECT_TRUE(context->objectForKeyedSubscript("SNAppSpeakController").isAbsent());

    context->raiseException(Value("TypeError: x is undefined"));
    EXPECT_EQ(context->exception().stringValue(), "TypeError: x is undefined") << "without a handler it is kept";
    std::vector<std::string> logged;
    context->setExceptionHandler([&](const std::shared_ptr<JSContext>& c, const Value& exception) {
        c->setException(exception);
        logged.push_back(exception.stringValue());
    });
    context->raiseException(Value("ReferenceError"));
    EXPECT_EQ(logged, (std::vector<std::string> { "ReferenceError" }));
    EXPECT_EQ(context->exception().stringValue(), "ReferenceError");
}

TEST_F(WebViewTest, TheScrollViewFillsTheWebViewAndTheDumpShowsTheAddress)
{
    web->setFrame({ { 0, 0 }, { 300, 200 } });
    web->layoutIfNeeded();
    EXPECT_EQ(web->scrollView()->frame(), (CGRect { { 0, 0 }, { 300, 200 } }));
    EXPECT_EQ(web->scrollView()->superview(), web);
    EXPECT_EQ(web->dumpText(), "");
    holdLoads();
    web->loadRequest(requestFor("http://127.0.0.1:1/x?y=1"));
    EXPECT_EQ(web->dumpText(), "http://127.0.0.1:1/x?y=1");
}

} // namespace
