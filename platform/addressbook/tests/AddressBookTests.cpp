// The address book beneath the import and clear screens (the prospecting tests walk both through
// the app): handles that keep their changes to themselves until they save, atomic saves, and the
// user's permission, asked off the calling thread and answered later while the caller blocks.
#include <chrono>
#include <future>
#include <thread>

#include "platform/addressbook/tests/AddressBookFixture.h"

using namespace addressbook_test;

using AddressBook = AddressBookHome;

TEST_F(AddressBook, AHandleKeepsItsChangesUntilItSavesThem)
{
    for (const char* number : { "1", "2", "1" }) // the same page twice duplicates
        ASSERT_TRUE(saveContact(number)) << number;
    auto stored = ABAddressBookCopyArrayOfAllPeople(ABAddressBookCreate());
    EXPECT_EQ(storedPhones(stored), (std::vector<std::string> { "1", "2", "1" }));
    EXPECT_NE(ABRecordGetRecordID(stored[0]), ABRecordGetRecordID(stored[1]));
    EXPECT_NE(ABRecordGetRecordID(stored[0]), kABRecordInvalidID);

    // A removal is seen by its own handle only, until the save.
    auto book = ABAddressBookCreate();
    ASSERT_TRUE(ABAddressBookRemoveRecord(book, ABAddressBookCopyArrayOfAllPeople(book)[0], nullptr));
    EXPECT_TRUE(ABAddressBookHasUnsavedChanges(book));
    EXPECT_EQ(std::pair(ABAddressBookGetPersonCount(book), ABAddressBookGetPersonCount(ABAddressBookCreate())), (std::pair<CFIndex, CFIndex>(2, 3)));
    ASSERT_TRUE(ABAddressBookSave(book, nullptr));
    EXPECT_EQ(storedPhones(), (std::vector<std::string> { "2", "1" }));

    {
        auto unsaved = ABAddressBookCreate();
        ASSERT_TRUE(ABAddressBookAddRecord(unsaved, contact("粉丝", "9"), nullptr));
        EXPECT_EQ(ABAddressBookGetPersonCount(unsaved), 3);
    }
    EXPECT_EQ(ABAddressBookGetPersonCount(ABAddressBookCreate()), 2) << "a handle released unsaved leaves nothing";

    // Editing a stored person is a change of the handle that read it.
    auto editor = ABAddressBookCreate();
    auto people = ABAddressBookCopyArrayOfAllPeople(editor);
    ABRecordSetValue(people[0], kABPersonLastNameProperty, "Li", nullptr);
    EXPECT_TRUE(ABAddressBookHasUnsavedChanges(editor));
    ASSERT_TRUE(ABAddressBookSave(editor, nullptr));
    EXPECT_FALSE(ABAddressBookHasUnsavedChanges(editor));
    EXPECT_EQ(ABRecordCopyValue(ABAddressBookCopyArrayOfAllPeople(ABAddressBookCreate()).at(0), kABPersonLastNameProperty), Value("Li"));
    EXPECT_FALSE(ABAddressBookAddRecord(ABAddressBookCreate(), people[0], nullptr)) << "a record of one handle joins no other";
}

TEST_F(AddressBook, SavesAreAllOrNothing)
{
    ASSERT_TRUE(saveContact("0"));
    // The store refuses the third person of the next save.
    ASSERT_EQ(sql("CREATE TRIGGER full BEFORE INSERT ON people WHEN (SELECT count(*) FROM people) >= 2 "
                  "BEGIN SELECT RAISE(ABORT, 'disk full'); END;"), "");
    auto book = ABAddressBookCreate();
    for (const char* number : { "1", "2", "3" })
        ABAddressBookAddRecord(book, contact("粉丝", number), nullptr);
    NSErrorRef error;
    EXPECT_FALSE(ABAddressBookSave(book, &error));
    EXPECT_EQ(error ? error->code() : 0, kABOperationNotPermittedByStoreError);
    EXPECT_EQ(storedPhones(), std::vector<std::string> { "0" });
    EXPECT_TRUE(ABAddressBookHasUnsavedChanges(book));
    auto seen = ABAddressBookCopyArrayOfAllPeople(book);
    for (std::size_t i = 1; i < 4; ++i) // the failed save assigned no identifiers
        EXPECT_EQ(ABRecordGetRecordID(seen.at(i)), kABRecordInvalidID) << i;

    // The same handle saves everything once the store takes it.
    ASSERT_EQ(sql("DROP TRIGGER full;"), "");
    ASSERT_TRUE(ABAddressBookSave(book, nullptr));
    EXPECT_EQ(storedPhones(), (std::vector<std::string> { "0", "1", "2", "3" }));
}

