// Turning bytes into images: content type from the first byte, still images with their EXIF
// orientation, animated GIFs with their frame timing, force decoding ahead of drawing, and the
// scale an image gets from its cache key. Stateless; safe on any thread.
#pragma once
#include <optional>
#include <string>
#include "platform/foundation/Value.h"
#include "platform/graphics/ImageSource.h"
#include "platform/graphics/UIImage.h"

namespace image {
// Pixels an image decodes to at most (2048 × 2048 unless changed): larger images are shrunk
// while they decode, aspect kept, so that a huge picture costs no more than a phone can show.
std::size_t decodePixelBudget();
void setDecodePixelBudget(std::size_t pixels);
// The frame at `index` within the budget (null when it cannot be decoded).
CGImageRef decodeWithinBudget(const CGImageSourceRef& source, std::size_t index);
} // namespace image

// NSData(ImageContentType): "image/jpeg", "image/png", "image/gif", "image/tiff", "image/webp" or none.
std::optional<std::string> wi_contentTypeForImageData(const Bytes& data);

// UIImage(MultiFormat)
UIImageRef wi_imageWithData(const Bytes& data);
UIImageOrientation wi_imageOrientationFromImageData(const Bytes& data);
UIImageOrientation wi_exifOrientationToiOSOrientation(long exifOrientation);

// UIImage(GIF)
UIImageRef wi_animatedGIFWithData(const Bytes& data);
// The main bundle's "<name>@2x.gif" on a screen of scale above 1, else "<name>.gif"; when neither
// can be read, the named image (UIImage::imageNamed) of that name.
UIImageRef wi_animatedGIFNamed(const std::string& name);
float wi_frameDurationAtIndex(std::size_t index, const CGImageSourceRef& source);
UIImageRef wi_animatedImageByScalingAndCroppingToSize(const UIImageRef& image, CGSize size);

// UIImage(ForceDecode): opaque 8-bit RGB, grey and indexed bitmaps redrawn into a
// premultiplied-first RGB bitmap in Cairo's layout, which is then drawn without another copy;
// images with alpha, animated images and other bitmaps come back unchanged.
UIImageRef decodedImageWithImage(const UIImageRef& image);

// The image over the same bitmap at the scale its key names ("@2x.", "@3x.") or the screen's.
UIImageRef ScaledImageForCacheKey(const std::string& key, const UIImageRef& image);
