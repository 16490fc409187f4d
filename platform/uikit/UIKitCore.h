// Small shared pieces of the windowing layer: boxed geometry for user-info dictionaries
// (NSValue), index paths for tables and collections, and the main-loop helpers every view
// uses (the coalesced layout-and-display pass, work on the next turn, work after a delay).
#pragma once

#include <compare>
#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Geometry.h"

// A boxed point, size or rectangle, as user-info dictionaries carry them.
class NSValue final : public NSObject {
public:
    static std::shared_ptr<NSValue> valueWithCGRect(CGRect rect);
    static std::shared_ptr<NSValue> valueWithCGPoint(CGPoint point);
    static std::shared_ptr<NSValue> valueWithCGSize(CGSize size);
    explicit NSValue(CGRect rect) : rect_(rect) { }

    CGRect CGRectValue() const { return rect_; }
    CGPoint CGPointValue() const { return rect_.origin; }
    CGSize CGSizeValue() const { return rect_.size; }
    std::string className() const override { return "NSValue"; }
    std::string description() const override { return "NSRect: " + NSStringFromCGRect(rect_); }
    bool isEqual(const NSObject& other) const override;

private:
    CGRect rect_;
};

// The rectangle boxed in a Value (CGRectZero when it holds none).
CGRect CGRectFromValue(const Value& value);

// A position in a table (section, row) or a collection (section, item).
struct NSIndexPath {
    NSInteger section = 0;
    NSInteger row = 0;

    static NSIndexPath indexPathForRow(NSInteger row, NSInteger section) { return { section, row }; }
    static NSIndexPath indexPathForItem(NSInteger item, NSInteger section) { return { section, item }; }
    NSInteger item() const { return row; }
    auto operator<=>(const NSIndexPath&) const = default;
    std::string description() const;
};

namespace uikit {

// Runs `block` on the main run loop's next turn (in every common mode).
void performOnMainSoon(std::function<void()> block);
// Runs `block` on the main run loop after `seconds` of platform time (common modes).
void performOnMainAfter(double seconds, std::function<void()> block);

// Asks for one layout-and-display pass over every window on the main loop's next turn;
// many requests in one turn give one pass.
void scheduleUpdatePass();
// Runs the pass now (layout, then display) over every window.
void runUpdatePass();

} // namespace uikit
