// Crashes in a child process: the process still ends with its first cause (or with the handling
// it had before), one record per distinct crash with its count, the client's state saved, an
// ignored signal left alone, and the records reported by the report scheduler at the next start.
#include <csignal>
#include <map>

#include "CrashChild.h"
#include "push/Crash/PUSHCaughtExceptionHandlerController.h"
#include "push/Report/tests/ReportTestSupport.h"

namespace {

class CrashCapture : public report_tests::ReportTest {
protected:
    crash_tests::ChildResult crash(const std::string& scenario)
    {
        auto result = crash_tests::runChild(scenario, home.pathFor("child-" + scenario + ".log"));
        EXPECT_TRUE(result.finished) << result.output;
        return result;
    }
    // The crash log as the next start reads it, by message.
    std::map<std::string, Value> recordsAfterRestart()
    {
        restart();
        std::map<std::string, Value> records;
        for (const Value& record : plain()->objectForKey(kPUSHCrashLogKey).asArray())
            records[record[0]["message"].asString()] = record;
        return records;
    }
};

TEST_F(CrashCapture, SignalsAreRecordedOncePerCrashWithCountsAndStillEndTheProcess)
{
    for (int run = 0; run < 2; ++run) {
        const auto result = crash("abort");
        ASSERT_EQ(result.signal, SIGABRT) << result.output;
    }
    EXPECT_EQ(crash("fpe").signal, SIGFPE);
    EXPECT_EQ(crash("bus").signal, SIGBUS);

    auto records = recordsAfterRestart();
    ASSERT_EQ(records.size(), 3u);
    const Value& fields = records["Signal 6 was raised."][0];
    EXPECT_EQ(fields["count"].integerValue(), 2);
    EXPECT_EQ(records["Signal 8 was raised."][0]["count"].integerValue(), 1);
    EXPECT_TRUE(records.count("Signal " + std::to_string(SIGBUS) + " was raised."));
    EXPECT_TRUE(fields["device_info"].isDictionary());
    EXPECT_EQ(fields["versionname"], fields["versioncode"]);
    EXPECT_GT(fields["crashtime"].integerValue(), 1600000000);
    EXPECT_EQ(fields["networktype"].asString(), PUSHNetworkStatusName(push::reportNetworkStatus()));
    // A signal's trace is the compact form of its five frames.
    std::vector<std::string> frames;
    for (const Value& frame : fields["stacktrace"].asArray())
        frames.push_back(frame.asString());
    EXPECT_EQ(frames.size(), 5u);
    EXPECT_EQ(records["Signal 6 was raised."][1].asString(), PUSHCompactCallStack(frames));
}

TEST_F(CrashCapture, UncaughtExceptionsOnAnotherThreadAreRecordedThenAbort)
{
    // The main thread is blocked joining the crashing one: the record must not wait for it.
    const auto platform = crash("exception");
    EXPECT_EQ(platform.signal, SIGABRT) << platform.output;
    EXPECT_NE(platform.output.find("NSException"), std::string::npos) << platform.output;
    EXPECT_EQ(crash("std-exception").signal, SIGABRT);

    auto records = recordsAfterRestart();
    ASSERT_EQ(records.size(), 2u);
    const Value& thrown = records["broken on purpose"];
    EXPECT_GT(thrown[0]["stacktrace"].count(), 5u);
    EXPECT_FALSE(thrown[1].asString().empty());
    EXPECT_EQ(thrown[1].asString().find("0x"), std::string::npos);
    EXPECT_TRUE(records.count("plain failure"));
}

TEST_F(CrashCapture, StateIsSavedBeforeTheProcessEnds)
{
    ASSERT_EQ(crash("with-scheduler").signal, SIGABRT);
    restart();
    EXPECT_TRUE(plain()->hasObjectForKey(kPUSHLeftTimeKey));
    EXPECT_EQ(plain()->objectForKey("qm-synced").integerValue(), 1);
    EXPECT_EQ(plain()->objectForKey(kPUSHCrashLogKey).count(), 1u);
}

TEST_F(CrashCapture, HandlingTheProcessHadBeforeIsKept)
{
    const auto replaced = crash("previous-handler");
    EXPECT_EQ(replaced.signal, 0) << replaced.output;
    EXPECT_EQ(replaced.exitCode, 42);
    const auto ignored = crash("sigpipe-ignored");
    EXPECT_EQ(ignored.signal, 0) << ignored.output;
    EXPECT_EQ(ignored.exitCode, 0);
    auto records = recordsAfterRestart();
    EXPECT_EQ(records.size(), 1u);
    EXPECT_TRUE(records.count("Signal 11 was raised."));
}

TEST_F(CrashCapture, RecordsGoOutWithTheNextStartsCrashReportAndAreCleared)
{
    for (int run = 0; run < 2; ++run)
        ASSERT_EQ(crash("abort").signal, SIGABRT);
    links.isReportCrash = [] { return true; };
    restart();
    scheduler->reportCrashLog();
    ASSERT_TRUE(waitForRequests(server, 1));
    const Value item = report_tests::reportBody(*server.lastRequest())["content"][0];
    EXPECT_EQ(item["type"].asString(), "crash_log");
    ASSERT_EQ(item["crashlogs"].count(), 1u);
    EXPECT_EQ(item["crashlogs"][0]["count"].integerValue(), 2);
    EXPECT_EQ(item["crashlogs"][0]["message"].asString(), "Signal 6 was raised.");
    EXPECT_FALSE(plain()->hasObjectForKey(kPUSHCrashLogKey));
    EXPECT_TRUE(testing_support::runUntil([&] { return sendingCount() == 0; }, 10)); // answered
}

} // namespace
