// The image source: format dispatch to the decoders, frame counting, frame properties and
// the GIF scan and compositor kept between calls.
#include "platform/graphics/ImageSource.h"

#include "platform/graphics/Codecs.h"

using graphics::ImageFormat;

CGImageSource::CGImageSource(Bytes data, bool final)
    : data_(std::move(data))
    , final_(final)
{
}

CGImageSource::~CGImageSource() = default;

void CGImageSource::reset()
{
    compositor_.reset();
    gifScan_.reset();
}

void CGImageSource::update(Bytes data, bool final)
{
    std::lock_guard lock(mutex_);
    data_ = std::move(data);
    final_ = final;
    reset();
}

graphics::GifScan& CGImageSource::gifScan()
{
    if (!gifScan_)
        gifScan_ = std::make_unique<graphics::GifScan>(graphics::scanGif(data_.data(), data_.size()));
    return *gifScan_;
}

std::string CGImageSource::type()
{
    std::lock_guard lock(mutex_);
    switch (graphics::sniffImageFormat(data_.data(), data_.size())) {
    case ImageFormat::JPEG: return "public.jpeg";
    case ImageFormat::PNG: return "public.png";
    case ImageFormat::GIF: return "com.compuserve.gif";
    case ImageFormat::WebP: return "org.webmproject.webp";
    case ImageFormat::TIFF: return "public.tiff";
    default: return "";
    }
}

namespace {

bool readHeader(ImageFormat format, const Bytes& data, graphics::ImageHeader& header)
{
    switch (format) {
    case ImageFormat::JPEG: return graphics::readJpegHeader(data.data(), data.size(), header);
    case ImageFormat::PNG: return graphics::readPngHeader(data.data(), data.size(), header);
    case ImageFormat::WebP: return graphics::readWebpHeader(data.data(), data.size(), header);
    default: return false;
    }
}

const char* modelName(CGColorSpaceModel model)
{
    switch (model) {
    case kCGColorSpaceModelMonochrome: return kCGImagePropertyColorModelGray;
    case kCGColorSpaceModelCMYK: return kCGImagePropertyColorModelCMYK;
    default: return kCGImagePropertyColorModelRGB;
    }
}

} // namespace

std::size_t CGImageSource::count()
{
    std::lock_guard lock(mutex_);
    ImageFormat format = graphics::sniffImageFormat(data_.data(), data_.size());
    if (format == ImageFormat::GIF)
        return gifScan().frames.size();
    if (format == ImageFormat::WebP)
        return graphics::webpFrameCount(data_.data(), data_.size());
    graphics::ImageHeader header;
    return readHeader(format, data_, header) ? 1 : 0;
}

CGImageSourceStatus CGImageSource::status()
{
    std::lock_guard lock(mutex_);
    ImageFormat format = graphics::sniffImageFormat(data_.data(), data_.size());
    if (format == ImageFormat::Unknown)
        return (final_ || data_.size() >= 12) ? kCGImageStatusUnknownType : kCGImageStatusReadingHeader;
    bool header = false;
    if (format == ImageFormat::GIF) {
        header = gifScan().valid;
        if (header && final_ && gifScan().truncated)
            return kCGImageStatusUnexpectedEOF;
    } else {
        graphics::ImageHeader h;
        header = readHeader(format, data_, h);
    }
    if (!header)
        return final_ ? kCGImageStatusInvalidData : kCGImageStatusReadingHeader;
    return final_ ? kCGImageStatusComplete : kCGImageStatusIncomplete;
}

Value CGImageSource::properties()
{
    std::lock_guard lock(mutex_);
    if (graphics::sniffImageFormat(data_.data(), data_.size()) != ImageFormat::GIF)
        return {};
    const graphics::GifScan& scan = gifScan();
    if (!scan.valid)
        return {};
    Value gif = Value::dictionary();
    if (scan.loopCount >= 0)
        gif.set(kCGImagePropertyGIFLoopCount, scan.loopCount);
    return Value::dictionary({ { kCGImagePropertyGIFDictionary, gif } });
}

