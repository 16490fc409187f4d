// Set-up shared by the address-book tests: a fresh home with access granted, contacts made as
// the import screen makes them, the numbers the store holds, and SQL run on the store's file.
#pragma once

#include "platform/addressbook/ABAddressBook.h"
#include "platform/addressbook/ABTestSeams.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "testing/TempHome.h"

namespace addressbook_test {

inline ABRecordRef contact(const Value& first, const std::string& phone, const Value& last = Value())
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

// The import screen: a new handle and a save for the number.
inline bool saveContact(const std::string& number)
{
    NSErrorRef error;
    auto book = ABAddressBookCreateWithOptions(Value(), &error);
    return book && ABAddressBookAddRecord(book, contact("粉丝", number), nullptr) && ABAddressBookSave(book, &error);
}

// The first phone number of each person.
inline std::vector<std::string> phonesOf(const std::vector<ABRecordRef>& people)
{
    std::vector<std::string> phones;
    for (const auto& person : people) {
        auto multi = ABRecordCopyValue(person, kABPersonPhoneProperty).asObject<ABMultiValue>();
        phones.push_back(ABMultiValueCopyValueAtIndex(multi, 0).asString());
    }
    return phones;
}

inline std::vector<std::string> storedPhones()
{
    return phonesOf(ABAddressBookCopyArrayOfAllPeople(ABAddressBookCreate()));
}

class AddressBookHome : public ::testing::Test {
protected:
    void SetUp() override
    {
        addressbook::resetTestSeams();
        addressbook::setAuthorizationStatus(kABAuthorizationStatusAuthorized);
    }
    void TearDown() override { addressbook::resetTestSeams(); }

    // Runs the SQL on the store's file; the first column of the last row it gives, or the error.
    std::string sql(const char* statement) const
    {
        sqlite3* db = nullptr;
        std::string result = "cannot open";
        if (sqlite3_open(home.pathFor("Library/AddressBook/AddressBook.sqlite").c_str(), &db) == SQLITE_OK) {
            result.clear();
            sqlite3_busy_timeout(db, 10000);
            auto firstColumn = [](void* out, int, char** values, char**) {
                *static_cast<std::string*>(out) = values[0] ? values[0] : "";
                return 0;
            };
            if (sqlite3_exec(db, statement, firstColumn, &result, nullptr) != SQLITE_OK)
                result = std::string("error: ") + sqlite3_errmsg(db);
        }
        sqlite3_close(db);
        return result;
    }

    testing_support::TempHome home;
};

} // namespace addressbook_test
