// The address-book file: people(id, first, last) and their phones(person, position,
// identifier, value, label). WAL journal with synchronous=NORMAL: a save that returned is in
// the log before the call returns, so it survives the app being killed at any moment; only a
// power loss or kernel crash could take back the last saves, and never corrupts the file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/addressbook/ABRecord.h"
#include "platform/persistence/SqliteConnection.h"

namespace addressbook {

using persistence::SqliteConnection;
using persistence::SqliteStatement;
using persistence::SqliteTransaction;

struct StoredPerson {
    ABRecordID id;
    std::map<ABPropertyID, Value> values;
};

std::shared_ptr<SqliteConnection> storeConnection(std::string* error);

// The caller holds the connection's lock for each of these.
bool loadPeople(SqliteConnection& db, std::vector<StoredPerson>& out);
bool loadPersonIDs(SqliteConnection& db, std::vector<ABRecordID>& out);
// Inside a transaction.
std::optional<ABRecordID> insertPerson(SqliteConnection& db, const ABRecord& record);
bool updatePerson(SqliteConnection& db, const ABRecord& record);
bool deletePerson(SqliteConnection& db, ABRecordID id);

}
