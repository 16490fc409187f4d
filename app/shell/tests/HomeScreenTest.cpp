// The home screen against the data server: the device login, the category grid and its tile
// count, the empty notice, failures, address-book access and the share action.
#include "app/shell/tests/ShellTestSupport.h"


namespace shell_test {
namespace {

class HomeScreenTest : public ShellTest {
protected:
    bool waitForList(std::size_t count)
    {
        return waitFor([&] { return home() && home()->listArray().size() == count && home()->accessRequests() > 0; });
    }
};

TEST_F(HomeScreenTest, RepliesDecideTilesNoticeMessageAndAddressBookRequest)
{
    struct Case {
        const char* what;
        Failure reply;
        std::size_t categories;
        std::vector<std::string> tiles;
        bool notice;
        int accessRequests;
        std::string hud;
    };
    auto list = [](int count, const char* extra = "") {
        std::string items = extra;
        for (int i = 1; i <= count; ++i)
            items += (items.empty() ? "" : ",") + std::string(R"({"name":"类)") + std::to_string(i) + R"(","keyword":")"
                + std::to_string(i) + "\"}";
        return R"("listCate":[)" + items + "]";
    };
    auto info = [](const std::string& members) { return Failure::withBody(R"({"status":1,"info":{)" + members + "}}"); };
    const Case cases[] = {
        { "five: one tile, the picture page", info(list(5)), 5, { "图片" }, false, 1, "" },
        { "four: no tile, still asks", info(list(4)), 4, {}, false, 1, "" },
        { "none: the notice, no request", info(list(0)), 0, {}, true, 0, "" },
        { "no list: reload and ask", info(R"("other":1)"), 0, {}, false, 1, "" },
        { "foreign entries skipped", info(list(5, R"(1,"x",null,[])")), 5, { "图片" }, false, 1, "" },
        { "keywords of any kind", info(R"("listCate":[{"name":"a","keyword":7},{"keyword":"1"},{},{},{}])"), 5,
            { "图片" }, false, 1, "" },
        { "HTTP error", Failure::http(500), 0, {}, false, 0, "出错" },
        { "not JSON", Failure::notJson(), 0, {}, false, 0, "出错" },
        { "refused", Failure::refuse("暂无分类"), 0, {}, false, 0, "暂无分类" },
        { "refused without a message", Failure::withBody(R"({"status":0})"), 0, {}, false, 0, "出错" },
    };
    for (const auto& c : cases) {
        server().fail("home/index.do", c.reply);
        auto screen = showHome();
        ASSERT_TRUE(waitFor([&] {
            return screen->accessRequests() > 0 || screen->orderLabel()
                || (!c.hud.empty() && lastHud(screen->view()) == c.hud);
        })) << c.what;
        EXPECT_EQ(screen->listArray().size(), c.categories) << c.what;
        EXPECT_EQ(captions(), c.tiles) << c.what;
        EXPECT_EQ(screen->orderLabel() != nullptr, c.notice) << c.what;
        EXPECT_EQ(screen->accessRequests(), c.accessRequests) << c.what;
    }
}

TEST_F(HomeScreenTest, ARefusedLoginShowsAnAlert)
{
    server().fail("client/login.do", Failure::refuse("设备已停用"));
    auto screen = showHome();
    ASSERT_TRUE(waitFor([] { return uikit::topAlert() && uikit::topAlert()->message() == "设备已停用"; }));
    EXPECT_EQ(uikit::topAlert()->title(), "提示");
    EXPECT_EQ(server().requests("client/login.do").at(0).params.at("clientId"), DVUUID::uuidForDevice());
    ASSERT_TRUE(waitFor([&] { return screen->accessRequests() > 0; })) << "the grid does not wait for the login";
}

// The main thread waits on the access prompt for an answer given later on another thread; a
// refusal shows the settings hint over the grid. Sharing waits for the share keys (the host driver
// test shares through the sheet once they came).
TEST_F(HomeScreenTest, TheMainThreadWaitsForAnAnswerGivenLaterOnAnotherThreadAndShareWaitsForTheKeys)
{
    addressbook::setAccessPromptAnswer(addressbook::AccessPromptAnswer::Wait);
    std::thread user([] {
        while (!addressbook::accessPromptIsShowing())
            std::this_thread::yield();
        addressbook::answerAccessPrompt(false);
    });
    server().fail("init/share.do", Failure::held());
    launch();
    ASSERT_TRUE(waitForList(13));
    user.join();
    EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), kABAuthorizationStatusDenied);
    ASSERT_TRUE(waitFor([] { return uikit::topAlert() && uikit::topAlert()->title() == "温馨提示"; }));
    EXPECT_EQ(uikit::topAlert()->message(), "请您设置允许APP访问您的通讯录\nSettings>General>Privacy");

    home()->shareAction(nullptr);
    EXPECT_EQ(lastHud(home()->view()), "分享升级中...");
    EXPECT_EQ(SHSocialSnsService::sheetUseCount(), 0);
    server().release("init/share.do");
}

} // namespace
} // namespace shell_test
