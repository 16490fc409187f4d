// Killing the app between saves: every save that returned is still there, the file passes
// SQLite's integrity check, and several threads and processes can save at once.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/addressbook/tests/AddressBookFixture.h"

using namespace addressbook_test;

using AddressBookCrash = AddressBookHome;

TEST_F(AddressBookCrash, KilledBetweenSavesLosesNothingSavedAndNeverCorrupts)
{
    ASSERT_TRUE(saveContact("parent")); // the parent holds a connection across the fork
    for (int round = 0; round < 3; ++round) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            for (int i = 0;; ++i) { // each number is written once its save has returned
                std::string number = std::to_string(round) + "-" + std::to_string(i), line = number + "\n";
                if (!saveContact(number) || write(fds[1], line.data(), line.size()) != ssize_t(line.size()))
                    _exit(3);
            }
        }
        close(fds[1]);
        FILE* confirmed = fdopen(fds[0], "r");
        std::vector<std::string> saved;
        char line[64];
        auto readLine = [&] { return fgets(line, sizeof line, confirmed) && (saved.emplace_back(line, strcspn(line, "\n")), true); };
        // Kill the child at a moment that moves from round to round, mid-save most likely.
        std::size_t killAfter = 10 + 7 * std::size_t(round);
        while (saved.size() < killAfter && readLine()) { }
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status)) << "the child stopped saving";
        while (readLine()) { }
        fclose(confirmed);

        ASSERT_GE(saved.size(), killAfter);
        auto stored = storedPhones();
        saved.push_back("parent");
        for (const auto& number : saved)
            EXPECT_EQ(std::count(stored.begin(), stored.end(), number), 1) << number;
        EXPECT_EQ(sql("PRAGMA integrity_check"), "ok");
    }
    EXPECT_TRUE(saveContact("after")); // the store is still writable
}

TEST_F(AddressBookCrash, ThreadsAndAnotherProcessSaveTogether)
{
    ASSERT_TRUE(saveContact("warm-up"));
    static constexpr int perWorker = 25;
    auto failedSaves = [](const std::string& prefix) {
        int failed = 0;
        for (int i = 0; i < perWorker; ++i)
            failed += saveContact(prefix + std::to_string(i)) ? 0 : 1;
        return failed;
    };
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(failedSaves("p") == 0 ? 0 : 3);
    std::atomic<int> failures = 0;
    std::vector<std::jthread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&, t] { failures += failedSaves("t" + std::to_string(t) + "-"); });
    threads.clear(); // joins
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(ABAddressBookGetPersonCount(ABAddressBookCreate()), 1 + 4 * perWorker);
    EXPECT_EQ(sql("PRAGMA integrity_check"), "ok");
}
