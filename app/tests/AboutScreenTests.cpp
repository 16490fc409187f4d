// The About screen (its device identifier shown whole and copied, the agent check) and the
// certificate lookup against the data server (a typed account reaches the server as typed); the
// picture page and the download-link page; the base screens' title and back button. The screens
// script walks the About entries.
#include "app/tests/WebScreenTestSupport.h"

#include "app/DDYPPartentsController.h"
#include "app/JZAboutController.h"
#include "app/JZShouQuanController.h"
#include "app/RQWifiController.h"
#include "app/RQWifiDetailController.h"
#include "app/SNAppSpeakController.h"
#include "app/YZXNoBackControlller.h"
#include "platform/uikit/UIMenuController.h"
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
    std::shared_ptr<JZShouQuanController> openLookup()
    {
        auto screen = JZShouQuanController::create();
        navigation->pushViewController(screen, false);
        return screen;
    }
};

TEST_F(AboutScreenTest, ShowsTheDeviceIdentifierAndOnlyAnAgentGetsAButton)
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
    // A tap shows the edit menu over it, offering only copying, which takes the whole text.
    CGRect onScreen = label->convertRectToView(label->bounds(), nullptr);
    EXPECT_EQ(window->sendTap(CGPointMake(CGRectGetMidX(onScreen), CGRectGetMidY(onScreen))), label);
    auto menu = UIMenuController::sharedMenuController();
    EXPECT_TRUE(label->isFirstResponder());
    ASSERT_TRUE(menu->isMenuVisible());
    EXPECT_TRUE(CGRectEqualToRect(menu->targetRect(), frame));
    EXPECT_EQ(menu->targetView(), label->superview());
    for (const char* action : { "cut:", "paste:", "selectAll:" })
        EXPECT_FALSE(label->canPerformAction(action, nullptr)) << action;
    ASSERT_TRUE(menu->performAction("copy:"));
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string(), DVUUID::uuidForDevice());
    menu->reset();
    UIPasteboard::generalPasteboard()->clear();
    EXPECT_EQ(server().requests(kAgentCheck).back().params.at("clientId"), DVUUID::uuidForDevice());
    ASSERT_TRUE(waitFor([&] { return logged("您还不是代理"); }));
    EXPECT_EQ(screen->navigationItem()->rightBarButtonItem(), nullptr);
    EXPECT_TRUE(screen->userDicc().isNil());
    navigation->popViewControllerAnimated(false);

    // A failed or refused check shows nothing either.
    for (auto failure : { Failure::notJson(), Failure::withBody(R"({"status":2,"info":{"a":1}})") }) {
        server().reset();
        server().fail(kAgentCheck, failure);
        clearLog();
        screen = openAbout();
        testing_support::settle(2);
        EXPECT_FALSE(PGProgressHUD::HUDForView(screen->view())) << failure.describe();
        EXPECT_EQ(screen->navigationItem()->rightBarButtonItem(), nullptr) << failure.describe();
        EXPECT_TRUE(screen->userDicc().isNil()) << failure.describe();
        navigation->popViewControllerAnimated(false);
    }

    // An agent gets a button that does nothing.
    server().reset();
    clearLog();
    DVUUID::uuidForDeviceMigratingValue(std::string(kAgentDevice), true);
    ASSERT_EQ(DVUUID::uuidForDevice(), kAgentDevice);
    screen = openAbout();
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

// A screen that sets up its bar its own way: loading either base screen runs its version.
template <class Base>
struct OwnBarScreen : Base {
    int setNavCalls = 0;
    void setNav() override { ++setNavCalls; }
};

TEST_F(AboutScreenTest, BothBaseScreensSetUpTheBarThroughTheScreensOwnSetNav)
{
    auto withBack = std::make_shared<OwnBarScreen<DDYPPartentsController>>();
    auto noBack = std::make_shared<OwnBarScreen<YZXNoBackControlller>>();
    withBack->view();
    noBack->view();
    EXPECT_EQ(withBack->setNavCalls, 1);
    EXPECT_EQ(noBack->setNavCalls, 1);
}

// Which releases keep a screen from lying under the bars: with a back button from 7.0 on,
// without one before 8.0.
TEST_F(AboutScreenTest, EachBaseScreenRestrictsItsLayoutEdgesOnItsOwnReleases)
{
    constexpr UIRectEdge restricted = UIRectEdgeLeft | UIRectEdgeBottom | UIRectEdgeRight;
    const std::tuple<const char*, bool, bool> cases[] = { { "6.1", false, true }, { "7.0", true, true },
        { "8.0", true, false } };
    for (const auto& [version, withBackRestricts, noBackRestricts] : cases) {
        SCOPED_TRACE(version);
        UIDevice::currentDevice()->setSystemVersion(version);
        auto withBack = std::make_shared<DDYPPartentsController>();
        auto noBack = std::make_shared<YZXNoBackControlller>();
        withBack->view();
        noBack->view();
        EXPECT_EQ(withBack->edgesForExtendedLayout() == restricted, withBackRestricts);
        EXPECT_EQ(noBack->edgesForExtendedLayout() == restricted, noBackRestricts);
    }
    uikit::resetDeviceProfile();
}

} // namespace
} // namespace app::test
