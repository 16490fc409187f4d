// The image manager: the failed-URL list, connectivity failures, memory hits within the call,
// cancellation before the cache answers, refreshing through the URL cache, delegate veto and
// transform, and the running list.
#include <algorithm>
#include <atomic>
#include "image/WIImageManager.h"
#include "image/tests/ImageTestSupport.h"
#include "platform/threading/NSThread.h"
#include "platform/persistence/NSFileManager.h"

using httpserver::Reply;

namespace {
struct Report {
    UIImageRef image;
    std::shared_ptr<NSError> error;
    WICacheSource source = WICacheSourceNone;
    bool finished = false;
    bool onMain = false;
};

class WIImageManagerTest : public image_test::ServerTest {
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        cache = WIImageCache::initWithNamespace("manager", home.pathFor("Library/Caches"));
        manager = WIImageManager::create(cache, WIImageDownloader::create());
    }
    void TearDown() override
    {
        manager->cancelAll();
        testing_support::settle(1);
    }
    WILoadCompletion recorder()
    {
        return [this](UIImageRef image, std::shared_ptr<NSError> error, WICacheSource source, bool finished,
                   std::optional<NSURL>) {
            reports.push_back(Report { image, error, source, finished, NSThread::isMainThread() });
        };
    }
    bool finishedCount(std::size_t count)
    {
        return image_test::waitFor([&] {
            return std::count_if(reports.begin(), reports.end(), [](const Report& r) { return r.finished; })
                >= long(count);
        });
    }
    std::shared_ptr<WIImageCache> cache;
    std::shared_ptr<WIImageManager> manager;
    std::vector<Report> reports;
};

class Veto : public WIImageManagerDelegate {
public:
    std::optional<bool> imageManagerShouldDownloadImageForURL(WIImageManager&, const NSURL&) override { return false; }
};

class SameImageTransform : public WIImageManagerDelegate {
public:
    bool respondsToTransformDownloadedImage() const override { return true; }
    UIImageRef imageManagerTransformDownloadedImage(WIImageManager&, const UIImageRef& image, const NSURL&) override
    {
        ++calls;
        return image;
    }
    std::atomic<int> calls { 0 };
};
} // namespace

TEST_F(WIImageManagerTest, LastingFailuresAreRefusedUntilRetried)
{
    server.on("/flaky.png", Reply::text("gone", 404));
    manager->downloadImageWithURL(url("/flaky.png"), 0, {}, recorder());
    ASSERT_TRUE(finishedCount(1));
    ASSERT_TRUE(reports[0].error);
    EXPECT_EQ(reports[0].error->domain(), NSURLErrorDomain);
    EXPECT_EQ(reports[0].error->code(), 404);
    EXPECT_TRUE(reports[0].onMain);
    EXPECT_EQ(manager->failedURLs(), std::set<std::string> { server.url("/flaky.png") });
    // Refused within the call, without asking the server.
    manager->downloadImageWithURL(url("/flaky.png"), 0, {}, recorder());
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].error->code(), -1100);
    EXPECT_EQ(reports[1].error->domain(), NSURLErrorDomain);
    EXPECT_EQ(server.requestCount("/flaky.png"), 1u);
    server.on("/flaky.png", image_test::imageReply(image_test::pngBody(5, 5)));
    manager->downloadImageWithURL(url("/flaky.png"), WILoadRetryFailed, {}, recorder());
    ASSERT_TRUE(finishedCount(3));
    EXPECT_TRUE(reports[2].image);
    EXPECT_TRUE(manager->failedURLs().empty());
    EXPECT_TRUE(image_test::waitFor([&] { return !manager->isRunning(); }));
}

TEST_F(WIImageManagerTest, ConnectivityFailuresStayRetryableAndBadURLsAreRefused)
{
    std::string closed;
    {
        httpserver::TestServer gone;
        closed = gone.url("/x.png");
    }
    manager->downloadImageWithURL(closed, 0, {}, recorder());
    ASSERT_TRUE(finishedCount(1));
    ASSERT_TRUE(reports[0].error);
    EXPECT_EQ(reports[0].error->code(), -1004);
    EXPECT_FALSE(manager->isFailedURL(*NSURL::URLWithString(closed)));
    manager->downloadImageWithURL(std::optional<NSURL>(), 0, {}, recorder());
    manager->downloadImageWithURL(std::string("http://[bad"), 0, {}, recorder());
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[1].error->code(), -1100);
    EXPECT_EQ(reports[2].error->code(), -1100);
    EXPECT_TRUE(image_test::waitFor([&] { return !manager->isRunning(); }));
}

