// Showing and hiding on the virtual clock: fades, grace time, minimum show time, delayed hides,
// re-showing while a hide is pending or fading, finishing (removal, completion, then the
// delegate), work on a thread or a queue, and the class finders.
#include <atomic>
#include <vector>

#include "ui/tests/HUDFixture.h"
#include "platform/threading/Dispatch.h"
#include "ui/PGProgressHUD.h"

namespace hudtest {
namespace {

using Events = std::vector<std::string>;

struct Recorder : PGProgressHUDDelegate {
    Events events;
    void hudWasHidden(const std::shared_ptr<PGProgressHUD>&) override { events.push_back("hidden"); }
};

class HUDShowHideTest : public HUDTest {
protected:
    // A HUD on the window that removes itself and records its completion and delegate call.
    std::shared_ptr<PGProgressHUD> addedHUD()
    {
        auto hud = PGProgressHUD::initWithView(window);
        hud->setRemoveFromSuperViewOnHide(true);
        hud->setDelegate(recorder);
        hud->setCompletionBlock([this] { recorder->events.push_back("completion"); });
        window->addSubview(hud);
        return hud;
    }
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(HUDShowHideTest, FadesInAndOutThenFinishesWithCompletionBeforeDelegate)
{
    auto never = addedHUD();
    never->hide(true);
    EXPECT_TRUE(uikit::animationLog().empty());
    EXPECT_EQ(never->superview(), nullptr) << "never shown: finished at once";
    EXPECT_EQ(recorder->events, (Events { "completion", "hidden" }));
    recorder->events.clear();

    auto hud = addedHUD();
    EXPECT_EQ(hud->alpha(), 0);
    hud->show(true);
    EXPECT_EQ(hud->alpha(), 1);
    ASSERT_EQ(uikit::animationLog().size(), 1u);
    EXPECT_DOUBLE_EQ(uikit::animationLog().back().duration, 0.3);
    EXPECT_DOUBLE_EQ(*hud->showStarted(), time.now());

    advance(1);
    hud->hide(true);
    EXPECT_NEAR(hud->alpha(), 0.02, 1e-9);
    EXPECT_FALSE(hud->showStarted());
    advance(0.29);
    EXPECT_EQ(hud->superview(), window) << "still fading out";
    advance(0.01);
    EXPECT_EQ(hud->superview(), nullptr);
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(recorder->events, (Events { "completion", "hidden" }));

    // The completion was cleared: a second round runs only the delegate.
    window->addSubview(hud);
    hud->show(false);
    hud->hide(false);
    EXPECT_EQ(recorder->events, (Events { "completion", "hidden", "hidden" }));
}

TEST_F(HUDShowHideTest, GraceTimeShowsOnlyWhileATaskRunsAndNotAfterItEnded)
{
    auto graced = [this](bool task) {
        auto hud = addedHUD();
        hud->setGraceTime(0.5f);
        hud->setTaskInProgress(task);
        hud->show(!task);
        return hud;
    };
    auto idle = graced(false);
    auto busy = graced(true);
    auto hidden = graced(true);
    advance(0.2);
    hidden->hide(false);
    advance(0.29);
    EXPECT_EQ(busy->alpha(), 0);
    advance(0.01);
    EXPECT_EQ(busy->alpha(), 1);
    advance(2);
    EXPECT_EQ(idle->alpha(), 0) << "no task: never visible";
    EXPECT_EQ(hidden->alpha(), 0) << "the grace timer of a finished HUD does not show it";

    auto quick = addedHUD();
    quick->setGraceTime(1.0f);
    quick->showAnimated(true, [] { });
    ASSERT_TRUE(testing_support::runUntil([&] { return quick->superview() == nullptr; }));
    EXPECT_FALSE(quick->taskInProgress());
    advance(1);
    EXPECT_EQ(quick->alpha(), 0) << "a task ending within the grace time keeps it hidden";
}

TEST_F(HUDShowHideTest, MinimumShowTimeDefersTheHideAndFinishesOnce)
{
    auto hud = addedHUD();
    hud->setMinShowTime(1.0f);
    hud->show(false);
    advance(0.2);
    hud->hide(false);
    advance(0.3);
    hud->hide(false); // a second hide within the window
    EXPECT_EQ(hud->alpha(), 1);
    advance(0.49);
    EXPECT_TRUE(recorder->events.empty());
    advance(0.01);
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(hud->superview(), nullptr);
    advance(2);
    EXPECT_EQ(recorder->events, (Events { "completion", "hidden" }));
}

TEST_F(HUDShowHideTest, ShowingAgainCancelsPendingHidesAndKeepsAFadingHUD)
{
    auto hud = addedHUD();
    hud->setMinShowTime(1.0f);
    hud->show(true);
    advance(0.2);
    hud->hide(false); // deferred to 1.0
    hud->hideAfterDelay(true, 0.5);
    advance(0.1);
    hud->show(false);
    advance(2);
    EXPECT_EQ(hud->alpha(), 1);

    hud->hide(true);
    EXPECT_NEAR(hud->alpha(), 0.02, 1e-9) << "shown long enough: fading at once";
    advance(0.1);
    hud->show(true);
    advance(1);
    EXPECT_EQ(hud->alpha(), 1);
    EXPECT_EQ(hud->superview(), window);
    EXPECT_TRUE(recorder->events.empty());

    hud->hideAfterDelay(false, 0.5);
    advance(0.5);
    EXPECT_EQ(hud->superview(), nullptr);
}

TEST_F(HUDShowHideTest, WorkOnAQueueHidesOnTheMainThreadThenCompletes)
{
    auto hud = addedHUD();
    std::atomic<bool> onMain { true };
    bool completionOnMain = false;
    hud->showAnimated(
        true, [&] { onMain = NSThread::isMainThread(); }, dispatch_queue_create("hud.work"),
        [&] { completionOnMain = NSThread::isMainThread(); });
    EXPECT_TRUE(hud->taskInProgress());
    ASSERT_TRUE(testing_support::runUntil([&] { return !hud->taskInProgress(); }));
    EXPECT_FALSE(onMain);
    EXPECT_NEAR(hud->alpha(), 0.02, 1e-9) << "fading out";
    advance(0.3);
    EXPECT_TRUE(completionOnMain);
    EXPECT_EQ(hud->superview(), nullptr);
    EXPECT_EQ(recorder->events, (Events { "hidden" })) << "the task's completion replaced ours";
}

TEST_F(HUDShowHideTest, WorkOnAThreadGetsTargetAndArgumentAndLetsThemGo)
{
    auto hud = addedHUD();
    auto target = std::make_shared<NSObject>();
    auto argument = std::make_shared<NSObject>();
    std::atomic<bool> matched { false };
    std::atomic<bool> onMain { true };
    hud->showWhileExecuting(
        [&](const NSObjectRef& t, const NSObjectRef& o) {
            matched = t == target && o == argument;
            onMain = NSThread::isMainThread();
        },
        target, argument, false);
    ASSERT_TRUE(testing_support::runUntil([&] { return hud->superview() == nullptr; }));
    EXPECT_TRUE(matched);
    EXPECT_FALSE(onMain);
    ASSERT_TRUE(testing_support::runUntil([&] { return target.use_count() == 1; }));

    // A HUD gone before its hand-off runs is left alone.
    auto gone = PGProgressHUD::initWithView(window);
    auto worker = NSThread::detachNewThreadWithBlock([gone] { gone->setProgress(0.5f); });
    ASSERT_TRUE(testing_support::runUntil([&] { return worker->isFinished(); }));
    gone.reset();
    EXPECT_TRUE(testing_support::settle(2));
}

// A HUD without its labels and indicator cannot be made: only the factories make one.
static_assert(!std::is_constructible_v<PGProgressHUD, CGRect>);
static_assert(!std::is_default_constructible_v<PGProgressHUD::Token>);

TEST_F(HUDShowHideTest, ClassFindersMatchTheReceivingClass)
{
    struct OtherHUD : PGProgressHUD {
        using PGProgressHUD::PGProgressHUD;
    };
    EXPECT_FALSE(PGProgressHUD::hideHUDForView(window, false));
    EXPECT_EQ(PGProgressHUD::hideAllHUDsForView(window, false), 0u);

    auto first = PGProgressHUD::showHUDAddedTo(window, false);
    auto other = PGProgressHUD::showHUDAddedTo<OtherHUD>(window, false);
    window->addSubview(UIView::create());
    EXPECT_EQ(PGProgressHUD::allHUDsForView(window), (std::vector<std::shared_ptr<PGProgressHUD>> { first, other }));
    EXPECT_EQ(PGProgressHUD::HUDForView(window), other);
    EXPECT_EQ(PGProgressHUD::allHUDsForView<OtherHUD>(window).size(), 1u);
    EXPECT_TRUE(PGProgressHUD::hideHUDForView<OtherHUD>(window, false));
    EXPECT_EQ(other->superview(), nullptr);
    EXPECT_FALSE(PGProgressHUD::hideHUDForView<OtherHUD>(window, false));

    PGProgressHUD::showHUDAddedTo(window, false)->setRemoveFromSuperViewOnHide(false);
    EXPECT_EQ(PGProgressHUD::hideAllHUDsForView(window, false), 2u);
    EXPECT_TRUE(PGProgressHUD::allHUDsForView(window).empty()) << "every one is removed";
}

} // namespace
} // namespace hudtest
