// The report session on virtual time: launch and session-end reports around short and long
// absences, the first activation, the daily and two-hourly checks, and state across restarts.
#include "ReportTestSupport.h"

#include <algorithm>
#include <cmath>

#include "push/Storage/PUSHLocationInfoController.h"
#include "push/Storage/PUSHPageFlowSession.h"
#include "testing/VirtualTime.h"

namespace {

using report_tests::ReportTest;

class ReportSession : public ReportTest {
protected:
    // Every item of the requests the server received since request `from`.
    Value itemsSince(std::size_t from = 0)
    {
        Value items = Value::array();
        const auto requests = server.requests();
        for (std::size_t i = from; i < requests.size(); ++i) {
            const Value body = report_tests::reportBody(requests[i]);
            for (const Value& entry : body["content"].asArray())
                items.append(entry);
        }
        return items;
    }
    std::vector<std::string> typesSince(std::size_t from = 0)
    {
        auto names = report_tests::types(itemsSince(from));
        std::sort(names.begin(), names.end());
        return names;
    }
    Value itemOfType(const std::string& type)
    {
        const Value items = itemsSince();
        auto found = std::ranges::find(items.asArray(), Value(type), [](const Value& entry) { return entry["type"]; });
        return found == items.asArray().end() ? Value() : *found;
    }
    // Waits for `count` requests and for every answer to be handled.
    void deliver(std::size_t count)
    {
        ASSERT_TRUE(answered(count));
        testing_support::settle(0.3);
        EXPECT_EQ(server.requestCount(), count);
    }
    double now() const { return std::floor(time.now()); }

