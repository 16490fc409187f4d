// The home screen against the data server: the device login, the category grid and its tile
// count, taps that open the keyword's screen, the empty notice, failures, address-book access
// and the share action.
#include "app/shell/tests/ShellTestSupport.h"

#include "app/JZAboutController.h"
#include "app/RQWifiController.h"
#include "app/ServerRoots.h"
#include "app/prospecting/RQAddFirendController.h"
#include "app/prospecting/RQJingZhunJiaFenController.h"

namespace shell_test {
namespace {

class HomeScreenTest : public ShellTest {
protected:
    void tapTile(NSInteger item)
    {
        home()->collectionView()->userSelectItemAtIndexPath(NSIndexPath::indexPathForItem(item, 0));
    }
    bool waitForList(std::size_t count)
    {
        return waitFor([&] { return home() && home()->listArray().size() == count && home()->accessRequests() > 0; });
    }
};

TEST_F(HomeScreenTest, SeededCategoriesShowAllButTheLastFourAndTheLastShownIsThePicturePage)
{
    launch();
    ASSERT_TRUE(waitForList(13));
    EXPECT_EQ(home()->myTitle()->text(), "首页");
    EXPECT_EQ(captions(),
        (std::vector<std::string> {
            "加粉", "精准加粉", "国际加粉", "行业客源", "加群", "互粉", "免费WiFi", "关于我们", "图片" }));
    EXPECT_EQ(home()->listArray()[8]->keyword, "图片") << "the last shown tile is re-keyworded";
    EXPECT_EQ(home()->listArray()[9]->classNameStr, "推广赚钱") << "kept but never shown";
    EXPECT_EQ(home()->accessRequests(), 1);
    EXPECT_EQ(home()->orderLabel(), nullptr);

    tapTile(0);
    EXPECT_NE(std::dynamic_pointer_cast<RQAddFirendController>(top()), nullptr);
    navigation()->popViewControllerAnimated(false);
    tapTile(7);
    EXPECT_NE(std::dynamic_pointer_cast<JZAboutController>(top()), nullptr);
}

TEST_F(HomeScreenTest, RepliesDecideTilesNoticeAndAddressBookRequest)
{
    struct Case {
        const char* what;
        std::string listCate; // the "info" object's members
        std::size_t categories;
        std::vector<std::string> tiles;
        bool notice;
        int accessRequests;
    };
    auto list = [](int count, const char* extra = "") {
        std::string items = extra;
        for (int i = 1; i <= count; ++i)
            items += (items.empty() ? "" : ",") + std::string(R"({"name":"类)") + std::to_string(i) + R"(","keyword":")"
                + std::to_string(i) + "\"}";
        return R"("listCate":[)" + items + "]";
    };
    const Case cases[] = {
        { "five: one tile, the picture page", list(5), 5, { "图片" }, false, 1 },
        { "four: no tile, still asks", list(4), 4, {}, false, 1 },
        { "none: the notice, no request", list(0), 0, {}, true, 0 },
        { "no list: reload and ask", R"("other":1)", 0, {}, false, 1 },
        { "foreign entries skipped", list(5, R"(1,"x",null,[])"), 5, { "图片" }, false, 1 },
    };
    for (const auto& c : cases) {
        server().fail("home/index.do", Failure::withBody(R"({"status":1,"info":{)" + c.listCate + "}}"));
        auto screen = showHome();
        ASSERT_TRUE(waitFor([&] { return screen->accessRequests() > 0 || screen->orderLabel(); })) << c.what;
        EXPECT_EQ(screen->listArray().size(), c.categories) << c.what;
        EXPECT_EQ(captions(), c.tiles) << c.what;
        EXPECT_EQ(screen->orderLabel() != nullptr, c.notice) << c.what;
        if (auto notice = screen->orderLabel()) {
            EXPECT_EQ(notice->text(), "没有相关数据");
            EXPECT_EQ(notice->alpha(), 1);
            EXPECT_EQ(notice->superview(), screen->view());
        }
        EXPECT_EQ(screen->accessRequests(), c.accessRequests) << c.what;
    }
}

TEST_F(HomeScreenTest, TheLastTileOpensThePicturePageWhateverItsKeyword)
{
    server().fail("home/index.do",
        Failure::withBody(R"({"status":1,"info":{"listCate":[)"
                          R"({"name":"a","keyword":7},{"keyword":"1"},{},{},{}]}})"));
    launch();
    ASSERT_TRUE(waitForList(5));
    EXPECT_EQ(home()->listArray()[1]->classNameStr, "(null)") << "missing keys read as the text of nothing";
    EXPECT_EQ(captions(), (std::vector<std::string> { "图片" }));
    EXPECT_EQ(home()->listArray()[0]->keyword, "图片");
    tapTile(0);
    EXPECT_NE(std::dynamic_pointer_cast<RQWifiController>(top()), nullptr);
    tapTile(3);
    EXPECT_EQ(navigation()->viewControllers().size(), 2u) << "a hidden category cannot be tapped";
}

TEST_F(HomeScreenTest, KeywordsChooseTheirScreens)
{
    EXPECT_NE(std::dynamic_pointer_cast<RQJingZhunJiaFenController>(RQMainController::screenForKeyword("7")), nullptr);
    EXPECT_EQ(RQMainController::screenForKeyword("12"), nullptr);
    EXPECT_EQ(RQMainController::screenForKeyword("8"), nullptr);
    EXPECT_EQ(RQMainController::screenForKeyword("07"), nullptr) << "exact text only";
    const std::pair<const char*, const char*> screens[]
        = { { "1", "RQAddFirendController" }, { "2", "RQHuFenController" }, { "3", "RQQunListController" },
              { "4", "RQContryController" }, { "5", "RQWifiController" }, { "6", "RQHengYeControlller" },
              { "11", "JZAboutController" }, { "图片", "RQWifiController" } };
    for (const auto& [keyword, className] : screens) {
        auto screen = RQMainController::screenForKeyword(keyword);
        ASSERT_NE(screen, nullptr) << keyword;
        EXPECT_EQ(screen->className(), className) << keyword;
    }
}

TEST_F(HomeScreenTest, FailuresShowTheirMessagesAndAskNothing)
{
    const std::pair<Failure, std::string> cases[] = {
        { Failure::http(500), "出错" },
        { Failure::notJson(), "出错" },
        { Failure::withBody("[1,2]"), "出错" },
        { Failure::drop(), "出错" },
        { Failure::refuse("暂无分类"), "暂无分类" },
    };
    for (const auto& [failure, text] : cases) {
        server().fail("home/index.do", failure);
        auto screen = showHome();
        ASSERT_TRUE(waitForHud(screen->view(), text)) << failure.describe();
        EXPECT_EQ(screen->accessRequests(), 0);
        EXPECT_TRUE(screen->listArray().empty());
    }
    server().fail("home/index.do", Failure::refuse("ignored", 2));
    auto screen = showHome();
    ASSERT_TRUE(server().waitForRequests("home/index.do", 6, std::chrono::seconds(10)));
    testing_support::settle(1);
    EXPECT_EQ(lastHud(screen->view()), "") << "another status shows nothing";
}

TEST_F(HomeScreenTest, TheDeviceLogsInAndARefusedLoginShowsAnAlert)
{
    server().fail("client/login.do", Failure::refuse("设备已停用"));
    launch();
    ASSERT_TRUE(waitForAlert("提示"));
    EXPECT_EQ(uikit::topAlert()->message(), "设备已停用");
    EXPECT_EQ(uikit::topAlert()->buttonTitles(), (std::vector<std::string> { "确定" }));
    auto logins = server().requests("client/login.do");
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].params.at("clientId"), DVUUID::uuidForDevice());
    ASSERT_TRUE(waitForList(13)) << "the grid does not wait for the login";
}

