// Set-up shared by the address-book tests: a fresh home with access granted, contacts made as
// the import screen makes them, the numbers the store holds, and SQL run on the store's file.
#pragma once

#include "platform/addressbook/ABAddressBook.h"
#include "platform/addressbook/ABTestSeams.h"
#include "platform/persistence/SqliteConnection.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "testing/TempHome.h"

namespace addressbook_test {

inline ABRecordRef contact(const std::string& first, const std::string& phone)
{
    auto person = ABPersonCreate();
    ABRecordSetValue(person, kABPersonFirstNameProperty, first, nullptr);
    auto phones = ABMultiValueCreateMutable(kABMultiStringPropertyType);
    ABMultiValueAddValueAndLabel(phones, phone, kABPersonPhoneMobileLabel, nullptr);
    ABRecordSetValue(person, kABPersonPhoneProperty, Value(phones), nullptr);
    return person;
}

// The import screen: a new handle and a save for the number.
inline bool saveContact(const std::string& number)
{
    NSErrorRef error;
    auto book = ABAddressBookCreateWithOptions(Value(), &error);
    return book && ABAddressBookAddRecord(book, contact("粉丝", number), nullptr) && ABAddressBookSave(book, &error);
}

// The first phone number of each person (of a new handle when none are given).
inline std::vector<std::string> storedPhones(const std::vector<ABRecordRef>& people = ABAddressBookCopyArrayOfAllPeople(ABAddressBookCreate()))
{
    std::vector<std::string> phones;
    for (const auto& person : people)
        phones.push_back(ABMultiValueCopyValueAtIndex(ABRecordCopyValue(person, kABPersonPhoneProperty).asObject<ABMultiValue>(), 0).asString());
    return phones;
}

class AddressBookHome : public ::testing::Test {
protected:
    void SetUp() override { addressbook::resetTestSeams(), addressbook::setAuthorizationStatus(kABAuthorizationStatusAuthorized); }
    void TearDown() override { addressbook::resetTestSeams(), addressbook::setSystemAsksForAccess(true); }

    // Runs one statement on the store's file: the first column of its first row, "" or the error.
    std::string sql(const char* statement) const
    {
        std::string error;
        auto db = persistence::SqliteConnection::open(home.pathFor("Library/AddressBook/AddressBook.sqlite"), "", "NORMAL", &error);
        if (!db)
            return error;
        auto rows = db->prepare(statement);
        int step = rows.step();
        return step == SQLITE_ROW ? rows.text(0) : step == SQLITE_DONE ? "" : "error: " + db->lastError();
    }

    testing_support::TempHome home;
};

} // namespace addressbook_test
