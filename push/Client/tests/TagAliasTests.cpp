// Tags and alias against the fake push server: answers delivered to the callback or block on
// the main queue, invalid input answered without sending, the 20-second time-out under virtual
// time with late or malformed answers ignored, and the background request stored until
// answered and sent again after the next login.
#include "ClientTestSupport.h"

#include <nlohmann/json.hpp>

using namespace client_tests;

namespace {

// The JSON part of a tags/alias request body (after the app key string and the data length).
nlohmann::json requestJson(const pushserver::ClientFrame& frame)
{
    const Bytes body = frame.body();
    std::size_t at = 0;
    pushserver::readBodyString(body, at);
    return nlohmann::json::parse(pushserver::readBodyString(body, at).value_or(""), nullptr, false);
}

} // namespace

TEST_F(ClientTest, CallbackAndBlockReceiveTheServersAnswerOnTheMainQueue)
{
    startClient();
    ASSERT_TRUE(loggedIn());
    script([](auto& s) { s.tagAliasCode = 0; });

    TagAliasResult result;
    auto argument = callbackArg(result, Value::array({ Value("vip"), Value("北京") }), Value("alias_1"));
    auto owner = std::make_shared<NSObject>();
    std::weak_ptr<NSObject> watched = owner;
    argument->target = std::exchange(owner, nullptr);
    client->setTagAlias(argument);
    EXPECT_EQ(client->tagAliasMng()->waitingCount(), 1u);
    ASSERT_TRUE(waitFor([&] { return result.calls == 1; }));
    EXPECT_EQ(result, (TagAliasResult { 0, Value::array({ Value("vip"), Value("北京") }), Value("alias_1"), 1 }));
    EXPECT_EQ(client->tagAliasMng()->waitingCount(), 0u);
    // The target lived until the callback ran and is released after it.
    testing_support::settle(1);
    EXPECT_TRUE(watched.expired());

    const auto frames = server.framesWithCommand(10);
    ASSERT_EQ(frames.size(), 1u);
    const auto json = requestJson(frames[0]);
    EXPECT_EQ(std::tuple(json.value("alias", ""), json.value("tags", "")), std::tuple("alias_1", "vip,北京"));

    // A block request with a server refusal code passes the code through.
    script([](auto& s) { s.tagAliasCode = 6011; });
    TagAliasResult blockResult;
    auto block = PUSHSetTagAliasArg::create();
    block->type = PUSHTagAliasTypeBlock;
    block->alias = Value("second");
    block->completionHandler = blockResult.recorder();
    client->setTagAlias(block);
    ASSERT_TRUE(waitFor([&] { return blockResult.calls == 1; }));
    EXPECT_EQ(blockResult, (TagAliasResult { 6011, Value(), Value("second"), 1 }));
}

TEST_F(ClientTest, InvalidInputIsAnsweredAtOnceAndNothingIsSent)
{
    startClient();
    ASSERT_TRUE(loggedIn());
    // The validation's codes have their own table; here one of each kind of refusal.
    for (const auto& [tags, alias, code] : std::vector<std::tuple<Value, Value, int>> {
             { Value(), Value(), 6001 }, { Value("not a set"), Value(), 6005 }, { Value(), Value(42), 6003 } }) {
        TagAliasResult result;
        client->setTagAlias(callbackArg(result, tags, alias));
        ASSERT_TRUE(waitFor([&] { return result.calls == 1; }));
        EXPECT_EQ(result.code, code);
    }
    testing_support::settle(1);
    EXPECT_FALSE(framesOf(10) || client->tagAliasMng()->waitingCount());
}

