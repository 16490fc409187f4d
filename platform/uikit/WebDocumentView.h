// The scrolling view of a web view's page: it lays the page out at its width (its content size
// is the laid-out size), draws the part it shows, redraws as it scrolls, and hands a tap on a
// link to the web view.
#pragma once

#include <functional>
#include <memory>

#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/WebDocument.h"

namespace uikit::web {

class WebDocumentView final : public UIScrollView {
public:
    using LinkHandler = std::function<void(const NSURL& url)>;

    explicit WebDocumentView(CGRect frame)
        : UIScrollView(frame)
    {
    }

    void setDocument(std::unique_ptr<WebDocument> document);
    WebDocument* document() const { return document_.get(); }
    void setLinkHandler(LinkHandler handler) { onLink_ = std::move(handler); }
    // Lays the page out again (after a picture arrived or the width changed).
    void relayout();

    void drawRect(CGRect rect) override;
    void handleTap(CGPoint point) override;

protected:
    void didScroll() override;
    void boundsSizeDidChange(CGSize oldSize) override;

private:
    std::unique_ptr<WebDocument> document_;
    LinkHandler onLink_;
};

} // namespace uikit::web
