// The keychain file: items in one SQLite table, with the identity of each item under a
// unique constraint so that duplicates are refused even between processes. Writes run in
// IMMEDIATE transactions with synchronous=FULL: a stored secret survives a crash of the app
// and of the device.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/security/SecItemQuery.h"

namespace security {

// Items matching the query, oldest first (only the first when !query.matchAll).
// errSecItemNotFound when none; errSecInteractionNotAllowed when the query forbids
// authentication and a match is protected.
OSStatus keychainSearch(const ItemQuery& query, std::vector<ItemRecord>& out);
// errSecDuplicateItem when an item with the same identity exists.
OSStatus keychainInsert(const ItemRecord& item);
// Applies the changes to every match, all or nothing.
OSStatus keychainUpdate(const ItemQuery& query, const Value& changes);
// Removes every match.
OSStatus keychainDelete(const ItemQuery& query);

}
