// The downloader and its operations against a loopback server: joined requests, per-requester
// cancellation, the concurrency limit and LIFO order, request headers, status handling,
// notifications and partial images.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <thread>
#include "image/WIImageDownloader.h"
#include "image/tests/ImageTestSupport.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/threading/NSThread.h"
#include "platform/uikit/UIApplication.h"

using httpserver::Gate;
using httpserver::Reply;

namespace {
struct Outcome {
    std::atomic<int> calls { 0 };
    std::atomic<bool> finished { false };
    UIImageRef image;
    std::shared_ptr<NSError> error;
    std::mutex mutex;
    WIDownloadCompletion completion()
    {
        return [this](UIImageRef got, std::optional<Bytes>, std::shared_ptr<NSError> failure, bool done) {
            {
                std::lock_guard lock(mutex);
                if (done) {
                    image = got;
                    error = failure;
                }
                ++calls;
            }
            // The last touch: whoever waits for it may let the outcome go at once.
            if (done)
                finished = true;
        };
    }
};

// Counts the stop notifications of the operations it watches, and of no others: a download of an
// earlier test may still post its own. Observes for its lifetime, on the main thread.
class StopCounter {
public:
    StopCounter()
        : observer_(NSNotificationCenter::defaultCenter()->addObserverForName(WIImageDownloadStopNotification, nullptr,
            nullptr, [this](const std::shared_ptr<NSNotification>& notification) {
                if (std::find(watched_.begin(), watched_.end(), notification->object()) != watched_.end())
                    ++count_;
            }))
    {
    }
    ~StopCounter() { NSNotificationCenter::defaultCenter()->removeObserver(observer_.get()); }
    StopCounter(const StopCounter&) = delete;
    StopCounter& operator=(const StopCounter&) = delete;
    void watch(NSObjectRef operation) { watched_.push_back(std::move(operation)); }
    int count() const { return count_; }

private:
    std::vector<NSObjectRef> watched_;
    int count_ = 0;
    NSObjectRef observer_;
};

class WIImageDownloaderTest : public image_test::ServerTest {
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        downloader = WIImageDownloader::create();
    }
    // Starts a download of the path; the outcome outlives the test body.
    Outcome& start(const std::string& path, WIDownloadOptions options = 0)
    {
        Outcome& outcome = outcomes_.emplace_back();
        token = downloader->downloadImageWithURL(url(path), options, {}, outcome.completion());
        return outcome;
    }
    static bool finish(const Outcome& outcome) { return image_test::waitFor([&] { return outcome.finished.load(); }); }
    std::shared_ptr<WIImageDownloader> downloader;
    std::shared_ptr<WIImageDownloadToken> token; // of the last start
private:
    std::deque<Outcome> outcomes_;
};
} // namespace

TEST_F(WIImageDownloaderTest, RequestsForOneURLShareOneTransferAndCancelOneByOne)
{
    auto gate = heldImage("/a.png", 8);
    Outcome cancelled, second, third;
    std::atomic<int> progressCalls { 0 };
    auto one = downloader->downloadImageWithURL(url("/a.png"), 0, {}, cancelled.completion());
    auto two = downloader->downloadImageWithURL(url("/a.png"), 0, [&](std::int64_t, std::int64_t) { ++progressCalls; },
        second.completion());
    auto three = downloader->downloadImageWithURL(url("/a.png"), 0, {}, third.completion());
    auto progressOnly = downloader->downloadImageWithURL(url("/a.png"), 0, [](std::int64_t, std::int64_t) {}, {});
    ASSERT_TRUE(one && two && three && progressOnly);
    EXPECT_TRUE(one->operation());
    EXPECT_FALSE(two->operation());
    EXPECT_EQ(downloader->requesterCount(*url("/a.png")), 4u);
    auto callbacks = downloader->URLCallbacks()[server.url("/a.png")];
    ASSERT_EQ(callbacks.size(), 4u);
    EXPECT_TRUE(callbacks[1].progress && callbacks[1].completed && !callbacks[3].completed);
    progressOnly->cancel();
    ASSERT_TRUE(server.waitForRequests(1));
    one->cancel(); // the requester that started the transfer
    gate->open();
    ASSERT_TRUE(image_test::waitFor([&] { return second.finished && third.finished; }));
    EXPECT_TRUE(second.image);
    EXPECT_EQ(second.image, third.image);
    EXPECT_EQ(server.requestCount("/a.png"), 1u);
    EXPECT_TRUE(image_test::waitFor([&] { return progressCalls > 0; }));
    EXPECT_EQ(downloader->requesterCount(*url("/a.png")), 0u);
    EXPECT_TRUE(downloader->URLCallbacks().empty());
    testing_support::settle(0.5);
    EXPECT_EQ(cancelled.calls, 0);
}

