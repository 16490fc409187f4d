// The two QR-code lists against our data server: what each twin shows and sends, the reply
// kinds (empty, refused, failed, mistyped), the rows and what a tap or the header opens, and
// the refetch on every appearance, also with a late reply from an earlier one.
#include "app/prospecting/JZQunDetailController.h"
#include "app/prospecting/RQHuFenController.h"
#include "app/prospecting/RQPublishQunController.h"
#include "app/prospecting/RQQunListController.h"
#include "app/prospecting/tests/JZQunTestSupport.h"

using dataserver::Failure;

namespace app::test {

namespace {

constexpr const char* kList = "qrcode/listCode.do";

class QrList : public QrScreenTest {
protected:
    // Pushes the list and waits until its first reply has been handled.
    template <class Screen>
    std::shared_ptr<Screen> openList()
    {
        auto screen = push(Screen::create());
        EXPECT_TRUE(waitForRequests(kList, 1));
        EXPECT_TRUE(waitFor([&] { return loggedContaining("status"); }));
        layoutTable(screen);
        return screen;
    }
    // Makes the list appear again (as on return from another screen) and waits for its reply.
    void reappear(const std::shared_ptr<prospecting::QunListController>& screen)
    {
        auto before = requestCount(kList);
        clearLog();
        screen->viewWillAppear(false);
        ASSERT_TRUE(waitForRequests(kList, before + 1));
        ASSERT_TRUE(waitFor([&] { return loggedContaining("status"); }));
        layoutTable(screen);
    }
    static std::vector<std::string> titles(const std::shared_ptr<prospecting::QunListController>& screen)
    {
        std::vector<std::string> shown;
        auto table = screen->mytableView();
        for (NSInteger row = 0; row < table->numberOfRowsInSection(0); ++row) {
            auto cell = screen->tableViewCellForRowAtIndexPath(table, { 0, row });
            shown.push_back(cell->textLabel()->text());
        }
        return shown;
    }
    std::vector<std::string> serverTitles(const std::string& type)
    {
        std::vector<std::string> stored;
        for (const auto& code : server().world().qrcodes(type, 0, 20).items)
            stored.push_back(code.title);
        return stored;
    }
    static void serveOnce(const std::string& body)
    {
        auto failure = Failure::withBody(body);
        failure.times = 1;
        server().fail(kList, failure);
    }
};

TEST_F(QrList, EachTwinListsItsKindInServerOrderAndItsHeaderOpensItsForm)
{
    auto groups = openList<RQQunListController>();
    EXPECT_EQ(groups->publishButton()->titleForState(UIControlStateNormal), "我要发布聊天群");
    EXPECT_EQ(server().requests(kList).back().params.at("type"), "3");
    ASSERT_FALSE(serverTitles("3").empty());
    EXPECT_EQ(titles(groups), serverTitles("3"));
    ASSERT_TRUE(groups->mytableView()->cellForRowAtIndexPath({ 0, 0 })) << "the first row is on screen";
    tap(groups->publishButton());
    ASSERT_TRUE(waitFor([&] { return navigation->topViewController() != groups; }));
    EXPECT_EQ(navigation->topViewController()->className(), "RQPublishQunController") << "the header opens the form";

    server().reset();
    clearLog();
    auto people = openList<RQHuFenController>();
    EXPECT_EQ(people->publishButton()->titleForState(UIControlStateNormal), "我要发布个人二维码");
    EXPECT_EQ(server().requests(kList).back().params.at("type"), "2");
    EXPECT_EQ(titles(people), serverTitles("2"));
    tap(people->publishButton());
    ASSERT_TRUE(waitFor([&] { return navigation->topViewController() != people; }));
    EXPECT_EQ(navigation->topViewController()->className(), "JQUpdateQunController");
}

TEST_F(QrList, EmptyListShowsTheLabelAndOddItemsStillGiveRowsThatHideIt)
{
    serveOnce(R"({"status":1,"msg":"","info":{"listItems":[]}})");
    auto screen = openList<RQQunListController>();
    auto label = screen->orderLabel();
    ASSERT_TRUE(label);
    EXPECT_EQ(label->alpha(), 1);
    EXPECT_TRUE(titles(screen).empty());

    serveOnce(R"({"status":1,"info":{"listItems":[{"title":2026,"position":"7","qrcodeImg":""},{},"text",null]}})");
    reappear(screen);
    EXPECT_EQ(screen->orderLabel(), label) << "made once, then only shown or hidden";
    EXPECT_EQ(label->alpha(), 0);
    auto shown = titles(screen);
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0], "2026");
    EXPECT_EQ(shown[1], "(null)");
    EXPECT_EQ(screen->listArray()[0]->position(), 7);
}

