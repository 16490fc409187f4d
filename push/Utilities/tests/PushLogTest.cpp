// Dispatcher delivery by mask, synchronous hand-off, the in-flight bound, formatter lines and
// the system-log records.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <regex>
#include <thread>

#include <unistd.h>

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSDateFormatter.h"
#include "platform/threading/NSNotificationCenter.h"
#include "push/Utilities/PUSHASLLogger.h"
#include "push/Utilities/PUSHCustomFormatter.h"
#include "push/Utilities/PUSHLog.h"
#include "testing/RunLoopPump.h"

namespace {

class RecordingLogger : public PUSHAbstractLogger {
public:
    std::string loggerName() override { return "test.recording"; }
    void logMessage(const PUSHLogMessage& message) override
    {
        std::lock_guard lock(mutex);
        lines.push_back(formatter_ ? formatter_->formatLogMessage(message).value_or("") : message.message);
        if (onMessage)
            onMessage();
    }
    std::function<void()> onMessage;
    void flush() override { ++flushes; }
    std::vector<std::string> snapshot()
    {
        std::lock_guard lock(mutex);
        return lines;
    }
    std::mutex mutex;
    std::vector<std::string> lines;
    std::atomic<int> flushes { 0 };
};

// Holds every message until released, to fill the dispatcher.
class GateLogger : public PUSHAbstractLogger {
public:
    void logMessage(const PUSHLogMessage&) override
    {
        ++entered;
        entered.notify_all();
        open.wait(false);
    }
    void release()
    {
        open = true;
        open.notify_all();
    }
    std::atomic<int> entered { 0 };
    std::atomic<bool> open { false };
};

class PushLog : public ::testing::Test {
protected:
    void TearDown() override
    {
        PUSHLog::removeAllLoggers();
        PUSHLog::flushLog();
        push_utilities::setSystemLogSink(nullptr);
    }
    static void logLine(std::uint64_t flag, const char* text)
    {
        PUSHLog::log(false, 31, flag, 0, "/src/Dir/PUSHThing.mm", "f", 1, Value(), "%s", text);
    }
};

TEST_F(PushLog, DeliversByMaskAndSynchronously)
{
    auto all = std::make_shared<RecordingLogger>();
    PUSHLog::addLogger(all);
    const std::pair<std::uint64_t, std::vector<std::string>> levels[] = {
        { PUSH_LOG_LEVEL_DEBUG, { "d", "e" } }, { PUSH_LOG_LEVEL_INFO, { "e" } }, { PUSH_LOG_LEVEL_OFF, {} } };
    std::vector<std::shared_ptr<RecordingLogger>> loggers;
    for (const auto& level : levels) {
        loggers.push_back(std::make_shared<RecordingLogger>());
        PUSHLog::addLogger(loggers.back(), level.first);
    }
    logLine(PUSH_LOG_FLAG_DEBUG, "d");
    logLine(PUSH_LOG_FLAG_ERROR, "e");
    logLine(PUSH_LOG_FLAG_VERBOSE, "v");
    // Synchronous calls have returned only after the loggers ran: no waiting needed.
    EXPECT_EQ(all->snapshot(), (std::vector<std::string> { "d", "e", "v" }));
    for (std::size_t i = 0; i < loggers.size(); ++i)
        EXPECT_EQ(loggers[i]->snapshot(), levels[i].second) << levels[i].first;
    EXPECT_EQ(PUSHLog::allLoggers().size(), 4u);
    NSNotificationCenter::defaultCenter()->postNotificationName("UIApplicationWillTerminateNotification"); // flushes them all
    EXPECT_EQ(all->flushes.load(), 1);
}

TEST_F(PushLog, SerialFanOutAndDuplicatesAndRemoval)
{
    PUSHLog::setProcessorCount(1);
    auto twice = std::make_shared<RecordingLogger>();
    PUSHLog::addLogger(twice);
    PUSHLog::addLogger(twice);
    PUSHLog::removeLogger(std::make_shared<RecordingLogger>()); // never added: no change
    PUSHLog::log(false, 31, 4, 0, "a.m", "f", 1, Value(), nullptr); // null format: nothing
    logLine(PUSH_LOG_FLAG_INFO, "x");
    EXPECT_EQ(twice->snapshot(), (std::vector<std::string> { "x", "x" }));
    PUSHLog::removeLogger(twice);
    logLine(PUSH_LOG_FLAG_INFO, "y");
    EXPECT_EQ(twice->snapshot().size(), 3u); // one node left
    PUSHLog::setProcessorCount(std::thread::hardware_concurrency());
}

TEST_F(PushLog, MessageFieldsAndCustomFormatterLines)
{
    PUSHLogMessage a("m", 31, 1, 0, "/a/b/Name.tar.gz", "fn", 3, Value(), 0, 12.5);
    EXPECT_EQ(a.fileName, "Name.tar");
    EXPECT_EQ(a.timestamp, 12.5);
    PUSHLogMessage b("m", 31, 1, 0, "Plain", "fn", 3, Value(), 0, std::nullopt);
    EXPECT_EQ(b.fileName, "Plain");
    EXPECT_GT(b.timestamp, 0);
    EXPECT_FALSE(b.threadID.empty());

    PUSHCustomFormatter push(0), other(1), none(2);
    PUSHLogMessage m("hello 1", 31, PUSH_LOG_FLAG_WARNING, 0, "/x/PUSHUdpSocket.m", "f", 1, Value(), 0, 1e9 + 0.25);
    std::regex shape(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.250 \| PUSH \| W - \[PUSHUdpSocket\] hello 1)");
    EXPECT_TRUE(std::regex_match(*push.formatLogMessage(m), shape)) << *push.formatLogMessage(m);
    EXPECT_NE(other.formatLogMessage(m)->find(" | ZIzezave | W - "), std::string::npos);
    EXPECT_NE(none.formatLogMessage(m)->find(" | (null) | W - "), std::string::npos);
    for (auto [flag, letter] : std::vector<std::pair<std::uint64_t, std::string>> {
             { 1, "E" }, { 2, "W" }, { 4, "I" }, { 8, "D" }, { 16, "V" }, { 3, "V" } })
        EXPECT_EQ(PUSHCustomFormatter::letterForFlag(flag), letter);
}

TEST_F(PushLog, FormatterDatesAgreeWithTheDateFormatterAcrossSeconds)
{
    auto reference = NSDateFormatter::create("yyyy-MM-dd HH:mm:ss.SSS");
    for (std::uint64_t loggers : { 1, 3 }) {
        PUSHCustomFormatter formatter;
        RecordingLogger logger;
        for (std::uint64_t i = 0; i < loggers; ++i)
            formatter.didAddToLogger(logger);
        // Within one second, into the next, back to an earlier one, and at the edges of a second.
        for (double t : { 1e9 + 0.25, 1e9 + 0.9999996, 1e9 + 1.001, 1e9 + 0.5, 1e9 - 0.0005, 1.7e9 + 59.999 })
            EXPECT_EQ(formatter.stringFromDate(t), reference->stringFromDate(NSDate::dateWithTimeIntervalSince1970(t)))
                << std::fixed << t << " with " << loggers << " loggers";
    }
}

TEST_F(PushLog, BlocksBeyondThousandMessagesInFlight)
{
    auto gate = std::make_shared<GateLogger>();
    PUSHLog::addLogger(gate);
    for (int i = 0; i < PUSHLog::kMaxQueuedMessages; ++i)
        PUSHLog::log(true, 31, 4, 0, "f.m", "f", 1, Value(), "%d", i);
    ASSERT_TRUE(testing_support::runUntil([&] { return gate->entered >= 1; }));
    auto extra = std::async(std::launch::async, [] { PUSHLog::log(true, 31, 4, 0, "f.m", "f", 1, Value(), "over"); });
    EXPECT_EQ(extra.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    gate->release();
    EXPECT_EQ(extra.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    PUSHLog::flushLog();
}

TEST_F(PushLog, FormatterCountsLoggersAndIsUsedByThem)
{
    auto formatter = std::make_shared<PUSHCustomFormatter>();
    auto a = std::make_shared<RecordingLogger>();
    auto b = std::make_shared<RecordingLogger>();
    a->setLogFormatter(formatter);
    b->setLogFormatter(formatter);
    // Setting is asynchronous; reading through each logger's queue waits for it.
    EXPECT_EQ(a->logFormatter(), formatter);
    EXPECT_EQ(b->logFormatter(), formatter);
    EXPECT_EQ(formatter->loggerCount(), 2);
    PUSHLog::addLogger(a);
    PUSHLog::addLogger(b);
    logLine(PUSH_LOG_FLAG_ERROR, "boom");
    ASSERT_EQ(a->snapshot().size(), 1u);
    EXPECT_NE(a->snapshot()[0].find(" | PUSH | E - [PUSHThing] boom"), std::string::npos);
    b->setLogFormatter(nullptr);
    EXPECT_EQ(b->logFormatter(), nullptr);
    EXPECT_EQ(formatter->loggerCount(), 1);
}

TEST_F(PushLog, PushLinesWaitForTheLoggersAndArriveInOrder)
{
    auto gate = std::make_shared<GateLogger>();
    auto recording = std::make_shared<RecordingLogger>();
    PUSHLog::addLogger(gate);
    PUSHLog::addLogger(recording);
    std::atomic<bool> returned { false };
    std::thread caller([&] {
        PUSHLogInfo("first");
        returned = true;
    });
    for (int seen = gate->entered.load(); seen == 0; seen = gate->entered.load())
        gate->entered.wait(seen);
    // The gate holds the line: the caller is still inside the call.
    EXPECT_FALSE(returned.load());
    gate->release();
    caller.join();
    // Once a call is back, every logger has its line; nothing to flush.
    EXPECT_EQ(recording->snapshot(), std::vector<std::string> { "first" });

    std::vector<std::string> expected { "first" };
    for (int i = 0; i < 50; ++i) {
        PUSHLogDebug("line %d", i);
        expected.push_back("line " + std::to_string(i));
    }
    EXPECT_EQ(recording->snapshot(), expected);
}

TEST_F(PushLog, ALoggerRunsOnTheQueueItIsGiven)
{
    auto given = dispatch_queue_create("test.given", DISPATCH_QUEUE_SERIAL);
    auto logger = std::make_shared<RecordingLogger>();
    logger->setLoggerQueue(given);
    std::atomic<bool> onGivenQueue { false };
    logger->onMessage = [&] { onGivenQueue = logger->isOnInternalLoggerQueue() && dispatch_get_current_queue() == given; };
    PUSHLog::addLogger(logger);
    logLine(PUSH_LOG_FLAG_INFO, "x");
    EXPECT_TRUE(onGivenQueue.load());
}

TEST_F(PushLog, SystemLogRecordsStayOffStandardErrorAndCarryLevelMessageAndReader)
{
    // The console logger writes to standard error already: the system log must not repeat it.
    char path[] = "/tmp/push_stderr_XXXXXX";
    const int capture = ::mkstemp(path);
    ASSERT_GE(capture, 0);
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(capture, 2);
    PUSHLog::addLogger(PUSHASLLogger::sharedInstance(), PUSH_LOG_LEVEL_VERBOSE);
    EXPECT_EQ(PUSHASLLogger::init(), nullptr); // one instance only
    logLine(PUSH_LOG_FLAG_ERROR, "to the system log only");
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    const off_t written = ::lseek(capture, 0, SEEK_END);
    ::close(capture);
    ::unlink(path);
    EXPECT_EQ(written, 0);

    // The records as the system log takes them; a line from the capture file itself is skipped.
    std::mutex mutex;
    std::vector<Value> records;
    push_utilities::setSystemLogSink([&](const std::string&, const Value& record) {
        std::lock_guard lock(mutex);
        records.push_back(record);
    });
    logLine(PUSH_LOG_FLAG_ERROR, "one");
    logLine(3, "three");
    PUSHLog::log(false, 31, 1, 0, "/p/PUSHASLLogCapture.m", "f", 1, Value(), "skipped");
    std::lock_guard lock(mutex);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]["Level"].asString(), "2");
    EXPECT_EQ(records[0]["Message"].asString(), "one");
    EXPECT_EQ(records[0]["ReadUID"].asString(), std::to_string(::geteuid()));
    EXPECT_EQ(records[1]["Level"].asString(), "5");
}

} // namespace