TEST_F(WIImageManagerTest, MemoryHitsAreReportedWithinTheCall)
{
    UIImageRef image = image_test::makeImage(4, 4, true);
    manager->saveImageToCache(image, url("/cached.png"));
    EXPECT_TRUE(manager->cachedImageExistsForURL(*url("/cached.png")));
    manager->downloadImageWithURL(server.url("/cached.png"), 0, {}, recorder());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].image, image);
    EXPECT_EQ(reports[0].source, WICacheSourceMemory);
    EXPECT_FALSE(manager->isRunning());
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(WIImageManagerTest, CancelBeforeTheCacheAnswersOrCancelAllSuppressesEverything)
{
    server.on("/late.png", image_test::imageReply(image_test::pngBody(4, 4)));
    auto operation = manager->downloadImageWithURL(url("/late.png"), 0, {}, recorder());
    EXPECT_TRUE(manager->isRunning());
    operation->cancel();
    EXPECT_FALSE(manager->isRunning());
    // A cancel block set after the cancel runs at once.
    bool ran = false;
    operation->setCancelBlock([&] { ran = true; });
    EXPECT_TRUE(ran);
    auto gate = std::make_shared<httpserver::Gate>();
    server.onPrefix("/held", image_test::imageReply(image_test::pngBody(4, 4)).waitBeforeBody(gate));
    auto first = manager->downloadImageWithURL(url("/held1.png"), 0, {}, recorder());
    auto second = manager->downloadImageWithURL(url("/held2.png"), 0, {}, recorder());
    ASSERT_TRUE(image_test::waitFor([&] { return server.requestCount() >= 2; }));
    EXPECT_EQ(server.requestCount("/late.png"), 0u);
    EXPECT_EQ(manager->runningOperations(), (std::vector { first, second }));
    manager->cancelAll();
    EXPECT_FALSE(manager->isRunning());
    gate->open();
    testing_support::settle(0.5);
    EXPECT_TRUE(reports.empty());
}

TEST_F(WIImageManagerTest, RefreshReportsTheCachedImageThenTheNewOneUnlessNotModified)
{
    httpserver::Resource resource;
    resource.body = image_test::pngBody(6, 6);
    resource.contentType = "image/png";
    resource.etag = "\"v1\"";
    resource.extraHeaders.set("Cache-Control", "no-cache");
    server.on("/fresh.png", httpserver::serve(resource));
    UIImageRef old = image_test::makeImage(2, 2, true);
    manager->saveImageToCache(old, url("/fresh.png"));
    manager->downloadImageWithURL(url("/fresh.png"), WILoadRefreshCached, {}, recorder());
    ASSERT_TRUE(finishedCount(2));
    EXPECT_EQ(reports[0].image, old);
    ASSERT_TRUE(reports[1].image);
    EXPECT_EQ(reports[1].image->size().width * reports[1].image->scale(), 6);
    ASSERT_TRUE(image_test::waitFor([&] { return !manager->isRunning(); }));
    // Now the URL cache holds the response: the server answers 304 and nothing more is reported.
    reports.clear();
    manager->downloadImageWithURL(url("/fresh.png"), WILoadRefreshCached, {}, recorder());
    ASSERT_TRUE(finishedCount(1));
    ASSERT_TRUE(image_test::waitFor([&] { return !manager->isRunning(); }));
    testing_support::settle(0.3);
    EXPECT_EQ(reports.size(), 1u);
    ASSERT_EQ(server.requestCount("/fresh.png"), 2u);
    EXPECT_EQ(server.requestsFor("/fresh.png")[1].headers.get("If-None-Match"), "\"v1\"");
}

TEST_F(WIImageManagerTest, TheDelegateVetoesOrTransforms)
{
    auto veto = std::make_shared<Veto>(); // held weakly by the manager
    manager->setDelegate(veto);
    manager->downloadImageWithURL(url("/vetoed.png"), 0, {}, recorder());
    ASSERT_TRUE(finishedCount(1));
    EXPECT_FALSE(reports[0].image || reports[0].error) << "a veto ends the load without image or error";
    EXPECT_EQ(server.requestCount(), 0u);
    // A transform returning the same image stores the downloaded bytes.
    std::string body = image_test::pngBody(7, 7);
    server.on("/t.png", image_test::imageReply(body));
    auto transform = std::make_shared<SameImageTransform>();
    manager->setDelegate(transform);
    manager->downloadImageWithURL(url("/t.png"), 0, {}, recorder());
    ASSERT_TRUE(finishedCount(2));
    EXPECT_EQ(transform->calls, 1);
    EXPECT_TRUE(reports[1].image);
    dispatch_sync(cache->ioQueue(), [] {});
    auto stored = NSFileManager::defaultManager()->contentsAtPath(cache->defaultCachePathForKey(server.url("/t.png")));
    ASSERT_TRUE(stored);
    EXPECT_EQ(std::string(stored->begin(), stored->end()), body);
}

TEST_F(WIImageManagerTest, CutOffImagesAreErrorsAndNeverCached)
{
    Bytes gif = image_test::twoFrameGif(10, 10);
    const std::pair<std::string, std::string> cases[] = {
        { "/cut.png", image_test::pngBody(64, 64) },
        { "/cut.jpg", image_test::jpegBody(64, 64) },
        { "/cut.gif", std::string(gif.begin(), gif.end()) },
    };
    for (const auto& [path, whole] : cases) {
        SCOPED_TRACE(path);
        // The server sends all it has, with a matching length: the file itself stops early.
        server.on(path, image_test::imageReply(whole.substr(0, whole.size() - 4)));
        reports.clear();
        manager->downloadImageWithURL(url(path), 0, {}, recorder());
        ASSERT_TRUE(finishedCount(1));
        EXPECT_FALSE(reports[0].image);
        ASSERT_TRUE(reports[0].error);
        EXPECT_EQ(reports[0].error->domain(), WIImageErrorDomain);
        dispatch_sync(cache->ioQueue(), [] {});
        EXPECT_FALSE(cache->imageFromMemoryCacheForKey(manager->cacheKeyForURL(url(path))));
        EXPECT_FALSE(cache->diskImageExistsWithKey(manager->cacheKeyForURL(url(path))));
    }
}
