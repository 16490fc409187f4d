// The main road end to end through the host's command driver, as a script types it: open a
// lead import screen, pick, fetch, type the size, page, import, list the contacts, clear.
#include <sstream>

#include "app/prospecting/tests/ScreenTestSupport.h"
#include "host/Driver.h"
#include "host/ScreenRegistry.h"

namespace app::test {

namespace {

class HostRoad : public ScreenTest {
protected:
    HostRoad()
    {
        host::registerScreen("leads.region", [] { return RQAddFirendController::create(); });
    }
    ~HostRoad() override { host::clearScreens(); }

    // Runs the lines; true when none failed. What the driver printed is in `output`.
    bool type(std::initializer_list<std::string> lines)
    {
        for (const auto& line : lines)
            driver.execute(line);
        return driver.failures() == 0;
    }
    // Opens the lead screen and waits for its province list (nothing on screen shows it).
    std::shared_ptr<RQAddFirendController> openScreen()
    {
        EXPECT_TRUE(type({ "open leads.region" }));
        auto screen = std::dynamic_pointer_cast<RQAddFirendController>(navigation->topViewController());
        EXPECT_TRUE(screen && waitFor([&] { return screen->shengList().isArray(); }));
        return screen;
    }
    // "tap point" at the centre of a view, in window coordinates.
    std::string tapPoint(const std::shared_ptr<UIView>& view)
    {
        CGRect frame = view->convertRectToView(view->bounds(), nullptr);
        std::ostringstream line;
        line << "tap point " << CGRectGetMidX(frame) << " " << CGRectGetMidY(frame);
        return line.str();
    }

    std::ostringstream output;
    host::Driver driver { output };
};

TEST_F(HostRoad, RegionPageIntoTheAddressBookAndOutAgain)
{
    auto screen = openScreen();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(type({
        "tap title 省", "waitfor title 广东省", "tap title 广东省",
        "tap title 市", "waitfor title 广州市", "tap title 广州市",
        "tap title 获取号码", "waitfor title 13820000000",
    })) << output.str();
    EXPECT_EQ(screen->listArray().size(), 20u);
    EXPECT_EQ(lastPhoneRequest().params.at("cityId"), "440100");

    ASSERT_TRUE(type({ "tap title 导入号码", "waitfor alert 是否导入通讯录,名称为：粉丝", "alert title 确认",
        "waitfor hud 导入成功", "contacts" }))
        << output.str();
    EXPECT_NE(output.str().find("contacts: 20"), std::string::npos) << output.str();
    EXPECT_NE(output.str().find(R"(first="粉丝" last=(none) phones=[Mobile "13820000000"])"), std::string::npos);
    EXPECT_EQ(storedFanNumbers(), numbersOf(screen));

    ASSERT_TRUE(type({ "advance 1", "advance 1", "tap title 清空电话本", "waitfor alert 是否删除名为：粉丝 的联系人", "alert title 确认",
        "waitfor hud 删除成功" }))
        << output.str();
    EXPECT_TRUE(storedPeople().empty());
}

TEST_F(HostRoad, SizeFieldAndPagingByTouch)
{
    auto screen = openScreen();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(type({ "tap title 省", "waitfor title 浙江省", "tap title 浙江省", "tap title 市", "waitfor title 杭州市",
        "tap title 杭州市" }))
        << output.str();
    layout(screen);
    ASSERT_TRUE(type({ tapPoint(screen->pageCounts()), "type \\b\\b50", "tap title 获取号码" })) << output.str();
    ASSERT_TRUE(waitFor([&] { return screen->listArray().size() == 50; }));
    EXPECT_EQ(lastPhoneRequest().params.at("pageSize"), "50");
    EXPECT_EQ(lastPhoneRequest().params.at("proviceId"), "330000");

    // The reply rebuilt the row: the field reads 20 again, so the next page is of 20.
    layout(screen);
    auto next = tapPoint(screen->pagingButtons()[2]);
    ASSERT_TRUE(type({ next })) << output.str();
    ASSERT_TRUE(waitFor([&] { return screen->listArray().size() == 20; }));
    EXPECT_EQ(lastPhoneRequest().params.at("page"), "1");
    layout(screen);
    ASSERT_TRUE(type({ tapPoint(screen->pagingButtons()[1]) }));
    ASSERT_TRUE(type({ tapPoint(screen->pagingButtons()[1]), "waitfor hud 已经第一页了" })) << output.str();
    EXPECT_EQ(screen->page(), -1);
}

} // namespace

} // namespace app::test
