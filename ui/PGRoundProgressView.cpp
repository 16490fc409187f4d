// The pie and ring drawing of the round progress view, and its self-observation.
#include "ui/PGRoundProgressView.h"

#include <cmath>

#include "platform/uikit/UIScreen.h"

namespace {
constexpr float kPi = static_cast<float>(M_PI);
}

std::shared_ptr<PGRoundProgressView> PGRoundProgressView::init()
{
    return initWithFrame(CGRectMake(0, 0, 37, 37));
}

std::shared_ptr<PGRoundProgressView> PGRoundProgressView::initWithFrame(CGRect frame)
{
    auto view = std::make_shared<PGRoundProgressView>(frame);
    view->observeOwnProperties();
    return view;
}

PGRoundProgressView::PGRoundProgressView(CGRect frame)
    : UIView(frame)
{
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
}

void PGRoundProgressView::observeOwnProperties()
{
    std::weak_ptr<PGRoundProgressView> weak = sharedAs<PGRoundProgressView>();
    for (const char* key : { "progressTintColor", "backgroundTintColor", "progress", "annular" }) {
        observations_.push_back(observe(key, 0, [weak](const std::string&, NSObject*, const Value&) {
            if (auto view = weak.lock())
                view->setNeedsDisplay();
        }));
    }
}

void PGRoundProgressView::setProgress(float progress) { change("progress", progress_, progress); }
void PGRoundProgressView::setProgressTintColor(const UIColor& color) { change("progressTintColor", progressTintColor_, color); }
void PGRoundProgressView::setBackgroundTintColor(const UIColor& color) { change("backgroundTintColor", backgroundTintColor_, color); }
void PGRoundProgressView::setAnnular(bool annular) { change("annular", annular_, annular); }

void PGRoundProgressView::setValueForKey(const std::string& key, const Value& value)
{
    if (key == "progress")
        setProgress(static_cast<float>(value.doubleValue()));
}

Value PGRoundProgressView::valueForKey(const std::string& key) const
{
    if (key == "progress")
        return Value(progress_);
    if (key == "annular")
        return Value(annular_);
    return {};
}

void PGRoundProgressView::drawRect(CGRect)
{
    auto context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    // Angles in single precision: from the top, clockwise on screen.
    const float startAngle = -kPi / 2;
    const float endAngle = (progress_ + progress_) * kPi + startAngle;
    if (annular_)
        drawRing(context, startAngle, endAngle);
    else
        drawPie(context, startAngle, endAngle);
}

void PGRoundProgressView::drawRing(const CGContextRef& context, float startAngle, float endAngle)
{
    // Older systems drew a thicker ring with round ends.
    bool beforeSeven = kCFCoreFoundationVersionNumber < kCFCoreFoundationVersionNumber_iOS_7_0;
    CGFloat lineWidth = beforeSeven ? 5 : 2;
    CGLineCap progressCap = beforeSeven ? kCGLineCapRound : kCGLineCapSquare;
    CGRect box = bounds();
    CGPoint center = CGPointMake(box.size.width / 2, box.size.height / 2);
    CGFloat radius = (box.size.width - lineWidth) / 2;

    CGContextBeginPath(context);
    CGContextSetLineWidth(context, lineWidth);
    CGContextSetLineCap(context, kCGLineCapButt);
    CGContextAddArc(context, center.x, center.y, radius, startAngle, 2 * kPi + startAngle, 0);
    CGContextSetStrokeColorWithColor(context, backgroundTintColor_.CGColor());
    CGContextStrokePath(context);

    CGContextBeginPath(context);
    CGContextSetLineCap(context, progressCap);
    CGContextSetLineWidth(context, lineWidth);
    CGContextAddArc(context, center.x, center.y, radius, startAngle, endAngle, 0);
    CGContextSetStrokeColorWithColor(context, progressTintColor_.CGColor());
    CGContextStrokePath(context);
}

void PGRoundProgressView::drawPie(const CGContextRef& context, float startAngle, float endAngle)
{
    CGRect box = bounds();
    CGContextSetStrokeColorWithColor(context, progressTintColor_.CGColor());
    CGContextSetFillColorWithColor(context, backgroundTintColor_.CGColor());
    CGContextSetLineWidth(context, 2);
    CGRect circle = CGRectInset(box, 2, 2);
    CGContextFillEllipseInRect(context, circle);
    CGContextStrokeEllipseInRect(context, circle);

    CGPoint center = CGPointMake(box.size.width / 2, box.size.height / 2);
    CGFloat radius = (box.size.width - 4) / 2;
    CGContextSetFillColorWithColor(context, progressTintColor_.CGColor());
    CGContextBeginPath(context);
    CGContextMoveToPoint(context, center.x, center.y);
    CGContextAddArc(context, center.x, center.y, radius, startAngle, endAngle, 0);
    CGContextClosePath(context);
    CGContextFillPath(context);
}
