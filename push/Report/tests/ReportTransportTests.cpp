// Reports over real HTTP on loopback: what goes on the wire, what each status does to the items
// sent, the backup address, and what happens with no network.
#include "ReportTestSupport.h"

#include "push/Report/PUSHReportKinds.h"

namespace {

using httpserver::Reply;
using report_tests::item;
using report_tests::ReportTest;

class ReportTransport : public ReportTest {
protected:
    // One message report with `waiting` history items, answered with `status`.
    void sendAnswered(int status, int waiting = 1)
    {
        server.on("/v2/report", Reply(status));
        for (int i = 0; i < waiting; ++i)
            cache()->addCacheObject(item("waiting" + std::to_string(i), 1700000000 + i), "h:" + std::to_string(i));
        auto request = PUSHMessageReportRequest::create();
        request->setActiveType(1, "9", kPUSHAbsentMessageFlag);
        request->send();
        ASSERT_TRUE(waitForRequests(server, 1));
        sent = request;
    }
    std::shared_ptr<PUSHReportRequest> sent;
};

TEST_F(ReportTransport, RequestIsCompressedSignedAndCarriesTheKeyHeaders)
{
    sendAnswered(200);
    const auto request = *server.lastRequest();
    EXPECT_EQ(request.headers.value("Content-Type"), "application/json");
    EXPECT_EQ(request.headers.value("Content-Encoding"), "gzip");
    EXPECT_EQ(request.headers.value("Accept-Encoding"), "gzip");
    EXPECT_EQ(request.headers.value("X-App-Key"), report_tests::kAppKey);
    EXPECT_EQ(request.headers.value("Authorization"), report_tests::expectedAuthorization(request.body));
    const Value body = report_tests::reportBody(request);
    EXPECT_EQ(body["uid"].unsignedValue(), report_tests::kUid);
    ASSERT_EQ(body["content"].count(), 2u);
    // A message result without a flag has four keys.
    EXPECT_EQ(body["content"][0]["type"], Value("msg_status"));
    EXPECT_EQ(body["content"][0].count(), 4u);
    EXPECT_FALSE(body["content"][0].contains("flag"));
    EXPECT_EQ(body["content"][0]["msg_id"], Value("9"));

    // The flag is the session's request id and the time; the signature changes with the body.
    ASSERT_TRUE(sent->reportFlag());
    EXPECT_EQ(sent->reportFlag()->rfind("1:", 0), 0u);
    auto second = PUSHMessageReportRequest::create();
    second->setActiveType(2, "10", 5);
    second->send();
    ASSERT_TRUE(waitForRequests(server, 2));
    ASSERT_TRUE(testing_support::runUntil([&] { return sendingCount() == 0; }));
    const auto other = server.requests()[1];
    EXPECT_NE(other.headers.value("Authorization"), request.headers.value("Authorization"));
    EXPECT_EQ(other.headers.value("Authorization"), report_tests::expectedAuthorization(other.body));
    EXPECT_EQ(report_tests::reportBody(other)["content"][0]["flag"], Value(5));
}

TEST_F(ReportTransport, SuccessAndRefusalsDropTheItems)
{
    for (int status : { 200, 400, 403, 404 }) {
        SCOPED_TRACE(status);
        server.clearRequests();
        sendAnswered(status);
        ASSERT_TRUE(testing_support::runUntil([&] { return sendingCount() == 0; }));
        EXPECT_EQ(pendingCount(), 0u);
    }
    EXPECT_TRUE(logger->has("log forbidden failed,error Code:403"));
}

TEST_F(ReportTransport, ServerTroubleReturnsTheItemsForTheNextRequest)
{
    for (int status : { 500, 302, 503 }) {
        SCOPED_TRACE(status);
        server.clearRequests();
        sendAnswered(status, 0);
        ASSERT_TRUE(testing_support::runUntil([&] { return pendingCount() == 1; }));
        EXPECT_EQ(sendingCount(), 0u);
        // The next report of any kind carries them.
        server.on("/v2/report", Reply(200));
        PUSHUserLoginReportRequest::create()->send();
        ASSERT_TRUE(waitForRequests(server, 2));
        const Value body = report_tests::reportBody(server.requests()[1]);
        ASSERT_EQ(body["content"].count(), 2u);
        EXPECT_EQ(body["content"][1]["type"], Value("msg_status"));
        ASSERT_TRUE(testing_support::runUntil([&] { return sendingCount() == 0 && pendingCount() == 0; }));
    }
    EXPECT_TRUE(logger->has("inner Error"));
}

TEST_F(ReportTransport, ValidationFailureKeepsItemsInFlightUntilTheNextStart)
{
    sendAnswered(401, 0);
    ASSERT_TRUE(waitForLog("Validate Error,error Code:401"));
    EXPECT_EQ(sendingCount(), 1u);
    EXPECT_EQ(pendingCount(), 0u);
    restart();
    EXPECT_EQ(sendingCount(), 0u);
    EXPECT_EQ(pendingCount(), 1u);
}

TEST_F(ReportTransport, UnreachablePrimaryFallsBackOnceToTheBackup)
{
    {
        httpserver::TestServer gone;
        links.reportEndpoint = gone.url("/v2/report");
    }
    relink();
    // Without a backup the items return at once.
    PUSHUserLoginReportRequest::create()->send();
    ASSERT_TRUE(waitForLog("http上报错误:"));
    EXPECT_EQ(pendingCount(), 1u);
    EXPECT_EQ(sendingCount(), 0u);

    httpserver::TestServer backup;
    backup.on("/v2/report", Reply(200));
    defaults->setBackupHttpReportAddress(Value(backup.url("/v2/report")));

    PUSHUserLoginReportRequest::create()->send();
    ASSERT_TRUE(waitForRequests(backup, 1));
    ASSERT_TRUE(testing_support::runUntil([&] { return sendingCount() == 0; }));
    const auto request = *backup.lastRequest();
    EXPECT_EQ(request.headers.value("Authorization"), report_tests::expectedAuthorization(request.body));
    EXPECT_EQ(report_tests::reportBody(request)["content"].count(), 2u);
    EXPECT_EQ(backup.requestCount(), 1u);

    // The backup fails too: the items go back to the pending cache, with the error's text.
    {
        httpserver::TestServer gone;
        defaults->setBackupHttpReportAddress(Value(gone.url("/v2/report")));
    }
    PUSHUserLoginReportRequest::create()->send();
    ASSERT_TRUE(testing_support::runUntil([&] { return pendingCount() == 1 && sendingCount() == 0; }, 10));
    EXPECT_TRUE(logger->has("http上报错误:无法连接到主机"));
}

TEST_F(ReportTransport, BackupEqualToThePrimaryIsTriedOnceAndTheFailureReported)
{
    {
        httpserver::TestServer gone;
        links.reportEndpoint = gone.url("/v2/report");
    }
    relink();
    defaults->setBackupHttpReportAddress(Value(links.reportEndpoint));
    PUSHUserLoginReportRequest::create()->send();
    ASSERT_TRUE(waitForLog("http上报错误:"));
    EXPECT_EQ(pendingCount(), 1u);
    EXPECT_EQ(sendingCount(), 0u);
}

TEST_F(ReportTransport, OfflineSendsNothingAndAStartReturnsTheItems)
{
    links.networkStatus = [] { return 0; };
    relink();
    PUSHUserLoginReportRequest::create()->send();
    testing_support::settle(1);
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_EQ(sendingCount(), 1u);

    links.networkStatus = nullptr;
    restart();
    EXPECT_EQ(pendingCount(), 1u);
    PUSHUserLoginReportRequest::create()->send();
    ASSERT_TRUE(waitForRequests(server, 1));
    ASSERT_TRUE(testing_support::runUntil([&] { return sendingCount() == 0; }));
    EXPECT_EQ(report_tests::reportBody(*server.lastRequest())["content"].count(), 2u);
}

} // namespace
