// The About screen (entries, device identifier, agent check) and the certificate lookup,
// against the data server; a typed account reaches the server as typed.
#include "app/tests/WebScreenTestSupport.h"

#include "app/JZAboutController.h"
#include "app/JZShouQuanController.h"
#include "app/RQAppSpeakController.h"
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

TEST_F(AboutScreenTest, EntriesOpenTheirScreens)
{
    auto about = openAbout();

    tapEntry(about->mianZheLabel());
    auto declare = std::dynamic_pointer_cast<RQAppSpeakController>(navigation->topViewController());
    ASSERT_TRUE(declare);
    EXPECT_TRUE(waitForPage(declare, "client/regDeclare.do", 1));
    declare->leftButtonClick();

    tapEntry(about->shouQuanView());
    auto lookup = std::dynamic_pointer_cast<JZShouQuanController>(navigation->topViewController());
    ASSERT_TRUE(lookup);
    lookup->leftButtonClick();

    tapEntry(about->shiPinView());
    auto videos = std::dynamic_pointer_cast<RQAppSpeakController>(navigation->topViewController());
    ASSERT_TRUE(videos);
    ASSERT_TRUE(waitForPage(videos, "data/qryLearn.do", 1));
    EXPECT_EQ(server().requests("data/qryLearn.do").back().params.at("type"), "1");
    videos->leftButtonClick();

    // Any other tag opens nothing.
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
    auto requestsBefore = server().requests().size();
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    testing_support::settle(2);
    EXPECT_EQ(navigation->topViewController(), screen);
    EXPECT_EQ(server().requests().size(), requestsBefore);
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

} // namespace
} // namespace app::test
