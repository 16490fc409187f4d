// Listing the address book's people, one line each.
#include "host/Contacts.h"

#include <algorithm>

#include "platform/addressbook/ABAddressBook.h"

namespace host {
namespace {

std::string quotedOrNone(const Value& value)
{
    if (!value.isString())
        return "(none)";
    std::string out = "\"";
    for (char c : value.asString()) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string phonesOf(const ABRecordRef& person)
{
    std::string out = "[";
    auto phones = ABRecordCopyValue(person, kABPersonPhoneProperty).asObject<ABMultiValue>();
    CFIndex count = phones ? ABMultiValueGetCount(phones) : 0;
    for (CFIndex i = 0; i < count; ++i) {
        if (i > 0)
            out += ", ";
        Value label = ABMultiValueCopyLabelAtIndex(phones, i);
        out += label.isString() ? label.asString() : "(none)";
        out += " " + quotedOrNone(ABMultiValueCopyValueAtIndex(phones, i));
    }
    return out + "]";
}

std::string accessText(ABAuthorizationStatus status)
{
    switch (status) {
    case kABAuthorizationStatusNotDetermined:
        return "not asked yet";
    case kABAuthorizationStatusRestricted:
        return "restricted";
    case kABAuthorizationStatusDenied:
        return "denied";
    case kABAuthorizationStatusAuthorized:
        return "granted";
    }
    return "unknown";
}

} // namespace

ContactListing listContacts()
{
    ContactListing listing;
    auto status = ABAddressBookGetAuthorizationStatus();
    if (status != kABAuthorizationStatusAuthorized) {
        listing.error = "no access to the address book (" + accessText(status) + ")";
        return listing;
    }
    NSErrorRef error;
    auto book = ABAddressBookCreateWithOptions({}, &error);
    if (!book) {
        listing.error = "the address book cannot be opened";
        return listing;
    }
    auto people = ABAddressBookCopyArrayOfAllPeople(book);
    std::stable_sort(people.begin(), people.end(), [](const ABRecordRef& a, const ABRecordRef& b) {
        return ABRecordGetRecordID(a) < ABRecordGetRecordID(b);
    });
    for (const auto& person : people) {
        listing.lines.push_back("first=" + quotedOrNone(ABRecordCopyValue(person, kABPersonFirstNameProperty))
            + " last=" + quotedOrNone(ABRecordCopyValue(person, kABPersonLastNameProperty))
            + " phones=" + phonesOf(person));
    }
    listing.ok = true;
    return listing;
}

} // namespace host
