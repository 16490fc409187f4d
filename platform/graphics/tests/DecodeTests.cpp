// Decoding through the image source: the layout reported per format and colour type, pixels,
// prefixes, corrupt, cut-off and huge data, the pixel cap, malformed EXIF, GIF compositing and
// timing, sniffing, and thumbnails. (EXIF orientations are in UIImageTests.)
#include <gtest/gtest.h>

#include <cairo.h>

#include "testing/graphics/ImageFixtures.h"
#include "platform/graphics/Codecs.h"
#include "platform/graphics/ImageSource.h"

using namespace fixtures;

namespace {

std::uint32_t crc32(const std::uint8_t* p, std::size_t n)
{
    std::uint32_t c = 0xFFFFFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

CGImageRef decode(const Bytes& data)
{
    return CGImageSourceCreateImageAtIndex(CGImageSourceCreateWithData(data), 0);
}

// Colour at (x, y) within `tolerance` of the expected RGB and alpha.
::testing::AssertionResult near(const CGImageRef& img, std::size_t x, std::size_t y, RGB rgb, int alpha = 255,
    int tolerance = 12)
{
    auto p = img->rgbaAt(x, y);
    for (int i = 0; i < 3; ++i)
        if (std::abs(int(p[std::size_t(i)]) - rgb[std::size_t(i)]) > tolerance)
            return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") = " << int(p[0]) << "," << int(p[1])
                                                 << "," << int(p[2]) << "," << int(p[3]);
    if (std::abs(int(p[3]) - alpha) > tolerance)
        return ::testing::AssertionFailure() << "alpha " << int(p[3]) << " at (" << x << "," << y << ")";
    return ::testing::AssertionSuccess();
}

void expectQuadrants(const CGImageRef& img, int tolerance = 12)
{
    ASSERT_TRUE(img);
    std::size_t w = img->width(), h = img->height();
    EXPECT_TRUE(near(img, 2, 2, kRed, 255, tolerance));
    EXPECT_TRUE(near(img, w - 3, 2, kGreen, 255, tolerance));
    EXPECT_TRUE(near(img, 2, h - 3, kBlue, 255, tolerance));
    EXPECT_TRUE(near(img, w - 3, h - 3, kWhite, 255, tolerance));
}

} // namespace

TEST(ImageSource, EachFormatAndColourTypeReportsItsLayoutAndPixels)
{
    JpegOptions grey;
    grey.components = 1;
    struct Case {
        const char* name;
        Bytes data;
        std::size_t width, height;
        CGColorSpaceModel model;
        std::size_t bpc, bpp;
        CGImageAlphaInfo alpha;
        int quadrants; // tolerance of the four quadrant colours (-1: not opaque quadrants)
    };
    const Case cases[] = {
        { "png rgb", makePng(20, 10, { 2, 8 }), 20, 10, kCGColorSpaceModelRGB, 8, 24, kCGImageAlphaNone, 12 },
        { "png rgba", makePng(20, 10, { 6, 8 }), 20, 10, kCGColorSpaceModelRGB, 8, 32, kCGImageAlphaLast, -1 },
        { "png grey", makePng(20, 10, { 0, 8 }), 20, 10, kCGColorSpaceModelMonochrome, 8, 8, kCGImageAlphaNone, -1 },
        { "png grey alpha", makePng(20, 10, { 4, 8 }), 20, 10, kCGColorSpaceModelMonochrome, 8, 16, kCGImageAlphaLast, -1 },
        { "png palette", makePng(20, 10, { 3, 8 }), 20, 10, kCGColorSpaceModelIndexed, 8, 8, kCGImageAlphaNone, 12 },
        { "png 2-bit palette", makePng(20, 10, { 3, 2 }), 20, 10, kCGColorSpaceModelIndexed, 8, 8, kCGImageAlphaNone, -1 },
        { "png keyed palette", makePng(20, 10, { 3, 8, false, true }), 20, 10, kCGColorSpaceModelRGB, 8, 32, kCGImageAlphaLast, -1 },
        { "png keyed rgb", makePng(20, 10, { 2, 8, false, true }), 20, 10, kCGColorSpaceModelRGB, 8, 32, kCGImageAlphaLast, -1 },
        { "png 16-bit rgba", makePng(20, 10, { 6, 16 }), 20, 10, kCGColorSpaceModelRGB, 16, 64, kCGImageAlphaLast, -1 },
        { "png 16-bit rgb", makePng(20, 10, { 2, 16 }), 20, 10, kCGColorSpaceModelRGB, 16, 48, kCGImageAlphaNone, 12 },
        { "png 16-bit grey", makePng(20, 10, { 0, 16 }), 20, 10, kCGColorSpaceModelMonochrome, 16, 16, kCGImageAlphaNone, -1 },
        { "png interlaced", makePng(17, 13, { 2, 8, true }), 17, 13, kCGColorSpaceModelRGB, 8, 24, kCGImageAlphaNone, 12 },
        { "jpeg", makeJpeg(32, 16), 32, 16, kCGColorSpaceModelRGB, 8, 32, kCGImageAlphaNoneSkipLast, 40 },
        { "jpeg grey", makeJpeg(32, 16, grey), 32, 16, kCGColorSpaceModelMonochrome, 8, 8, kCGImageAlphaNone, -1 },
        { "webp lossless", makeWebp(16, 16, true, false), 16, 16, kCGColorSpaceModelRGB, 8, 32, kCGImageAlphaNoneSkipLast, 0 },
        { "webp lossy", makeWebp(32, 32, false, false), 32, 32, kCGColorSpaceModelRGB, 8, 32, kCGImageAlphaNoneSkipLast, 40 },
        { "webp alpha", makeWebp(16, 16, true, true), 16, 16, kCGColorSpaceModelRGB, 8, 32, kCGImageAlphaLast, -1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CGImageRef img = decode(c.data);
        ASSERT_TRUE(img);
        EXPECT_EQ(img->width(), c.width);
        EXPECT_EQ(img->height(), c.height);
        EXPECT_EQ(CGColorSpaceGetModel(img->colorSpace()), c.model);
        EXPECT_EQ(img->bitsPerComponent(), c.bpc);
        EXPECT_EQ(img->bitsPerPixel(), c.bpp);
        EXPECT_EQ(img->alphaInfo(), c.alpha);
        EXPECT_GE(img->bytesPerRow(), c.width * c.bpp / 8);
        if (c.quadrants >= 0)
            expectQuadrants(img, c.quadrants);
    }
    EXPECT_EQ(decode(makeJpeg(32, 16))->bytesPerRow(), 128u);
    CGImageRef rgba = decode(makePng(16, 16, { 6, 8 }));
    EXPECT_TRUE(near(rgba, 2, 2, kRed));
    EXPECT_TRUE(near(rgba, 2, 13, kBlue, 128, 2));
    CGImageRef greyPng = decode(makePng(16, 16, { 0, 8 }));
    EXPECT_TRUE(near(greyPng, 13, 13, kWhite));
    EXPECT_TRUE(near(greyPng, 2, 2, { 76, 76, 76 }, 255, 2));
    CGImageRef keyed = decode(makePng(16, 16, { 3, 8, false, true })); // palette entry 0 (red) transparent
    EXPECT_EQ(keyed->rgbaAt(2, 2)[3], 0);
    EXPECT_TRUE(near(keyed, 13, 2, kGreen));
    EXPECT_EQ(decode(makeWebp(16, 16, true, true))->rgbaAt(2, 13)[3], 128);
    JpegOptions cmyk;
    cmyk.components = 4;
    CGImageRef inverted = decode(makeJpeg(32, 16, cmyk));
    ASSERT_TRUE(inverted);
    EXPECT_EQ(CGColorSpaceGetModel(inverted->colorSpace()), kCGColorSpaceModelCMYK);
    EXPECT_TRUE(near(inverted, 2, 2, kRed, 255, 40));
}

TEST(ImageSource, HeaderPropertiesWithoutDecoding)
{
    struct Case {
        const char* name;
        Bytes data;
        const char* type;
        bool alpha;
    };
    const Case cases[] = {
        { "png", makePng(30, 20, { 6, 8 }), "public.png", true },
        { "webp", makeWebp(30, 20, true, false), "org.webmproject.webp", false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto source = CGImageSourceCreateWithData(c.data);
        EXPECT_EQ(CGImageSourceGetType(source), c.type);
        EXPECT_EQ(CGImageSourceGetCount(source), 1u);
        Value p = CGImageSourceCopyPropertiesAtIndex(source, 0);
        EXPECT_EQ(p[kCGImagePropertyPixelWidth].intValue(), 30);
        EXPECT_EQ(p[kCGImagePropertyPixelHeight].intValue(), 20);
        EXPECT_EQ(p[kCGImagePropertyHasAlpha].boolValue(), c.alpha);
        EXPECT_FALSE(p.contains(kCGImagePropertyOrientation));
        EXPECT_TRUE(CGImageSourceCopyPropertiesAtIndex(source, 1).isAbsent());
    }
}

TEST(ImageSource, PrefixesShowWhatArrivedAndTheFinalDataCompletes)
{
    const JpegOptions noisy { .noisy = true }, progressive { .progressive = true, .noisy = true };
    struct Case {
        const char* name;
        Bytes data;
        double fraction;
        bool fullHeight; // interlaced and progressive prefixes cover every row
        std::size_t x, y; // a pixel already shown red
        int tolerance;
    };
    const Case cases[] = {
        { "png: the rows received", makePng(64, 64, { 2, 8 }), 2.0 / 3, false, 2, 2, 12 },
        { "interlaced png: the first pass", makePng(64, 64, { 2, 8, true }), 0.5, true, 0, 0, 12 },
        { "baseline jpeg: only decoded rows", makeJpeg(64, 256, noisy), 0.5, false, 2, 2, 40 },
        { "progressive jpeg: complete scans", makeJpeg(64, 64, progressive), 0.75, true, 4, 4, 80 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t height = decode(c.data)->height();
        auto source = CGImageSourceCreateIncremental();
        CGImageSourceUpdateData(source, Bytes(c.data.begin(), c.data.begin() + 20), false);
        EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusReadingHeader);
        EXPECT_FALSE(CGImageSourceCreateImageAtIndex(source, 0));

        CGImageSourceUpdateData(source, Bytes(c.data.begin(), c.data.begin() + long(double(c.data.size()) * c.fraction)), false);
        EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusIncomplete);
        EXPECT_EQ(CGImageSourceCopyPropertiesAtIndex(source, 0)[kCGImagePropertyPixelHeight].intValue(), int(height));
        CGImageRef partial = CGImageSourceCreateImageAtIndex(source, 0);
        ASSERT_TRUE(partial);
        EXPECT_EQ(partial->width(), 64u);
        if (c.fullHeight) {
            EXPECT_EQ(partial->height(), height);
        } else {
            EXPECT_GT(partial->height(), 0u);
            EXPECT_LT(partial->height(), height);
        }
        EXPECT_TRUE(near(partial, c.x, c.y, kRed, 255, c.tolerance));

        CGImageSourceUpdateData(source, c.data, true);
        EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusComplete);
        EXPECT_EQ(CGImageSourceCreateImageAtIndex(source, 0)->height(), height);
    }
}

TEST(ImageSource, CorruptTruncatedAndHugeDataIsRefused)
{
    Bytes png = makePng(16, 16, { 2, 8 });
    Bytes badCrc = png;
    badCrc[29] ^= 0xFF; // inside the IHDR CRC
    Bytes hugePng = png; // IHDR claiming 100000 × 100000, with a correct CRC
    for (int i : { 16, 20 }) {
        hugePng[std::size_t(i)] = 0;
        hugePng[std::size_t(i) + 1] = 0x01;
        hugePng[std::size_t(i) + 2] = 0x86;
        hugePng[std::size_t(i) + 3] = 0xA0;
    }
    std::uint32_t crc = crc32(hugePng.data() + 12, 17);
    for (int i = 0; i < 4; ++i)
        hugePng[std::size_t(29 + i)] = std::uint8_t(crc >> (24 - 8 * i));
    Bytes jpeg = makeJpeg(16, 16);
    Bytes jpegGarbage = jpeg;
    for (std::size_t i = 2; i < 200 && i < jpegGarbage.size(); ++i)
        jpegGarbage[i] = std::uint8_t(i * 37);
    Bytes webp = makeWebp(16, 16, true, false);
    Bytes webpGarbage = webp;
    for (std::size_t i = 20; i < webpGarbage.size(); ++i)
        webpGarbage[i] = 0xA5;
    const std::pair<const char*, Bytes> cases[] = {
        { "png with a bad header crc", badCrc },
        { "png claiming 100000 x 100000", hugePng },
        { "png cut in its header", Bytes(png.begin(), png.begin() + 40) },
        { "png signature only", Bytes { 0x89, 'P', 'N', 'G' } },
        { "jpeg cut in its header", Bytes(jpeg.begin(), jpeg.begin() + 10) },
        { "jpeg markers only", Bytes { 0xFF, 0xD8, 0xFF } },
        { "jpeg with garbage segments", jpegGarbage },
        { "webp cut in its header", Bytes(webp.begin(), webp.begin() + 12) },
        { "webp with a garbage bitstream", webpGarbage },
    };
    for (const auto& [name, data] : cases)
        EXPECT_FALSE(decode(data)) << name;

    graphics::setMaxImagePixels(100);
    EXPECT_FALSE(decode(jpeg)); // 256 pixels over a cap of 100
    EXPECT_EQ(CGImageSourceGetCount(CGImageSourceCreateWithData(jpeg)), 1u); // the header is still readable
    graphics::setMaxImagePixels(64u << 20);
    EXPECT_TRUE(decode(jpeg));

    Bytes gif = makeGif(4, 4, { { 0, 0, 4, 4, 1 } });
    gif[6] = gif[7] = gif[8] = gif[9] = 0xFF; // 65535 × 65535 logical screen
    auto source = CGImageSourceCreateWithData(gif);
    EXPECT_EQ(CGImageSourceGetCount(source), 0u);
    EXPECT_FALSE(CGImageSourceCreateImageAtIndex(source, 0));
}

TEST(JpegDecode, ExifReaderSurvivesMalformedSegments)
{
    Bytes body = exifBody(6, false);
    EXPECT_EQ(graphics::readTiffOrientation(body.data() + 6, body.size() - 6), 6);
    Bytes badOffset = body;
    badOffset[13] = 0xF0; // IFD offset past the end
    EXPECT_FALSE(graphics::readTiffOrientation(badOffset.data() + 6, badOffset.size() - 6));
    // The orientation entry cut off by the end of the segment.
    EXPECT_FALSE(graphics::readTiffOrientation(body.data() + 6, 8 + 2 + 12 + 4).has_value());
    for (std::size_t n = 0; n < body.size(); ++n)
        graphics::readTiffOrientation(body.data(), n); // every truncation stays in bounds
    JpegOptions o;
    o.app1 = Bytes { 'E', 'x', 'i', 'f', 0, 0, 'X', 'X' };
    Bytes jpeg = makeJpeg(8, 8, o);
    EXPECT_FALSE(graphics::readJpegExifOrientation(jpeg.data(), jpeg.size()));
}

TEST(ImageSource, FinalDataThatStopsEarlyIsNoImage)
{
    const JpegOptions noisy { .noisy = true }, progressive { .progressive = true, .noisy = true };
    struct Case {
        const char* name;
        Bytes data;
        std::vector<std::size_t> dropped; // bytes cut from the end (and half the file); each is refused
        std::size_t harmless; // a cut that still leaves a whole image (0: none)
    };
    const Case cases[] = {
        { "png", makePng(64, 64, { 2, 8 }), { 1, 12, 20 }, 0 },
        { "interlaced png", makePng(64, 64, { 2, 8, true }), { 1, 12, 20 }, 0 },
        { "baseline jpeg", makeJpeg(64, 256, noisy), { 100, 2000 }, 2 }, // only its end marker
        { "progressive jpeg", makeJpeg(64, 64, progressive), { 2, 300 }, 0 },
        { "gif", makeGif(10, 10, { { 0, 0, 10, 10, 1 } }), { 2, 5 }, 1 }, // only its trailer
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(decode(c.data));
        std::vector<std::size_t> cuts = c.dropped;
        cuts.push_back(c.data.size() / 2);
        for (std::size_t cut : cuts) {
            SCOPED_TRACE("cut " + std::to_string(cut));
            ASSERT_LT(cut, c.data.size());
            EXPECT_FALSE(decode(Bytes(c.data.begin(), c.data.end() - long(cut))));
        }
        if (c.harmless > 0) {
            EXPECT_TRUE(decode(Bytes(c.data.begin(), c.data.end() - long(c.harmless))));
        }
    }

    // An animation cut inside its last frame: its complete frames still decode one by one, but
    // the source says the data ended early, and the cut frame gives nothing.
    Bytes gif = makeGif(10, 10, { { 0, 0, 10, 10, 1 }, { 0, 0, 10, 10, 2 } });
    auto cut = CGImageSourceCreateWithData(Bytes(gif.begin(), gif.end() - 4));
    EXPECT_EQ(CGImageSourceGetStatus(cut), kCGImageStatusUnexpectedEOF);
    EXPECT_TRUE(CGImageSourceCreateImageAtIndex(cut, 0));
    EXPECT_FALSE(CGImageSourceCreateImageAtIndex(cut, 1));
    EXPECT_EQ(CGImageSourceGetStatus(CGImageSourceCreateWithData(gif)), kCGImageStatusComplete);
}

TEST(GifDecode, FramesDelaysAndDisposal)
{
    // Frame 0 fills the canvas red; frame 1 draws green at the left with disposal d;
    // frame 2 draws blue at the right. After frame 2 the left half shows what d left.
    struct Case {
        int disposal;
        RGB left;
        int leftAlpha;
    };
    const Case cases[] = { { 0, kGreen, 255 }, { 1, kGreen, 255 }, { 2, { 0, 0, 0 }, 0 }, { 3, kRed, 255 } };
    for (const Case& c : cases) {
        SCOPED_TRACE("disposal " + std::to_string(c.disposal));
        Bytes gif = makeGif(8, 4,
            { { 0, 0, 8, 4, 1, 0, 10 }, { 0, 0, 4, 4, 2, c.disposal, 20 }, { 4, 0, 4, 4, 3, 0, 30 } });
        auto source = CGImageSourceCreateWithData(gif);
        ASSERT_EQ(CGImageSourceGetCount(source), 3u);
        EXPECT_EQ(CGImageSourceGetType(source), "com.compuserve.gif");
        CGImageRef last = CGImageSourceCreateImageAtIndex(source, 2);
        ASSERT_TRUE(last);
        EXPECT_EQ(last->alphaInfo(), kCGImageAlphaLast);
        EXPECT_TRUE(near(last, 1, 1, c.left, c.leftAlpha, 0));
        EXPECT_TRUE(near(last, 6, 1, kBlue, 255, 0));
        EXPECT_TRUE(near(CGImageSourceCreateImageAtIndex(source, 0), 1, 1, kRed, 255, 0)); // going back restarts
        for (int i = 0; i < 3; ++i) {
            Value gifProps = CGImageSourceCopyPropertiesAtIndex(source, std::size_t(i))[kCGImagePropertyGIFDictionary];
            EXPECT_DOUBLE_EQ(gifProps[kCGImagePropertyGIFUnclampedDelayTime].doubleValue(), 0.1 * (i + 1));
        }
    }
}

TEST(GifDecode, DelayClampingTransparencyAndMissingControl)
{
    Bytes gif = makeGif(4, 4,
        { { 0, 0, 4, 4, 1, 0, 1 }, { 0, 0, 4, 4, 2, 0, 0, 2 }, { 0, 0, 4, 4, 3, 0, 10, -1, false } });
    auto source = CGImageSourceCreateWithData(gif);
    Value first = CGImageSourceCopyPropertiesAtIndex(source, 0)[kCGImagePropertyGIFDictionary];
    EXPECT_DOUBLE_EQ(first[kCGImagePropertyGIFUnclampedDelayTime].doubleValue(), 0.01);
    EXPECT_DOUBLE_EQ(first[kCGImagePropertyGIFDelayTime].doubleValue(), 0.1);
    EXPECT_FALSE(CGImageSourceCopyPropertiesAtIndex(source, 2).contains(kCGImagePropertyGIFDictionary));
    // Frame 1 is entirely its transparent index: frame 0 shows through.
    EXPECT_TRUE(near(CGImageSourceCreateImageAtIndex(source, 1), 2, 2, kRed, 255, 0));
}

TEST(GifDecode, InterlacedOffsetFramesAndEveryTruncation)
{
    Bytes gif = makeGif(10, 10, { { 0, 0, 10, 10, 1 }, { 2, 2, 6, 7, 3, 0, 10, -1, true, true } });
    auto source = CGImageSourceCreateWithData(gif);
    CGImageRef second = CGImageSourceCreateImageAtIndex(source, 1);
    ASSERT_TRUE(second);
    EXPECT_TRUE(near(second, 0, 0, kRed, 255, 0));
    EXPECT_TRUE(near(second, 2, 8, kBlue, 255, 0));
    EXPECT_TRUE(near(second, 8, 8, kRed, 255, 0));
    // Every truncation stays in bounds (cut-off frames: FinalDataThatStopsEarlyIsNoImage).
    for (std::size_t n = 0; n < gif.size(); n += 3) {
        auto s = CGImageSourceCreateWithData(Bytes(gif.begin(), gif.begin() + long(n)));
        for (std::size_t i = 0; i < CGImageSourceGetCount(s); ++i)
            CGImageSourceCreateImageAtIndex(s, i);
    }
}

TEST(ImageSource, SniffsTypesAndUnknownData)
{
    EXPECT_EQ(graphics::sniffImageFormat(reinterpret_cast<const std::uint8_t*>("RIFF1234WEBP"), 12), graphics::ImageFormat::WebP);
    EXPECT_EQ(graphics::sniffImageFormat(reinterpret_cast<const std::uint8_t*>("RIFF1234WEB"), 11), graphics::ImageFormat::Unknown);
    EXPECT_EQ(graphics::sniffImageFormat(reinterpret_cast<const std::uint8_t*>("MM\0*"), 4), graphics::ImageFormat::TIFF);
    EXPECT_FALSE(CGImageSourceCreateWithData({}));
    auto text = CGImageSourceCreateWithData(Bytes { 'G', 'a', 'r', 'b', 'a', 'g', 'e', '!', '!', '!', '!', '!' });
    EXPECT_EQ(CGImageSourceGetType(text), "");
    EXPECT_EQ(CGImageSourceGetCount(text), 0u);
    EXPECT_EQ(CGImageSourceGetStatus(text), kCGImageStatusUnknownType);
    EXPECT_TRUE(CGImageSourceCopyPropertiesAtIndex(text, 0).isAbsent());
}

TEST(ImageSource, ThumbnailsShrinkEveryFormatToTheLongerSide)
{
    JpegOptions grey;
    grey.components = 1;
    struct Case {
        const char* name;
        Bytes data;
        std::size_t width, height; // at most 32 on the longer side
        bool checkColours;
    };
    const Case cases[] = {
        { "jpeg", makeJpeg(64, 256), 8, 32, true },
        { "grey jpeg", makeJpeg(256, 64, grey), 32, 8, false },
        { "png", makePng(128, 64, { 2, 8 }), 32, 16, true },
        { "interlaced png", makePng(128, 64, { 2, 8, true }), 32, 16, true },
        { "palette png", makePng(100, 100, { 3, 8 }), 32, 32, true },
        { "rgba png", makePng(64, 64, { 6, 16 }), 32, 32, false },
        { "webp", makeWebp(64, 64, true, false), 32, 32, true },
        { "gif", makeGif(96, 48, { { 0, 0, 96, 48, 2 } }), 32, 16, false },
    };
    const Value options = Value::dictionary({ { kCGImageSourceThumbnailMaxPixelSize, 32 },
        { kCGImageSourceCreateThumbnailFromImageAlways, true } });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto source = CGImageSourceCreateWithData(c.data);
        CGImageRef thumb = CGImageSourceCreateThumbnailAtIndex(source, 0, options);
        ASSERT_TRUE(thumb);
        EXPECT_EQ(thumb->width(), c.width);
        EXPECT_EQ(thumb->height(), c.height);
        EXPECT_TRUE(graphics::isCairoLayout(thumb->layout()));
        // Drawn from its own pixels: no second copy for Cairo.
        EXPECT_EQ(cairo_image_surface_get_data(thumb->cairoSurface()), thumb->pixels()->data());
        if (c.checkColours)
            expectQuadrants(thumb, 24);
        // A side at least as long as the image's decodes it at full size.
        CGImageRef full = CGImageSourceCreateThumbnailAtIndex(
            source, 0, Value::dictionary({ { kCGImageSourceThumbnailMaxPixelSize, 4096 } }));
        ASSERT_TRUE(full);
        EXPECT_EQ(full->width(), CGImageSourceCreateImageAtIndex(source, 0)->width());
    }

