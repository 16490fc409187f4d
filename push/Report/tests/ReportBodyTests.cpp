// Body assembly: the envelope, items left by earlier attempts, the size limit that keeps the
// newest items, the item-time check for the sending cache, and nothing lost by a request that
// ends up sending nothing.
#include "ReportTestSupport.h"

#include "push/Report/PUSHHttpRequest.h"
#include "push/Report/PUSHReportKinds.h"

namespace {

using report_tests::item;
using report_tests::ReportTest;
using report_tests::types;

class ReportBody : public ReportTest { };

TEST_F(ReportBody, EnvelopeCarriesIdentityAndEveryWaitingItemNewestFirst)
{
    cache()->addCacheObject(item("old-single", 1700000001), "1:1");
    cache()->addCacheObject(Value::array({ item("old-set-a", 1700000002), item("old-set-b", 1700000003) }), "2:1");
    auto request = PUSHMessageReportRequest::create();
    request->setActiveType(3, "42", 1);
    auto body = request->packetData();
    ASSERT_TRUE(body);
    const Value json = report_tests::parseJSON(std::string(body->begin(), body->end()));
    EXPECT_EQ(std::tuple(json["app_key"], json["content"][0]["flag"]), std::tuple(Value(report_tests::kAppKey), Value(1))); // the uid: the transport tests
    EXPECT_EQ(types(json["content"]), (std::vector<std::string> { "msg_status", "old-set-b", "old-set-a", "old-single" }));
    EXPECT_EQ(pendingCount(), 0u); // the history now travels with this request only
    // Packing again gives the same body and takes nothing more.
    cache()->addCacheObject(item("later", 1700000009), "3:1");
    EXPECT_EQ(request->packetData(), body);
    EXPECT_EQ(pendingCount(), 1u);
}

TEST_F(ReportBody, SizeLimitKeepsNewestItemsAndDropsOlderOnesForGood)
{
    // 50 items of about 400 bytes: only the newest that stay below 10241 bytes go.
    for (int i = 0; i < 50; ++i)
        cache()->addCacheObject(item("h" + std::to_string(i), 1700000000 + i, std::string(370, 'x')), "k" + std::to_string(i));
    auto request = PUSHUserLoginReportRequest::create();
    auto body = request->packetData();
    ASSERT_TRUE(body);
    EXPECT_LT(body->size(), 10241u);
    const auto sent = types(request->realContents());
    ASSERT_TRUE(sent.size() > 10u && sent.size() < 50u) << sent.size();
    EXPECT_EQ(std::tuple(sent.front(), sent[1], sent.back()),
        std::tuple("active_launch", "h49", "h" + std::to_string(50 - static_cast<int>(sent.size()) + 1)));
    EXPECT_TRUE(logger->has("content too large, drop the content"));
    EXPECT_FALSE(pendingCount() || request->hasSubpackage());

    // The newest item goes even when it alone is larger than the package limit; older ones do not.
    auto alone = PUSHReportRequest::create();
    for (const Value& entry : { item("small", 1700000000), item("huge", 1700000000, std::string(120000, 'z')) })
        alone->reportContents().append(entry);
    ASSERT_TRUE(alone->packetData());
    EXPECT_EQ(std::tuple(types(alone->realContents()), alone->hasSubpackage()), std::tuple(std::vector<std::string> { "huge" }, false));
}

TEST_F(ReportBody, NothingToSendGivesNoRequestAndLeavesTheHistoryWaiting)
{
    auto empty = PUSHReportRequest::create();
    EXPECT_FALSE(empty->packetData() || empty->generateReportRequest());
    // A crash report without crash records packs nothing of its own.
    EXPECT_FALSE(PUSHCrashHandlerReportRequest::create()->generateReportRequest());

    // Nor does an unchanged device item, and the history waits for the next report.
    plain()->setObject(PUSHDeviceInfoDictionary(), kPUSHLastDeviceInfoKey);
    cache()->addCacheObject(item("waiting", 1700000001), "w:1");
    auto device = PUSHUserDeviceReportRequest::create();
    EXPECT_TRUE(!device->generateReportRequest() && device->IsSendLock());
    ASSERT_EQ(pendingCount(), 1u); // for the next report
    auto launch = PUSHUserLoginReportRequest::create();
    ASSERT_TRUE(launch->packetData());
    EXPECT_EQ(types(launch->realContents()), (std::vector<std::string> { "active_launch", "waiting" }));

    // A changed device item goes out; a stored item of another kind neither sends nor locks.
    Value changed = PUSHDeviceInfoDictionary();
    changed.set("model", Value("other"));
    plain()->setObject(changed, kPUSHLastDeviceInfoKey);
    auto second = PUSHUserDeviceReportRequest::create();
    EXPECT_TRUE(second->packetData() && !second->IsSendLock());
    plain()->setObject(Value("junk"), kPUSHLastDeviceInfoKey);
    auto third = PUSHUserDeviceReportRequest::create();
    EXPECT_FALSE(third->packetData() || third->IsSendLock());
}

TEST_F(ReportBody, OnlyTenDigitItemTimesEnterTheSendingCache)
{
    auto request = PUSHReportRequest::create();
    for (const Value& itime : { Value(999999999), Value(1000000000), Value(9999999999ll), Value(10000000000ll), Value(0),
             Value(-1700000000ll), Value("1700000000"), Value(1700000000.5), Value() })
        request->reportContents().append(Value::dictionary({ { "type", Value(itime.description()) }, { "itime", itime } }));
    ASSERT_TRUE(request->packetData());
    request->setReportFlag(std::string("5:1700000000"));
    PUSHHttpRequest::initWithDelegate({}, request, "", "")->writeToCache();
    EXPECT_EQ(types(cache()->sendingPackageCache()["5:1700000000"]), (std::vector<std::string> { "9999999999", "1000000000" }));
}

} // namespace
