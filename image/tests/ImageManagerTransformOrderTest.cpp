// The image manager's transforms of a progressive load: a slow transform of a partial image
// never has its result shown after the final image reached the manager, so the last report,
// like the cache, holds the final image.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
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
