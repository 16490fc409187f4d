// The industry and region source screens and the industry contacts screen against our data
// server: the contacts screen each row opens, batches that follow "换一组" whatever the replies,
// the batch handed to import, and the success messages of import and clear.
#include "app/prospecting/RQCustomMsgController.h"
#include "app/prospecting/RQHengYeControlller.h"
#include "app/prospecting/RQQuYuController.h"
#include "app/prospecting/tests/ScreenTestSupport.h"

using dataserver::Failure;

namespace app::test {

namespace {

constexpr const char* kContacts = "data/listIndustry.do";

class Industry : public ScreenTest {
protected:
    // Pushes the screen and waits for its request and its reply of `rows` rows.
    template <class Screen>
    std::shared_ptr<Screen> show(std::shared_ptr<Screen> screen, const std::string& path, std::size_t rows)
    {
        navigation->pushViewController(screen, false);
        EXPECT_TRUE(answered(path, 1));
        EXPECT_TRUE(waitFor([&] { return screen->listArray().size() == rows; }));
        clearLog();
        return layout(screen);
    }
    std::shared_ptr<RQCustomMsgController> openIndustry(const std::string& id, std::size_t rows)
    {
        auto screen = RQCustomMsgController::create();
        screen->setHangYeId(id);
        return show(screen, kContacts, rows);
    }
    // Taps "换一组" and waits for the request it sends.
    void next(const std::shared_ptr<RQCustomMsgController>& screen)
    {
        auto before = server().requests(kContacts).size();
        screen->nextBar()->gestureRecognizers().front()->fire(UIGestureRecognizerStateEnded);
        ASSERT_TRUE(waitFor([&] { return server().requests(kContacts).size() == before + 1; }));
    }
    static std::vector<std::string> numbersOf(const std::shared_ptr<RQCustomMsgController>& screen)
    {
        std::vector<std::string> numbers;
        for (const auto& record : screen->listArray())
            numbers.push_back(prospecting::displayText(record->hangPhone()));
        return numbers;
    }
};

TEST_F(Industry, SourceRowsOpenTheirOwnContacts)
{
    auto industries = show(RQHengYeControlller::create(), "data/listCategory.do", 6);
    industries->mytableView()->userSelectRowAtIndexPath({ 0, 2 });
    auto first = std::dynamic_pointer_cast<RQCustomMsgController>(navigation->topViewController());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->hangYeId(), "3");
    EXPECT_FALSE(first->shengId());
    ASSERT_TRUE(waitFor([&] { return first->listArray().size() == 10; }));
    EXPECT_EQ(server().requests(kContacts).back().params.at("categoryId"), "3");

    auto regions = show(RQQuYuController::create(), "district/listSubDistrict.do", 4);
    EXPECT_TRUE(server().requests("district/listSubDistrict.do").front().params.empty());
    regions->mytableView()->userSelectRowAtIndexPath({ 0, 1 });
    auto byProvince = std::dynamic_pointer_cast<RQCustomMsgController>(navigation->topViewController());
    ASSERT_TRUE(byProvince);
    EXPECT_EQ(byProvince->shengId(), "330000");
    EXPECT_FALSE(byProvince->hangYeId());
    ASSERT_TRUE(waitFor([&] { return server().requests(kContacts).size() == 2; }));
    EXPECT_EQ(server().requests(kContacts).back().params.at("area_id"), "330000");
    EXPECT_EQ(server().requests(kContacts).back().params.count("categoryId"), 0u);
}

TEST_F(Industry, ContactRepliesThatAreNoBatchKeepTheCurrentOne)
{
    auto screen = openIndustry("1", 10);
    auto batch = numbersOf(screen);

    const std::pair<Failure, const char*> replies[] = { { Failure::refuse("今日次数已用完"), "今日次数已用完" },
        { Failure::http(500), "出错" }, { Failure::withBody(R"({"status":3,"info":{"listItems":[]}})"), nullptr } };
    for (const auto& [failure, text] : replies) {
        server().reset();
        server().fail(kContacts, failure);
        clearLog();
        next(screen);
        EXPECT_TRUE(text ? waitForHud(screen->view(), text) : waitFor([&] { return loggedContaining("status"); }));
    }
    EXPECT_EQ(numbersOf(screen), batch);

    // The counter moved on all the same.
    server().reset();
    next(screen);
    EXPECT_EQ(server().requests(kContacts).back().params.at("page"), "4");
}

// Import and clear go through the lead screens' address-book code (LeadTests); here only that this
// screen hands over its batch, numbers that are missing left out.
TEST_F(Industry, ImportWritesTheBatch)
{
    server().fail(kContacts, Failure::withBody(R"({"status":1,"info":{"listItems":[
        {"computerName":"甲","categoryId":1,"phone":13800000001,"area_id":440100},
        {"computerName":"乙","categoryId":1,"area_id":440100},
        {"computerName":"丙","categoryId":1,"phone":null,"area_id":440100}]}})"));
    auto screen = openIndustry("1", 3);
    tapAndAnswer(screen, 0, "确认");
    EXPECT_EQ(storedFanNumbers(), (std::vector<std::string> { "13800000001" }));
    EXPECT_NE(lastHud(screen->view()), "导入成功");
}

// On 7.0 as later, the contacts screen lies below the navigation bar: its buttons take a touch.
TEST_F(Industry, OnSevenZeroTheButtonsLieBelowTheBar)
{
    UIDevice::currentDevice()->setSystemVersion("7.0");
    auto screen = openIndustry("1", 10);
    ASSERT_EQ(screen->buttonArray().size(), 2u);
    for (const auto& button : screen->buttonArray())
        EXPECT_TRUE(touchAtCentreReaches(button)) << button->titleForState(UIControlStateNormal);
}

// Both outcomes are successes and look like one.
TEST_F(Industry, ImportAndClearShowTheSuccessIcon)
{
    useAppResources();
    auto successIcon = UIImage::imageNamed("PGProgressHUD.bundle/success.png");
    ASSERT_TRUE(successIcon);
    auto screen = openIndustry("1", 10);
    tapAndAnswer(screen, 0, "确认");
    EXPECT_EQ(storedFanNumbers(), numbersOf(screen));
    EXPECT_EQ(lastHud(screen->view()), "导入成功");
    EXPECT_EQ(lastHudIcon(screen->view()), successIcon);
    clearHuds();

    tapAndAnswer(screen, 1, "确认");
    EXPECT_TRUE(storedPeople().empty());
    EXPECT_EQ(lastHud(screen->view()), "删除成功");
    EXPECT_EQ(lastHudIcon(screen->view()), successIcon);
}

} // namespace

} // namespace app::test