namespace {

// (answered, granted, error code, off the calling thread)
using AccessReply = std::tuple<bool, bool, std::int64_t, bool>;

// Asks for access and blocks until the answer arrives, as the home screen does.
AccessReply requestAccess()
{
    auto reply = std::make_shared<std::promise<AccessReply>>();
    auto answer = reply->get_future();
    auto caller = std::this_thread::get_id();
    ABAddressBookRequestAccessWithCompletion(ABAddressBookCreate(), [reply, caller](bool granted, NSErrorRef error) {
        reply->set_value({ true, granted, error ? error->code() : 0, std::this_thread::get_id() != caller });
    });
    return answer.wait_for(std::chrono::seconds(10)) == std::future_status::ready ? answer.get() : AccessReply {};
}

const AccessReply yes { true, true, 0, true }, no { true, false, kABOperationNotPermittedByUserError, true };

} // namespace

TEST_F(AddressBook, AccessRequestsAreAnsweredOffTheCallingThread)
{
    using Answer = addressbook::AccessPromptAnswer;
    const std::tuple<const char*, ABAuthorizationStatus, Answer, AccessReply, ABAuthorizationStatus> cases[] = {
        { "the user says yes", kABAuthorizationStatusNotDetermined, Answer::Grant, yes, kABAuthorizationStatusAuthorized },
        { "decided: not asked again", kABAuthorizationStatusAuthorized, Answer::Deny, yes, kABAuthorizationStatusAuthorized },
        { "the user says no", kABAuthorizationStatusNotDetermined, Answer::Deny, no, kABAuthorizationStatusDenied },
        { "restricted", kABAuthorizationStatusRestricted, Answer::Grant, no, kABAuthorizationStatusRestricted },
    };
    for (const auto& [name, before, answer, reply, after] : cases) {
        addressbook::setAuthorizationStatus(before);
        addressbook::setAccessPromptAnswer(answer);
        EXPECT_EQ(requestAccess(), reply) << name;
        EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), after) << name;
    }
    // Refused: no handle, and a null handle is harmless.
    NSErrorRef error;
    EXPECT_FALSE(ABAddressBookCreateWithOptions(Value(), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(std::tuple(error->domain(), error->code()),
        std::tuple(std::string(ABAddressBookErrorDomain), kABOperationNotPermittedByUserError));
    EXPECT_FALSE(ABAddressBookAddRecord(nullptr, contact("粉丝", "1"), nullptr) || ABAddressBookSave(nullptr, nullptr)
        || ABAddressBookRemoveRecord(nullptr, nullptr, nullptr) || !ABAddressBookCopyArrayOfAllPeople(nullptr).empty());
}

TEST_F(AddressBook, TheUserAnswersLaterFromAnotherThreadWhileTheCallerBlocks)
{
    addressbook::setAuthorizationStatus(kABAuthorizationStatusNotDetermined);
    addressbook::setAccessPromptAnswer(addressbook::AccessPromptAnswer::Wait);
    EXPECT_FALSE(addressbook::answerAccessPrompt(true)); // nothing asked yet
    NSErrorRef error;
    auto undecided = ABAddressBookCreateWithOptions(Value(), &error);
    ASSERT_TRUE(undecided); // usable once the user says yes
    ABAddressBookAddRecord(undecided, contact("粉丝", "1"), nullptr);
    EXPECT_FALSE(ABAddressBookSave(undecided, &error));
    EXPECT_EQ(error ? error->code() : 0, kABOperationNotPermittedByUserError);
    std::thread user([] {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!addressbook::accessPromptIsShowing() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        addressbook::answerAccessPrompt(true);
    });
    EXPECT_EQ(requestAccess(), yes);
    user.join();
    EXPECT_FALSE(addressbook::accessPromptIsShowing());
    EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), kABAuthorizationStatusAuthorized);
    EXPECT_TRUE(ABAddressBookSave(undecided, nullptr));
    EXPECT_EQ(ABAddressBookGetPersonCount(ABAddressBookCreate()), 1);
}

TEST_F(AddressBook, ASystemThatDoesNotAskLeavesTheBookOpen)
{
    // Even a recorded refusal and a user who would refuse do not matter there.
    addressbook::setAuthorizationStatus(kABAuthorizationStatusDenied);
    addressbook::setAccessPromptAnswer(addressbook::AccessPromptAnswer::Deny);
    addressbook::setSystemAsksForAccess(false);
    EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), kABAuthorizationStatusAuthorized);
    EXPECT_TRUE(saveContact("13800000000"));
    EXPECT_EQ(storedPhones(), std::vector<std::string> { "13800000000" });
    EXPECT_EQ(requestAccess(), yes);
    addressbook::setSystemAsksForAccess(true);
    EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), kABAuthorizationStatusDenied);
    EXPECT_FALSE(saveContact("13800000001"));
}
