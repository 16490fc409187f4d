// Routing the messenger's return URLs to the delegate: by scheme, by the command number of the
// app-to-app data on the pasteboard, and the query-borne login and payment results.
#include <gtest/gtest.h>

#include "platform/uikit/UIMenuController.h"
#include "services/messenger/MGApi.h"
#include "services/messenger/MGAppData.h"
#include "services/messenger/MGQuery.h"

namespace {

constexpr const char* kAppId = "mg5a1c9e0b7d3f2461";

class Recorder : public MGApiDelegate {
public:
    void onReq(const std::shared_ptr<BaseReq>& req) override { reqs.push_back(req); }
    void onResp(const std::shared_ptr<BaseResp>& resp) override { resps.push_back(resp); }
    bool answersOnReq() const override { return answersReq; }
    std::vector<std::shared_ptr<BaseReq>> reqs;
    std::vector<std::shared_ptr<BaseResp>> resps;
    bool answersReq = true;
};

class MGApiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MGApi::reset();
        UIPasteboard::generalPasteboard()->clear();
        delegate = std::make_shared<Recorder>();
    }
    void TearDown() override
    {
        MGApi::reset();
        UIPasteboard::generalPasteboard()->clear();
    }
    static void leave(const std::string& entryJson)
    {
        UIPasteboard::generalPasteboard()->setString(std::string("{\"") + kAppId + "\":" + entryJson + "}");
    }
    bool open(const std::string& url) { return MGApi::handleOpenURL(*NSURL::URLWithString(url), delegate); }
    std::shared_ptr<Recorder> delegate;
};

TEST_F(MGApiTest, OnlyTheRegisteredAppsReturnIsHandled)
{
    leave("{\"command\": 2040}");
    EXPECT_FALSE(open(std::string(kAppId) + "://platformId=mg")) << "nothing registered yet";
    EXPECT_FALSE(MGApi::registerApp(""));
    ASSERT_TRUE(MGApi::registerApp(kAppId));

    EXPECT_FALSE(MGApi::handleOpenURL(*NSURL::URLWithString(std::string(kAppId) + "://x"), nullptr))
        << "no delegate: no at once";
    EXPECT_FALSE(open("buddy1105032921://response"));
    EXPECT_FALSE(open("http://example.invalid/"));
    EXPECT_TRUE(open(std::string(kAppId) + "://platformId=mg"));
    ASSERT_EQ(delegate->reqs.size(), 1u);
    EXPECT_NE(std::dynamic_pointer_cast<LaunchFromMGReq>(delegate->reqs[0]), nullptr);
}

TEST_F(MGApiTest, CommandNumbersChooseRequestsAndResponses)
{
    MGApi::registerApp(kAppId);
    const std::pair<int, std::string> cases[] = {
        { 1010, "ShowMessageFromMGReq" },
        { 2000, "GetMessageFromMGReq" },
        { 2040, "LaunchFromMGReq" },
        { 2010, "SendMessageToMGResp" },
        { 2020, "SendMessageToMGResp" },
        { 2030, "SendAuthResp" },
    };
    for (const auto& [command, className] : cases) {
        delegate = std::make_shared<Recorder>();
        leave("{\"command\": " + std::to_string(command) + ", \"result\": -2}");
        ASSERT_TRUE(open(std::string(kAppId) + "://app")) << command;
        std::string got = delegate->reqs.empty() ? delegate->resps.at(0)->className() : delegate->reqs[0]->className();
        EXPECT_EQ(got, className) << command;
        if (!delegate->resps.empty()) {
            EXPECT_EQ(delegate->resps[0]->errCode, MGErrCodeUserCancel) << command;
        }
    }
    leave("{\"command\": 4242}");
    EXPECT_FALSE(open(std::string(kAppId) + "://app")) << "an unknown command is not handled";
    leave("{\"command\": \"1010\"}");
    EXPECT_TRUE(open(std::string(kAppId) + "://app")) << "a numeric text counts as the number";
}

