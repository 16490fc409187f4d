// "waitfor": waiting in real time for what arrives later (a title, an alert, a HUD's text),
// its time-out, and the clock modes.
#include <gtest/gtest.h>

#include "host/QuillmarkAppDelegate.h"
#include "host/ScreenRegistry.h"
#include "host/tests/HostRun.h"
#include "platform/foundation/Clock.h"
#include "platform/uikit/UIKitCore.h"
#include "platform/uikit/UILabel.h"
#include "testing/TempHome.h"
#include "testing/VirtualTime.h"
#include "ui/PGProgressHUD.h"

namespace {

using host_test::contains;

// Everything on this screen comes late, as a server's reply would: through main-loop work
// scheduled for later.
class LateScreen : public UIViewController, public UIAlertViewDelegate {
public:
    std::string className() const override { return "LateScreen"; }
    void viewDidLoad() override
    {
        view()->setBackgroundColor(UIColor::whiteColor());
        std::weak_ptr<UIView> weakView = view();
        uikit::performOnMainAfter(0.1, [weakView] {
            auto label = UILabel::create({ { 20, 100 }, { 280, 30 } });
            label->setText("Ready");
            if (auto view = weakView.lock())
                view->addSubview(label);
        });
        addButton("Ask later", 150, &LateScreen::askLater);
        addButton("Toast", 200, &LateScreen::toast);
        addButton("Province", 250, &LateScreen::showList);
    }
    int listTaps = 0;
    bool shown_ = false;
    bool listArrived_ = false;

private:
    void addButton(const std::string& title, double y, void (LateScreen::*action)())
    {
        auto button = UIButton::buttonWithType(UIButtonTypeSystem);
        button->setFrame({ { 20, y }, { 280, 40 } });
        button->setTitle(title, UIControlStateNormal);
        button->addTarget(sharedAs<LateScreen>(), action, UIControlEventTouchUpInside);
        view()->addSubview(button);
    }
    void askLater()
    {
        auto self = sharedAs<LateScreen>();
        uikit::performOnMainAfter(0.05, [self] {
            UIAlertView::initWithTitle("", "Later?", self, "确认", { "取消" })->show();
        });
    }
    void toast() { PGProgressHUD::showError("导入成功", view()); }
    void showList()
    {
        ++listTaps;
        if (listTaps == 1) {
            // The list is asked for and comes later, with nothing on screen to show it.
            std::weak_ptr<LateScreen> weak = sharedAs<LateScreen>();
            uikit::performOnMainAfter(0.05, [weak] {
                if (auto self = weak.lock())
                    self->listArrived_ = true;
            });
        }
        if (!listArrived_ || shown_)
            return;
        shown_ = true;
        auto label = UILabel::create({ { 20, 300 }, { 280, 30 } });
        label->setText("广东省");
        view()->addSubview(label);
    }
};

class HostWait : public ::testing::Test {
protected:
    void SetUp() override
    {
        host::registerScreen("late", [this] {
            late = std::make_shared<LateScreen>();
            return late;
        });
    }
    std::shared_ptr<LateScreen> late;
    void TearDown() override
    {
        host::clearScreens();
        uikit::dismissAllAlerts(false);
    }
    testing_support::VirtualTime time;
    testing_support::TempHome home;
};

TEST_F(HostWait, WaitsInRealTimeForWhatArrivesLater)
{
    auto run = host_test::runScript<host::QuillmarkAppDelegate>("clock real\n"
                                                                "open late\n"
                                                                "waitfor title Ready\n"
                                                                "tap title Ready\n"
                                                                "tap title Ask later\n"
                                                                "waitfor alert Later?\n"
                                                                "alert title 取消\n"
                                                                "clock virtual\n");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(foundation::clock::isVirtual()) << "clock virtual froze the clock again";
}

TEST_F(HostWait, TapsAgainUntilWhatTheTapNeedsHasArrived)
{
    auto run = host_test::runScript<host::QuillmarkAppDelegate>("clock real\n"
                                                                "open late\n"
                                                                "tap title Province until title 广东省\n"
                                                                "tap title Nowhere until title 广东省\n"
                                                                "tap title Province until sky blue\n"
                                                                "timeout 0.3\n"
                                                                "tap title Toast until title Never\n"
                                                                "clock virtual\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(contains(run.output, "error: tap title Province until title")) << run.output;
    ASSERT_NE(late, nullptr);
    EXPECT_TRUE(late->shown_);
    EXPECT_EQ(late->listTaps, 2) << "the first tap asked for the list, the second showed it: " << run.output;
    EXPECT_TRUE(contains(run.output, "error: tap title Nowhere until title 广东省: no such view on screen")) << run.output;
    EXPECT_TRUE(contains(run.output, "error: tap title Province until sky blue: wait for a title")) << run.output;
    EXPECT_TRUE(contains(run.output, "error: tap title Toast until title Never: nothing such appeared within 0.3 s"))
        << run.output;
}

TEST_F(HostWait, TimesOutWithAClearErrorAndGoesOn)
{
    auto run = host_test::runScript<host::QuillmarkAppDelegate>("timeout 0.2\n"
                                                                "waitfor title Never\n"
                                                                "waitfor alert\n"
                                                                "waitfor hud Never\n"
                                                                "waitfor sky blue\n"
                                                                "waitfor title\n"
                                                                "timeout 0\n"
                                                                "timeout soon\n"
                                                                "clock sideways\n"
                                                                "pump 0\n"
                                                                "pump 0.05\n"
                                                                "onerror maybe\n"
                                                                "echo still running\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.output, "error: waitfor title Never: nothing such appeared within 0.2 s")) << run.output;
    EXPECT_TRUE(contains(run.output, "error: waitfor alert: nothing such appeared within 0.2 s")) << run.output;
    EXPECT_TRUE(contains(run.output, "error: waitfor hud Never: nothing such appeared within 0.2 s"));
    EXPECT_TRUE(contains(run.output, "error: waitfor sky blue: wait for a title, an alert, a hud, pictures or the album"));
    EXPECT_TRUE(contains(run.output, "error: waitfor title: expected the text to wait for"));
    EXPECT_TRUE(contains(run.output, "error: timeout 0: expected a number of seconds"));
    EXPECT_TRUE(contains(run.output, "error: timeout soon: expected a number of seconds"));
    EXPECT_TRUE(contains(run.output, "error: clock sideways: expected real or virtual"));
    EXPECT_TRUE(contains(run.output, "error: pump 0: expected a number of seconds"));
    EXPECT_FALSE(contains(run.output, "error: pump 0.05"));
    EXPECT_TRUE(contains(run.output, "error: onerror maybe: expected stop or go"));
    EXPECT_TRUE(contains(run.output, "still running"));
}

TEST_F(HostWait, HudTextIsFoundOnlyInAHudAndStaysUntilVirtualTimeMoves)
{
    auto run = host_test::runScript<host::QuillmarkAppDelegate>("open late\n"
                                                                "timeout 0.2\n"
                                                                "waitfor hud Toast\n"
                                                                "tap title Toast\n"
                                                                "waitfor hud 导入成功\n"
                                                                "advance 0.5\n"
                                                                "waitfor hud 导入成功\n"
                                                                "advance 1\n"
                                                                "advance 1\n"
                                                                "waitfor hud 导入成功\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.output, "error: waitfor hud Toast: nothing such appeared")) << "a button is not a HUD: " << run.output;
    auto errors = [&] {
        std::size_t n = 0;
        for (std::size_t at = run.output.find("error: waitfor hud 导入成功"); at != std::string::npos;
            at = run.output.find("error: waitfor hud 导入成功", at + 1))
            ++n;
        return n;
    }();
    EXPECT_EQ(errors, 1u) << "shown, still up after 0.5 s, faded and gone after 2.5 s: " << run.output;
}

TEST_F(HostWait, StopsAtTheFirstErrorWhenAsked)
{
    auto run = host_test::runScript<host::QuillmarkAppDelegate>("echo one\n"
                                                                "tap title Nowhere\n"
                                                                "echo two\n"
                                                                "onerror stop\n"
                                                                "tap title Nowhere\n"
                                                                "echo three\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.output, "one\n")) << run.output;
    EXPECT_TRUE(contains(run.output, "two\n")) << "errors go on by default: " << run.output;
    EXPECT_FALSE(contains(run.output, "three")) << run.output;
}

} // namespace
