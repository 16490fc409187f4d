// The session's smaller parts: the clock offset and its one-year bound, the request id
// counter kept in the file cache, and the UDP report datagram.
#include "SessionTestSupport.h"

#include "platform/persistence/NSUserDefaults.h"
#include "push/Network/PUSHRequestIdCounter.h"
#include "push/Session/PUSHUDPReport.h"

using namespace session_tests;

TEST_F(SessionTest, ClockOffsetIsTheSignedDifferenceWithinAYearElseResetToZero)
{
    auto stored = NSUserDefaults::standardUserDefaults();
    const auto offsetOf = [&](Value local, std::uint32_t server) {
        stored->setObject(local, kPUSHLocalTimeKey);
        stored->setObject(Value(server), kPUSHServerTimeKey);
        return makeSession()->proofTimeInterval();
    };
    EXPECT_EQ(offsetOf(Value(1700000000.75), 1700000000 - 31536000), -31536000);
    EXPECT_EQ(offsetOf(Value(0xFFFFFFF0u), 0x10), 0x20); // across the 32-bit wrap
    EXPECT_EQ(offsetOf(Value(1700000000.0), 1700000000 + 31536001), 0);
    EXPECT_EQ(stored->objectForKey(kPUSHLocalTimeKey).integerValue() + stored->objectForKey(kPUSHServerTimeKey).integerValue(), 0);
}

TEST_F(SessionTest, RequestIdsRunOddAndSurviveARestartInTheFileCache)
{
    auto plain = PUSHFileCacheController::shareInstanceWithType(PUSHFileCacheTypeCache);
    plain->setObject(Value(std::uint64_t(8183)), push::kSessionIdKey);
    makeSession();
    EXPECT_EQ(std::vector<std::uint64_t>({ session->getRId(0), session->getRId(0), session->getRId(0) }),
        (std::vector<std::uint64_t> { 8183, 8185, 1 }));
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults()->objectForKey(push::kSessionIdKey));

    startCaches(); // a new process reads it back: the rest of the reserved block is skipped
    EXPECT_EQ(push::RequestIdCounter(nullptr).next(), 125u);
}

TEST(UdpReport, DatagramIsCountMagicAndJsonAndRefusesWhatTheCountCannotHold)
{
    EXPECT_EQ(push_session::udpReportDatagram(Bytes { '{', '}' }), (Bytes { 0x00, 0x04, 'U', 'F', '{', '}' }));
    EXPECT_EQ(push_session::udpReportDatagram(Bytes(65533, 'x'))->at(1), 0xFF);
    EXPECT_FALSE(push_session::udpReportDatagram(Bytes(65534, 'x')));

    auto report = PUSHUDPReport::create();
    const Bytes first = report->packetData();
    EXPECT_TRUE(PUSHJSONObject(Bytes(first.begin() + 4, first.end())).isDictionary());
    report->reportBody().set("late", Value(1));
    EXPECT_EQ(report->packetData(), first); // packed once

    auto huge = PUSHUDPReport::create();
    huge->reportBody().set("big", Value(std::string(70000, 'a')));
    EXPECT_TRUE(huge->packetData().empty());
}
