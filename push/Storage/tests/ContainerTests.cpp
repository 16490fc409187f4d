// The bounded FIFO queue (bound, priority growth, lookup by "rid") and the memory cache (count,
// eviction order, removal of items equal but for their time, low-memory clearing).
#include <gtest/gtest.h>

#include <map>

#include "platform/persistence/NSKeyedArchiver.h"
#include "platform/threading/NSNotificationCenter.h"
#include "push/Storage/PUSHCacheFileCodec.h"
#include "push/Storage/PUSHFIFOQueue.h"
#include "push/Storage/PUSHMemoryCache.h"
#include "push/Storage/PUSHKeyValueCoding.h"

namespace {

// A queue item keyed by its "rid" property, as the session's requests are, and archivable.
struct Item : NSObject, push::KeyValueCoding, NSCoding {
    std::uint64_t rid = 0;
    Value valueForKey(const std::string& key) const override { return key == "rid" ? Value(rid) : Value(); }
    std::string className() const override { return "ContainerTestsItem"; }
    void encodeWithCoder(NSCoder& coder) const override { coder.encodeObject(Value(rid), "rid"); }
    bool initWithCoder(NSCoder& coder) override { return rid = coder.decodeObjectForKey("rid").unsignedValue(), true; }
};

std::shared_ptr<Item> request(std::uint64_t rid)
{
    auto item = std::make_shared<Item>();
    item->rid = rid;
    return item;
}

// A coder handing out fixed values, as a damaged archive may hold them.
struct FixedCoder : NSCoder {
    std::map<std::string, Value, std::less<>> values;
    Value decodeObjectForKey(std::string_view key) override
    {
        auto found = values.find(key);
        return found == values.end() ? Value() : found->second;
    }
    std::int64_t decodeIntegerForKey(std::string_view key) override { return decodeObjectForKey(key).integerValue(); }
};

std::vector<std::uint64_t> rids(const PUSHFIFOQueue& queue)
{
    std::vector<std::uint64_t> out;
    queue.enumerateObjectsUsingBlock([&](const NSObjectRef& item, std::size_t, bool&) {
        out.push_back(std::static_pointer_cast<Item>(item)->rid);
    });
    return out;
}

TEST(FIFOQueue, BoundDropsFrontAndHighPriorityGrowsByTwo)
{
    PUSHFIFOQueue queue(20, "rid");
    for (std::uint64_t i = 1; i <= 20; ++i)
        queue.enqueue(request(i));
    queue.enqueue(request(21));
    EXPECT_EQ(std::tuple(queue.count(), rids(queue).front(), !queue.getObjectFromQueueWithKey(Value(1))), std::tuple(20u, 2u, true));

    queue.enqueueWithHighPriority(request(100));
    queue.enqueueWithHighPriority(request(101));
    EXPECT_EQ(queue.count(), 22u);
    queue.enqueueWithHighPriority(request(102)); // drops the front, which is 101
    const auto order = rids(queue);
    EXPECT_EQ(std::tuple(order.size(), std::vector(order.begin(), order.begin() + 3), !queue.getObjectFromQueueWithKey(Value(101))),
        std::tuple(22u, std::vector<std::uint64_t> { 102, 100, 2 }, true));

    EXPECT_EQ(PUSHFIFOQueue(3, "rid").dequeue(), nullptr);
}

TEST(FIFOQueue, ItemsSharingAKeyStayFindableUntilTheLastGoes)
{
    PUSHFIFOQueue queue(20, "rid");
    auto a = request(5), b = request(7), later = request(5);
    queue.enqueue(a);
    queue.enqueue(b);
    EXPECT_EQ(queue.dequeueItemWithKey(Value(7)), b);
    EXPECT_EQ(queue.dequeueItemWithKey(Value(7)), nullptr);
    queue.enqueue(later);
    EXPECT_EQ(queue.getObjectFromQueueWithKey(Value(5)), later);
    EXPECT_EQ(queue.dequeue(), a); // the earlier one: the later one stays findable
    EXPECT_EQ(queue.getObjectFromQueueWithKey(Value(5)), later);
    queue.removeItem(later);
    EXPECT_FALSE(queue.getObjectFromQueueWithKey(Value(5)) || queue.count());
}

TEST(FIFOQueue, CopiesAndArchivesKeepItemsKeysAndCapacity)
{
    persistence::registerCodingClass<Item>("ContainerTestsItem");
    push::storage::registerArchivableClasses();
    constexpr std::uint64_t kBig = 9223372036854775813ull; // above the signed range
    PUSHFIFOQueue queue(3, "rid");
    for (std::uint64_t rid : { std::uint64_t(1), std::uint64_t(3), kBig })
        queue.enqueue(request(rid));
    queue.enqueueWithHighPriority(request(7));

    // A copy shares the items, not the list: each goes its own way after.
    auto twin = queue.copy();
    EXPECT_EQ(std::tuple(rids(*twin), twin->maxCount()), std::tuple(rids(queue), 3u));
    EXPECT_EQ(twin->getObjectFromQueueWithKey(Value(3)), queue.getObjectFromQueueWithKey(Value(3)));
    twin->dequeue();
    twin->enqueue(request(9));
    EXPECT_TRUE(twin->getObjectFromQueueWithKey(Value(9)) && !queue.getObjectFromQueueWithKey(Value(9)));
    EXPECT_EQ(std::tuple(queue.count(), rids(queue).front()), std::tuple(4u, 7u));

    auto bytes = NSKeyedArchiver::archivedDataWithRootObject(Value(queue.copy()));
    ASSERT_TRUE(bytes);
    auto read = NSKeyedUnarchiver::unarchiveObjectWithData(*bytes).asObject<PUSHFIFOQueue>();
    ASSERT_TRUE(read);
    EXPECT_EQ(std::tuple(rids(*read), read->maxCount(), read->keyName()), std::tuple(rids(queue), 3u, ""));
    // The keys find the very items listed.
    ASSERT_TRUE(read->dequeueItemWithKey(Value(kBig)));
    EXPECT_EQ(rids(*read), (std::vector<std::uint64_t> { 7, 1, 3 }));

    // Items of the wrong kind, and map entries that are malformed or name an item not listed,
    // are left out.
    auto listed = request(1);
    FixedCoder coder;
    coder.values = { { "itemArray", Value::array({ Value(listed), Value("text") }) },
        { "itemAndKeyMap", Value::array({ Value::array({ Value(1), Value(listed) }), Value::array({ Value(2), Value(request(2)) }), Value("pair") }) },
        { "itemMaxCount", Value(20) } };
    PUSHFIFOQueue damaged;
    EXPECT_TRUE(damaged.initWithCoder(coder));
    EXPECT_EQ(std::tuple(rids(damaged), damaged.maxCount()), std::tuple(std::vector<std::uint64_t> { 1 }, 20u));
    EXPECT_TRUE(damaged.getObjectFromQueueWithKey(Value(1)) == listed && !damaged.getObjectFromQueueWithKey(Value(2)));
}

TEST(MemoryCache, HoldsOneLessThanMaximumEvictsOldestFirstAndCountsLiveEntries)
{
    auto cache = PUSHMemoryCache::create();
    cache->setMaxCacheCount(4);
    cache->setObject(Value(1), "a");
    cache->setObject(Value(2), "b");
    cache->setObject(Value(3), "a"); // re-stored: moves to newest, counted once
    EXPECT_EQ(cache->cachedCount(), 2);
    cache->setObject(Value(4), "c");
    cache->setObject(Value(5), "d"); // evicts b, the oldest; the fresh a survives
    EXPECT_FALSE(cache->hasObjectForKey("b"));
    EXPECT_EQ(std::tuple(cache->cachedCount(), cache->objectForKey("a")), std::tuple(3, Value(3))); // one less than the maximum

    cache->removeObjectForKey("a");
    cache->removeObject(Value(4));
    EXPECT_EQ(cache->cachedCount(), 1);
    // After removals, adds evict nothing that is still within the bound.
    cache->setObject(Value(6), "e");
    cache->setObject(Value(7), "f");
    EXPECT_EQ(cache->cacheKeys(), (std::deque<std::string> { "d", "e", "f" }));
    cache->removeObjectsAtIndexes(0, 2);
    EXPECT_EQ(cache->cacheKeys(), (std::deque<std::string> { "f" }));
    cache->setObject(Value(), "f");
    EXPECT_EQ(cache->cachedCount(), 0);

    auto twin = cache->copy();
    cache->setObject(Value(1), "x");
    EXPECT_EQ(std::tuple(twin->hasObjectForKey("x"), twin->maxCacheCount()), std::tuple(false, 4));
}

TEST(MemoryCache, RemovingAnItemRemovesTheItemsEqualButForTheirTime)
{
    auto cache = PUSHMemoryCache::create();
    const auto item = [](std::int64_t itime, const char* type) {
        return Value::dictionary({ { "itime", Value(itime) }, { "type", Value(type) } });
    };
    cache->setObject(item(1700000000, "launch"), "a");
    cache->setObject(item(1700000555, "launch"), "b");
    cache->setObject(item(1700000000, "crash"), "c");
    cache->removeObject(item(1800000000, "launch"));
    EXPECT_EQ(cache->cacheKeys(), std::deque<std::string> { "c" });
}

TEST(MemoryCache, LowMemoryWarningClearsOnlyWhenAsked)
{
    auto clearing = PUSHMemoryCache::create(), keeping = PUSHMemoryCache::create();
    keeping->setClearWhenMemoryLow(false);
    clearing->setObject(Value(1), "k"), keeping->setObject(Value(1), "k");
    NSNotificationCenter::defaultCenter()->postNotificationName(PUSHMemoryWarningNotificationName);
    EXPECT_EQ(std::tuple(clearing->cachedCount(), keeping->hasObjectForKey("k")), std::tuple(0, true));
}

} // namespace
