// The child side of the crash tests: what each scenario sets up before it crashes. Runs only
// when QM_CRASH_SCENARIO names a scenario (the parent tests start it); skipped otherwise.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "CrashChild.h"
#include "push/Crash/PUSHCaughtExceptionHandlerController.h"
#include "push/Report/PUSHHttpSessionController.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "testing/RunLoopPump.h"

namespace {

// Every crash of one scenario comes from this one place, so repeated runs give the same trace.
__attribute__((noinline)) void crashWith(int signal)
{
    raise(signal);
}

// Thrown on another thread while the main thread waits for it.
__attribute__((noinline)) void throwFromThread(bool platformException)
{
    std::thread([platformException] {
        if (platformException)
            throw NSException("QMTestException", "broken on purpose");
        throw std::runtime_error("plain failure");
    }).join();
}

void runScenario(const std::string& scenario)
{
    rlimit none { 0, 0 };
    setrlimit(RLIMIT_CORE, &none);
    testing_support::runUntil([] { return true; }, 1);
    PUSHFileCacheController::startShareInstance("PUSHJSON", PUSHFileCacheTypeCache, false);
    // The sanitizers' own handlers step aside: the process starts as a plain program would.
    for (int signal : kPUSHCrashSignals)
        std::signal(signal, SIG_DFL);
    if (scenario == "previous-handler")
        std::signal(SIGSEGV, [](int) { _exit(42); });
    if (scenario == "sigpipe-ignored")
        std::signal(SIGPIPE, SIG_IGN);
    std::shared_ptr<PUSHHttpSessionController> scheduler;
    if (scenario == "with-scheduler") {
        scheduler = PUSHHttpSessionController::create();
        push_crash::setCrashLinks({ nullptr, [] {
            PUSHFileCacheController::shareInstanceWithType(0)->setObject(Value(1), "qm-synced");
        } });
    }
    PUSHInstallCrashHandlers();

    if (scenario == "abort" || scenario == "with-scheduler")
        crashWith(SIGABRT);
    if (scenario == "fpe")
        crashWith(SIGFPE);
    if (scenario == "bus")
        crashWith(SIGBUS);
    if (scenario == "previous-handler")
        crashWith(SIGSEGV);
    if (scenario == "exception" || scenario == "std-exception")
        throwFromThread(scenario == "exception");
    if (scenario == "sigpipe-ignored") {
        crashWith(SIGPIPE);
        struct sigaction now {};
        sigaction(SIGPIPE, nullptr, &now);
        _exit(now.sa_handler == SIG_IGN ? 0 : 3);
    }
    _exit(10); // survived a crash it should not have
}

} // namespace

TEST(CrashChild, Scenario)
{
    const char* scenario = std::getenv(crash_tests::kScenarioVariable);
    if (!scenario)
        GTEST_SKIP() << "runs only as the child of a crash test";
    runScenario(scenario);
}
