// The keyboard manager: one per process. It follows every keyboard and text-editing
// notification and keeps the field or text view being edited clear of the on-screen keyboard
// by scrolling its enclosing scroll views and moving the top controller's root view, undoing
// it when the keyboard hides; it ends editing on a tap outside the input, keeps the caret of a
// text view visible while typing, and moves editing between a screen's inputs.
//
// The shared instance is switched on when the class loads (install(), run by the application's
// launch before its delegate), so it works before the application sets anything.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIKeyboard.h"
#include "platform/uikit/UIViewController.h"
#include "platform/graphics/Text.h"
#include "ui/KBToolbar.h"
#include "ui/KBViewHierarchy.h"

namespace kb {
// Tags of the toolbars the manager installs; a toolbar with any other tag belongs to the screen.
inline constexpr NSInteger kDoneToolbarTag = -1002;
inline constexpr NSInteger kPreviousNextToolbarTag = -1005;
// System 8 and later: the floor of the Foundation version number above 7.1's.
bool isSystem8OrLater();
} // namespace kb

class KBKeyboardManager : public NSObject, public UIGestureRecognizerDelegate {
public:
    // The class's loading: creates the shared instance and switches it on.
    static void install();
    static std::shared_ptr<KBKeyboardManager> sharedManager();
    // An independent manager registered with the default centre (tests; screens use the shared one).
    static std::shared_ptr<KBKeyboardManager> create();
    // Only create() makes a manager: it registers for the notifications and makes the tap
    // recogniser the setters rely on.
    class Token {
        Token() = default;
        friend class KBKeyboardManager;
    };
    explicit KBKeyboardManager(Token);
    ~KBKeyboardManager() override;
    std::string className() const override { return "KBKeyboardManager"; }

    bool isEnabled() const { return enable_; }
    // Logs "enabled", "disabled", "already enabled" or "already disabled".
    void setEnable(bool enable);
    double keyboardDistanceFromTextField() const { return keyboardDistance_; }
    void setKeyboardDistanceFromTextField(double distance);
    bool preventShowingBottomBlankSpace() const { return preventBlankSpace_; }
    void setPreventShowingBottomBlankSpace(bool prevent) { preventBlankSpace_ = prevent; }
    bool isEnableAutoToolbar() const { return enableAutoToolbar_; }
    // Also adds the toolbars to the editing input's group at once (on) or removes them (off).
    void setEnableAutoToolbar(bool enable);
    std::int64_t toolbarManageBehaviour() const { return toolbarManageBehaviour_; }
    void setToolbarManageBehaviour(std::int64_t behaviour) { toolbarManageBehaviour_ = behaviour; }
    bool shouldToolbarUsesTextFieldTintColor() const { return toolbarUsesTint_; }
    void setShouldToolbarUsesTextFieldTintColor(bool uses) { toolbarUsesTint_ = uses; }
    const std::optional<UIColor>& toolbarTintColor() const { return toolbarTint_; }
    void setToolbarTintColor(std::optional<UIColor> color) { toolbarTint_ = std::move(color); }
    bool shouldShowTextFieldPlaceholder() const { return showPlaceholder_; }
    void setShouldShowTextFieldPlaceholder(bool show) { showPlaceholder_ = show; }
    const std::optional<UIFont>& placeholderFont() const { return placeholderFont_; }
    void setPlaceholderFont(std::optional<UIFont> font) { placeholderFont_ = std::move(font); }
    bool canAdjustTextView() const { return canAdjustTextView_; }
    void setCanAdjustTextView(bool can) { canAdjustTextView_ = can; }
    bool shouldFixTextViewClip() const { return fixTextViewClip_; }
    void setShouldFixTextViewClip(bool fix) { fixTextViewClip_ = fix; }
    bool overrideKeyboardAppearance() const { return overrideAppearance_; }
    void setOverrideKeyboardAppearance(bool override_) { overrideAppearance_ = override_; }
    UIKeyboardAppearance keyboardAppearance() const { return appearance_; }
    void setKeyboardAppearance(UIKeyboardAppearance appearance) { appearance_ = appearance; }
    bool shouldResignOnTouchOutside() const { return resignOnTouchOutside_; }
    void setShouldResignOnTouchOutside(bool resign);
    bool shouldPlayInputClicks() const { return playInputClicks_; }
    void setShouldPlayInputClicks(bool play) { playInputClicks_ = play; }
    bool shouldAdoptDefaultKeyboardAnimation() const { return adoptKeyboardAnimation_; }
    void setShouldAdoptDefaultKeyboardAnimation(bool adopt) { adoptKeyboardAnimation_ = adopt; }
    bool layoutIfNeededOnUpdate() const { return layoutIfNeeded_; }
    void setLayoutIfNeededOnUpdate(bool layout) { layoutIfNeeded_ = layout; }

