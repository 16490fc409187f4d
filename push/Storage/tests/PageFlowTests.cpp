// Page-flow statistics on virtual time: short, nested, unknown and logged pages, a clock that
// steps back, saving when inactive and resuming at the next start.
#include "StorageTestSupport.h"

#include "push/Storage/PUSHPageFlowSession.h"
#include "push/Utilities/PUSHUtilities.h"
#include "testing/VirtualTime.h"

namespace {

Value page(const std::string& name, std::int64_t seconds) { return Value::dictionary({ { name, Value(seconds) } }); }

class PageFlow : public storage_tests::HomeTest {
protected:
    void SetUp() override { HomeTest::SetUp(), startCaches(), session->setupSession(); }
    void TearDown() override { push_utilities::setServerClockCorrection(0), HomeTest::TearDown(); }
    Value finished() const { return session->currentFlow()->pageFlow(); }

    testing_support::VirtualTime time;
    std::shared_ptr<PUSHPageFlowSession> session = PUSHPageFlowSession::create();
};

TEST_F(PageFlow, ShortNestedAndUnknownPages)
{
    session->setViewStart("A");
    time.advance(0.4);
    session->setViewStop("A");
    EXPECT_EQ(finished(), Value::array({ page("A", 1) }));

    session->setViewStart("A");
    time.advance(2);
    session->setViewStart("B");
    time.advance(3.7);
    session->setViewStop("B");
    ASSERT_TRUE(session->currentPage());
    EXPECT_EQ(session->currentPage()->pageName(), "A"); // current again once B stopped
    time.advance(1);
    session->setViewStop("A");
    session->setViewStop("C"); // never started: nothing
    EXPECT_EQ(finished(), Value::array({ page("A", 1), page("B", 3), page("A", 6) }));
    EXPECT_TRUE(!session->currentPage() && session->currentFlow()->tempFlow().empty());

    // An unfinished page that is not current is found by name.
    session->setViewStart("A");
    time.advance(1);
    session->setViewStart("B"); // A waits among the unfinished pages
    time.advance(4);
    session->setViewStop("A");
    EXPECT_EQ(finished()[3], page("A", 5));
    EXPECT_EQ(session->currentPage()->pageName(), "B");
}

TEST_F(PageFlow, LoggedDurationsAndShortCalls)
{
    session->setViewLogSecond(Value::array({ Value("P"), Value(5) }));
    session->setViewLogSecond(Value::array({ Value("Q"), Value(0) }));
    session->setViewLogSecond(Value::array({ Value("R") }));
    session->setViewLogSecond(Value("not an array at all"));
    EXPECT_EQ(finished(), Value::array({ page("P", 5) }));
    ASSERT_EQ(session->currentFlow()->tempFlow().size(), 1u);
    EXPECT_EQ(session->currentFlow()->tempFlow()[0]->pageName(), "Q");
}

TEST_F(PageFlow, AStopAfterTheClockSteppedBackStillFinishesThePage)
{
    session->setViewStart("A");
    time.advance(3);
    push_utilities::setServerClockCorrection(-100); // corrected at login
    session->setViewStop("A");
    EXPECT_EQ(finished(), Value::array({ page("A", 1) }));
    EXPECT_TRUE(session->currentFlow()->tempFlow().empty());
}

TEST_F(PageFlow, SavedWhenInactiveResumedAtTheNextStart)
{
    session->setViewStart("A");
    time.advance(1);
    session->setViewStart("B");
    time.advance(9);
    session->savePageFlowWithTime(PUSHServerTimestamp());
    EXPECT_EQ(finished(), Value::array({ page("A", 10), page("B", 9) }));
    EXPECT_EQ(plain()->objectForKey(kPUSHPFLastFlowKey), finished());

    // Back within the session: B stays current and restarts.
    time.advance(20);
    session->resetCurrentPage(PUSHServerTimestamp());
    EXPECT_EQ(session->currentPage()->duration(), 0);
    time.advance(2);
    session->setViewStop("B");
    EXPECT_EQ(finished(), Value::array({ page("A", 10), page("B", 9), page("B", 2) }));

    // The next start of the client takes the saved pages back once.
    restartCaches();
    auto next = PUSHPageFlowSession::create();
    next->trySetupSession();
    EXPECT_EQ(next->currentFlow()->pageFlow(), Value::array({ page("A", 10), page("B", 9) }));
    EXPECT_FALSE(plain()->hasObjectForKey(kPUSHPFLastFlowKey));

    next->closeSession();
    EXPECT_FALSE(next->isSetup() || next->currentFlow());
}

TEST_F(PageFlow, PagesShownAtSaveTimeResumeInTheNextSession)
{
    session->setViewStart("A");
    session->setViewStart("B");
    time.advance(5);
    session->savePageFlowWithTime(PUSHServerTimestamp());
    session->closeSession();
    time.advance(60);
    session->trySetupSession();
    ASSERT_TRUE(session->currentPage());
    EXPECT_EQ(session->currentPage()->pageName(), "B");
    EXPECT_EQ(std::make_pair(session->currentPage()->duration(), session->currentPage()->startTime()),
        std::make_pair(std::int64_t(0), session->startTime()));
    ASSERT_EQ(session->currentFlow()->tempFlow().size(), 1u);
    EXPECT_EQ(session->currentFlow()->tempFlow()[0]->pageName(), "A");
}

} // namespace
