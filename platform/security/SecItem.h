// The keychain's four item operations over attribute dictionaries (keys in SecBase.h).
// They are safe to call from any thread and from several processes at once.
#pragma once

#include "platform/foundation/Value.h"
#include "platform/security/SecBase.h"

// Finds items matching `query`. With kSecReturnData and/or kSecReturnAttributes, `result`
// (when not null) receives the data, an attribute dictionary, or with kSecMatchLimitAll an
// array of them; otherwise it is left absent. errSecItemNotFound when nothing matches.
OSStatus SecItemCopyMatching(const Value& query, Value* result);
// Stores a new item. kSecAttrSynchronizable defaults to false and kSecAttrAccessible to
// kSecAttrAccessibleWhenUnlocked. errSecDuplicateItem when the item exists. With return keys,
// `result` receives the new item as a search for it would.
OSStatus SecItemAdd(const Value& attributes, Value* result);
// Changes every item matching `query`, all or none. errSecItemNotFound when nothing matches.
OSStatus SecItemUpdate(const Value& query, const Value& attributesToUpdate);
// Removes every item matching `query`. errSecItemNotFound when nothing matches.
OSStatus SecItemDelete(const Value& query);
