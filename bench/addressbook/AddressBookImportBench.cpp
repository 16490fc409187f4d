// Importing a page of contacts into stores of 0 and 10,000 contacts, as the import screen
// does (a handle and a save per contact, each save durable across a crash of the app),
// against raw SQLite inserts of the same rows in one transaction. Two more baselines show what
// one commit per contact costs with synchronous=NORMAL and with synchronous=FULL.
#include "platform/addressbook/ABAddressBook.h"
#include "platform/addressbook/ABTestSeams.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const char* schema = "PRAGMA journal_mode=WAL;"
                     "CREATE TABLE IF NOT EXISTS people(id INTEGER PRIMARY KEY AUTOINCREMENT, first TEXT, last TEXT);"
                     "CREATE TABLE IF NOT EXISTS phones(person INTEGER NOT NULL, position INTEGER NOT NULL,"
                     " identifier INTEGER NOT NULL, value TEXT NOT NULL, label TEXT,"
                     " PRIMARY KEY(person, position)) WITHOUT ROWID;";

std::string number(int i) { return std::to_string(13810000000LL + i); }

std::filesystem::path freshHome()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quillmark-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        std::abort();
    setenv("QUILLMARK_HOME", pattern.c_str(), 1);
    return pattern;
}

bool importOne(const std::string& phone)
{
    auto book = ABAddressBookCreateWithOptions(Value(), nullptr);
    auto person = ABPersonCreate();
    ABRecordSetValue(person, kABPersonFirstNameProperty, "粉丝", nullptr);
    auto phones = ABMultiValueCreateMutable(kABMultiStringPropertyType);
    ABMultiValueAddValueAndLabel(phones, phone, kABPersonPhoneMobileLabel, nullptr);
    ABRecordSetValue(person, kABPersonPhoneProperty, Value(phones), nullptr);
    ABAddressBookAddRecord(book, person, nullptr);
    return ABAddressBookSave(book, nullptr);
}

void prefill(int existing)
{
    auto book = ABAddressBookCreate();
    for (int i = 0; i < existing; ++i) {
        auto person = ABPersonCreate();
        ABRecordSetValue(person, kABPersonFirstNameProperty, "Existing", nullptr);
        auto phones = ABMultiValueCreateMutable(kABMultiStringPropertyType);
        ABMultiValueAddValueAndLabel(phones, number(i), kABPersonPhoneMobileLabel, nullptr);
        ABRecordSetValue(person, kABPersonPhoneProperty, Value(phones), nullptr);
        ABAddressBookAddRecord(book, person, nullptr);
    }
    ABAddressBookSave(book, nullptr);
}

sqlite3* openRaw(const std::filesystem::path& file, const char* synchronous)
{
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db, schema, nullptr, nullptr, nullptr);
    sqlite3_exec(db, (std::string("PRAGMA synchronous=") + synchronous).c_str(), nullptr, nullptr, nullptr);
    return db;
}

void rawInsert(sqlite3* db, sqlite3_stmt* person, sqlite3_stmt* phone, const char* first, const std::string& value)
{
    sqlite3_bind_text(person, 1, first, -1, SQLITE_STATIC);
    sqlite3_step(person);
    sqlite3_reset(person);
    sqlite3_bind_int64(phone, 1, sqlite3_last_insert_rowid(db));
    sqlite3_bind_text(phone, 2, value.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(phone, 3, kABPersonPhoneMobileLabel, -1, SQLITE_STATIC);
    sqlite3_step(phone);
    sqlite3_reset(phone);
}

// Removes what an iteration imported, so every iteration starts from the same store.
void trim(sqlite3* db, int existing)
{
    (void)existing;
    sqlite3_exec(db, ("DELETE FROM phones WHERE person IN (SELECT id FROM people WHERE first = '粉丝');"
                      "DELETE FROM people WHERE first = '粉丝';"),
        nullptr, nullptr, nullptr);
}

void BM_ImportOneSavePerContact(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const int existing = static_cast<int>(state.range(1));
    auto home = freshHome();
    addressbook::setAuthorizationStatus(kABAuthorizationStatusAuthorized);
    prefill(existing);
    sqlite3* trimmer = openRaw(home / "Library/AddressBook/AddressBook.sqlite", "NORMAL");
    for (auto _ : state) {
        for (int i = 0; i < count; ++i) {
            if (!importOne(number(existing + i)))
                state.SkipWithError("save failed");
        }
        state.PauseTiming();
        trim(trimmer, existing);
        state.ResumeTiming();
    }
    sqlite3_close(trimmer);
    state.SetItemsProcessed(state.iterations() * count);
    std::filesystem::remove_all(home);
}

void rawBench(benchmark::State& state, bool commitEach, const char* synchronous)
{
    const int count = static_cast<int>(state.range(0));
    const int existing = static_cast<int>(state.range(1));
    auto home = freshHome();
    sqlite3* db = openRaw(home / "raw.sqlite", synchronous);
    sqlite3_stmt* person = nullptr;
    sqlite3_stmt* phone = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO people(first) VALUES(?1)", -1, &person, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO phones(person, position, identifier, value, label) VALUES(?1, 0, 0, ?2, ?3)", -1,
        &phone, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (int i = 0; i < existing; ++i)
        rawInsert(db, person, phone, "Existing", number(i));
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    for (auto _ : state) {
        if (!commitEach)
            sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        for (int i = 0; i < count; ++i)
            rawInsert(db, person, phone, "粉丝", number(existing + i));
        if (!commitEach)
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        state.PauseTiming();
        trim(db, existing);
        state.ResumeTiming();
    }
    sqlite3_finalize(person);
    sqlite3_finalize(phone);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * count);
    std::filesystem::remove_all(home);
}

void BM_RawOneTransaction(benchmark::State& state) { rawBench(state, false, "NORMAL"); }
void BM_RawCommitPerContactNormal(benchmark::State& state) { rawBench(state, true, "NORMAL"); }
void BM_RawCommitPerContactFull(benchmark::State& state) { rawBench(state, true, "FULL"); }

void sizes(benchmark::internal::Benchmark* b)
{
    b->ArgNames({ "contacts", "existing" });
    for (int existing : { 0, 10000 })
        for (int count : { 50, 1000 })
            b->Args({ count, existing });
    b->Unit(benchmark::kMillisecond);
}

}

BENCHMARK(BM_ImportOneSavePerContact)->Apply(sizes);
BENCHMARK(BM_RawOneTransaction)->Apply(sizes);
BENCHMARK(BM_RawCommitPerContactNormal)->Apply(sizes);
BENCHMARK(BM_RawCommitPerContactFull)->Apply(sizes);
BENCHMARK_MAIN();