Value CGImageSource::propertiesAtIndex(std::size_t index)
{
    std::lock_guard lock(mutex_);
    ImageFormat format = graphics::sniffImageFormat(data_.data(), data_.size());
    Value props = Value::dictionary();
    if (format == ImageFormat::GIF) {
        const graphics::GifScan& scan = gifScan();
        if (index >= scan.frames.size())
            return {};
        const graphics::GifFrameInfo& frame = scan.frames[index];
        props.set(kCGImagePropertyPixelWidth, scan.width);
        props.set(kCGImagePropertyPixelHeight, scan.height);
        props.set(kCGImagePropertyDepth, 8);
        props.set(kCGImagePropertyColorModel, kCGImagePropertyColorModelRGB);
        props.set(kCGImagePropertyHasAlpha, true);
        if (frame.hasControl) {
            double delay = frame.delayCentiseconds / 100.0;
            props.set(kCGImagePropertyGIFDictionary,
                Value::dictionary({ { kCGImagePropertyGIFUnclampedDelayTime, delay },
                    { kCGImagePropertyGIFDelayTime, delay < 0.011 ? 0.1 : delay } }));
        }
        return props;
    }
    graphics::ImageHeader header;
    if (index != 0 && format == ImageFormat::WebP && index < graphics::webpFrameCount(data_.data(), data_.size()))
        index = 0; // frames of an animated WebP share the canvas size
    if (index != 0 || !readHeader(format, data_, header))
        return {};
    props.set(kCGImagePropertyPixelWidth, header.width);
    props.set(kCGImagePropertyPixelHeight, header.height);
    props.set(kCGImagePropertyDepth, header.depth);
    props.set(kCGImagePropertyColorModel, modelName(header.model));
    props.set(kCGImagePropertyHasAlpha, header.hasAlpha);
    if (header.orientation)
        props.set(kCGImagePropertyOrientation, *header.orientation);
    return props;
}

CGImageRef CGImageSource::imageAtIndex(std::size_t index, std::size_t maxSide)
{
    std::lock_guard lock(mutex_);
    const std::uint8_t* data = data_.data();
    const std::size_t size = data_.size();
    switch (graphics::sniffImageFormat(data, size)) {
    case ImageFormat::JPEG:
        return index == 0 ? graphics::decodeJpeg(data, size, final_, maxSide).image : nullptr;
    case ImageFormat::PNG:
        return index == 0 ? graphics::decodePng(data, size, final_, maxSide).image : nullptr;
    case ImageFormat::WebP:
        if (index == 0)
            return graphics::decodeWebp(data, size, final_, maxSide).image;
        return graphics::downsampleImage(graphics::decodeWebpFrame(data, size, index, nullptr).image, maxSide);
    case ImageFormat::GIF:
        if (final_ && index < gifScan().frames.size() && !gifScan().frames[index].complete)
            return nullptr; // cut off inside the frame
        if (!compositor_)
            compositor_ = std::make_unique<graphics::GifCompositor>(data, size, gifScan());
        return graphics::downsampleImage(compositor_->frame(index), maxSide);
    default:
        return nullptr;
    }
}

CGImageSourceRef CGImageSourceCreateWithData(Bytes data, const Value&)
{
    if (data.empty())
        return nullptr;
    return std::make_shared<CGImageSource>(std::move(data), true);
}

CGImageSourceRef CGImageSourceCreateIncremental(const Value&) { return std::make_shared<CGImageSource>(Bytes {}, false); }

void CGImageSourceUpdateData(const CGImageSourceRef& source, Bytes data, bool final)
{
    if (source)
        source->update(std::move(data), final);
}

std::size_t CGImageSourceGetCount(const CGImageSourceRef& source) { return source ? source->count() : 0; }
std::string CGImageSourceGetType(const CGImageSourceRef& source) { return source ? source->type() : ""; }
CGImageSourceStatus CGImageSourceGetStatus(const CGImageSourceRef& source)
{
    return source ? source->status() : kCGImageStatusInvalidData;
}
Value CGImageSourceCopyProperties(const CGImageSourceRef& source, const Value&)
{
    return source ? source->properties() : Value {};
}
Value CGImageSourceCopyPropertiesAtIndex(const CGImageSourceRef& source, std::size_t index, const Value&)
{
    return source ? source->propertiesAtIndex(index) : Value {};
}
CGImageRef CGImageSourceCreateImageAtIndex(const CGImageSourceRef& source, std::size_t index, const Value&)
{
    return source ? source->imageAtIndex(index) : nullptr;
}

CGImageRef CGImageSourceCreateThumbnailAtIndex(const CGImageSourceRef& source, std::size_t index, const Value& options)
{
    const Value& side = options[kCGImageSourceThumbnailMaxPixelSize];
    std::size_t maxSide = side.isNumber() && side.doubleValue() >= 1 ? std::size_t(side.doubleValue()) : 0;
    return source ? source->imageAtIndex(index, maxSide) : nullptr;
}
