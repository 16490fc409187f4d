// Content types, GIF frames and timing, the decoding budget, key scales and force decoding.
#include <cairo.h>
#include "image/WIImageDecoding.h"
#include "image/tests/ImageTestSupport.h"

namespace {
Bytes bytesOf(std::initializer_list<int> values)
{
    Bytes out;
    for (int value : values)
        out.push_back(std::uint8_t(value));
    return out;
}
Bytes ascii(const std::string& text) { return Bytes(text.begin(), text.end()); }
} // namespace

TEST(WIImageDecoding, ContentTypeFollowsTheFirstByte)
{
    EXPECT_EQ(wi_contentTypeForImageData(bytesOf({ 0xFF, 0xD8 })), "image/jpeg");
    EXPECT_EQ(wi_contentTypeForImageData(bytesOf({ 0x89, 0x50, 1, 2 })), "image/png");
    EXPECT_EQ(wi_contentTypeForImageData(ascii("GIF89a")), "image/gif");
    EXPECT_EQ(wi_contentTypeForImageData(bytesOf({ 0x4D })), "image/tiff");
    EXPECT_EQ(wi_contentTypeForImageData(bytesOf({ 0x49, 0x49 })), "image/tiff");
    EXPECT_EQ(wi_contentTypeForImageData(ascii(std::string("RIFF\x10\0\0\0WEBPVP8 ", 16))), "image/webp");
    EXPECT_EQ(wi_contentTypeForImageData(ascii("RIFF1234WEB")), std::nullopt); // 11 bytes
    EXPECT_EQ(wi_contentTypeForImageData(ascii("RIFF1234WAVE")), std::nullopt);
    EXPECT_EQ(wi_contentTypeForImageData({}), std::nullopt);
    EXPECT_EQ(wi_contentTypeForImageData(ascii("<html>")), std::nullopt);
}

TEST(WIImageDecoding, GifFramesCarryTheirDelays)
{
    // Missing delays last 0.1 s each; 1 cs counts as 0.1 s.
    const struct {
        int first, second;
        double duration;
    } cases[] = { { 10, 20, 0.3 }, { -1, -1, 0.2 }, { 1, 1, 0.2 } };
    for (const auto& c : cases) {
        UIImageRef animated = wi_imageWithData(image_test::twoFrameGif(c.first, c.second));
        ASSERT_TRUE(animated) << c.first;
        EXPECT_EQ(animated->images().size(), 2u) << c.first;
        EXPECT_NEAR(animated->duration(), c.duration, 1e-3) << c.first;
    }
}

// Cut-off PNG, JPEG and GIF data are in the manager's tests, which also check nothing is cached.
TEST(WIImageDecoding, BrokenDataGivesNoImage)
{
    EXPECT_FALSE(wi_imageWithData({}));
    EXPECT_FALSE(wi_imageWithData(ascii("GIF89a garbage")));
    EXPECT_EQ(wi_exifOrientationToiOSOrientation(6), UIImageOrientationRight);
    EXPECT_EQ(wi_exifOrientationToiOSOrientation(0), UIImageOrientationUp);
    EXPECT_EQ(wi_exifOrientationToiOSOrientation(9), UIImageOrientationUp);
}

TEST(WIImageDecoding, KeyScaleNeedsEightCharactersAndPrefersThree)
{
    UIImageRef image = image_test::makeImage(8, 8, false);
    double screen = graphics::mainScreenScale();
    EXPECT_EQ(ScaledImageForCacheKey("b@3x.png", image)->scale(), 3.0);
    EXPECT_EQ(ScaledImageForCacheKey("@2x.png", image)->scale(), screen);
    EXPECT_EQ(ScaledImageForCacheKey("x@2x.y@3x.png", image)->scale(), 3.0);
    EXPECT_FALSE(ScaledImageForCacheKey("a@2x.png", nullptr));
}

TEST(WIImageDecoding, ForceDecodeRedrawsOnlyOpaqueBitmaps)
{
    UIImageRef opaque = UIImage::imageWithCGImage(image_test::makeImage(10, 6, false)->CGImage(), 2);
    UIImageRef decoded = decodedImageWithImage(opaque);
    ASSERT_TRUE(decoded);
    EXPECT_NE(decoded, opaque);
    EXPECT_EQ(decoded->scale(), 2);
    EXPECT_EQ(decoded->size().width, 5);
    EXPECT_EQ(decoded->CGImage()->alphaInfo(), kCGImageAlphaPremultipliedFirst);
    // The decoded copy is the one drawing uses: no second copy of its pixels for Cairo.
    EXPECT_EQ(cairo_image_surface_get_data(decoded->CGImage()->cairoSurface()), decoded->CGImage()->pixels()->data());
    UIImageRef withAlpha = image_test::makeImage(10, 6, true);
    EXPECT_EQ(decodedImageWithImage(withAlpha), withAlpha);
    UIImageRef animated = wi_imageWithData(image_test::twoFrameGif(5, 5));
    EXPECT_EQ(decodedImageWithImage(animated), animated);
}

TEST(WIImageDecoding, ImagesOverTheBudgetDecodeSmallerKeepingTheirShape)
{
    std::size_t budget = image::decodePixelBudget();
    image::setDecodePixelBudget(64 * 64);
    struct Case {
        const char* name;
        Bytes data;
    };
    const Case cases[] = {
        { "png", ascii(image_test::pngBody(256, 128)) },
        { "jpeg", ascii(image_test::jpegBody(256, 128)) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UIImageRef image = wi_imageWithData(c.data);
        ASSERT_TRUE(image);
        std::size_t w = image->CGImage()->width(), h = image->CGImage()->height();
        EXPECT_LE(w * h, 64u * 64u);
        EXPECT_GE(w * h, 64u * 64u * 9 / 10);
        EXPECT_NEAR(double(w) / double(h), 2.0, 0.05);
    }
    UIImageRef fits = wi_imageWithData(ascii(image_test::pngBody(60, 60)));
    ASSERT_TRUE(fits);
    EXPECT_EQ(fits->CGImage()->width(), 60u);
    image::setDecodePixelBudget(budget);
}
