// The app started as the executable starts it, driven by host commands: the home screen's tiles,
// a tap into a feature screen and back, the share sheet, "出错" without a server, and screens
// opened by name on top of the home screen.
#include "app/shell/tests/ShellTestSupport.h"

#include "host/ScreenRegistry.h"
#include "host/tests/HostRun.h"

namespace shell_test {
namespace {

using host_test::contains;

class HomeDriverTest : public ShellTest {
protected:
    void SetUp() override
    {
        host::clearScreens();
        host::registerScreen("home", [] { return RQMainController::create(); });
    }
    void TearDown() override { host::clearScreens(); }
};

TEST_F(HomeDriverTest, TilesOpenTheirScreensAndTheShareSheetComesUp)
{
    auto run = host_test::runScript<AppDelegate>("onerror stop\n"
                                                 "waitfor title 图片\n"
                                                 "tap title 加粉\n"
                                                 "waitfor title 获取号码\n"
                                                 "back\n"
                                                 "tap title 关于我们\n"
                                                 "waitfor title 关于\n"
                                                 "back\n"
                                                 "waitfor title 分享\n"
                                                 "tap title 分享\n"
                                                 "waitfor alert 分享到\n"
                                                 "alert title 朋友圈\n"
                                                 "dump\n");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_FALSE(contains(run.output, "\"推广赚钱\"")) << "the last four categories are not shown";
    EXPECT_TRUE(contains(run.output, "\"首页\"")) << run.output;
    ASSERT_TRUE(SHSocialSnsService::lastShare());
    EXPECT_EQ(SHSocialSnsService::lastShare()->platformName, "mgtimeline");
}

TEST_F(HomeDriverTest, WithoutAServerTheHomeScreenSaysSo)
{
    ::setenv("QUILLMARK_DATA_ROOT", "http://127.0.0.1:9/brelvoxin/", 1);
    ::setenv("QUILLMARK_ACCOUNT_ROOT", "http://127.0.0.1:9/solvane/", 1);
    auto run = host_test::runScript<AppDelegate>("waitfor hud 出错\n"
                                                 "tap title 分享\n"
                                                 "waitfor hud 分享升级中...\n");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(uikit::topAlert(), nullptr) << "a failed login shows nothing";
}

TEST_F(HomeDriverTest, ScreensOpenedByNameGoOnTopOfTheHomeScreen)
{
    auto run = host_test::runScript<AppDelegate>("waitfor title 图片\n"
                                                 "open home\n"
                                                 "back\n"
                                                 "back\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.output, "error: back: only the root screen is left")) << run.output;
    ASSERT_NE(home(), nullptr);
    EXPECT_EQ(navigation()->viewControllers().size(), 1u);
}

} // namespace
} // namespace shell_test
