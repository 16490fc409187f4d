// Dot views of the page control: the abstract base custom dot classes extend, a plain ringed
// dot, and the animated dot that fills and grows with a spring when its page becomes current.
#pragma once

#include <memory>
#include <string>

#include "platform/uikit/UIView.h"

// Base of the page control's dot views. Both the frameless initialiser and
// changeActivityState must be overridden; the base raises an internal-inconsistency exception.
class DTAbstractDotView : public UIView {
public:
    // Raises: a dot view needs a frame (subclasses construct through the frame form).
    DTAbstractDotView();
    explicit DTAbstractDotView(CGRect frame) : UIView(frame) { }
    std::string className() const override { return "DTAbstractDotView"; }
    // Shows the dot as the current page (true) or another page (false).
    virtual void changeActivityState(bool active);
};

// A white ring that fills white while active.
class DTDotView : public DTAbstractDotView {
public:
    DTDotView() : DTDotView(CGRectZero) { }
    explicit DTDotView(CGRect frame);
    static std::shared_ptr<DTDotView> create(CGRect frame) { return std::make_shared<DTDotView>(frame); }
    std::string className() const override { return "DTDotView"; }
    void changeActivityState(bool active) override;
};

// A ring that, when active, springs to a filled circle of its dot colour 1.4 times larger.
class DTAnimatedDotView : public DTAbstractDotView {
public:
    DTAnimatedDotView() : DTAnimatedDotView(CGRectZero) { }
    explicit DTAnimatedDotView(CGRect frame);
    static std::shared_ptr<DTAnimatedDotView> create(CGRect frame) { return std::make_shared<DTAnimatedDotView>(frame); }
    std::string className() const override { return "DTAnimatedDotView"; }

    const UIColor& dotColor() const { return dotColor_; }
    // Also the ring's colour.
    void setDotColor(const UIColor& color);
    void changeActivityState(bool active) override;

private:
    UIColor dotColor_ = UIColor::whiteColor();
};