TEST_F(HomeScreenTest, AFailedOrUnreadableLoginShowsNothing)
{
    server().fail("client/login.do", Failure::notJson());
    launch();
    ASSERT_TRUE(waitForList(13));
    ASSERT_TRUE(waitFor([&] { return logged("(null)"); }));
    testing_support::settle(1);
    EXPECT_EQ(uikit::topAlert(), nullptr) << "a reply that is not an envelope is only logged";
}

TEST_F(HomeScreenTest, RefusedAddressBookAccessShowsTheSettingsHint)
{
    addressbook::setAccessPromptAnswer(addressbook::AccessPromptAnswer::Deny);
    launch();
    ASSERT_TRUE(waitForAlert("温馨提示"));
    EXPECT_EQ(uikit::topAlert()->message(), "请您设置允许APP访问您的通讯录\nSettings>General>Privacy");
    EXPECT_EQ(home()->listArray().size(), 13u) << "the grid is there all the same";
}

TEST_F(HomeScreenTest, TheMainThreadWaitsForAnAnswerGivenLaterOnAnotherThread)
{
    addressbook::setAccessPromptAnswer(addressbook::AccessPromptAnswer::Wait);
    std::thread user([] {
        while (!addressbook::accessPromptIsShowing())
            std::this_thread::yield();
        addressbook::answerAccessPrompt(true);
    });
    launch();
    ASSERT_TRUE(waitForList(13));
    user.join();
    EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), kABAuthorizationStatusAuthorized);
    EXPECT_EQ(uikit::topAlert(), nullptr);
}

