// Image decoding helpers of the image stack: content type, orientation, GIF frames, force decode
// and key scales.
#include "image/WIImageDecoding.h"
#include <algorithm>
#include <atomic>
#include <cmath>
#include "platform/graphics/Context.h"
#include "platform/persistence/FileIO.h"
#include "platform/persistence/NSBundle.h"

namespace image {
namespace {
std::atomic<std::size_t> pixelBudget { 2048 * 2048 };
} // namespace

std::size_t decodePixelBudget() { return pixelBudget.load(); }
void setDecodePixelBudget(std::size_t pixels) { pixelBudget.store(std::max<std::size_t>(1, pixels)); }

CGImageRef decodeWithinBudget(const CGImageSourceRef& source, std::size_t index)
{
    Value properties = CGImageSourceCopyPropertiesAtIndex(source, index);
    double width = properties[kCGImagePropertyPixelWidth].doubleValue();
    double height = properties[kCGImagePropertyPixelHeight].doubleValue();
    const double budget = double(decodePixelBudget());
    if (width * height <= budget) {
        return CGImageSourceCreateImageAtIndex(source, index);
    }
    // The longer side that keeps width × height within the budget.
    double longer = std::max(width, height), shorter = std::min(width, height);
    auto side = std::max(1.0, std::floor(longer * std::sqrt(budget / (width * height))));
    while (side > 1 && side * std::max(1.0, std::round(shorter * side / longer)) > budget) {
        --side;
    }
    return CGImageSourceCreateThumbnailAtIndex(source, index,
        Value::dictionary({ { kCGImageSourceThumbnailMaxPixelSize, side },
            { kCGImageSourceCreateThumbnailFromImageAlways, true } }));
}
} // namespace image

namespace {
constexpr double kDefaultFrameDuration = 0.1;

// The bitmap a still image decodes to, with the orientation its EXIF data names.
UIImageRef stillImageWithData(const Bytes& data)
{
    auto source = CGImageSourceCreateWithData(data);
    if (!source) {
        return nullptr;
    }
    CGImageRef bitmap = image::decodeWithinBudget(source, 0);
    if (!bitmap) {
        return nullptr;
    }
    return UIImage::imageWithCGImage(bitmap, 1, UIImageOrientationUp);
}
} // namespace

