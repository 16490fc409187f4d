// The industry contacts screen against our data server: the form by opener, batches that
// follow "换一组" whatever the replies, rows with a copyable number, the replies that keep the
// batch, the empty label shown and hidden, and its batch handed to import and clear.
#include "app/UICopyLabel.h"
#include "app/prospecting/RQCustomMsgController.h"
#include "app/prospecting/tests/ScreenTestSupport.h"

using dataserver::Failure;

namespace app::test {

namespace {

constexpr const char* kPath = "data/listIndustry.do";

class IndustryContacts : public ScreenTest {
protected:
    std::shared_ptr<RQCustomMsgController> openIndustry(const std::string& id, std::size_t rows)
    {
        auto screen = RQCustomMsgController::create();
        screen->setHangYeId(id);
        return show(screen, rows);
    }
    std::shared_ptr<RQCustomMsgController> show(const std::shared_ptr<RQCustomMsgController>& screen, std::size_t rows)
    {
        navigation->pushViewController(screen, false);
        EXPECT_TRUE(waitFor([&] { return server().requests(kPath).size() == 1; }));
        EXPECT_TRUE(waitFor([&] { return screen->listArray().size() == rows && loggedContaining("status"); }));
        clearLog();
        screen->mytableView()->layoutIfNeeded();
        return screen;
    }
    // Taps "换一组" and waits for the request it sends.
    void next(const std::shared_ptr<RQCustomMsgController>& screen)
    {
        auto before = server().requests(kPath).size();
        auto tapRecogniser = screen->nextBar()->gestureRecognizers().front();
        tapRecogniser->fire(UIGestureRecognizerStateEnded);
        ASSERT_TRUE(waitFor([&] { return server().requests(kPath).size() == before + 1; }));
    }
    void nextAndWait(const std::shared_ptr<RQCustomMsgController>& screen, std::size_t rows)
    {
        next(screen);
        ASSERT_TRUE(waitFor([&] { return screen->listArray().size() == rows && loggedContaining("status"); }));
        clearLog();
        screen->mytableView()->layoutIfNeeded();
    }
    std::vector<std::string> pagesSent()
    {
        std::vector<std::string> pages;
        for (const auto& request : server().requests(kPath))
            pages.push_back(request.params.at("page"));
        return pages;
    }
    static std::vector<std::string> numbersOf(const std::shared_ptr<RQCustomMsgController>& screen)
    {
        std::vector<std::string> numbers;
        for (const auto& record : screen->listArray())
            numbers.push_back(prospecting::displayText(record->hangPhone()));
        return numbers;
    }
};

TEST_F(IndustryContacts, AnIndustryPagesThroughItsContacts)
{
    auto screen = openIndustry("1", 10);
    auto sent = server().requests(kPath).front().params;
    EXPECT_EQ(sent["categoryId"], "1");
    EXPECT_EQ(sent.count("area_id"), 0u);

    auto firstBatch = numbersOf(screen);
    nextAndWait(screen, 10);
    EXPECT_NE(numbersOf(screen), firstBatch);
    nextAndWait(screen, 10);
    nextAndWait(screen, 2); // 32 contacts in batches of 10
    EXPECT_EQ(pagesSent(), (std::vector<std::string> { "0", "1", "2", "3" }));
    for (const auto& record : screen->listArray())
        EXPECT_EQ(record->hangId(), "1");

    // Past the end: an empty batch and the empty label.
    nextAndWait(screen, 0);
    ASSERT_TRUE(screen->orderLabel());
    EXPECT_EQ(screen->orderLabel()->alpha(), 1);
}

TEST_F(IndustryContacts, AProvinceSendsItsAreaInstead)
{
    auto screen = RQCustomMsgController::create();
    screen->setShengId("440000");
    show(screen, 10);
    auto sent = server().requests(kPath).front().params;
    EXPECT_EQ(sent["area_id"], "440000");
    EXPECT_EQ(sent.count("categoryId"), 0u);
    for (int batch = 1; batch < 4; ++batch)
        nextAndWait(screen, 10);
    nextAndWait(screen, 8); // 48 contacts: batch 4 holds the last 8
}

TEST_F(IndustryContacts, RowsShowANameOverACopyableNumber)
{
    auto screen = openIndustry("2", 10);
    auto cell = screen->mytableView()->cellForRowAtIndexPath({ 0, 0 });
    ASSERT_TRUE(cell);
    const auto& views = cell->contentView()->subviews();
    ASSERT_EQ(views.size(), 2u);
    auto name = std::dynamic_pointer_cast<UILabel>(views[0]);
    auto number = std::dynamic_pointer_cast<UICopyLabel>(views[1]);
    ASSERT_TRUE(name && number);
    EXPECT_NE(name->text().find("美容美发店"), std::string::npos);
    EXPECT_EQ(number->text(), numbersOf(screen)[0]);

    // Selecting a row opens nothing.
    screen->mytableView()->userSelectRowAtIndexPath({ 0, 0 });
    EXPECT_EQ(navigation->topViewController(), screen);
}

TEST_F(IndustryContacts, RepliesThatAreNoBatchKeepTheCurrentOne)
{
    auto screen = openIndustry("1", 10);
    auto batch = numbersOf(screen);

    const std::pair<Failure, const char*> replies[] = { { Failure::refuse("今日次数已用完"), "今日次数已用完" },
        { Failure::http(500), "出错" }, { Failure::withBody(R"({"status":3,"info":{"listItems":[]}})"), nullptr } };
    for (const auto& [failure, text] : replies) {
        server().reset();
        server().fail(kPath, failure);
        clearLog();
        next(screen);
        EXPECT_TRUE(text ? waitForHud(screen->view(), text) : waitFor([&] { return loggedContaining("status"); }));
    }
    EXPECT_EQ(numbersOf(screen), batch);

    // The counter moved on all the same.
    server().reset();
    nextAndWait(screen, 10);
    EXPECT_EQ(server().requests(kPath).back().params.at("page"), "4");
}

TEST_F(IndustryContacts, TheEmptyLabelHidesWhenContactsReturn)
{
    server().fail(kPath, [] {
        auto failure = Failure::withBody(R"({"status":1,"info":{"listItems":[]}})");
        failure.times = 1;
        return failure;
    }());
    auto screen = openIndustry("1", 0);
    ASSERT_TRUE(waitFor([&] { return screen->orderLabel() != nullptr; }));
    EXPECT_EQ(screen->orderLabel()->alpha(), 1);
    nextAndWait(screen, 10);
    EXPECT_EQ(screen->orderLabel()->alpha(), 0);

    // An "info" that is no object empties the batch without the label.
    server().fail(kPath, Failure::withBody(R"({"status":1,"info":"none"})"));
    nextAndWait(screen, 0);
    EXPECT_EQ(screen->orderLabel()->alpha(), 0);
    EXPECT_EQ(screen->mytableView()->numberOfRowsInSection(0), 0);
}

// Import and clear are the lead screen's (LeadContactsTests); here only that this screen hands
// over its batch, numbers that are missing left out.
TEST_F(IndustryContacts, ImportWritesTheBatchAndClearTakesItAway)
{
    server().fail(kPath, Failure::withBody(R"({"status":1,"info":{"listItems":[
        {"computerName":"甲","categoryId":1,"phone":13800000001,"area_id":440100},
        {"computerName":"乙","categoryId":1,"area_id":440100},
        {"computerName":"丙","categoryId":1,"phone":null,"area_id":440100}]}})"));
    auto screen = openIndustry("1", 3);
    tapAndAnswer(screen, 0, "确认");
    EXPECT_EQ(storedFanNumbers(), (std::vector<std::string> { "13800000001" }));
    EXPECT_NE(lastHud(screen->view()), "导入成功");

    clearHuds();
    tapAndAnswer(screen, 1, "确认");
    EXPECT_EQ(lastHud(screen->view()), "删除成功");
    EXPECT_TRUE(storedPeople().empty());
}

} // namespace

} // namespace app::test
