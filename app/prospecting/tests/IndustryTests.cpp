// The industry and region source screens and the industry contacts screen against our data
// server: the lists and the contacts screen each row opens, the replies that show a message or
// the empty label, batches that follow "换一组" whatever the replies, rows with a copyable
// number, and the batch handed to import and clear.
#include "app/UICopyLabel.h"
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
    // Pushes the screen and waits for its request and, with `rows` of 0 or more, its reply.
    template <class Screen>
    std::shared_ptr<Screen> show(std::shared_ptr<Screen> screen, const std::string& path, int rows)
    {
        navigation->pushViewController(screen, false);
        EXPECT_TRUE(waitFor([&] { return server().requests(path).size() == 1; }));
        if (rows >= 0) {
            EXPECT_TRUE(waitFor([&] { return screen->listArray().size() == std::size_t(rows) && loggedContaining("status"); }));
        }
        clearLog();
        screen->mytableView()->layoutIfNeeded();
        return screen;
    }
    std::shared_ptr<RQCustomMsgController> openIndustry(const std::string& id, int rows)
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
    void nextAndWait(const std::shared_ptr<RQCustomMsgController>& screen, std::size_t rows)
    {
        next(screen);
        ASSERT_TRUE(waitFor([&] { return screen->listArray().size() == rows && loggedContaining("status"); }));
        clearLog();
        screen->mytableView()->layoutIfNeeded();
    }
    static std::string rowText(const std::shared_ptr<prospecting::SourceListController>& screen, NSInteger row)
    {
        auto cell = screen->mytableView()->cellForRowAtIndexPath({ 0, row });
        auto label = cell ? std::dynamic_pointer_cast<UILabel>(cell->contentView()->subviews().at(0)) : nullptr;
        return label ? label->text() : std::string();
    }
    static std::vector<std::string> numbersOf(const std::shared_ptr<RQCustomMsgController>& screen)
    {
        std::vector<std::string> numbers;
        for (const auto& record : screen->listArray())
            numbers.push_back(prospecting::displayText(record->hangPhone()));
        return numbers;
    }
};

TEST_F(Industry, SourceListsInReplyOrderAndTheirRowsOpenTheirOwnContacts)
{
    auto industries = show(RQHengYeControlller::create(), "data/listCategory.do", 6);
    EXPECT_EQ(server().requests("data/listCategory.do").front().params.size(), 1u) << "the client id only";
    EXPECT_EQ(rowText(industries, 0), "餐饮美食");
    EXPECT_EQ(rowText(industries, 5), "服装零售");
    EXPECT_FALSE(industries->orderLabel());
    industries->mytableView()->userSelectRowAtIndexPath({ 0, 2 });
    auto first = std::dynamic_pointer_cast<RQCustomMsgController>(navigation->topViewController());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->hangYeId(), "3");
    EXPECT_FALSE(first->shengId());
    ASSERT_TRUE(waitFor([&] { return first->listArray().size() == 10; }));
    EXPECT_EQ(server().requests(kContacts).back().params.at("categoryId"), "3");
    navigation->popViewControllerAnimated(false);
    industries->mytableView()->userSelectRowAtIndexPath({ 0, 2 });
    EXPECT_NE(navigation->topViewController(), first) << "a new contacts screen each time";
    ASSERT_TRUE(waitFor([&] { return server().requests(kContacts).size() == 2; }));

    auto regions = show(RQQuYuController::create(), "district/listSubDistrict.do", 4);
    EXPECT_TRUE(server().requests("district/listSubDistrict.do").front().params.empty());
    EXPECT_EQ(rowText(regions, 0), "广东省");
    regions->mytableView()->userSelectRowAtIndexPath({ 0, 1 });
    auto byProvince = std::dynamic_pointer_cast<RQCustomMsgController>(navigation->topViewController());
    ASSERT_TRUE(byProvince);
    EXPECT_EQ(byProvince->shengId(), "330000");
    EXPECT_FALSE(byProvince->hangYeId());
}

