// The client end to end on loopback: set-up with an app key, registration and login once the
// device token arrives, pushed messages posted once and acknowledged, the network lost and
// back, foreground and background, and the warnings while the token is missing.
#include "ClientTestSupport.h"

#include "push/Network/PUSHThread.h"
#include "push/Report/PUSHReportLinks.h"

using namespace client_tests;

TEST_F(ClientTest, TokenThenRegistersLogsInAndDispatchesMessagesOnce)
{
    startClient();
    ASSERT_TRUE(loggedIn());
    EXPECT_EQ(std::tuple(framesOf(0), framesOf(1)), std::tuple(1u, 1u));
    EXPECT_EQ(std::tuple(client->userDefaults()->uid(), client->userDefaults()->currentDeviceToken(), client->readRegistrationID()),
        std::tuple(1000001u, "ab01ff", "server-registration-id"));

    const std::string content
        = "ignored first "
          "line\n{\"message\":\"hi\",\"title\":\"T\",\"content_type\":\"x\",\"extras\":\"{\\\"k\\\":1}\"}";
    ASSERT_TRUE(server.pushMessage(1, 555, content));
    ASSERT_TRUE(waitFor([&] { return messages.size() == 1 && framesOf(4) == 1; }));
    EXPECT_EQ(messages[0]["content"].asString(), "hi");
    EXPECT_EQ(messages[0]["extras"]["k"].integerValue(), 1);

    // The receipt answers the message with status 0, the message's type and its id.
    const auto receipt = server.framesWithCommand(4).at(0);
    EXPECT_EQ(receipt.uid, 1000001u);
    const Bytes body = receipt.body();
    ASSERT_GE(body.size(), 11u);
    EXPECT_EQ(Bytes(body.begin(), body.begin() + 11), (Bytes { 0, 0, 1, 0, 0, 0, 0, 0, 0, 0x02, 0x2B }));

    // A repeat is acknowledged again but not posted again.
    ASSERT_TRUE(server.pushMessage(1, 555, content));
    ASSERT_TRUE(waitFor([&] { return framesOf(4) == 2; }));
    testing_support::settle(1);
    EXPECT_EQ(messages.size(), 1u);

    // Content without "message" is posted with no user info.
    ASSERT_TRUE(server.pushMessage(1, 556, "{\"title\":\"only\"}"));
    ASSERT_TRUE(waitFor([&] { return messages.size() == 2; }));
    EXPECT_TRUE(messages[1].isNil());
}

TEST_F(ClientTest, AMessageCutShortIsPostedAndAcknowledgedWithoutReconnecting)
{
    startClient();
    ASSERT_TRUE(loggedIn());
    const std::size_t accepted = server.acceptedCount();
    // The content's count claims more bytes than the packet holds: the content is missing.
    Bytes cut = pushserver::packets::message(1, 41, 0, 1, 777, "{\"message\":\"cut\"}");
    cut.resize(cut.size() - 10);
    cut[0] = static_cast<std::uint8_t>(cut.size() >> 8), cut[1] = static_cast<std::uint8_t>(cut.size());
    // Sent again, it is acknowledged again and not posted twice.
    for (std::size_t sent : { 1u, 2u }) {
        ASSERT_TRUE(server.send(cut));
        ASSERT_TRUE(waitFor([&] { return framesOf(4) == sent; }));
    }
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].isNil());
    const Bytes body = server.framesWithCommand(4).at(0).body();
    ASSERT_GE(body.size(), 11u);
    EXPECT_EQ(Bytes(body.begin() + 3, body.begin() + 11), (Bytes { 0, 0, 0, 0, 0, 0, 0x03, 0x09 }));
    EXPECT_TRUE(session()->isLogin());
    EXPECT_EQ(server.acceptedCount(), accepted);
}

TEST_F(ClientTest, TokenArrivingLateWarnsFiveTimesAndThenStartsTheSession)
{
    startClient(false);
    auto timer = client->deviceTokenStatusCheckTimer();
    ASSERT_TRUE(timer);
    EXPECT_EQ(client->deviceTokenStatusCheckTimes(), 5);
    for (int warning = 1; warning <= 5; ++warning) {
        advance(2);
        EXPECT_EQ(client->deviceTokenStatusCheckTimes(), 5 - warning);
    }
    advance(2);
    EXPECT_FALSE(timer->isValid() || client->deviceTokenStatusCheckTimer());
    // Nothing reached the push server without a token.
    EXPECT_FALSE(server.acceptedCount() || session()->isSetup());

    giveDeviceToken();
    ASSERT_TRUE(loggedIn());
    // A second token is refused: the first stays.
    client->updateDeviceToken(Bytes { 0x00 });
    EXPECT_EQ(client->userDefaults()->currentDeviceToken(), "ab01ff");
}