    // Controllers in which nothing is moved (initially the table view controller).
    // The first forwards to the second.
    void disableInViewControllerClass(const kb::ViewClass& type);
    void disableDistanceHandlingInViewControllerClass(const kb::ViewClass& type);
    void removeDisableInViewControllerClass(const kb::ViewClass& type);
    void removeDisableDistanceHandlingInViewControllerClass(const kb::ViewClass& type);
    std::vector<kb::ViewClass> disabledInViewControllerClasses() const { return disabledClasses_; }
    void disableToolbarInViewControllerClass(const kb::ViewClass& type);
    void removeDisableToolbarInViewControllerClass(const kb::ViewClass& type);
    std::vector<kb::ViewClass> disabledToolbarInViewControllerClasses() const { return disabledToolbarClasses_; }
    // Containers whose whole content is one previous/next group (initially table and collection views).
    void considerToolbarPreviousNextInViewClass(const kb::ViewClass& type);
    void removeConsiderToolbarPreviousNextInViewClass(const kb::ViewClass& type);
    std::vector<kb::ViewClass> consideredToolbarPreviousNextViewClasses() const { return consideredClasses_; }

    // The window of the editing input, else the key window (the last one seen when none).
    std::shared_ptr<UIWindow> keyWindow();
    // Ends editing of the current input; false when there is none or it refuses (it then
    // stays first responder).
    bool resignFirstResponder();
    // The editing input (null when none).
    std::shared_ptr<UIView> textFieldView() const { return textFieldView_.lock(); }

    // Field navigation.
    kb::Views responderViews() const;
    bool canGoPrevious() const;
    bool canGoNext() const;
    bool goPrevious();
    bool goNext();
    // The toolbar buttons' actions: move, or end editing, then run the input's own callback.
    void previousAction();
    void nextAction();
    void doneAction();

    // Gives the editing input's group previous/next/Done toolbars (a lone input the shared Done
    // toolbar), leaving toolbars of the screen's own alone.
    void addToolbarIfRequired();
    // Takes the manager's toolbars off the editing input's group.
    void removeToolbarIfRequired();
    // The Done toolbar every lone input shares; null until the first one needed it.
    static std::shared_ptr<KBToolbar> sharedDoneToolbar();

    // Notification handlers.
    void keyboardWillShow(const std::shared_ptr<NSNotification>& notification);
    void keyboardWillHide(const std::shared_ptr<NSNotification>& notification);
    void keyboardDidHide(const std::shared_ptr<NSNotification>& notification);
    void textFieldViewDidBeginEditing(const std::shared_ptr<NSNotification>& notification);
    void textFieldViewDidEndEditing(const std::shared_ptr<NSNotification>& notification);
    void textFieldViewDidChange(const std::shared_ptr<NSNotification>& notification);
    void willChangeStatusBarOrientation(const std::shared_ptr<NSNotification>& notification);

    // Touch outside.
    void tapRecognized(const std::shared_ptr<UIGestureRecognizer>& gesture);
    bool gestureRecognizerShouldReceiveTouch(const std::shared_ptr<UIGestureRecognizer>& gesture,
        const std::shared_ptr<UITouch>& touch) override;
    const std::shared_ptr<UITapGestureRecognizer>& tapGesture() const { return tapGesture_; }