    testing_support::VirtualTime time { 1704067200.0 };
};

TEST_F(ReportSession, FirstActivationReportsLaunchDeviceAndLocationButNotCrashes)
{
    links.isReportCrash = [] { return true; };
    relink();
    plain()->setObject(Value::array({ Value::array({ Value::dictionary({ { "r", Value(1) } }), Value(1) }) }), kPUSHCrashLogKey);
    for (auto status : { push_utilities::kStatusWiFi, push_utilities::kStatusWWAN, push_utilities::kStatusNotReachable })
        scheduler->locationInfoChangeViaNetworkState(status);
    EXPECT_EQ(scheduler->locationInfo()->count(), 2);

    scheduler->prepareActive(now());
    deliver(3);
    EXPECT_EQ(typesSince(), (std::vector<std::string> { "active_launch", "device_info", "loc_info" }));
    const Value location = itemOfType("loc_info");
    EXPECT_TRUE(location["wifi"].count() == 1u && location["cell"].count() == 1u && location["gps"] == Value(""));
    // Observations are used up and the crash period starts without a report.
    EXPECT_EQ(std::tuple(scheduler->locationInfo()->count(), plain()->objectForKey(kPUSHCrashTimerKey).integerValue(),
                  plain()->hasObjectForKey(kPUSHCrashLogKey)),
        std::tuple(0, static_cast<std::int64_t>(now()), true));

    // A day later every daily check is due: the crash log goes; the device item is unchanged.
    time.advance(86400);
    deliver(4);
    EXPECT_EQ(typesSince(3), (std::vector<std::string> { "crash_log" }));
}

TEST_F(ReportSession, ShortAbsenceContinuesTheSessionAndALongOneEndsIt)
{
    auto pages = PUSHPageFlowSession::create();
    pages->setupSession();
    links.pageFlowSession = pages;
    relink();
    pages->setViewLogSecond(Value::array({ Value("Home"), Value(5) }));
    const double start = scheduler->startTime();
    scheduler->prepareActive(now());
    deliver(2); // launch and device
    time.advance(100);
    scheduler->reportInactive(now());
    EXPECT_EQ(scheduler->closeTime(), now());

    time.advance(20);
    scheduler->prepareActive(now());
    deliver(2); // nothing more
    EXPECT_EQ(std::make_pair(scheduler->closeTime(), scheduler->startTime()), std::make_pair(0.0, start));

    time.advance(80);
    scheduler->reportInactive(now());
    const double secondLeft = now();
    time.advance(31);
    scheduler->prepareActive(now());
    deliver(4);
    EXPECT_EQ(typesSince(2), (std::vector<std::string> { "active_launch", "active_terminate" }));
    const Value entry = itemOfType("active_terminate");
    EXPECT_EQ(std::tuple(entry["itime"].integerValue(), entry["duration"].integerValue(), entry["activities"]),
        std::tuple(std::int64_t(secondLeft), std::int64_t(secondLeft - start), Value::array({ Value::dictionary({ { "Home", Value(5) } }) })));
    EXPECT_TRUE(scheduler->isSetup() && scheduler->startTime() == now());
}

TEST_F(ReportSession, AClockSetBackMakesEveryPeriodicReportDue)
{
    links.isReportCrash = [] { return true; };
    relink();
    const auto future = static_cast<std::int64_t>(now()) + 86400;
    plain()->setObjects({ { kPUSHCheckTimeKey, Value(future) }, { kPUSHCrashTimerKey, Value(future) },
        { kPUSHLocationTimerKey, Value(future) },
        { kPUSHCrashLogKey, Value::array({ Value::array({ Value::dictionary({ { "r", Value(2) } }), Value(1) }) }) } });
    auto observations = PUSHLocationInfoController::create();
    observations->addGpsInfo(Value::dictionary({ { "lat", Value(1.5) } }));
    plain()->setObject(Value(observations), kPUSHLocationLogKey);
    restart();

    scheduler->prepareActive(now());
    deliver(4);
    EXPECT_EQ(typesSince(), (std::vector<std::string> { "active_launch", "crash_log", "device_info", "loc_info" }));
    EXPECT_EQ(std::make_pair(scheduler->lastDeviceTimestamp(), scheduler->lastLocationTimestamp()), std::make_pair(now(), now()));
}

TEST_F(ReportSession, LocationEveryTwoHoursOnlyWithObservationsAndNeverEarly)
{
    scheduler->prepareActive(now());
    deliver(2);
    time.advance(7200);
    deliver(2); // no observations: no report

    scheduler->locationInfoChangeViaNetworkState(push_utilities::kStatusWiFi);
    // The login corrects the clock by 100 s backwards: the timer fires before the period is up
    // on the corrected clock. It must neither report early nor stop checking.
    push_utilities::setServerClockCorrection(-100);
    time.advance(7200);
    deliver(2);
    time.advance(100);
    deliver(3);
    EXPECT_EQ(typesSince(2), (std::vector<std::string> { "loc_info" }));
}

TEST_F(ReportSession, StateSurvivesARestart)
{
    const double start = scheduler->startTime();
    scheduler->prepareActive(now());
    deliver(2);
    server.on("/v2/report", httpserver::Reply(500));
    scheduler->reportMsgStatus(1, 77, 3);
    ASSERT_TRUE(waitForLog("inner Error"));
    scheduler->locationInfoChangeViaNetworkState(push_utilities::kStatusWiFi);
    time.advance(50);
    scheduler->reportInactive(now());
    const double left = now();

    restart();
    EXPECT_EQ((std::vector<double> { scheduler->startTime(), scheduler->closeTime(), scheduler->lastDeviceTimestamp() }),
        (std::vector<double> { start, left, start }));
    EXPECT_EQ(std::pair(pendingCount(), scheduler->locationInfo()->count()), std::pair(std::size_t(1), std::int64_t(1)));

    // Away for 40 s across the restart: the old session ends and the waiting item goes with it.
    server.on("/v2/report", httpserver::Reply(200));
    time.advance(40);
    scheduler->prepareActive(now());
    ASSERT_TRUE(waitForRequests(server, 5));
    ASSERT_TRUE(testing_support::runUntil([&] { return sendingCount() == 0 && pendingCount() == 0; }));
    EXPECT_EQ(typesSince(3), (std::vector<std::string> { "active_launch", "active_terminate", "msg_status" }));
}

} // namespace
