// Windows: root controller, key status, tap delivery and snapshots.
#include "platform/uikit/UIWindow.h"

#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"

namespace {
CGRect screenOr(CGRect frame)
{
    return CGRectIsEmpty(frame) ? UIScreen::mainScreen()->bounds() : frame;
}
} // namespace

UIWindow::UIWindow(CGRect frame)
    : UIView(screenOr(frame))
{
    UIView::setHidden(true);
}

void UIWindow::setRootViewController(const std::shared_ptr<UIViewController>& controller)
{
    if (root_ == controller)
        return;
    bool visible = !isHidden();
    if (root_) {
        if (visible)
            root_->beginAppearanceTransition(false, false);
        if (root_->isViewLoaded())
            root_->view()->removeFromSuperview();
        if (visible)
            root_->endAppearanceTransition();
    }
    root_ = controller;
    if (!root_)
        return;
    auto view = root_->view();
    view->setFrame(root_->frameInContainer(bounds()));
    if (visible)
        root_->beginAppearanceTransition(true, false);
    addSubview(view);
    if (visible)
        root_->endAppearanceTransition();
}

void UIWindow::setHidden(bool hidden)
{
    if (hidden == isHidden())
        return;
    if (hidden) {
        if (root_)
            root_->beginAppearanceTransition(false, false);
        UIView::setHidden(true);
        if (root_)
            root_->endAppearanceTransition();
        return;
    }
    UIApplication::sharedApplication()->registerWindow(sharedAs<UIWindow>());
    if (root_)
        root_->beginAppearanceTransition(true, false);
    UIView::setHidden(false);
    if (root_)
        root_->endAppearanceTransition();
    setNeedsLayout();
}

void UIWindow::makeKeyAndVisible()
{
    makeKeyWindow();
    setHidden(false);
}

void UIWindow::makeKeyWindow()
{
    auto app = UIApplication::sharedApplication();
    app->registerWindow(sharedAs<UIWindow>());
    app->setKeyWindow(sharedAs<UIWindow>());
}

bool UIWindow::isKeyWindow() const
{
    return UIApplication::sharedApplication()->keyWindow().get() == this;
}

std::shared_ptr<UIResponder> UIWindow::nextResponder() const
{
    return UIApplication::sharedApplication();
}

std::shared_ptr<UIView> UIWindow::sendTap(CGPoint point)
{
    auto hit = hitTest(point);
    if (!hit)
        return nullptr;
    auto touch = std::make_shared<UITouch>(hit, sharedAs<UIWindow>(), point);
    bool cancelled = false;
    for (auto v = hit; v; v = v->superview()) {
        auto recognizers = v->gestureRecognizers();
        for (auto& recognizer : recognizers) {
            if (recognizer->handleTouch(touch, UIGestureRecognizer::TouchKind::Tap) && recognizer->cancelsTouchesInView())
                cancelled = true;
        }
    }
    if (!cancelled)
        hit->handleTap(hit->convertPointFromView(point, this));
    return hit;
}

std::shared_ptr<UIView> UIWindow::sendLongPress(CGPoint point)
{
    auto hit = hitTest(point);
    if (!hit)
        return nullptr;
    auto touch = std::make_shared<UITouch>(hit, sharedAs<UIWindow>(), point);
    for (auto v = hit; v; v = v->superview()) {
        auto recognizers = v->gestureRecognizers();
        for (auto& recognizer : recognizers)
            recognizer->handleTouch(touch, UIGestureRecognizer::TouchKind::LongPress);
    }
    return hit;
}

UIImageRef UIWindow::snapshotImage()
{
    layoutIfNeeded();
    displayIfNeeded();
    CGSize size = bounds().size;
    UIGraphicsBeginImageContextWithOptions(size, true, UIScreen::mainScreen()->scale());
    auto context = UIGraphicsGetCurrentContext();
    UIImageRef image;
    if (context) {
        CGContextSetGrayFillColor(context, 0, 1);
        CGContextFillRect(context, { {}, size });
        bool hidden = isHidden();
        if (hidden)
            UIView::setHidden(false);
        CGRect f = frame();
        CGContextTranslateCTM(context, -f.origin.x, -f.origin.y);
        renderInContext(context);
        if (hidden)
            UIView::setHidden(true);
        if (isKeyWindow())
            uikit::drawAlertOverlay(context, size);
        image = UIGraphicsGetImageFromCurrentImageContext();
    }
    UIGraphicsEndImageContext();
    return image;
}

bool UIWindow::writeSnapshot(const std::string& pngPath)
{
    auto image = snapshotImage();
    return image && graphics::writePngFile(image->CGImage(), pngPath);
}
