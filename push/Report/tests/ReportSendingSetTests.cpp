// The items a report has in flight form a set: two that differ only in "itime" are one item,
// which a failed send returns to the pending cache, and the next report carries, once.
#include "ReportTestSupport.h"

#include "push/Report/PUSHReportKinds.h"

namespace {

using report_tests::item;

class ReportSendingSet : public report_tests::ReportTest { };

TEST_F(ReportSendingSet, ItemsEqualButForTheirTimeGoBackOnceAfterAFailure)
{
    server.on("/v2/report", httpserver::Reply(500));
    cache()->addCacheObject(item("repeat", 1700000001), "h:0");
    cache()->addCacheObject(item("repeat", 1700000002), "h:1");
    auto request = PUSHMessageReportRequest::create();
    request->setActiveType(1, "9", kPUSHAbsentMessageFlag);
    request->send();
    ASSERT_TRUE(waitForRequests(server, 1));
    ASSERT_TRUE(testing_support::runUntil([&] { return sendingCount() == 0 && pendingCount() == 1; }));
    Value returned;
    cache()->PUSHEnumerateObjectsUsingBlock([&](const std::string&, const Value& entry, bool&) { returned = entry; });
    EXPECT_EQ(report_tests::types(returned), (std::vector<std::string> { "msg_status", "repeat" }));

    server.on("/v2/report", httpserver::Reply(200));
    PUSHUserLoginReportRequest::create()->send();
    ASSERT_TRUE(answered(2));
    EXPECT_EQ(report_tests::types(report_tests::reportBody(server.requests()[1])["content"]),
        (std::vector<std::string> { "active_launch", "repeat", "msg_status" }));
}

} // namespace