TEST_F(ClientTest, NoAnswerGives6002AfterTwentySecondsAndALateAnswerIsIgnored)
{
    startClient();
    ASSERT_TRUE(loggedIn());
    script([](auto& s) { s.answerTagAlias = false; });
    TagAliasResult result;
    auto argument = callbackArg(result, Value::array({ Value("t1") }), Value());
    client->setTagAlias(argument);
    ASSERT_TRUE(waitFor([&] { return framesOf(10) == 1; }));
    // What the client sent before is acknowledged, or the jump in time below would end the
    // session on its acknowledgement time-out.
    ASSERT_TRUE(waitFor([&] { return session()->sendingRequestCount() == 0; }));
    const std::uint64_t rid = argument->sequence;
    EXPECT_EQ(server.framesWithCommand(10)[0].rid, rid);
    // Answers of the wrong shape are ignored.
    for (const std::string text : { "[1,2]", "{\"code\":0}", "not json", "" })
        client->tagAliasMng()->doSetTagsAliasCallbackWithRetJson(text);

    advance(19);
    EXPECT_EQ(result.calls, 0);
    advance(1);
    ASSERT_TRUE(waitFor([&] { return result.calls == 1; }));
    EXPECT_EQ(result, (TagAliasResult { 6002, Value::array({ Value("t1") }), Value(), 1 }));

    const std::string late = "{\"sequence\":" + std::to_string(rid) + ",\"code\":0}";
    ASSERT_TRUE(server.pushMessage(20, 9, late));
    testing_support::settle(1);
    EXPECT_EQ(result.calls, 1);
    // An answer is not a message: no receipt, nothing posted.
    EXPECT_EQ(framesOf(4), 0u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ClientTest, QueuedRequestTimingOutIsWithdrawnBeforeLogin)
{
    startClient(false); // no token: no session, requests wait in the queue
    TagAliasResult result;
    client->setTagAlias(callbackArg(result, Value(), Value("later")));
    EXPECT_EQ(session()->blockedRequestCount(), 1u);
    advance(20);
    ASSERT_TRUE(waitFor([&] { return result.calls == 1; }));
    EXPECT_EQ(result.code, 6002);
    EXPECT_EQ(session()->blockedRequestCount(), 0u);

    giveDeviceToken();
    ASSERT_TRUE(loggedIn());
    testing_support::settle(1);
    EXPECT_EQ(framesOf(10), 0u);
}

TEST_F(ClientTest, BackgroundRequestIsStoredMergedAndResentAfterLogin)
{
    // Registered once, then in the background: requests wait in the session's queue.
    startClient();
    ASSERT_TRUE(loggedIn());
    client->onEnterBackground();
    ASSERT_FALSE(session()->isLogin());
    auto first = PUSHSetTagAliasArg::create();
    first->tags = Value::array({ Value("t1") });
    client->setTagAlias(first);
    EXPECT_EQ(PUSHTagAlias::storedFailedRequest()["rid"].unsignedValue(), first->sequence);

    // The second, alias only, takes over the tags of the first, which is withdrawn.
    auto second = PUSHSetTagAliasArg::create();
    second->alias = Value("al");
    client->setTagAlias(second);
    const Value stored = PUSHTagAlias::storedFailedRequest();
    EXPECT_EQ(stored["rid"].unsignedValue(), second->sequence);
    EXPECT_EQ(std::make_pair(stored["alias"], stored["tags"]), std::make_pair(Value("al"), Value::array({ Value("t1") })));
    EXPECT_FALSE(session()->findBlockedRequest(first->sequence));
    EXPECT_EQ(second->tags.count(), 1u);

    // A new process: the stored request survives in the enciphered cache and goes out after login.
    finishReports();
    client.reset();
    PUSHClientController::resetSharedClientForTesting();
    PUSHFileCacheController::resetSharedInstancesForTesting();
    startClient();
    ASSERT_TRUE(loggedIn());
    ASSERT_TRUE(waitFor([&] { return framesOf(10) == 1; }));
    const auto json = requestJson(server.framesWithCommand(10).back());
    EXPECT_EQ(std::tuple(json.value("alias", ""), json.value("tags", "")), std::tuple("al", "t1"));
    // The answer removes the stored request.
    ASSERT_TRUE(waitFor([&] { return PUSHTagAlias::storedFailedRequest().isNil(); }));
}