std::optional<std::string> wi_contentTypeForImageData(const Bytes& data)
{
    if (data.empty()) {
        return std::nullopt;
    }
    switch (data[0]) {
    case 0xFF:
        return "image/jpeg";
    case 0x89:
        return "image/png";
    case 0x47:
        return "image/gif";
    case 0x49:
    case 0x4D:
        return "image/tiff";
    case 0x52: {
        if (data.size() < 12) {
            return std::nullopt;
        }
        std::string text(data.begin(), data.begin() + 12);
        if (text.rfind("RIFF", 0) == 0 && text.compare(8, 4, "WEBP") == 0) {
            return "image/webp";
        }
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

UIImageOrientation wi_exifOrientationToiOSOrientation(long exifOrientation)
{
    switch (exifOrientation) {
    case 1:
        return UIImageOrientationUp;
    case 2:
        return UIImageOrientationUpMirrored;
    case 3:
        return UIImageOrientationDown;
    case 4:
        return UIImageOrientationDownMirrored;
    case 5:
        return UIImageOrientationLeftMirrored;
    case 6:
        return UIImageOrientationRight;
    case 7:
        return UIImageOrientationRightMirrored;
    case 8:
        return UIImageOrientationLeft;
    default:
        return UIImageOrientationUp;
    }
}

UIImageOrientation wi_imageOrientationFromImageData(const Bytes& data)
{
    auto source = CGImageSourceCreateWithData(data);
    if (!source) {
        return UIImageOrientationUp;
    }
    Value properties = CGImageSourceCopyPropertiesAtIndex(source, 0);
    const Value& orientation = properties[kCGImagePropertyOrientation];
    if (!orientation.isNumber()) {
        return UIImageOrientationUp;
    }
    return wi_exifOrientationToiOSOrientation(static_cast<long>(orientation.integerValue()));
}

UIImageRef wi_imageWithData(const Bytes& data)
{
    if (data.empty()) {
        return nullptr;
    }
    if (wi_contentTypeForImageData(data) == std::optional<std::string>("image/gif")) {
        return wi_animatedGIFWithData(data);
    }
    UIImageRef image = stillImageWithData(data);
    if (!image) {
        return nullptr;
    }
    UIImageOrientation orientation = wi_imageOrientationFromImageData(data);
    if (orientation == UIImageOrientationUp) {
        return image;
    }
    return UIImage::imageWithCGImage(image->CGImage(), image->scale(), orientation);
}

float wi_frameDurationAtIndex(std::size_t index, const CGImageSourceRef& source)
{
    Value properties = CGImageSourceCopyPropertiesAtIndex(source, index);
    const Value& gif = properties[kCGImagePropertyGIFDictionary];
    float duration = static_cast<float>(kDefaultFrameDuration);
    const Value& unclamped = gif[kCGImagePropertyGIFUnclampedDelayTime];
    const Value& clamped = gif[kCGImagePropertyGIFDelayTime];
    if (unclamped.isNumber()) {
        duration = static_cast<float>(unclamped.doubleValue());
    } else if (clamped.isNumber()) {
        duration = static_cast<float>(clamped.doubleValue());
    }
    if (duration < 0.011f) {
        duration = static_cast<float>(kDefaultFrameDuration);
    }
    return duration;
}

UIImageRef wi_animatedGIFWithData(const Bytes& data)
{
    if (data.empty()) {
        return nullptr;
    }
    auto source = CGImageSourceCreateWithData(data);
    if (!source) {
        return nullptr;
    }
    // Data that ends inside a record is a cut-off file, whatever frames came before the cut.
    if (CGImageSourceGetStatus(source) == kCGImageStatusUnexpectedEOF) {
        return nullptr;
    }
    std::size_t count = CGImageSourceGetCount(source);
    if (count <= 1) {
        return stillImageWithData(data);
    }
    std::vector<UIImageRef> frames;
    double duration = 0;
    for (std::size_t index = 0; index < count; ++index) {
        CGImageRef bitmap = image::decodeWithinBudget(source, index);
        // A frame that yields no bitmap is left out, with its time.
        if (!bitmap) {
            continue;
        }
        duration += wi_frameDurationAtIndex(index, source);
        frames.push_back(UIImage::imageWithCGImage(bitmap, graphics::mainScreenScale(), UIImageOrientationUp));
    }
    if (frames.empty()) {
        return nullptr;
    }
    if (duration == 0) {
        duration = static_cast<double>(frames.size()) * kDefaultFrameDuration;
    }
    return UIImage::animatedImageWithImages(std::move(frames), duration);
}

UIImageRef wi_animatedGIFNamed(const std::string& name)
{
    auto bundle = NSBundle::mainBundle();
    auto gifNamed = [&](const std::string& resource) -> std::optional<Bytes> {
        auto path = bundle ? bundle->pathForResource(resource, "gif") : std::nullopt;
        return path ? persistence::dataWithContentsOfFile(*path) : std::nullopt;
    };
    if (graphics::mainScreenScale() > 1.0) {
        if (auto data = gifNamed(name + "@2x")) {
            return wi_animatedGIFWithData(*data);
        }
    }
    if (auto data = gifNamed(name)) {
        return wi_animatedGIFWithData(*data);
    }
    return UIImage::imageNamed(name);
}

UIImageRef wi_animatedImageByScalingAndCroppingToSize(const UIImageRef& image, CGSize size)
{
    if (!image) {
        return nullptr;
    }
    CGSize own = image->size();
    if ((own.width == size.width && own.height == size.height) || (size.width == 0 && size.height == 0)) {
        return image;
    }
    double widthFactor = own.width > 0 ? size.width / own.width : 0;
    double heightFactor = own.height > 0 ? size.height / own.height : 0;
    double factor = widthFactor > heightFactor ? widthFactor : heightFactor;
    double scaledWidth = own.width * factor;
    double scaledHeight = own.height * factor;
    CGPoint origin { 0, 0 };
    if (widthFactor > heightFactor) {
        origin.y = (size.height - scaledHeight) * 0.5;
    } else if (widthFactor < heightFactor) {
        origin.x = (size.width - scaledWidth) * 0.5;
    }
    std::vector<UIImageRef> frames;
    for (const auto& frame : image->images()) {
        UIGraphicsBeginImageContextWithOptions(size, false, 0);
        frame->drawInRect(CGRectMake(origin.x, origin.y, scaledWidth, scaledHeight));
        UIImageRef drawn = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        if (drawn) {
            frames.push_back(drawn);
        }
    }
    return UIImage::animatedImageWithImages(std::move(frames), image->duration());
}

UIImageRef decodedImageWithImage(const UIImageRef& image)
{
    if (!image || !image->images().empty()) {
        return image;
    }
    CGImageRef bitmap = image->CGImage();
    if (!bitmap) {
        return image;
    }
    CGImageAlphaInfo alpha = bitmap->alphaInfo();
    if (alpha == kCGImageAlphaPremultipliedLast || alpha == kCGImageAlphaPremultipliedFirst
        || alpha == kCGImageAlphaLast || alpha == kCGImageAlphaFirst) {
        return image;
    }
    if (graphics::isCairoLayout(bitmap->layout())) {
        return image; // decoded already, in the layout drawing uses
    }
    CGColorSpaceModel model = CGColorSpaceGetModel(bitmap->colorSpace());
    bool drawable = model == kCGColorSpaceModelUnknown || model == kCGColorSpaceModelMonochrome
        || model == kCGColorSpaceModelIndexed || model == kCGColorSpaceModelRGB;
    // Layouts a bitmap context would not take (CMYK, 16 bits) are drawn as they are.
    if (!drawable || bitmap->bitsPerComponent() != 8) {
        return image;
    }
    // Drawing an opaque bitmap unscaled into a premultiplied-first RGB context gives each pixel
    // in that layout: written straight into the one new bitmap, with no context in between.
    const std::size_t width = bitmap->width(), height = bitmap->height();
    auto pixels = std::make_shared<Bytes>(width * height * 4);
    for (std::size_t y = 0; y < height; ++y) {
        bitmap->copyRowARGB32(y, reinterpret_cast<std::uint32_t*>(pixels->data() + y * width * 4));
    }
    CGBitmapLayout layout { width, height, 8, 32, width * 4, CGColorSpaceCreateDeviceRGB(),
        CGBitmapInfo(kCGImageAlphaPremultipliedFirst) | kCGBitmapByteOrder32Host };
    CGImageRef decoded = CGImage::create(std::move(layout), std::move(pixels));
    if (!decoded) {
        return image;
    }
    return UIImage::imageWithCGImage(decoded, image->scale(), image->imageOrientation());
}

UIImageRef ScaledImageForCacheKey(const std::string& key, const UIImageRef& image)
{
    if (!image) {
        return nullptr;
    }
    if (!image->images().empty()) {
        std::vector<UIImageRef> frames;
        for (const auto& frame : image->images()) {
            frames.push_back(ScaledImageForCacheKey(key, frame));
        }
        return UIImage::animatedImageWithImages(std::move(frames), image->duration());
    }
    double scale = graphics::mainScreenScale();
    if (key.size() >= 8) {
        if (key.find("@3x.") != std::string::npos) {
            scale = 3.0;
        } else if (key.find("@2x.") != std::string::npos) {
            scale = 2.0;
        }
    }
    return UIImage::imageWithCGImage(image->CGImage(), scale, image->imageOrientation());
}
