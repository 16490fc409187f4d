// Decoders and encoders behind the image source and UIImage: one small function set per
// format. Every decoder takes untrusted bytes, refuses images over the pixel cap before
// allocating, and reports failure as a null image rather than crashing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <memory>
#include <vector>

#include "platform/graphics/Image.h"

namespace graphics {

enum class ImageFormat { Unknown, JPEG, PNG, GIF, WebP, TIFF };

// The format from the leading signature bytes (Unknown when too short to tell).
ImageFormat sniffImageFormat(const std::uint8_t* data, std::size_t size);

// What a header says about a still image.
struct ImageHeader {
    std::size_t width = 0;
    std::size_t height = 0;
    std::size_t depth = 8; // bits per component in the file
    bool hasAlpha = false;
    CGColorSpaceModel model = kCGColorSpaceModelRGB;
    std::optional<int> orientation; // EXIF orientation, when the file carries one
};

// A decoded bitmap; for a prefix, with the rows decoded so far. Decoders given final data
// that ends before the image does return none: a cut-off file is not an image.
struct DecodedImage {
    CGImageRef image;
    bool complete = false;
};

// EXIF orientation (tag 0x0112) from the APP1 segments of a JPEG, or nothing.
std::optional<int> readJpegExifOrientation(const std::uint8_t* data, std::size_t size);
// The orientation from a TIFF structure (the body of an "Exif\0\0" segment).
std::optional<int> readTiffOrientation(const std::uint8_t* data, std::size_t size);

// JPEG. With `final` false the data is a prefix still arriving: a baseline image holds the
// rows decoded so far (its height), a progressive one the last complete scan at full size.
bool readJpegHeader(const std::uint8_t* data, std::size_t size, ImageHeader& header);
// With `maxSide` above 0 the image is decoded to fit it (see fitWithin): the library's own
// scaling first, then box averaging, never holding the full-size bitmap. The same holds for PNG
// (an interlaced one is decoded whole first) and still WebP.
DecodedImage decodeJpeg(const std::uint8_t* data, std::size_t size, bool final, std::size_t maxSide = 0);

// PNG: grey, grey+alpha, RGB, RGBA at 8 or 16 bits, palette kept indexed unless it has
// transparency; interlaced images show the passes received so far.
bool readPngHeader(const std::uint8_t* data, std::size_t size, ImageHeader& header);
DecodedImage decodePng(const std::uint8_t* data, std::size_t size, bool final, std::size_t maxSide = 0);

// WebP, still or animated (frames composited by the library).
bool readWebpHeader(const std::uint8_t* data, std::size_t size, ImageHeader& header);
std::size_t webpFrameCount(const std::uint8_t* data, std::size_t size);
DecodedImage decodeWebp(const std::uint8_t* data, std::size_t size, bool final, std::size_t maxSide = 0);
// Frame `index` of an animated WebP (index 0 of a still one) and its duration in seconds.
DecodedImage decodeWebpFrame(const std::uint8_t* data, std::size_t size, std::size_t index, double* duration);

// GIF frames found by a scan of the data (no pixels decoded).
struct GifFrameInfo {
    std::size_t offset = 0; // of the image descriptor
    int left = 0, top = 0, width = 0, height = 0;
    bool hasControl = false; // a graphics-control block precedes the frame
    int delayCentiseconds = 0;
    int disposal = 0;
    int transparentIndex = -1;
    bool complete = false; // all of its image data is present
};
struct GifScan {
    bool valid = false;
    std::size_t width = 0, height = 0; // the logical screen
    std::vector<GifFrameInfo> frames;
    int loopCount = -1; // from the application extension, -1 when absent
    bool truncated = false; // the data ends inside a record
};
GifScan scanGif(const std::uint8_t* data, std::size_t size);

// Composites GIF frames in order onto a canvas of the logical screen; going back restarts.
class GifCompositor {
public:
    GifCompositor(const std::uint8_t* data, std::size_t size, const GifScan& scan);
    // The canvas after frame `index`, as RGBA (straight alpha); null when it cannot be decoded.
    CGImageRef frame(std::size_t index);

private:
    bool apply(std::size_t index);
    const std::uint8_t* data_;
    std::size_t size_;
    const GifScan& scan_;
    std::size_t next_ = 0;
    std::vector<std::uint8_t> canvas_;
    std::vector<std::uint8_t> previous_; // canvas before a frame that restores it
};

// Decoding smaller: a width and height that fit `maxSide` on the longer side, aspect kept, at
// least 1 each (unchanged when they fit already, or for maxSide 0).
struct PixelSize {
    std::size_t width = 0, height = 0;
};
PixelSize fitWithin(std::size_t width, std::size_t height, std::size_t maxSide);

// Shrinks a bitmap arriving row by row (top down, each row once, in `source`'s layout) to
// width × height by averaging boxes of pixels. The result is in Cairo's layout: premultiplied
// first (or skipped first for a source without alpha), 32-bit host order.
class Downsampler {
public:
    Downsampler(const CGBitmapLayout& source, std::size_t width, std::size_t height);
    void addRow(const std::uint8_t* row);
    // The rows made so far (the whole image once every source row came); null before the first.
    CGImageRef image() const;

private:
    std::size_t bandEnd(std::size_t outRow) const;
    void emitRow();
    CGBitmapLayout source_;
    std::size_t width_, height_;
    std::vector<std::uint32_t> line_;
    std::vector<std::uint64_t> sums_; // A, R, G, B per output column
    std::vector<std::size_t> columns_; // first source column of each output column, and the end
    std::shared_ptr<Bytes> pixels_;
    bool opaque_;
    std::size_t sourceRow_ = 0, outRow_ = 0, bandRows_ = 0;
};
// The whole image shrunk to fit `maxSide` (the image itself when it fits).
CGImageRef downsampleImage(const CGImageRef& image, std::size_t maxSide);

// Encoders. PNG keeps alpha when the image has it; JPEG quality is 0...1.
Bytes encodePng(const CGImage& image);
Bytes encodeJpeg(const CGImage& image, double quality, int exifOrientation = 1);

} // namespace graphics
