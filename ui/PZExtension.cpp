// Single-value frame and scroll accessors for the pull-to-refresh views.
#include "ui/PZExtension.h"

namespace {

template <class Edit>
void editFrame(UIView& view, Edit edit)
{
    CGRect frame = view.frame();
    edit(frame);
    view.setFrame(frame);
}

template <class Edit>
void editInset(UIScrollView& scrollView, Edit edit)
{
    UIEdgeInsets inset = scrollView.contentInset();
    edit(inset);
    scrollView.setContentInset(inset);
}

template <class Edit>
void editOffset(UIScrollView& scrollView, Edit edit)
{
    CGPoint offset = scrollView.contentOffset();
    edit(offset);
    scrollView.setContentOffset(offset);
}

template <class Edit>
void editSize(UIScrollView& scrollView, Edit edit)
{
    CGSize size = scrollView.contentSize();
    edit(size);
    scrollView.setContentSize(size);
}

} // namespace

CGFloat pz_x(const UIView& view) { return view.frame().origin.x; }
void pz_setX(UIView& view, CGFloat x) { editFrame(view, [x](CGRect& f) { f.origin.x = x; }); }
CGFloat pz_y(const UIView& view) { return view.frame().origin.y; }
void pz_setY(UIView& view, CGFloat y) { editFrame(view, [y](CGRect& f) { f.origin.y = y; }); }
CGFloat pz_width(const UIView& view) { return view.frame().size.width; }
void pz_setWidth(UIView& view, CGFloat width) { editFrame(view, [width](CGRect& f) { f.size.width = width; }); }
CGFloat pz_height(const UIView& view) { return view.frame().size.height; }
void pz_setHeight(UIView& view, CGFloat height) { editFrame(view, [height](CGRect& f) { f.size.height = height; }); }
CGSize pz_size(const UIView& view) { return view.frame().size; }
void pz_setSize(UIView& view, CGSize size) { editFrame(view, [size](CGRect& f) { f.size = size; }); }
CGPoint pz_origin(const UIView& view) { return view.frame().origin; }
void pz_setOrigin(UIView& view, CGPoint origin) { editFrame(view, [origin](CGRect& f) { f.origin = origin; }); }

CGFloat pz_contentInsetTop(const UIScrollView& s) { return s.contentInset().top; }
void pz_setContentInsetTop(UIScrollView& s, CGFloat v) { editInset(s, [v](UIEdgeInsets& i) { i.top = v; }); }
CGFloat pz_contentInsetLeft(const UIScrollView& s) { return s.contentInset().left; }
void pz_setContentInsetLeft(UIScrollView& s, CGFloat v) { editInset(s, [v](UIEdgeInsets& i) { i.left = v; }); }
CGFloat pz_contentInsetBottom(const UIScrollView& s) { return s.contentInset().bottom; }
void pz_setContentInsetBottom(UIScrollView& s, CGFloat v) { editInset(s, [v](UIEdgeInsets& i) { i.bottom = v; }); }
CGFloat pz_contentInsetRight(const UIScrollView& s) { return s.contentInset().right; }
void pz_setContentInsetRight(UIScrollView& s, CGFloat v) { editInset(s, [v](UIEdgeInsets& i) { i.right = v; }); }
CGFloat pz_contentOffsetX(const UIScrollView& s) { return s.contentOffset().x; }
void pz_setContentOffsetX(UIScrollView& s, CGFloat v) { editOffset(s, [v](CGPoint& p) { p.x = v; }); }
CGFloat pz_contentOffsetY(const UIScrollView& s) { return s.contentOffset().y; }
void pz_setContentOffsetY(UIScrollView& s, CGFloat v) { editOffset(s, [v](CGPoint& p) { p.y = v; }); }
CGFloat pz_contentSizeWidth(const UIScrollView& s) { return s.contentSize().width; }
void pz_setContentSizeWidth(UIScrollView& s, CGFloat v) { editSize(s, [v](CGSize& z) { z.width = v; }); }
CGFloat pz_contentSizeHeight(const UIScrollView& s) { return s.contentSize().height; }
void pz_setContentSizeHeight(UIScrollView& s, CGFloat v) { editSize(s, [v](CGSize& z) { z.height = v; }); }
