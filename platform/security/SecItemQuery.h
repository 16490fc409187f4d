// Reading and checking the dictionaries handed to the keychain operations, and the rules by
// which an item matches a query: every attribute the query names must be equal on the item;
// without kSecAttrSynchronizable a query sees only local items, with kSecAttrSynchronizableAny
// both kinds. Two items are the same item (a duplicate) when their identity attributes agree:
// generic passwords by service, account, access group and synchronizable; internet passwords
// by server, port, protocol, authentication type, account, access group and synchronizable.
#pragma once

#include <optional>
#include <string>

#include "platform/foundation/Value.h"
#include "platform/security/SecBase.h"
#include "platform/security/SecTestSeams.h"

namespace security {

enum class SyncMatch { LocalOnly, SynchronizedOnly, Any };

struct ItemQuery {
    std::string itemClass;
    Value::Dictionary attributes; // to match; kSecAttrSynchronizable is in `sync`
    SyncMatch sync = SyncMatch::LocalOnly;
    bool returnData = false;
    bool returnAttributes = false;
    bool matchAll = false;
    bool noAuthenticationUI = false;
};

// An item as stored: its class and attributes (kSecAttrSynchronizable and kSecAttrAccessible
// always present), and its data when it has any.
struct ItemRecord {
    std::string itemClass;
    Value::Dictionary attributes;
    std::optional<Bytes> data;
};

// errSecSuccess or errSecParam. `operation` decides which keys are allowed.
OSStatus parseQuery(const Value& query, SecOperation operation, ItemQuery& out);
// The attributes of SecItemAdd: checked, with defaults (local, kSecAttrAccessibleWhenUnlocked).
OSStatus parseNewItem(const Value& attributes, ItemRecord& out);
// Applies the changes of SecItemUpdate to an item; errSecParam when they are malformed.
OSStatus applyChanges(const Value& changes, ItemRecord& item);

bool itemMatches(const ItemQuery& query, const ItemRecord& item);
// The item carries an access control with flags: using it needs the user.
bool itemIsProtected(const ItemRecord& item);
// The bytes that two duplicates share.
Bytes itemIdentity(const ItemRecord& item);
// What a search returns for one item: its data, or a dictionary of its attributes (with the
// data under kSecValueData when asked for both).
Value itemResult(const ItemQuery& query, const ItemRecord& item);

}
