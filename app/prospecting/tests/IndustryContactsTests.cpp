// The industry contacts screen against our data server: the form by opener, batches that
// follow "换一组" whatever the replies, rows with a copyable number, the replies that keep the
// batch, the empty label shown and hidden, and the import and clear checked in the
// address-book file.
#include "app/UICopyLabel.h"
#include "app/prospecting/RQCustomMsgController.h"
#include "app/prospecting/tests/ScreenTestSupport.h"
#include "platform/uikit/UIMenuController.h"

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
    void tapAndAnswer(const std::shared_ptr<RQCustomMsgController>& screen, int button, const std::string& answer)
    {
        tap(screen->buttonArray()[static_cast<std::size_t>(button)]);
        auto alert = topAlert();
        ASSERT_TRUE(alert);
        ASSERT_TRUE(alert->tapButtonAtIndex(alert->indexOfButtonWithTitle(answer)));
    }
};

TEST_F(IndustryContacts, AnIndustryPagesThroughItsContacts)
{
    auto screen = openIndustry("1", 10);
    EXPECT_EQ(screen->myTitle()->text(), "行业客源");
    auto sent = server().requests(kPath).front().params;
    EXPECT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent["categoryId"], "1");
    EXPECT_EQ(sent["page"], "0");
    EXPECT_EQ(sent["clientId"].size(), 32u);
    EXPECT_EQ(sent.count("area_id"), 0u);
    CGSize size = UIScreen::mainScreen()->bounds().size;
    EXPECT_TRUE(CGRectEqualToRect(screen->mytableView()->frame(), CGRectMake(20, 115, size.width - 40, size.height - 189)));
    EXPECT_EQ(screen->nextBar()->text(), "换一组");

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
    EXPECT_EQ(screen->orderLabel()->text(), "没有相关数据");
    EXPECT_EQ(screen->orderLabel()->alpha(), 1);
    EXPECT_EQ(screen->mytableView()->numberOfRowsInSection(0), 0);
}

TEST_F(IndustryContacts, AProvinceSendsItsAreaInstead)
{
    auto screen = RQCustomMsgController::create();
    screen->setShengId("440000");
    show(screen, 10);
    EXPECT_EQ(screen->myTitle()->text(), "区域客源");
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
    EXPECT_EQ(screen->tableViewHeightForRowAtIndexPath(screen->mytableView(), { 0, 0 }), 60);
    auto cell = screen->mytableView()->cellForRowAtIndexPath({ 0, 0 });
    ASSERT_TRUE(cell);
    const auto& views = cell->contentView()->subviews();
    ASSERT_EQ(views.size(), 2u);
    auto name = std::dynamic_pointer_cast<UILabel>(views[0]);
    auto number = std::dynamic_pointer_cast<UICopyLabel>(views[1]);
    ASSERT_TRUE(name && number);
    EXPECT_EQ(name->text(), prospecting::displayText(screen->listArray()[0]->hangName()));
    EXPECT_NE(name->text().find("美容美发店"), std::string::npos);
    EXPECT_EQ(number->text(), numbersOf(screen)[0]);
    EXPECT_EQ(number->text().size(), 11u);
    EXPECT_DOUBLE_EQ(number->frame().origin.y, 34.5);

    UIPasteboard::generalPasteboard()->clear();
    number->gestureRecognizers().front()->fire(UIGestureRecognizerStateEnded);
    EXPECT_TRUE(number->isFirstResponder());
    EXPECT_TRUE(UIMenuController::sharedMenuController()->isMenuVisible());
    number->copy(nullptr);
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string(), numbersOf(screen)[0]);
    UIMenuController::sharedMenuController()->reset();

    // Selecting a row opens nothing.
    screen->mytableView()->userSelectRowAtIndexPath({ 0, 0 });
    EXPECT_EQ(navigation->topViewController(), screen);
}

TEST_F(IndustryContacts, RepliesThatAreNoBatchKeepTheCurrentOne)
{
    auto screen = openIndustry("1", 10);
    auto batch = numbersOf(screen);

    server().fail(kPath, Failure::refuse("今日次数已用完"));
    next(screen);
    EXPECT_TRUE(waitForHud(screen->view(), "今日次数已用完"));
    server().reset();
    server().fail(kPath, Failure::http(500));
    next(screen);
    EXPECT_TRUE(waitForHud(screen->view(), "出错"));
    server().reset();
    server().fail(kPath, Failure::withBody(R"({"status":3,"info":{"listItems":[]}})"));
    next(screen);
    ASSERT_TRUE(waitFor([&] { return loggedContaining("status"); }));
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

TEST_F(IndustryContacts, ImportWritesTheBatchAndClearTakesItAway)
{
    auto screen = openIndustry("1", 10);
    tap(screen->buttonArray()[0]);
    auto alert = topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->tag(), 102);
    EXPECT_EQ(alert->message(), "是否导入通讯录,名称为：粉丝");
    EXPECT_EQ(screen->buttonArray()[1]->alpha(), 0.6);
    alert->tapButtonAtIndex(0);
    EXPECT_EQ(lastHud(screen->view()), "导入成功");
    EXPECT_EQ(storedFanNumbers(), numbersOf(screen));
    for (const auto& person : storedPeople())
        EXPECT_EQ(person.label, kABPersonPhoneMobileLabel);

    // The same batch again doubles it; "取消" does nothing.
    clearHuds();
    tapAndAnswer(screen, 0, "确认");
    EXPECT_EQ(storedPeople().size(), 20u);
    tapAndAnswer(screen, 1, "取消");
    EXPECT_EQ(storedPeople().size(), 20u);

    clearHuds();
    tap(screen->buttonArray()[1]);
    alert = topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->tag(), 101);
    EXPECT_EQ(alert->title(), "是否删除名为：粉丝 的联系人");
    alert->tapButtonAtIndex(0);
    EXPECT_EQ(lastHud(screen->view()), "删除成功");
    EXPECT_TRUE(storedPeople().empty());
}

TEST_F(IndustryContacts, NothingToImportAndNumbersThatAreMissing)
{
    server().fail(kPath, Failure::withBody(R"({"status":1,"info":{"listItems":[]}})"));
    auto empty = openIndustry("1", 0);
    tap(empty->buttonArray()[0]);
    EXPECT_EQ(lastHud(empty->view()), "获取到号码后再导入");
    EXPECT_FALSE(topAlert());
    navigation->popViewControllerAnimated(false);

    server().reset();
    server().fail(kPath, Failure::withBody(R"({"status":1,"info":{"listItems":[
        {"computerName":"甲","categoryId":1,"phone":13800000001,"area_id":440100},
        {"computerName":"乙","categoryId":1,"area_id":440100},
        {"computerName":"丙","categoryId":1,"phone":null,"area_id":440100}]}})"));
    auto screen = openIndustry("1", 3);
    tapAndAnswer(screen, 0, "确认");
    EXPECT_EQ(storedFanNumbers(), (std::vector<std::string> { "13800000001" }));
    EXPECT_NE(lastHud(screen->view()), "导入成功");
}

TEST_F(IndustryContacts, WithoutAccessNothingIsWritten)
{
    auto screen = openIndustry("1", 10);
    addressbook::setAuthorizationStatus(kABAuthorizationStatusDenied);
    tapAndAnswer(screen, 0, "确认");
    EXPECT_NE(lastHud(screen->view()), "导入成功");
    addressbook::setAuthorizationStatus(kABAuthorizationStatusAuthorized);
    EXPECT_TRUE(storedPeople().empty());
}

} // namespace

} // namespace app::test
