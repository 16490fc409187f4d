// The rounded bar: outline and remaining inside, then the filled part, whose right end is
// square in the middle of the bar and follows the round cap near the right edge.
#include "ui/PGBarProgressView.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = static_cast<float>(M_PI);

// The rounded outline, from the middle of the left edge round to the bottom left corner.
void addOutline(const CGContextRef& c, CGFloat w, CGFloat h, CGFloat r)
{
    CGContextMoveToPoint(c, 2, h / 2);
    CGContextAddArcToPoint(c, 2, 2, r + 2, 2, r);
    CGContextAddLineToPoint(c, w - r - 2, 2);
    CGContextAddArcToPoint(c, w - 2, 2, w - 2, h / 2, r);
    CGContextAddArcToPoint(c, w - 2, h - 2, w - r - 2, h - 2, r);
    CGContextAddLineToPoint(c, r + 2, h - 2);
    CGContextAddArcToPoint(c, 2, h - 2, 2, h / 2, r);
}

// The two halves of the filled part's round left end, from the middle of its left edge.
void addLeftCapTop(const CGContextRef& c, CGFloat h, CGFloat r2)
{
    CGContextMoveToPoint(c, 4, h / 2);
    CGContextAddArcToPoint(c, 4, 4, r2 + 4, 4, r2);
}

void addLeftCapBottom(const CGContextRef& c, CGFloat h, CGFloat r2)
{
    CGContextMoveToPoint(c, 4, h / 2);
    CGContextAddArcToPoint(c, 4, h - 4, r2 + 4, h - 4, r2);
}

} // namespace

std::shared_ptr<PGBarProgressView> PGBarProgressView::init()
{
    return initWithFrame(CGRectMake(0, 0, 120, 20));
}

std::shared_ptr<PGBarProgressView> PGBarProgressView::initWithFrame(CGRect frame)
{
    auto view = std::make_shared<PGBarProgressView>(frame);
    view->observeOwnProperties();
    return view;
}

PGBarProgressView::PGBarProgressView(CGRect frame)
    : UIView(frame)
{
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
}

void PGBarProgressView::observeOwnProperties()
{
    std::weak_ptr<PGBarProgressView> weak = sharedAs<PGBarProgressView>();
    for (const char* key : { "lineColor", "progressRemainingColor", "progressColor", "progress" }) {
        observations_.push_back(observe(key, 0, [weak](const std::string&, NSObject*, const Value&) {
            if (auto view = weak.lock())
                view->setNeedsDisplay();
        }));
    }
}

void PGBarProgressView::setProgress(float progress) { change("progress", progress_, progress); }
void PGBarProgressView::setLineColor(const UIColor& color) { change("lineColor", lineColor_, color); }
void PGBarProgressView::setProgressRemainingColor(const UIColor& color) { change("progressRemainingColor", progressRemainingColor_, color); }
void PGBarProgressView::setProgressColor(const UIColor& color) { change("progressColor", progressColor_, color); }

void PGBarProgressView::setValueForKey(const std::string& key, const Value& value)
{
    if (key == "progress")
        setProgress(static_cast<float>(value.doubleValue()));
}

Value PGBarProgressView::valueForKey(const std::string& key) const
{
    if (key == "progress")
        return Value(progress_);
    return {};
}

void PGBarProgressView::drawRect(CGRect rect)
{
    auto c = UIGraphicsGetCurrentContext();
    if (!c)
        return;
    const CGFloat w = rect.size.width;
    const CGFloat h = rect.size.height;
    // A bar lower than 8 points would give negative corner radii; such radii are drawn as 0.
    const float r = std::max(0.0f, static_cast<float>(h) / 2 - 2);

    CGContextSetLineWidth(c, 2);
    CGContextSetStrokeColorWithColor(c, lineColor_.CGColor());
    CGContextSetFillColorWithColor(c, progressRemainingColor_.CGColor());
    CGContextBeginPath(c);
    addOutline(c, w, h, r);
    CGContextFillPath(c);
    CGContextBeginPath(c);
    addOutline(c, w, h, r);
    CGContextStrokePath(c);

    CGContextSetFillColorWithColor(c, progressColor_.CGColor());
    const float r2 = std::max(0.0f, r - 2);
    const float amount = progress_ * static_cast<float>(w);
    const CGFloat rightStart = w - r2 - 4; // where the right cap begins

    CGContextBeginPath(c);
    if (amount >= r2 + 4 && amount <= rightStart) {
        addLeftCapTop(c, h, r2);
        CGContextAddLineToPoint(c, amount, 4);
        CGContextAddLineToPoint(c, amount, r2 + 4);
        addLeftCapBottom(c, h, r2);
        CGContextAddLineToPoint(c, amount, h - 4);
        CGContextAddLineToPoint(c, amount, r2 + 4);
        CGContextFillPath(c);
        return;
    }
    if (amount > rightStart && amount > r2 + 4) {
        const float x = static_cast<float>(amount - rightStart);
        float angle = std::acos(x / r2);
        if (std::isnan(angle))
            angle = 0;
        addLeftCapTop(c, h, r2);
        CGContextAddLineToPoint(c, rightStart, 4);
        CGContextAddArc(c, rightStart, h / 2, r2, kPi, -angle, 0);
        CGContextAddLineToPoint(c, amount, h / 2);
        addLeftCapBottom(c, h, r2);
        CGContextAddLineToPoint(c, rightStart, h - 4);
        CGContextAddArc(c, rightStart, h / 2, r2, -kPi, angle, 1);
        CGContextAddLineToPoint(c, amount, h / 2);
        CGContextFillPath(c);
        return;
    }
    if (amount > 0 && amount < r2 + 4) {
        // The same left cap for every small amount.
        addLeftCapTop(c, h, r2);
        CGContextAddLineToPoint(c, r2 + 4, h / 2);
        addLeftCapBottom(c, h, r2);
        CGContextAddLineToPoint(c, r2 + 4, h / 2);
        CGContextFillPath(c);
    }
}
