// Several threads and two processes on one keychain file: nothing lost, duplicates refused
// exactly once even when two processes race for the same item.
#include "platform/security/SecItem.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "testing/TempHome.h"

namespace {

Value item(const std::string& account)
{
    return Value::dictionary({ { kSecClass, kSecClassGenericPassword }, { kSecAttrService, "race" },
        { kSecAttrAccount, account }, { kSecValueData, Bytes { 1, 2, 3 } } });
}

std::size_t countItems()
{
    Value all;
    OSStatus status = SecItemCopyMatching(Value::dictionary({ { kSecClass, kSecClassGenericPassword },
                                              { kSecMatchLimit, kSecMatchLimitAll }, { kSecReturnAttributes, true } }),
        &all);
    return status == errSecSuccess ? all.count() : 0;
}

}

TEST(KeychainConcurrency, ThreadsAddReadAndDeleteWithoutLosingItems)
{
    testing_support::TempHome home;
    constexpr int threads = 6, perThread = 30;
    std::atomic<int> failures = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, &failures] {
            for (int i = 0; i < perThread; ++i) {
                std::string account = std::to_string(t) + "-" + std::to_string(i);
                if (SecItemAdd(item(account), nullptr) != errSecSuccess)
                    ++failures;
                if (SecItemCopyMatching(item(account), nullptr) != errSecSuccess)
                    ++failures;
                // Every thread also races for one shared account: one add wins.
                OSStatus shared = SecItemAdd(item("shared-" + std::to_string(i)), nullptr);
                if (shared != errSecSuccess && shared != errSecDuplicateItem)
                    ++failures;
            }
        });
    }
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(countItems(), static_cast<std::size_t>(threads * perThread + perThread));
}

TEST(KeychainConcurrency, TwoProcessesRaceForTheSameItemsAndEachWinsSome)
{
    testing_support::TempHome home;
    constexpr int accounts = 60;
    ASSERT_EQ(SecItemAdd(item("warm-up"), nullptr), errSecSuccess); // the parent holds an open connection
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        for (int i = 0; i < accounts; ++i) {
            char won = SecItemAdd(item("both-" + std::to_string(i)), nullptr) == errSecSuccess ? 1 : 0;
            if (write(pipeFds[1], &won, 1) != 1)
                _exit(2);
        }
        _exit(0);
    }
    close(pipeFds[1]);
    std::vector<char> parentWon;
    for (int i = 0; i < accounts; ++i)
        parentWon.push_back(SecItemAdd(item("both-" + std::to_string(i)), nullptr) == errSecSuccess ? 1 : 0);
    std::vector<char> childWon(accounts);
    std::size_t got = 0;
    while (got < childWon.size()) {
        ssize_t n = read(pipeFds[0], childWon.data() + got, childWon.size() - got);
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_EQ(got, childWon.size());
    for (int i = 0; i < accounts; ++i)
        EXPECT_EQ(parentWon[i] + childWon[i], 1) << "account " << i;
    EXPECT_EQ(countItems(), static_cast<std::size_t>(accounts + 1));
}
