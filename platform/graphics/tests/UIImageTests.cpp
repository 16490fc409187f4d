// UIImage: orientation from EXIF and upright drawing, point sizes and scales, files and
// named resources with @2x variants, animated images, PNG and JPEG representations.
#include <gtest/gtest.h>

#include <filesystem>

#include "testing/graphics/ImageFixtures.h"
#include "platform/graphics/ImageSource.h"
#include "platform/graphics/UIImage.h"

using namespace fixtures;

namespace {

// Draws the image upright into a context of its point size at scale 1; returns the bitmap.
CGImageRef renderUpright(const UIImageRef& image)
{
    CGSize s = image->size();
    UIGraphicsBeginImageContextWithOptions(s, false, 1);
    image->drawInRect(CGRectMake(0, 0, s.width, s.height));
    UIImageRef out = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return out->CGImage();
}

bool close(std::array<std::uint8_t, 4> p, RGB c)
{
    for (int i = 0; i < 3; ++i)
        if (std::abs(int(p[std::size_t(i)]) - int(c[std::size_t(i)])) > 40)
            return false;
    return true;
}

} // namespace

TEST(UIImageOrientation, ExifBecomesOrientationAndDrawsUpright)
{
    // Stored quadrants: TL red, TR green, BL blue, BR white. Expected upright corners
    // (top-left, top-right, bottom-left) for each EXIF value, in either TIFF byte order,
    // baseline and progressive; values out of range draw as stored.
    struct Case {
        int exif;
        UIImageOrientation orientation;
        RGB tl, tr, bl;
    };
    const Case cases[] = {
        { 0, UIImageOrientationUp, kRed, kGreen, kBlue },
        { 1, UIImageOrientationUp, kRed, kGreen, kBlue },
        { 2, UIImageOrientationUpMirrored, kGreen, kRed, kWhite },
        { 3, UIImageOrientationDown, kWhite, kBlue, kGreen },
        { 4, UIImageOrientationDownMirrored, kBlue, kWhite, kRed },
        { 5, UIImageOrientationLeftMirrored, kRed, kBlue, kGreen },
        { 6, UIImageOrientationRight, kBlue, kRed, kWhite },
        { 7, UIImageOrientationRightMirrored, kWhite, kGreen, kBlue },
        { 8, UIImageOrientationLeft, kGreen, kWhite, kRed },
        { 9, UIImageOrientationUp, kRed, kGreen, kBlue },
    };
    for (bool progressive : { false, true })
        for (const Case& c : cases) {
            SCOPED_TRACE((progressive ? "progressive " : "baseline ") + std::to_string(c.exif));
            JpegOptions o;
            o.progressive = progressive;
            o.app1 = exifBody(c.exif, c.exif % 2 == 0);
            Bytes jpeg = makeJpeg(40, 20, o);
            // The source reports the value and decodes the pixels as stored.
            auto source = CGImageSourceCreateWithData(jpeg);
            EXPECT_EQ(CGImageSourceCopyPropertiesAtIndex(source, 0)[kCGImagePropertyOrientation].intValue(), c.exif);
            CGImageRef stored = CGImageSourceCreateImageAtIndex(source, 0);
            ASSERT_TRUE(stored);
            EXPECT_TRUE(close(stored->rgbaAt(2, 2), kRed) && close(stored->rgbaAt(37, 17), kWhite));

            UIImageRef image = UIImage::imageWithData(jpeg);
            ASSERT_TRUE(image);
            EXPECT_EQ(image->imageOrientation(), c.orientation);
            bool turned = c.exif >= 5 && c.exif <= 8;
            EXPECT_EQ(image->size(), turned ? CGSizeMake(20, 40) : CGSizeMake(40, 20));
            CGImageRef upright = renderUpright(image);
            std::size_t w = upright->width(), h = upright->height();
            EXPECT_TRUE(close(upright->rgbaAt(2, 2), c.tl));
            EXPECT_TRUE(close(upright->rgbaAt(w - 3, 2), c.tr));
            EXPECT_TRUE(close(upright->rgbaAt(2, h - 3), c.bl));
        }
    auto plain = CGImageSourceCreateWithData(makeJpeg(8, 8));
    EXPECT_FALSE(CGImageSourceCopyPropertiesAtIndex(plain, 0).contains(kCGImagePropertyOrientation));
}

