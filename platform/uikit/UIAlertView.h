// Alerts and action sheets, and the registry through which tests and the host find the ones
// on screen and answer them.
//
// Button numbering, as the platform numbers them:
//   UIAlertView: the cancel button (when given) is 0, the other buttons follow from 1 (from 0
//     without a cancel button); buttons added later come after them.
//   UIActionSheet: the destructive button (when given) is 0, the other buttons follow, and the
//     cancel button (when given) comes last.
// `show` never blocks. Tapping a button calls the delegate's clickedButtonAtIndex, then
// willDismiss and didDismiss with that index. A dismissal by the system (dismissAllAlerts with
// system = true) calls the delegate's cancel method instead, never a click.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIView.h"

class UIAlertView;
class UIActionSheet;

namespace uikit {

// What alerts and sheets share: title, message, buttons and answering.
class AlertBase : public UIView {
public:
    const std::string& title() const { return title_; }
    void setTitle(const std::string& title) { title_ = title; }
    const std::string& message() const { return message_; }
    void setMessage(const std::string& message) { message_ = message; }
    NSInteger addButtonWithTitle(const std::string& title);
    NSInteger numberOfButtons() const { return static_cast<NSInteger>(buttons_.size()); }
    std::string buttonTitleAtIndex(NSInteger index) const;
    const std::vector<std::string>& buttonTitles() const { return buttons_; }
    NSInteger cancelButtonIndex() const { return cancelIndex_; }
    void setCancelButtonIndex(NSInteger index) { cancelIndex_ = index; }
    // The index of the button with this title, or -1.
    NSInteger indexOfButtonWithTitle(const std::string& title) const;
    bool isVisible() const { return visible_; }
    virtual bool isSheet() const = 0;

    // A person taps the button; false when the index is out of range or nothing is shown.
    bool tapButtonAtIndex(NSInteger index);
    void dismissWithClickedButtonIndex(NSInteger index, bool animated);
    // Dismissal by the system (the delegate's cancel method).
    void cancelBySystem();

protected:
    void present();
    virtual void notifyWillPresent() { }
    virtual void notifyDidPresent() { }
    virtual void notifyClicked(NSInteger) { }
    virtual void notifyWillDismiss(NSInteger) { }
    virtual void notifyDidDismiss(NSInteger) { }
    virtual void notifyCancel() { }
    std::vector<std::string> buttons_;
    NSInteger cancelIndex_ = -1;

private:
    std::string title_;
    std::string message_;
    bool visible_ = false;
};

// The alerts and sheets on screen, oldest first.
std::vector<std::shared_ptr<AlertBase>> visibleAlerts();
std::shared_ptr<AlertBase> topAlert();
// Takes every alert off screen: by the system (delegates' cancel) or silently.
void dismissAllAlerts(bool system);
// Draws the top alert or sheet over a screen of `size` (for snapshots).
void drawAlertOverlay(const CGContextRef& context, CGSize size);
// The button of the top alert or sheet drawn at `point` over a screen of `size`, or -1.
NSInteger alertButtonIndexAtPoint(CGPoint point, CGSize size);

} // namespace uikit

class UIAlertViewDelegate {
public:
    virtual ~UIAlertViewDelegate() = default;
    virtual void alertViewClickedButtonAtIndex(const std::shared_ptr<UIAlertView>&, NSInteger) { }
    virtual void alertViewCancel(const std::shared_ptr<UIAlertView>&) { }
    virtual void willPresentAlertView(const std::shared_ptr<UIAlertView>&) { }
    virtual void didPresentAlertView(const std::shared_ptr<UIAlertView>&) { }
    virtual void alertViewWillDismissWithButtonIndex(const std::shared_ptr<UIAlertView>&, NSInteger) { }
    virtual void alertViewDidDismissWithButtonIndex(const std::shared_ptr<UIAlertView>&, NSInteger) { }
};

enum UIAlertViewStyle : int {
    UIAlertViewStyleDefault = 0,
    UIAlertViewStyleSecureTextInput = 1,
    UIAlertViewStylePlainTextInput = 2,
    UIAlertViewStyleLoginAndPasswordInput = 3,
};

