// The share library: resources, per-platform settings, the handlers' set-up and the platforms
// they add, the app key with the share server's platform settings (a loopback server, or none),
// and the share sheet.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/uikit/UIAlertView.h"
#include "services/messenger/MGApi.h"
#include "services/share/SHSocialData.h"
#include "services/share/SHSocialHandlers.h"
#include "services/share/SHSocialPlatforms.h"
#include "services/share/SHSocialSnsService.h"
#include "testing/RunLoopPump.h"
#include "testing/httpserver/TestServer.h"

namespace {

class ShareTest : public ::testing::Test {
protected:
    void SetUp() override { resetAll(); }
    void TearDown() override
    {
        ::unsetenv("QUILLMARK_SHARE_ROOT");
        uikit::dismissAllAlerts(false);
        resetAll();
    }
    static void resetAll()
    {
        SHSocialData::reset();
        SHSocialSnsService::reset();
        share::resetHandlers();
        MGApi::reset();
    }
};

class Finished : public SHSocialUIDelegate {
public:
    void didFinishShare(const SHSocialShare& share) override { shares.push_back(share); }
    void didCloseShareSheet() override { ++closed; }
    std::vector<SHSocialShare> shares;
    int closed = 0;
};

TEST_F(ShareTest, UrlResourcesNeedAKind)
{
    EXPECT_EQ(SHSocialUrlResource::initWithSnsResourceType(0, "http://a/"), nullptr);
    auto image = SHSocialUrlResource::initWithSnsResourceType(SHSocialUrlResourceTypeImage, "http://a/i.png");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->resourceType(), 1);
    EXPECT_EQ(image->url(), "http://a/i.png");
}

TEST_F(ShareTest, TheDefaultContentIsSharedAndKeepsItsSettings)
{
    auto data = SHSocialData::defaultData();
    EXPECT_EQ(data, SHSocialData::defaultData());
    EXPECT_EQ(data->identifier(), "SHSocialDefault");
    data->extConfig()->buddyData()->setTitle("标题");
    data->setUrlResource(SHSocialUrlResource::initWithSnsResourceType(2, "http://v/"));
    EXPECT_EQ(SHSocialData::defaultData()->extConfig()->dataForPlatform("buddy")->title(), "标题");
    EXPECT_EQ(SHSocialData::defaultData()->urlResource()->resourceType(), 2);
    EXPECT_EQ(data->extConfig()->dataForPlatform("mgfavorite"), nullptr);
    SHSocialData::reset();
    EXPECT_NE(SHSocialData::defaultData(), data) << "a reset makes a new default content";
}

TEST_F(ShareTest, HandlersStoreTheirKeysRegisterTheMessengerAndAddPlatforms)
{
    EXPECT_TRUE(share::platformNames().empty());
    SHSocialMessengerHandler::setMGAppId("mg1", "secret", "");
    EXPECT_EQ(MGApi::registeredAppId(), "mg1");
    EXPECT_EQ(SHSocialMessengerHandler::url(), share::kDefaultSharePage) << "no url: the library's own page";
    SHSocialBuddyHandler::setBuddyWithAppId("1105", "key", "http://link/");
    SHSocialBuddyHandler::setBuddyWithAppId("1105", "key", "http://link/");
    EXPECT_EQ(SHSocialBuddyHandler::url(), "http://link/");
    EXPECT_EQ(share::platformNames(),
        (std::vector<std::string> { "mgsession", "mgtimeline", "mgfavorite", "buddy", "buddyzone" }))
        << "each platform once, in order";

    MGApi::reset();
    SHSocialMessengerHandler::setMGAppId("", "", "");
    EXPECT_EQ(MGApi::registeredAppId(), "") << "no app id: nothing registered";
}

TEST_F(ShareTest, TheAppKeyGivesACipherKeyAndNoServerMeansNoRequest)
{
    ::unsetenv("QUILLMARK_SHARE_ROOT");
    SHSocialData::setAppKey("5a1b2c3d4e5f60718293a4b5");
    EXPECT_EQ(SHSocialData::appKey(), "5a1b2c3d4e5f60718293a4b5");
    std::string cipher = SHSocialData::cipherKey();
    EXPECT_EQ(cipher.size(), 16u);
    EXPECT_EQ(cipher.find_first_not_of("0123456789abcdef"), std::string::npos);
    SHSocialData::setAppKey("another");
    EXPECT_NE(SHSocialData::cipherKey(), cipher);
    EXPECT_EQ(SHSocialData::platformRequestsSent(), 0);
}