TEST(UIImageSources, ScaleFilesNamedResourcesAndCache)
{
    TempDir dir;
    dir.write("icon.png", makePng(10, 10));
    dir.write("icon@2x.png", makePng(20, 20));
    dir.write("only1x.png", makePng(8, 8));
    dir.write("HUD.bundle/success.png", makePng(6, 6));
    dir.write("photo@3x.jpg", makeJpeg(30, 30));

    UIImageRef data = UIImage::imageWithData(makePng(20, 10), 2);
    EXPECT_EQ(data->size(), CGSizeMake(10, 5));
    EXPECT_FALSE(UIImage::imageWithData(Bytes { 1, 2, 3 }));

    UIImageRef preferred = UIImage::imageWithContentsOfFile(dir.file("icon.png"));
    ASSERT_TRUE(preferred);
    EXPECT_EQ(preferred->scale(), 2);
    EXPECT_EQ(preferred->size(), CGSizeMake(10, 10));
    EXPECT_EQ(UIImage::imageWithContentsOfFile(dir.file("photo@3x.jpg"))->scale(), 3);
    EXPECT_EQ(UIImage::imageWithContentsOfFile(dir.file("only1x.png"))->scale(), 1);
    EXPECT_FALSE(UIImage::imageWithContentsOfFile(dir.file("missing.png")));

    EXPECT_FALSE(UIImage::imageNamed("icon")); // no resolver yet
    graphics::setResourceResolver([&](const std::string& relative) {
        std::string path = dir.file(relative);
        return std::filesystem::exists(path) ? path : std::string();
    });
    UIImageRef named = UIImage::imageNamed("icon");
    ASSERT_TRUE(named);
    EXPECT_EQ(named->scale(), 2);
    EXPECT_EQ(UIImage::imageNamed("icon"), named); // kept: the same object
    EXPECT_EQ(UIImage::imageNamed("only1x.png")->scale(), 1);
    EXPECT_EQ(UIImage::imageNamed("HUD.bundle/success.png")->size(), CGSizeMake(6, 6));
    EXPECT_FALSE(UIImage::imageNamed("HUD.bundle/error.png"));
    graphics::setResourceResolver(nullptr);
}

TEST(UIImageAnimated, FramesDurationAndDrawing)
{
    Bytes gif = makeGif(4, 4, { { 0, 0, 4, 4, 1 }, { 0, 0, 4, 4, 2 } });
    auto source = CGImageSourceCreateWithData(gif);
    std::vector<UIImageRef> frames;
    for (std::size_t i = 0; i < CGImageSourceGetCount(source); ++i)
        frames.push_back(UIImage::imageWithCGImage(CGImageSourceCreateImageAtIndex(source, i), 2));
    UIImageRef animated = UIImage::animatedImageWithImages(frames, 0.2);
    EXPECT_EQ(animated->size(), CGSizeMake(2, 2));
    EXPECT_EQ(animated->CGImage(), frames[0]->CGImage());
    EXPECT_TRUE(UIImage::animatedImageWithImages({}, 0)->images().empty());
    EXPECT_FALSE(UIImage::imageWithCGImage(nullptr));
}

TEST(UIImageRepresentations, PngKeepsAlphaJpegCarriesOrientation)
{
    UIImageRef alpha = UIImage::imageWithData(makePng(16, 16, { 6, 8 }));
    Bytes png = UIImagePNGRepresentation(alpha);
    ASSERT_FALSE(png.empty());
    CGImageRef back = CGImageSourceCreateImageAtIndex(CGImageSourceCreateWithData(png), 0);
    EXPECT_EQ(back->alphaInfo(), kCGImageAlphaLast);
    EXPECT_EQ(back->rgbaAt(2, 13), alpha->CGImage()->rgbaAt(2, 13));

    UIImageRef opaque = UIImage::imageWithCGImage(alpha->CGImage(), 1, UIImageOrientationRight);
    Bytes high = UIImageJPEGRepresentation(opaque, 1.0);
    Bytes low = UIImageJPEGRepresentation(opaque, 0.1);
    ASSERT_FALSE(high.empty());
    EXPECT_LT(low.size(), high.size());
    UIImageRef decoded = UIImage::imageWithData(high);
    EXPECT_EQ(decoded->imageOrientation(), UIImageOrientationRight);
    EXPECT_EQ(decoded->CGImage()->alphaInfo(), kCGImageAlphaNoneSkipLast);
    EXPECT_TRUE(UIImagePNGRepresentation(nullptr).empty());
    EXPECT_TRUE(UIImageJPEGRepresentation(nullptr, 1).empty());

    // A 16-bit and an indexed image write and read back.
    for (PngOptions o : { PngOptions { 2, 16 }, PngOptions { 3, 8 } }) {
        Bytes again = UIImagePNGRepresentation(UIImage::imageWithData(makePng(8, 8, o)));
        EXPECT_EQ(UIImage::imageWithData(again)->CGImage()->rgbaAt(7, 0), (std::array<std::uint8_t, 4> { 0, 255, 0, 255 }));
    }
}
