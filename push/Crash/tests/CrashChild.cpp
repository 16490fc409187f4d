// Starting the test binary again as a crashing child and waiting for its end without sleeping:
// the child's process descriptor becomes readable when it exits.
#include "CrashChild.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

extern char** environ;

namespace crash_tests {

ChildResult runChild(const std::string& scenario, const std::string& logPath)
{
    std::vector<std::string> environment { std::string(kScenarioVariable) + "=" + scenario };
    for (char** entry = environ; *entry; ++entry) {
        // The first setting of a name wins; the runner's own settings (output file, shards)
        // are the parent's, not the child's.
        if (std::string_view(*entry).rfind("GTEST_", 0) != 0)
            environment.emplace_back(*entry);
    }
    std::vector<char*> envp;
    for (auto& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = "/proc/self/exe", filter = "--gtest_filter=CrashChild.Scenario";
    char* argv[] = { program.data(), filter.data(), nullptr };

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ChildResult result;
    if (spawned != 0)
        return result;

    const int descriptor = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    pollfd entry { descriptor, POLLIN, 0 };
    result.finished = descriptor < 0 || poll(&entry, 1, 60000) == 1;
    if (descriptor >= 0)
        close(descriptor);
    if (!result.finished)
        kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::stringstream text;
    text << std::ifstream(logPath).rdbuf();
    result.output = text.str();
    return result;
}

} // namespace crash_tests
