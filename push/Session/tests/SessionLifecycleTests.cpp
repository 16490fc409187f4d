// The session's life against the fake push server on loopback: registering and logging in
// with the identity persisted, refused registrations and logins, drops and reconnecting with
// back-off, a close asked for while connecting, and which addresses are tried.
#include "SessionTestSupport.h"

#include "platform/persistence/NSUserDefaults.h"
#include "testing/push/PushTestSupport.h"

using namespace session_tests;

TEST_F(SessionTest, FreshDeviceRegistersLogsInPersistsTheIdentityAndClockAndARefusedLoginRegistersAgain)
{
    identity()->setCurrentDeviceToken("token-abc");
    script([](auto& s) { s.serverTimeOffset = 120; });
    int logins = 0;
    makeSession()->addLoginObserver([&] { ++logins; });
    loggedIn();

    const auto frames = server.frames();
    ASSERT_GE(frames.size(), 2u);
    EXPECT_TRUE(frames[0].command == 0 && frames[1].command == 1); // registration, then login
    std::vector<std::optional<std::string>> fields; // of the registration
    for (std::size_t at = 0; fields.size() < 4;)
        fields.push_back(pushserver::readBodyString(frames[0].body(), at));
    EXPECT_EQ(fields, (std::vector<std::optional<std::string>> { identity()->openUdid() + "$$ $$com.quillmark.session$$" + kAppKey,
                          "1.2", "9.3$$x86_64$$ $$ $$chan$$" + PUSHSDKVersionString(), "token-abc" }));
    std::size_t at = 4;
    EXPECT_EQ(pushserver::readBodyString(frames[1].body(), at), PUSHMD5HexString(std::string("server-password")));
    EXPECT_EQ(frames[1].uid, 1000001u);

    EXPECT_EQ(std::tuple(session->sessionID(), session->serverVersion(), logins), std::tuple(7u, 1u, 1));
    EXPECT_EQ(std::tuple(identity()->uid(), identity()->registrationID(), identity()->uploadedDeviceToken()),
        std::tuple(1000001u, "server-registration-id", "token-abc"));
    // Server minus local clock; the fake stamps with the real clock, which moved on a little.
    EXPECT_NEAR(push_utilities::serverClockCorrection(), 122.5, 2.5);
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->objectForKey(kPUSHLocalTimeKey).doubleValue(), PUSHCurrentTimestamp());

    ASSERT_TRUE(waitFor([&] { return posts[kPUSHNetworkDidLoginNotification] == 1; }));
    EXPECT_EQ(std::tuple(posts[kPUSHFNetworkIsConnectingNotification], posts[kPUSHNetworkDidSetupNotification]), std::tuple(1, 1));
    EXPECT_EQ(userInfo[kPUSHNetworkDidRegisterNotification]["RegistrationID"].asString(), "server-registration-id");
    // That a new process logs in with the persisted identity, without registering, the service's
    // second-launch test shows. A refused login forgets the identity; the retry registers again.
    session.reset();
    script([](auto& s) { s.loginStatus = 3, s.assignedUid = 2000002; });
    makeSession()->setup();
    ASSERT_TRUE(waitFor([&] { return !session->isSetup(); }));
    EXPECT_TRUE(identity()->uid() == 0u && !identity()->password());

    script([](auto& s) { s.loginStatus = 0; });
    advance(retryDelay());
    ASSERT_TRUE(waitFor([&] { return session->isLogin(); }));
    EXPECT_EQ(std::tuple(framesOf(0), identity()->uid()), std::tuple(2u, 2000002u));
    // Every login of a session carries the same request id.
    const auto loginFrames = server.framesWithCommand(1);
    ASSERT_EQ(loginFrames.size(), 3u);
    EXPECT_EQ(loginFrames[1].rid, loginFrames[2].rid);
}

