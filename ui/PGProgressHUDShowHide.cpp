// Showing and hiding the HUD: grace time, minimum show time, delayed hides, the fade and zoom
// animations, finishing (removal, completion, delegate), and work run while the HUD shows.
#include "ui/PGProgressHUD.h"

#include "platform/foundation/Clock.h"
#include "platform/threading/NSRunLoop.h"
#include "platform/threading/NSThread.h"
#include "platform/threading/PerformRequests.h"

NSUInteger PGProgressHUD::hideAllHUDsForView(const std::shared_ptr<UIView>& view, bool animated)
{
    auto huds = allHUDsForView<PGProgressHUD>(view);
    for (const auto& hud : huds) {
        hud->setRemoveFromSuperViewOnHide(true);
        hud->hide(animated);
    }
    return huds.size();
}

void PGProgressHUD::setTimer(std::shared_ptr<NSTimer>& field, std::shared_ptr<NSTimer> timer)
{
    std::shared_ptr<NSTimer> old;
    {
        std::lock_guard lock(mutex_);
        old = std::exchange(field, std::move(timer));
    }
    if (old && old != field)
        old->invalidate();
}

void PGProgressHUD::show(bool animated)
{
    useAnimation_ = animated;
    const float grace = graceTime();
    if (grace <= 0) {
        showUsingAnimation(useAnimation_);
        return;
    }
    std::weak_ptr<PGProgressHUD> weak = sharedHUD();
    auto timer = NSTimer::timerWithTimeInterval(grace, false, [weak](const std::shared_ptr<NSTimer>&) {
        if (auto hud = weak.lock())
            hud->handleGraceTimer();
    });
    NSRunLoop::currentRunLoop()->addTimer(timer, NSRunLoopCommonModes);
    setTimer(graceTimer_, timer);
}

void PGProgressHUD::handleGraceTimer()
{
    // Shown only when the task is still running.
    if (taskInProgress())
        showUsingAnimation(useAnimation_);
}

void PGProgressHUD::showUsingAnimation(bool animated)
{
    auto keep = sharedHUD();
    ++showCount_;
    // Timers of an earlier show or hide would otherwise show or hide this one again.
    setTimer(graceTimer_, nullptr);
    setTimer(minShowTimer_, nullptr);
    cancelPreviousPerformRequestsWithTarget(requestKey());
    setNeedsDisplay();
    const PGProgressHUDAnimation type = animationType();
    if (!animated) {
        write(showStarted_, std::optional<double>(foundation::clock::now()));
        setAlpha(1.0);
        return;
    }
    if (type == PGProgressHUDAnimationShrink)
        setTransform(CGAffineTransformScale(rotationTransform_, 1.5, 1.5));
    else if (type == PGProgressHUDAnimationGrow)
        setTransform(CGAffineTransformScale(rotationTransform_, 0.5, 0.5));
    write(showStarted_, std::optional<double>(foundation::clock::now()));
    std::weak_ptr<PGProgressHUD> weak = keep;
    UIView::animateWithDuration(0.3, [weak, type] {
        auto hud = weak.lock();
        if (!hud)
            return;
        hud->setAlpha(1.0);
        if (type == PGProgressHUDAnimationShrink || type == PGProgressHUDAnimationGrow)
            hud->setTransform(hud->rotationTransform_);
    });
}

void PGProgressHUD::hide(bool animated)
{
    useAnimation_ = animated;
    const float minimum = minShowTime();
    const auto started = showStarted();
    if (minimum > 0 && started) {
        const double shown = foundation::clock::now() - *started;
        if (shown < minimum) {
            std::weak_ptr<PGProgressHUD> weak = sharedHUD();
            auto timer = NSTimer::scheduledTimerWithTimeInterval(minimum - shown, false,
                [weak](const std::shared_ptr<NSTimer>&) {
                    if (auto hud = weak.lock())
                        hud->hideUsingAnimation(hud->useAnimation_);
                });
            // A second hide in the window replaces the first: the HUD finishes once.
            setTimer(minShowTimer_, timer);
            return;
        }
    }
    hideUsingAnimation(useAnimation_);
}

void PGProgressHUD::hideUsingAnimation(bool animated)
{
    auto keep = sharedHUD();
    setTimer(minShowTimer_, nullptr);
    if (!animated || !showStarted()) {
        write(showStarted_, std::optional<double>());
        setAlpha(0);
        done();
        return;
    }
    const PGProgressHUDAnimation type = animationType();
    const std::uint64_t showing = showCount_;
    std::weak_ptr<PGProgressHUD> weak = keep;
    UIView::animateWithDuration(
        0.3,
        [weak, type] {
            auto hud = weak.lock();
            if (!hud)
                return;
            hud->setAlpha(0.02);
            if (type == PGProgressHUDAnimationShrink)
                hud->setTransform(CGAffineTransformScale(hud->rotationTransform_, 0.5, 0.5));
            else if (type == PGProgressHUDAnimationGrow)
                hud->setTransform(CGAffineTransformScale(hud->rotationTransform_, 1.5, 1.5));
        },
        [weak, showing](bool) {
            auto hud = weak.lock();
            // Shown again during the fade-out: that show wins.
            if (hud && hud->showCount_ == showing)
                hud->done();
        });
    write(showStarted_, std::optional<double>());
}

void PGProgressHUD::hideAfterDelay(bool animated, double delay)
{
    threading::performSelectorAfterDelay<PGProgressHUD>(
        sharedHUD(), "hide:", [animated](PGProgressHUD& hud) { hud.hide(animated); }, delay);
}

void PGProgressHUD::done()
{
    auto keep = sharedHUD();
    cancelPreviousPerformRequestsWithTarget(requestKey());
    setTimer(graceTimer_, nullptr);
    setTimer(minShowTimer_, nullptr);
    setAlpha(0);
    if (removeFromSuperViewOnHide())
        removeFromSuperview();
    Block completion;
    {
        std::lock_guard lock(mutex_);
        completion = std::exchange(completionBlock_, nullptr);
    }
    if (completion)
        completion();
    if (auto delegate = this->delegate())
        delegate->hudWasHidden(keep);
}

void PGProgressHUD::showWhileExecuting(Selector method, NSObjectRef target, NSObjectRef object, bool animated)
{
    targetForExecution_ = target;
    objectForExecution_ = object;
    setTaskInProgress(true);
    std::weak_ptr<PGProgressHUD> weak = sharedHUD();
    NSThread::detachNewThreadWithBlock([weak, method = std::move(method), target, object] {
        if (method)
            method(target, object);
        threading::performOnMainThread(
            [weak] {
                if (auto hud = weak.lock())
                    hud->cleanUp();
            },
            false);
    });
    show(animated);
}

void PGProgressHUD::showAnimated(bool animated, Block block, dispatch_queue_t queue, Block completion)
{
    if (!queue)
        queue = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    setTaskInProgress(true);
    setCompletionBlock(std::move(completion));
    std::weak_ptr<PGProgressHUD> weak = sharedHUD();
    dispatch_async(queue, [weak, block = std::move(block)] {
        if (block)
            block();
        dispatch_async(dispatch_get_main_queue(), [weak] {
            if (auto hud = weak.lock())
                hud->cleanUp();
        });
    });
    show(animated);
}

void PGProgressHUD::cleanUp()
{
    setTaskInProgress(false);
    targetForExecution_.reset();
    objectForExecution_.reset();
    hide(useAnimation_);
}
