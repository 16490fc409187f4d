// The HUD's creation, its labels and indicator, the observation of its own properties
// (handled on the main thread) and the rotation that follows the status bar on older systems.
#include "ui/PGProgressHUD.h"

#include <cmath>

#include "platform/threading/NSThread.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "ui/PGBarProgressView.h"
#include "ui/PGRoundProgressView.h"
#include "ui/ProgressIndicator.h"

PGProgressHUD::PGProgressHUD(Token, CGRect frame)
    : UIView(frame)
{
    setContentMode(UIViewContentModeCenter);
    setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin
        | UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
    setOpaque(false);
    setBackgroundColor(UIColor::clearColor());
    setAlpha(0);
}

PGProgressHUD::~PGProgressHUD()
{
    NSNotificationCenter::defaultCenter()->removeObserver(requestKey());
    observations_.clear();
}

void PGProgressHUD::setUp()
{
    setUpLabels();
    updateIndicators();
    observeOwnProperties();
    NSNotificationCenter::defaultCenter()->addObserver(sharedHUD(), &PGProgressHUD::statusBarOrientationDidChange,
        UIApplicationDidChangeStatusBarOrientationNotification);
}

void PGProgressHUD::setUpLabels()
{
    auto make = [this](const std::string& text, const UIFont& font, const UIColor& color) {
        auto label = UILabel::create(bounds());
        label->setAdjustsFontSizeToFitWidth(false);
        label->setTextAlignment(NSTextAlignmentCenter);
        label->setOpaque(false);
        label->setBackgroundColor(UIColor::clearColor());
        label->setTextColor(color);
        label->setFont(font);
        label->setText(text);
        return label;
    };
    label_ = make(labelText(), labelFont(), labelColor());
    detailsLabel_ = make(detailsLabelText(), detailsLabelFont(), detailsLabelColor());
    detailsLabel_->setNumberOfLines(0);
    addSubview(label_);
    addSubview(detailsLabel_);
}

void PGProgressHUD::observeOwnProperties()
{
    std::weak_ptr<PGProgressHUD> weak = sharedHUD();
    for (const char* key : { "mode", "customView", "labelText", "labelFont", "labelColor", "detailsLabelText",
             "detailsLabelFont", "detailsLabelColor", "progress", "activityIndicatorColor" }) {
        observations_.push_back(observe(key, 0, [weak](const std::string& changed, NSObject*, const Value&) {
            if (NSThread::isMainThread()) {
                if (auto hud = weak.lock())
                    hud->propertyDidChange(changed);
                return;
            }
            // Changes made on a work thread reach the views later, on the main thread.
            threading::performOnMainThread(
                [weak, changed] {
                    if (auto hud = weak.lock())
                        hud->propertyDidChange(changed);
                },
                false);
        }));
    }
}

void PGProgressHUD::propertyDidChange(const std::string& key)
{
    if (key == "progress") {
        if (auto target = std::dynamic_pointer_cast<ui::ProgressIndicator>(indicator()))
            target->setValueForKey("progress", Value(progress()));
        return;
    }
    if (key == "mode" || key == "customView" || key == "activityIndicatorColor")
        updateIndicators();
    else if (key == "labelText")
        label_->setText(labelText());
    else if (key == "labelFont")
        label_->setFont(labelFont());
    else if (key == "labelColor")
        label_->setTextColor(labelColor());
    else if (key == "detailsLabelText")
        detailsLabel_->setText(detailsLabelText());
    else if (key == "detailsLabelFont")
        detailsLabel_->setFont(detailsLabelFont());
    else if (key == "detailsLabelColor")
        detailsLabel_->setTextColor(detailsLabelColor());
    setNeedsLayout();
    setNeedsDisplay();
}

void PGProgressHUD::replaceIndicator(std::shared_ptr<UIView> indicator)
{
    if (auto old = this->indicator())
        old->removeFromSuperview();
    write(indicator_, indicator);
    if (indicator)
        addSubview(indicator);
}

void PGProgressHUD::updateIndicators()
{
    const PGProgressHUDMode mode = this->mode();
    const UIColor tint = activityIndicatorColor();
    auto current = indicator();
    if (mode == PGProgressHUDModeSpinner) {
        auto spinner = std::dynamic_pointer_cast<UIActivityIndicatorView>(current);
        if (!spinner) {
            spinner = UIActivityIndicatorView::initWithActivityIndicatorStyle(UIActivityIndicatorViewStyleWhiteLarge);
            spinner->startAnimating();
            replaceIndicator(spinner);
        }
        spinner->setColor(tint);
        return;
    }
    if (mode == PGProgressHUDModePie || mode == PGProgressHUDModeRing) {
        auto round = std::dynamic_pointer_cast<PGRoundProgressView>(current);
        if (!round) {
            round = PGRoundProgressView::init();
            replaceIndicator(round);
        }
        // Nothing turns the ring back into a pie.
        if (mode == PGProgressHUDModeRing)
            round->setAnnular(true);
        round->setProgressTintColor(tint);
        round->setBackgroundTintColor(tint.colorWithAlphaComponent(0.1));
        return;
    }
    if (mode == PGProgressHUDModeBar) {
        replaceIndicator(PGBarProgressView::init());
        return;
    }
    if (mode == PGProgressHUDModeCustomView) {
        auto custom = customView();
        if (custom != current)
            replaceIndicator(custom);
        return;
    }
    if (mode == PGProgressHUDModeText)
        replaceIndicator(nullptr);
}

void PGProgressHUD::didMoveToSuperview()
{
    setTransformForCurrentOrientation(false);
}

void PGProgressHUD::statusBarOrientationDidChange(const std::shared_ptr<NSNotification>&)
{
    if (superview())
        setTransformForCurrentOrientation(true);
}

void PGProgressHUD::setTransformForCurrentOrientation(bool animated)
{
    auto parent = superview();
    if (parent) {
        setBounds(parent->bounds());
        setNeedsDisplay();
    }
    // From system 8 on the windows rotate their content themselves.
    if (kCFCoreFoundationVersionNumber >= kCFCoreFoundationVersionNumber_iOS_8_0)
        return;
    if (!std::dynamic_pointer_cast<UIWindow>(parent))
        return;
    double angle = 0;
    switch (UIApplication::sharedApplication()->statusBarOrientation()) {
    case UIInterfaceOrientationLandscapeRight:
    case UIInterfaceOrientationLandscapeLeft: {
        bool right = UIApplication::sharedApplication()->statusBarOrientation() == UIInterfaceOrientationLandscapeRight;
        angle = right ? M_PI / 2 : -M_PI / 2;
        CGRect b = bounds();
        setBounds(CGRectMake(0, 0, b.size.height, b.size.width));
        break;
    }
    case UIInterfaceOrientationPortraitUpsideDown:
        angle = M_PI;
        break;
    default:
        break;
    }
    rotationTransform_ = CGAffineTransformMakeRotation(angle);
    if (!animated) {
        setTransform(rotationTransform_);
        return;
    }
    std::weak_ptr<PGProgressHUD> weak = sharedHUD();
    UIView::animateWithDuration(0.3, [weak] {
        if (auto hud = weak.lock())
            hud->setTransform(hud->rotationTransform_);
    });
}
