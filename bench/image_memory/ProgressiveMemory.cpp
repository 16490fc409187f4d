// Peak memory of one progressive load whose transform is slow: a 2000 × 2000 PNG trickled from a
// loopback server in about 150 pieces while each transform of a partial image takes 300 ms.
// Prints the process's peak RSS, how many images were transformed and how long the load took.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <thread>

#include "image/WIImageManager.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"
#include "testing/httpserver/TestServer.h"

namespace {

constexpr int kSide = 2000;

long peakMegabytes()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// An RGB PNG of noisy shades, so that it compresses little and arrives in many pieces.
std::string noisyPng()
{
    CGContextRef context = CGBitmapContextCreate(
        nullptr, kSide, kSide, 8, 0, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaNoneSkipFirst);
    unsigned state = 12345;
    for (int y = 0; y < kSide; y += 2) {
        for (int x = 0; x < kSide; x += 2) {
            state = state * 1103515245u + 12345u;
            CGContextSetRGBFillColor(context, (state >> 8 & 255) / 255.0, (state >> 16 & 255) / 255.0, 0.5, 1);
            CGContextFillRect(context, CGRectMake(x, y, 2, 2));
        }
    }
    Bytes png = UIImagePNGRepresentation(UIImage::imageWithCGImage(CGBitmapContextCreateImage(context)));
    return std::string(png.begin(), png.end());
}

class SlowTransform : public WIImageManagerDelegate {
public:
    bool respondsToTransformDownloadedImage() const override { return true; }
    UIImageRef imageManagerTransformDownloadedImage(WIImageManager&, const UIImageRef& image, const NSURL&) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ++calls;
        return image;
    }
    std::atomic<int> calls { 0 };
};

} // namespace

int main()
{
    testing_support::TempHome home;
    testing_support::runUntil([] { return true; }, 0.01); // this thread is the main thread
    httpserver::TestServer server;
    std::string body = noisyPng();
    std::string head = "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " + std::to_string(body.size())
        + "\r\nConnection: close\r\n\r\n";
    server.on("/big.png",
        httpserver::Reply::raw(httpserver::Script().send(head).trickle(body, body.size() / 150 + 1,
            std::chrono::milliseconds(10)).close()));
    std::printf("big.png: %zu bytes; start: peak %ld MB\n", body.size(), peakMegabytes());

    auto manager = WIImageManager::create(
        WIImageCache::initWithNamespace("progressive", home.pathFor("Library/Caches")), WIImageDownloader::create());
    auto transform = std::make_shared<SlowTransform>();
    manager->setDelegate(transform);
    int partials = 0;
    bool finished = false;
    auto started = std::chrono::steady_clock::now();
    manager->downloadImageWithURL(NSURL::URLWithString(server.url("/big.png")), WILoadProgressive, {},
        [&](UIImageRef, std::shared_ptr<NSError> error, WICacheSource, bool done, std::optional<NSURL>) {
            if (error)
                std::printf("error: %s\n", error->description().c_str());
            finished = finished || done;
            partials += done ? 0 : 1;
        });
    testing_support::runUntil([&] { return finished && transform.use_count() == 1; }, 600);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("loaded: peak %ld MB, %d transforms, %d partials shown, %.1f s\n", peakMegabytes(),
        transform->calls.load(), partials, seconds);
    return 0;
}
