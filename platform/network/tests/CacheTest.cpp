// The URL cache: what is kept, fresh entries served without the network, stale ones validated
// with ETag or Last-Modified (a 304 serves the kept body), the policies that skip or require
// the cache, disk entries surviving a new cache object, and damaged entries.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "platform/network/CacheDiskWriter.h"
#include "platform/network/CachePolicy.h"
#include "platform/network/HTTPAuthentication.h"
#include "platform/network/URLError.h"
#include "platform/network/tests/PeakMemory.h"
#include "platform/network/tests/Recorder.h"
#include "testing/TempHome.h"
#include "testing/httpserver/Resource.h"
#include "testing/httpserver/TestServer.h"

using namespace network::test;
using httpserver::Reply;
using httpserver::Request;
using httpserver::TestServer;

namespace {

class Cache : public ::testing::Test {
protected:
    void SetUp() override
    {
        threading::becomeMainThread();
        cache = std::make_shared<NSURLCache>(1 << 20, 10 << 20, "URLCacheTest");
        NSURLCache::setSharedURLCache(cache);
    }
    void TearDown() override { NSURLCache::setSharedURLCache(nullptr); }
    static void store(NSURLCache& into, const std::string& url, std::size_t bytes)
    {
        auto request = requestFor(url);
        auto response = std::make_shared<NSHTTPURLResponse>(request->URL(), 200, "HTTP/1.1", network::HeaderFields {});
        into.storeCachedResponse(std::make_shared<NSCachedURLResponse>(response, Bytes(bytes, 'e')), *request);
    }
    std::shared_ptr<Recorder> get(const std::string& path, NSURLRequestCachePolicy policy = NSURLRequestUseProtocolCachePolicy)
    {
        auto request = requestFor(server.url(path));
        request->setCachePolicy(policy);
        return load(request);
    }
    testing_support::TempHome home;
    TestServer server;
    std::shared_ptr<NSURLCache> cache;
};

TEST_F(Cache, FreshResponsesAreServedWithoutTheNetworkAndWithoutACacheOffer)
{
    server.on("/fresh", Reply::text("kept").header("Cache-Control", "max-age=600"));
    auto first = get("/fresh");
    EXPECT_EQ(first->order(), "willSend useStorage response data cache finish");
    auto second = get("/fresh");
    EXPECT_EQ(second->order(), "willSend useStorage response data finish");
    EXPECT_EQ(second->text(), "kept");
    EXPECT_EQ(server.requestCount("/fresh"), 1u);
}

TEST_F(Cache, StaleResponsesAreValidatedByETagOrDateAndA304ServesTheKeptBody)
{
    struct Case {
        const char* path;
        std::optional<std::string> etag;
        std::optional<std::time_t> lastModified;
        const char* cacheControl;
        const char* header;
        const char* sent;
    };
    for (const Case& c : { Case { "/etag", "\"v1\"", std::nullopt, "no-cache", "If-None-Match", "\"v1\"" },
             Case { "/dated", std::nullopt, 784111777, "max-age=0", "If-Modified-Since", "Sun, 06 Nov 1994 08:49:37 GMT" } }) {
        httpserver::Resource resource;
        resource.body = std::string("body of ") + c.path;
        resource.etag = c.etag;
        resource.lastModified = c.lastModified;
        resource.extraHeaders.set("Cache-Control", c.cacheControl);
        server.on(c.path, httpserver::serve(resource));
        get(c.path);
        auto second = get(c.path);
        EXPECT_EQ(second->text(), resource.body);
        EXPECT_EQ(second->status(), 200);
        EXPECT_EQ(second->order(), "willSend useStorage response data finish");
        auto requests = server.requestsFor(c.path);
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[1].headers.value(c.header), c.sent);
    }
}