TEST_F(WIImageDownloaderTest, CancellingTheLastRequesterStopsTheTransferSilently)
{
    auto gate = heldImage("/c.png", 8);
    StopCounter stops;
    Outcome& cancelled = start("/c.png");
    auto operation = token->operation();
    stops.watch(operation);
    ASSERT_TRUE(server.waitForRequests(1));
    ASSERT_TRUE(image_test::waitFor([&] { return operation->isExecuting(); }));
    token->cancel();
    ASSERT_TRUE(image_test::waitFor([&] { return operation->isFinished() && stops.count() == 1; }));
    EXPECT_TRUE(operation->isCancelled());
    gate->open();
    EXPECT_EQ(downloader->requesterCount(*url("/c.png")), 0u);
    // The next request for the URL starts afresh.
    Outcome& fresh = start("/c.png");
    EXPECT_TRUE(token->operation());
    ASSERT_TRUE(finish(fresh));
    EXPECT_TRUE(fresh.image);
    EXPECT_EQ(cancelled.calls, 0);
}

TEST_F(WIImageDownloaderTest, NeverRunsMoreThanTheLimit)
{
    downloader->setMaxConcurrentDownloads(2);
    auto gate = std::make_shared<Gate>();
    server.onPrefix("/slow", image_test::imageReply(image_test::pngBody(4, 4)).waitBeforeHead(gate));
    std::vector<std::shared_ptr<WIImageDownloadToken>> tokens;
    std::vector<Outcome*> outcomes;
    for (int i = 0; i < 4; ++i) {
        outcomes.push_back(&start("/slow" + std::to_string(i)));
        tokens.push_back(token);
    }
    ASSERT_TRUE(server.waitForRequests(2));
    EXPECT_EQ(std::count_if(tokens.begin(), tokens.end(), [](const auto& t) { return t->operation()->isExecuting(); }), 2);
    EXPECT_EQ(downloader->currentDownloadCount(), 4u);
    gate->open();
    for (Outcome* outcome : outcomes)
        ASSERT_TRUE(finish(*outcome));
    EXPECT_EQ(server.requestCount(), 4u);
}

TEST_F(WIImageDownloaderTest, LastInFirstOutRunsTheNewestFirst)
{
    downloader->setMaxConcurrentDownloads(1);
    downloader->setExecutionOrder(WIDownloadOrderLIFO);
    downloader->setSuspended(true);
    server.onPrefix("/order", image_test::imageReply(image_test::pngBody(4, 4)));
    std::vector<Outcome*> outcomes;
    for (int i = 0; i < 3; ++i)
        outcomes.push_back(&start("/order" + std::to_string(i)));
    EXPECT_EQ(downloader->lastAddedOperation(), token->operation());
    downloader->setSuspended(false);
    for (Outcome* outcome : outcomes)
        ASSERT_TRUE(finish(*outcome));
    std::vector<std::string> paths;
    for (const auto& request : server.requests())
        paths.push_back(request.path);
    EXPECT_EQ(paths, (std::vector<std::string> { "/order2", "/order1", "/order0" }));
}

