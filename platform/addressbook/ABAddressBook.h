// The address book: handles onto the one store of the device (an SQLite file in the app's
// home), the user's permission, and the changes a handle collects until it saves them.
// A save writes all of a handle's changes in one transaction; a handle released unsaved
// leaves the store as it was. Each handle is meant for one thread at a time; several handles,
// threads and processes may use the store together.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "platform/addressbook/ABRecord.h"

inline constexpr const char* ABAddressBookErrorDomain = "ABAddressBookErrorDomain";
inline constexpr std::int64_t kABOperationNotPermittedByStoreError = 0;
inline constexpr std::int64_t kABOperationNotPermittedByUserError = 1;

enum ABAuthorizationStatus : long {
    kABAuthorizationStatusNotDetermined = 0,
    kABAuthorizationStatusRestricted = 1,
    kABAuthorizationStatusDenied = 2,
    kABAuthorizationStatusAuthorized = 3,
};

class ABAddressBook final : public NSObject {
public:
    std::string className() const override { return "ABAddressBook"; }

    // The handle's side of the operations below.
    bool addRecord(const ABRecordRef& record, NSErrorRef* error);
    bool removeRecord(const ABRecordRef& record, NSErrorRef* error);
    bool hasUnsavedChanges() const;
    bool save(NSErrorRef* error);
    std::vector<ABRecordRef> allPeople();
    CFIndex personCount();

private:
    mutable std::mutex mutex_;
    std::vector<ABRecordRef> added_; // new records, in the order they were added
    std::map<ABRecordID, ABRecordRef> known_; // stored records this handle has handed out
    std::set<ABRecordID> removed_;
};

using ABAddressBookRef = std::shared_ptr<ABAddressBook>;
using ABAddressBookRequestAccessCompletionHandler = std::function<void(bool granted, NSErrorRef error)>;

ABAuthorizationStatus ABAddressBookGetAuthorizationStatus();
// A new handle; nullptr with an error (kABOperationNotPermittedByUserError) when the user
// denied access or access is restricted. Before the user has answered, the handle sees no
// one and cannot save. Options are ignored.
ABAddressBookRef ABAddressBookCreateWithOptions(const Value& options, NSErrorRef* error);
ABAddressBookRef ABAddressBookCreate();
// Asks the user once; later calls answer from the recorded decision. The completion runs on
// a worker thread, never the caller's, so a caller may block waiting for it.
void ABAddressBookRequestAccessWithCompletion(const ABAddressBookRef& addressBook,
    ABAddressBookRequestAccessCompletionHandler completion);

namespace addressbook {
// Whether the device's system asks the user for access (from 6.0 on, the default). A system that
// does not leaves the address book open to every app: it reads as authorized and never prompts.
// The device sets it with its system version.
void setSystemAsksForAccess(bool asks);
}

bool ABAddressBookAddRecord(const ABAddressBookRef& addressBook, const ABRecordRef& record, NSErrorRef* error);
bool ABAddressBookRemoveRecord(const ABAddressBookRef& addressBook, const ABRecordRef& record, NSErrorRef* error);
bool ABAddressBookHasUnsavedChanges(const ABAddressBookRef& addressBook);
// Writes every change of the handle in one transaction, durable once this returns true.
bool ABAddressBookSave(const ABAddressBookRef& addressBook, NSErrorRef* error);
// Stored people (less those removed through this handle) and the handle's unsaved new ones.
std::vector<ABRecordRef> ABAddressBookCopyArrayOfAllPeople(const ABAddressBookRef& addressBook);
CFIndex ABAddressBookGetPersonCount(const ABAddressBookRef& addressBook);