TEST_F(Cache, PoliciesSkipOrRequireTheCache)
{
    server.on("/p", Reply::text("v").header("Cache-Control", "max-age=600"));
    auto missing = get("/p", NSURLRequestReturnCacheDataDontLoad);
    ASSERT_TRUE(missing->error);
    EXPECT_EQ(missing->error->code(), NSURLErrorResourceUnavailable);
    get("/p");
    EXPECT_EQ(get("/p", NSURLRequestReturnCacheDataDontLoad)->text(), "v");
    get("/p", NSURLRequestReloadIgnoringLocalCacheData);
    EXPECT_EQ(server.requestCount("/p"), 2u);
}

// A declined offer keeps nothing: the session behaviour tests.
TEST_F(Cache, NoStoreResponsesAreNotOfferedNorKept)
{
    server.on("/secret", Reply::text("s").header("Cache-Control", "no-store, max-age=600"));
    EXPECT_EQ(get("/secret")->order(), "willSend useStorage response data finish");
    get("/secret");
    EXPECT_EQ(server.requestCount("/secret"), 2u);
}

TEST_F(Cache, ResponsesWithoutCacheHeadersAreKeptOnDiskEvenAfterTheDirectoryWentAway)
{
    // The directory is made when the cache learns what its disk holds, not at every store: after
    // all entries and then the directory itself were removed, the next store makes it again.
    server.on("/plain", Reply::text("plain"));
    auto request = requestFor(server.url("/plain"));
    for (bool directoryRemoved : { false, true }) {
        if (directoryRemoved) {
            cache->removeAllCachedResponses();
            std::filesystem::remove_all(cache->diskPath());
        }
        get("/plain");
        network::cachedisk::flush(); // on disk, not only queued for it
        auto reopened = std::make_shared<NSURLCache>(1 << 20, 10 << 20, "URLCacheTest");
        auto entry = reopened->cachedResponseForRequest(*request);
        ASSERT_TRUE(entry) << directoryRemoved;
        EXPECT_EQ(std::string(entry->data().begin(), entry->data().end()), "plain");
    }
    EXPECT_EQ(server.requestCount("/plain"), 2u) << "neither fresh nor validatable: loaded each time";
}

TEST_F(Cache, DiskEntriesOutliveTheCacheObjectAndDamagedOnesAreDropped)
{
    server.on("/disk", Reply::text("on disk").header("Cache-Control", "max-age=600"));
    get("/disk");
    auto reopened = std::make_shared<NSURLCache>(1 << 20, 10 << 20, "URLCacheTest");
    auto request = requestFor(server.url("/disk"));
    auto entry = reopened->cachedResponseForRequest(*request);
    ASSERT_TRUE(entry);
    EXPECT_EQ(std::string(entry->data().begin(), entry->data().end()), "on disk");
    EXPECT_GT(reopened->currentDiskUsage(), 0u);
    for (const auto& file : std::filesystem::directory_iterator(reopened->diskPath()))
        std::ofstream(file.path(), std::ios::trunc) << "QMURLCACHE 1\ngarbage";
    auto fresh = std::make_shared<NSURLCache>(1 << 20, 10 << 20, "URLCacheTest");
    EXPECT_FALSE(fresh->cachedResponseForRequest(*request));
    EXPECT_EQ(fresh->currentDiskUsage(), 0u);
}

TEST_F(Cache, MemoryStaysWithinItsBudget)
{
    auto small = std::make_shared<NSURLCache>(4000, 0, "");
    for (int i = 0; i < 10; ++i)
        store(*small, "http://h/" + std::to_string(i), 1000);
    EXPECT_LE(small->currentMemoryUsage(), 4000u);
    EXPECT_TRUE(small->cachedResponseForRequest(*requestFor("http://h/9")));
    EXPECT_FALSE(small->cachedResponseForRequest(*requestFor("http://h/0")));
}

TEST_F(Cache, AReplacedEntryCountsOnceAndBecomesTheMostRecent)
{
    auto small = std::make_shared<NSURLCache>(4000, 0, "");
    store(*small, "http://h/a", 1000);
    store(*small, "http://h/b", 1000);
    store(*small, "http://h/a", 1200); // replaces a, which is now newer than b
    EXPECT_EQ(small->currentMemoryUsage(), 1000u + 512 + 1200 + 512);
    store(*small, "http://h/c", 1000); // over budget: the least recent (b) goes
    auto a = small->cachedResponseForRequest(*requestFor("http://h/a"));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->data().size(), 1200u);
    EXPECT_FALSE(small->cachedResponseForRequest(*requestFor("http://h/b")));
    EXPECT_TRUE(small->cachedResponseForRequest(*requestFor("http://h/c")));
}

