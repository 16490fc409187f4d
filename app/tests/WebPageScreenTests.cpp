// The three web page screens against the data server: titles, the load on creation and the
// reload on every appearance, the spinner, the page-view report of the certificate screen and
// the script bridge.
#include "app/tests/WebScreenTestSupport.h"

#include "app/DRSNAppSpeakController.h"
#include "app/RQAppSpeakController.h"
#include "app/SNAppSpeakController.h"
#include "app/ServerRoots.h"
#include "platform/network/URLError.h"

namespace app::test {
namespace {

using dataserver::Failure;

constexpr const char* kDeclare = "client/regDeclare.do";
constexpr const char* kPageView = "home//web.do";
constexpr const char* kCertificate = "data/qryAgent.do";

class WebPageScreenTest : public WebScreenTest {
protected:
    template <class Screen> std::shared_ptr<Screen> open(const std::string& url, const std::string& title)
    {
        auto screen = Screen::create();
        screen->setUrlStr(url);
        screen->setTitleName(title);
        navigation->pushViewController(screen, false);
        return screen;
    }
};

TEST_F(WebPageScreenTest, TitlesOfTheTwins)
{
    auto declare = open<RQAppSpeakController>(app::dataServerURL(kDeclare), "免责声明");
    EXPECT_EQ(declare->title(), "免责声明");
    EXPECT_EQ(declare->myTitle()->text(), "免责声明");
    EXPECT_TRUE(logged("免责声明"));

    auto certificate = open<SNAppSpeakController>(app::dataServerURL(kCertificate) + "?agentNo=qm10086", "授权证书");
    EXPECT_EQ(certificate->myTitle()->text(), "授权证书");
    EXPECT_EQ(certificate->title(), "");
    ASSERT_TRUE(server().waitForRequests(kPageView, 1, std::chrono::seconds(10)));
    ASSERT_TRUE(waitFor([&] { return loggedContaining("status"); }));

    auto bridge = open<DRSNAppSpeakController>(app::dataServerURL(kDeclare), "桥");
    EXPECT_EQ(bridge->myTitle()->text(), "桥");
    EXPECT_EQ(bridge->title(), "");
}

TEST_F(WebPageScreenTest, LoadsOnCreationAndReloadsOnEveryAppearance)
{
    auto screen = open<RQAppSpeakController>(app::dataServerURL(kDeclare), "免责声明");
    auto web = screen->bunessWeb();
    ASSERT_TRUE(web);
    ASSERT_TRUE(web->request() && web->request()->URL());
    EXPECT_EQ(web->request()->URL()->absoluteString(), app::dataServerURL(kDeclare));
    EXPECT_TRUE(logged(app::dataServerURL(kDeclare)));

    ASSERT_TRUE(waitForPage(screen, kDeclare, 1));
    auto first = hits(kDeclare);
    EXPECT_NE(web->pageHTML().find("<html"), std::string::npos);

    // Back from a screen pushed over it: the page is asked for again, the bar shown.
    navigation->setNavigationBarHidden(true);
    coverAndReveal();
    EXPECT_FALSE(navigation->isNavigationBarHidden());
    ASSERT_TRUE(waitForPage(screen, kDeclare, first + 1));
    coverAndReveal();
    ASSERT_TRUE(waitForPage(screen, kDeclare, first + 2));
    EXPECT_EQ(server().requests(kDeclare).back().method, "GET");
}

TEST_F(WebPageScreenTest, FailedPageStopsTheSpinnerAndSaysSo)
{
    server().fail(kDeclare, Failure::drop());
    auto screen = open<RQAppSpeakController>(app::dataServerURL(kDeclare), "免责声明");
    ASSERT_TRUE(waitForHud(screen->view(), "出错"));
    EXPECT_FALSE(screen->activity()->isAnimating());
    EXPECT_FALSE(screen->bunessWeb()->isLoading());
}

TEST_F(WebPageScreenTest, CancelledLoadOnlyStopsTheSpinner)
{
    auto screen = open<RQAppSpeakController>(app::dataServerURL(kDeclare), "免责声明");
    auto web = screen->bunessWeb();
    screen->webViewDidStartLoad(web);
    ASSERT_TRUE(screen->activity()->isAnimating());
    screen->webViewDidFailLoadWithError(web, NSError::errorWithDomain("NSURLErrorDomain", NSURLErrorCancelled));
    EXPECT_FALSE(screen->activity()->isAnimating());
    EXPECT_EQ(lastHud(screen->view()), "");
}

TEST_F(WebPageScreenTest, CertificateScreenReportsThePageViewOnce)
{
    auto screen = open<SNAppSpeakController>(app::dataServerURL(kCertificate) + "?agentNo=qm10086", "授权证书");
    ASSERT_TRUE(server().waitForRequests(kPageView, 1, std::chrono::seconds(10)));
    auto report = server().requests(kPageView).back();
    EXPECT_EQ(report.method, "POST");
    EXPECT_EQ(report.params.at("clientId"), DVUUID::uuidForDevice());
    EXPECT_EQ(report.params.count("categoryId"), 0u);
    EXPECT_TRUE(loggedContaining("param:"));
    ASSERT_TRUE(waitForReplyLogged());
    ASSERT_TRUE(waitForPage(screen, kCertificate, 1));

    coverAndReveal();
    ASSERT_TRUE(waitForPage(screen, kCertificate, 2));
    EXPECT_EQ(hits(kPageView), 1u);
    EXPECT_EQ(lastHud(screen->view()), "");

    clearLog();
    auto withCategory = SNAppSpeakController::create();
    withCategory->setCatoryId("3");
    withCategory->setUrlStr(app::dataServerURL(kDeclare));
    navigation->pushViewController(withCategory, false);
    ASSERT_TRUE(server().waitForRequests(kPageView, 2, std::chrono::seconds(10)));
    EXPECT_EQ(server().requests(kPageView).back().params.at("categoryId"), "3");
    ASSERT_TRUE(waitForReplyLogged());
}

TEST_F(WebPageScreenTest, PageViewReplies)
{
    struct Case {
        Failure failure;
        std::string hud;
    };
    const std::vector<Case> cases = {
        { Failure::refuse("分类不存在"), "分类不存在" },
        { Failure::http(500), "出错" },
        { Failure::drop(), "出错" },
        { Failure::notJson(), "出错" },
        { Failure::withBody(R"({"status":7,"msg":"别处"})"), "" },
        { Failure::withBody(R"({"status":1,"msg":"好"})"), "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failure.describe());
        server().reset();
        server().fail(kPageView, c.failure);
        auto screen = open<SNAppSpeakController>(app::dataServerURL(kDeclare), "授权证书");
        ASSERT_TRUE(server().waitForRequests(kPageView, 1, std::chrono::seconds(10)));
        ASSERT_TRUE(waitFor(
            [&] { return loggedContaining("status") || (!c.hud.empty() && lastHud(screen->view()) == c.hud); }));
        if (c.hud.empty()) {
            testing_support::settle(2);
            EXPECT_EQ(lastHud(screen->view()), "");
        } else {
            EXPECT_TRUE(waitForHud(screen->view(), c.hud));
        }
        // The page is shown whatever the report's fate.
        EXPECT_TRUE(waitForPage(screen, kDeclare, 1));
        navigation->popViewControllerAnimated(false);
        clearLog();
    }
}

TEST_F(WebPageScreenTest, ScriptBridgeRegistersTheScreenAndLogsExceptions)
{
    auto screen = open<DRSNAppSpeakController>(app::dataServerURL(kDeclare), "桥");
    auto context = screen->jsContext();
    ASSERT_TRUE(context);
    EXPECT_EQ(context, screen->bunessWeb()->javaScriptContext());
    EXPECT_EQ(context->objectForKeyedSubscript("SNAppSpeakController").asObject(), screen);

    context->raiseException(Value("ReferenceError: x is not defined"));
    EXPECT_TRUE(logged("异常信息：ReferenceError: x is not defined"));
    EXPECT_EQ(context->exception(), Value("ReferenceError: x is not defined"));

    // Still there after the page reloaded.
    ASSERT_TRUE(waitForPage(screen, kDeclare, 1));
    coverAndReveal();
    ASSERT_TRUE(waitForPage(screen, kDeclare, hits(kDeclare)));
    EXPECT_EQ(context->objectForKeyedSubscript("SNAppSpeakController").asObject(), screen);
    EXPECT_EQ(context->globalNames(), std::vector<std::string> { "SNAppSpeakController" });
}

TEST_F(WebPageScreenTest, ScreensAreFreedWhenLeft)
{
    std::weak_ptr<DRSNAppSpeakController> bridge;
    std::weak_ptr<SNAppSpeakController> certificate;
    {
        auto a = open<DRSNAppSpeakController>(app::dataServerURL(kDeclare), "桥");
        bridge = a;
        ASSERT_TRUE(waitForPage(a, kDeclare, 1));
        a->leftButtonClick();
        auto b = open<SNAppSpeakController>(app::dataServerURL(kDeclare), "授权证书");
        certificate = b;
        ASSERT_TRUE(server().waitForRequests(kPageView, 1, std::chrono::seconds(10)));
        ASSERT_TRUE(waitForReplyLogged());
        ASSERT_TRUE(waitForPage(b, kDeclare, 2));
        b->leftButtonClick();
    }
    time.advance(2);
    EXPECT_TRUE(waitFor([&] { return bridge.expired() && certificate.expired(); }));
}

} // namespace
} // namespace app::test
