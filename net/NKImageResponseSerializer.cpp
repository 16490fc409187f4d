// NKImageResponseSerializer: images decoded from the body and, for PNG and JPEG up to
// 1024 x 1024 pixels at 8 bits, redrawn once into a bitmap so that drawing them later is cheap.
#include "net/NKSafeImageLoading.h"
#include "net/NKURLResponseSerialization.h"
#include "platform/graphics/Codecs.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/UIImage.h"

namespace {

UIImageRef decodeImageAtScale(const Bytes& data, double scale)
{
    UIImageRef image = nk_safeImageWithData(data);
    if (!image || !image->images().empty())
        return image;
    return UIImage::imageWithCGImage(image->CGImage(), scale, image->imageOrientation());
}

CGImageRef decodeBitmapForType(const std::string& mimeType, const Bytes& data)
{
    if (mimeType == "image/png")
        return graphics::decodePng(data.data(), data.size(), true).image;
    if (mimeType != "image/jpeg")
        return nullptr;
    CGImageRef image = graphics::decodeJpeg(data.data(), data.size(), true).image;
    if (image && CGColorSpaceGetModel(image->colorSpace()) == kCGColorSpaceModelCMYK)
        return nullptr;
    return image;
}

UIImageRef inflateResponseImage(const NSURLResponseRef& response, const Bytes* data, double scale)
{
    if (!data || data->empty())
        return nullptr;
    std::string mimeType = response && response->MIMEType() ? *response->MIMEType() : std::string();
    CGImageRef bitmap = decodeBitmapForType(mimeType, *data);
    UIImageRef image = decodeImageAtScale(*data, scale);
    if (!bitmap) {
        if (!image || !image->images().empty())
            return image;
        bitmap = CGImageCreateCopy(image->CGImage());
        if (!bitmap)
            return nullptr;
    }
    if (bitmap->width() * bitmap->height() > 1024 * 1024 || bitmap->bitsPerComponent() > 8)
        return image;
    // Every source (grey, grey with alpha, palette, CMYK, RGB) is redrawn in device RGB, with an
    // alpha layout that an RGB context takes.
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    CGBitmapInfo info = bitmap->bitmapInfo();
    std::uint32_t alpha = info & kCGBitmapAlphaInfoMask;
    if (alpha == kCGImageAlphaNone)
        info = (info & ~kCGBitmapAlphaInfoMask) | kCGImageAlphaNoneSkipFirst;
    else if (alpha != kCGImageAlphaNoneSkipFirst && alpha != kCGImageAlphaNoneSkipLast)
        info = (info & ~kCGBitmapAlphaInfoMask) | kCGImageAlphaPremultipliedFirst;
    CGContextRef context = CGBitmapContextCreate(
        nullptr, bitmap->width(), bitmap->height(), bitmap->bitsPerComponent(), 0, rgb, info);
    if (!context)
        return image;
    CGContextDrawImage(context,
        CGRectMake(0, 0, static_cast<double>(bitmap->width()), static_cast<double>(bitmap->height())), bitmap);
    CGImageRef inflated = CGBitmapContextCreateImage(context);
    return UIImage::imageWithCGImage(inflated, scale, image ? image->imageOrientation() : UIImageOrientationUp);
}

} // namespace

std::shared_ptr<NKImageResponseSerializer> NKImageResponseSerializer::serializer()
{
    return std::make_shared<NKImageResponseSerializer>();
}

NKImageResponseSerializer::NKImageResponseSerializer()
    : imageScale_(graphics::mainScreenScale())
{
    setAcceptableContentTypes(std::set<std::string> { "image/tiff", "image/jpeg", "image/gif", "image/png", "image/ico",
        "image/x-icon", "image/bmp", "image/x-bmp", "image/x-xbitmap", "image/x-win-bitmap" });
}

Value NKImageResponseSerializer::responseObjectForResponse(const NSURLResponseRef& response, const Bytes* data, NSErrorRef* error)
{
    if (!passesValidationGate(response, data, error))
        return {};
    if (inflates_)
        return Value(inflateResponseImage(response, data, imageScale_));
    return data ? Value(decodeImageAtScale(*data, imageScale_)) : Value();
}

std::shared_ptr<NKHTTPResponseSerializer> NKImageResponseSerializer::copy() const
{
    auto other = std::make_shared<NKImageResponseSerializer>();
    copyConfigurationTo(*other);
    other->imageScale_ = imageScale_;
    other->inflates_ = inflates_;
    return other;
}
