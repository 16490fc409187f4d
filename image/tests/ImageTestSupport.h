// Helpers for the image stack's tests: encoded fixtures made at run time, a loopback image
// server fixture, and waiting on the main run loop.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include "platform/graphics/Context.h"
#include "platform/foundation/NSURL.h"
#include "platform/graphics/UIImage.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"
#include "testing/httpserver/Resource.h"
#include "testing/httpserver/TestServer.h"

namespace image_test {
// A w × h bitmap; with `alpha` it is half transparent, else opaque. `seed` varies the pixels.
inline UIImageRef makeImage(std::size_t width, std::size_t height, bool alpha, int seed = 0)
{
    CGContextRef context = CGBitmapContextCreate(nullptr, width, height, 8, 0, CGColorSpaceCreateDeviceRGB(),
        alpha ? kCGImageAlphaPremultipliedFirst : kCGImageAlphaNoneSkipFirst);
    for (std::size_t y = 0; y < height; y += 4) {
        for (std::size_t x = 0; x < width; x += 4) {
            double shade = double((x * 7 + y * 13 + std::size_t(seed) * 31) % 255) / 255.0;
            CGContextSetRGBFillColor(context, shade, 1 - shade, 0.5, alpha ? 0.5 : 1.0);
            CGContextFillRect(context, CGRectMake(double(x), double(y), 4, 4));
        }
    }
    return UIImage::imageWithCGImage(CGBitmapContextCreateImage(context));
}

inline std::string pngBody(std::size_t width, std::size_t height, int seed = 0)
{
    Bytes png = UIImagePNGRepresentation(makeImage(width, height, true, seed));
    return std::string(png.begin(), png.end());
}

// An opaque square of pseudo-random pixels: it compresses little, so its body comes in many pieces.
inline std::string noisyPngBody(std::size_t side)
{
    Bytes pixels(side * side * 4);
    unsigned state = 12345;
    for (auto& byte : pixels) {
        state = state * 1103515245u + 12345u;
        byte = std::uint8_t(state >> 16);
    }
    CGImageRef noise = CGImageCreate(
        side, side, 8, 32, side * 4, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaNoneSkipFirst, std::move(pixels));
    Bytes png = UIImagePNGRepresentation(UIImage::imageWithCGImage(noise));
    return std::string(png.begin(), png.end());
}

inline std::string jpegBody(std::size_t width, std::size_t height)
{
    Bytes jpeg = UIImageJPEGRepresentation(makeImage(width, height, false), 0.9);
    return std::string(jpeg.begin(), jpeg.end());
}

// A 1 × 1 GIF of two frames; delays in hundredths of a second, negative for no control block.
inline Bytes twoFrameGif(int firstDelay, int secondDelay)
{
    Bytes gif = { 'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF };
    for (int delay : { firstDelay, secondDelay }) {
        if (delay >= 0) {
            Bytes control = { 0x21, 0xF9, 4, 0, std::uint8_t(delay & 0xFF), std::uint8_t(delay >> 8), 0, 0 };
            gif.insert(gif.end(), control.begin(), control.end());
        }
        Bytes frame = { 0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0 };
        gif.insert(gif.end(), frame.begin(), frame.end());
    }
    gif.push_back(0x3B);
    return gif;
}

inline httpserver::Reply imageReply(const std::string& body, const std::string& type = "image/png")
{
    return httpserver::Reply(200, body).contentType(type);
}

inline bool waitFor(const std::function<bool()>& predicate, double seconds = 10)
{
    return testing_support::runUntil(predicate, seconds);
}

// Makes the call with a block (of any arguments) that marks it done, and waits for it on the
// main loop.
template <class Call> bool completes(Call&& call)
{
    auto done = std::make_shared<bool>(false);
    call([done](auto&&...) { *done = true; });
    return waitFor([done] { return *done; });
}

// This thread as the main thread, a fresh home and a loopback server.
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override { testing_support::runUntil([] { return true; }, 0.01); }
    std::optional<NSURL> url(const std::string& path) { return NSURL::URLWithString(server.url(path)); }
    // Serves a square PNG at the path, its body held back until the gate opens.
    std::shared_ptr<httpserver::Gate> heldImage(const std::string& path, std::size_t side)
    {
        auto gate = std::make_shared<httpserver::Gate>();
        server.on(path, imageReply(pngBody(side, side)).waitBeforeBody(gate));
        return gate;
    }

    testing_support::TempHome home;
    httpserver::TestServer server;
};
} // namespace image_test