TEST_F(SessionTest, StoppingRegistrationStatusEndsTriesWhileOthersRetry)
{
    script([](auto& s) { s.registrationStatus = 1005; });
    makeSession()->setup();
    ASSERT_TRUE(waitFor([&] { return !session->isSetup(); }));
    EXPECT_TRUE(session->isConnectDisable() && !session->delaySetupTimer());
    session->setup();
    EXPECT_FALSE(session->isSetup());

    script([](auto& s) { s.registrationStatus = 1006; });
    session->setIsConnectDisable(false);
    session->setup();
    ASSERT_TRUE(waitFor([&] { return !session->isSetup(); }));
    EXPECT_EQ(std::tuple(retryDelay(), identity()->uid()), std::tuple(2.0, 0u));

    // Without a handled device token there is no registration at all.
    deviceTokenUpdated = false;
    advance(2);
    EXPECT_FALSE(session->isSetup());
    EXPECT_EQ(std::tuple(framesOf(0), server.acceptedCount()), std::tuple(2u, 3u));
}

TEST_F(SessionTest, ServerDropClosesAndReconnectsAfterTwoSeconds)
{
    int logouts = 0;
    makeSession()->addLogoutObserver([&] { ++logouts; });
    loggedIn();
    ASSERT_TRUE(server.drop(pushserver::Drop::Reset));
    ASSERT_TRUE(waitFor([&] { return !session->isSetup(); }));
    EXPECT_EQ(std::tuple(session->isLogin() || session->isConnected() || session->heartbeatTimer() || session->sessionID(), logouts),
        std::tuple(false, 1));
    ASSERT_TRUE(waitFor([&] { return posts[kPUSHNetworkDidCloseNotification] == 1; }));

    advance(1.5);
    EXPECT_EQ(server.acceptedCount(), 1u);
    advance(0.5);
    ASSERT_TRUE(waitFor([&] { return session->isLogin(); }));
    EXPECT_EQ(server.acceptedCount(), 2u);
}

TEST_F(SessionTest, AnAcknowledgementAloneDoesNotAnswerRegistrationOrLogin)
{
    // The server acknowledges what asks to register or log in and answers nothing more.
    server.setFrameHandler([](const pushserver::ClientFrame& frame) -> std::optional<std::vector<Bytes>> {
        return frame.command > 1 ? std::nullopt : std::optional(std::vector<Bytes> { pushserver::packets::ack(frame.rid, frame.uid, frame.command, 0, 0, 0) });
    });
    for (bool registered : { false, true }) {
        SCOPED_TRACE(registered);
        if (registered)
            identity()->setUidPasswordRegistrationID(1000001, "server-password", "server-registration-id");
        session.reset();
        makeSession()->setup();
        ASSERT_TRUE(waitFor([&] { return framesOf(registered ? 1 : 0) == 1; }));
        advance(10); // the acknowledgement time-out
        EXPECT_FALSE(session->isSetup() || session->isLogin());
        EXPECT_EQ(retryDelay(), 2);
    }
}

TEST_F(SessionTest, AServerThatDropsEveryConnectionIsRetriedWithBackOff)
{
    server.setFrameHandler([this](const pushserver::ClientFrame&) -> std::optional<std::vector<Bytes>> {
        server.drop(pushserver::Drop::Reset);
        return std::vector<Bytes> {};
    });
    makeSession()->setup();
    std::size_t connects = 0;
    for (double delay : { 2, 5, 20, 300 }) {
        ++connects;
        // Each connect is accepted, reset, and waits its turn of the back-off before the next.
        ASSERT_TRUE(waitFor([&] { return server.acceptedCount() == connects && !session->isSetup() && retryDelay() == delay; }))
            << "connect " << connects << " waits " << retryDelay() << " s";
        advance(delay);
    }
    EXPECT_TRUE(waitFor([&] { return server.acceptedCount() == 5u; }));
}

