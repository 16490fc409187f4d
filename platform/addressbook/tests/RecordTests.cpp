// Person records and multi-values: what they accept, and that values go in and out as copies.
#include "platform/addressbook/ABRecord.h"

#include <gtest/gtest.h>

TEST(ABRecord, NamesAndPhonesAreTypeCheckedAndCopied)
{
    auto person = ABPersonCreate();
    NSErrorRef error;
    EXPECT_TRUE(ABRecordSetValue(person, kABPersonFirstNameProperty, "粉丝", &error));
    EXPECT_FALSE(ABRecordSetValue(person, kABPersonLastNameProperty, 12, &error));
    EXPECT_EQ(error ? error->domain() : "", "ABAddressBookErrorDomain");
    EXPECT_FALSE(ABRecordSetValue(person, kABPersonPhoneProperty, "13800138000", nullptr));
    EXPECT_FALSE(ABRecordSetValue(person, 99, "x", nullptr));
    EXPECT_FALSE(ABRecordSetValue(nullptr, kABPersonFirstNameProperty, "x", nullptr));
    EXPECT_TRUE(ABRecordCopyValue(person, kABPersonLastNameProperty).isAbsent()) << "a refused value is not kept";

    auto phones = ABMultiValueCreateMutable(kABMultiStringPropertyType);
    ABMultiValueIdentifier first = -5, second = -5;
    EXPECT_TRUE(ABMultiValueAddValueAndLabel(phones, "13800138000", kABPersonPhoneMobileLabel, &first));
    EXPECT_TRUE(ABMultiValueAddValueAndLabel(phones, "010-1234", Value(), &second));
    EXPECT_NE(first, second);
    EXPECT_FALSE(ABMultiValueAddValueAndLabel(phones, 42, kABHomeLabel, nullptr)); // not a string
    ASSERT_TRUE(ABRecordSetValue(person, kABPersonPhoneProperty, Value(phones), nullptr));

    // Changing the caller's multi-value later does not reach the record.
    ABMultiValueAddValueAndLabel(phones, "999", kABWorkLabel, nullptr);
    auto stored = ABRecordCopyValue(person, kABPersonPhoneProperty).asObject<ABMultiValue>();
    ASSERT_TRUE(stored);
    EXPECT_EQ(std::pair(ABMultiValueGetCount(stored), ABMultiValueCopyValueAtIndex(stored, 0)), std::pair(CFIndex(2), Value("13800138000")));
    EXPECT_TRUE(ABMultiValueCopyLabelAtIndex(stored, 1).isAbsent());
    EXPECT_TRUE(ABMultiValueCopyValueAtIndex(stored, 2).isAbsent() && ABMultiValueCopyValueAtIndex(stored, -1).isAbsent());
    EXPECT_EQ(ABMultiValueGetIdentifierAtIndex(stored, 1), second);
    // A copied value is immutable.
    EXPECT_FALSE(ABMultiValueAddValueAndLabel(stored, "1", Value(), nullptr));
    EXPECT_EQ(ABMultiValueGetCount(nullptr), 0);
    EXPECT_FALSE(ABMultiValueCreateMutable(kABStringPropertyType)) << "a multi-value holds strings only";
}