TEST_F(WIImageDownloaderTest, RequestsCarryTheConfiguredHeadersAndTimeout)
{
    server.onPrefix("/h", image_test::imageReply(image_test::pngBody(4, 4)));
    downloader->setDownloadTimeout(0);
    Outcome& plain = start("/h1", WIDownloadHighPriority);
    EXPECT_EQ(token->operation()->request()->timeoutInterval(), 15);
    EXPECT_EQ(token->operation()->queuePriority(), NSOperationQueuePriorityHigh);
    EXPECT_EQ(token->operation()->request()->cachePolicy(), NSURLRequestReloadIgnoringLocalCacheData);
    EXPECT_FALSE(token->operation()->request()->HTTPShouldHandleCookies());
    ASSERT_TRUE(finish(plain));
    EXPECT_EQ(server.lastRequest()->headers.get("Accept"), "image/*;q=0.8");
    downloader->setHeadersFilter([](const NSURL&, const Value&) { return Value::dictionary(); });
    Outcome& filtered = start("/h2", WIDownloadLowPriority | WIDownloadUseURLCache);
    EXPECT_EQ(token->operation()->queuePriority(), NSOperationQueuePriorityLow);
    EXPECT_EQ(token->operation()->request()->cachePolicy(), NSURLRequestUseProtocolCachePolicy);
    ASSERT_TRUE(finish(filtered));
    EXPECT_FALSE(server.lastRequest()->headers.has("Accept"));
}

// A failing status (its code in the URL error domain) is in the manager's failed-URL test.
TEST_F(WIImageDownloaderTest, StatusAndBodyFailuresAreReported)
{
    server.on("/empty", Reply(200, "").contentType("image/png"));
    server.on("/text", Reply::text("not an image"));
    server.on("/same", Reply(304));
    StopCounter stops;
    Outcome& empty = start("/empty");
    stops.watch(token->operation());
    Outcome& text = start("/text");
    stops.watch(token->operation());
    Outcome& same = start("/same");
    stops.watch(token->operation());
    ASSERT_TRUE(finish(empty) && finish(text) && finish(same));
    ASSERT_TRUE(empty.error && text.error);
    EXPECT_EQ(empty.error->domain(), WIImageErrorDomain);
    EXPECT_EQ(empty.error->userInfo()[NSLocalizedDescriptionKey].asString(), "Downloaded image has 0 pixels");
    EXPECT_EQ(text.error->code(), 0);
    // Not modified: finished without image or error, so the requester is not left waiting.
    EXPECT_FALSE(same.image);
    EXPECT_FALSE(same.error);
    EXPECT_EQ(same.calls, 1);
    ASSERT_TRUE(image_test::waitFor([&] { return stops.count() == 3; }));
}

TEST_F(WIImageDownloaderTest, ProgressiveDownloadsDeliverPartialImagesFirst)
{
    std::string body = image_test::pngBody(96, 96, 3);
    server.on("/progressive.png", image_test::imageReply(body).trickle(body.size() / 6 + 1, std::chrono::milliseconds(15)));
    std::atomic<int> partials { 0 };
    std::atomic<bool> partialOffMain { false };
    Outcome outcome;
    auto base = outcome.completion();
    downloader->downloadImageWithURL(url("/progressive.png"), WIDownloadProgressive, {},
        [&](UIImageRef image, std::optional<Bytes> data, std::shared_ptr<NSError> error, bool finished) {
            if (!finished && image) {
                ++partials;
                partialOffMain = partialOffMain || !NSThread::isMainThread();
                EXPECT_EQ(image->size().width * image->scale(), 96);
            }
            base(image, data, error, finished);
        });
    ASSERT_TRUE(finish(outcome));
    EXPECT_TRUE(outcome.image);
    EXPECT_GT(partials, 0);
    EXPECT_FALSE(partialOffMain);
}

