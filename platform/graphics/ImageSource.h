// CGImageSource: reads images out of data, whole or still arriving. It tells the format,
// the number of frames and each frame's properties, and makes each frame's bitmap.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/foundation/Value.h"
#include "platform/graphics/Image.h"

// Property keys (values of a properties dictionary).
inline constexpr const char* kCGImagePropertyPixelWidth = "PixelWidth";
inline constexpr const char* kCGImagePropertyPixelHeight = "PixelHeight";
inline constexpr const char* kCGImagePropertyDepth = "Depth";
inline constexpr const char* kCGImagePropertyColorModel = "ColorModel";
inline constexpr const char* kCGImagePropertyHasAlpha = "HasAlpha";
inline constexpr const char* kCGImagePropertyOrientation = "Orientation";
inline constexpr const char* kCGImagePropertyGIFDictionary = "{GIF}";
inline constexpr const char* kCGImagePropertyGIFDelayTime = "DelayTime";
inline constexpr const char* kCGImagePropertyGIFUnclampedDelayTime = "UnclampedDelayTime";
inline constexpr const char* kCGImagePropertyGIFLoopCount = "LoopCount";
inline constexpr const char* kCGImagePropertyColorModelRGB = "RGB";
inline constexpr const char* kCGImagePropertyColorModelGray = "Gray";
inline constexpr const char* kCGImagePropertyColorModelCMYK = "CMYK";

// Thumbnail options: the longest side in pixels, and whether to make it from the image itself
// (always so here: files carry no thumbnails of their own that are read).
inline constexpr const char* kCGImageSourceThumbnailMaxPixelSize = "kCGImageSourceThumbnailMaxPixelSize";
inline constexpr const char* kCGImageSourceCreateThumbnailFromImageAlways = "kCGImageSourceCreateThumbnailFromImageAlways";

enum CGImageSourceStatus : int {
    kCGImageStatusUnexpectedEOF = -5,
    kCGImageStatusInvalidData = -4,
    kCGImageStatusUnknownType = -3,
    kCGImageStatusReadingHeader = -2,
    kCGImageStatusIncomplete = -1,
    kCGImageStatusComplete = 0,
};

namespace graphics {
struct GifScan;
class GifCompositor;
}

class CGImageSource {
public:
    CGImageSource(Bytes data, bool final);
    ~CGImageSource();
    CGImageSource(const CGImageSource&) = delete;
    CGImageSource& operator=(const CGImageSource&) = delete;

    void update(Bytes data, bool final);
    std::size_t count();
    std::string type();
    CGImageSourceStatus status();
    Value properties();
    Value propertiesAtIndex(std::size_t index);
    // maxSide 0: full size.
    CGImageRef imageAtIndex(std::size_t index, std::size_t maxSide = 0);

private:
    void reset();
    graphics::GifScan& gifScan();
    std::mutex mutex_;
    Bytes data_;
    bool final_;
    std::unique_ptr<graphics::GifScan> gifScan_;
    std::unique_ptr<graphics::GifCompositor> compositor_;
};

using CGImageSourceRef = std::shared_ptr<CGImageSource>;

// A source over complete data; null for empty data. Options are accepted and unused.
CGImageSourceRef CGImageSourceCreateWithData(Bytes data, const Value& options = {});
// A source whose data arrives in steps through CGImageSourceUpdateData.
CGImageSourceRef CGImageSourceCreateIncremental(const Value& options = {});
// Replaces the data with everything received so far; `final` when nothing more will come.
void CGImageSourceUpdateData(const CGImageSourceRef& source, Bytes data, bool final);
std::size_t CGImageSourceGetCount(const CGImageSourceRef& source);
// "public.jpeg", "public.png", "com.compuserve.gif", "org.webmproject.webp", "public.tiff", or "".
std::string CGImageSourceGetType(const CGImageSourceRef& source);
// From the header (and for GIF the record scan): final GIF data that ends inside a record is
// kCGImageStatusUnexpectedEOF. A cut-off still image shows only when its bitmap is asked for.
CGImageSourceStatus CGImageSourceGetStatus(const CGImageSourceRef& source);
// File properties ({GIF}: loop count); absent when there is nothing to say.
Value CGImageSourceCopyProperties(const CGImageSourceRef& source, const Value& options = {});
// Frame properties: pixel width and height, depth, colour model, alpha, the EXIF orientation
// when the file has one, and for GIF frames {GIF} with DelayTime (below 0.011 s it reads
// 0.1 s) and UnclampedDelayTime when the frame has a graphics-control block.
// Absent when the frame is unknown (yet).
Value CGImageSourceCopyPropertiesAtIndex(const CGImageSourceRef& source, std::size_t index, const Value& options = {});
// The frame's bitmap; for a prefix, what has arrived. Null when nothing can be shown, and for
// final data that ends before the frame does.
CGImageRef CGImageSourceCreateImageAtIndex(const CGImageSourceRef& source, std::size_t index, const Value& options = {});
// The frame decoded to fit kCGImageSourceThumbnailMaxPixelSize on its longer side, aspect kept
// (never enlarged; full size without that option), in Cairo's layout when it was shrunk. Large
// JPEG, PNG and WebP images are shrunk while they decode, so the full-size bitmap is never held.
CGImageRef CGImageSourceCreateThumbnailAtIndex(const CGImageSourceRef& source, std::size_t index, const Value& options);
