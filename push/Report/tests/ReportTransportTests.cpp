// Reports over real HTTP on loopback: what goes on the wire, what each status does to the items
// sent, the backup address, and what happens with no network.
#include "ReportTestSupport.h"

#include "push/Report/PUSHReportKinds.h"
#include "testing/VirtualTime.h"

#include <map>

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
    for (const auto& [name, value] : std::map<std::string, std::string> { { "Content-Type", "application/json" },
             { "Content-Encoding", "gzip" }, { "Accept-Encoding", "gzip" }, { "X-App-Key", report_tests::kAppKey },
             { "Authorization", report_tests::expectedAuthorization(request.body) } })
        EXPECT_EQ(request.headers.value(name), value) << name;
    const Value body = report_tests::reportBody(request);
    EXPECT_EQ(body["uid"].unsignedValue(), report_tests::kUid); // above the signed range
    ASSERT_EQ(body["content"].count(), 2u);
    // A message result without a flag has four keys.
    EXPECT_EQ(std::tuple(body["content"][0]["type"], body["content"][0]["msg_id"]), std::tuple(Value("msg_status"), Value("9")));
    EXPECT_TRUE(body["content"][0].count() == 4u && !body["content"][0].contains("flag"));

    // The in-flight key is the session's request id and the time.
    EXPECT_EQ(sent->reportFlag().value_or("").rfind("1:", 0), 0u);
    ASSERT_TRUE(answered(1)); // no connection outlives the test
}

TEST_F(ReportTransport, SuccessAndRefusalsDropTheItemsAndServerTroubleReturnsThem)
{
    const std::vector<std::tuple<int, bool, std::string>> cases = { { 200, false, "log succed" },
        { 403, false, "log forbidden failed,error Code:403" }, { 404, false, "" },
        { 500, true, "inner Error" }, { 302, true, "" }, { 503, true, "" } };
    for (const auto& [status, returned, line] : cases) {
        SCOPED_TRACE(status);
        server.clearRequests();
        sendAnswered(status, returned ? 0 : 1);
        ASSERT_TRUE(testing_support::runUntil(
            [&, returned = returned] { return sendingCount() == 0 && pendingCount() == (returned ? 1u : 0u); }));
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
    testing_support::VirtualTime frozen; // every login item is the same item
    links.reportEndpoint = report_tests::goneURL("/v2/report");
    relink();
    // Without a backup, or with one equal to the primary (tried once), the items return.
    for (std::size_t attempt : { 1, 2 }) {
        if (attempt == 2)
            defaults->setBackupHttpReportAddress(Value(links.reportEndpoint));
        PUSHUserLoginReportRequest::create()->send();
        ASSERT_TRUE(waitForLog("http上报错误:", attempt));
        EXPECT_EQ(std::make_pair(pendingCount(), sendingCount()), std::make_pair(std::size_t(1), std::size_t(0)));
    }

    httpserver::TestServer backup;
    backup.on("/v2/report", Reply(200));
    defaults->setBackupHttpReportAddress(Value(backup.url("/v2/report")));

    PUSHUserLoginReportRequest::create()->send();
    ASSERT_TRUE(answered(1, &backup));
    const auto request = *backup.lastRequest();
    EXPECT_EQ(request.headers.value("Authorization"), report_tests::expectedAuthorization(request.body));
    // The two failed sends returned their items as one (equal items are one in flight), and
    // this report adds its own.
    EXPECT_EQ(report_tests::reportBody(request)["content"].count(), 2u);

    // The backup fails too: the items go back to the pending cache, with the error's text.
    defaults->setBackupHttpReportAddress(Value(report_tests::goneURL("/v2/report")));
    PUSHUserLoginReportRequest::create()->send();
    ASSERT_TRUE(testing_support::runUntil([&] { return pendingCount() == 1 && sendingCount() == 0; }, 10));
    EXPECT_TRUE(logger->has("http上报错误:无法连接到主机"));
}

TEST_F(ReportTransport, ParameterAndValidationFailuresAndOfflineKeepItemsInFlightUntilTheNextStart)
{
    sendAnswered(400, 0);
    ASSERT_TRUE(waitForLog("Parameter Error,error Code:400"));
    EXPECT_EQ(std::make_pair(pendingCount(), sendingCount()), std::make_pair(std::size_t(0), std::size_t(1)));
    server.clearRequests();
    sendAnswered(401, 0);
    ASSERT_TRUE(waitForLog("Validate Error,error Code:401"));
    // Offline, nothing goes out at all.
    links.networkStatus = [] { return 0; };
    relink();
    PUSHUserLoginReportRequest::create()->send();
    testing_support::settle(1);
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(std::make_pair(pendingCount(), sendingCount()), std::make_pair(std::size_t(0), std::size_t(3)));

    links.networkStatus = nullptr;
    restart();
    EXPECT_EQ(std::make_pair(pendingCount(), sendingCount()), std::make_pair(std::size_t(3), std::size_t(0)));
    server.on("/v2/report", Reply(200));
    PUSHUserLoginReportRequest::create()->send();
    ASSERT_TRUE(answered(2));
    EXPECT_EQ(report_tests::types(report_tests::reportBody(*server.lastRequest())["content"]),
        (std::vector<std::string> { "active_launch", "active_launch", "msg_status", "msg_status" }));
}

} // namespace
