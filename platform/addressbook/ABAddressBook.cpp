// Address-book handles (see ABAddressBook.h).
#include "platform/addressbook/ABAddressBook.h"

#include <algorithm>

#include "platform/addressbook/ABTestSeams.h"
#include "platform/addressbook/AddressBookStore.h"

using namespace addressbook;

namespace {

bool fail(NSErrorRef* error, std::int64_t code, const std::string& why)
{
    if (error)
        *error = NSError::errorWithDomain(ABAddressBookErrorDomain, code,
            Value::dictionary({ { NSLocalizedDescriptionKey, why } }));
    return false;
}

bool authorized() { return ABAddressBookGetAuthorizationStatus() == kABAuthorizationStatusAuthorized; }

}

bool ABAddressBook::addRecord(const ABRecordRef& record, NSErrorRef* error)
{
    if (!record)
        return fail(error, kABOperationNotPermittedByStoreError, "No record.");
    if (takeFailure(StoreOperation::Add))
        return fail(error, kABOperationNotPermittedByStoreError, "The address book refused the record.");
    std::lock_guard lock(mutex_);
    auto owner = record->owner();
    if (owner && owner.get() != this)
        return fail(error, kABOperationNotPermittedByStoreError, "The record belongs to another address book.");
    if (record->recordID() != kABRecordInvalidID) {
        removed_.erase(record->recordID()); // added back before the removal was saved
        return true;
    }
    if (std::find(added_.begin(), added_.end(), record) == added_.end())
        added_.push_back(record);
    record->setOwner(weakAs<ABAddressBook>());
    return true;
}

bool ABAddressBook::removeRecord(const ABRecordRef& record, NSErrorRef* error)
{
    if (!record)
        return fail(error, kABOperationNotPermittedByStoreError, "No record.");
    std::lock_guard lock(mutex_);
    if (auto owner = record->owner(); owner && owner.get() != this)
        return fail(error, kABOperationNotPermittedByStoreError, "The record belongs to another address book.");
    if (auto it = std::find(added_.begin(), added_.end(), record); it != added_.end()) {
        added_.erase(it);
        record->setOwner({});
        return true;
    }
    if (record->recordID() == kABRecordInvalidID)
        return fail(error, kABOperationNotPermittedByStoreError, "The record is not in the address book.");
    removed_.insert(record->recordID());
    return true;
}

bool ABAddressBook::hasUnsavedChanges() const
{
    std::lock_guard lock(mutex_);
    if (!added_.empty() || !removed_.empty())
        return true;
    return std::any_of(known_.begin(), known_.end(), [](const auto& entry) { return entry.second->isDirty(); });
}

bool ABAddressBook::save(NSErrorRef* error)
{
    if (!authorized())
        return fail(error, kABOperationNotPermittedByUserError, "The user has not allowed access to the address book.");
    if (takeFailure(StoreOperation::Save))
        return fail(error, kABOperationNotPermittedByStoreError, "The address book could not be written.");
    std::string why;
    auto db = storeConnection(&why);
    if (!db)
        return fail(error, kABOperationNotPermittedByStoreError, why);
    std::lock_guard lock(mutex_);
    std::lock_guard storeLock(db->mutex());
    SqliteTransaction transaction(*db);
    if (!transaction.begun())
        return fail(error, kABOperationNotPermittedByStoreError, db->lastError());
    std::vector<ABRecordID> newIDs;
    for (const auto& record : added_) {
        auto id = insertPerson(*db, *record);
        if (!id)
            return fail(error, kABOperationNotPermittedByStoreError, db->lastError());
        newIDs.push_back(*id);
    }
    for (const auto& [id, record] : known_) {
        if (record->isDirty() && !removed_.count(id) && !updatePerson(*db, *record))
            return fail(error, kABOperationNotPermittedByStoreError, db->lastError());
    }
    for (ABRecordID id : removed_) {
        if (!deletePerson(*db, id))
            return fail(error, kABOperationNotPermittedByStoreError, db->lastError());
    }
    if (!transaction.commit())
        return fail(error, kABOperationNotPermittedByStoreError, db->lastError());

    // Only now, with the changes stored, does the handle take them as saved.
    for (std::size_t i = 0; i < added_.size(); ++i) {
        added_[i]->setRecordID(newIDs[i]);
        added_[i]->setDirty(false);
        known_[newIDs[i]] = added_[i];
    }
    for (ABRecordID id : removed_) {
        if (auto it = known_.find(id); it != known_.end()) {
            it->second->setRecordID(kABRecordInvalidID);
            it->second->setOwner({});
            known_.erase(it);
        }
    }
    for (auto& [id, record] : known_)
        record->setDirty(false);
    added_.clear();
    removed_.clear();
    return true;
}

