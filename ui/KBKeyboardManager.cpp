// The keyboard manager's settings, keyboard cycle, editing notifications and touch outside.
#include "ui/KBKeyboardManager.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "platform/foundation/NSLog.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIBars.h"
#include "platform/uikit/ClassLoad.h"
#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIKitCore.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"

namespace {

std::weak_ptr<UIWindow>& rememberedKeyWindow()
{
    static std::weak_ptr<UIWindow> window;
    return window;
}

void addClass(std::vector<kb::ViewClass>& set, const kb::ViewClass& type)
{
    if (std::find(set.begin(), set.end(), type) == set.end())
        set.push_back(type);
}

void removeClass(std::vector<kb::ViewClass>& set, const kb::ViewClass& type)
{
    std::erase(set, type);
}

// The class's loading switches the shared manager on before the application's delegate runs.
[[maybe_unused]] const bool kClassLoadRegistered = uikit::registerClassLoad(&KBKeyboardManager::install);

} // namespace

void KBKeyboardManager::install()
{
    sharedManager()->setEnable(true);
}

std::shared_ptr<KBKeyboardManager> KBKeyboardManager::sharedManager()
{
    static const std::shared_ptr<KBKeyboardManager> shared = create();
    return shared;
}

std::shared_ptr<KBKeyboardManager> KBKeyboardManager::create()
{
    auto manager = std::make_shared<KBKeyboardManager>(Token {});
    manager->setUp();
    return manager;
}

KBKeyboardManager::KBKeyboardManager(Token)
{
    disabledClasses_.push_back(kb::ViewClass::named("UITableViewController"));
    consideredClasses_.push_back(kb::ViewClass::of<UITableView>("UITableView"));
    consideredClasses_.push_back(kb::ViewClass::of<UICollectionView>("UICollectionView"));
}

KBKeyboardManager::~KBKeyboardManager()
{
    // Give back what this manager moved, as when it is switched off.
    if (enable_)
        keyboardWillHide(nullptr);
    enable_ = false;
    NSNotificationCenter::defaultCenter()->removeObserver(this);
    if (auto window = tapGesture_ ? tapGesture_->view() : nullptr)
        window->removeGestureRecognizer(tapGesture_);
}

void KBKeyboardManager::setUp()
{
    auto self = sharedAs<KBKeyboardManager>();
    auto center = NSNotificationCenter::defaultCenter();
    center->addObserver(self, &KBKeyboardManager::keyboardWillShow, UIKeyboardWillShowNotification);
    center->addObserver(self, &KBKeyboardManager::keyboardWillHide, UIKeyboardWillHideNotification);
    center->addObserver(self, &KBKeyboardManager::keyboardDidHide, UIKeyboardDidHideNotification);
    center->addObserver(self, &KBKeyboardManager::textFieldViewDidBeginEditing, UITextFieldTextDidBeginEditingNotification);
    center->addObserver(self, &KBKeyboardManager::textFieldViewDidBeginEditing, UITextViewTextDidBeginEditingNotification);
    center->addObserver(self, &KBKeyboardManager::textFieldViewDidEndEditing, UITextFieldTextDidEndEditingNotification);
    center->addObserver(self, &KBKeyboardManager::textFieldViewDidEndEditing, UITextViewTextDidEndEditingNotification);
    center->addObserver(self, &KBKeyboardManager::textFieldViewDidChange, UITextViewTextDidChangeNotification);
    center->addObserver(
        self, &KBKeyboardManager::willChangeStatusBarOrientation, UIApplicationWillChangeStatusBarOrientationNotification);

    std::weak_ptr<KBKeyboardManager> weak = self;
    tapGesture_ = UITapGestureRecognizer::create([weak](const std::shared_ptr<UIGestureRecognizer>& gesture) {
        if (auto manager = weak.lock())
            manager->tapRecognized(gesture);
    });
    tapGesture_->setCancelsTouchesInView(false);
    tapGesture_->setDelegate(std::weak_ptr<UIGestureRecognizerDelegate>(self));
    tapGesture_->setEnabled(resignOnTouchOutside_);
}

