// Set-up of the session tests on the shared push fixture: the push caches started, an address
// service pointing at the fake server, the session's environment, and counts of its
// notifications.
#pragma once

#include "PushFixture.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/threading/NSTimer.h"
#include "push/Storage/PUSHUserDefaultsController.h"

namespace session_tests {

using push_tests::kAppKey;

// "127.0.0.1:<port>" of a loopback port nobody listens on: a server's that has gone.
inline std::string refusedAddress() { return pushserver::PushServer().address(); }

class SessionTest : public push_tests::PushFixture {
protected:
    void SetUp() override
    {
        resetPushState();
        startCaches();
        pointServiceAt({ server.address() });
        for (const char* name : { kPUSHFNetworkIsConnectingNotification, kPUSHNetworkDidSetupNotification,
                 kPUSHNetworkDidCloseNotification, kPUSHNetworkDidLoginNotification, kPUSHNetworkDidRegisterNotification })
            tokens.push_back(NSNotificationCenter::defaultCenter()->addObserverForName(name, nullptr, nullptr,
                [this, key = std::string(name)](const auto& note) { ++posts[key], userInfo[key] = note->userInfo(); }));
    }
    void TearDown() override
    {
        session.reset();
        for (const auto& token : tokens)
            NSNotificationCenter::defaultCenter()->removeObserver(token.get());
        endPushState();
    }
    static void startCaches()
    {
        PUSHFileCacheController::resetSharedInstancesForTesting();
        PUSHFileCacheController::startShareInstance("PUSHDocument", PUSHFileCacheTypeDocument, true);
        PUSHFileCacheController::startShareInstance("PUSHJSON", PUSHFileCacheTypeCache, false);
    }

    // servers[0] is the push server (and the default connection), the rest the alternatives.
    void pointServiceAt(const std::vector<std::string>& servers)
    {
        auto reply = addressReply(servers[0]);
        reply.opConns.assign(servers.begin() + 1, servers.end());
        service.setReply(reply);
    }
    std::shared_ptr<PUSHUserDefaultsController> identity() { return defaults ? defaults : defaults = PUSHUserDefaultsController::initWithBundleIdentifier("com.quillmark.session", kAppKey); }
    push_session::SessionEnvironment environment()
    {
        push_session::SessionEnvironment env;
        env.userDefaults = identity();
        configureAddresses(env.addressConfiguration);
        env.addressConfiguration.appKey = kAppKey;
        env.resolver = resolver;
        env.networkStatus = [this] { return networkStatus; };
        env.deviceTokenUpdated = [this] { return deviceTokenUpdated; };
        env.clientInfo = [] { return push_session::ClientInfo { "com.quillmark.session", "1.2", "9.3", "x86_64", "chan", 1, 0 }; };
        return env;
    }
    std::shared_ptr<PUSHSessionController> makeSession() { return session = PUSHSessionController::create(environment()); }
    // A session set up and logged in (registering first when there is no identity).
    void loggedIn()
    {
        if (!session)
            makeSession();
        session->setup();
        ASSERT_TRUE(waitFor([&] { return session->isLogin(); }));
    }
    // Closes the session without letting it reconnect.
    void closeForGood() { session->setIsConnectDisable(true), session->close(); }
    double retryDelay() const { auto timer = session->delaySetupTimer(); return timer ? timer->fireDate() - clock.now() : -1; }

    std::shared_ptr<PUSHUserDefaultsController> defaults;
    std::shared_ptr<PUSHSessionController> session;
    std::int32_t networkStatus = push_utilities::kStatusWiFi;
    bool deviceTokenUpdated = true;
    std::map<std::string, int> posts;
    std::map<std::string, Value> userInfo;
    std::vector<NSObjectRef> tokens;
};

} // namespace session_tests
