// UIImage: construction from bitmaps, data, files and named resources; size, orientation
// and drawing; PNG and JPEG representations.
#include "platform/graphics/UIImage.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

#include "platform/graphics/Codecs.h"
#include "platform/graphics/ImageSource.h"

namespace {

std::mutex resourceMutex;
graphics::ResourceResolver resolver;
std::map<std::string, UIImageRef, std::less<>> namedImages;

UIImageOrientation fromExif(int value)
{
    static const UIImageOrientation table[9] = { UIImageOrientationUp, UIImageOrientationUp,
        UIImageOrientationUpMirrored, UIImageOrientationDown, UIImageOrientationDownMirrored,
        UIImageOrientationLeftMirrored, UIImageOrientationRight, UIImageOrientationRightMirrored,
        UIImageOrientationLeft };
    return (value >= 1 && value <= 8) ? table[value] : UIImageOrientationUp;
}

int toExif(UIImageOrientation o)
{
    static const int table[8] = { 1, 3, 8, 6, 2, 4, 5, 7 };
    return (o >= 0 && o <= 7) ? table[o] : 1;
}

bool readFile(const std::string& path, Bytes& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Splits "dir/name@2x.png" into ("dir/name", "@2x", ".png").
struct NameParts {
    std::string stem, scaleSuffix, extension;
};

NameParts splitName(const std::string& path)
{
    NameParts parts;
    std::size_t slash = path.find_last_of('/');
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        dot = path.size();
    parts.stem = path.substr(0, dot);
    parts.extension = path.substr(dot);
    for (const char* suffix : { "@2x", "@3x" }) {
        if (parts.stem.size() >= 3 && parts.stem.compare(parts.stem.size() - 3, 3, suffix) == 0) {
            parts.scaleSuffix = suffix;
            parts.stem.resize(parts.stem.size() - 3);
        }
    }
    return parts;
}

// Candidate (path, scale) pairs: the screen's scale first, then lower, then higher.
std::vector<std::pair<std::string, double>> candidates(const NameParts& parts)
{
    auto path = [&parts](const std::string& suffix) {
        std::string out = parts.stem;
        out.append(suffix);
        out.append(parts.extension);
        return out;
    };
    if (!parts.scaleSuffix.empty())
        return { { path(parts.scaleSuffix), parts.scaleSuffix == "@3x" ? 3.0 : 2.0 } };
    int screen = std::clamp(int(std::lround(graphics::mainScreenScale())), 1, 3);
    std::vector<int> order { screen };
    for (int s = screen - 1; s >= 1; --s)
        order.push_back(s);
    for (int s = screen + 1; s <= 3; ++s)
        order.push_back(s);
    std::vector<std::pair<std::string, double>> out;
    static const char* const suffixes[4] = { "", "", "@2x", "@3x" };
    for (int s : order)
        out.emplace_back(path(suffixes[s]), double(s));
    return out;
}

} // namespace

UIImage::UIImage(CGImageRef image, double scale, UIImageOrientation orientation)
    : image_(std::move(image))
    , scale_(scale > 0 ? scale : 1)
    , orientation_(orientation)
{
}

UIImage::UIImage(std::vector<Ref> images, double duration)
    : images_(std::move(images))
    , duration_(duration)
{
    if (!images_.empty() && images_.front()) {
        image_ = images_.front()->CGImage();
        scale_ = images_.front()->scale();
    }
}

UIImageRef UIImage::imageWithCGImage(CGImageRef image, double scale, UIImageOrientation orientation)
{
    if (!image)
        return nullptr;
    return std::make_shared<UIImage>(std::move(image), scale, orientation);
}

UIImageRef UIImage::imageWithData(const Bytes& data, double scale)
{
    CGImageSourceRef source = CGImageSourceCreateWithData(data);
    CGImageRef image = CGImageSourceCreateImageAtIndex(source, 0);
    if (!image)
        return nullptr;
    Value props = CGImageSourceCopyPropertiesAtIndex(source, 0);
    UIImageOrientation orientation = UIImageOrientationUp;
    if (props.contains(kCGImagePropertyOrientation))
        orientation = fromExif(props[kCGImagePropertyOrientation].intValue());
    return imageWithCGImage(std::move(image), scale, orientation);
}

UIImageRef UIImage::imageWithContentsOfFile(const std::string& path)
{
    Bytes data;
    for (const auto& [candidate, scale] : candidates(splitName(path))) {
        if (readFile(candidate, data))
            return imageWithData(data, scale);
    }
    return nullptr;
}

UIImageRef UIImage::imageNamed(const std::string& name)
{
    if (name.empty())
        return nullptr;
    std::lock_guard lock(resourceMutex);
    if (auto it = namedImages.find(name); it != namedImages.end())
        return it->second;
    if (!resolver)
        return nullptr;
    NameParts parts = splitName(name);
    if (parts.extension.empty())
        parts.extension = ".png";
    Bytes data;
    for (const auto& [candidate, scale] : candidates(parts)) {
        std::string path = resolver(candidate);
        if (path.empty() || !readFile(path, data))
            continue;
        UIImageRef image = imageWithData(data, scale);
        if (image)
            namedImages[name] = image;
        return image;
    }
    return nullptr;
}

UIImageRef UIImage::animatedImageWithImages(std::vector<Ref> images, double duration)
{
    std::erase(images, nullptr);
    return std::make_shared<UIImage>(std::move(images), duration);
}

CGImageRef UIImage::CGImage() const { return image_; }
double UIImage::scale() const { return scale_; }

CGSize UIImage::size() const
{
    if (!image_)
        return CGSizeZero;
    double w = double(image_->width()) / scale_, h = double(image_->height()) / scale_;
    bool turned = orientation_ == UIImageOrientationLeft || orientation_ == UIImageOrientationRight
        || orientation_ == UIImageOrientationLeftMirrored || orientation_ == UIImageOrientationRightMirrored;
    return turned ? CGSizeMake(h, w) : CGSizeMake(w, h);
}

void UIImage::drawInRect(CGRect rect) const { drawInRect(rect, kCGBlendModeNormal, 1.0); }

void UIImage::drawInRect(CGRect rect, CGBlendMode mode, double alpha) const
{
    CGContextRef c = UIGraphicsGetCurrentContext();
    if (!c || !image_)
        return;
    rect = CGRectStandardize(rect);
    CGSize upright = size();
    if (CGRectIsEmpty(rect) || upright.width <= 0 || upright.height <= 0)
        return;
    const double w = double(image_->width()), h = double(image_->height());
    CGContextSaveGState(c);
    CGContextSetBlendMode(c, mode);
    CGContextSetAlpha(c, alpha * c->state().alpha);
    CGContextTranslateCTM(c, rect.origin.x, rect.origin.y);
    // Upright picture space is (W', H') in pixels; scale it onto the rectangle.
    bool turned = orientation_ == UIImageOrientationLeft || orientation_ == UIImageOrientationRight
        || orientation_ == UIImageOrientationLeftMirrored || orientation_ == UIImageOrientationRightMirrored;
    double pw = turned ? h : w, ph = turned ? w : h;
    CGContextScaleCTM(c, rect.size.width / pw, rect.size.height / ph);
    CGContextConcatCTM(c, graphics::orientationTransform(orientation_, w, h));
    CGContextDrawImage(c, CGRectMake(0, 0, w, h), image_);
    CGContextRestoreGState(c);
}

void UIImage::drawAtPoint(CGPoint point) const
{
    CGSize s = size();
    drawInRect(CGRectMake(point.x, point.y, s.width, s.height));
}

std::string UIImage::description() const
{
    CGSize s = size();
    std::string out = "<UIImage: size ";
    out.append(NSStringFromCGSize(s));
    out.append(" orientation ");
    out.append(std::to_string(int(orientation_)));
    out.append(" scale ");
    out.append(NSStringFromCGPoint({ scale_, 0 }).substr(1)); // "{2, 0}" -> "2, 0}"
    out.resize(out.find(','));
    out.push_back('>');
    return out;
}

Bytes UIImagePNGRepresentation(const UIImageRef& image)
{
    if (!image || !image->CGImage())
        return {};
    return graphics::encodePng(*image->CGImage());
}

Bytes UIImageJPEGRepresentation(const UIImageRef& image, double quality)
{
    if (!image || !image->CGImage())
        return {};
    return graphics::encodeJpeg(*image->CGImage(), quality, toExif(image->imageOrientation()));
}

namespace graphics {

void setResourceResolver(ResourceResolver r)
{
    std::lock_guard lock(resourceMutex);
    resolver = std::move(r);
    namedImages.clear();
}

void clearNamedImageCache()
{
    std::lock_guard lock(resourceMutex);
    namedImages.clear();
}

CGAffineTransform orientationTransform(UIImageOrientation o, double w, double h)
{
    switch (o) {
    case UIImageOrientationDown: return { -1, 0, 0, -1, w, h };
    case UIImageOrientationLeft: return { 0, -1, 1, 0, 0, w };
    case UIImageOrientationRight: return { 0, 1, -1, 0, h, 0 };
    case UIImageOrientationUpMirrored: return { -1, 0, 0, 1, w, 0 };
    case UIImageOrientationDownMirrored: return { 1, 0, 0, -1, 0, h };
    case UIImageOrientationLeftMirrored: return { 0, 1, 1, 0, 0, 0 };
    case UIImageOrientationRightMirrored: return { 0, -1, -1, 0, h, w };
    default: return CGAffineTransformIdentity;
    }
}

Bytes pngData(const CGImageRef& image) { return image ? encodePng(*image) : Bytes {}; }

Bytes pngDataForContext(const CGContextRef& context) { return pngData(CGBitmapContextCreateImage(context)); }

bool writePngFile(const CGImageRef& image, const std::string& path)
{
    Bytes data = pngData(image);
    if (data.empty())
        return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return bool(out);
}

} // namespace graphics
