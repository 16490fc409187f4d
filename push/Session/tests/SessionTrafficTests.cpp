// What the session sends: heartbeats and their lock, acknowledgement time-outs, requests and UDP
// reports that wait for login, replace each other or go back to the queue on close.
#include "SessionTestSupport.h"

#include "push/Session/PUSHUDPReport.h"

using namespace session_tests;

static std::shared_ptr<PUSHSetTagAlias> tagAlias(std::optional<std::vector<std::string>> tags, std::optional<std::string> alias)
{
    auto request = PUSHSetTagAlias::create();
    request->tags = std::move(tags), request->alias = std::move(alias);
    return request;
}

TEST_F(SessionTest, HeartbeatEveryTwoHundredNinetySecondsHeldBackByTheFiveSecondLock)
{
    loggedIn();
    advance(289);
    EXPECT_EQ(framesOf(2), 0u);
    advance(1);
    ASSERT_TRUE(waitFor([&] { return framesOf(2) == 1 && session->sendingRequestCount() == 0; }));
    // While the lock is set a beat sends nothing; five seconds later it is clear.
    session->fireHeartBeat();
    advance(4.9);
    EXPECT_TRUE(PUSHSessionController::heartBeatLocked());
    advance(0.1);
    session->fireHeartBeat();
    ASSERT_TRUE(waitFor([&] { return framesOf(2) == 2; }));
    advance(5);
    advance(285); // the timer's next tick, 580 seconds after login
    ASSERT_TRUE(waitFor([&] { return framesOf(2) == 3; }));
    EXPECT_TRUE(session->isLogin());

    // A beat while logged out stops the timer.
    closeForGood();
    session->startHeartbeatTimer();
    session->fireHeartBeat();
    EXPECT_FALSE(session->heartbeatTimer());
}

TEST_F(SessionTest, MissingAckClosesAfterTenSecondsUnlessTheServerVersionIsZero)
{
    script([](auto& s) { s.ackHeartbeats = false; });
    loggedIn();
    session->fireHeartBeat();
    ASSERT_TRUE(waitFor([&] { return framesOf(2) == 1; }));
    advance(9.9);
    EXPECT_TRUE(session->isLogin());
    advance(0.1);
    // The heartbeat cannot wait for a login, so it is not queued again.
    EXPECT_FALSE(session->isSetup() || session->sendingRequestCount() || session->blockedRequestCount());
    EXPECT_EQ(retryDelay(), 2);

    script([](auto& s) { s.serverVersion = 0; });
    advance(2);
    ASSERT_TRUE(waitFor([&] { return session->isLogin(); }));
    PUSHSessionController::removeHeartBeatLock();
    session->fireHeartBeat();
    ASSERT_TRUE(waitFor([&] { return framesOf(2) == 2; }));
    EXPECT_EQ(session->sendingRequestCount(), 0u); // no acknowledgement awaited
    advance(30);
    EXPECT_TRUE(session->isLogin());
}

TEST_F(SessionTest, RequestsAndUdpReportsWaitForLoginEqualOnesReplaceAndTheQueuesAreBounded)
{
    makeSession();
    identity()->setCurrentDeviceToken("token-1");
    for (int i = 0; i < 9; ++i) {
        auto report = PUSHUDPReport::create();
        report->reportBody().set("n", Value(i));
        report->send();
    }
    EXPECT_EQ(session->blockedUdpReportCount(), 8u); // the ninth dropped the oldest
    auto tagsOnly = tagAlias(std::vector<std::string> { "a", "b" }, std::nullopt);
    auto aliasOnly = tagAlias(std::nullopt, std::string("me"));
    session->sendRequest(tagsOnly);
    session->sendRequest(aliasOnly); // equal: replaces the first
    EXPECT_FALSE(session->findBlockedRequest(tagsOnly->rid()));
    // A receipt is not exclusive and a heartbeat needs a login: both dropped.
    session->sendRequest(PUSHMessageReceipt::create(*aliasOnly, 1, 42, 0));
    session->sendRequest(PUSHHeartbeatRequest::create());
    std::vector<std::shared_ptr<PUSHRequest>> tokens;
    for (int i = 0; i < 20; ++i) {
        auto token = PUSHDeviceTokenReportRequest::create();
        token->deviceToken = "token-1";
        session->sendRequest(tokens.emplace_back(token));
    }
    EXPECT_EQ(session->blockedRequests(), tokens); // the alias request was the oldest

    loggedIn();
    ASSERT_TRUE(waitFor([&] { return framesOf(13) == 20; }));
    // Nothing of the replaced request, the receipt or the heartbeat went out.
    EXPECT_EQ(std::tuple(server.framesWithCommand(13).front().rid, framesOf(10) + framesOf(4) + framesOf(2), identity()->uploadedDeviceToken()),
        std::tuple(tokens[0]->rid(), 0u, "token-1"));

    PUSHUDPReport::create()->send(); // logged in: at once
    ASSERT_TRUE(waitFor([&] { return sink.datagrams().size() == 9; }));
    const Bytes first = sink.datagrams()[0];
    const Value body = PUSHJSONObject(Bytes(first.begin() + 4, first.end()));
    EXPECT_EQ(std::tuple(body["n"].intValue(), body["uid"].unsignedValue(), body["senderid"].asString()),
        std::tuple(1, 1000001u, kAppKey)); // the oldest report was dropped
}

TEST_F(SessionTest, UnacknowledgedRequestsGoBackToTheQueueOnClose)
{
    script([](auto& s) { s.ackTagAlias = s.answerTagAlias = false; });
    loggedIn();
    auto tags = tagAlias(std::vector<std::string> { "x" }, std::nullopt);
    session->sendRequest(tags);
    session->sendRequest(PUSHDeviceTokenReportRequest::create()); // needs no acknowledgement
    ASSERT_TRUE(waitFor([&] { return framesOf(10) == 1 && framesOf(13) == 1; }));
    EXPECT_EQ(session->sendingRequestCount(), 1u);

    closeForGood();
    ASSERT_EQ(session->blockedRequests(), std::vector<std::shared_ptr<PUSHRequest>> { tags });
    advance(10); // its ack timer was stopped
    EXPECT_EQ(session->blockedRequestCount(), 1u);

    session->setIsConnectDisable(false);
    session->setup();
    ASSERT_TRUE(waitFor([&] { return framesOf(10) == 2; }));
    EXPECT_EQ(std::tuple(server.framesWithCommand(10)[1].rid, framesOf(13)), std::tuple(tags->rid(), 1u));
}
