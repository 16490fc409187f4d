// The About screen (entries, device identifier, agent check) and the certificate lookup,
// against the data server.
#include "app/tests/WebScreenTestSupport.h"

#include "app/JZAboutController.h"
#include "app/JZShouQuanController.h"
#include "app/RQAppSpeakController.h"
#include "app/SNAppSpeakController.h"
#include "app/ServerRoots.h"

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

TEST_F(AboutScreenTest, ShowsTheDeviceIdentifierAndTheEntries)
{
    auto screen = openAbout();
    EXPECT_EQ(screen->myTitle()->text(), "关于");
    EXPECT_EQ(screen->backView()->frame().origin.y, -170);

    auto label = screen->deviceLabel();
    ASSERT_TRUE(label);
    EXPECT_EQ(label->superview(), screen->backView());
    EXPECT_EQ(label->text(), DVUUID::uuidForDevice());
}

TEST_F(AboutScreenTest, EntriesOpenTheirScreens)
{
    auto about = openAbout();

    tapEntry(about->mianZheLabel());
    auto declare = std::dynamic_pointer_cast<RQAppSpeakController>(navigation->topViewController());
    ASSERT_TRUE(declare);
    EXPECT_EQ(declare->urlStr(), app::dataServerRoot() + "client/regDeclare.do");
    EXPECT_EQ(declare->titleName(), "免责声明");
    EXPECT_TRUE(waitForPage(declare, "client/regDeclare.do", 1));
    declare->leftButtonClick();

    tapEntry(about->shouQuanView());
    auto lookup = std::dynamic_pointer_cast<JZShouQuanController>(navigation->topViewController());
    ASSERT_TRUE(lookup);
    EXPECT_EQ(lookup->myTitle()->text(), "授权");
    lookup->leftButtonClick();

    tapEntry(about->shiPinView());
    auto videos = std::dynamic_pointer_cast<RQAppSpeakController>(navigation->topViewController());
    ASSERT_TRUE(videos);
    EXPECT_EQ(videos->urlStr(), app::dataServerRoot() + "data/qryLearn.do?type=1");
    EXPECT_EQ(videos->titleName(), "功能视频");
    ASSERT_TRUE(waitForPage(videos, "data/qryLearn.do", 1));
    EXPECT_EQ(server().requests("data/qryLearn.do").back().params.at("type"), "1");
    videos->leftButtonClick();

    // Any other tag opens nothing.
    about->mianZheLabel()->setTag(7);
    tapEntry(about->mianZheLabel());
    EXPECT_EQ(navigation->topViewController(), about);
}

TEST_F(AboutScreenTest, DeviceThatIsNoAgentGetsNoButton)
{
    auto screen = openAbout();
    auto check = server().requests(kAgentCheck).back();
    EXPECT_EQ(check.method, "POST");
    EXPECT_EQ(check.params.at("clientId"), DVUUID::uuidForDevice());
    ASSERT_TRUE(waitFor([&] { return logged("您还不是代理"); }));
    EXPECT_EQ(screen->navigationItem()->rightBarButtonItem(), nullptr);
    EXPECT_TRUE(screen->userDicc().isNil());
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
    EXPECT_EQ(button->frame().size, CGSizeMake(80, 20));
    auto requestsBefore = server().requests().size();
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    testing_support::settle(2);
    EXPECT_EQ(navigation->topViewController(), screen);
    EXPECT_EQ(server().requests().size(), requestsBefore);
}

TEST_F(AboutScreenTest, FailedOrRefusedAgentCheckShowsNothing)
{
    for (auto failure :
        { Failure::http(500), Failure::notJson(), Failure::withBody(R"({"status":2,"info":{"a":1}})") }) {
        SCOPED_TRACE(failure.describe());
        server().reset();
        server().fail(kAgentCheck, failure);
        auto screen = openAbout();
        testing_support::settle(2);
        EXPECT_FALSE(PGProgressHUD::HUDForView(screen->view()));
        EXPECT_EQ(screen->navigationItem()->rightBarButtonItem(), nullptr);
        EXPECT_TRUE(screen->userDicc().isNil());
        navigation->popViewControllerAnimated(false);
        clearLog();
    }
}

TEST_F(AboutScreenTest, LookupAsksForAnAccountThenOpensItsCertificatePage)
{
    auto lookup = openLookup();
    ASSERT_TRUE(lookup->dlLiaoTianHao());
    lookup->lookButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(lastHud(lookup->view()), "请填写代理聊天号");
    EXPECT_EQ(navigation->topViewController(), lookup);

    lookup->dlLiaoTianHao()->setText("qm10086");
    lookup->lookButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    auto page = std::dynamic_pointer_cast<SNAppSpeakController>(navigation->topViewController());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->urlStr(), app::dataServerRoot() + "data/qryAgent.do?agentNo=qm10086");
    EXPECT_EQ(page->titleName(), "授权证书");
    ASSERT_TRUE(waitForPage(page, "data/qryAgent.do", 1));
    EXPECT_NE(page->bunessWeb()->pageHTML().find("张伟"), std::string::npos);
    EXPECT_TRUE(server().waitForRequests("home//web.do", 1, std::chrono::seconds(10)));
    EXPECT_TRUE(waitForReplyLogged());
}

TEST_F(AboutScreenTest, AccountReachesTheServerAsTyped)
{
    for (std::string typed : { "代理 01", "qm&agentNo=qm10010", "a#b+c%20" }) {
        SCOPED_TRACE(typed);
        server().reset();
        auto lookup = openLookup();
        lookup->dlLiaoTianHao()->setText(typed);
        lookup->lookAction(nullptr);
        auto page = std::dynamic_pointer_cast<SNAppSpeakController>(navigation->topViewController());
        ASSERT_TRUE(page);
        ASSERT_TRUE(page->bunessWeb()->request()->URL());
        ASSERT_TRUE(waitForPage(page, "data/qryAgent.do", 1));
        auto seen = server().requests("data/qryAgent.do").back().params;
        EXPECT_EQ(seen.at("agentNo"), typed);
        EXPECT_EQ(page->bunessWeb()->pageHTML().find("李娜"), std::string::npos);
        ASSERT_TRUE(server().waitForRequests("home//web.do", 1, std::chrono::seconds(10)));
        ASSERT_TRUE(waitForReplyLogged());
        clearLog();
        navigation->popToRootViewControllerAnimated(false);
    }
}

} // namespace
} // namespace app::test
