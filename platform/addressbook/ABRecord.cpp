// Person records and multi-values (see ABRecord.h).
#include "platform/addressbook/ABRecord.h"

#include "platform/addressbook/ABAddressBook.h"

namespace {

bool refuse(NSErrorRef* error, const char* why)
{
    if (error)
        *error = NSError::errorWithDomain(ABAddressBookErrorDomain, kABOperationNotPermittedByStoreError,
            Value::dictionary({ { NSLocalizedDescriptionKey, why } }));
    return false;
}

bool isEntryIndex(const ABMultiValueRef& multiValue, CFIndex index)
{
    return multiValue && index >= 0 && static_cast<std::size_t>(index) < multiValue->entries().size();
}

}

ABMultiValueIdentifier ABMultiValue::add(Value value, Value label)
{
    ABMultiValueIdentifier identifier = nextIdentifier_++;
    entries_.push_back({ identifier, std::move(value), std::move(label) });
    return identifier;
}

void ABMultiValue::restore(ABMultiValueIdentifier identifier, Value value, Value label)
{
    entries_.push_back({ identifier, std::move(value), std::move(label) });
    if (identifier >= nextIdentifier_)
        nextIdentifier_ = identifier + 1;
}

std::shared_ptr<ABMultiValue> ABMultiValue::copy(bool isMutable) const
{
    auto other = std::make_shared<ABMultiValue>(type_, isMutable);
    other->entries_ = entries_;
    other->nextIdentifier_ = nextIdentifier_;
    return other;
}

std::string ABMultiValue::description() const
{
    std::string text = "ABMultiValue (\n";
    for (const auto& entry : entries_)
        text += "    " + std::to_string(entry.identifier) + " " + entry.label.description() + " "
            + entry.value.description() + "\n";
    return text + ")";
}

const Value& ABRecord::value(ABPropertyID property) const
{
    auto it = values_.find(property);
    return it == values_.end() ? absentValue() : it->second;
}

void ABRecord::setValue(ABPropertyID property, Value value)
{
    if (value.isAbsent())
        values_.erase(property);
    else
        values_[property] = std::move(value);
}

std::string ABRecord::description() const
{
    return "<ABPerson " + std::to_string(recordID_) + " " + value(kABPersonFirstNameProperty).description() + " "
        + value(kABPersonLastNameProperty).description() + ">";
}

ABRecordRef ABPersonCreate() { return std::make_shared<ABRecord>(); }

bool ABRecordSetValue(const ABRecordRef& record, ABPropertyID property, const Value& value, NSErrorRef* error)
{
    if (!record)
        return refuse(error, "No record.");
    if (property == kABPersonFirstNameProperty || property == kABPersonLastNameProperty) {
        if (!value.isString())
            return refuse(error, "A name must be a string.");
        record->setValue(property, value);
        record->setDirty(true);
        return true;
    }
    if (property == kABPersonPhoneProperty) {
        auto multi = value.asObject<ABMultiValue>();
        if (!multi || multi->propertyType() != kABMultiStringPropertyType)
            return refuse(error, "Phone numbers must be a multi-string value.");
        record->setValue(property, Value(multi->copy(false)));
        record->setDirty(true);
        return true;
    }
    return refuse(error, "Unknown property.");
}

Value ABRecordCopyValue(const ABRecordRef& record, ABPropertyID property)
{
    if (!record)
        return Value();
    const Value& value = record->value(property);
    if (auto multi = value.asObject<ABMultiValue>())
        return Value(multi->copy(false));
    return value;
}

bool ABRecordRemoveValue(const ABRecordRef& record, ABPropertyID property, NSErrorRef* error)
{
    if (!record)
        return refuse(error, "No record.");
    record->setValue(property, Value());
    record->setDirty(true);
    return true;
}

ABRecordID ABRecordGetRecordID(const ABRecordRef& record) { return record ? record->recordID() : kABRecordInvalidID; }

ABMutableMultiValueRef ABMultiValueCreateMutable(ABPropertyType type)
{
    if (!(type & kABMultiValueMask))
        return nullptr;
    return std::make_shared<ABMultiValue>(type, true);
}

bool ABMultiValueAddValueAndLabel(const ABMutableMultiValueRef& multiValue, const Value& value, const Value& label,
    ABMultiValueIdentifier* outIdentifier)
{
    if (outIdentifier)
        *outIdentifier = kABMultiValueInvalidIdentifier;
    if (!multiValue || !multiValue->isMutable() || value.isAbsent())
        return false;
    if (multiValue->propertyType() == kABMultiStringPropertyType && !value.isString())
        return false;
    if (!label.isAbsent() && !label.isString())
        return false;
    ABMultiValueIdentifier identifier = multiValue->add(value, label);
    if (outIdentifier)
        *outIdentifier = identifier;
    return true;
}

CFIndex ABMultiValueGetCount(const ABMultiValueRef& multiValue)
{
    return multiValue ? static_cast<CFIndex>(multiValue->entries().size()) : 0;
}

Value ABMultiValueCopyValueAtIndex(const ABMultiValueRef& multiValue, CFIndex index)
{
    return isEntryIndex(multiValue, index) ? multiValue->entries()[index].value : Value();
}

Value ABMultiValueCopyLabelAtIndex(const ABMultiValueRef& multiValue, CFIndex index)
{
    return isEntryIndex(multiValue, index) ? multiValue->entries()[index].label : Value();
}

ABMultiValueIdentifier ABMultiValueGetIdentifierAtIndex(const ABMultiValueRef& multiValue, CFIndex index)
{
    return isEntryIndex(multiValue, index) ? multiValue->entries()[index].identifier : kABMultiValueInvalidIdentifier;
}

ABPropertyType ABMultiValueGetPropertyType(const ABMultiValueRef& multiValue)
{
    return multiValue ? multiValue->propertyType() : kABInvalidPropertyType;
}
