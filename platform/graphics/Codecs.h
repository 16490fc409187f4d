// Decoders and encoders behind the image source and UIImage: one small function set per
// format. Every decoder takes untrusted bytes, refuses images over the pixel cap before
// allocating, and reports failure as a null image rather than crashing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
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
DecodedImage decodeJpeg(const std::uint8_t* data, std::size_t size, bool final);

// PNG: grey, grey+alpha, RGB, RGBA at 8 or 16 bits, palette kept indexed unless it has
// transparency; interlaced images show the passes received so far.
bool readPngHeader(const std::uint8_t* data, std::size_t size, ImageHeader& header);
DecodedImage decodePng(const std::uint8_t* data, std::size_t size, bool final);

// WebP, still or animated (frames composited by the library).
bool readWebpHeader(const std::uint8_t* data, std::size_t size, ImageHeader& header);
std::size_t webpFrameCount(const std::uint8_t* data, std::size_t size);
DecodedImage decodeWebp(const std::uint8_t* data, std::size_t size, bool final);
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

// Encoders. PNG keeps alpha when the image has it; JPEG quality is 0...1.
Bytes encodePng(const CGImage& image);
Bytes encodeJpeg(const CGImage& image, double quality, int exifOrientation = 1);

} // namespace graphics