TEST_F(QrList, RefusalsFailuresOddRepliesAndNoTypeLeaveAnEmptyListWithTheRightMessage)
{
    server().fail(kList, Failure::refuse("今天已关闭"));
    auto screen = openList<RQHuFenController>();
    EXPECT_TRUE(waitForHud(screen->view(), "今天已关闭"));
    EXPECT_TRUE(screen->listArray().empty());

    for (const char* body : { R"({"status":2,"msg":"x"})", R"({"status":1,"info":{"listItems":"none"}})",
             R"({"status":1,"info":"none"})" }) {
        serveOnce(body);
        clearHuds();
        reappear(screen);
        testing_support::settle(1);
        EXPECT_TRUE(hudTexts(screen->view()).empty()) << body;
        EXPECT_TRUE(screen->listArray().empty()) << body;
    }

    // A reply that is no envelope reads as a refusal without a message.
    serveOnce(R"([{"status":1,"info":{"listItems":[{"title":"x"}]}}])");
    clearHuds();
    reappear(screen);
    EXPECT_EQ(lastHud(screen->view()), "出错");
    EXPECT_TRUE(screen->listArray().empty());

    server().fail(kList, Failure::http(500));
    clearHuds();
    screen->viewWillAppear(false);
    EXPECT_TRUE(waitForHud(screen->view(), "出错"));
    EXPECT_TRUE(screen->listArray().empty());

    // No type is refused without a request.
    auto before = requestCount(kList);
    clearHuds();
    screen->getHuFenListType(std::nullopt);
    EXPECT_EQ(lastHud(screen->view()), "类型不对");
    testing_support::settle(1);
    EXPECT_EQ(requestCount(kList), before);
}

TEST_F(QrList, RowOpensTheDetailAndTheListComesBackRefetched)
{
    auto screen = openList<RQHuFenController>();
    ASSERT_GE(screen->listArray().size(), 2u);
    auto second = screen->listArray()[1];
    screen->mytableView()->userSelectRowAtIndexPath({ 0, 1 });
    ASSERT_TRUE(waitFor([&] { return navigation->topViewController() != screen; }));
    auto detail = std::dynamic_pointer_cast<JZQunDetailController>(navigation->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->jumpeType(), "geren");
    ASSERT_TRUE(waitForRequests("qrcode/getDetail.do", 1));
    auto asked = server().requests("qrcode/getDetail.do")[0].params;
    EXPECT_EQ(asked.at("id"), second->qunId()) << "the tapped row's record";
    EXPECT_EQ(asked.at("position"), std::to_string(second->position()));

    auto lists = requestCount(kList);
    clearLog();
    navigation->popViewControllerAnimated(false);
    ASSERT_TRUE(waitForRequests(kList, lists + 1));
    ASSERT_TRUE(waitFor([&] { return screen->listArray().size() == serverTitles("2").size(); }));
    layoutTable(screen);
    EXPECT_EQ(titles(screen), serverTitles("2"));
}

// A reply still on its way when the list appears again must not add its rows to the new ones.
TEST_F(QrList, LateReplyOfAnEarlierAppearanceAddsNoDuplicates)
{
    auto held = Failure::held();
    held.times = 1;
    server().fail(kList, held);
    auto screen = push(RQQunListController::create());
    ASSERT_TRUE(waitForRequests(kList, 1));

    screen->viewWillAppear(false);
    ASSERT_TRUE(waitForRequests(kList, 2));
    auto expected = serverTitles("3").size();
    ASSERT_TRUE(waitFor([&] { return screen->listArray().size() == expected; }));

    clearLog();
    server().release(kList);
    ASSERT_TRUE(waitFor([&] { return loggedContaining("listItems"); }));
    testing_support::settle(1);
    EXPECT_EQ(screen->listArray().size(), expected);
    layoutTable(screen);
    EXPECT_EQ(titles(screen), serverTitles("3"));
}

} // namespace

} // namespace app::test
