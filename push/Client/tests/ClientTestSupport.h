// Set-up of the client tests on the shared push fixture: an HTTP server for reports, a
// reachable network (injected), and the shared client configured against them;
// received-message notifications are counted.
#pragma once

#include "platform/sysconfig/SCNetworkReachability.h"
#include "platform/threading/NSNotificationCenter.h"
#include "push/Client/PUSHClientController.h"
#include "push/Client/PUSHMessageCenter.h"
#include "push/Client/PUSHNetworkController.h"
#include "push/Client/PUSHPushConfigController.h"
#include "push/Client/PUSHTagAlias.h"
#include "push/Report/PUSHHttpSessionController.h"
#include "push/Session/tests/PushFixture.h"
#include "push/Storage/PUSHReportCacheController.h"
#include "push/Storage/PUSHUserDefaultsController.h"
#include "testing/httpserver/TestServer.h"

namespace client_tests {

using push_tests::kAppKey;
inline constexpr SCNetworkReachabilityFlags kReachable = kSCNetworkReachabilityFlagsReachable;

// What a tags/alias callback or block was last given, and how often it was called.
struct TagAliasResult {
    int code = -1;
    Value tags;
    Value alias;
    int calls = 0;
    bool operator==(const TagAliasResult&) const = default;
    std::function<void(int, const Value&, const Value&)> recorder()
    {
        return [this](int c, const Value& t, const Value& a) { *this = { c, t, a, calls + 1 }; };
    }
};

class ClientTest : public push_tests::PushFixture {
protected:
    void SetUp() override
    {
        resetPushState();
        PUSHClientController::resetSharedClientForTesting();
        sysconfig::injectFlags(kReachable);
        reports.setDefault([](const httpserver::Request&) { return httpserver::Reply(200); });
        service.setReply(addressReply(server.address(), reports.port()));
        token = NSNotificationCenter::defaultCenter()->addObserverForName(kPUSHNetworkDidReceiveMessageNotification,
            nullptr, nullptr, [this](const auto& note) { messages.push_back(note->userInfo()); });
    }
    void TearDown() override
    {
        finishReports();
        client.reset();
        PUSHClientController::resetSharedClientForTesting();
        NSNotificationCenter::defaultCenter()->removeObserver(token.get());
        endPushState();
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
        configureAddresses(options.addressConfiguration);
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
    bool loggedIn() { return waitFor([&] { return session()->isLogin(); }); }
    // A tags/alias argument whose callback records into `result`.
    static std::shared_ptr<PUSHSetTagAliasArg> callbackArg(TagAliasResult& result, Value tags, Value alias)
    {
        auto argument = PUSHSetTagAliasArg::create();
        argument->type = PUSHTagAliasTypeCallback;
        argument->tags = std::move(tags);
        argument->alias = std::move(alias);
        argument->cbInvocation = result.recorder();
        return argument;
    }

    httpserver::TestServer reports;
    std::shared_ptr<PUSHClientController> client;
    std::vector<Value> messages;
    NSObjectRef token;
};

} // namespace client_tests
