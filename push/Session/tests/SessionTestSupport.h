// Shared set-up of the session tests: a temporary home with the push caches started, virtual
// time at the real date (the fake server stamps logins with the real clock), a fake push
// server, an address service pointing at it, a second one as the UDP report sink, a resolver
// that knows the test's host names, and counts of the session's notifications.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <map>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/threading/NSNotificationCenter.h"
#include "platform/threading/NSTimer.h"
#include "push/Session/PUSHSessionController.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "push/Storage/PUSHUserDefaultsController.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"
#include "testing/VirtualTime.h"
#include "tools/pushserver/AddressService.h"
#include "tools/pushserver/PushServer.h"

namespace session_tests {

inline constexpr const char* kAppKey = "0123456789abcdef01234567";

// "127.0.0.1:<port>" of a loopback port nobody listens on.
inline std::string refusedAddress()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address { AF_INET, 0, { htonl(INADDR_LOOPBACK) }, {} };
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
}

struct FakeResolver : push::HostResolver {
    std::map<std::string, std::string> answers;
    std::function<void()> onResolve;
    std::optional<std::string> resolve(const std::string& name, double) override
    {
        if (onResolve)
            onResolve();
        auto found = answers.find(name);
        return found == answers.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
};

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::runUntil([] { return true; }); // the test thread is the main thread
        startCaches();
        PUSHSessionController::removeHeartBeatLock();
        push_utilities::setServerClockCorrection(0);
        resolver->answers = { { "sis1.test", "127.0.0.1" } };
        pointServiceAt({ server.address() });
        for (const char* name : { kPUSHFNetworkIsConnectingNotification, kPUSHNetworkDidSetupNotification,
                 kPUSHNetworkDidCloseNotification, kPUSHNetworkDidLoginNotification, kPUSHNetworkDidRegisterNotification })
            tokens.push_back(NSNotificationCenter::defaultCenter()->addObserverForName(name, nullptr, nullptr,
                [this, key = std::string(name)](const std::shared_ptr<NSNotification>& note) {
                    ++posts[key];
                    userInfo[key] = note->userInfo();
                }));
    }
    void TearDown() override
    {
        session.reset();
        for (const auto& token : tokens)
            NSNotificationCenter::defaultCenter()->removeObserver(token.get());
        testing_support::settle(2);
        PUSHFileCacheController::resetSharedInstancesForTesting();
        push_utilities::setServerClockCorrection(0);
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
        auto reply = pushserver::AddressReply::pointingAt(servers[0]);
        reply.udpReport = { "127.0.0.1:" + std::to_string(sink.port()) };
        reply.opConns.assign(servers.begin() + 1, servers.end());
        service.setReply(reply);
    }
    void script(const std::function<void(pushserver::Script&)>& change)
    {
        auto s = server.script();
        change(s);
        server.setScript(s);
    }
    std::shared_ptr<PUSHUserDefaultsController> identity()
    {
        if (!defaults)
            defaults = PUSHUserDefaultsController::initWithBundleIdentifier("com.quillmark.session", kAppKey);
        return defaults;
    }
    push_session::SessionEnvironment environment()
    {
        push_session::SessionEnvironment env;
        env.userDefaults = identity();
        env.addressConfiguration.sisHosts = { "sis1.test", "sis2.test", "sis3.test" };
        env.addressConfiguration.pushDomain = "push.test";
        env.addressConfiguration.sisPort = env.addressConfiguration.sisSecondPort = service.port();
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
    bool waitFor(const std::function<bool()>& predicate) { return testing_support::runUntil(predicate); }
    std::size_t framesOf(std::uint8_t command) { return server.framesWithCommand(command).size(); }
    // Moves virtual time on and lets the main loop run what became due.
    void advance(double seconds)
    {
        clock.advance(seconds);
        testing_support::settle(2);
    }
    double retryDelay() const
    {
        auto timer = session->delaySetupTimer();
        return timer ? timer->fireDate() - clock.now() : -1;
    }

    testing_support::TempHome home;
    testing_support::VirtualTime clock { std::floor(
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count()) };
    pushserver::PushServer server;
    pushserver::AddressService service;
    pushserver::AddressService sink;
    std::shared_ptr<FakeResolver> resolver = std::make_shared<FakeResolver>();
    std::shared_ptr<PUSHUserDefaultsController> defaults;
    std::shared_ptr<PUSHSessionController> session;
    std::int32_t networkStatus = push_utilities::kStatusWiFi;
    bool deviceTokenUpdated = true;
    std::map<std::string, int> posts;
    std::map<std::string, Value> userInfo;
    std::vector<NSObjectRef> tokens;
};

} // namespace session_tests
