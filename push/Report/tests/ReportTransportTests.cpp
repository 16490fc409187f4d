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

    // The in-flight key is the session's request id and the time; a message flag is carried.
    ASSERT_TRUE(sent->reportFlag());
    EXPECT_EQ(sent->reportFlag()->rfind("1:", 0), 0u);
    auto second = PUSHMessageReportRequest::create();
    second->setActiveType(2, "10", 5);
    second->send();
    ASSERT_TRUE(waitForRequests(server, 2));
    ASSERT_TRUE(testing_support::runUntil([&] { return sendingCount() == 0; }));
    const auto other = server.requests()[1];
    EXPECT_EQ(other.headers.value("Authorization"), report_tests::expectedAuthorization(other.body));
    EXPECT_EQ(report_tests::reportBody(other)["content"][0]["flag"], Value(5));
}

TEST_F(ReportTransport, SuccessAndRefusalsDropTheItemsAndServerTroubleReturnsThem)
{
    const std::vector<std::tuple<int, bool, std::string>> cases = { { 200, false, "log succed" },
        { 400, false, "" }, { 403, false, "log forbidden failed,error Code:403" }, { 404, false, "" },
        { 500, true, "inner Error" }, { 302, true, "" }, { 503, true, "" } };
    for (const auto& [status, returned, line] : cases) {
        SCOPED_TRACE(status);
        server.clearRequests();
        sendAnswered(status, returned ? 0 : 1);
        const std::size_t left = returned ? 1 : 0;
        ASSERT_TRUE(testing_support::runUntil([&] { return sendingCount() == 0 && pendingCount() == left; }));
        EXPECT_TRUE(line.empty() || logger->has(line));
        if (!returned)
            continue;
        // The next report of any kind carries them.
        server.on("/v2/report", Reply(200));
        PUSHUserLoginReportRequest::create()->send();
        ASSERT_TRUE(waitForRequests(server, 2));
        EXPECT_EQ(report_tests::types(report_tests::reportBody(server.requests()[1])["content"]),
            (std::vector<std::string> { "active_launch", "msg_status" }));
        ASSERT_TRUE(testing_support::runUntil([&] { return sendingCount() == 0 && pendingCount() == 0; }));
    }
}

TEST_F(ReportTransport, UnreachablePrimaryFallsBackOnceToTheBackup)
{
    links.reportEndpoint = report_tests::goneURL("/v2/report");
    relink();
    // Without a backup, or with one equal to the primary (tried once), the items return.
    PUSHUserLoginReportRequest::create()->send();
    ASSERT_TRUE(waitForLog("http上报错误:"));
    EXPECT_EQ(pendingCount(), 1u);
    EXPECT_EQ(sendingCount(), 0u);
    defaults->setBackupHttpReportAddress(Value(links.reportEndpoint));
    PUSHUserLoginReportRequest::create()->send();
    ASSERT_TRUE(waitForLog("http上报错误:", 2));
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
    EXPECT_EQ(report_tests::reportBody(request)["content"].count(), 3u);
    EXPECT_EQ(backup.requestCount(), 1u);

    // The backup fails too: the items go back to the pending cache, with the error's text.
    defaults->setBackupHttpReportAddress(Value(report_tests::goneURL("/v2/report")));
    PUSHUserLoginReportRequest::create()->send();
    ASSERT_TRUE(testing_support::runUntil([&] { return pendingCount() == 1 && sendingCount() == 0; }, 10));
    EXPECT_TRUE(logger->has("http上报错误:无法连接到主机"));
}

TEST_F(ReportTransport, ValidationFailureAndOfflineKeepItemsInFlightUntilTheNextStart)
{
    sendAnswered(401, 0);
    ASSERT_TRUE(waitForLog("Validate Error,error Code:401"));
    // Offline, nothing goes out at all.
    links.networkStatus = [] { return 0; };
    relink();
    PUSHUserLoginReportRequest::create()->send();
    testing_support::settle(1);
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(sendingCount(), 2u);
    EXPECT_EQ(pendingCount(), 0u);

    links.networkStatus = nullptr;
    restart();
    EXPECT_EQ(sendingCount(), 0u);
    EXPECT_EQ(pendingCount(), 2u);
    server.on("/v2/report", Reply(200));
    PUSHUserLoginReportRequest::create()->send();
    ASSERT_TRUE(waitForRequests(server, 2));
    ASSERT_TRUE(testing_support::runUntil([&] { return sendingCount() == 0; }));
    EXPECT_EQ(report_tests::types(report_tests::reportBody(*server.lastRequest())["content"]),
        (std::vector<std::string> { "active_launch", "active_launch", "msg_status" }));
}

} // namespace
