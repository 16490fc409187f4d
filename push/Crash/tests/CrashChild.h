// Crashes run in a child process: the test binary starts itself again with only the test
// CrashChild.Scenario selected and the scenario named in QM_CRASH_SCENARIO, so the crash ends
// the child and the test reads its exit status and what it left in the shared temporary home.
#pragma once

#include <string>

namespace crash_tests {

inline constexpr const char* kScenarioVariable = "QM_CRASH_SCENARIO";

struct ChildResult {
    bool finished = false; // false: it did not end within the time-out (it was killed)
    int signal = 0;        // the signal that ended it, or 0
    int exitCode = -1;     // its exit status when it exited
    std::string output;    // what the child printed, for failure messages
};

// Runs the scenario in a child (which inherits the environment, the app home included).
ChildResult runChild(const std::string& scenario, const std::string& logPath);

} // namespace crash_tests
