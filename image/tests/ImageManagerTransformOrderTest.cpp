// The image manager's transforms of a progressive load: a slow transform of a partial image
// never has its result shown after the final image reached the manager, so the last report,
// like the cache, holds the final image; images are shown in the order they came, and only the
// newest partial waits behind a running transform.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include "image/WIImageDownloaderOperation.h"
#include "image/WIImageManager.h"
#include "image/tests/ImageTestSupport.h"

namespace {
// The first transform (of a partial image: the rest of the body is held back until it ran)
// lasts until the final image reached the manager, as a slow one would.
class FirstTransformLasts : public WIImageManagerDelegate {
public:
    bool respondsToTransformDownloadedImage() const override { return true; }
    UIImageRef imageManagerTransformDownloadedImage(WIImageManager& manager, const UIImageRef& image, const NSURL&) override
    {
        if (calls++ == 0) {
            entered = true;
            for (int i = 0; i < 10000 && manager.isRunning(); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        return image;
    }
    std::atomic<int> calls { 0 };
    std::atomic<bool> entered { false };
};

struct Shown {
    UIImageRef image;
    bool finished = false;
    bool finalHadArrived = false;
};

class WIImageManagerTransformOrderTest : public image_test::ServerTest {};
} // namespace

TEST_F(WIImageManagerTransformOrderTest, APartialTransformedLateIsNeverShownAfterTheFinalImage)
{
    std::string body = image_test::pngBody(96, 96, 5);
    std::size_t half = body.size() / 2;
    std::string head = "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " + std::to_string(body.size())
        + "\r\nConnection: close\r\n\r\n";
    auto gate = std::make_shared<httpserver::Gate>();
    server.on("/progressive.png",
        httpserver::Reply::raw(
            httpserver::Script().send(head + body.substr(0, half)).wait(gate).send(body.substr(half)).close()));
    auto cache = WIImageCache::initWithNamespace("order", home.pathFor("Library/Caches"));
    auto manager = WIImageManager::create(cache, WIImageDownloader::create());
    auto transform = std::make_shared<FirstTransformLasts>();
    manager->setDelegate(transform);
    std::vector<Shown> shown;
    manager->downloadImageWithURL(url("/progressive.png"), WILoadProgressive, {},
        [&](UIImageRef image, std::shared_ptr<NSError> error, WICacheSource, bool finished, std::optional<NSURL>) {
            EXPECT_FALSE(error);
            shown.push_back(Shown { image, finished, !manager->isRunning() });
        });
    ASSERT_TRUE(image_test::waitFor([&] { return transform->entered.load(); }));
    gate->open();
    // Done once the final image is shown and no transform holds the delegate any more.
    ASSERT_TRUE(image_test::waitFor([&] {
        bool finalShown = std::any_of(shown.begin(), shown.end(), [](const Shown& one) { return one.finished; });
        return finalShown && transform.use_count() == 1;
    }));
    EXPECT_GE(transform->calls, 2);
    for (const auto& one : shown) {
        EXPECT_FALSE(!one.finished && one.finalHadArrived) << "a partial image shown after the final one came";
    }
    ASSERT_TRUE(shown.back().finished);
    ASSERT_TRUE(shown.back().image);
    dispatch_sync(cache->ioQueue(), [] {});
    EXPECT_EQ(cache->imageFromMemoryCacheForKey(manager->cacheKeyForURL(url("/progressive.png"))), shown.back().image);
}

namespace {
// Holds each transform while `hold` is set; counts the transforms begun and those done.
class HeldTransform : public WIImageManagerDelegate {
public:
    bool respondsToTransformDownloadedImage() const override { return true; }
    UIImageRef imageManagerTransformDownloadedImage(WIImageManager&, const UIImageRef& image, const NSURL&) override
    {
        ++entered;
        while (hold) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ++calls;
        return image;
    }
    std::atomic<bool> hold { true };
    std::atomic<int> entered { 0 };
    std::atomic<int> calls { 0 };
};
} // namespace

// The downloader's reports are made by the test, so it knows which images reached the manager
// while a transform was held: they are shown in the order they came, and of the partial images
// that came meanwhile only the newest is kept, whether a newer partial or the final replaced it.
TEST_F(WIImageManagerTransformOrderTest, PartialsWaitingForASlowTransformAreShownInOrderAndOnlyTheNewestIsKept)
{
    auto downloader = WIImageDownloader::create();
    downloader->setSuspended(true);
    WIDownloadCompletion report;
    std::atomic<bool> started { false };
    downloader->setOperationClass([&](auto request, auto options, auto progress, auto completed, auto cancelled) {
        report = completed;
        started = true;
        return std::make_shared<WIImageDownloaderOperation>(request, options, progress, completed, cancelled);
    });
    auto manager = WIImageManager::create(WIImageCache::initWithNamespace("held", home.pathFor("Library/Caches")), downloader);
    auto transform = std::make_shared<HeldTransform>();
    manager->setDelegate(transform);
    std::vector<UIImage*> shown;
    manager->downloadImageWithURL(url("/held.png"), WILoadProgressive, {},
        [&](UIImageRef image, std::shared_ptr<NSError>, WICacheSource, bool, std::optional<NSURL>) {
            shown.push_back(image.get());
        });
    ASSERT_TRUE(image_test::waitFor([&] { return started.load(); }));
    std::vector<UIImageRef> images;
    for (int seed = 0; seed < 7; ++seed) {
        images.push_back(image_test::makeImage(64, 64, false, seed));
    }
    std::vector<UIImage*> kept = { images[0].get(), images[3].get(), images[6].get() };
    // Hands the image over, keeping only a weak reference to it.
    auto reportImage = [&](int index, bool finished) {
        std::weak_ptr<UIImage> weak = images[index];
        report(std::exchange(images[index], nullptr), std::nullopt, nullptr, finished);
        return weak;
    };

    reportImage(0, false);
    ASSERT_TRUE(image_test::waitFor([&] { return transform->entered == 1; }));
    auto second = reportImage(1, false);
    auto third = reportImage(2, false);
    reportImage(3, false);
    EXPECT_TRUE(second.expired() && third.expired()) << "partial images pile up behind a held transform";
    transform->hold = false;
    ASSERT_TRUE(image_test::waitFor([&] { return shown.size() == 2; }));

    transform->hold = true;
    reportImage(4, false);
    ASSERT_TRUE(image_test::waitFor([&] { return transform->entered == 3; }));
    auto last = reportImage(5, false);
    reportImage(6, true);
    EXPECT_TRUE(last.expired()) << "the final image leaves a waiting partial behind";
    transform->hold = false;
    ASSERT_TRUE(image_test::waitFor([&] { return transform.use_count() == 1 && !manager->isRunning(); }));
    // The partial held while the final came is dropped as stale; the final is shown once, last.
    EXPECT_EQ(shown, kept);
}
