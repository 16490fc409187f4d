// The page control's dot views: the abstract base, the ringed dot and the animated dot.
#include "image/DTDotView.h"

#include "platform/foundation/NSException.h"

namespace {

// A clear circle with a white ring 2 points wide.
void styleAsRing(UIView& view)
{
    view.setBackgroundColor(UIColor::clearColor());
    view.layer()->setCornerRadius(view.frame().size.width / 2);
    view.layer()->setBorderColor(UIColor::whiteColor().CGColor());
    view.layer()->setBorderWidth(2);
}

[[noreturn]] void mustOverride(const std::string& operation, const std::string& className)
{
    NSException::raise(NSInternalInconsistencyException, "You must override " + operation + " in " + className);
}

} // namespace

DTAbstractDotView::DTAbstractDotView()
{
    mustOverride("init", "DTAbstractDotView");
}

void DTAbstractDotView::changeActivityState(bool)
{
    mustOverride("changeActivityState:", className());
}

DTDotView::DTDotView(CGRect frame)
    : DTAbstractDotView(frame)
{
    styleAsRing(*this);
}

void DTDotView::changeActivityState(bool active)
{
    setBackgroundColor(active ? UIColor::whiteColor() : UIColor::clearColor());
}

DTAnimatedDotView::DTAnimatedDotView(CGRect frame)
    : DTAbstractDotView(frame)
{
    styleAsRing(*this);
}

void DTAnimatedDotView::setDotColor(const UIColor& color)
{
    dotColor_ = color;
    layer()->setBorderColor(color.CGColor());
}

void DTAnimatedDotView::changeActivityState(bool active)
{
    std::weak_ptr<DTAnimatedDotView> weak = sharedAs<DTAnimatedDotView>();
    UIColor fill = active ? dotColor_ : UIColor::clearColor();
    CGAffineTransform transform = active ? CGAffineTransformMakeScale(1.4, 1.4) : CGAffineTransformIdentity;
    double velocity = active ? -20 : 0;
    UIView::animateWithDuration(1.0, 0, 0.5, velocity, UIViewAnimationOptionCurveLinear, [weak, fill, transform] {
        auto self = weak.lock();
        if (!self)
            return;
        self->setBackgroundColor(fill);
        self->setTransform(transform);
    }, {});
}
