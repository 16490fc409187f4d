// The whole main road in one process on loopback: the region screen with a province and a
// city chosen and the size field at 50; one iteration taps "获取号码", waits for the page,
// taps "导入号码", answers "确认" and ends when "导入成功" shows. The baselines do the bare
// work underneath: one libcurl POST of the same form to the same server, then 50 SQLite
// inserts of the same rows into a file of the same schema — one commit per contact (as durable
// as the app's saves) and, for reference, all in one transaction.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/DVUUID.h"
#include "app/ServerRoots.h"
#include "app/YZXNoBackControlller.h"
#include "app/ZHHttpTool.h"
#include "app/prospecting/RQAddFirendController.h"
#include "platform/addressbook/ABTestSeams.h"
#include "platform/threading/NSThread.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIWindow.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"
#include "tools/dataserver/DataServer.h"
#include "ui/PGProgressHUD.h"

namespace {

dataserver::DataServer& server()
{
    static dataserver::DataServer* shared = [] {
        dataserver::DataServerOptions options;
        options.log = [](const std::string&) { };
        auto* started = new dataserver::DataServer(options);
        started->start();
        ::setenv("QUILLMARK_DATA_ROOT", started->dataRoot().c_str(), 1);
        return started;
    }();
    return *shared;
}

void tap(const std::shared_ptr<UIButton>& button) { button->sendActionsForControlEvents(UIControlEventTouchUpInside); }

void BM_MainRoad(benchmark::State& state)
{
    threading::becomeMainThread();
    server();
    testing_support::TempHome home;
    addressbook::resetTestSeams();
    addressbook::setAuthorizationStatus(kABAuthorizationStatusAuthorized);
    auto window = UIWindow::create();
    auto navigation = UINavigationController::initWithRootViewController(std::make_shared<YZXNoBackControlller>());
    window->setRootViewController(navigation);
    window->makeKeyAndVisible();
    auto screen = RQAddFirendController::create();
    navigation->pushViewController(screen, false);
    if (!testing_support::runUntil([&] { return screen->shengList().isArray(); }, 10))
        return state.SkipWithError("no province list");
    screen->setShengId("440000");
    screen->setShiId("440100");

    double fetchSeconds = 0, importSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        screen->setListArray({});
        screen->mytableView()->layoutIfNeeded();
        screen->pageCounts()->setText("50");
        for (const auto& hud : PGProgressHUD::allHUDsForView(screen->view()))
            hud->removeFromSuperview();
        state.ResumeTiming();

        auto start = std::chrono::steady_clock::now();
        tap(screen->fetchButton());
        if (!testing_support::runUntil([&] { return screen->listArray().size() == 50; }, 10))
            return state.SkipWithError("no page");
        auto fetched = std::chrono::steady_clock::now();
        tap(screen->buttonArray()[0]);
        auto alert = uikit::topAlert();
        if (!alert)
            return state.SkipWithError("no alert");
        auto importStart = std::chrono::steady_clock::now();
        alert->tapButtonAtIndex(0);
        importSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - importStart).count();
        fetchSeconds += std::chrono::duration<double>(fetched - start).count();
        auto hud = PGProgressHUD::HUDForView(screen->view());
        if (!hud || hud->labelText() != "导入成功")
            return state.SkipWithError("import did not succeed");
    }
    state.counters["fetch_ms"] = fetchSeconds * 1000 / static_cast<double>(state.iterations());
    state.counters["import_ms"] = importSeconds * 1000 / static_cast<double>(state.iterations());
    state.counters["contacts"] = benchmark::Counter(50.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    window.reset();
    testing_support::settle(2);
}

// The fetch alone through the server client, for the breakdown.
void BM_ServerClientPost(benchmark::State& state)
{
    threading::becomeMainThread();
    server();
    auto params = Value::dictionary({ { "cityId", "440100" }, { "proviceId", "440000" }, { "pageSize", "50" },
        { "page", "0" }, { "clientId", "0123456789abcdef0123456789abcdef" } });
    for (auto _ : state) {
        bool done = false;
        ZHHttpTool::postWithURL(app::dataServerURL("data/listPhone.do"), params, [&](const Value&) { done = true; },
            [&](const NSErrorRef&) { done = true; });
        if (!testing_support::runUntil([&] { return done; }, 10))
            return state.SkipWithError("no reply");
    }
}

std::size_t discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

bool rawPost(const std::string& url, const std::string& body)
{
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, discard);
    return curl_easy_perform(curl.get()) == CURLE_OK;
}

const char* kSchema = "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                      "CREATE TABLE IF NOT EXISTS people(id INTEGER PRIMARY KEY AUTOINCREMENT, first TEXT, last TEXT);"
                      "CREATE TABLE IF NOT EXISTS phones(person INTEGER NOT NULL, position INTEGER NOT NULL,"
                      " identifier INTEGER NOT NULL, value TEXT NOT NULL, label TEXT,"
                      " PRIMARY KEY(person, position)) WITHOUT ROWID;";

void insertFifty(sqlite3* db, bool oneTransaction)
{
    sqlite3_stmt* person = nullptr;
    sqlite3_stmt* phone = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO people(first, last) VALUES('粉丝', NULL)", -1, &person, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO phones VALUES(?, 0, 0, ?, 'Mobile')", -1, &phone, nullptr);
    if (oneTransaction)
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (int i = 0; i < 50; ++i) {
        if (!oneTransaction)
            sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_step(person);
        sqlite3_reset(person);
        std::string number = std::to_string(13820000000LL + i);
        sqlite3_bind_int64(phone, 1, sqlite3_last_insert_rowid(db));
        sqlite3_bind_text(phone, 2, number.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(phone);
        sqlite3_reset(phone);
        if (!oneTransaction)
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    if (oneTransaction)
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(person);
    sqlite3_finalize(phone);
}

void rawRoad(benchmark::State& state, bool oneTransaction)
{
    server();
    testing_support::TempHome home;
    std::filesystem::create_directories(home.pathFor("raw"));
    sqlite3* db = nullptr;
    sqlite3_open(home.pathFor("raw/people.sqlite").c_str(), &db);
    sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
    std::string url = server().dataRoot() + "data/listPhone.do";
    std::string body = "cityId=440100&clientId=0123456789abcdef0123456789abcdef&page=0&pageSize=50&proviceId=440000";
    for (auto _ : state) {
        if (!rawPost(url, body))
            return state.SkipWithError("POST failed");
        insertFifty(db, oneTransaction);
    }
    sqlite3_close(db);
}

void BM_RawPostAndCommitPerContact(benchmark::State& state) { rawRoad(state, false); }
void BM_RawPostAndOneTransaction(benchmark::State& state) { rawRoad(state, true); }

} // namespace

BENCHMARK(BM_MainRoad)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ServerClientPost)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawPostAndCommitPerContact)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawPostAndOneTransaction)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    curl_global_cleanup();
    return 0;
}
