// Crashes in forked children sharing the test's home: each ends as it would have without the
// capture or with the handling it had before, one record per distinct crash with its count, the
// state saved.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <tuple>

#include <gtest/gtest.h>

#include "push/Crash/PUSHCaughtExceptionHandlerController.h"
#include "push/Report/PUSHHttpSessionController.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"

namespace {

void runScenario(const std::string& scenario)
{
    const rlimit none { 0, 0 };
    setrlimit(RLIMIT_CORE, &none);
    alarm(60); // a child that hangs ends itself, so the parent never waits for ever
    testing_support::runUntil([] { return true; }, 1);
    PUSHFileCacheController::startShareInstance("PUSHJSON", PUSHFileCacheTypeCache, false);
    // The sanitizers' own handlers step aside: the process starts as a plain program would.
    for (int signal : kPUSHCrashSignals)
        std::signal(signal, SIG_DFL);
    if (scenario == "previous-handler")
        std::signal(SIGSEGV, [](int) { _exit(42); });
    std::shared_ptr<PUSHHttpSessionController> scheduler;
    if (scenario == "with-scheduler") {
        scheduler = PUSHHttpSessionController::create();
        push_crash::setCrashLinks({ nullptr, [] {
            PUSHFileCacheController::shareInstanceWithType(0)->setObject(Value(1), "qm-synced");
        } });
    }
    PUSHInstallCrashHandlers();

    const std::map<std::string, int> signals { { "abort", SIGABRT }, { "with-scheduler", SIGABRT },
        { "previous-handler", SIGSEGV } };
    if (signals.count(scenario))
        raise(signals.at(scenario)); // one place for every signal: repeated runs give one trace
    // Thrown on another thread while the main thread is blocked joining it.
    if (scenario == "exception" || scenario == "std-exception") {
        std::thread([platform = scenario == "exception"] {
            if (platform)
                throw NSException("QMTestException", "broken on purpose");
            throw std::runtime_error("plain failure");
        }).join();
    }
    _exit(10); // survived a crash it should not have
}

// The scenario run in a forked child writing to `logPath`: the signal that ended it (or 0), its
// exit status (or -1) and what it printed.
std::tuple<int, int, std::string> runChild(const std::string& scenario, const std::string& logPath)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        runScenario(scenario);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return { -1, -1, "not started" };
    std::stringstream text;
    text << std::ifstream(logPath).rdbuf();
    return { WIFSIGNALED(status) ? WTERMSIG(status) : 0, WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str() };
}

TEST(CrashCapture, EachCrashEndsAsBeforeAndIsRecordedOnceWithItsCountAndTheStateSaved)
{
    testing_support::TempHome home; // the children's too
    struct Case { const char *scenario, *printed; int signal, exitCode; }; // printed by the default handling
    const Case cases[] = {
        { "abort", "", SIGABRT, -1 },
        { "with-scheduler", "", SIGABRT, -1 }, // the same trace and message: counted
        { "exception", "NSException", SIGABRT, -1 },
        { "std-exception", "", SIGABRT, -1 },
        { "previous-handler", "", 0, 42 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        const auto [signal, exitCode, output] = runChild(c.scenario, home.pathFor(std::string(c.scenario) + ".log"));
        EXPECT_EQ(std::tuple(signal, exitCode, output.find(c.printed) != std::string::npos), std::tuple(c.signal, c.exitCode, true)) << output;
    }

    // The next start reads one record per distinct crash, with its count.
    PUSHFileCacheController::resetSharedInstancesForTesting();
    const auto plain = PUSHFileCacheController::startShareInstance("PUSHJSON", PUSHFileCacheTypeCache, false);
    // The state was saved before the process ended, and the scheduler's save ran.
    EXPECT_EQ(std::tuple(plain->hasObjectForKey(kPUSHLeftTimeKey), plain->objectForKey("qm-synced").integerValue()), std::tuple(true, 1));
    std::map<std::string, Value> records;
    std::map<std::string, std::int64_t> counts;
    for (const Value& record : plain->objectForKey(kPUSHCrashLogKey).asArray()) {
        records[record[0]["message"].asString()] = record;
        counts[record[0]["message"].asString()] = record[0]["count"].integerValue();
    }
    EXPECT_EQ(counts, (std::map<std::string, std::int64_t> { { "Signal 6 was raised.", 2 }, { "Signal 11 was raised.", 1 },
                          { "broken on purpose", 1 }, { "plain failure", 1 } }));
    // A signal's trace is the compact form of its five frames; an exception's has no addresses.
    const Value& signalled = records["Signal 6 was raised."];
    EXPECT_TRUE(signalled[0]["device_info"].isDictionary());
    std::vector<std::string> frames;
    for (const Value& frame : signalled[0]["stacktrace"].asArray())
        frames.push_back(frame.asString());
    EXPECT_EQ(frames.size(), 5u);
    EXPECT_EQ(signalled[1].asString(), PUSHCompactCallStack(frames));
    const Value& thrown = records["broken on purpose"];
    EXPECT_GT(thrown[0]["stacktrace"].count(), 5u);
    EXPECT_TRUE(!thrown[1].asString().empty() && thrown[1].asString().find("0x") == std::string::npos);
    PUSHFileCacheController::resetSharedInstancesForTesting();
}

} // namespace
