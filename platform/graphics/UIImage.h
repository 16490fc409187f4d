// UIImage: a bitmap with a scale (pixels per point) and an orientation, or an animated image
// (frames and a total duration); image drawing contexts (UIGraphics...) that make them;
// PNG and JPEG representations.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"

enum UIImageOrientation : int {
    UIImageOrientationUp = 0,
    UIImageOrientationDown = 1, // 180°
    UIImageOrientationLeft = 2, // shown turned 90° anticlockwise
    UIImageOrientationRight = 3, // shown turned 90° clockwise
    UIImageOrientationUpMirrored = 4,
    UIImageOrientationDownMirrored = 5,
    UIImageOrientationLeftMirrored = 6,
    UIImageOrientationRightMirrored = 7,
};

class UIImage final : public NSObject {
public:
    using Ref = std::shared_ptr<UIImage>;

    // An image over the bitmap (not copied); null for a null bitmap. Scale 0 counts as 1.
    static Ref imageWithCGImage(CGImageRef image, double scale = 1, UIImageOrientation orientation = UIImageOrientationUp);
    // The first image in the data, with its EXIF orientation; null when it cannot be decoded.
    static Ref imageWithData(const Bytes& data, double scale = 1);
    // A file; a name ending "@2x"/"@3x" before its extension gives that scale. For a path
    // without such a suffix the variant for the main screen's scale is preferred when present.
    static Ref imageWithContentsOfFile(const std::string& path);
    // An image of the application's resources through the resolver (see graphics::), found
    // with ".png" added when the name has no extension and the @2x/@3x variants preferred by
    // the main screen's scale. Results are kept: the same name gives the same object.
    static Ref imageNamed(const std::string& name);
    // An animated image: the frames and the total duration in seconds (frames may be empty).
    static Ref animatedImageWithImages(std::vector<Ref> images, double duration);

    // The bitmap; for an animated image, its first frame's (null when it has none).
    CGImageRef CGImage() const;
    double scale() const;
    UIImageOrientation imageOrientation() const { return orientation_; }
    // In points: pixels / scale, width and height swapped for the left and right orientations.
    CGSize size() const;
    const std::vector<Ref>& images() const { return images_; }
    double duration() const { return duration_; }

    // Draw into the current context (UIGraphicsGetCurrentContext), upright per the orientation.
    void drawInRect(CGRect rect) const;
    void drawInRect(CGRect rect, CGBlendMode mode, double alpha) const;
    void drawAtPoint(CGPoint point) const;

    std::string className() const override { return "UIImage"; }
    std::string description() const override;

    UIImage(CGImageRef image, double scale, UIImageOrientation orientation);
    UIImage(std::vector<Ref> images, double duration);

private:
    CGImageRef image_;
    double scale_ = 1;
    UIImageOrientation orientation_ = UIImageOrientationUp;
    std::vector<Ref> images_;
    double duration_ = 0;
};

using UIImageRef = std::shared_ptr<UIImage>;

// PNG of the bitmap (alpha kept); empty for a null image.
Bytes UIImagePNGRepresentation(const UIImageRef& image);
// JPEG at quality 0...1 (1.0 is the library's 100), with the orientation as EXIF; empty for null.
Bytes UIImageJPEGRepresentation(const UIImageRef& image, double quality);

// Image drawing contexts: a per-thread stack. The current context is the top of the stack.
// Scale 0 means the main screen's scale. An opaque context has no alpha (none-skip-first),
// otherwise premultiplied-first, both in 32-bit little-endian words. The CTM maps points.
void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, double scale);
void UIGraphicsBeginImageContext(CGSize size); // not opaque, scale 1
CGContextRef UIGraphicsGetCurrentContext();
// An image of the current image context at its scale; null when the top is not one.
UIImageRef UIGraphicsGetImageFromCurrentImageContext();
void UIGraphicsEndImageContext(); // pops the top when it is an image context
void UIGraphicsPushContext(const CGContextRef& context);
void UIGraphicsPopContext();

namespace graphics {

// The main screen's scale used for scale 0 and @2x lookups (2 unless the UI layer sets it).
double mainScreenScale();
void setMainScreenScale(double scale);

// How imageNamed finds resources: given a relative resource path ("x@2x.png",
// "PGProgressHUD.bundle/success.png") returns an absolute file path, or "" when absent.
using ResourceResolver = std::function<std::string(const std::string& relativePath)>;
void setResourceResolver(ResourceResolver resolver);
void clearNamedImageCache();

// The transform from bitmap pixels (w × h) to the upright picture of the orientation.
CGAffineTransform orientationTransform(UIImageOrientation orientation, double width, double height);

// PNG bytes of a bitmap, of a context's pixels, or written to a file (false on failure).
Bytes pngData(const CGImageRef& image);
Bytes pngDataForContext(const CGContextRef& context);
bool writePngFile(const CGImageRef& image, const std::string& path);

} // namespace graphics
