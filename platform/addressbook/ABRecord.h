// Person records and multi-values. A record holds its properties in memory; it reaches the
// address-book file only through ABAddressBookAddRecord and ABAddressBookSave. Values go in
// and out as copies, so changing a multi-value after setting it changes nothing in the record.
// A record is used by one thread at a time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

using CFIndex = long;
using ABRecordID = std::int32_t;
using ABPropertyID = std::int32_t;
using ABPropertyType = std::uint32_t;
using ABMultiValueIdentifier = std::int32_t;

inline constexpr ABRecordID kABRecordInvalidID = -1;
inline constexpr ABMultiValueIdentifier kABMultiValueInvalidIdentifier = -1;

inline constexpr ABPropertyType kABInvalidPropertyType = 0;
inline constexpr ABPropertyType kABStringPropertyType = 1;
inline constexpr ABPropertyType kABMultiValueMask = 256;
inline constexpr ABPropertyType kABMultiStringPropertyType = kABMultiValueMask | kABStringPropertyType; // 257

inline constexpr ABPropertyID kABPersonFirstNameProperty = 0;
inline constexpr ABPropertyID kABPersonLastNameProperty = 1;
inline constexpr ABPropertyID kABPersonPhoneProperty = 3;

// Labels of phone numbers, and the general ones.
inline constexpr const char* kABPersonPhoneMobileLabel = "Mobile";
inline constexpr const char* kABPersonPhoneMainLabel = "Main";
inline constexpr const char* kABPersonPhoneHomeFAXLabel = "HomeFAX";
inline constexpr const char* kABPersonPhoneWorkFAXLabel = "WorkFAX";
inline constexpr const char* kABPersonPhonePagerLabel = "Pager";
inline constexpr const char* kABHomeLabel = "Home";
inline constexpr const char* kABWorkLabel = "Work";
inline constexpr const char* kABOtherLabel = "Other";

// An ordered list of (identifier, value, label) of one property type.
class ABMultiValue final : public NSObject {
public:
    struct Entry {
        ABMultiValueIdentifier identifier;
        Value value;
        Value label; // a string, or absent
    };
    ABMultiValue(ABPropertyType type, bool isMutable)
        : type_(type)
        , mutable_(isMutable)
    {
    }
    ABPropertyType propertyType() const { return type_; }
    bool isMutable() const { return mutable_; }
    const std::vector<Entry>& entries() const { return entries_; }
    // Used by ABMultiValueAddValueAndLabel and by the store when it reads a record back.
    ABMultiValueIdentifier add(Value value, Value label);
    void restore(ABMultiValueIdentifier identifier, Value value, Value label);
    std::shared_ptr<ABMultiValue> copy(bool isMutable) const;

    std::string className() const override { return "ABMultiValue"; }
    std::string description() const override;

private:
    ABPropertyType type_;
    bool mutable_;
    std::vector<Entry> entries_;
    ABMultiValueIdentifier nextIdentifier_ = 0;
};

using ABMultiValueRef = std::shared_ptr<ABMultiValue>;
using ABMutableMultiValueRef = std::shared_ptr<ABMultiValue>;

class ABAddressBook;

class ABRecord final : public NSObject {
public:
    ABRecordID recordID() const { return recordID_; }
    std::string className() const override { return "ABPerson"; }
    std::string description() const override;

    // The address book's side: properties, the change flag, and which book holds the record.
    const Value& value(ABPropertyID property) const;
    void setValue(ABPropertyID property, Value value);
    const std::map<ABPropertyID, Value>& values() const { return values_; }
    bool isDirty() const { return dirty_; }
    void setDirty(bool dirty) { dirty_ = dirty; }
    void setRecordID(ABRecordID id) { recordID_ = id; }
    std::shared_ptr<ABAddressBook> owner() const { return owner_.lock(); }
    void setOwner(std::weak_ptr<ABAddressBook> owner) { owner_ = std::move(owner); }

private:
    ABRecordID recordID_ = kABRecordInvalidID;
    std::map<ABPropertyID, Value> values_;
    bool dirty_ = false;
    std::weak_ptr<ABAddressBook> owner_;
};

using ABRecordRef = std::shared_ptr<ABRecord>;

ABRecordRef ABPersonCreate();
// kABPersonFirstNameProperty and kABPersonLastNameProperty take strings; kABPersonPhoneProperty
// a multi-value of kABMultiStringPropertyType (as an object Value). Anything else is refused:
// false, and an error when asked for.
bool ABRecordSetValue(const ABRecordRef& record, ABPropertyID property, const Value& value, NSErrorRef* error);
// The string, or an immutable copy of the multi-value as an object Value; absent when unset.
Value ABRecordCopyValue(const ABRecordRef& record, ABPropertyID property);
bool ABRecordRemoveValue(const ABRecordRef& record, ABPropertyID property, NSErrorRef* error);
// kABRecordInvalidID until the record's first save.
ABRecordID ABRecordGetRecordID(const ABRecordRef& record);

ABMutableMultiValueRef ABMultiValueCreateMutable(ABPropertyType type);
// Appends value (a string for string multi-values) with an optional label.
bool ABMultiValueAddValueAndLabel(const ABMutableMultiValueRef& multiValue, const Value& value, const Value& label,
    ABMultiValueIdentifier* outIdentifier);
CFIndex ABMultiValueGetCount(const ABMultiValueRef& multiValue);
// Absent outside 0..count-1.
Value ABMultiValueCopyValueAtIndex(const ABMultiValueRef& multiValue, CFIndex index);
Value ABMultiValueCopyLabelAtIndex(const ABMultiValueRef& multiValue, CFIndex index);
ABMultiValueIdentifier ABMultiValueGetIdentifierAtIndex(const ABMultiValueRef& multiValue, CFIndex index);
ABPropertyType ABMultiValueGetPropertyType(const ABMultiValueRef& multiValue);
