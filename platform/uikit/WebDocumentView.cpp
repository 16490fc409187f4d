// The page's scrolling view: layout at the view's width, drawing of the shown part, link taps.
#include "platform/uikit/WebDocumentView.h"

namespace uikit::web {

void WebDocumentView::setDocument(std::unique_ptr<WebDocument> document)
{
    document_ = std::move(document);
    setContentOffset({ 0, 0 });
    relayout();
}

void WebDocumentView::relayout()
{
    CGSize size { 0, 0 };
    if (document_)
        size = document_->layout(bounds().size.width, bounds().size.height);
    setContentSize({ bounds().size.width, size.height });
    setNeedsDisplay();
}

void WebDocumentView::drawRect(CGRect rect)
{
    if (document_)
        document_->draw(UIGraphicsGetCurrentContext(), rect);
}

void WebDocumentView::handleTap(CGPoint point)
{
    std::optional<NSURL> link;
    if (document_)
        link = document_->linkAt(point);
    if (link && onLink_) {
        onLink_(*link);
        return;
    }
    UIScrollView::handleTap(point);
}

void WebDocumentView::didScroll()
{
    UIScrollView::didScroll();
    setNeedsDisplay();
}

void WebDocumentView::boundsSizeDidChange(CGSize oldSize)
{
    UIScrollView::boundsSizeDidChange(oldSize);
    if (oldSize.width != bounds().size.width && document_)
        relayout();
    else
        setNeedsDisplay();
}

} // namespace uikit::web