TEST_F(Cache, FreshnessRules)
{
    auto entry = [](network::HeaderFields headers, double storedAt) {
        auto response = std::make_shared<NSHTTPURLResponse>(NSURL::URLWithString("http://h/"), 200, "HTTP/1.1", headers);
        return NSCachedURLResponse(response, {}, {}, NSURLCacheStorageAllowed, storedAt);
    };
    network::HeaderFields maxAge, expires, nothing;
    maxAge.set("Cache-Control", "public, max-age=60");
    expires.set("Date", "Sun, 06 Nov 1994 08:49:37 GMT");
    expires.set("Expires", "Sun, 06 Nov 1994 08:50:37 GMT");
    const std::tuple<network::HeaderFields*, double, bool> cases[] = { { &maxAge, 1059, true }, { &maxAge, 1061, false },
        { &expires, 1030, true }, { &expires, 1090, false }, { &nothing, 1000, false } };
    for (auto [headers, now, fresh] : cases)
        EXPECT_EQ(network::isFresh(entry(*headers, 1000), now), fresh) << now;
}

TEST_F(Cache, StoredEntriesAreSeenAtOnceByOtherCachesAndRemovalsStick)
{
    // Entries reach the disk in the background: another cache object on the same directory must
    // still see each one right after the store, and a removal must not be undone by a late write.
    auto other = std::make_shared<NSURLCache>(0, 10 << 20, "URLCacheTest");
    for (int i = 0; i < 50; ++i) {
        auto request = requestFor("http://127.0.0.1:9/item/" + std::to_string(i));
        store(*cache, request->URL()->absoluteString(), 100 + i);
        auto seen = other->cachedResponseForRequest(*request);
        ASSERT_TRUE(seen) << i;
        EXPECT_EQ(seen->data().size(), 100u + i);
        if (i % 2 == 0)
            cache->removeCachedResponseForRequest(*request);
    }
    auto reopened = std::make_shared<NSURLCache>(0, 10 << 20, "URLCacheTest");
    for (int i = 0; i < 50; ++i) {
        auto request = requestFor("http://127.0.0.1:9/item/" + std::to_string(i));
        EXPECT_EQ(reopened->cachedResponseForRequest(*request) != nullptr, i % 2 == 1) << i;
    }
}

TEST_F(Cache, AResponseTooLargeForMemoryStillReplacesTheOneKeptThere)
{
    auto small = std::make_shared<NSURLCache>(4096, 10 << 20, "URLCacheTest");
    auto request = requestFor("http://127.0.0.1:9/grows");
    for (std::size_t bytes : { 100u, 10000u }) {
        store(*small, request->URL()->absoluteString(), bytes);
        auto seen = small->cachedResponseForRequest(*request);
        ASSERT_TRUE(seen) << bytes;
        EXPECT_EQ(seen->data().size(), bytes);
    }
    EXPECT_EQ(small->currentMemoryUsage(), 0u);
}

TEST_F(Cache, DiskStaysWithinItsCapacityAcrossManyStores)
{
    // The disk total is tracked without a scan per store; it must still be trimmed to capacity,
    // counting what an earlier cache object left in the same directory.
    auto neighbour = std::make_shared<NSURLCache>(0, 40000, "URLCacheSmall");
    for (int i = 0; i < 20; ++i)
        store(*neighbour, "http://127.0.0.1:9/earlier/" + std::to_string(i), 1500);
    auto small = std::make_shared<NSURLCache>(0, 40000, "URLCacheSmall");
    for (int i = 0; i < 200; ++i)
        store(*small, "http://127.0.0.1:9/many/" + std::to_string(i), 1500);
    EXPECT_LE(small->currentDiskUsage(), 40000u);
    EXPECT_GT(small->currentDiskUsage(), 0u);
    auto last = requestFor("http://127.0.0.1:9/many/199");
    EXPECT_TRUE(small->cachedResponseForRequest(*last)) << "the newest entry survives trimming";
}

