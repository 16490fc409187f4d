// The report cache: pending and in-flight entries, duplicates, the size limit, the save action,
// and its archive kept in the plain file cache across a restart.
#include "StorageTestSupport.h"

#include <thread>

#include "platform/threading/NSNotificationCenter.h"
#include "push/Storage/PUSHReportCacheController.h"

namespace {

using storage_tests::HomeTest;

Value item(const std::string& type, std::int64_t itime)
{
    return Value::dictionary({ { "type", Value(type) }, { "itime", Value(itime) } });
}

std::vector<std::string> pendingKeys(const PUSHReportCacheController& cache)
{
    std::vector<std::string> keys;
    cache.PUSHEnumerateObjectsUsingBlock([&](const std::string& key, const Value&, bool&) { keys.push_back(key); });
    return keys;
}

TEST(ReportCache, SendingEntriesMoveBackOnFailureOrRestartOnly)
{
    int saves = 0;
    auto cache = PUSHReportCacheController::initWithSynchronizeBlock([&] { ++saves; });
    const Value batch = Value::array({ item("1", 10), item("2", 11) });
    cache->addSendingCacheObject(batch, "7:100");
    cache->addSendingCacheObject(Value(), "ignored");
    cache->changeSendingObjectFailedForKey("unknown");
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(std::make_pair(cache->count(), cache->sendingPackageCache().count()), std::make_pair(0ul, 1ul));

    cache->changeSendingObjectFailedForKey("7:100");
    EXPECT_TRUE(cache->checkReportFlag("7:100") && cache->sendingPackageCache().count() == 0);

    // Delivered: gone from flight; a late failure for the same flag changes nothing.
    cache->addSendingCacheObject(item("3", 12), "9:100");
    cache->removeSendingObjectForKey("9:100");
    cache->changeSendingObjectFailedForKey("9:100");
    EXPECT_FALSE(cache->checkReportFlag("9:100"));

    // A restart returns everything in flight to the pending cache.
    cache->addSendingCacheObject(item("4", 13), "11:100");
    cache->resetCache();
    EXPECT_EQ(pendingKeys(*cache), (std::vector<std::string> { "7:100", "11:100" }));

    cache->transferSendingObjectToCache(item("5", 1), "13:1");
    cache->removeCacheObjectForKey("7:100");
    EXPECT_EQ(pendingKeys(*cache), (std::vector<std::string> { "11:100", "13:1" }));

    // Reports waiting to go out are not a memory cache's spare copies: a low-memory warning
    // keeps them, and saves nothing.
    const int savesBefore = saves;
    NSNotificationCenter::defaultCenter()->postNotificationName(PUSHMemoryWarningNotificationName);
    EXPECT_EQ(std::make_pair(cache->count(), saves), std::make_pair(2ul, savesBefore));
}

TEST(ReportCache, DuplicatesAreItemsEqualButForTheirTimeStamp)
{
    auto cache = PUSHReportCacheController::initWithSynchronizeBlock(nullptr);
    cache->addCacheObject(item("1", 100), "a");
    cache->addSendingCacheObject(Value::array({ item("2", 100), item("3", 100) }), "b");

    EXPECT_TRUE(cache->containsCacheObject(item("1", 999)));
    EXPECT_FALSE(cache->containsCacheObject(item("9", 100)));
    // A whole batch in flight matches an equal batch; an item inside a batch is not an entry.
    EXPECT_TRUE(cache->containsCacheObject(Value::array({ item("2", 1), item("3", 2) })));
    EXPECT_FALSE(cache->containsCacheObject(item("2", 100)));
    // A batch is looked for among the entries in flight only.
    cache->addCacheObject(Value::array({ item("4", 1) }), "c");
    EXPECT_FALSE(cache->containsCacheObject(Value::array({ item("4", 1) })));
}

TEST(ReportCache, OversizedArchiveDropsOldestEntries)
{
    auto cache = PUSHReportCacheController::initWithSynchronizeBlock(nullptr);
    for (int i = 0; i < 120; ++i)
        cache->addCacheObject(item(std::to_string(i), i), "k" + std::to_string(1000 + i));

    // 100 entries or more: the oldest tenth goes at once.
    cache->setMaxArchiveBytesForTesting(1);
    cache->addCacheObject(item("new", 0), "k2000");
    EXPECT_EQ(cache->count(), 121u - 12u);
    EXPECT_EQ(pendingKeys(*cache).front(), "k1012");

    // Fewer than 100: one at a time.
    auto small = PUSHReportCacheController::initWithSynchronizeBlock(nullptr);
    small->addCacheObject(item("a", 1), "a");
    small->addCacheObject(item("b", 1), "b");
    small->setMaxArchiveBytesForTesting(1);
    small->addCacheObject(item("c", 1), "c");
    EXPECT_EQ(pendingKeys(*small), (std::vector<std::string> { "b", "c" }));
}

class ReportCacheFile : public HomeTest {
protected:
    // A cache whose save action archives it into the plain file cache, as the scheduler's does.
    std::shared_ptr<PUSHReportCacheController> savedToPlainFile()
    {
        auto cache = PUSHReportCacheController::initWithSynchronizeBlock(nullptr);
        cache->setSyncBlock([this, weak = std::weak_ptr(cache)] {
            if (auto strong = weak.lock())
                plain()->setObject(Value(strong), "__PUSHHistroyCache");
        });
        return cache;
    }
    std::shared_ptr<PUSHReportCacheController> readBack() { return restartCaches(), plain()->objectForKey("__PUSHHistroyCache").asObject<PUSHReportCacheController>(); }
};

TEST_F(ReportCacheFile, SaveActionKeepsTheCacheInThePlainFileAcrossARestart)
{
    startCaches();
    auto cache = savedToPlainFile();
    cache->addCacheObject(item("1", 5), "p1");
    cache->addCacheObject(Value::array({ item("2", 6) }), "p2");
    cache->addSendingCacheObject(item("3", 7), "s1");

    auto read = readBack();
    ASSERT_TRUE(read);
    EXPECT_EQ(pendingKeys(*read), (std::vector<std::string> { "p1", "p2" }));
    EXPECT_EQ(std::tuple(read->objectForKey("p2"), read->sendingPackageCache()["s1"]), std::tuple(Value::array({ item("2", 6) }), item("3", 7)));
    read->copyReportCache()->addCacheObject(item("4", 1), "p3");
    EXPECT_EQ(read->count(), 2u); // counts the live entries read back, not the copy's
}

TEST_F(ReportCacheFile, CacheAndFileUsedFromTwoThreadsNeverDeadlock)
{
    // One thread changes the report cache, whose save action writes into the file cache; the
    // other writes other keys of the same file, which archives the report cache in turn.
    startCaches();
    auto cache = savedToPlainFile();
    plain()->setObject(Value(cache), "__PUSHHistroyCache");
    std::thread reports([&] {
        for (int i = 0; i < 15; ++i)
            cache->addCacheObject(item(std::to_string(i), i), "r" + std::to_string(i));
    });
    for (int i = 0; i < 15; ++i)
        plain()->setObject(Value(i), "__PUSHSessionID");
    reports.join();
    auto read = readBack();
    ASSERT_TRUE(read);
    EXPECT_EQ(std::tuple(read->count(), plain()->objectForKey("__PUSHSessionID")), std::tuple(15u, Value(14)));
}

} // namespace
