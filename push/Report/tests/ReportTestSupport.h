// Shared pieces of the report tests: a fresh app home with the push file caches and a signed-in
// identity, a session link whose login the test controls, loopback report servers, a logger
// that keeps the lines, and readers for what the server received (gunzipped JSON, signature).
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/persistence/NSJSONSerialization.h"
#include "push/Network/PUSHSessionLink.h"
#include "push/Report/PUSHHttpSessionController.h"
#include "push/Report/PUSHReportLinks.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "push/Storage/PUSHReportCacheController.h"
#include "push/Storage/PUSHUserDefaultsController.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"
#include "testing/httpserver/TestServer.h"
#include "testing/push/CapturingLogger.h"
#include "testing/push/PushTestSupport.h"

namespace report_tests {

inline constexpr std::uint64_t kUid = 9223372036854775813ull; // above the signed range
inline constexpr const char* kPassword = "secret-pw";
inline constexpr const char* kAppKey = "0123456789abcdef01234567";

class FakeSession : public push::SessionLink {
public:
    std::uint64_t getRId(int) override { return ++rid; }
    std::uint32_t currentSessionID() const override { return login ? 7 : 0; }
    std::uint64_t currentUid() const override { return kUid; }
    void sendRequest(const std::shared_ptr<PUSHRequest>&) override {}
    bool isLogin() const override { return login; }
    std::atomic<bool> login { true };
    std::atomic<std::uint64_t> rid { 0 };
};

using push_test_support::CapturingLogger;
using push_test_support::gunzip;

inline Value parseJSON(const std::string& text) { return NSJSONSerialization::JSONObjectWithData(std::string_view(text)); }
// The body of a statistics report as JSON.
inline Value reportBody(const httpserver::Request& request) { return parseJSON(gunzip(request.body)); }

// The signature the server expects for these body bytes (digest of the bytes as sent for the
// statistics kinds, of the text for the badge: the same bytes here).
inline std::string expectedAuthorization(const std::string& body)
{
    const std::string uid = std::to_string(kUid);
    const std::string token
        = uid + ":" + PUSHMD5HexString(uid + PUSHMD5HexString(std::string(kPassword)) + PUSHMD5HexData(Bytes(body.begin(), body.end())));
    return "Basic " + PUSHBase64String(Bytes(token.begin(), token.end()));
}

// A loopback URL where nothing listens any more.
inline std::string goneURL(const std::string& path) { return httpserver::TestServer().url(path); }

// A statistics item, padded to a size.
inline Value item(const std::string& type, std::int64_t itime, const std::string& pad = "")
{
    return Value::dictionary({ { "type", Value(type) }, { "itime", Value(itime) }, { "pad", Value(pad) } });
}

// Item types of the statistics items in `contents`, in their order.
inline std::vector<std::string> types(const Value& contents)
{
    std::vector<std::string> names;
    for (const Value& entry : contents.asArray())
        names.push_back(entry["type"].asString());
    return names;
}

// A fresh home with the caches, identity, session link and report server, and a scheduler.
class ReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::runUntil([] { return true; }, 1);
        server.on("/v2/report", httpserver::Reply(200));
        server.on("/v1/user/", httpserver::Reply(200));
        links.reportEndpoint = server.url("/v2/report");
        links.userEndpoint = server.url("/v1/user/");
        push::setCurrentSessionLink(session);
        PUSHLog::addLogger(logger);
        restart(true);
    }
    void TearDown() override
    {
        scheduler.reset();
        PUSHLog::removeAllLoggers();
        PUSHLog::flushLog();
        push::setReportLinks({});
        push::setCurrentSessionLink({});
        PUSHFileCacheController::resetSharedInstancesForTesting();
        push_utilities::setServerClockCorrection(0);
    }

    // A (new) start of the push client over the same home; the first one signs in.
    void restart(bool signIn = false)
    {
        scheduler.reset();
        PUSHFileCacheController::resetSharedInstancesForTesting();
        PUSHFileCacheController::startShareInstance("PUSHDocument", PUSHFileCacheTypeDocument, true);
        PUSHFileCacheController::startShareInstance("PUSHJSON", PUSHFileCacheTypeCache, false);
        defaults = PUSHUserDefaultsController::initWithBundleIdentifier("com.quillmark.reports", kAppKey);
        if (signIn)
            defaults->setUidPasswordRegistrationID(kUid, std::string(kPassword), std::string("rid-1"));
        links.userDefaults = defaults;
        push::setReportLinks(links);
        scheduler = PUSHHttpSessionController::create();
    }
    void relink() { push::setReportLinks(links); }
    std::shared_ptr<PUSHFileCacheController> plain() { return PUSHFileCacheController::shareInstanceWithType(0); }
    std::shared_ptr<PUSHReportCacheController> cache() { return scheduler->reportCache(); }

    bool waitForRequests(httpserver::TestServer& on, std::size_t count) { return testing_support::runUntil([&] { return on.requestCount() >= count; }, 10); }
    // Waits for `count` requests on `on` and for every report in flight to be answered.
    bool answered(std::size_t count, httpserver::TestServer* on = nullptr)
    {
        return waitForRequests(on ? *on : server, count) && testing_support::runUntil([&] { return sendingCount() == 0; });
    }
    bool waitForLog(const std::string& text, std::size_t times = 1) { return testing_support::runUntil([&] { return logger->count(text) >= times; }, 10); }
    std::size_t pendingCount() { return cache()->count(); }
    std::size_t sendingCount() { return cache()->sendingPackageCache().count(); }

    testing_support::TempHome home;
    std::shared_ptr<FakeSession> session = std::make_shared<FakeSession>();
    std::shared_ptr<PUSHUserDefaultsController> defaults;
    httpserver::TestServer server;
    push::ReportLinks links;
    std::shared_ptr<CapturingLogger> logger = std::make_shared<CapturingLogger>();
    std::shared_ptr<PUSHHttpSessionController> scheduler;
};

} // namespace report_tests
