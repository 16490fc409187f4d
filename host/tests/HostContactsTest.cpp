// "contacts": the address book's people as the host prints them, written through the platform.
#include <gtest/gtest.h>

#include <sstream>

#include "host/Driver.h"
#include "host/tests/HostRun.h"
#include "platform/addressbook/ABAddressBook.h"
#include "platform/addressbook/ABTestSeams.h"
#include "testing/TempHome.h"
#include "testing/VirtualTime.h"

namespace {

using host_test::contains;

class HostContacts : public ::testing::Test {
protected:
    void SetUp() override
    {
        addressbook::resetTestSeams();
        addressbook::setAuthorizationStatus(kABAuthorizationStatusAuthorized);
    }
    void TearDown() override { addressbook::resetTestSeams(); }

    // Adds and saves one person; `phones` holds (label, number) pairs, an empty label meaning none.
    ABRecordRef addPerson(const Value& first, const Value& last, std::vector<std::pair<std::string, std::string>> phones)
    {
        auto book = ABAddressBookCreateWithOptions({}, nullptr);
        auto person = ABPersonCreate();
        if (!first.isAbsent())
            ABRecordSetValue(person, kABPersonFirstNameProperty, first, nullptr);
        if (!last.isAbsent())
            ABRecordSetValue(person, kABPersonLastNameProperty, last, nullptr);
        if (!phones.empty()) {
            auto numbers = ABMultiValueCreateMutable(kABMultiStringPropertyType);
            for (const auto& [label, number] : phones)
                ABMultiValueAddValueAndLabel(numbers, number, label.empty() ? Value() : Value(label), nullptr);
            ABRecordSetValue(person, kABPersonPhoneProperty, Value(numbers), nullptr);
        }
        EXPECT_TRUE(ABAddressBookAddRecord(book, person, nullptr));
        EXPECT_TRUE(ABAddressBookSave(book, nullptr));
        return person;
    }

    std::string contacts(int* failures = nullptr)
    {
        std::ostringstream out;
        host::Driver driver(out);
        driver.execute("contacts");
        if (failures)
            *failures = driver.failures();
        return out.str();
    }

    testing_support::VirtualTime time;
    testing_support::TempHome home;
};

TEST_F(HostContacts, ListsEveryPersonInSaveOrderWithNamesAndLabelledPhones)
{
    addPerson("粉丝", {}, { { kABPersonPhoneMobileLabel, "13800000001" } });
    addPerson("Ann \"A\"", "Lee", { { kABPersonPhoneMobileLabel, "1" }, { kABHomeLabel, "020 2" }, { "", "3" } });
    addPerson({}, {}, {});
    addPerson("粉丝", "", { { kABPersonPhoneMobileLabel, "13800000002" } });

    int failures = 0;
    EXPECT_EQ(contacts(&failures), "contacts: 4\n"
                                   "  first=\"粉丝\" last=(none) phones=[Mobile \"13800000001\"]\n"
                                   "  first=\"Ann \\\"A\\\"\" last=\"Lee\" phones=[Mobile \"1\", Home \"020 2\", (none) \"3\"]\n"
                                   "  first=(none) last=(none) phones=[]\n"
                                   "  first=\"粉丝\" last=\"\" phones=[Mobile \"13800000002\"]\n");
    EXPECT_EQ(failures, 0);
}

TEST_F(HostContacts, ShowsRemovalsAndAnEmptyBook)
{
    EXPECT_EQ(contacts(), "contacts: 0\n");
    auto gone = addPerson("粉丝", {}, { { kABPersonPhoneMobileLabel, "13800000001" } });
    addPerson("Bo", {}, {});
    auto book = ABAddressBookCreateWithOptions({}, nullptr);
    for (const auto& person : ABAddressBookCopyArrayOfAllPeople(book)) {
        if (ABRecordGetRecordID(person) == ABRecordGetRecordID(gone))
            ABAddressBookRemoveRecord(book, person, nullptr);
    }
    ASSERT_TRUE(ABAddressBookSave(book, nullptr));
    EXPECT_EQ(contacts(), "contacts: 1\n  first=\"Bo\" last=(none) phones=[]\n");
}

TEST_F(HostContacts, FailsClearlyWithoutAccess)
{
    addPerson("粉丝", {}, {});
    addressbook::setAuthorizationStatus(kABAuthorizationStatusDenied);
    int failures = 0;
    EXPECT_EQ(contacts(&failures), "error: contacts: no access to the address book (denied)\n");
    EXPECT_EQ(failures, 1);
    addressbook::setAuthorizationStatus(kABAuthorizationStatusNotDetermined);
    EXPECT_TRUE(contains(contacts(), "(not asked yet)"));
}

} // namespace
