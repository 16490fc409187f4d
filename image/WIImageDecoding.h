// Turning bytes into images: content type from the first byte, still images with their EXIF
// orientation, animated GIFs with their frame timing, force decoding ahead of drawing, and the
// scale an image gets from its cache key. Stateless; safe on any thread.
#pragma once
#include <optional>
#include <string>
#include "platform/foundation/Value.h"
#include "platform/graphics/ImageSource.h"
#include "platform/graphics/UIImage.h"

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

// UIImage(ForceDecode): opaque bitmaps redrawn into a premultiplied-first RGB bitmap; images
// with alpha, animated images and bitmaps no context can take come back unchanged.
UIImageRef decodedImageWithImage(const UIImageRef& image);

// The image over the same bitmap at the scale its key names ("@2x.", "@3x.") or the screen's.
UIImageRef ScaledImageForCacheKey(const std::string& key, const UIImageRef& image);
