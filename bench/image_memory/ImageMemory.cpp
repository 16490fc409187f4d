// Peak memory of three 8000 × 8000 QR-code PNGs (about 190 KB each) loaded into image views
// through the shared image manager, as the QR-code list does, then drawn once. The PNGs are
// written row by row so that making them costs no memory; the peak RSS is printed at each step.
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <vector>

#include <png.h>

#include "image/UIImageView+WebCache.h"
#include "image/WIImageManager.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"
#include "testing/httpserver/TestServer.h"

namespace {

constexpr int kSide = 8000;
constexpr int kModule = 160; // a 50 × 50 module code

long peakMegabytes()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

long currentMegabytes()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * 4096 / (1024 * 1024);
}

void appendBytes(png_structp png, png_bytep data, png_size_t size)
{
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), size);
}

// An RGB PNG of black and white modules, made one row at a time.
std::string qrPng(int seed)
{
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, appendBytes, nullptr);
    png_set_IHDR(png, info, kSide, kSide, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
        PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    std::vector<png_byte> row(std::size_t(kSide) * 3);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            unsigned cell = unsigned(x / kModule) * 2654435761u ^ unsigned(y / kModule) * 40503u ^ unsigned(seed) * 97u;
            png_byte shade = ((cell >> 7) & 1) ? 0 : 255;
            row[std::size_t(x) * 3] = row[std::size_t(x) * 3 + 1] = row[std::size_t(x) * 3 + 2] = shade;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

} // namespace

int main()
{
    testing_support::TempHome home;
    testing_support::runUntil([] { return true; }, 0.01); // this thread is the main thread
    httpserver::TestServer server;
    for (int i = 0; i < 3; ++i) {
        std::string body = qrPng(i);
        std::printf("qr%d.png: %zu bytes\n", i, body.size());
        server.on("/qr" + std::to_string(i) + ".png", httpserver::Reply(200, body).contentType("image/png"));
    }
    std::printf("start: peak %ld MB\n", peakMegabytes());

    std::vector<std::shared_ptr<UIImageView>> views;
    int done = 0;
    for (int i = 0; i < 3; ++i) {
        auto view = UIImageView::create(CGRectMake(0, 0, 300, 300));
        view->setContentMode(UIViewContentModeScaleAspectFit);
        wi_setImageWithURL(view, NSURL::URLWithString(server.url("/qr" + std::to_string(i) + ".png")), nullptr, 0, {},
            [&done](UIImageRef image, std::shared_ptr<NSError> error, WICacheSource, std::optional<NSURL>) {
                ++done;
                std::printf("loaded: %s\n", image ? NSStringFromCGSize(image->size()).c_str() : error->description().c_str());
            });
        views.push_back(view);
    }
    testing_support::runUntil([&] { return done == 3; }, 120);
    std::printf("loaded: peak %ld MB, now %ld MB\n", peakMegabytes(), currentMegabytes());

    UIGraphicsBeginImageContextWithOptions(CGSizeMake(300, 300), true, 2);
    for (const auto& view : views) {
        if (view->image())
            view->image()->drawInRect(CGRectMake(0, 0, 300, 300));
    }
    UIGraphicsEndImageContext();
    testing_support::settle(1);
    std::printf("drawn: peak %ld MB, now %ld MB\n", peakMegabytes(), currentMegabytes());
    return 0;
}