TEST_F(Industry, SourceRepliesThatAreNoListShowTheirMessageOrTheEmptyLabel)
{
    const std::tuple<Failure, const char*, bool> replies[] = { { Failure::refuse("服务器维护中"), "服务器维护中", false },
        { Failure::http(500), "出错", false }, { Failure::notJson(), "出错", false },
        { Failure::withBody(R"({"status":2,"msg":"x","info":[{"categoryId":1,"name":"a"}]})"), "", false },
        { Failure::withBody(R"({"status":1,"info":[]})"), "", true } };
    for (const auto& [failure, text, empty] : replies) {
        server().reset();
        server().fail("data/listCategory.do", failure);
        clearLog();
        auto screen = RQHengYeControlller::create();
        navigation->pushViewController(screen, false);
        EXPECT_TRUE(*text ? waitForHud(screen->view(), text) : waitFor([&] { return loggedContaining("status"); }));
        EXPECT_TRUE(screen->listArray().empty()) << failure.describe();
        EXPECT_EQ(screen->orderLabel() && screen->orderLabel()->alpha() == 1, empty) << failure.describe();
        navigation->popViewControllerAnimated(false);
    }
}

// 32 contacts of industry 1 and 48 of province 440000, in batches of 10 then the empty label.
TEST_F(Industry, ContactsPageThroughTheirIndustryOrProvince)
{
    const struct {
        bool byProvince;
        const char* key;
        const char* other;
        std::vector<std::size_t> batches;
    } cases[] = { { false, "categoryId", "area_id", { 10, 10, 10, 2, 0 } },
        { true, "area_id", "categoryId", { 10, 10, 10, 10, 8, 0 } } };
    for (const auto& c : cases) {
        server().reset();
        auto screen = RQCustomMsgController::create();
        if (c.byProvince)
            screen->setShengId("440000");
        else
            screen->setHangYeId("1");
        show(screen, kContacts, 10);
        auto sent = server().requests(kContacts).front().params;
        EXPECT_EQ(sent[c.key], c.byProvince ? "440000" : "1");
        EXPECT_EQ(sent.count(c.other), 0u);
        for (std::size_t batch = 1; batch < c.batches.size(); ++batch) {
            auto previous = numbersOf(screen);
            nextAndWait(screen, c.batches[batch]);
            EXPECT_NE(numbersOf(screen), previous) << "batch " << batch;
        }
        auto requests = server().requests(kContacts);
        for (std::size_t page = 0; page < requests.size(); ++page)
            EXPECT_EQ(requests[page].params.at("page"), std::to_string(page));
        ASSERT_TRUE(screen->orderLabel());
        EXPECT_EQ(screen->orderLabel()->alpha(), 1);
        navigation->popToRootViewControllerAnimated(false);
    }
}

TEST_F(Industry, ContactRowsShowACopyableNumberAndOpenNothing)
{
    auto screen = openIndustry("2", 10);
    auto cell = screen->mytableView()->cellForRowAtIndexPath({ 0, 0 });
    ASSERT_TRUE(cell);
    ASSERT_EQ(cell->contentView()->subviews().size(), 2u);
    auto number = std::dynamic_pointer_cast<UICopyLabel>(cell->contentView()->subviews()[1]);
    ASSERT_TRUE(number);
    EXPECT_EQ(number->text(), numbersOf(screen)[0]);
    screen->mytableView()->userSelectRowAtIndexPath({ 0, 0 });
    EXPECT_EQ(navigation->topViewController(), screen);
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
    nextAndWait(screen, 10);
    EXPECT_EQ(server().requests(kContacts).back().params.at("page"), "4");
}

TEST_F(Industry, TheEmptyLabelHidesWhenContactsReturn)
{
    auto empty = Failure::withBody(R"({"status":1,"info":{"listItems":[]}})");
    empty.times = 1;
    server().fail(kContacts, empty);
    auto screen = openIndustry("1", 0);
    ASSERT_TRUE(waitFor([&] { return screen->orderLabel() != nullptr; }));
    EXPECT_EQ(screen->orderLabel()->alpha(), 1);
    nextAndWait(screen, 10);
    EXPECT_EQ(screen->orderLabel()->alpha(), 0);

    // An "info" that is no object empties the batch without the label.
    server().fail(kContacts, Failure::withBody(R"({"status":1,"info":"none"})"));
    nextAndWait(screen, 0);
    EXPECT_EQ(screen->orderLabel()->alpha(), 0);
    EXPECT_EQ(screen->mytableView()->numberOfRowsInSection(0), 0);
}

// Import and clear are the lead screen's (LeadContactsTests); here only that this screen hands
// over its batch, numbers that are missing left out.
TEST_F(Industry, ImportWritesTheBatchAndClearTakesItAway)
{
    server().fail(kContacts, Failure::withBody(R"({"status":1,"info":{"listItems":[
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
