// Report retries on virtual time: 40, 100, 200 and 300 seconds, then no more.
#include <gtest/gtest.h>

#include "push/Storage/PUSHReportManager.h"
#include "testing/RunLoopPump.h"
#include "testing/VirtualTime.h"

namespace {

struct Request : PUSHReportRetryable {
    std::uint32_t reSendTimerIndex() const override { return index; }
    void setReSendTimerIndex(std::uint32_t value) override { index = value; }
    void sendReport() override { ++sent; }
    std::uint32_t index = 0;
    int sent = 0;
};

TEST(ReportManager, RetriesFourTimesWithGrowingDelays)
{
    testing_support::VirtualTime time;
    auto request = std::make_shared<Request>();
    const double delays[] = { 40, 100, 200, 300 };
    for (int retry = 0; retry < 4; ++retry) {
        ASSERT_TRUE(PUSHReportManager::startDelaySend(request));
        time.advance(delays[retry] - 1);
        testing_support::settle();
        EXPECT_EQ(request->sent, retry) << "sent early on retry " << retry;
        time.advance(1);
        ASSERT_TRUE(testing_support::runUntil([&] { return request->sent == retry + 1; }));
        EXPECT_EQ(request->index, static_cast<std::uint32_t>(retry + 1));
    }
    EXPECT_FALSE(PUSHReportManager::startDelaySend(request));
    time.advance(1000);
    testing_support::settle();
    EXPECT_EQ(request->sent, 4);
}

} // namespace
