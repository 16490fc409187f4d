// The keychain file (see KeychainDatabase.h).
#include "platform/security/KeychainDatabase.h"

#include <sqlite3.h>

#include "platform/security/AppHome.h"
#include "platform/security/KeychainCodec.h"
#include "platform/persistence/SqliteConnection.h"

namespace security {

using persistence::SqliteConnection;
using persistence::SqliteStatement;
using persistence::SqliteTransaction;

namespace {

constexpr const char* schema = "CREATE TABLE IF NOT EXISTS items("
                               " id INTEGER PRIMARY KEY,"
                               " class TEXT NOT NULL,"
                               " identity BLOB NOT NULL,"
                               " account TEXT,"
                               " attributes BLOB NOT NULL,"
                               " data BLOB,"
                               " UNIQUE(class, identity));";

struct StoredItem {
    std::int64_t id;
    ItemRecord record;
};

std::shared_ptr<SqliteConnection> connection()
{
    std::string error;
    return SqliteConnection::shared(keychainPath().string(), schema, "FULL", &error);
}

OSStatus statusOfStep(int rc)
{
    if (rc == SQLITE_DONE || rc == SQLITE_ROW)
        return errSecSuccess;
    if ((rc & 0xff) == SQLITE_CONSTRAINT)
        return errSecDuplicateItem;
    return errSecIO;
}

// Every stored item that matches, oldest first. Rows that do not decode match nothing.
OSStatus loadMatching(SqliteConnection& db, const ItemQuery& query, bool firstOnly, std::vector<StoredItem>& out)
{
    const Value* account = nullptr;
    if (auto it = query.attributes.find(kSecAttrAccount); it != query.attributes.end())
        account = &it->second;
    auto statement = account
        ? db.prepare("SELECT id, attributes, data FROM items WHERE class = ?1 AND account = ?2 ORDER BY id")
        : db.prepare("SELECT id, attributes, data FROM items WHERE class = ?1 ORDER BY id");
    statement.bind(1, query.itemClass);
    if (account)
        statement.bind(2, account->asString());
    int rc;
    while ((rc = statement.step()) == SQLITE_ROW) {
        auto attributes = decodeKeychainValue(statement.blob(1));
        if (!attributes || !attributes->isDictionary())
            continue;
        StoredItem item { statement.integer(0), { query.itemClass, attributes->asDictionary(), std::nullopt } };
        if (!statement.isNull(2))
            item.record.data = statement.blob(2);
        if (!itemMatches(query, item.record))
            continue;
        if (query.noAuthenticationUI && itemIsProtected(item.record))
            return errSecInteractionNotAllowed;
        out.push_back(std::move(item));
        if (firstOnly)
            break;
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        return errSecIO;
    return out.empty() ? errSecItemNotFound : errSecSuccess;
}

void bindItem(SqliteStatement& statement, const ItemRecord& item, const Bytes& attributes)
{
    statement.bind(1, item.itemClass);
    statement.bind(2, itemIdentity(item));
    auto account = item.attributes.find(kSecAttrAccount);
    if (account != item.attributes.end())
        statement.bind(3, account->second.asString());
    else
        statement.bindNull(3);
    statement.bind(4, attributes);
    if (item.data)
        statement.bind(5, *item.data);
    else
        statement.bindNull(5);
}

}

OSStatus keychainSearch(const ItemQuery& query, std::vector<ItemRecord>& out)
{
    auto db = connection();
    if (!db)
        return errSecNotAvailable;
    std::lock_guard lock(db->mutex());
    std::vector<StoredItem> found;
    OSStatus status = loadMatching(*db, query, !query.matchAll, found);
    for (auto& item : found)
        out.push_back(std::move(item.record));
    return status;
}

OSStatus keychainInsert(const ItemRecord& item)
{
    auto attributes = encodeKeychainValue(Value(item.attributes));
    if (!attributes)
        return errSecParam;
    auto db = connection();
    if (!db)
        return errSecNotAvailable;
    std::lock_guard lock(db->mutex());
    auto statement
        = db->prepare("INSERT INTO items(class, identity, account, attributes, data) VALUES(?1, ?2, ?3, ?4, ?5)");
    bindItem(statement, item, *attributes);
    return statusOfStep(statement.step());
}

OSStatus keychainUpdate(const ItemQuery& query, const Value& changes)
{
    auto db = connection();
    if (!db)
        return errSecNotAvailable;
    std::lock_guard lock(db->mutex());
    SqliteTransaction transaction(*db);
    if (!transaction.begun())
        return errSecIO;
    std::vector<StoredItem> found;
    if (OSStatus status = loadMatching(*db, query, false, found))
        return status;
    for (auto& item : found) {
        if (OSStatus status = applyChanges(changes, item.record))
            return status;
        auto attributes = encodeKeychainValue(Value(item.record.attributes));
        if (!attributes)
            return errSecParam;
        auto statement = db->prepare(
            "UPDATE items SET class = ?1, identity = ?2, account = ?3, attributes = ?4, data = ?5 WHERE id = ?6");
        bindItem(statement, item.record, *attributes);
        statement.bind(6, item.id);
        if (OSStatus status = statusOfStep(statement.step()))
            return status;
    }
    return transaction.commit() ? errSecSuccess : errSecIO;
}

OSStatus keychainDelete(const ItemQuery& query)
{
    auto db = connection();
    if (!db)
        return errSecNotAvailable;
    std::lock_guard lock(db->mutex());
    SqliteTransaction transaction(*db);
    if (!transaction.begun())
        return errSecIO;
    std::vector<StoredItem> found;
    if (OSStatus status = loadMatching(*db, query, false, found))
        return status;
    for (const auto& item : found) {
        auto statement = db->prepare("DELETE FROM items WHERE id = ?1");
        statement.bind(1, item.id);
        if (OSStatus status = statusOfStep(statement.step()))
            return status;
    }
    return transaction.commit() ? errSecSuccess : errSecIO;
}

}
