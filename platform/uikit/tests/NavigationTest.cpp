// Controllers: lazy views, appearance callbacks on push, pop and modal presentation (over a
// navigation stack too), the bar's back button, and the responder chain.
#include "Fixture.h"

namespace {

struct Screen : UIViewController {
    std::string name;
    std::vector<std::string>* log;
    std::string configured; // set by the opener before the push
    std::string seenAtLoad;
    CGRect boundsAtLoad;
    Screen(std::string n, std::vector<std::string>* l) : name(std::move(n)), log(l) { }
    void viewDidLoad() override
    {
        seenAtLoad = configured;
        boundsAtLoad = view()->bounds();
        log->push_back(name + ".load");
    }
    void viewWillAppear(bool) override { log->push_back(name + ".willAppear"); }
    void viewDidAppear(bool) override { log->push_back(name + ".didAppear"); }
    void viewWillDisappear(bool) override { log->push_back(name + ".willDisappear"); }
    void viewDidDisappear(bool) override { log->push_back(name + ".didDisappear"); }
};

class NavigationTest : public UIKitTest {
protected:
    std::shared_ptr<Screen> screen(const std::string& name) { return std::make_shared<Screen>(name, &log); }
    std::vector<std::string> log;
};

TEST_F(NavigationTest, PushLoadsAfterTheOpenersSettersAndPopRevealsWithWillAppear)
{
    auto home = screen("home");
    auto nav = UINavigationController::initWithRootViewController(home);
    window->setRootViewController(nav);
    EXPECT_EQ(log, (std::vector<std::string> { "home.load", "home.willAppear", "home.didAppear" }));
    EXPECT_EQ(home->boundsAtLoad, UIScreen::mainScreen()->bounds());

    log.clear();
    auto detail = screen("detail");
    detail->configured = "model";
    nav->pushViewController(detail, true);
    EXPECT_EQ(detail->seenAtLoad, "model");
    EXPECT_EQ(log, (std::vector<std::string> { "detail.load", "home.willDisappear", "detail.willAppear",
                       "home.didDisappear", "detail.didAppear" }));
    EXPECT_EQ(detail->navigationController(), nav);
    EXPECT_TRUE(detail->view()->isDescendantOfView(window.get()));
    EXPECT_FALSE(home->view()->window());

    log.clear();
    EXPECT_EQ(nav->popViewControllerAnimated(true), detail);
    EXPECT_EQ(log, (std::vector<std::string> { "detail.willDisappear", "home.willAppear", "detail.didDisappear",
                       "home.didAppear" }));
    EXPECT_EQ(detail->navigationController(), nullptr);
    EXPECT_EQ(nav->popViewControllerAnimated(true), nullptr) << "the root stays";
}

TEST_F(NavigationTest, PushBeforeTheStackIsOnScreenOnlyLoads)
{
    auto nav = UINavigationController::initWithRootViewController(screen("root"));
    auto second = screen("second");
    nav->pushViewController(second, false);
    EXPECT_EQ(log, (std::vector<std::string> { "second.load" }));
    log.clear();
    window->setRootViewController(nav);
    EXPECT_EQ(log, (std::vector<std::string> { "second.willAppear", "second.didAppear" }));
    EXPECT_EQ(nav->navigationBar()->topItem(), second->navigationItem());
}

TEST_F(NavigationTest, ModalPresentationCoversTheWindowAndCompletesOnTheLoop)
{
    auto home = screen("home");
    window->setRootViewController(home);
    log.clear();
    auto modal = screen("modal");
    bool presented = false;
    home->presentViewController(modal, true, [&] { presented = true; });
    EXPECT_EQ(log, (std::vector<std::string> { "modal.load", "home.willDisappear", "modal.willAppear",
                       "home.didDisappear", "modal.didAppear" }));
    EXPECT_FALSE(presented) << "the completion waits for the main loop";
    EXPECT_TRUE(testing_support::runUntil([&] { return presented; }));
    EXPECT_EQ(home->presentedViewController(), modal);
    EXPECT_EQ(modal->presentingViewController(), home);
    EXPECT_EQ(window->subviews().back(), modal->view());

    log.clear();
    modal->dismissViewControllerAnimated(true); // a presented controller dismisses itself through its presenter
    EXPECT_EQ(log, (std::vector<std::string> { "modal.willDisappear", "home.willAppear", "modal.didDisappear",
                       "home.didAppear" }));
    EXPECT_EQ(home->presentedViewController(), nullptr);
}

TEST_F(NavigationTest, AModalOverANavigationStackHidesItsTopAndRevealsItAgain)
{
    auto root = screen("root");
    auto top = screen("top");
    auto nav = UINavigationController::initWithRootViewController(root);
    window->setRootViewController(nav);
    nav->pushViewController(top, false);
    log.clear();

    auto modal = screen("modal");
    top->presentViewController(modal, false);
    EXPECT_EQ(log, (std::vector<std::string> { "modal.load", "top.willDisappear", "modal.willAppear", "top.didDisappear", "modal.didAppear" }));
    EXPECT_EQ(nav->presentedViewController(), nullptr);
    EXPECT_EQ(top->presentedViewController(), modal);
    EXPECT_EQ(modal->frameInContainer(window->bounds()), window->bounds());

    auto second = screen("second");
    top->presentViewController(second, false);
    EXPECT_EQ(top->presentedViewController(), modal) << "one modal at a time";
    EXPECT_FALSE(second->isViewLoaded());

    auto nested = screen("nested");
    modal->presentViewController(nested, false);
    log.clear();
    bool done = false;
    top->dismissViewControllerAnimated(true, [&] { done = true; });
    EXPECT_EQ(modal->presentedViewController(), nullptr) << "dismissing also takes down what the modal presents";
    EXPECT_EQ(top->presentedViewController(), nullptr);
    EXPECT_FALSE(modal->view()->window());
    EXPECT_FALSE(nested->view()->window());
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(log.end() - 4, log.end()),
        (std::vector<std::string> { "modal.willDisappear", "top.willAppear", "modal.didDisappear", "top.didAppear" }));
    EXPECT_TRUE(testing_support::runUntil([&] { return done; }));
}