TEST_F(SessionTest, FailedConnectsBackOffTwoFiveTwentyThenThreeHundredAndFiveHundredOffline)
{
    pointServiceAt({ refusedAddress() });
    makeSession()->setup();
    for (double delay : { 2, 5, 20, 300, 300, 300 }) {
        ASSERT_EQ(retryDelay(), delay);
        advance(delay);
        EXPECT_FALSE(session->isSetup());
    }
    networkStatus = push_utilities::kStatusNotReachable;
    advance(300);
    EXPECT_EQ(std::tuple(retryDelay(), session->delaySetupTimeIntervalIndex(), server.acceptedCount()), std::tuple(500.0, 4u, 0u));

    // Once connecting works again the index returns to 0.
    pointServiceAt({ server.address() });
    networkStatus = push_utilities::kStatusWiFi;
    advance(500);
    ASSERT_TRUE(waitFor([&] { return session->isLogin(); }));
    EXPECT_EQ(session->delaySetupTimeIntervalIndex(), 0u);
}

TEST_F(SessionTest, OtherWorkRunsWhileAConnectWaitsForAnAddressThatNeverAnswers)
{
    push_test_support::UnansweringAddress silent;
    pointServiceAt({ silent.address() });
    makeSession();
    // Work on the session's thread that counts the times it runs during a connect and ends that
    // connect's wait; it may outlive the test, so it holds what it counts.
    auto ranDuringConnect = std::make_shared<int>(0), done = std::make_shared<int>(0);
    std::function<void()> work = [=, weak = std::weak_ptr(session), virtualClock = &clock, &work] {
        auto current = weak.lock();
        if (*done || !current)
            return;
        auto socket = current->tcpConnectionSocket();
        if (socket && socket->connectionState() == PUSHTcpConnecting) {
            ++*ranDuringConnect;
            virtualClock->advance(2); // the session's wait for one connect
        }
        NSRunLoop::currentRunLoop()->performInModes({ NSDefaultRunLoopMode }, work);
    };
    NSRunLoop::currentRunLoop()->performInModes({ NSDefaultRunLoopMode }, work);
    session->setup();
    *done = 1;
    EXPECT_GE(*ranDuringConnect, 1);
    EXPECT_EQ(std::tuple(session->isSetup(), retryDelay()), std::tuple(false, 2.0));
}

TEST_F(SessionTest, CloseAskedForWhileConnectingIsCarriedOutAfterwards)
{
    makeSession();
    // The address look-up runs inside connect: a close from there is only recorded.
    resolver->onResolve = [&] {
        resolver->onResolve = nullptr;
        EXPECT_TRUE(session->close());
        EXPECT_TRUE(session->isSetup());
    };
    session->setup();
    EXPECT_FALSE(session->isSetup() || session->tcpConnectionSocket() || server.acceptedCount());
    advance(retryDelay());
    ASSERT_TRUE(waitFor([&] { return session->isLogin(); }));
}

TEST_F(SessionTest, AddressesAreTriedInOrderAndDiscoveryIsReusedForThreeMinutes)
{
    // The push server and the first alternative refuse; the second alternative serves.
    pointServiceAt({ refusedAddress(), refusedAddress(), server.address() });
    loggedIn();
    EXPECT_EQ(identity()->lastSucceedConnectionAddress(), server.address());
    session->close();
    session->setup();
    ASSERT_TRUE(waitFor([&] { return session->isLogin(); }));
    EXPECT_EQ(service.requests().size(), 1u);

    // Another network, more than 180 seconds, or a clock set back: asked again.
    for (const auto& change : std::vector<std::function<void()>> { [&] { networkStatus = push_utilities::kStatusWWAN; },
             [&] { clock.advance(181); }, [] { push_utilities::setServerClockCorrection(-3600); } }) {
        session->close();
        change();
        session->setup();
    }
    ASSERT_TRUE(waitFor([&] { return session->isLogin(); }));
    EXPECT_EQ(service.requests().size(), 4u);

    // No discovery at all: the persisted default address refuses, the push domain serves.
    session.reset();
    service.setReplyBytes(Bytes { 'n', 'o' });
    identity()->setDefaultConAddress(Value(refusedAddress()));
    identity()->setLastSucceedConnectionAddress(Value());
    resolver->answers["push.test"] = "127.0.0.1";
    auto env = environment();
    env.addressConfiguration.pushDomainPort = server.port();
    session = PUSHSessionController::create(env);
    loggedIn();
    EXPECT_FALSE(session->sisContent().isArray());
}