TEST_F(Cache, AnEntryFileLargerThanAnyStoredEntryIsDroppedUnread)
{
    std::string url = server.url("/huge");
    std::filesystem::create_directories(cache->diskPath());
    std::string file = cache->diskPath() + "/" + network::md5Hex(url) + ".entry";
    std::ofstream(file).put('Q');
    std::filesystem::resize_file(file, 1ull << 30); // sparse: takes no disk
    network::test::PeakGrowth growth;
    EXPECT_FALSE(cache->cachedResponseForRequest(*NSURLRequest::requestWithURL(NSURL::URLWithString(url))));
    EXPECT_LT(growth.mebibytes(), 128);
    network::cachedisk::flush();
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(CacheEntryCodec, AnEntryComesBackWholeAndFieldsThatWouldBreakItsLinesAreLeftOut)
{
    network::HeaderFields fields;
    fields.add("ETag", "\"v1\"");
    fields.add("X-Split", "one\ntwo");
    fields.add("Content-Type", "application/json");
    Bytes body { '{', '\n', '}', 0, 0xff };
    auto response = std::make_shared<NSHTTPURLResponse>(NSURL::URLWithString("http://h.test/a?b=1"), 203, "HTTP/1.0", fields);
    NSCachedURLResponse entry(response, body, Value {}, NSURLCacheStorageAllowed, 1700000000.25);
    auto decoded = network::decodeCacheEntry(network::encodeCacheEntry("http://h.test/a?b=1", entry));
    ASSERT_TRUE(decoded);
    auto* http = dynamic_cast<const NSHTTPURLResponse*>(decoded->response().get());
    ASSERT_TRUE(http);
    EXPECT_EQ(http->statusCode(), 203);
    EXPECT_EQ(http->HTTPVersion(), "HTTP/1.0");
    EXPECT_EQ(http->URL()->absoluteString(), "http://h.test/a?b=1");
    ASSERT_EQ(http->headerFields().fields().size(), 2u);
    EXPECT_EQ(http->headerFields().get("etag"), "\"v1\"");
    EXPECT_EQ(http->headerFields().get("Content-Type"), "application/json");
    EXPECT_EQ(decoded->data(), body);
    EXPECT_DOUBLE_EQ(decoded->storedAt(), 1700000000.25);
}

TEST(CacheEntryCodec, TheSizeWorkedOutAheadIsTheEncodedSize)
{
    // A store counts its entry's disk size before the disk writer encodes it.
    network::HeaderFields fields;
    fields.add("ETag", "\"v1\"");
    fields.add("X-Split", "one\ntwo");
    fields.add("X-Name\nBroken", "v");
    const std::string url = "http://h.test/a?b=1";
    auto http = [&](std::int64_t status, network::HeaderFields headers) {
        return std::make_shared<NSHTTPURLResponse>(NSURL::URLWithString(url), status, "HTTP/1.1", std::move(headers));
    };
    auto plain = std::make_shared<NSURLResponse>(NSURL::URLWithString(url), "text/plain", 3, std::nullopt);
    const NSCachedURLResponse entries[] = {
        { http(200, fields), Bytes(1200, 'x'), Value {}, NSURLCacheStorageAllowed, 1700000000.25 },
        { http(999, {}), Bytes {}, Value {}, NSURLCacheStorageAllowed, 0 },
        { http(100, fields), Bytes(9, 'y'), Value {}, NSURLCacheStorageAllowed, 9.999 },
        { plain, Bytes(10, 'z'), Value {}, NSURLCacheStorageAllowed, 123456789012.0 },
    };
    for (const auto& entry : entries)
        EXPECT_EQ(network::encodedCacheEntrySize(url, entry), network::encodeCacheEntry(url, entry).size())
            << entry.data().size();
}

} // namespace