    // A prefix shrinks the rows that arrived.
    Bytes png = makePng(64, 256, { 2, 8 });
    auto prefix = CGImageSourceCreateIncremental();
    CGImageSourceUpdateData(prefix, Bytes(png.begin(), png.begin() + long(png.size() / 2)), false);
    CGImageRef partial = CGImageSourceCreateThumbnailAtIndex(prefix, 0, options);
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->width(), 8u);
    EXPECT_LT(partial->height(), 32u);
}

TEST(Downsample, BoxesAverageInPremultipliedSpace)
{
    // Two columns: opaque red and fully transparent. Shrunk to one pixel, half transparent red,
    // with no dark fringe from the transparent pixel's colour.
    auto pixels = std::make_shared<Bytes>(Bytes { 255, 0, 0, 255, 0, 0, 255, 0 });
    CGImageRef pair = CGImage::create(
        { 2, 1, 8, 32, 8, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaLast }, pixels);
    CGImageRef one = graphics::downsampleImage(pair, 1);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->width(), 1u);
    EXPECT_TRUE(near(one, 0, 0, kRed, 128, 2));
    EXPECT_EQ(graphics::fitWithin(3000, 1, 1000).height, 1u);
    EXPECT_EQ(graphics::fitWithin(10, 20, 0).width, 10u);
}