// Pieces already at hand reach the operation back to back, with no turn of its run loop between
// them: a cancel must still stop a progressive download before it decodes the next piece, and
// free its slot, rather than decode on until the body ends.
TEST_F(WIImageDownloaderTest, ACancelledProgressiveDownloadDecodesNoFurtherPieces)
{
    downloader->setMaxConcurrentDownloads(1);
    const std::string body = image_test::noisyPngBody(400);
    auto allSent = std::make_shared<Gate>(); // opened once all but the last piece are written
    server.on("/noisy.png",
        Reply(200)
            .contentType("image/png")
            .body(body.size(),
                [body, allSent](std::uint64_t offset, std::size_t max) {
                    if (offset + max >= body.size())
                        allSent->open();
                    return body.substr(offset, max);
                })
            .trickle(16 << 10, std::chrono::milliseconds(0)));
    server.on("/small.png", image_test::imageReply(image_test::pngBody(4, 4)));
    StopCounter stops;
    std::shared_ptr<WIImageDownloadToken> noisy;
    int partials = 0, finals = 0; // on the main thread
    noisy = downloader->downloadImageWithURL(url("/noisy.png"), WIDownloadProgressive, {},
        [&](UIImageRef image, std::optional<Bytes>, std::shared_ptr<NSError>, bool finished) {
            finals += finished ? 1 : 0;
            if (finished || !image || ++partials != 2)
                return;
            // The operation waits for this partial: when it goes on, the rest is in its socket.
            ASSERT_TRUE(allSent->waitFor(std::chrono::seconds(10)));
            noisy->operation()->cancel();
        });
    stops.watch(noisy->operation());
    ASSERT_TRUE(image_test::waitFor([&] { return noisy->operation()->isFinished() && stops.count() == 1; }));
    EXPECT_TRUE(noisy->operation()->isCancelled());
    EXPECT_LE(partials, 3) << "partial images decoded after the cancel: " << partials - 2;
    EXPECT_EQ(finals, 0);
    Outcome& next = start("/small.png");
    ASSERT_TRUE(finish(next));
    EXPECT_TRUE(next.image);
    EXPECT_EQ(stops.count(), 1);
}

// An operation whose run loop is stopped before the transfer ends, as an outside stop would.
class StoppedEarlyOperation : public WIImageDownloaderOperation {
public:
    using WIImageDownloaderOperation::WIImageDownloaderOperation;
    void connectionDidReceiveResponse(const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSURLResponse>&) override
    {
        NSRunLoop::currentRunLoop()->stop();
    }
};

TEST_F(WIImageDownloaderTest, ARunLoopEndingWithoutResultTimesOutWithTheFailingURL)
{
    auto gate = heldImage("/stalled.png", 4);
    downloader->setOperationClass([](auto request, auto options, auto progress, auto completed, auto cancelled) {
        return std::make_shared<StoppedEarlyOperation>(request, options, progress, completed, cancelled);
    });
    Outcome& outcome = start("/stalled.png");
    ASSERT_TRUE(finish(outcome));
    gate->open();
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain(), NSURLErrorDomain);
    EXPECT_EQ(outcome.error->code(), -1001);
    EXPECT_EQ(outcome.error->userInfo()[NSURLErrorFailingURLErrorKey].asString(), server.url("/stalled.png"));
    EXPECT_TRUE(image_test::waitFor([&] { return token->operation()->isFinished(); }))
        << "the operation finishes after its completion block";
}

// Operations share their threads: one whose run was stopped early must not leave a stop behind
// that ends the next operation's run on the same thread.
TEST_F(WIImageDownloaderTest, AnOperationEndedAfterItsRunLeavesTheThreadsNextRunAlone)
{
    auto gate = heldImage("/stalled.png", 4);
    server.on("/small.png", image_test::imageReply(image_test::pngBody(4, 4)));
    auto request = [&](const std::string& path) { return NSMutableURLRequest::requestWithURL(*url(path)); };
    Outcome early, next;
    std::make_shared<StoppedEarlyOperation>(request("/stalled.png"), 0, nullptr, early.completion(), nullptr)->start();
    gate->open();
    ASSERT_TRUE(early.finished && early.error);
    EXPECT_EQ(early.error->code(), -1001);
    std::make_shared<WIImageDownloaderOperation>(request("/small.png"), 0, nullptr, next.completion(), nullptr)->start();
    ASSERT_TRUE(next.finished);
    EXPECT_TRUE(next.image) << (next.error ? next.error->description() : std::string("no error"));
}