void KBKeyboardManager::setEnable(bool enable)
{
    if (enable == enable_) {
        NSLog(enable ? "already enabled" : "already disabled");
        return;
    }
    if (enable) {
        enable_ = true;
        NSLog("enabled");
        if (kbShowNotification_)
            keyboardWillShow(kbShowNotification_);
        return;
    }
    keyboardWillHide(nullptr);
    enable_ = false;
    NSLog("disabled");
}

void KBKeyboardManager::setKeyboardDistanceFromTextField(double distance)
{
    // NaN would survive a max() and then keep every input under the keyboard.
    keyboardDistance_ = std::isnan(distance) ? 0.0 : std::max(distance, 0.0);
}

void KBKeyboardManager::setShouldResignOnTouchOutside(bool resign)
{
    resignOnTouchOutside_ = resign;
    tapGesture_->setEnabled(resign);
}

void KBKeyboardManager::disableInViewControllerClass(const kb::ViewClass& type)
{
    disableDistanceHandlingInViewControllerClass(type);
}
void KBKeyboardManager::disableDistanceHandlingInViewControllerClass(const kb::ViewClass& type)
{
    addClass(disabledClasses_, type);
}
void KBKeyboardManager::removeDisableInViewControllerClass(const kb::ViewClass& type)
{
    removeDisableDistanceHandlingInViewControllerClass(type);
}
void KBKeyboardManager::removeDisableDistanceHandlingInViewControllerClass(const kb::ViewClass& type)
{
    removeClass(disabledClasses_, type);
}
void KBKeyboardManager::disableToolbarInViewControllerClass(const kb::ViewClass& type)
{
    addClass(disabledToolbarClasses_, type);
}
void KBKeyboardManager::removeDisableToolbarInViewControllerClass(const kb::ViewClass& type)
{
    removeClass(disabledToolbarClasses_, type);
}
void KBKeyboardManager::considerToolbarPreviousNextInViewClass(const kb::ViewClass& type)
{
    addClass(consideredClasses_, type);
}
void KBKeyboardManager::removeConsiderToolbarPreviousNextInViewClass(const kb::ViewClass& type)
{
    removeClass(consideredClasses_, type);
}

std::shared_ptr<UIWindow> KBKeyboardManager::keyWindow()
{
    if (auto input = textFieldView(); input && input->window())
        return input->window();
    auto key = UIApplication::sharedApplication()->keyWindow();
    if (key)
        rememberedKeyWindow() = key;
    return rememberedKeyWindow().lock();
}

void KBKeyboardManager::animate(const std::function<void()>& changes) const
{
    auto options = static_cast<UIViewAnimationOptions>(animationCurve_) | UIViewAnimationOptionBeginFromCurrentState;
    UIView::animateWithDuration(animationDuration_, 0, options, changes, {});
}

void KBKeyboardManager::saveRootViewFrame()
{
    auto input = textFieldView();
    std::shared_ptr<UIViewController> root = input ? kb::topMostController(*input) : nullptr;
    if (!root) {
        auto window = keyWindow();
        root = window ? kb::topMostController(*window) : nullptr;
    }
    rootViewController_ = root;
    topViewBeginRect_ = root ? root->view()->frame() : CGRectZero;
}

bool KBKeyboardManager::adjustmentAllowed() const
{
    auto input = textFieldView();
    if (!input || kb::isAlertViewTextField(*input))
        return false;
    auto controller = kb::viewController(*input);
    return std::none_of(disabledClasses_.begin(), disabledClasses_.end(),
        [&](const kb::ViewClass& type) { return controller && type.isKindOf(controller.get()); });
}

