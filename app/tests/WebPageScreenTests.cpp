// The three web page screens against the data server (the screens script shows their pages): the
// reload on every appearance, the spinner, the page-view report of the certificate screen and the script
// bridge. (A screen kept alive by a cycle shows as a leak under the sanitizer.)
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

TEST_F(WebPageScreenTest, AFailedPageSaysSoAndACancelledOneOnlyStopsTheSpinner)
{
    server().fail(kDeclare, Failure::drop());
    auto screen = open<RQAppSpeakController>(app::dataServerURL(kDeclare), "免责声明");
    ASSERT_TRUE(waitForHud(screen->view(), "出错"));
    EXPECT_FALSE(screen->activity()->isAnimating());
    EXPECT_FALSE(screen->bunessWeb()->isLoading());

    auto other = open<RQAppSpeakController>(app::dataServerURL(kDeclare), "免责声明");
    other->webViewDidStartLoad(other->bunessWeb());
    ASSERT_TRUE(other->activity()->isAnimating());
    other->webViewDidFailLoadWithError(
        other->bunessWeb(), NSError::errorWithDomain("NSURLErrorDomain", NSURLErrorCancelled));
    EXPECT_FALSE(other->activity()->isAnimating());
    EXPECT_EQ(lastHud(other->view()), "");
}

// The page loads on creation and again on every appearance (the bar shown); the page view is
// reported once.
TEST_F(WebPageScreenTest, CertificateScreenReloadsOnEveryAppearanceAndReportsThePageViewOnce)
{
    auto screen = open<SNAppSpeakController>(app::dataServerURL(kCertificate) + "?agentNo=qm10086", "授权证书");
    EXPECT_EQ(screen->myTitle()->text(), "授权证书");
    ASSERT_TRUE(server().waitForRequests(kPageView, 1, std::chrono::seconds(10)));
    auto report = server().requests(kPageView).back();
    EXPECT_EQ(report.params.at("clientId"), DVUUID::uuidForDevice());
    EXPECT_EQ(report.params.count("categoryId"), 0u);
    ASSERT_TRUE(waitForReplyLogged());
    ASSERT_TRUE(waitForPage(screen, kCertificate, 1));

    navigation->setNavigationBarHidden(true);
    coverAndReveal();
    EXPECT_FALSE(navigation->isNavigationBarHidden());
    ASSERT_TRUE(waitForPage(screen, kCertificate, 2));
    EXPECT_EQ(server().requests(kCertificate).back().method, "GET");
    EXPECT_EQ(hits(kPageView), 1u);
    EXPECT_EQ(lastHud(screen->view()), "");
}

// The report of a screen with a category names it; its replies show a message or nothing.
TEST_F(WebPageScreenTest, PageViewReplies)
{
    const std::pair<Failure, std::string> cases[] = {
        { Failure::refuse("分类不存在"), "分类不存在" },
        { Failure::http(500), "出错" },
        { Failure::notJson(), "出错" },
        { Failure::withBody(R"({"status":7,"msg":"别处"})"), "" },
    };
    for (const auto& [failure, hud] : cases) {
        SCOPED_TRACE(failure.describe());
        server().reset();
        server().fail(kPageView, failure);
        auto screen = SNAppSpeakController::create();
        screen->setCatoryId("3");
        screen->setUrlStr(app::dataServerURL(kDeclare));
        navigation->pushViewController(screen, false);
        ASSERT_TRUE(server().waitForRequests(kPageView, 1, std::chrono::seconds(10)));
        EXPECT_EQ(server().requests(kPageView).back().params.at("categoryId"), "3");
        if (hud.empty()) {
            ASSERT_TRUE(waitFor([&] { return loggedContaining("status"); }));
            testing_support::settle(2);
        }
        EXPECT_TRUE(waitForHud(screen->view(), hud));
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
    context->raiseException(Value("ReferenceError: x is not defined"));
    EXPECT_TRUE(logged("异常信息：ReferenceError: x is not defined"));

    // Still there after the page reloaded.
    ASSERT_TRUE(waitForPage(screen, kDeclare, 1));
    coverAndReveal();
    ASSERT_TRUE(waitForPage(screen, kDeclare, hits(kDeclare)));
    EXPECT_EQ(context->objectForKeyedSubscript("SNAppSpeakController").asObject(), screen);
    EXPECT_EQ(context->globalNames(), std::vector<std::string> { "SNAppSpeakController" });
}

} // namespace
} // namespace app::test
