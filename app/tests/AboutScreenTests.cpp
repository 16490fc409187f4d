// The About screen (entries, device identifier, agent check) and the certificate lookup, against
// the data server (a typed account reaches the server as typed); the push message detail, the
// picture page and the download-link page; the base screens' title and back button.
#include "app/tests/WebScreenTestSupport.h"

#include "app/DDYPPartentsController.h"
#include "app/JZAboutController.h"
#include "app/JZNewsDetailController.h"
#include "app/JZShouQuanController.h"
#include "app/RQAppSpeakController.h"
#include "app/RQWifiController.h"
#include "app/RQWifiDetailController.h"
#include "app/SNAppSpeakController.h"
#include "platform/uikit/UIScreen.h"

namespace app::test {
namespace {

using dataserver::Failure;

constexpr const char* kAgentCheck = "client/isAgent.do";
constexpr const char* kAgentDevice = "0f1e2d3c4b5a69788796a5b4c3d2e1f0"; // agent "qm10086"

class AboutScreenTest : public WebScreenTest {
protected:
    std::shared_ptr<JZAboutController> openAbout()
    {
        auto screen = JZAboutController::create();
        navigation->pushViewController(screen, false);
        EXPECT_TRUE(server().waitForRequests(kAgentCheck, 1, std::chrono::seconds(10)));
        EXPECT_TRUE(waitForReplyLogged());
        return screen;
    }
    static void tapEntry(const std::shared_ptr<UIView>& entry)
    {
        ASSERT_TRUE(entry);
        ASSERT_TRUE(entry->isUserInteractionEnabled());
        ASSERT_EQ(entry->gestureRecognizers().size(), 1u);
        entry->gestureRecognizers().front()->fire(UIGestureRecognizerStateEnded);
    }
    std::shared_ptr<JZShouQuanController> openLookup()
    {
        auto screen = JZShouQuanController::create();
        navigation->pushViewController(screen, false);
        return screen;
    }
};

// The about road script opens each entry; here the videos' kind and a tag that names none.
TEST_F(AboutScreenTest, EntriesOpenTheirScreensAndAnotherTagNone)
{
    auto about = openAbout();
    tapEntry(about->shiPinView());
    auto videos = std::dynamic_pointer_cast<RQAppSpeakController>(navigation->topViewController());
    ASSERT_TRUE(videos);
    ASSERT_TRUE(waitForPage(videos, "data/qryLearn.do", 1));
    EXPECT_EQ(server().requests("data/qryLearn.do").back().params.at("type"), "1");
    videos->leftButtonClick();

    about->mianZheLabel()->setTag(7);
    tapEntry(about->mianZheLabel());
    EXPECT_EQ(navigation->topViewController(), about);
}

TEST_F(AboutScreenTest, ShowsTheDeviceIdentifierAndADeviceThatIsNoAgentGetsNoButton)
{
    auto screen = openAbout();
    EXPECT_EQ(screen->deviceLabel()->text(), DVUUID::uuidForDevice());
    // All of it shows on the screen.
    auto label = screen->deviceLabel();
    CGRect frame = label->frame();
    EXPECT_LE(CGRectGetMaxX(frame), UIScreen::mainScreen()->bounds().size.width);
    CGSize needed = label->sizeThatFits({ frame.size.width, 1000 });
    EXPECT_LE(needed.width, frame.size.width);
    EXPECT_LE(needed.height, frame.size.height);
    EXPECT_EQ(server().requests(kAgentCheck).back().params.at("clientId"), DVUUID::uuidForDevice());
    ASSERT_TRUE(waitFor([&] { return logged("您还不是代理"); }));
    EXPECT_EQ(screen->navigationItem()->rightBarButtonItem(), nullptr);
    EXPECT_TRUE(screen->userDicc().isNil());
    navigation->popViewControllerAnimated(false);

    // A failed or refused check shows nothing either.
    for (auto failure :
        { Failure::http(500), Failure::notJson(), Failure::withBody(R"({"status":2,"info":{"a":1}})") }) {
        SCOPED_TRACE(failure.describe());
        server().reset();
        server().fail(kAgentCheck, failure);
        clearLog();
        screen = openAbout();
        testing_support::settle(2);
        EXPECT_FALSE(PGProgressHUD::HUDForView(screen->view()));
        EXPECT_EQ(screen->navigationItem()->rightBarButtonItem(), nullptr);
        EXPECT_TRUE(screen->userDicc().isNil());
        navigation->popViewControllerAnimated(false);
    }
}

TEST_F(AboutScreenTest, AgentGetsAButtonThatDoesNothing)
{
    DVUUID::uuidForDeviceMigratingValue(std::string(kAgentDevice), true);
    ASSERT_EQ(DVUUID::uuidForDevice(), kAgentDevice);
    auto screen = openAbout();
    ASSERT_TRUE(waitFor([&] { return screen->navigationItem()->rightBarButtonItem() != nullptr; }));
    EXPECT_EQ(screen->userDicc()["agentNo"], Value("qm10086"));

    auto button = std::dynamic_pointer_cast<UIButton>(screen->navigationItem()->rightBarButtonItem()->customView());
    ASSERT_TRUE(button);
    EXPECT_EQ(button->titleForState(UIControlStateNormal), "个人资料");
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    testing_support::settle(2);
    EXPECT_EQ(navigation->topViewController(), screen);
}

TEST_F(AboutScreenTest, LookupAsksForAnAccountAndTheAccountReachesTheServerAsTyped)
{
    auto lookup = openLookup();
    lookup->lookButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(lastHud(lookup->view()), "请填写代理聊天号");
    EXPECT_EQ(navigation->topViewController(), lookup);
    navigation->popToRootViewControllerAnimated(false);

    // The account reaches the server as typed, whatever it holds.
    const std::pair<std::string, bool> accounts[]
        = { { "qm10086", true }, { "代理 01", false }, { "qm&agentNo=qm10086", false }, { "a#b+c%20", false } };
    for (const auto& [typed, isAgent] : accounts) {
        SCOPED_TRACE(typed);
        server().reset();
        clearLog();
        lookup = openLookup();
        lookup->dlLiaoTianHao()->setText(typed);
        lookup->lookButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
        auto page = std::dynamic_pointer_cast<SNAppSpeakController>(navigation->topViewController());
        ASSERT_TRUE(page);
        ASSERT_TRUE(waitForPage(page, "data/qryAgent.do", 1));
        EXPECT_EQ(server().requests("data/qryAgent.do").back().params.at("agentNo"), typed);
        EXPECT_EQ(page->bunessWeb()->pageHTML().find("张伟") != std::string::npos, isAgent);
        ASSERT_TRUE(server().waitForRequests("home//web.do", 1, std::chrono::seconds(10)));
        ASSERT_TRUE(waitForReplyLogged());
        navigation->popToRootViewControllerAnimated(false);
    }
}

// The push script shows a news screen with its texts; here its bar and a message without texts.
TEST_F(AboutScreenTest, NewsDetailShowsTheBarAndOpensWithoutTexts)
{
    navigation->setNavigationBarHidden(true);
    auto news = JZNewsDetailController::create();
    navigation->pushViewController(news, false);
    EXPECT_FALSE(navigation->isNavigationBarHidden());
    EXPECT_EQ(news->contentView()->text(), "");
    EXPECT_FALSE(news->contentView()->isEditable());
}

TEST_F(AboutScreenTest, PicturePageShowsSixPicturesAndLeadsToTheDownloadLink)
{
    auto page = RQWifiController::create();
    navigation->pushViewController(page, false);
    const auto& pictures = page->imageViews();
    ASSERT_EQ(pictures.size(), 6u);
    EXPECT_TRUE(pictures.back()->image());
    EXPECT_GE(page->scrollView()->contentSize().height, CGRectGetMaxY(pictures.back()->frame()))
        << "the last picture can be scrolled to";

    page->goDownWifiApp();
    auto detail = std::dynamic_pointer_cast<RQWifiDetailController>(navigation->topViewController());
    ASSERT_TRUE(detail);
    ASSERT_TRUE(detail->linkLabel());
    EXPECT_EQ(detail->linkLabel()->text(), kWifiDownloadLink);
    EXPECT_TRUE(NSURL::URLWithString(detail->linkLabel()->text()));
}

TEST_F(AboutScreenTest, BaseScreenTitleIsTheBarsViewAndTheBackButtonPopsTheScreen)
{
    EXPECT_FALSE(root->navigationItem()->leftBarButtonItem());
    auto screen = std::make_shared<DDYPPartentsController>();
    navigation->pushViewController(screen, false);
    ASSERT_TRUE(screen->myTitle());
    EXPECT_EQ(screen->navigationItem()->titleView(), screen->myTitle());
    auto item = screen->navigationItem()->leftBarButtonItem();
    ASSERT_TRUE(item);
    ASSERT_EQ(item->customView(), screen->backButton());
    screen->backButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    testing_support::settle(2);
    EXPECT_EQ(navigation->topViewController(), root);
}

} // namespace
} // namespace app::test
