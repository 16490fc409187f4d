// The address-book file (see AddressBookStore.h).
#include "platform/addressbook/AddressBookStore.h"

#include <sqlite3.h>

#include "platform/addressbook/AppHome.h"

namespace addressbook {

namespace {

constexpr const char* schema = "CREATE TABLE IF NOT EXISTS people("
                               " id INTEGER PRIMARY KEY AUTOINCREMENT, first TEXT, last TEXT);"
                               "CREATE TABLE IF NOT EXISTS phones("
                               " person INTEGER NOT NULL, position INTEGER NOT NULL, identifier INTEGER NOT NULL,"
                               " value TEXT NOT NULL, label TEXT, PRIMARY KEY(person, position)) WITHOUT ROWID;";

void bindText(SqliteStatement& statement, int index, const Value& value)
{
    if (value.isString())
        statement.bind(index, value.asString());
    else
        statement.bindNull(index);
}

Value textColumn(const SqliteStatement& statement, int column)
{
    return statement.isNull(column) ? Value() : Value(statement.text(column));
}

bool insertPhones(SqliteConnection& db, ABRecordID id, const ABRecord& record)
{
    auto phones = record.value(kABPersonPhoneProperty).asObject<ABMultiValue>();
    if (!phones)
        return true;
    std::int64_t position = 0;
    for (const auto& entry : phones->entries()) {
        auto statement = db.prepare(
            "INSERT INTO phones(person, position, identifier, value, label) VALUES(?1, ?2, ?3, ?4, ?5)");
        statement.bind(1, static_cast<std::int64_t>(id));
        statement.bind(2, position++);
        statement.bind(3, static_cast<std::int64_t>(entry.identifier));
        statement.bind(4, entry.value.asString());
        bindText(statement, 5, entry.label);
        if (statement.step() != SQLITE_DONE)
            return false;
    }
    return true;
}

bool deletePhones(SqliteConnection& db, ABRecordID id)
{
    auto statement = db.prepare("DELETE FROM phones WHERE person = ?1");
    statement.bind(1, static_cast<std::int64_t>(id));
    return statement.step() == SQLITE_DONE;
}

}

std::shared_ptr<SqliteConnection> storeConnection(std::string* error)
{
    return SqliteConnection::shared(addressBookPath().string(), schema, "NORMAL", error);
}

bool loadPeople(SqliteConnection& db, std::vector<StoredPerson>& out)
{
    // One read transaction, so people and phones come from the same moment.
    if (!db.exec("BEGIN"))
        return false;
    std::map<ABRecordID, std::size_t> index;
    {
        auto people = db.prepare("SELECT id, first, last FROM people ORDER BY id");
        int rc;
        while ((rc = people.step()) == SQLITE_ROW) {
            StoredPerson person { static_cast<ABRecordID>(people.integer(0)), {} };
            person.values[kABPersonFirstNameProperty] = textColumn(people, 1);
            person.values[kABPersonLastNameProperty] = textColumn(people, 2);
            index[person.id] = out.size();
            out.push_back(std::move(person));
        }
        if (rc != SQLITE_DONE) {
            db.exec("ROLLBACK");
            return false;
        }
        auto phones = db.prepare("SELECT person, identifier, value, label FROM phones ORDER BY person, position");
        while ((rc = phones.step()) == SQLITE_ROW) {
            auto it = index.find(static_cast<ABRecordID>(phones.integer(0)));
            if (it == index.end())
                continue;
            Value& slot = out[it->second].values[kABPersonPhoneProperty];
            auto multi = slot.asObject<ABMultiValue>();
            if (!multi) {
                multi = std::make_shared<ABMultiValue>(kABMultiStringPropertyType, false);
                slot = Value(multi);
            }
            multi->restore(static_cast<ABMultiValueIdentifier>(phones.integer(1)), phones.text(2),
                textColumn(phones, 3));
        }
        if (rc != SQLITE_DONE) {
            db.exec("ROLLBACK");
            return false;
        }
    }
    db.exec("COMMIT");
    for (auto& person : out) {
        for (auto it = person.values.begin(); it != person.values.end();)
            it = it->second.isAbsent() ? person.values.erase(it) : std::next(it);
    }
    return true;
}

bool loadPersonIDs(SqliteConnection& db, std::vector<ABRecordID>& out)
{
    auto statement = db.prepare("SELECT id FROM people");
    int rc;
    while ((rc = statement.step()) == SQLITE_ROW)
        out.push_back(static_cast<ABRecordID>(statement.integer(0)));
    return rc == SQLITE_DONE;
}

std::optional<ABRecordID> insertPerson(SqliteConnection& db, const ABRecord& record)
{
    auto statement = db.prepare("INSERT INTO people(first, last) VALUES(?1, ?2)");
    bindText(statement, 1, record.value(kABPersonFirstNameProperty));
    bindText(statement, 2, record.value(kABPersonLastNameProperty));
    if (statement.step() != SQLITE_DONE)
        return std::nullopt;
    auto id = static_cast<ABRecordID>(db.lastInsertRowId());
    if (!insertPhones(db, id, record))
        return std::nullopt;
    return id;
}

bool updatePerson(SqliteConnection& db, const ABRecord& record)
{
    auto statement = db.prepare("UPDATE people SET first = ?1, last = ?2 WHERE id = ?3");
    bindText(statement, 1, record.value(kABPersonFirstNameProperty));
    bindText(statement, 2, record.value(kABPersonLastNameProperty));
    statement.bind(3, static_cast<std::int64_t>(record.recordID()));
    if (statement.step() != SQLITE_DONE)
        return false;
    if (db.changes() == 0)
        return true; // removed meanwhile by another handle: nothing to update
    return deletePhones(db, record.recordID()) && insertPhones(db, record.recordID(), record);
}

bool deletePerson(SqliteConnection& db, ABRecordID id)
{
    auto statement = db.prepare("DELETE FROM people WHERE id = ?1");
    statement.bind(1, static_cast<std::int64_t>(id));
    return statement.step() == SQLITE_DONE && deletePhones(db, id);
}

}