void KBKeyboardManager::textFieldViewDidBeginEditing(const std::shared_ptr<NSNotification>& notification)
{
    auto input = std::dynamic_pointer_cast<UIView>(notification ? notification->object() : nullptr);
    textFieldView_ = input;
    auto traits = std::dynamic_pointer_cast<uikit::TextInputTraits>(input);
    if (overrideAppearance_ && traits && traits->keyboardAppearance() != appearance_) {
        traits->setKeyboardAppearance(appearance_);
        input->reloadInputViews();
    }
    if (!isTextFieldViewFrameChanged_ && input)
        textFieldViewInitialFrame_ = input->frame();
    if (enableAutoToolbar_ && input)
        installToolbarPass(input);
    if (!enable_ || !input)
        return;
    if (auto window = input->window())
        window->addGestureRecognizer(tapGesture_);
    if (!isKeyboardShowing_) {
        saveLayoutGuideConstant();
        saveRootViewFrame();
    }
    if (adjustmentAllowed())
        adjustFrame();
}

void KBKeyboardManager::keyboardWillShow(const std::shared_ptr<NSNotification>& notification)
{
    kbShowNotification_ = notification;
    if (!enable_ || !notification)
        return;
    auto input = textFieldView();
    if (!isTextFieldViewFrameChanged_ && input)
        textFieldViewInitialFrame_ = input->frame();
    // A hide (or switching off) lets the root controller go; a show replayed after it must
    // know again whose frame it moves, or the next hide has nothing to put back.
    if (CGRectEqualToRect(topViewBeginRect_, CGRectZero) || rootViewController_.expired())
        saveRootViewFrame();

    const Value& info = notification->userInfo();
    animationCurve_ = adoptKeyboardAnimation_ ? (info[UIKeyboardAnimationCurveUserInfoKey].integerValue() << 16)
                                              : UIViewAnimationOptionCurveEaseOut;
    double duration = info[UIKeyboardAnimationDurationUserInfoKey].doubleValue();
    if (duration != 0)
        animationDuration_ = duration;

    auto frame = info[UIKeyboardFrameEndUserInfoKey].asObject<NSValue>();
    CGSize size = frame ? frame->CGRectValue().size : CGSize {};
    if (CGSizeEqualToSize(size, kbSize_))
        return;
    kbSize_ = size;
    if (adjustmentAllowed())
        adjustFrame();
}

void KBKeyboardManager::restoreLastScrollView(const std::shared_ptr<UIScrollView>& scrollView) const
{
    auto insets = startingContentInsets_;
    auto indicators = startingScrollIndicatorInsets_;
    animate([scrollView, insets, indicators] {
        scrollView->setContentInset(insets);
        scrollView->setScrollIndicatorInsets(indicators);
    });
    if (kb::shouldRestoreScrollViewContentOffset(*scrollView))
        scrollView->setContentOffset(startingContentOffset_, true);
}

