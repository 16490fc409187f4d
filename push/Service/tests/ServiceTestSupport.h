// Shared set-up of the service tests: a temporary home and application bundle, virtual time at
// the real date (the fake push server stamps logins with the real clock), the fake push server
// with its address service and a UDP sink, an HTTP server for reports, a reachable network, and
// the service pointed at them. Each test ends with the service reset.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/persistence/NSBundle.h"
#include "platform/sysconfig/SCNetworkReachability.h"
#include "platform/uikit/UIApplication.h"
#include "push/Client/PUSHClientController.h"
#include "push/Client/PUSHNetworkController.h"
#include "push/Client/PUSHPushConfigController.h"
#include "push/Report/PUSHHttpSessionController.h"
#include "push/Service/PUSHService.h"
#include "push/Service/PUSHServiceInstance.h"
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

namespace service_tests {

inline constexpr const char* kAppKey = "0123456789abcdef01234567";

struct FakeResolver : push::HostResolver {
    std::map<std::string, std::string> answers;
    std::optional<std::string> resolve(const std::string& name, double) override
    {
        auto found = answers.find(name);
        return found == answers.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
};

inline std::string gunzip(const std::string& bytes)
{
    z_stream stream {};
    std::string out(1 << 20, '\0');
    if (inflateInit2(&stream, 31) != Z_OK)
        return {};
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    inflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return out;
}

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::runUntil([] { return true; }); // the test thread is the main thread
        PUSHService::reset();
        PUSHFileCacheController::resetSharedInstancesForTesting();
        PUSHSessionController::removeHeartBeatLock();
        push_utilities::setServerClockCorrection(0);
        sysconfig::injectFlags(kSCNetworkReachabilityFlagsReachable);
        UIApplication::sharedApplication()->reset();
        writeBundle();

        resolver->answers = { { "sis1.test", "127.0.0.1" } };
        reports.setDefault([](const httpserver::Request&) { return httpserver::Reply(200); });
        auto reply = pushserver::AddressReply::pointingAt(server.address());
        const std::string http = "127.0.0.1:" + std::to_string(reports.port());
        reply.user = http;
        reply.ips[2] = http;
        reply.udpReport = { "127.0.0.1:" + std::to_string(sink.port()) };
        service.setReply(reply);

        push_client::ClientOptions options;
        options.addressConfiguration.sisHosts = { "sis1.test", "sis2.test", "sis3.test" };
        options.addressConfiguration.pushDomain = "push.test";
        options.addressConfiguration.sisPort = options.addressConfiguration.sisSecondPort = service.port();
        options.resolver = resolver;
        options.reportEndpoint = reports.url("/v2/report");
        options.userEndpoint = reports.url("/v1/user/");
        push_service::setClientOptions(options);
    }
    void TearDown() override
    {
        finishReports();
        PUSHService::reset();
        testing_support::settle(2);
        PUSHFileCacheController::resetSharedInstancesForTesting();
        push_service::setClientOptions(std::nullopt);
        push_utilities::setServerClockCorrection(0);
        sysconfig::injectFlags(std::nullopt);
        UIApplication::sharedApplication()->reset();
        NSBundle::setMainBundlePath("");
    }

    // An application bundle with an identifier and a version, and any extra files.
    void writeBundle(const std::map<std::string, std::string>& extra = {})
    {
        const std::string folder = home.pathFor("Bundle.app");
        std::filesystem::create_directories(folder);
        std::ofstream(folder + "/Info.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>CFBundleIdentifier</key><string>com.quillmark.service</string>"
               "<key>CFBundleVersion</key><string>3</string></dict></plist>\n";
        for (const auto& [name, text] : extra)
            std::ofstream(folder + "/" + name) << text;
        NSBundle::setMainBundlePath(folder);
    }

    // Runs `read` on the client thread after everything sent before it; waits for the answer.
    template <class T> std::optional<T> onClient(std::function<T(PUSHClientController&)> read)
    {
        auto answer = std::make_shared<std::optional<T>>();
        auto done = std::make_shared<std::atomic<bool>>(false);
        push_service::Service::sharedService()->perform([=](PUSHClientController& c) {
            *answer = read(c);
            done->store(true);
        });
        if (!testing_support::runUntil([&] { return done->load(); }))
            return std::nullopt;
        return *answer;
    }
    // Asks the client thread again and again until `predicate` holds there (true) or 10 s passed.
    bool pollClient(const std::function<bool(PUSHClientController&)>& predicate)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (onClient<bool>(predicate).value_or(false))
                return true;
        }
        return false;
    }
    bool waitForLogin()
    {
        return pollClient([](PUSHClientController& c) {
            return c.networkService() && c.networkService()->clientSession()
                && c.networkService()->clientSession()->isLogin();
        });
    }
    // Reports in flight hold their connections: let them finish before the client goes.
    void finishReports()
    {
        pollClient([](PUSHClientController& c) {
            if (!c.networkService() || !c.networkService()->reportSession())
                return true;
            auto cache = c.networkService()->reportSession()->reportCache();
            return !cache || cache->sendingPackageCache().count() == 0;
        });
    }
    bool isSetUp()
    {
        return onClient<bool>([](PUSHClientController& c) { return c.userDefaults() != nullptr; }).value_or(false);
    }
    // The launch as the application makes it, then the token the platform hands over.
    void launch(const Value& options = Value::dictionary())
    {
        PUSHService::setupWithOption(options, kAppKey, "chan", false);
        PUSHService::registerDeviceToken(Bytes { 0xAB, 0x01, 0xFF });
    }
    std::size_t framesOf(std::uint8_t command) const { return server.framesWithCommand(command).size(); }
    // The statistics reports received, gunzipped and run together.
    std::string reportBodies()
    {
        std::string bodies;
        for (const auto& request : reports.requests())
            bodies += request.path == "/v2/report" ? gunzip(request.body) : "";
        return bodies;
    }

    testing_support::TempHome home;
    testing_support::VirtualTime clock { std::floor(
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count()) };
    pushserver::PushServer server;
    pushserver::AddressService service;
    pushserver::AddressService sink;
    httpserver::TestServer reports;
    std::shared_ptr<FakeResolver> resolver = std::make_shared<FakeResolver>();
};

} // namespace service_tests
