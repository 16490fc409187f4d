// The scheduler's gate and sending: reports held until login, in-flight reports not sent
// twice, addresses by kind, the kinds' special items, and the badge report with its manager.
#include "ReportTestSupport.h"

#include "push/Network/PUSHAddressController.h"
#include "push/Report/PUSHBadgeNumberReport.h"
#include "push/Report/PUSHReportKinds.h"
#include "push/Storage/PUSHPageFlow.h"

#include <map>

namespace {

using httpserver::Reply;
using report_tests::ReportTest;

class ReportScheduler : public ReportTest { };

TEST_F(ReportScheduler, ReportsBeforeLoginWaitTheOldestOfTwentyOneIsDroppedAndNoneGoesOutTwice)
{
    session->login = false;
    std::vector<std::shared_ptr<PUSHMessageReportRequest>> made;
    for (int i = 0; i < 21; ++i) {
        made.push_back(PUSHMessageReportRequest::create());
        made.back()->setActiveType(0, std::to_string(i), kPUSHAbsentMessageFlag);
        made.back()->send();
    }
    EXPECT_EQ(std::tuple(scheduler->blockedReportCount(), server.requestCount()), std::tuple(20u, 0u));

    session->login = true;
    scheduler->sendAllBlockedHttpReports();
    EXPECT_EQ(scheduler->blockedReportCount(), 0u);
    // The first was dropped; the others got their in-flight keys in the order they were made.
    EXPECT_FALSE(made[0]->reportFlag());
    for (int i = 1; i <= 20; ++i)
        EXPECT_EQ(made[i]->reportFlag()->rfind(std::to_string(i) + ":", 0), 0u) << i;
    ASSERT_TRUE(answered(20));

    // A report handed in twice goes out once.
    auto twice = PUSHUserLoginReportRequest::create();
    twice->send();
    twice->send();
    EXPECT_TRUE(logger->has("is in sending state, do not send it again"));
    ASSERT_TRUE(answered(21));
    testing_support::settle(0.5);
    EXPECT_EQ(server.requestCount(), 21u);

    // Without an identity nothing may go out, logged in or not.
    links.userDefaults = nullptr;
    relink();
    PUSHUserLoginReportRequest::create()->send();
    EXPECT_EQ(scheduler->blockedReportCount(), 1u);
}

TEST_F(ReportScheduler, AddressesFollowTheKindAndPreferWhatDiscoveryLearnt)
{
    EXPECT_FALSE(scheduler->getBackUpAddress(3));
    defaults->setBackupHttpReportAddress(Value("http://10.0.0.1:80/v2/report"));
    defaults->setBackupUserReportAddress(Value("http://10.0.0.2:80/v1/user/"));
    using Addresses = std::pair<std::optional<std::string>, std::optional<std::string>>; // (default, backup)
    const Addresses none, report { links.reportEndpoint, "http://10.0.0.1:80/v2/report" },
        user { links.userEndpoint, "http://10.0.0.2:80/v1/user/" };
    for (const auto& [kind, addresses] : std::vector<std::pair<int, Addresses>> {
             { 0, report }, { 9, report }, { 10, user }, { 19, user }, { 20, none }, { -1, none } })
        EXPECT_EQ(std::pair(scheduler->getDefaultAddress(kind), scheduler->getBackUpAddress(kind)), addresses) << kind;

    auto discovery = PUSHAddressController::create({}, std::make_shared<push::MemoryAddressStore>());
    discovery->setHttpReportAddress("10.9.9.9:8080");
    links.addressController = discovery;
    relink();
    EXPECT_EQ(scheduler->getBackUpAddress(1), "http://10.9.9.9:8080/v2/report");
    // Nothing learnt for users: the persisted backup stays.
    EXPECT_EQ(scheduler->getBackUpAddress(11), "http://10.0.0.2:80/v1/user/");
}

TEST_F(ReportScheduler, SessionEndCrashAndDeviceItemsCarryTheirSpecialValuesAndStates)
{
    auto end = PUSHUserActiveReportRequest::create();
    end->setReportActives(PUSHPageFlow::create(), 1700000000.7, 1700000100.2);
    end->send();
    ASSERT_TRUE(answered(1));
    const Value terminate = report_tests::reportBody(*server.lastRequest())["content"][0];
    for (const auto& [key, value] : std::map<std::string, Value> { { "type", Value("active_terminate") },
             { "itime", Value(1700000100) }, { "duration", Value(99) }, { "activities", Value("") } })
        EXPECT_EQ(terminate[key], value) << key;

    plain()->setObject(Value::array({ Value::array({ Value::dictionary({ { "reason", Value("boom") } }), Value(2) }) }),
        kPUSHCrashLogKey);
    server.on("/v2/report", Reply(500));
    PUSHCrashHandlerReportRequest::create()->send();
    // Crash records leave the file cache as soon as they are packed, whatever the answer.
    EXPECT_FALSE(plain()->hasObjectForKey(kPUSHCrashLogKey));
    ASSERT_TRUE(waitForLog("inner Error"));
    const Value crash = report_tests::reportBody(*server.lastRequest())["content"][0];
    EXPECT_EQ(crash["crashlogs"], Value::array({ Value::dictionary({ { "reason", Value("boom") } }) }));

    // A changed device item is remembered only once the server took it.
    PUSHUserDeviceReportRequest::create()->send();
    ASSERT_TRUE(waitForLog("inner Error", 2));
    EXPECT_FALSE(plain()->hasObjectForKey(kPUSHLastDeviceInfoKey));

    server.on("/v2/report", Reply(200));
    auto accepted = PUSHUserDeviceReportRequest::create();
    accepted->send();
    ASSERT_TRUE(waitForLog("log succed", 2));
    EXPECT_EQ(plain()->objectForKey(kPUSHLastDeviceInfoKey), accepted->content());
}

// Records what the scheduler asks of the badge manager.
struct FakeBadgeManager : push::BadgeManager {
    using Report = std::shared_ptr<PUSHBadgeNumberReportRequest>;
    bool isSendingLock() const override { return lock; }
    void setIsSendingLock(bool value) override { lock = value; }
    Report badgeReport() const override { return report; }
    void startDelaySendBadge(const Report& r) override { delayedSends += r == report; }
    void stopDelayTimer(const Report&, bool retry) override { stops.push_back(retry); }
    void becomeActive() override { }
    void willInactive() override { }
    bool lock = false;
    Report report;
    int delayedSends = 0;
    std::vector<bool> stops;
};

class BadgeReport : public ReportTest {
protected:
    void SetUp() override { ReportTest::SetUp(), scheduler->setBadgeNumberManager(manager); }
    std::shared_ptr<PUSHBadgeNumberReportRequest> sendBadge(std::int64_t count)
    {
        auto badge = PUSHBadgeNumberReportRequest::create();
        badge->setBadgeCount(count);
        manager->report = badge;
        manager->lock = true;
        badge->send();
        return badge;
    }
    std::shared_ptr<FakeBadgeManager> manager = std::make_shared<FakeBadgeManager>();
};

TEST_F(BadgeReport, PlainBodyToTheUserEndpointSignedOverItsTextAndStatusesTellWhetherToRetry)
{
    const std::vector<std::pair<int, std::string>> cases = { { 200, "set badge:4 succeed" },
        { 400, "send badge:4 parameter validate failed!" }, { 401, "send badge:4 parameter check failed!" },
        { 500, "warning:badge:4 inner error failed" }, { 503, "warning:badge:4 default error:503" } };
    for (const auto& [status, line] : cases) {
        SCOPED_TRACE(status);
        server.on("/v1/user/", Reply(status));
        manager->stops.clear(), manager->delayedSends = 0;
        auto badge = sendBadge(4);
        ASSERT_TRUE(waitForLog(line));
        const bool retry = status >= 500;
        // Answered, so the lock is let go and a resend by the manager is not refused as in flight.
        EXPECT_EQ(std::tuple(manager->stops, manager->delayedSends, manager->lock, badge->reportFlag()),
            std::tuple(std::vector<bool> { retry }, retry ? 1 : 0, false, std::nullopt));
    }
    const auto request = server.requests()[0];
    EXPECT_EQ(request.path, "/v1/user/");
    for (const auto& [name, value] : std::map<std::string, std::string> { { "Content-Type", "text/plain" },
             { "Accept", "application/json" }, { "Authorization", report_tests::expectedAuthorization(request.body) } })
        EXPECT_EQ(request.headers.value(name), value) << name;
    EXPECT_FALSE(request.headers.has("X-App-Key"));
    const Value body = report_tests::parseJSON(request.body);
    EXPECT_TRUE(body["content"] == Value::dictionary({ { "badge", Value(4) } }) && push::isValidItemTime(body["itime"]));
    EXPECT_EQ(sendingCount(), 0u); // the badge keeps nothing in the report caches
}

TEST_F(BadgeReport, ConnectionFailureIsLoggedAndRetried)
{
    links.userEndpoint = report_tests::goneURL("/v1/user/");
    relink();
    auto badge = sendBadge(6);
    ASSERT_TRUE(waitForLog("设置badge:6 错误:-1004"));
    EXPECT_EQ(std::tuple(manager->delayedSends, badge->reportFlag(), manager->lock), std::tuple(1, std::nullopt, false));
}

} // namespace
