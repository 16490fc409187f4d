// Boxed geometry, index paths and the main-loop helpers.
#include "platform/uikit/UIKitCore.h"

#include "platform/threading/NSRunLoop.h"
#include "platform/threading/NSTimer.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"

std::shared_ptr<NSValue> NSValue::valueWithCGRect(CGRect rect)
{
    return std::make_shared<NSValue>(rect);
}

std::shared_ptr<NSValue> NSValue::valueWithCGPoint(CGPoint point)
{
    return std::make_shared<NSValue>(CGRect { point, {} });
}

std::shared_ptr<NSValue> NSValue::valueWithCGSize(CGSize size)
{
    return std::make_shared<NSValue>(CGRect { {}, size });
}

bool NSValue::isEqual(const NSObject& other) const
{
    auto* value = dynamic_cast<const NSValue*>(&other);
    return value && value->rect_ == rect_;
}

CGRect CGRectFromValue(const Value& value)
{
    auto boxed = std::dynamic_pointer_cast<NSValue>(value.asObject());
    return boxed ? boxed->CGRectValue() : CGRectZero;
}

std::string NSIndexPath::description() const
{
    return "{" + std::to_string(section) + ", " + std::to_string(row) + "}";
}

namespace uikit {

void performOnMainSoon(std::function<void()> block)
{
    NSRunLoop::mainRunLoop()->performBlock(std::move(block));
}

void performOnMainAfter(double seconds, std::function<void()> block)
{
    auto timer = NSTimer::timerWithTimeInterval(seconds, false,
        [block = std::move(block)](const std::shared_ptr<NSTimer>&) { block(); });
    NSRunLoop::mainRunLoop()->addTimer(timer, NSRunLoopCommonModes);
}

namespace {
bool passScheduled = false;
}

void scheduleUpdatePass()
{
    if (passScheduled)
        return;
    passScheduled = true;
    performOnMainSoon([] { runUpdatePass(); });
}

void runUpdatePass()
{
    passScheduled = false;
    for (const auto& window : UIApplication::sharedApplication()->windows()) {
        window->layoutIfNeeded();
        window->displayIfNeeded();
    }
}

} // namespace uikit
