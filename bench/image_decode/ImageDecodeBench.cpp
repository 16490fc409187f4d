// Decoding speed in megapixels per second: our JPEG and PNG decoders (the ones behind
// CGImageSource) against raw libjpeg-turbo and libpng decoding the same bytes in the same run.
#include <benchmark/benchmark.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "platform/graphics/Codecs.h"

namespace {

// A photo-like test picture: smooth gradients with noise, RGBA.
CGImageRef picture(int w, int h, bool alpha)
{
    auto pixels = std::make_shared<Bytes>(std::size_t(w) * std::size_t(h) * 4);
    std::uint32_t seed = 7;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &(*pixels)[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * 4];
            seed = seed * 1664525u + 1013904223u;
            int n = int(seed >> 27);
            p[0] = std::uint8_t((x * 255 / w + n) & 0xFF);
            p[1] = std::uint8_t((y * 255 / h + n) & 0xFF);
            p[2] = std::uint8_t(((x + y) * 127 / (w + h) + 2 * n) & 0xFF);
            p[3] = alpha ? std::uint8_t(128 + (x & 127)) : 255;
        }
    CGBitmapLayout layout { std::size_t(w), std::size_t(h), 8, 32, std::size_t(w) * 4, CGColorSpaceCreateDeviceRGB(),
        CGBitmapInfo(alpha ? kCGImageAlphaLast : kCGImageAlphaNoneSkipLast) };
    return CGImage::create(layout, pixels);
}

const Bytes& jpegFile(int w, int h, bool progressive)
{
    static std::map<std::tuple<int, int, bool>, Bytes> cache;
    auto key = std::make_tuple(w, h, progressive);
    if (!cache.count(key)) {
        Bytes data = graphics::encodeJpeg(*picture(w, h, false), 0.9);
        if (progressive) { // re-encode progressively with the raw library
            jpeg_decompress_struct d {};
            jpeg_compress_struct c {};
            jpeg_error_mgr e1 {}, e2 {};
            d.err = jpeg_std_error(&e1);
            c.err = jpeg_std_error(&e2);
            jpeg_create_decompress(&d);
            jpeg_mem_src(&d, data.data(), data.size());
            jpeg_read_header(&d, TRUE);
            jvirt_barray_ptr* coefs = jpeg_read_coefficients(&d);
            jpeg_create_compress(&c);
            unsigned char* out = nullptr;
            unsigned long size = 0;
            jpeg_mem_dest(&c, &out, &size);
            jpeg_copy_critical_parameters(&d, &c);
            jpeg_simple_progression(&c);
            jpeg_write_coefficients(&c, coefs);
            jpeg_finish_compress(&c);
            jpeg_finish_decompress(&d);
            jpeg_destroy_compress(&c);
            jpeg_destroy_decompress(&d);
            data.assign(out, out + size);
            std::free(out);
        }
        cache[key] = std::move(data);
    }
    return cache[key];
}

const Bytes& pngFile(int w, int h, bool alpha)
{
    static std::map<std::tuple<int, int, bool>, Bytes> cache;
    auto key = std::make_tuple(w, h, alpha);
    if (!cache.count(key))
        cache[key] = graphics::encodePng(*picture(w, h, alpha));
    return cache[key];
}

void setRate(benchmark::State& state, std::size_t pixels)
{
    state.counters["MP/s"] = benchmark::Counter(double(pixels) / 1e6 * double(state.iterations()), benchmark::Counter::kIsRate);
}

void rawJpeg(const Bytes& data, std::vector<std::uint8_t>& out)
{
    jpeg_decompress_struct c {};
    jpeg_error_mgr err {};
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, data.data(), data.size());
    jpeg_read_header(&c, TRUE);
    c.out_color_space = JCS_EXT_RGBX;
    jpeg_start_decompress(&c);
    std::size_t stride = std::size_t(c.output_width) * 4;
    out.resize(stride * c.output_height);
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = out.data() + c.output_scanline * stride;
        jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
}

struct PngReader {
    const Bytes* data;
    std::size_t pos;
};

void pngRead(png_structp png, png_bytep out, png_size_t n)
{
    auto* r = static_cast<PngReader*>(png_get_io_ptr(png));
    if (r->pos + n > r->data->size())
        png_error(png, "eof");
    std::memcpy(out, r->data->data() + r->pos, n);
    r->pos += n;
}

void rawPng(const Bytes& data, std::vector<std::uint8_t>& out)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    PngReader reader { &data, 0 };
    png_set_read_fn(png, &reader, pngRead);
    png_read_info(png, info);
    std::size_t stride = png_get_rowbytes(png, info);
    std::size_t h = png_get_image_height(png, info);
    out.resize(stride * h);
    std::vector<png_bytep> rows(h);
    for (std::size_t y = 0; y < h; ++y)
        rows[y] = out.data() + y * stride;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
}

void OurJpeg(benchmark::State& state)
{
    int w = int(state.range(0)), h = int(state.range(1));
    const Bytes& data = jpegFile(w, h, state.range(2) != 0);
    for (auto _ : state) {
        auto image = graphics::decodeJpeg(data.data(), data.size(), true).image;
        benchmark::DoNotOptimize(image);
    }
    setRate(state, std::size_t(w) * std::size_t(h));
}

void RawJpeg(benchmark::State& state)
{
    int w = int(state.range(0)), h = int(state.range(1));
    const Bytes& data = jpegFile(w, h, state.range(2) != 0);
    for (auto _ : state) {
        std::vector<std::uint8_t> out; // a fresh buffer each time, as a decoded image needs
        rawJpeg(data, out);
        benchmark::DoNotOptimize(out.data());
    }
    setRate(state, std::size_t(w) * std::size_t(h));
}

void OurPng(benchmark::State& state)
{
    int w = int(state.range(0)), h = int(state.range(1));
    const Bytes& data = pngFile(w, h, state.range(2) != 0);
    for (auto _ : state) {
        auto image = graphics::decodePng(data.data(), data.size(), true).image;
        benchmark::DoNotOptimize(image);
    }
    setRate(state, std::size_t(w) * std::size_t(h));
}

void RawPng(benchmark::State& state)
{
    int w = int(state.range(0)), h = int(state.range(1));
    const Bytes& data = pngFile(w, h, state.range(2) != 0);
    for (auto _ : state) {
        std::vector<std::uint8_t> out;
        rawPng(data, out);
        benchmark::DoNotOptimize(out.data());
    }
    setRate(state, std::size_t(w) * std::size_t(h));
}

// Arguments: width, height, progressive (JPEG) or alpha (PNG).
void Sizes(benchmark::internal::Benchmark* b)
{
    b->Args({ 256, 256, 0 })->Args({ 1024, 768, 0 })->Args({ 4000, 3000, 0 })->Args({ 1024, 768, 1 });
    b->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(OurJpeg)->Apply(Sizes);
BENCHMARK(RawJpeg)->Apply(Sizes);
BENCHMARK(OurPng)->Apply(Sizes);
BENCHMARK(RawPng)->Apply(Sizes);

BENCHMARK_MAIN();
