// The industry and region source screens against our data server: the lists and their forms,
// the replies that show a message or the empty label, the top-bar highlight, and rows that
// open the contacts screen.
#include "app/prospecting/RQCustomMsgController.h"
#include "app/prospecting/RQHengYeControlller.h"
#include "app/prospecting/RQQuYuController.h"
#include "app/prospecting/tests/ScreenTestSupport.h"

using dataserver::Failure;

namespace app::test {

namespace {

class IndustrySource : public ScreenTest {
protected:
    template <class Screen>
    // Pushes the screen and waits for its request and, with `rows` of 0 or more, its reply.
    std::shared_ptr<Screen> push(const std::string& path, int rows)
    {
        auto screen = Screen::create();
        navigation->pushViewController(screen, false);
        EXPECT_TRUE(waitFor([&] { return server().requests(path).size() == 1; }));
        if (rows >= 0) {
            EXPECT_TRUE(waitFor([&] { return screen->listArray().size() == std::size_t(rows) && loggedContaining("status"); }));
        }
        screen->mytableView()->layoutIfNeeded();
        return screen;
    }
    static std::string rowText(const std::shared_ptr<prospecting::SourceListController>& screen, NSInteger row)
    {
        auto cell = screen->mytableView()->cellForRowAtIndexPath({ 0, row });
        if (!cell || cell->contentView()->subviews().empty())
            return {};
        auto label = std::dynamic_pointer_cast<UILabel>(cell->contentView()->subviews().front());
        return label ? label->text() : std::string();
    }
};

TEST_F(IndustrySource, IndustriesAndProvincesAreListedInReplyOrder)
{
    auto screen = push<RQHengYeControlller>("data/listCategory.do", 6);
    EXPECT_EQ(server().requests("data/listCategory.do").front().params.size(), 1u) << "the client id only";
    EXPECT_EQ(rowText(screen, 0), "餐饮美食");
    EXPECT_EQ(rowText(screen, 5), "服装零售");
    EXPECT_EQ(screen->listArray()[0]->categoryId(), "1");
    EXPECT_FALSE(screen->orderLabel());

    auto regions = push<RQQuYuController>("district/listSubDistrict.do", 4);
    EXPECT_TRUE(server().requests("district/listSubDistrict.do").front().params.empty());
    EXPECT_EQ(rowText(regions, 0), "广东省");
    EXPECT_EQ(regions->listArray()[3]->shengId(), "510000");
}

TEST_F(IndustrySource, TappedRowsOpenTheirOwnContactsScreens)
{
    auto industries = push<RQHengYeControlller>("data/listCategory.do", 6);
    industries->mytableView()->userSelectRowAtIndexPath({ 0, 2 });
    auto first = std::dynamic_pointer_cast<RQCustomMsgController>(navigation->topViewController());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->hangYeId(), "3");
    EXPECT_FALSE(first->shengId());
    ASSERT_TRUE(waitFor([&] { return first->listArray().size() == 10; }));
    EXPECT_EQ(server().requests("data/listIndustry.do").back().params.at("categoryId"), "3");

    navigation->popViewControllerAnimated(false);
    industries->mytableView()->userSelectRowAtIndexPath({ 0, 2 });
    auto second = std::dynamic_pointer_cast<RQCustomMsgController>(navigation->topViewController());
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    ASSERT_TRUE(waitFor([&] { return server().requests("data/listIndustry.do").size() == 2; }));
    EXPECT_EQ(industries->listArray().size(), 6u); // the list is unchanged

    auto regions = push<RQQuYuController>("district/listSubDistrict.do", 4);
    regions->mytableView()->userSelectRowAtIndexPath({ 0, 1 });
    auto byProvince = std::dynamic_pointer_cast<RQCustomMsgController>(navigation->topViewController());
    ASSERT_TRUE(byProvince);
    EXPECT_EQ(byProvince->shengId(), "330000");
    EXPECT_FALSE(byProvince->hangYeId());
}

TEST_F(IndustrySource, RepliesThatAreNoListShowTheirMessage)
{
    const std::pair<Failure, const char*> replies[] = { { Failure::refuse("服务器维护中"), "服务器维护中" },
        { Failure::http(500), "出错" }, { Failure::notJson(), "出错" },
        { Failure::withBody(R"({"status":2,"msg":"x","info":[{"categoryId":1,"name":"a"}]})"), "" } };
    for (const auto& [failure, text] : replies) {
        server().reset();
        server().fail("data/listCategory.do", failure);
        clearLog();
        auto screen = push<RQHengYeControlller>("data/listCategory.do", -1);
        EXPECT_TRUE(*text ? waitForHud(screen->view(), text) : waitFor([&] { return loggedContaining("status"); }));
        EXPECT_TRUE(screen->listArray().empty()) << failure.describe();
        navigation->popViewControllerAnimated(false);
    }
}

TEST_F(IndustrySource, AnEmptyListShowsTheEmptyLabel)
{
    server().fail("data/listCategory.do", Failure::withBody(R"({"status":1,"info":[]})"));
    auto screen = push<RQHengYeControlller>("data/listCategory.do", 0);
    ASSERT_TRUE(waitFor([&] { return screen->orderLabel() != nullptr; }));
    EXPECT_EQ(screen->orderLabel()->text(), "没有相关数据");
    EXPECT_EQ(screen->orderLabel()->alpha(), 1);
}

TEST_F(IndustrySource, TopBarButtonsOnlyChangeTheirHighlight)
{
    auto screen = push<RQHengYeControlller>("data/listCategory.do", 6);
    const auto& buttons = screen->buttonArray();
    ASSERT_EQ(buttons.size(), 2u);
    tap(buttons[1]);
    EXPECT_EQ(buttons[1]->alpha(), 1);
    EXPECT_EQ(buttons[0]->alpha(), 0.6);
    tap(buttons[0]);
    EXPECT_EQ(buttons[0]->alpha(), 1);
    EXPECT_EQ(buttons[1]->alpha(), 0.6);
    EXPECT_FALSE(topAlert());
    EXPECT_TRUE(storedPeople().empty());
}

} // namespace

} // namespace app::test
