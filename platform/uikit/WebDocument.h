// A web page laid out and drawn: the page's HTML and CSS laid out by litehtml at a width, drawn
// with our Cairo context and Pango text, its pictures asked for by URL and drawn once they are
// given, and the link under a point. Pages are bounded before layout: only the first
// kMaxPageBytes are laid out, the page is cut where its elements nest deeper than kMaxNesting,
// and table spans above kMaxSpan are lowered to it, so garbage and huge pages cost bounded time,
// memory and stack.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/NSURL.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/UIImage.h"

namespace uikit::web {

inline constexpr std::size_t kMaxPageBytes = 512 * 1024;
inline constexpr int kMaxNesting = 200;
inline constexpr int kMaxSpan = 100;

// What is laid out of `html` (see above).
std::string boundedHTML(std::string_view html);
// The style every page starts from.
const char* defaultStyleSheet();

class WebDocument {
public:
    // Called once per picture the page shows, with its absolute http or https URL.
    using ImageRequest = std::function<void(const NSURL& url)>;

    WebDocument(std::string_view html, std::optional<NSURL> baseURL, ImageRequest requestImage);
    ~WebDocument();
    WebDocument(const WebDocument&) = delete;
    WebDocument& operator=(const WebDocument&) = delete;

    // Lays the page out in `width` points for a viewport `height` high; returns the laid-out size.
    CGSize layout(double width, double height);
    // Draws the part of the page inside `clip` (page coordinates) into the context.
    void draw(const CGContextRef& context, CGRect clip);
    // The absolute URL of the link at the point, if any.
    std::optional<NSURL> linkAt(CGPoint point);
    // A picture arrived (null when it could not be decoded); true when the page shows it.
    bool setImage(const std::string& url, const UIImageRef& image);

private:
    class Container;
    std::unique_ptr<Container> container_;
};

} // namespace uikit::web
