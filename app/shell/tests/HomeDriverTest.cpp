// The app started as the executable starts it, driven by host commands: the home screen's tiles,
// a tap into a feature screen and back, and the share sheet.
#include "app/shell/tests/ShellTestSupport.h"

#include "app/RQWifiController.h"
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
                                                 "dump\n"
                                                 "tap title 图片\n");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_FALSE(contains(run.output, "\"推广赚钱\"")) << "the last four categories are not shown";
    EXPECT_TRUE(contains(run.output, "\"首页\"")) << run.output;
    ASSERT_TRUE(SHSocialSnsService::lastShare());
    EXPECT_EQ(SHSocialSnsService::lastShare()->platformName, "mgtimeline");
    EXPECT_TRUE(SHSocialSnsService::lastShare()->hasImage) << "the launcher icon was fetched";
    EXPECT_TRUE(std::dynamic_pointer_cast<RQWifiController>(top())) << "the last shown tile, whatever its keyword";
}

} // namespace
} // namespace shell_test