std::vector<ABRecordRef> ABAddressBook::allPeople()
{
    std::vector<ABRecordRef> people;
    if (!authorized())
        return people;
    std::vector<StoredPerson> stored;
    if (auto db = storeConnection(nullptr)) {
        std::lock_guard storeLock(db->mutex());
        loadPeople(*db, stored);
    }
    std::lock_guard lock(mutex_);
    for (auto& person : stored) {
        if (removed_.count(person.id))
            continue;
        auto& record = known_[person.id];
        if (!record) {
            record = std::make_shared<ABRecord>();
            record->setRecordID(person.id);
            record->setOwner(weakAs<ABAddressBook>());
        }
        // A record with unsaved changes keeps them; others show what is stored now.
        if (!record->isDirty()) {
            for (ABPropertyID property : { kABPersonFirstNameProperty, kABPersonLastNameProperty, kABPersonPhoneProperty }) {
                auto it = person.values.find(property);
                record->setValue(property, it == person.values.end() ? Value() : std::move(it->second));
            }
        }
        people.push_back(record);
    }
    people.insert(people.end(), added_.begin(), added_.end());
    return people;
}

CFIndex ABAddressBook::personCount()
{
    if (!authorized())
        return 0;
    std::vector<ABRecordID> ids;
    if (auto db = storeConnection(nullptr)) {
        std::lock_guard storeLock(db->mutex());
        loadPersonIDs(*db, ids);
    }
    std::lock_guard lock(mutex_);
    auto stored = std::count_if(ids.begin(), ids.end(), [this](ABRecordID id) { return !removed_.count(id); });
    return static_cast<CFIndex>(stored + added_.size());
}

ABAddressBookRef ABAddressBookCreateWithOptions(const Value&, NSErrorRef* error)
{
    auto status = ABAddressBookGetAuthorizationStatus();
    if (status == kABAuthorizationStatusDenied || status == kABAuthorizationStatusRestricted) {
        fail(error, kABOperationNotPermittedByUserError, "The user has not allowed access to the address book.");
        return nullptr;
    }
    return std::make_shared<ABAddressBook>();
}

ABAddressBookRef ABAddressBookCreate() { return ABAddressBookCreateWithOptions(Value(), nullptr); }

bool ABAddressBookAddRecord(const ABAddressBookRef& addressBook, const ABRecordRef& record, NSErrorRef* error)
{
    if (!addressBook)
        return fail(error, kABOperationNotPermittedByStoreError, "No address book.");
    return addressBook->addRecord(record, error);
}

bool ABAddressBookRemoveRecord(const ABAddressBookRef& addressBook, const ABRecordRef& record, NSErrorRef* error)
{
    if (!addressBook)
        return fail(error, kABOperationNotPermittedByStoreError, "No address book.");
    return addressBook->removeRecord(record, error);
}

bool ABAddressBookHasUnsavedChanges(const ABAddressBookRef& addressBook)
{
    return addressBook && addressBook->hasUnsavedChanges();
}

bool ABAddressBookSave(const ABAddressBookRef& addressBook, NSErrorRef* error)
{
    if (!addressBook)
        return fail(error, kABOperationNotPermittedByStoreError, "No address book.");
    return addressBook->save(error);
}

std::vector<ABRecordRef> ABAddressBookCopyArrayOfAllPeople(const ABAddressBookRef& addressBook)
{
    return addressBook ? addressBook->allPeople() : std::vector<ABRecordRef> {};
}

CFIndex ABAddressBookGetPersonCount(const ABAddressBookRef& addressBook)
{
    return addressBook ? addressBook->personCount() : 0;
}