TEST_F(ClientTest, TokenBeforeTheWarningsStopsTheTimer)
{
    startClient(false);
    advance(2);
    EXPECT_EQ(client->deviceTokenStatusCheckTimes(), 4);
    giveDeviceToken();
    EXPECT_FALSE(client->deviceTokenStatusCheckTimer());
    ASSERT_TRUE(loggedIn());
}

TEST_F(ClientTest, NetworkLostOrBackgroundClosesTheSessionAndItsReturnLogsInAgain)
{
    startClient();
    ASSERT_TRUE(loggedIn());
    EXPECT_EQ(client->networkService()->currentNetworkStatus(), 2);

    sysconfig::injectFlags(0);
    ASSERT_TRUE(waitFor([&] { return !session()->isLogin(); }));
    EXPECT_EQ(client->networkService()->currentNetworkStatus(), 0);
    EXPECT_FALSE(session()->isSetup());
    const std::size_t loginsBefore = framesOf(1);

    sysconfig::injectFlags(kReachable);
    ASSERT_TRUE(loggedIn());
    EXPECT_EQ(framesOf(1), loginsBefore + 1);
    EXPECT_EQ(framesOf(0), 1u); // logged in again with the stored identity

    // Background closes without reconnecting; foreground starts anew.
    client->onEnterBackground();
    EXPECT_FALSE(session()->isSetup() || session()->delaySetupTimer() || session()->isConnectDisable());
    client->onDidBecomeActive();
    ASSERT_TRUE(loggedIn());
    EXPECT_EQ(framesOf(1), loginsBefore + 2);
}

TEST_F(ClientTest, SetUpWithoutBundleIdentifierCreatesNothing)
{
    client = PUSHClientController::sharedClient();
    client->setup();
    EXPECT_FALSE(client->networkService() || client->userDefaults() || client->tagAliasMng());
    // Calls before a set-up do nothing rather than fail.
    client->updateDeviceToken(Bytes { 1 });
    client->setTagAlias(PUSHSetTagAliasArg::create());
    client->handleRemoteNotification(Value::array({ Value(0), Value::dictionary() }));
    EXPECT_FALSE(client->readRegistrationID());
}

TEST_F(ClientTest, HooksAreCalledAndCloseReleasesTheParts)
{
    int apns = 0, crash = 0;
    Value badge;
    push_client::ClientHooks hooks;
    hooks.reportAPNSState = [&] { ++apns; };
    hooks.installCrashReport = [&] { ++crash; };
    hooks.setBadge = [&](const Value& number) { badge = number; };
    PUSHClientController::sharedClient()->setHooks(hooks);
    startClient(false);
    EXPECT_EQ(apns, 1);

    client->setCrashLogON();
    client->setCrashLogON();
    EXPECT_EQ(crash, 1);
    EXPECT_TRUE(client->isReportCrash() && push::reportLinks().isReportCrash());
    client->setBadgeNumberReport(Value(7));
    EXPECT_EQ(badge.integerValue(), 7);

    client->close();
    EXPECT_FALSE(client->networkService() || client->messageCenter() || push::reportLinks().userDefaults);
}

TEST_F(ClientTest, PerformRunsOnTheRegisteredClientThreadInOrder)
{
    auto thread = PUSHThread::builder(PUSHThreadAliveMode)->setThreadName(kPUSHClientThreadName)->build();
    ASSERT_TRUE(PUSHThreadController::shareThreadInstance()->addThread(thread));
    client = PUSHClientController::sharedClient();
    std::mutex mutex;
    std::vector<int> order, expected; // each index, negative when run off the client thread
    for (int i = 0; i < 20; ++i) {
        expected.push_back(i);
        client->perform([&, i](PUSHClientController&) {
            std::lock_guard lock(mutex);
            order.push_back(NSThread::currentThread() == thread ? i : -1 - i);
        });
    }
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard lock(mutex);
        return order.size() == 20;
    }));
    EXPECT_EQ(order, expected);
    // Closing from within ends the thread.
    client->perform([](PUSHClientController& controller) { controller.closePUSHThread(); });
    ASSERT_TRUE(waitFor([&] { return thread->isFinished(); }));
    PUSHThreadController::shareThreadInstance()->deleteThread(kPUSHClientThreadName);
}
