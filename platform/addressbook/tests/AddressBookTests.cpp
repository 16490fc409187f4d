// The address book as the import and clear screens use it: one handle and one save per
// contact, a clear that removes exactly the app's contacts, atomic saves, unsaved handles
// that leave nothing behind, and the user's permission.
#include "platform/addressbook/ABAddressBook.h"
#include "platform/addressbook/ABTestSeams.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <semaphore>
#include <thread>

#include "testing/TempHome.h"

#include <filesystem>

namespace {

ABRecordRef contact(const Value& first, const std::string& phone, const Value& last = Value())
{
    auto person = ABPersonCreate();
    if (!first.isAbsent())
        ABRecordSetValue(person, kABPersonFirstNameProperty, first, nullptr);
    if (!last.isAbsent())
        ABRecordSetValue(person, kABPersonLastNameProperty, last, nullptr);
    auto phones = ABMultiValueCreateMutable(kABMultiStringPropertyType);
    ABMultiValueAddValueAndLabel(phones, phone, kABPersonPhoneMobileLabel, nullptr);
    ABRecordSetValue(person, kABPersonPhoneProperty, Value(phones), nullptr);
    return person;
}

// The import screen: a new handle and a save for every number.
void import(const std::vector<std::string>& numbers)
{
    for (const auto& number : numbers) {
        NSErrorRef error;
        auto book = ABAddressBookCreateWithOptions(Value(), &error);
        ASSERT_TRUE(book);
        ASSERT_TRUE(ABAddressBookAddRecord(book, contact("粉丝", number), nullptr));
        ASSERT_TRUE(ABAddressBookSave(book, &error));
    }
}

std::vector<std::string> phonesOf(const std::vector<ABRecordRef>& people)
{
    std::vector<std::string> phones;
    for (const auto& person : people) {
        auto multi = ABRecordCopyValue(person, kABPersonPhoneProperty).asObject<ABMultiValue>();
        phones.push_back(ABMultiValueCopyValueAtIndex(multi, 0).asString());
    }
    return phones;
}

void execSql(const std::filesystem::path& home, const char* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((home / "Library/AddressBook/AddressBook.sqlite").c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 10000);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

class AddressBook : public ::testing::Test {
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

TEST_F(AddressBook, ImportedContactsAreStoredWithNamesPhonesAndLabels)
{
    import({ "13800000001", "13800000002", "13800000001" }); // the same page twice duplicates
    auto book = ABAddressBookCreate();
    auto people = ABAddressBookCopyArrayOfAllPeople(book);
    ASSERT_EQ(people.size(), 3u);
    EXPECT_EQ(ABAddressBookGetPersonCount(book), 3);
    EXPECT_EQ(phonesOf(people), (std::vector<std::string> { "13800000001", "13800000002", "13800000001" }));
    EXPECT_EQ(ABRecordCopyValue(people[0], kABPersonFirstNameProperty), Value("粉丝"));
    EXPECT_TRUE(ABRecordCopyValue(people[0], kABPersonLastNameProperty).isAbsent());
    auto phones = ABRecordCopyValue(people[1], kABPersonPhoneProperty).asObject<ABMultiValue>();
    EXPECT_EQ(ABMultiValueCopyLabelAtIndex(phones, 0), Value(kABPersonPhoneMobileLabel));
    EXPECT_NE(ABRecordGetRecordID(people[0]), ABRecordGetRecordID(people[1]));
    EXPECT_NE(ABRecordGetRecordID(people[0]), kABRecordInvalidID);
    EXPECT_FALSE(ABAddressBookHasUnsavedChanges(book));
}

TEST_F(AddressBook, ClearRemovesExactlyTheAppsContactsInOneSave)
{
    import({ "1", "2" });
    auto setup = ABAddressBookCreate();
    ABAddressBookAddRecord(setup, contact("粉丝 ", "3"), nullptr);
    ABAddressBookAddRecord(setup, contact(Value(), "4"), nullptr);
    ABAddressBookAddRecord(setup, contact("粉丝", "5", "Chen"), nullptr); // made by hand, still the app's name
    ABAddressBookAddRecord(setup, contact("Ann", "6"), nullptr);
    ASSERT_TRUE(ABAddressBookSave(setup, nullptr));

    auto book = ABAddressBookCreate();
    for (const auto& person : ABAddressBookCopyArrayOfAllPeople(book)) {
        if (ABRecordCopyValue(person, kABPersonFirstNameProperty) == Value("粉丝")) {
            ASSERT_TRUE(ABAddressBookRemoveRecord(book, person, nullptr));
        }
    }
    EXPECT_TRUE(ABAddressBookHasUnsavedChanges(book));
    EXPECT_EQ(ABAddressBookGetPersonCount(book), 3); // this handle already sees the removals
    EXPECT_EQ(ABAddressBookGetPersonCount(ABAddressBookCreate()), 6); // others do not, until the save
    ASSERT_TRUE(ABAddressBookSave(book, nullptr));
    EXPECT_EQ(phonesOf(ABAddressBookCopyArrayOfAllPeople(ABAddressBookCreate())),
        (std::vector<std::string> { "3", "4", "6" }));
}

TEST_F(AddressBook, AHandleReleasedUnsavedLeavesNothingAndChangesAreSavedOnce)
{
    {
        auto book = ABAddressBookCreate();
        EXPECT_FALSE(ABAddressBookHasUnsavedChanges(book));
        ASSERT_TRUE(ABAddressBookAddRecord(book, contact("粉丝", "1"), nullptr));
        EXPECT_TRUE(ABAddressBookHasUnsavedChanges(book));
        EXPECT_EQ(ABAddressBookGetPersonCount(book), 1);
    }
    EXPECT_EQ(ABAddressBookGetPersonCount(ABAddressBookCreate()), 0);

    // Editing a stored person is a change of the handle that read it.
    import({ "2" });
    auto editor = ABAddressBookCreate();
    auto people = ABAddressBookCopyArrayOfAllPeople(editor);
    ASSERT_EQ(people.size(), 1u);
    ABRecordSetValue(people[0], kABPersonLastNameProperty, "Li", nullptr);
    EXPECT_TRUE(ABAddressBookHasUnsavedChanges(editor));
    ASSERT_TRUE(ABAddressBookSave(editor, nullptr));
    EXPECT_FALSE(ABAddressBookHasUnsavedChanges(editor));
    auto reread = ABAddressBookCopyArrayOfAllPeople(ABAddressBookCreate());
    EXPECT_EQ(ABRecordCopyValue(reread[0], kABPersonLastNameProperty), Value("Li"));
    EXPECT_EQ(phonesOf(reread), std::vector<std::string> { "2" });

    // A record unsaved in one handle cannot be added to another.
    auto other = ABAddressBookCreate();
    EXPECT_FALSE(ABAddressBookAddRecord(other, people[0], nullptr));
    // Adding then removing before a save is no change at all.
    auto person = contact("x", "9");
    ABAddressBookAddRecord(other, person, nullptr);
    ABAddressBookRemoveRecord(other, person, nullptr);
    EXPECT_FALSE(ABAddressBookHasUnsavedChanges(other));
}

TEST_F(AddressBook, SavesAreAllOrNothing)
{
    import({ "0" });
    // The store refuses the third person of the next save.
    execSql(home.path(), "CREATE TRIGGER full BEFORE INSERT ON people WHEN (SELECT count(*) FROM people) >= 2 "
                         "BEGIN SELECT RAISE(ABORT, 'disk full'); END;");
    auto book = ABAddressBookCreate();
    for (const char* number : { "1", "2", "3" })
        ABAddressBookAddRecord(book, contact("粉丝", number), nullptr);
    NSErrorRef error;
    EXPECT_FALSE(ABAddressBookSave(book, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), kABOperationNotPermittedByStoreError);
    EXPECT_EQ(ABAddressBookGetPersonCount(ABAddressBookCreate()), 1);
    EXPECT_TRUE(ABAddressBookHasUnsavedChanges(book));
    // The failed save assigned no identifiers: the three are still new.
    auto seen = ABAddressBookCopyArrayOfAllPeople(book);
    ASSERT_EQ(seen.size(), 4u);
    for (std::size_t i = 1; i < seen.size(); ++i)
        EXPECT_EQ(ABRecordGetRecordID(seen[i]), kABRecordInvalidID);

    // The same handle saves everything once the store takes it.
    execSql(home.path(), "DROP TRIGGER full;");
    ASSERT_TRUE(ABAddressBookSave(book, nullptr));
    EXPECT_EQ(phonesOf(ABAddressBookCopyArrayOfAllPeople(ABAddressBookCreate())),
        (std::vector<std::string> { "0", "1", "2", "3" }));

    addressbook::failNext(addressbook::StoreOperation::Save);
    auto failing = ABAddressBookCreate();
    ABAddressBookAddRecord(failing, contact("粉丝", "4"), nullptr);
    EXPECT_FALSE(ABAddressBookSave(failing, nullptr));
    addressbook::failNext(addressbook::StoreOperation::Add);
    EXPECT_FALSE(ABAddressBookAddRecord(failing, contact("粉丝", "5"), nullptr));
    EXPECT_EQ(ABAddressBookGetPersonCount(ABAddressBookCreate()), 4);
}

TEST_F(AddressBook, PermissionDecidesWhatAHandleMayDo)
{
    addressbook::setAuthorizationStatus(kABAuthorizationStatusNotDetermined);
    NSErrorRef error;
    auto undecided = ABAddressBookCreateWithOptions(Value(), &error);
    ASSERT_TRUE(undecided); // usable once the user says yes
    ABAddressBookAddRecord(undecided, contact("粉丝", "1"), nullptr);
    EXPECT_FALSE(ABAddressBookSave(undecided, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), kABOperationNotPermittedByUserError);

    for (auto status : { kABAuthorizationStatusDenied, kABAuthorizationStatusRestricted }) {
        addressbook::setAuthorizationStatus(status);
        error = nullptr;
        EXPECT_FALSE(ABAddressBookCreateWithOptions(Value(), &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), ABAddressBookErrorDomain);
        EXPECT_EQ(error->code(), kABOperationNotPermittedByUserError);
        // The import screen does not look at results: a null handle must be harmless.
        EXPECT_FALSE(ABAddressBookAddRecord(nullptr, contact("粉丝", "1"), nullptr));
        EXPECT_FALSE(ABAddressBookSave(nullptr, nullptr));
        EXPECT_TRUE(ABAddressBookCopyArrayOfAllPeople(nullptr).empty());
        EXPECT_FALSE(ABAddressBookRemoveRecord(nullptr, nullptr, nullptr));
    }
    addressbook::setAuthorizationStatus(kABAuthorizationStatusAuthorized);
    EXPECT_TRUE(ABAddressBookSave(undecided, nullptr));
    EXPECT_EQ(ABAddressBookGetPersonCount(ABAddressBookCreate()), 1);
}

namespace {

struct AccessReply {
    std::binary_semaphore done { 0 };
    bool granted = false;
    NSErrorRef error;
    std::thread::id thread;
};

void requestAccess(AccessReply& reply)
{
    ABAddressBookRequestAccessWithCompletion(ABAddressBookCreate(), [&reply](bool granted, NSErrorRef error) {
        reply.granted = granted;
        reply.error = error;
        reply.thread = std::this_thread::get_id();
        reply.done.release();
    });
}

}

TEST_F(AddressBook, AccessRequestsAreAnsweredOffTheCallingThread)
{
    addressbook::setAuthorizationStatus(kABAuthorizationStatusNotDetermined);
    AccessReply granted;
    requestAccess(granted);
    ASSERT_TRUE(granted.done.try_acquire_for(std::chrono::seconds(10)));
    EXPECT_TRUE(granted.granted);
    EXPECT_FALSE(granted.error);
    EXPECT_NE(granted.thread, std::this_thread::get_id());
    EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), kABAuthorizationStatusAuthorized);

    // Once decided, the user is not asked again.
    addressbook::setAccessPromptAnswer(addressbook::AccessPromptAnswer::Deny);
    AccessReply again;
    requestAccess(again);
    ASSERT_TRUE(again.done.try_acquire_for(std::chrono::seconds(10)));
    EXPECT_TRUE(again.granted);

    addressbook::setAuthorizationStatus(kABAuthorizationStatusNotDetermined);
    AccessReply denied;
    requestAccess(denied);
    ASSERT_TRUE(denied.done.try_acquire_for(std::chrono::seconds(10)));
    EXPECT_FALSE(denied.granted);
    ASSERT_TRUE(denied.error);
    EXPECT_EQ(denied.error->code(), kABOperationNotPermittedByUserError);
    EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), kABAuthorizationStatusDenied);

    addressbook::setAuthorizationStatus(kABAuthorizationStatusRestricted);
    AccessReply restricted;
    requestAccess(restricted);
    ASSERT_TRUE(restricted.done.try_acquire_for(std::chrono::seconds(10)));
    EXPECT_FALSE(restricted.granted);
}

TEST_F(AddressBook, TheUserAnswersLaterFromAnotherThreadWhileTheCallerBlocks)
{
    addressbook::setAuthorizationStatus(kABAuthorizationStatusNotDetermined);
    addressbook::setAccessPromptAnswer(addressbook::AccessPromptAnswer::Wait);
    EXPECT_FALSE(addressbook::answerAccessPrompt(true)); // nothing asked yet
    AccessReply reply;
    std::thread user([] {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!addressbook::accessPromptIsShowing() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        addressbook::answerAccessPrompt(true);
    });
    requestAccess(reply);
    // As the home screen does: block this thread until the answer arrives.
    bool answered = reply.done.try_acquire_for(std::chrono::seconds(10));
    user.join();
    ASSERT_TRUE(answered);
    EXPECT_TRUE(reply.granted);
    EXPECT_FALSE(addressbook::accessPromptIsShowing());
    EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), kABAuthorizationStatusAuthorized);
}