TEST_F(NavigationTest, TheBarShowsTitlesAndABackButtonThatPops)
{
    auto home = screen("home");
    home->setTitle("Home");
    auto nav = UINavigationController::initWithRootViewController(home);
    window->setRootViewController(nav);
    auto detail = screen("detail");
    nav->pushViewController(detail, true);
    window->layoutIfNeeded();
    std::shared_ptr<UIButton> back;
    for (auto& v : nav->navigationBar()->subviews())
        if (auto b = std::dynamic_pointer_cast<UIButton>(v))
            back = b;
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->currentTitle(), "Home");
    CGRect r = back->convertRectToView(back->bounds(), nullptr);
    window->sendTap({ CGRectGetMidX(r), CGRectGetMidY(r) });
    EXPECT_EQ(nav->topViewController(), home);

    UINavigationBar::appearance().barTintColor = UIColor::redColor();
    EXPECT_EQ(nav->navigationBar()->barTintColor(), UIColor::redColor());
    UINavigationBar::appearance() = {};
}

TEST_F(NavigationTest, ResponderChainRunsFromViewsThroughControllers)
{
    auto home = screen("home");
    window->setRootViewController(home);
    auto child = UIView::create();
    home->view()->addSubview(child);
    EXPECT_EQ(child->nextResponder(), home->view());
    EXPECT_EQ(home->view()->nextResponder(), home);
    EXPECT_EQ(home->nextResponder(), window);
    EXPECT_EQ(window->nextResponder(), UIApplication::sharedApplication());
    EXPECT_FALSE(child->becomeFirstResponder()) << "a plain view cannot become first responder";
}

} // namespace
