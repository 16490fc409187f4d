// The address book as the import and clear screens use it: one handle and one save per
// contact, a clear that removes exactly the app's contacts, atomic saves, unsaved handles
// that leave nothing behind, and the user's permission.
#include <chrono>
#include <semaphore>
#include <thread>

#include "platform/addressbook/tests/AddressBookFixture.h"

using namespace addressbook_test;

namespace {

using AddressBook = AddressBookHome;

void import(std::initializer_list<std::string> numbers)
{
    for (const auto& number : numbers)
        ASSERT_TRUE(saveContact(number)) << number;
}

} // namespace

TEST_F(AddressBook, ImportedContactsAreStoredAndClearRemovesExactlyTheAppsInOneSave)
{
    import({ "1", "2", "1" }); // the same page twice duplicates
    auto imported = ABAddressBookCopyArrayOfAllPeople(ABAddressBookCreate());
    EXPECT_EQ(phonesOf(imported), (std::vector<std::string> { "1", "2", "1" }));
    EXPECT_EQ(ABRecordCopyValue(imported[0], kABPersonFirstNameProperty), Value("粉丝"));
    auto phones = ABRecordCopyValue(imported[1], kABPersonPhoneProperty).asObject<ABMultiValue>();
    EXPECT_EQ(ABMultiValueCopyLabelAtIndex(phones, 0), Value(kABPersonPhoneMobileLabel));
    EXPECT_NE(ABRecordGetRecordID(imported[0]), ABRecordGetRecordID(imported[1]));
    EXPECT_NE(ABRecordGetRecordID(imported[0]), kABRecordInvalidID);

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
    EXPECT_EQ(ABAddressBookGetPersonCount(ABAddressBookCreate()), 7); // others do not, until the save
    ASSERT_TRUE(ABAddressBookSave(book, nullptr));
    EXPECT_EQ(storedPhones(), (std::vector<std::string> { "3", "4", "6" }));
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
    ASSERT_EQ(sql("CREATE TRIGGER full BEFORE INSERT ON people WHEN (SELECT count(*) FROM people) >= 2 "
                  "BEGIN SELECT RAISE(ABORT, 'disk full'); END;"),
        "");
    auto book = ABAddressBookCreate();
    for (const char* number : { "1", "2", "3" })
        ABAddressBookAddRecord(book, contact("粉丝", number), nullptr);
    NSErrorRef error;
    EXPECT_FALSE(ABAddressBookSave(book, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), kABOperationNotPermittedByStoreError);
    EXPECT_EQ(storedPhones(), std::vector<std::string> { "0" });
    EXPECT_TRUE(ABAddressBookHasUnsavedChanges(book));
    // The failed save assigned no identifiers: the three are still new.
    auto seen = ABAddressBookCopyArrayOfAllPeople(book);
    ASSERT_EQ(seen.size(), 4u);
    for (std::size_t i = 1; i < seen.size(); ++i)
        EXPECT_EQ(ABRecordGetRecordID(seen[i]), kABRecordInvalidID);

    // The same handle saves everything once the store takes it.
    ASSERT_EQ(sql("DROP TRIGGER full;"), "");
    ASSERT_TRUE(ABAddressBookSave(book, nullptr));
    EXPECT_EQ(storedPhones(), (std::vector<std::string> { "0", "1", "2", "3" }));
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
    bool answered, granted;
    std::int64_t errorCode;
    bool offTheCallingThread;
    bool operator==(const AccessReply&) const = default;
};

// Asks for access and blocks until the answer arrives, as the home screen does.
AccessReply requestAccess()
{
    struct Reply {
        std::binary_semaphore done { 0 };
        AccessReply got {};
    };
    auto reply = std::make_shared<Reply>();
    auto caller = std::this_thread::get_id();
    ABAddressBookRequestAccessWithCompletion(ABAddressBookCreate(), [reply, caller](bool granted, NSErrorRef error) {
        reply->got = { true, granted, error ? error->code() : 0, std::this_thread::get_id() != caller };
        reply->done.release();
    });
    reply->done.try_acquire_for(std::chrono::seconds(10));
    return reply->got;
}

} // namespace

TEST_F(AddressBook, AccessRequestsAreAnsweredOffTheCallingThread)
{
    using Answer = addressbook::AccessPromptAnswer;
    const AccessReply yes { true, true, 0, true }, no { true, false, kABOperationNotPermittedByUserError, true };
    const struct {
        const char* name;
        ABAuthorizationStatus before;
        Answer answer;
        AccessReply reply;
        ABAuthorizationStatus after;
    } cases[] = {
        { "the user says yes", kABAuthorizationStatusNotDetermined, Answer::Grant, yes,
            kABAuthorizationStatusAuthorized },
        { "decided: not asked again", kABAuthorizationStatusAuthorized, Answer::Deny, yes,
            kABAuthorizationStatusAuthorized },
        { "the user says no", kABAuthorizationStatusNotDetermined, Answer::Deny, no, kABAuthorizationStatusDenied },
        { "restricted", kABAuthorizationStatusRestricted, Answer::Grant, no, kABAuthorizationStatusRestricted },
    };
    for (const auto& c : cases) {
        addressbook::setAuthorizationStatus(c.before);
        addressbook::setAccessPromptAnswer(c.answer);
        EXPECT_TRUE(requestAccess() == c.reply) << c.name;
        EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), c.after) << c.name;
    }
}

TEST_F(AddressBook, TheUserAnswersLaterFromAnotherThreadWhileTheCallerBlocks)
{
    addressbook::setAuthorizationStatus(kABAuthorizationStatusNotDetermined);
    addressbook::setAccessPromptAnswer(addressbook::AccessPromptAnswer::Wait);
    EXPECT_FALSE(addressbook::answerAccessPrompt(true)); // nothing asked yet
    std::thread user([] {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!addressbook::accessPromptIsShowing() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        addressbook::answerAccessPrompt(true);
    });
    auto reply = requestAccess();
    user.join();
    EXPECT_TRUE(reply == (AccessReply { true, true, 0, true }));
    EXPECT_FALSE(addressbook::accessPromptIsShowing());
    EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), kABAuthorizationStatusAuthorized);
}
