// Shared set-up of the client tests: a temporary home, virtual time at the real date (the fake
// push server stamps logins with the real clock), a fake push server with its address service
// and a UDP sink, an HTTP server for reports, a reachable network (injected), and the shared
// client configured against them; received-message notifications are counted.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <map>

#include "platform/sysconfig/SCNetworkReachability.h"
#include "platform/threading/NSNotificationCenter.h"
#include "push/Client/PUSHClientController.h"
#include "push/Client/PUSHMessageCenter.h"
#include "push/Client/PUSHNetworkController.h"
#include "push/Client/PUSHPushConfigController.h"
#include "push/Client/PUSHTagAlias.h"
#include "push/Report/PUSHHttpSessionController.h"
#include "push/Session/PUSHSessionController.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "push/Storage/PUSHReportCacheController.h"
#include "push/Storage/PUSHUserDefaultsController.h"
#include "push/Utilities/PUSHUtilities.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"
#include "testing/VirtualTime.h"
#include "testing/httpserver/TestServer.h"
#include "tools/pushserver/AddressService.h"
#include "tools/pushserver/PushServer.h"

namespace client_tests {

inline constexpr const char* kAppKey = "0123456789abcdef01234567";
inline constexpr SCNetworkReachabilityFlags kReachable = kSCNetworkReachabilityFlagsReachable;

struct FakeResolver : push::HostResolver {
    std::map<std::string, std::string> answers;
    std::optional<std::string> resolve(const std::string& name, double) override
    {
        auto found = answers.find(name);
        return found == answers.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
};

struct TagAliasResult {
    int code = -1;
    Value tags;
    Value alias;
    int calls = 0;
};

class ClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::runUntil([] { return true; }); // the test thread is the main thread
        PUSHClientController::resetSharedClientForTesting();
        PUSHFileCacheController::resetSharedInstancesForTesting();
        PUSHSessionController::removeHeartBeatLock();
        push_utilities::setServerClockCorrection(0);
        sysconfig::injectFlags(kReachable);
        resolver->answers = { { "sis1.test", "127.0.0.1" } };
        reports.setDefault([](const httpserver::Request&) { return httpserver::Reply(200); });
        auto reply = pushserver::AddressReply::pointingAt(server.address());
        const std::string http = "127.0.0.1:" + std::to_string(reports.port());
        reply.user = http;
        reply.ips[2] = http;
        reply.udpReport = { "127.0.0.1:" + std::to_string(sink.port()) };
        service.setReply(reply);
        token = NSNotificationCenter::defaultCenter()->addObserverForName(kPUSHNetworkDidReceiveMessageNotification,
            nullptr, nullptr,
            [this](const std::shared_ptr<NSNotification>& note) { messages.push_back(note->userInfo()); });
    }
    void TearDown() override
    {
        finishReports();
        client.reset();
        PUSHClientController::resetSharedClientForTesting();
        NSNotificationCenter::defaultCenter()->removeObserver(token.get());
        testing_support::settle(2);
        PUSHFileCacheController::resetSharedInstancesForTesting();
        push_utilities::setServerClockCorrection(0);
        sysconfig::injectFlags(std::nullopt);
    }

    // Reports still in flight hold their connections: let them finish before the client goes.
    void finishReports()
    {
        if (!client || !client->networkService())
            return;
        auto cache = client->networkService()->reportSession()->reportCache();
        testing_support::runUntil([&] { return !cache || cache->sendingPackageCache().count() == 0; });
    }
    // The shared client, configured and set up; with a token it goes on to log in.
    std::shared_ptr<PUSHClientController> startClient(bool giveToken = true)
    {
        client = PUSHClientController::sharedClient();
        client->setBundleIdentifier("com.quillmark.client");
        client->setBundleVersion(Value("1.2"));
        client->setSystemVersion("9.3");
        client->setModelName("x86_64");
        auto config = PUSHPushConfigController::create();
        EXPECT_TRUE(config->setAppKey(Value(kAppKey), Value("chan"), false));
        client->setPushConfig(config);
        push_client::ClientOptions options;
        options.addressConfiguration.sisHosts = { "sis1.test", "sis2.test", "sis3.test" };
        options.addressConfiguration.pushDomain = "push.test";
        options.addressConfiguration.sisPort = options.addressConfiguration.sisSecondPort = service.port();
        options.resolver = resolver;
        options.reportEndpoint = reports.url("/v2/report");
        options.userEndpoint = reports.url("/v1/user/");
        client->setOptions(options);
        client->setup();
        if (giveToken)
            giveDeviceToken();
        return client;
    }
    void giveDeviceToken() { client->updateDeviceToken(Bytes { 0xAB, 0x01, 0xFF }); }
    std::shared_ptr<PUSHSessionController> session() const { return client->networkService()->clientSession(); }
    bool loggedIn()
    {
        return waitFor([&] { return session()->isLogin(); });
    }
    bool waitFor(const std::function<bool()>& predicate) { return testing_support::runUntil(predicate); }
    std::size_t framesOf(std::uint8_t command) const { return server.framesWithCommand(command).size(); }
    void advance(double seconds)
    {
        clock.advance(seconds);
        testing_support::settle(2);
    }
    void script(const std::function<void(pushserver::Script&)>& change)
    {
        auto s = server.script();
        change(s);
        server.setScript(s);
    }
    // A tags/alias argument whose callback records into `result`.
    static std::shared_ptr<PUSHSetTagAliasArg> callbackArg(TagAliasResult& result, Value tags, Value alias)
    {
        auto argument = PUSHSetTagAliasArg::create();
        argument->type = PUSHTagAliasTypeCallback;
        argument->tags = std::move(tags);
        argument->alias = std::move(alias);
        argument->cbInvocation = [&result](int code, const Value& t, const Value& a) {
            result.code = code;
            result.tags = t;
            result.alias = a;
            ++result.calls;
        };
        return argument;
    }

    testing_support::TempHome home;
    testing_support::VirtualTime clock { std::floor(
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count()) };
    pushserver::PushServer server;
    pushserver::AddressService service;
    pushserver::AddressService sink;
    httpserver::TestServer reports;
    std::shared_ptr<FakeResolver> resolver = std::make_shared<FakeResolver>();
    std::shared_ptr<PUSHClientController> client;
    std::vector<Value> messages;
    NSObjectRef token;
};

} // namespace client_tests