class UIAlertView final : public uikit::AlertBase {
public:
    // An empty cancel title means no cancel button.
    static std::shared_ptr<UIAlertView> initWithTitle(const std::string& title, const std::string& message,
        std::weak_ptr<UIAlertViewDelegate> delegate, const std::string& cancelButtonTitle,
        const std::vector<std::string>& otherButtonTitles = {});
    std::string className() const override { return "UIAlertView"; }
    bool isSheet() const override { return false; }

    void setDelegate(std::weak_ptr<UIAlertViewDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<UIAlertViewDelegate> delegate() const { return delegate_.lock(); }
    NSInteger firstOtherButtonIndex() const;
    UIAlertViewStyle alertViewStyle() const { return style_; }
    void setAlertViewStyle(UIAlertViewStyle style) { style_ = style; }
    // The text fields of the input styles (null for the default style or a bad index).
    std::shared_ptr<UITextField> textFieldAtIndex(NSInteger index);
    void show() { present(); }

private:
    void notifyWillPresent() override;
    void notifyDidPresent() override;
    void notifyClicked(NSInteger index) override;
    void notifyWillDismiss(NSInteger index) override;
    void notifyDidDismiss(NSInteger index) override;
    void notifyCancel() override;
    std::weak_ptr<UIAlertViewDelegate> delegate_;
    UIAlertViewStyle style_ = UIAlertViewStyleDefault;
    std::vector<std::shared_ptr<UITextField>> fields_;
};

class UIActionSheetDelegate {
public:
    virtual ~UIActionSheetDelegate() = default;
    virtual void actionSheetClickedButtonAtIndex(const std::shared_ptr<UIActionSheet>&, NSInteger) { }
    virtual void actionSheetCancel(const std::shared_ptr<UIActionSheet>&) { }
    virtual void willPresentActionSheet(const std::shared_ptr<UIActionSheet>&) { }
    virtual void didPresentActionSheet(const std::shared_ptr<UIActionSheet>&) { }
    virtual void actionSheetWillDismissWithButtonIndex(const std::shared_ptr<UIActionSheet>&, NSInteger) { }
    virtual void actionSheetDidDismissWithButtonIndex(const std::shared_ptr<UIActionSheet>&, NSInteger) { }
};

enum UIActionSheetStyle : int {
    UIActionSheetStyleAutomatic = -1,
    UIActionSheetStyleDefault = 0,
    UIActionSheetStyleBlackTranslucent = 2,
    UIActionSheetStyleBlackOpaque = 1,
};

class UIActionSheet final : public uikit::AlertBase {
public:
    // Empty cancel or destructive titles mean no such button.
    static std::shared_ptr<UIActionSheet> initWithTitle(const std::string& title, std::weak_ptr<UIActionSheetDelegate> delegate,
        const std::string& cancelButtonTitle, const std::string& destructiveButtonTitle,
        const std::vector<std::string>& otherButtonTitles = {});
    std::string className() const override { return "UIActionSheet"; }
    bool isSheet() const override { return true; }

    void setDelegate(std::weak_ptr<UIActionSheetDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<UIActionSheetDelegate> delegate() const { return delegate_.lock(); }
    NSInteger destructiveButtonIndex() const { return destructiveIndex_; }
    NSInteger firstOtherButtonIndex() const;
    UIActionSheetStyle actionSheetStyle() const { return style_; }
    void setActionSheetStyle(UIActionSheetStyle style) { style_ = style; }
    void showInView(const std::shared_ptr<UIView>& view);
    std::shared_ptr<UIView> shownInView() const { return shownIn_.lock(); }

private:
    void notifyWillPresent() override;
    void notifyDidPresent() override;
    void notifyClicked(NSInteger index) override;
    void notifyWillDismiss(NSInteger index) override;
    void notifyDidDismiss(NSInteger index) override;
    void notifyCancel() override;
    std::weak_ptr<UIActionSheetDelegate> delegate_;
    NSInteger destructiveIndex_ = -1;
    UIActionSheetStyle style_ = UIActionSheetStyleAutomatic;
    std::weak_ptr<UIView> shownIn_;
};