void KBKeyboardManager::keyboardWillHide(const std::shared_ptr<NSNotification>& notification)
{
    if (notification)
        kbShowNotification_.reset();
    if (!enable_)
        return;
    isKeyboardShowing_ = false;
    if (notification) {
        double duration = notification->userInfo()[UIKeyboardAnimationDurationUserInfoKey].doubleValue();
        if (duration != 0)
            animationDuration_ = duration;
    }

    if (auto scrollView = lastScrollView_.lock()) {
        auto insets = startingContentInsets_;
        auto indicators = startingScrollIndicatorInsets_;
        auto offset = startingContentOffset_;
        bool restoreOffset = kb::shouldRestoreScrollViewContentOffset(*scrollView);
        animate([scrollView, insets, indicators, offset, restoreOffset] {
            scrollView->setContentInset(insets);
            scrollView->setScrollIndicatorInsets(indicators);
            if (restoreOffset)
                scrollView->setContentOffset(offset);
            // Never leave the content scrolled past its end.
            for (auto sv = scrollView; sv; sv = kb::enclosingScrollView(*sv)) {
                CGFloat height = sv->frame().size.height;
                CGFloat minimumY = std::max(sv->contentSize().height, height) - height;
                if (minimumY < sv->contentOffset().y)
                    sv->setContentOffset(CGPointMake(sv->contentOffset().x, minimumY));
            }
        });
    }

    auto root = rootViewController_.lock();
    if (!CGRectEqualToRect(topViewBeginRect_, CGRectZero) && root) {
        CGRect frame = topViewBeginRect_;
        if (kb::isSystem8OrLater())
            frame.size = root->view()->frame().size;
        topViewBeginRect_ = frame;
        bool layout = layoutIfNeeded_;
        if (!restoreLayoutGuide(root)) {
            animate([root, frame, layout] {
                root->view()->setFrame(frame);
                if (layout) {
                    root->view()->setNeedsLayout();
                    root->view()->layoutIfNeeded();
                }
            });
        }
        rootViewController_.reset();
    }

    lastScrollView_.reset();
    kbSize_ = CGSize {};
    startingContentInsets_ = UIEdgeInsetsZero;
    startingScrollIndicatorInsets_ = UIEdgeInsetsZero;
    startingContentOffset_ = CGPoint {};
}

void KBKeyboardManager::keyboardDidHide(const std::shared_ptr<NSNotification>&)
{
    topViewBeginRect_ = CGRectZero;
}

void KBKeyboardManager::restoreTextViewFrame()
{
    if (!isTextFieldViewFrameChanged_)
        return;
    isTextFieldViewFrameChanged_ = false;
    auto input = textFieldView();
    if (!input)
        return;
    auto frame = textFieldViewInitialFrame_;
    animate([input, frame] { input->setFrame(frame); });
}

void KBKeyboardManager::textFieldViewDidEndEditing(const std::shared_ptr<NSNotification>&)
{
    auto input = textFieldView();
    if (auto window = input ? input->window() : nullptr)
        window->removeGestureRecognizer(tapGesture_);
    restoreTextViewFrame();
    textFieldView_.reset();
}

void KBKeyboardManager::textFieldViewDidChange(const std::shared_ptr<NSNotification>& notification)
{
    if (!fixTextViewClip_ || !notification)
        return;
    auto textView = std::dynamic_pointer_cast<UITextView>(notification->object());
    if (!textView)
        return;
    CGRect line = textView->caretRectForPosition(textView->selectedRange().location);
    auto inset = textView->contentInset();
    CGFloat overflow = CGRectGetMaxY(line)
        - (textView->contentOffset().y + textView->bounds().size.height - inset.bottom - inset.top);
    if (!(overflow > 0 && overflow < FLT_MAX))
        return;
    CGPoint offset = textView->contentOffset();
    offset.y += overflow + 7;
    animate([textView, offset] { textView->setContentOffset(offset); });
}

void KBKeyboardManager::willChangeStatusBarOrientation(const std::shared_ptr<NSNotification>&)
{
    restoreTextViewFrame();
}

void KBKeyboardManager::tapRecognized(const std::shared_ptr<UIGestureRecognizer>& gesture)
{
    if (gesture && gesture->state() == UIGestureRecognizerStateEnded)
        resignFirstResponder();
}

bool KBKeyboardManager::gestureRecognizerShouldReceiveTouch(
    const std::shared_ptr<UIGestureRecognizer>&, const std::shared_ptr<UITouch>& touch)
{
    auto view = touch ? touch->view() : nullptr;
    return !std::dynamic_pointer_cast<UIControl>(view) && !std::dynamic_pointer_cast<UINavigationBar>(view);
}

bool KBKeyboardManager::resignFirstResponder()
{
    auto input = textFieldView();
    if (!input)
        return false;
    if (input->resignFirstResponder())
        return true;
    input->becomeFirstResponder();
    return false;
}
