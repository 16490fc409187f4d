// Set-up of the service tests on the shared push fixture: an application bundle, an HTTP
// server for reports, a reachable network, and the service pointed at them. Each test ends with
// the service reset.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "platform/persistence/NSBundle.h"
#include "platform/sysconfig/SCNetworkReachability.h"
#include "platform/uikit/UIApplication.h"
#include "push/Client/PUSHClientController.h"
#include "push/Client/PUSHNetworkController.h"
#include "push/Client/PUSHPushConfigController.h"
#include "push/Report/PUSHHttpSessionController.h"
#include "push/Service/PUSHService.h"
#include "push/Service/PUSHServiceInstance.h"
#include "push/Service/PUSHTagAliasCallback.h"
#include "push/Session/tests/PushFixture.h"
#include "push/Storage/PUSHReportCacheController.h"
#include "push/Storage/PUSHUserDefaultsController.h"
#include "testing/httpserver/TestServer.h"
#include "testing/push/PushTestSupport.h"

namespace service_tests {

using push_tests::kAppKey;
using push_test_support::gunzip;

// An application object whose methods may answer a tags/alias request; `standard` keeps the answer.
class Answering : public NSObject {
public:
    void standard(int code, const push_service::TagAliasAnswerTags& tags, const std::string& alias)
    {
        answer = std::to_string(code) + "|" + std::to_string(tags ? tags->size() : 99) + "|" + alias;
        ++calls;
    }
    void byValue(int code, push_service::TagAliasAnswerTags tags, std::string alias) { standard(code, tags, alias); }
    void twoArguments(int, const std::string&) { }
    void reordered(const std::string&, int, const push_service::TagAliasAnswerTags&) { }
    std::string answer;
    int calls = 0;
};

class ServiceTest : public push_tests::PushFixture {
protected:
    void SetUp() override
    {
        resetPushState();
        PUSHService::reset();
        sysconfig::injectFlags(kSCNetworkReachabilityFlagsReachable);
        UIApplication::sharedApplication()->reset();
        writeBundle();

        reports.setDefault([](const httpserver::Request&) { return httpserver::Reply(200); });
        service.setReply(addressReply(server.address(), reports.port()));

        push_client::ClientOptions options;
        configureAddresses(options.addressConfiguration);
        options.resolver = resolver;
        options.reportEndpoint = reports.url("/v2/report");
        options.userEndpoint = reports.url("/v1/user/");
        push_service::setClientOptions(options);
    }
    void TearDown() override
    {
        finishReports();
        PUSHService::reset();
        endPushState();
        push_service::setClientOptions(std::nullopt);
        sysconfig::injectFlags(std::nullopt);
        UIApplication::sharedApplication()->reset();
        NSBundle::setMainBundlePath("");
    }

    // An application bundle with an identifier and a version, and any extra files.
    void writeBundle(const std::map<std::string, std::string>& extra = {})
    {
        const std::string folder = home.useMainBundle("Bundle.app",
            "<key>CFBundleIdentifier</key><string>com.quillmark.service</string>"
            "<key>CFBundleVersion</key><string>3</string>");
        for (const auto& [name, text] : extra)
            std::ofstream(folder + "/" + name) << text;
    }

    // Runs `read` on the client thread after everything sent before it; waits for the answer.
    template <class T> std::optional<T> onClient(std::function<T(PUSHClientController&)> read)
    {
        auto answer = std::make_shared<std::optional<T>>();
        auto done = std::make_shared<std::atomic<bool>>(false);
        push_service::Service::sharedService()->perform([=](PUSHClientController& c) { *answer = read(c), done->store(true); });
        return testing_support::runUntil([&] { return done->load(); }) ? *answer : std::nullopt;
    }
    // Asks the client thread again and again until `predicate` holds there (true) or 10 s passed.
    bool pollClient(const std::function<bool(PUSHClientController&)>& predicate)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline)
            if (onClient<bool>(predicate).value_or(false))
                return true;
        return false;
    }
    bool waitForLogin()
    {
        return pollClient(
            [](PUSHClientController& c) { return c.networkService() && c.networkService()->clientSession() && c.networkService()->clientSession()->isLogin(); });
    }
    // Reports in flight hold their connections: let them finish before the client goes.
    void finishReports() { pollClient(noReportInFlight); }
    // Nothing awaits an answer: no report in flight and every request to the push server
    // acknowledged. Moving time on only then keeps time-outs from firing on what is merely slow.
    bool quiet()
    {
        return pollClient([](PUSHClientController& c) {
            auto session = c.networkService() ? c.networkService()->clientSession() : nullptr;
            return noReportInFlight(c) && (!session || session->sendingRequestCount() == 0);
        });
    }
    static bool noReportInFlight(PUSHClientController& c)
    {
        if (!c.networkService() || !c.networkService()->reportSession())
            return true;
        auto cache = c.networkService()->reportSession()->reportCache();
        return !cache || cache->sendingPackageCache().count() == 0;
    }
    bool isSetUp() { return onClient<bool>([](PUSHClientController& c) { return c.userDefaults() != nullptr; }).value_or(false); }
    // The launch as the application makes it, then the token the platform hands over.
    void launch(const Value& options = Value::dictionary()) { PUSHService::setupWithOption(options, kAppKey, "chan", false), PUSHService::registerDeviceToken(Bytes { 0xAB, 0x01, 0xFF }); }
    // The statistics reports received, gunzipped and run together.
    std::string reportBodies()
    {
        std::string bodies;
        for (const auto& request : reports.requests())
            bodies += request.path == "/v2/report" ? gunzip(request.body) : "";
        return bodies;
    }

    httpserver::TestServer reports;
};

} // namespace service_tests