    // The geometry one frame adjustment works with.
    struct Adjustment;

private:
    enum class LayoutGuidePosition { None, Top, Bottom };
    // The screen's layout-guide constraint of the editing input's controller and which guide it
    // is tied to.
    std::pair<std::shared_ptr<NSLayoutConstraint>, LayoutGuidePosition> layoutGuide() const;
    static LayoutGuidePosition positionOf(const NSLayoutConstraint& constraint, UIViewController& controller);
    void saveLayoutGuideConstant();
    void adjustLayoutGuide(NSLayoutConstraint& constraint, LayoutGuidePosition position, CGFloat move);
    // False when the saved constraint is gone or tied to no guide of its controller.
    bool restoreLayoutGuide(const std::shared_ptr<UIViewController>& root);
    void setUp();
    void adjustFrame();
    void setRootViewFrame(CGRect frame);
    void animate(const std::function<void()>& changes) const;
    void saveRootViewFrame();
    bool adjustmentAllowed() const;
    void restoreLastScrollView(const std::shared_ptr<UIScrollView>& scrollView) const;
    void restoreTextViewFrame();
    void adoptScrollView(const std::shared_ptr<UIScrollView>& scrollView);
    void scrollWalk(const std::shared_ptr<UIView>& input, const Adjustment& a, CGFloat& move);
    void extendContentInset(const Adjustment& a);
    void installToolbarPass(const std::shared_ptr<UIView>& input);
    void styleToolbar(UIView& input, KBToolbar& toolbar) const;
    UIBarButtonItem::Action itemAction(void (KBKeyboardManager::*action)());
    void moveRootView(UIViewController& root, const Adjustment& a, CGFloat move);
    void moveSheetRootView(CGRect R, const Adjustment& a, CGFloat move);

    // Settings.
    bool enable_ = false;
    double keyboardDistance_ = 10.0;
    bool preventBlankSpace_ = true;
    bool enableAutoToolbar_ = true;
    std::int64_t toolbarManageBehaviour_ = 0;
    bool toolbarUsesTint_ = false;
    std::optional<UIColor> toolbarTint_;
    bool showPlaceholder_ = true;
    std::optional<UIFont> placeholderFont_;
    bool canAdjustTextView_ = false;
    bool fixTextViewClip_ = true;
    bool overrideAppearance_ = false;
    UIKeyboardAppearance appearance_ = UIKeyboardAppearanceDefault;
    bool resignOnTouchOutside_ = false;
    bool playInputClicks_ = false;
    bool adoptKeyboardAnimation_ = true;
    bool layoutIfNeeded_ = false;

    // The keyboard cycle.
    std::weak_ptr<UIView> textFieldView_;
    CGRect textFieldViewInitialFrame_ = CGRectZero;
    CGRect topViewBeginRect_ = CGRectZero;
    std::weak_ptr<UIViewController> rootViewController_;
    CGFloat layoutGuideConstraintInitialConstant_ = 0;
    // The constraint whose constant was saved, with its controller: the hide restores it even
    // when editing ended first (the usual order), when there is no input to find it through.
    std::weak_ptr<NSLayoutConstraint> layoutGuideConstraint_;
    std::weak_ptr<UIViewController> layoutGuideController_;
    std::weak_ptr<UIScrollView> lastScrollView_;
    UIEdgeInsets startingContentInsets_ = UIEdgeInsetsZero;
    UIEdgeInsets startingScrollIndicatorInsets_ = UIEdgeInsetsZero;
    CGPoint startingContentOffset_ {};
    std::shared_ptr<NSNotification> kbShowNotification_;
    CGSize kbSize_ {};
    double animationDuration_ = 0.25;
    std::int64_t animationCurve_ = 0;
    std::shared_ptr<UITapGestureRecognizer> tapGesture_;
    std::vector<kb::ViewClass> disabledClasses_;
    std::vector<kb::ViewClass> disabledToolbarClasses_;
    std::vector<kb::ViewClass> consideredClasses_;
    bool isTextFieldViewFrameChanged_ = false;
    bool isKeyboardShowing_ = false;
};