TEST_F(MGApiTest, ShowMessageCarriesTheMediaMessage)
{
    MGApi::registerApp(kAppId);
    leave(R"({"command": 1010, "title": "新群", "description": "欢迎", "thumbData": "AAEC", "extInfo": "id=7",
              "lang": "zh_CN", "country": "CN"})");
    ASSERT_TRUE(open(std::string(kAppId) + "://app"));
    auto req = std::dynamic_pointer_cast<ShowMessageFromMGReq>(delegate->reqs.at(0));
    ASSERT_TRUE(req && req->message);
    EXPECT_EQ(req->message->title, "新群");
    EXPECT_EQ(req->message->description, "欢迎");
    EXPECT_EQ(req->message->thumbData, (Bytes { 0, 1, 2 }));
    auto app = std::dynamic_pointer_cast<MGAppExtendObject>(req->message->mediaObject);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->extInfo, "id=7");
    EXPECT_EQ(req->lang, "zh_CN");

    leave(R"({"command": 1010, "title": 12, "thumbData": "not base64!", "webpageUrl": "http://a/"})");
    ASSERT_TRUE(open(std::string(kAppId) + "://app"));
    req = std::dynamic_pointer_cast<ShowMessageFromMGReq>(delegate->reqs.at(1));
    ASSERT_TRUE(req);
    EXPECT_EQ(req->message->title, "") << "a number where text belongs counts as missing";
    EXPECT_TRUE(req->message->thumbData.empty());
    EXPECT_NE(std::dynamic_pointer_cast<MGWebpageObject>(req->message->mediaObject), nullptr);
}

TEST_F(MGApiTest, MissingOrBrokenAppDataIsNotHandledAndASilentDelegateIsNotCalled)
{
    MGApi::registerApp(kAppId);
    EXPECT_FALSE(open(std::string(kAppId) + "://app")) << "empty pasteboard";
    UIPasteboard::generalPasteboard()->setString("{\"someone-else\": {\"command\": 1010}}");
    EXPECT_FALSE(open(std::string(kAppId) + "://app"));
    UIPasteboard::generalPasteboard()->setString("{\"" + std::string(kAppId) + "\": [1010]");
    EXPECT_FALSE(open(std::string(kAppId) + "://app"));

    delegate->answersReq = false;
    leave("{\"command\": 2000}");
    EXPECT_TRUE(open(std::string(kAppId) + "://app")) << "handled, though the delegate does not answer";
    EXPECT_TRUE(delegate->reqs.empty() && delegate->resps.empty());
}

TEST_F(MGApiTest, LoginAndPaymentReturnsComeInTheQuery)
{
    MGApi::registerApp(kAppId);
    UIPasteboard::generalPasteboard()->setString("{\"" + std::string(kAppId) + "\": {\"command\": 1010}}");
    ASSERT_TRUE(open(std::string(kAppId) + "://oauth?code=0a1b%202c&state=xyz&lang=zh_CN&country=CN"));
    auto auth = std::dynamic_pointer_cast<SendAuthResp>(delegate->resps.at(0));
    ASSERT_TRUE(auth) << "the login handler goes before the pasteboard";
    EXPECT_EQ(auth->code, "0a1b 2c");
    EXPECT_EQ(auth->state, "xyz");
    EXPECT_EQ(auth->errCode, MGSuccess);

    ASSERT_TRUE(open(std::string(kAppId) + "://oauth?state=xyz"));
    EXPECT_EQ(delegate->resps.at(1)->errCode, MGErrCodeAuthDeny) << "no code: refused";

    ASSERT_TRUE(open(std::string(kAppId) + "://pay/?returnKey=k1&ret=-2"));
    auto pay = std::dynamic_pointer_cast<PayResp>(delegate->resps.at(2));
    ASSERT_TRUE(pay);
    EXPECT_EQ(pay->returnKey, "k1");
    EXPECT_EQ(pay->errCode, -2);
    EXPECT_TRUE(delegate->reqs.empty());

    // Codes beyond an int do not wrap round to success.
    ASSERT_TRUE(open(std::string(kAppId) + "://pay/?returnKey=k2&ret=4294967296"));
    EXPECT_NE(delegate->resps.at(3)->errCode, MGSuccess);
    leave(R"({"command": 2010, "result": -4294967296})");
    ASSERT_TRUE(open(std::string(kAppId) + "://app"));
    EXPECT_NE(delegate->resps.at(4)->errCode, MGSuccess);
}

TEST(MGQuery, SplitsPairsAndRemovesEscapes)
{
    auto pairs = messenger::queryPairs("a=1&b=x%20y&c&&d=%E4%B8%AD&e=%ZZ&a=2&f=p+q=r");
    EXPECT_EQ(pairs["a"], "2");
    EXPECT_EQ(pairs["b"], "x y");
    EXPECT_EQ(pairs["c"], "");
    EXPECT_EQ(pairs["d"], "中");
    EXPECT_EQ(pairs["e"], "%ZZ") << "bad escapes stay as they were";
    EXPECT_EQ(pairs["f"], "p q=r");
    EXPECT_EQ(pairs.size(), 6u);
    EXPECT_TRUE(messenger::queryPairs("").empty());
}

} // namespace
