// Killing the app between saves: every save that returned is still there, the file passes
// SQLite's integrity check, and several threads and processes can save at once.
#include "platform/addressbook/ABAddressBook.h"
#include "platform/addressbook/ABTestSeams.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "testing/TempHome.h"

#include <filesystem>

namespace {

bool saveContact(const std::string& number)
{
    auto book = ABAddressBookCreateWithOptions(Value(), nullptr);
    auto person = ABPersonCreate();
    ABRecordSetValue(person, kABPersonFirstNameProperty, "粉丝", nullptr);
    auto phones = ABMultiValueCreateMutable(kABMultiStringPropertyType);
    ABMultiValueAddValueAndLabel(phones, number, kABPersonPhoneMobileLabel, nullptr);
    ABRecordSetValue(person, kABPersonPhoneProperty, Value(phones), nullptr);
    return ABAddressBookAddRecord(book, person, nullptr) && ABAddressBookSave(book, nullptr);
}

std::multiset<std::string> storedNumbers()
{
    std::multiset<std::string> numbers;
    for (const auto& person : ABAddressBookCopyArrayOfAllPeople(ABAddressBookCreate())) {
        auto phones = ABRecordCopyValue(person, kABPersonPhoneProperty).asObject<ABMultiValue>();
        numbers.insert(ABMultiValueCopyValueAtIndex(phones, 0).asString());
    }
    return numbers;
}

std::string integrity(const std::filesystem::path& home)
{
    sqlite3* db = nullptr;
    std::string result = "cannot open";
    if (sqlite3_open((home / "Library/AddressBook/AddressBook.sqlite").c_str(), &db) == SQLITE_OK) {
        sqlite3_exec(
            db, "PRAGMA integrity_check",
            [](void* out, int, char** values, char**) {
                *static_cast<std::string*>(out) = values[0] ? values[0] : "";
                return 0;
            },
            &result, nullptr);
    }
    sqlite3_close(db);
    return result;
}

class AddressBookCrash : public ::testing::Test {
protected:
    void SetUp() override
    {
        addressbook::resetTestSeams();
        addressbook::setAuthorizationStatus(kABAuthorizationStatusAuthorized);
    }
    void TearDown() override { addressbook::resetTestSeams(); }
    testing_support::TempHome home;
};

}

TEST_F(AddressBookCrash, KilledBetweenSavesLosesNothingSavedAndNeverCorrupts)
{
    ASSERT_TRUE(saveContact("parent")); // the parent holds a connection across the fork
    for (int round = 0; round < 3; ++round) {
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeFds[0]);
            for (int i = 0;; ++i) {
                std::string number = std::to_string(round) + "-" + std::to_string(i);
                if (!saveContact(number))
                    _exit(3);
                std::string line = number + "\n";
                if (write(pipeFds[1], line.data(), line.size()) != static_cast<ssize_t>(line.size()))
                    _exit(2);
            }
        }
        close(pipeFds[1]);
        // Kill the child at a moment that moves from round to round, mid-save most likely.
        std::string confirmed;
        std::size_t lines = 0;
        char buffer[256];
        while (lines < static_cast<std::size_t>(10 + 7 * round)) {
            ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
            ASSERT_GT(n, 0) << "the child stopped saving";
            confirmed.append(buffer, static_cast<std::size_t>(n));
            lines = static_cast<std::size_t>(std::count(confirmed.begin(), confirmed.end(), '\n'));
        }
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status));
        ssize_t n;
        while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
            confirmed.append(buffer, static_cast<std::size_t>(n));
        close(pipeFds[0]);

        auto stored = storedNumbers();
        std::size_t start = 0, end;
        while ((end = confirmed.find('\n', start)) != std::string::npos) {
            EXPECT_EQ(stored.count(confirmed.substr(start, end - start)), 1u) << confirmed.substr(start, end - start);
            start = end + 1;
        }
        EXPECT_EQ(stored.count("parent"), 1u);
        EXPECT_EQ(integrity(home.path()), "ok");
    }
    EXPECT_TRUE(saveContact("after")); // the store is still writable
}

TEST_F(AddressBookCrash, ThreadsAndAnotherProcessSaveTogether)
{
    ASSERT_TRUE(saveContact("warm-up"));
    constexpr int perWorker = 25;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (int i = 0; i < perWorker; ++i) {
            if (!saveContact("p" + std::to_string(i)))
                _exit(3);
        }
        _exit(0);
    }
    std::vector<std::thread> threads;
    std::atomic<int> failures = 0;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < perWorker; ++i) {
                if (!saveContact("t" + std::to_string(t) + "-" + std::to_string(i)))
                    ++failures;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(ABAddressBookGetPersonCount(ABAddressBookCreate()), 1 + 4 * perWorker);
    EXPECT_EQ(integrity(home.path()), "ok");
}