TEST_F(ShareTest, PlatformSettingsFromTheShareServerAreMerged)
{
    httpserver::TestServer server;
    server.on("/root/share/platforms.do",
        httpserver::Reply::json(R"({"platforms":{"mgsession":{"enabled":1},"buddy":{"enabled":0}}})"));
    ::setenv("QUILLMARK_SHARE_ROOT", server.url("/root/").c_str(), 1);
    SHSocialData::setAppKey("5a1b2c3d4e5f60718293a4b5");
    ASSERT_TRUE(testing_support::runUntil([] { return SHSocialData::platformRepliesMerged() == 1; }, 10));
    EXPECT_EQ(SHSocialData::platformSettings()["mgsession"]["enabled"].integerValue(), 1);
    EXPECT_TRUE(SHSocialData::platformSettings().contains("buddy"));
    auto request = server.lastRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->body, "ak=5a1b2c3d4e5f60718293a4b5");
}

TEST_F(ShareTest, AnUnreachableOrBrokenShareServerChangesNothing)
{
    httpserver::TestServer server;
    server.on("/share/platforms.do", httpserver::Reply::text("<html>oops</html>", 500));
    ::setenv("QUILLMARK_SHARE_ROOT", server.url("/").c_str(), 1);
    SHSocialData::setAppKey("k1");
    ASSERT_TRUE(server.waitForRequests(1));
    server.on("/share/platforms.do", httpserver::Reply::json(R"({"platforms":[1,2]})"));
    SHSocialData::setAppKey("k2");
    ASSERT_TRUE(server.waitForRequests(2));
    ::setenv("QUILLMARK_SHARE_ROOT", "http://127.0.0.1:9/", 1);
    SHSocialData::setAppKey("k3");
    testing_support::settle(1);
    EXPECT_EQ(SHSocialData::platformRequestsSent(), 3);
    EXPECT_EQ(SHSocialData::platformRepliesMerged(), 0);
    EXPECT_EQ(SHSocialData::platformSettings(), Value::dictionary());
}

TEST_F(ShareTest, TheSheetShowsConfiguredPlatformsAndSharesTheChosenOne)
{
    SHSocialMessengerHandler::setMGAppId("mg1", "secret", "");
    SHSocialData::defaultData()->extConfig()->messengerSessionData()->setTitle("Quillmark升级版");
    SHSocialData::defaultData()->extConfig()->messengerSessionData()->setUrl("http://link/share.do");
    auto screen = std::make_shared<UIViewController>();
    auto delegate = std::make_shared<Finished>();

    SHSocialSnsService::presentSnsIconSheetView(
        screen, "key", "文字", nullptr, { "mgsession", "buddyzone", "mgtimeline", "nowhere" }, delegate);
    auto sheet = uikit::topAlert();
    ASSERT_TRUE(sheet && sheet->isSheet());
    EXPECT_EQ(sheet->title(), "分享到");
    EXPECT_EQ(sheet->buttonTitles(), (std::vector<std::string> { "聊天好友", "朋友圈", "取消" }))
        << "platforms not configured are left out";
    EXPECT_EQ(SHSocialSnsService::sheetUseCount(), 1);
    ASSERT_TRUE(sheet->tapButtonAtIndex(0));
    ASSERT_EQ(delegate->shares.size(), 1u);
    EXPECT_EQ(delegate->shares[0].platformName, "mgsession");
    EXPECT_EQ(delegate->shares[0].title, "Quillmark升级版");
    EXPECT_EQ(delegate->shares[0].url, "http://link/share.do");
    EXPECT_EQ(delegate->shares[0].text, "文字");
    EXPECT_FALSE(delegate->shares[0].hasImage);

    SHSocialSnsService::presentSnsIconSheetView(screen, "key", "", nullptr, { "mgsession" }, delegate);
    ASSERT_TRUE(uikit::topAlert()->tapButtonAtIndex(uikit::topAlert()->cancelButtonIndex()));
    EXPECT_EQ(delegate->closed, 1);
    EXPECT_EQ(delegate->shares.size(), 1u);
    EXPECT_EQ(SHSocialSnsService::sheetUseCount(), 2);
}

TEST_F(ShareTest, ASheetWithoutADelegateStillShares)
{
    SHSocialBuddyHandler::setBuddyWithAppId("1105", "key", "");
    SHSocialSnsService::presentSnsIconSheetView(nullptr, "key", "t", nullptr, { "buddy" }, nullptr);
    ASSERT_TRUE(uikit::topAlert());
    ASSERT_TRUE(uikit::topAlert()->tapButtonAtIndex(0));
    ASSERT_TRUE(SHSocialSnsService::lastShare());
    EXPECT_EQ(SHSocialSnsService::lastShare()->platformName, "buddy");
}

} // namespace
