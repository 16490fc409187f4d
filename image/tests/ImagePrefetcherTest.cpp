// The prefetcher: empty lists, the in-flight limit and list order, skipped failures, a
// restart that silences the earlier list, and the queue that starts each next URL.
#include <future>
#include "image/WIImagePrefetcher.h"
#include "image/tests/ImageTestSupport.h"
#include "platform/threading/WorkerPool.h"

using httpserver::Gate;
using httpserver::Reply;

namespace {
class WIImagePrefetcherTest : public image_test::ServerTest {
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        cache = WIImageCache::initWithNamespace("prefetch", home.pathFor("Library/Caches"));
        downloader = WIImageDownloader::create();
        prefetcher = WIImagePrefetcher::initWithImageManager(WIImageManager::create(cache, downloader));
    }
    void TearDown() override
    {
        prefetcher->cancelPrefetching();
        testing_support::settle(1);
    }
    NSURL urlOf(const std::string& path) { return *url(path); }
    std::shared_ptr<WIImageCache> cache;
    std::shared_ptr<WIImageDownloader> downloader;
    std::shared_ptr<WIImagePrefetcher> prefetcher;
};
} // namespace

TEST_F(WIImagePrefetcherTest, EmptyListCompletesAtOnce)
{
    bool done = false;
    prefetcher->prefetchURLs({}, {}, [&](std::uint64_t finished, std::uint64_t skipped) {
        done = finished == 0 && skipped == 0;
    });
    EXPECT_TRUE(done);
}

TEST_F(WIImagePrefetcherTest, KeepsThreeInFlightAndCountsFailuresAsSkipped)
{
    auto gate = std::make_shared<Gate>();
    server.onPrefix("/p", image_test::imageReply(image_test::pngBody(4, 4)).waitBeforeBody(gate));
    server.on("/p4", Reply::text("missing", 404));
    std::vector<NSURL> urls;
    for (int i = 0; i < 5; ++i)
        urls.push_back(urlOf("/p" + std::to_string(i)));
    int completions = 0;
    std::uint64_t finished = 0, skipped = 0;
    std::vector<std::uint64_t> progress;
    prefetcher->prefetchURLs(urls, [&](std::uint64_t done, std::uint64_t) { progress.push_back(done); },
        [&](std::uint64_t done, std::uint64_t skip) {
            ++completions;
            finished = done;
            skipped = skip;
        });
    ASSERT_TRUE(image_test::waitFor([&] { return server.requestCount() == 3; }));
    EXPECT_EQ(prefetcher->requestedCount(), 3u);
    EXPECT_EQ(server.requestCount("/p3"), 0u);
    gate->open();
    ASSERT_TRUE(image_test::waitFor([&] { return completions == 1; }));
    EXPECT_EQ(finished, 5u);
    EXPECT_EQ(skipped, 1u);
    EXPECT_EQ(progress, (std::vector<std::uint64_t> { 1, 2, 3, 4, 5 }));
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey(server.url("/p0")));
}

TEST_F(WIImagePrefetcherTest, ARestartSilencesTheEarlierList)
{
    auto gate = std::make_shared<Gate>();
    server.onPrefix("/held", image_test::imageReply(image_test::pngBody(4, 4)).waitBeforeBody(gate));
    server.onPrefix("/quick", image_test::imageReply(image_test::pngBody(4, 4)));
    bool firstDone = false;
    prefetcher->prefetchURLs({ urlOf("/held1"), urlOf("/held2") }, {}, [&](auto, auto) { firstDone = true; });
    ASSERT_TRUE(image_test::waitFor([&] { return server.requestCount() == 2; }));
    std::uint64_t secondFinished = 0;
    prefetcher->prefetchURLs({ urlOf("/quick1") }, {}, [&](std::uint64_t done, auto) { secondFinished = done; });
    ASSERT_TRUE(image_test::waitFor([&] { return secondFinished == 1; }));
    gate->open();
    testing_support::settle(0.5);
    EXPECT_FALSE(firstDone);
}

TEST_F(WIImagePrefetcherTest, EachNextURLStartsOnThePrefetcherQueue)
{
    server.onPrefix("/q", image_test::imageReply(image_test::pngBody(2, 2)));
    auto queue = dispatch_queue_create("prefetch.test", DISPATCH_QUEUE_SERIAL);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    dispatch_async(queue, [released] {
        threading::BlockingScope blocked;
        released.wait();
    });
    prefetcher->setPrefetcherQueue(queue);
    prefetcher->setMaxConcurrentDownloads(1);
    bool done = false;
    prefetcher->prefetchURLs({ urlOf("/q1.png"), urlOf("/q2.png") }, {}, [&](std::uint64_t, std::uint64_t) { done = true; });
    ASSERT_TRUE(image_test::waitFor([&] { return prefetcher->finishedCount() == 1; }));
    testing_support::settle(0.2);
    EXPECT_EQ(server.requestCount("/q2.png"), 0u); // waits for the busy queue
    release.set_value();
    ASSERT_TRUE(image_test::waitFor([&] { return done; }));
    EXPECT_EQ(server.requestCount("/q2.png"), 1u);
}
