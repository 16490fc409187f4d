// The quillmark executable and scripts/run as a person meets them: the help texts, a script
// that does not exist refused before anything starts, no display for --window said at once, a
// script stopping at its first error, and the prompt at a terminal (through a pseudo-terminal)
// that acknowledges commands and goes on after errors.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "testing/TempHome.h"

namespace {

struct Outcome {
    int status = -1;
    std::string output;
};

// Runs a shell command line with its standard error joined to its output.
Outcome shell(const std::string& command)
{
    Outcome outcome;
    FILE* pipe = ::popen((command + " 2>&1 </dev/null").c_str(), "r");
    if (!pipe)
        return outcome;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        outcome.output.append(buffer, n);
    int status = ::pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

std::string source() { return std::getenv("QM_SOURCE_DIR") ? std::getenv("QM_SOURCE_DIR") : "."; }

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class HostExecutable : public ::testing::Test {
protected:
    // The executable with a home of its own and no display unless one is given.
    std::string host(const std::string& arguments, const std::string& display = "-u DISPLAY")
    {
        return "cd " + home.path() + " && env -u WAYLAND_DISPLAY " + display + " QUILLMARK_HOME=" + home.path() + " "
            + QM_HOST_EXECUTABLE + " " + arguments;
    }
    testing_support::TempHome home;
};

TEST_F(HostExecutable, HelpPrintsTheOptionsAndEveryCommand)
{
    for (const std::string& command : { host("--help"), "cd " + source() + " && scripts/run --help" }) {
        auto run = shell(command);
        EXPECT_EQ(run.status, 0) << command << "\n" << run.output;
        for (const char* part : { "--window", "--scale F", "open <name>", "alert index <n>", "snapshot <file.png>",
                 "onerror stop|go", "quit " })
            EXPECT_TRUE(has(run.output, part)) << part << " in " << command << "\n" << run.output;
        EXPECT_FALSE(has(run.output, "set -e")) << "no shell in the help: " << run.output;
    }
    EXPECT_TRUE(has(shell("cd " + source() + " && scripts/run --help").output, "--keep-home"));
}

TEST_F(HostExecutable, AMissingScriptIsRefusedBeforeAnythingStarts)
{
    auto direct = shell(host("nosuch.txt"));
    EXPECT_EQ(direct.status, 2);
    EXPECT_TRUE(has(direct.output, "quillmark: no script nosuch.txt")) << direct.output;

    // With a build folder that does not exist, anything past the refusal would fail otherwise.
    std::string out = home.pathFor("out");
    for (std::string script : { "nosuch.txt", "/nonexistent/dir/x.txt" }) {
        auto run = shell("cd " + source() + " && QM_RUN_BUILD=/nonexistent QM_RUN_OUT=" + out + " scripts/run " + script);
        EXPECT_EQ(run.status, 2) << run.output;
        EXPECT_EQ(run.output, "run: no script " + script + "\n");
        EXPECT_FALSE(std::filesystem::exists(out)) << "nothing was started for " << script;
    }
}

TEST_F(HostExecutable, WithoutADisplayTheWindowIsRefusedAtOnceSayingWhy)
{
    auto unset = shell(host("--window"));
    EXPECT_EQ(unset.status, 3) << unset.output;
    EXPECT_TRUE(has(unset.output, "quillmark: no window can be opened: there is no display (DISPLAY is not set)"))
        << unset.output;

    auto bad = shell(host("--window", "DISPLAY=:9731"));
    EXPECT_EQ(bad.status, 3) << bad.output;
    EXPECT_TRUE(has(bad.output, "no window can be opened: the display :9731 cannot be opened")) << bad.output;

    auto run = shell("cd " + source() + " && env -u DISPLAY -u WAYLAND_DISPLAY QM_RUN_BUILD=/nonexistent QM_RUN_OUT="
        + home.pathFor("out") + " scripts/run --window");
    EXPECT_EQ(run.status, 3) << run.output;
    EXPECT_TRUE(has(run.output, "no window can be opened")) << run.output;
}

TEST_F(HostExecutable, AScriptStopsAtItsFirstErrorUnlessToldToGoOn)
{
    std::ofstream(home.pathFor("stop.txt")) << "echo one\nfly away\necho two\n";
    std::ofstream(home.pathFor("go.txt")) << "onerror go\necho one\nfly away\necho two\n";
    // The app's own log lines (from other threads) may come between the script's lines.
    auto inOrder = [](const std::string& output, std::initializer_list<const char*> lines) {
        std::size_t at = 0;
        for (const char* line : lines) {
            at = output.find(line, at);
            if (at == std::string::npos)
                return false;
        }
        return true;
    };
    auto stop = shell(host("stop.txt"));
    EXPECT_EQ(stop.status, 1);
    EXPECT_TRUE(inOrder(stop.output, { "one\n", "error: fly away: unknown command\n" })) << stop.output;
    EXPECT_FALSE(has(stop.output, "two")) << stop.output;
    EXPECT_FALSE(has(stop.output, "quillmark> ")) << "no prompt for a script";

    auto go = shell(host("go.txt"));
    EXPECT_EQ(go.status, 1);
    EXPECT_TRUE(inOrder(go.output, { "error: fly away: unknown command\n", "two\n" })) << go.output;
}

// The host on a pseudo-terminal: what it printed, read as it comes.
class Terminal {
public:
    explicit Terminal(const std::string& command)
    {
        pid_ = ::forkpty(&fd_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~Terminal()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (pid_ > 0 && !reaped_)
            ::waitpid(pid_, nullptr, 0);
    }
    void type(const std::string& line)
    {
        std::string text = line + "\n";
        ASSERT_EQ(::write(fd_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    // Reads until the output holds `text` after what was already matched; false when the host
    // ended (or a minute passed, as a guard) first.
    bool await(const std::string& text)
    {
        for (int guard = 0; guard < 600; ++guard) {
            if (auto at = output.find(text, matched_); at != std::string::npos) {
                matched_ = at + text.size();
                return true;
            }
            pollfd p { fd_, POLLIN, 0 };
            if (::poll(&p, 1, 100) < 0)
                return false;
            if (!(p.revents & (POLLIN | POLLHUP)))
                continue;
            char buffer[4096];
            ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            output.append(buffer, static_cast<std::size_t>(n));
        }
        return false;
    }
    int status()
    {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string output;

private:
    int fd_ = -1;
    pid_t pid_ = -1;
    bool reaped_ = false;
    std::size_t matched_ = 0;
};

TEST_F(HostExecutable, AtATerminalItPromptsAcknowledgesAndGoesOnAfterErrors)
{
    // The app's log (standard error) goes to a file: its lines come from other threads and would
    // fall in the middle of the host's own.
    Terminal terminal(host("2>" + home.pathFor("app.log")));
    ASSERT_TRUE(terminal.await("quillmark> ")) << terminal.output;
    terminal.type("fly away");
    ASSERT_TRUE(terminal.await("error: fly away: unknown command")) << terminal.output;
    ASSERT_TRUE(terminal.await("quillmark> ")) << "the error did not end the run: " << terminal.output;
    terminal.type("open about");
    ASSERT_TRUE(terminal.await("ok: on top: JZAboutController")) << terminal.output;
    ASSERT_TRUE(terminal.await("quillmark> ")) << terminal.output;
    terminal.type("back");
    ASSERT_TRUE(terminal.await("ok: on top: RQMainController")) << terminal.output;
    terminal.type("snapshot shot");
    ASSERT_TRUE(terminal.await("error: snapshot shot: a snapshot is a PNG")) << terminal.output;
    terminal.type("echo still here");
    ASSERT_TRUE(terminal.await("still here")) << terminal.output;
    // The next prompt before typing on: the terminal echoes typed text as it comes.
    ASSERT_TRUE(terminal.await("quillmark> ")) << terminal.output;
    terminal.type("quit");
    terminal.await("never printed");
    EXPECT_EQ(terminal.status(), 1) << "two commands failed: " << terminal.output;
    EXPECT_TRUE(has(terminal.output, "still here\r\nquillmark> ")) << "an echo is not acknowledged: " << terminal.output;
}

} // namespace