TEST_F(HomeScreenTest, ReusedTilesAreFilledNotStacked)
{
    launch();
    ASSERT_TRUE(waitForList(13));
    captions();
    auto grid = home()->collectionView();
    auto first = grid->cellForItemAtIndexPath(NSIndexPath::indexPathForItem(0, 0));
    ASSERT_NE(first, nullptr);
    std::size_t views = first->subviews().size();
    for (int i = 0; i < 3; ++i) {
        grid->reloadData();
        captions();
    }
    for (const auto& cell : grid->visibleCells())
        EXPECT_EQ(cell->subviews().size(), views);
}

TEST_F(HomeScreenTest, ShareWaitsForTheKeysThenPresentsTheSheet)
{
    server().fail("init/share.do", Failure::held());
    launch();
    ASSERT_TRUE(waitForList(13));
    home()->shareAction(nullptr);
    EXPECT_EQ(lastHud(home()->view()), "分享升级中...");
    EXPECT_EQ(SHSocialSnsService::sheetUseCount(), 0);

    server().release("init/share.do");
    ASSERT_TRUE(waitFor([&] { return delegate->shAppKey.has_value(); }));
    home()->shareAction(nullptr);
    auto sheet = uikit::topAlert();
    ASSERT_TRUE(sheet && sheet->isSheet());
    EXPECT_EQ(sheet->buttonTitles(), (std::vector<std::string> { "聊天好友", "朋友圈", "Buddy空间", "Buddy", "取消" }));
    auto config = SHSocialData::defaultData()->extConfig();
    EXPECT_EQ(config->buddyZoneData()->url(), app::dataServerRoot() + "share.do");
    EXPECT_EQ(config->messengerSessionData()->title(), "Quillmark升级版");
    ASSERT_NE(config->microblogData()->urlResource(), nullptr);
    EXPECT_EQ(config->microblogData()->urlResource()->resourceType(), 1);

    ASSERT_TRUE(sheet->tapButtonAtIndex(1));
    auto shared = SHSocialSnsService::lastShare();
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared->platformName, "mgtimeline");
    EXPECT_EQ(shared->appKey, "5a1b2c3d4e5f60718293a4b5");
    EXPECT_TRUE(shared->hasImage) << "the launcher icon was fetched";
    EXPECT_EQ(shared->url, app::dataServerRoot() + "share.do");
}

TEST_F(HomeScreenTest, AShareImageThatCannotBeFetchedIsLeftOut)
{
    server().fail("app/ic_launcher.png", Failure::http(404));
    launch();
    ASSERT_TRUE(waitFor([&] { return delegate->shAppKey.has_value(); }));
    home()->shareAction(nullptr);
    auto sheet = uikit::topAlert();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(sheet->tapButtonAtIndex(0));
    ASSERT_TRUE(SHSocialSnsService::lastShare());
    EXPECT_FALSE(SHSocialSnsService::lastShare()->hasImage);
}

} // namespace
} // namespace shell_test