// The system ends the time it gave a download to go on in the background, from a thread of its
// own: the download is cancelled and its background task ended.
TEST_F(WIImageDownloaderTest, AnExpiringBackgroundTaskCancelsItsDownload)
{
    auto gate = heldImage("/held.png", 8);
    auto application = UIApplication::sharedApplication();
    application->reset();
    start("/held.png", WIDownloadContinueInBackground);
    ASSERT_TRUE(server.waitForRequests(1));
    EXPECT_EQ(application->backgroundTaskCount(), 1u);
    std::thread([application] { application->expireBackgroundTasks(); }).join();
    EXPECT_TRUE(image_test::waitFor([&] { return token->operation()->isFinished(); }));
    EXPECT_TRUE(token->operation()->isCancelled());
    EXPECT_EQ(application->backgroundTaskCount(), 0u);
    gate->open();
}

TEST_F(WIImageDownloaderTest, NilURLAnswersAtOnce)
{
    bool called = false;
    EXPECT_FALSE(downloader->downloadImageWithURL(std::nullopt, 0, {},
        [&](UIImageRef image, std::optional<Bytes>, std::shared_ptr<NSError> error, bool finished) {
            called = true;
            EXPECT_FALSE(image || error || finished);
        }));
    EXPECT_TRUE(called);
}

TEST_F(WIImageDownloaderTest, BodiesOverTheBoundFailWithDataLengthExceedsMaximum)
{
    // An announced length over the default bound (20 MiB) fails before any body is sent.
    auto held = std::make_shared<Gate>();
    server.on("/announced.png", Reply(200, "x").contentType("image/png").contentLength(21u << 20).waitBeforeBody(held));
    // Without a length, the body fails once it grows past the bound.
    server.on("/endless.png",
        Reply(200).contentType("image/png").body(std::uint64_t(64) << 10, httpserver::repeating("0123456789")).chunked(4096));
    server.on("/small.png", image_test::imageReply(image_test::pngBody(4, 4)));
    Outcome& announced = start("/announced.png");
    ASSERT_TRUE(finish(announced));
    EXPECT_FALSE(held->isOpen());
    held->open();
    downloader->setMaxBodySize(16 << 10);
    Outcome &endless = start("/endless.png"), &small = start("/small.png");
    ASSERT_TRUE(finish(endless) && finish(small));
    for (Outcome* failed : { &announced, &endless }) {
        ASSERT_TRUE(failed->error);
        EXPECT_EQ(failed->error->domain(), NSURLErrorDomain);
        EXPECT_EQ(failed->error->code(), -1103);
        EXPECT_FALSE(failed->image);
    }
    EXPECT_TRUE(small.image) << (small.error ? small.error->description() : std::string("no error"));
}

// A request joining a download while another thread cancels that download before it started:
// neither may wait for the other. The cancelling thread is held right inside the cancel (before
// the operation counts as cancelled) until the joining request has returned, so a join that
// waited for the cancel would hang here for good.
TEST_F(WIImageDownloaderTest, CancelAndJoinOnOtherThreadsNeverWaitForEachOther)
{
    downloader->setSuspended(true); // nothing starts, so cancels run on the cancelling thread
    std::atomic<bool> allDone { false };
    std::thread rounds([&] {
        for (int round = 0; round < 100; ++round) {
            const auto target = url("/contended" + std::to_string(round));
            auto operation = downloader->downloadImageWithURL(target, 0, {}, {})->operation();
            std::atomic<bool> inCancel { false }, joined { false };
            auto observation = operation->observe("isCancelled", NSKeyValueObservingOptionPrior,
                [&](const std::string&, NSObject*, const Value& change) {
                    if (!change[NSKeyValueChangeNotificationIsPriorKey].boolValue())
                        return;
                    inCancel = true;
                    while (!joined)
                        std::this_thread::yield();
                });
            std::thread canceller([&] { operation->cancel(); });
            while (!inCancel)
                std::this_thread::yield();
            downloader->downloadImageWithURL(target, 0, {}, {});
            joined = true;
            canceller.join();
        }
        allDone = true;
    });
    if (!image_test::waitFor([&] { return allDone.load(); }, 30)) {
        std::fputs("cancel and join wait for each other\n", stderr);
        std::abort(); // the threads are stuck for good: nothing to join
    }
    rounds.join();
    downloader->setSuspended(false);
}
