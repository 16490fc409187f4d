// UIControl: enabled, selected and highlighted states and target actions per control event.
// A tap delivered to an enabled control sends touch-down then touch-up-inside; a disabled
// control takes no touch at all (hit testing passes through it to the view beneath).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/uikit/UIView.h"

using UIControlEvents = std::uint32_t;
inline constexpr UIControlEvents UIControlEventTouchDown = 1 << 0;
inline constexpr UIControlEvents UIControlEventTouchDownRepeat = 1 << 1;
inline constexpr UIControlEvents UIControlEventTouchDragInside = 1 << 2;
inline constexpr UIControlEvents UIControlEventTouchDragOutside = 1 << 3;
inline constexpr UIControlEvents UIControlEventTouchDragEnter = 1 << 4;
inline constexpr UIControlEvents UIControlEventTouchDragExit = 1 << 5;
inline constexpr UIControlEvents UIControlEventTouchUpInside = 1 << 6;
inline constexpr UIControlEvents UIControlEventTouchUpOutside = 1 << 7;
inline constexpr UIControlEvents UIControlEventTouchCancel = 1 << 8;
inline constexpr UIControlEvents UIControlEventValueChanged = 1 << 12;
inline constexpr UIControlEvents UIControlEventEditingDidBegin = 1 << 16;
inline constexpr UIControlEvents UIControlEventEditingChanged = 1 << 17;
inline constexpr UIControlEvents UIControlEventEditingDidEnd = 1 << 18;
inline constexpr UIControlEvents UIControlEventEditingDidEndOnExit = 1 << 19;
inline constexpr UIControlEvents UIControlEventAllTouchEvents = 0x00000FFF;
inline constexpr UIControlEvents UIControlEventAllEditingEvents = 0x000F0000;
inline constexpr UIControlEvents UIControlEventAllEvents = 0xFFFFFFFF;

using UIControlState = std::uint32_t;
inline constexpr UIControlState UIControlStateNormal = 0;
inline constexpr UIControlState UIControlStateHighlighted = 1 << 0;
inline constexpr UIControlState UIControlStateDisabled = 1 << 1;
inline constexpr UIControlState UIControlStateSelected = 1 << 2;

enum UIControlContentHorizontalAlignment : int {
    UIControlContentHorizontalAlignmentCenter = 0,
    UIControlContentHorizontalAlignmentLeft = 1,
    UIControlContentHorizontalAlignmentRight = 2,
    UIControlContentHorizontalAlignmentFill = 3,
};
enum UIControlContentVerticalAlignment : int {
    UIControlContentVerticalAlignmentCenter = 0,
    UIControlContentVerticalAlignmentTop = 1,
    UIControlContentVerticalAlignmentBottom = 2,
    UIControlContentVerticalAlignmentFill = 3,
};

class UIControl : public UIView {
public:
    using Action = std::function<void(const std::shared_ptr<UIControl>& sender)>;

    using UIView::UIView;
    std::string className() const override { return "UIControl"; }

    // `target` identifies the registration for removeTarget (may be null).
    void addTarget(const void* target, Action action, UIControlEvents events);
    // A member function of a target held weakly; the sender is passed as the type it asks for.
    template <class T, class S>
    void addTarget(const std::shared_ptr<T>& target, void (T::*selector)(const std::shared_ptr<S>&), UIControlEvents events)
    {
        std::weak_ptr<T> weak = target;
        addTarget(target.get(), [weak, selector](const std::shared_ptr<UIControl>& sender) {
            if (auto strong = weak.lock())
                ((*strong).*selector)(std::dynamic_pointer_cast<S>(sender));
        }, events);
    }
    template <class T>
    void addTarget(const std::shared_ptr<T>& target, void (T::*selector)(), UIControlEvents events)
    {
        std::weak_ptr<T> weak = target;
        addTarget(target.get(), [weak, selector](const std::shared_ptr<UIControl>&) {
            if (auto strong = weak.lock())
                ((*strong).*selector)();
        }, events);
    }
    // Removes the target's actions for the events (a null target: every target's).
    void removeTarget(const void* target, UIControlEvents events);
    std::size_t actionCount(UIControlEvents events) const;
    void sendActionsForControlEvents(UIControlEvents events);

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled);
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    UIControlState state() const;
    UIControlContentHorizontalAlignment contentHorizontalAlignment() const { return hAlign_; }
    void setContentHorizontalAlignment(UIControlContentHorizontalAlignment a) { hAlign_ = a; setNeedsLayout(); }
    UIControlContentVerticalAlignment contentVerticalAlignment() const { return vAlign_; }
    void setContentVerticalAlignment(UIControlContentVerticalAlignment a) { vAlign_ = a; setNeedsLayout(); }

    void handleTap(CGPoint point) override;
    std::shared_ptr<UIView> hitTest(CGPoint point) override;

protected:
    virtual void stateDidChange() { }

private:
    struct Registration {
        const void* target;
        Action action;
        UIControlEvents events;
    };
    std::vector<Registration> registrations_;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    UIControlContentHorizontalAlignment hAlign_ = UIControlContentHorizontalAlignmentCenter;
    UIControlContentVerticalAlignment vAlign_ = UIControlContentVerticalAlignmentCenter;
};
