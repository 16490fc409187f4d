// The crash capture in the test process: the compact trace, the frames kept, counting and adding
// records (also over a damaged stored log), and installing and removing the handlers.
#include <gtest/gtest.h>

#include <csignal>
#include <exception>
#include <tuple>

#include "push/Crash/PUSHCaughtExceptionHandlerController.h"
#include "push/Report/PUSHHttpSessionController.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "testing/TempHome.h"
#include "testing/VirtualTime.h"

namespace {

__attribute__((noinline)) std::vector<std::string> capture(int depth)
{
    auto frames = depth > 0 ? capture(depth - 1) : PUSHCaughtExceptionHandlerController::backtrace();
    frames.shrink_to_fit(); // keeps the recursive call from becoming a jump
    return frames;
}

TEST(CrashTrace, CompactTraceRunsNumbersAndImagesTogetherAndTheBacktraceKeepsFramesFourToEight)
{
    EXPECT_EQ(PUSHCompactCallStack({ "0   Quillmark       0x00000001000f1a2b main + 42", "",
                  "1   libc.so.6       0x00007f0011223344 start + 128", "2   no-address 0x1 0x2" }),
        "0   Quillmark       1   libc.so.6       2   no-address ");
    EXPECT_EQ(PUSHCompactCallStack({ "7 whole" }), "7 whole");
    const auto frames = capture(8);
    ASSERT_EQ(frames.size(), 5u);
    for (std::size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(frames[i].rfind(std::to_string(i + 4) + "   push_crash_tests ", 0), 0u) << frames[i];
}

class CrashRecord : public ::testing::Test {
protected:
    void TearDown() override { PUSHFileCacheController::resetSharedInstancesForTesting(); }
    // The plain cache read again, as a new start does.
    std::shared_ptr<PUSHFileCacheController> reopen() { return PUSHFileCacheController::resetSharedInstancesForTesting(), PUSHFileCacheController::startShareInstance("PUSHJSON", PUSHFileCacheTypeCache, false); }
    // A signal's record carries its frame and no compact trace; an exception's both.
    bool record(const std::string& message, const std::string& trace, const std::string& frame = "0   app 0x1 f + 1")
    {
        Value info = Value::dictionary({ { kUncaughtExceptionHandlerAddressesKey, Value::array({ Value(frame) }) } });
        if (!trace.empty())
            info.set(kUncaughtExceptionCallStack, Value(trace));
        return controller->recordException(NSException(
            trace.empty() ? kUncaughtExceptionHandlerSignalExceptionName : "QMTest", message, info));
    }

    testing_support::TempHome home;
    testing_support::VirtualTime clock;
    std::shared_ptr<PUSHFileCacheController> cache = reopen();
    std::shared_ptr<PUSHCaughtExceptionHandlerController> controller = PUSHCaughtExceptionHandlerController::create();
};

TEST_F(CrashRecord, SameTraceAndMessageCountsInTheFileOthersAddRecordsAlsoOverADamagedLog)
{
    for (const char* message : { "bad index", "bad index", "bad key" })
        ASSERT_TRUE(record(message, "0   app 1   app "));
    ASSERT_TRUE(record("bad index", "0   lib "));
    // Signals compare by their compact frames: another address in the same image is the same.
    record("Signal 11 was raised.", "", "4   app 0x10 f + 1");
    record("Signal 11 was raised.", "", "4   app 0x99 g + 7");

    const Value log = reopen()->objectForKey(kPUSHCrashLogKey);
    ASSERT_EQ(log.count(), 4u);
    for (auto [index, count] : { std::pair { 0, 2 }, { 1, 1 }, { 2, 1 }, { 3, 2 } })
        EXPECT_EQ(log[index][0]["count"].integerValue(), count) << index;
    EXPECT_EQ(std::tuple(log[3][1].asString(), log[0][0]["crashtime"].integerValue()), std::tuple("4   app ", static_cast<std::int64_t>(clock.now())));

    // A damaged stored log neither crashes nor matches.
    reopen()->setObject(Value("not a list"), kPUSHCrashLogKey);
    record("m", "t");
    EXPECT_EQ(reopen()->objectForKey(kPUSHCrashLogKey).count(), 1u);

    reopen()->setObject(Value::array({ Value(1), Value::array({ Value("x") }),
                            Value::array({ Value::dictionary({ { "message", Value(5) } }), Value("t") }),
                            Value::array({ Value::dictionary({ { "message", Value("m") }, { "count", Value("?") } }), Value("t") }) }),
        kPUSHCrashLogKey);
    record("m", "t");
    const Value damaged = reopen()->objectForKey(kPUSHCrashLogKey);
    ASSERT_EQ(damaged.count(), 4u);
    EXPECT_EQ(damaged[3][0]["count"].integerValue(), 2); // an unreadable count still had one crash

    PUSHFileCacheController::resetSharedInstancesForTesting();
    EXPECT_FALSE(record("no cache", "t"));
}

TEST(CrashHandlers, InstallReplacesAndRemovePutsBackWhatWasThere)
{
    const auto disposition = [](int signal) {
        struct sigaction now {};
        sigaction(signal, nullptr, &now);
        return reinterpret_cast<std::uintptr_t>(now.sa_handler);
    };
    struct sigaction original[std::size(kPUSHCrashSignals)];
    for (std::size_t i = 0; i < std::size(kPUSHCrashSignals); ++i)
        sigaction(kPUSHCrashSignals[i], nullptr, &original[i]), std::signal(kPUSHCrashSignals[i], SIG_DFL);
    void (*marker)(int) = [](int) {};
    std::terminate_handler markerTerminate = [] { std::abort(); };
    const auto originalTerminate = std::set_terminate(markerTerminate);
    std::signal(SIGILL, marker);
    std::signal(SIGPIPE, SIG_IGN);

    PUSHInstallCrashHandlers();
    PUSHInstallCrashHandlers(); // must not take its own handlers for the previous ones
    const auto ours = reinterpret_cast<std::uintptr_t>(&PUSHSignalHandler);
    const auto dfl = reinterpret_cast<std::uintptr_t>(SIG_DFL), ign = reinterpret_cast<std::uintptr_t>(SIG_IGN);
    const std::tuple<int, std::uintptr_t, std::uintptr_t> cases[] = { // signal, installed, removed
        { SIGABRT, ours, dfl }, { SIGSEGV, ours, dfl }, { SIGFPE, ours, dfl }, { SIGBUS, ours, dfl },
        { SIGILL, ours, reinterpret_cast<std::uintptr_t>(marker) }, { SIGPIPE, ign, ign } };
    for (const auto& [signal, installed, removed] : cases)
        EXPECT_EQ(disposition(signal), installed) << signal;
    EXPECT_NE(std::get_terminate(), markerTerminate);
    PUSHRemoveCrashHandlers();
    EXPECT_FALSE(PUSHCrashHandlersInstalled());
    for (const auto& [signal, installed, removed] : cases)
        EXPECT_EQ(disposition(signal), removed) << signal;
    EXPECT_EQ(std::get_terminate(), markerTerminate);

    for (std::size_t i = 0; i < std::size(kPUSHCrashSignals); ++i)
        sigaction(kPUSHCrashSignals[i], &original[i], nullptr);
    std::set_terminate(originalTerminate);
}

} // namespace
