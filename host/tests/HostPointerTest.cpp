// The window's mouse as a finger (taps, long presses, drags, alert buttons), typed keys, and
// push messages relayed to the app as remote notifications.
#include <gtest/gtest.h>

#include "host/NotificationRelay.h"
#include "host/Pointer.h"
#include "host/QuillmarkAppDelegate.h"
#include "host/ScreenRegistry.h"
#include "host/tests/HostRun.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIKeyboard.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITextField.h"
#include "push/Client/PUSHMessageCenter.h"
#include "testing/TempHome.h"
#include "testing/VirtualTime.h"

namespace {

// A button that counts taps, a picture that counts long presses, a tall scroll view, a field.
class GestureScreen : public UIViewController, public UIAlertViewDelegate {
public:
    std::string className() const override { return "GestureScreen"; }
    void viewDidLoad() override
    {
        auto button = UIButton::buttonWithType(UIButtonTypeSystem);
        button->setFrame({ { 20, 70 }, { 280, 40 } });
        button->setTitle("Tap me", UIControlStateNormal);
        button->addTarget(sharedAs<GestureScreen>(), &GestureScreen::tapped, UIControlEventTouchUpInside);
        view()->addSubview(button);

        auto picture = UIImageView::create({ { 20, 120 }, { 280, 60 } });
        picture->setUserInteractionEnabled(true);
        std::weak_ptr<GestureScreen> weak = sharedAs<GestureScreen>();
        picture->addGestureRecognizer(UILongPressGestureRecognizer::create([weak](const std::shared_ptr<UIGestureRecognizer>& r) {
            if (auto self = weak.lock(); self && r->state() == UIGestureRecognizerStateBegan)
                ++self->longPresses;
        }));
        view()->addSubview(picture);

        scroll = UIScrollView::create({ { 0, 200 }, { 320, 300 } });
        scroll->setContentSize({ 320, 1000 });
        view()->addSubview(scroll);

        field = UITextField::create({ { 20, 510 }, { 280, 30 } });
        view()->addSubview(field);
    }
    void alertViewClickedButtonAtIndex(const std::shared_ptr<UIAlertView>&, NSInteger index) override { answered = index; }
    int taps = 0;
    int longPresses = 0;
    NSInteger answered = -1;
    std::shared_ptr<UIScrollView> scroll;
    std::shared_ptr<UITextField> field;

private:
    void tapped() { ++taps; }
};

class RelayDelegate : public host::QuillmarkAppDelegate {
public:
    void applicationDidReceiveRemoteNotificationFetchCompletionHandler(const App&, const Value& userInfo,
        std::function<void(UIBackgroundFetchResult)> completion) override
    {
        received().push_back(userInfo["aps"]["alert"].stringValue());
        completion(UIBackgroundFetchResultNoData);
    }
    static std::vector<std::string>& received()
    {
        static std::vector<std::string> list;
        return list;
    }
};

class HostPointer : public ::testing::Test {
protected:
    void SetUp() override
    {
        host::registerScreen("gestures", [this] {
            screen = std::make_shared<GestureScreen>();
            return screen;
        });
        host_test::runScript<RelayDelegate>("open gestures\n");
        ASSERT_NE(screen, nullptr);
    }
    void TearDown() override
    {
        host::clearScreens();
        uikit::dismissAllAlerts(false);
    }
    testing_support::VirtualTime time;
    testing_support::TempHome home;
    std::shared_ptr<GestureScreen> screen;
};

enum class Kind { Press, Move, Release, Tick };
struct Event {
    Kind kind;
    double x, y, t;
};
struct GestureCase {
    const char* name;
    std::vector<Event> events;
    int taps;
    int longPresses;
    double offsetY;
};

TEST_F(HostPointer, MouseEventsBecomeTapsLongPressesAndDrags)
{
    const std::vector<GestureCase> cases {
        { "a click is a tap", { { Kind::Press, 160, 90, 0 }, { Kind::Release, 161, 91, 0.1 } }, 1, 0, 0 },
        { "a small wobble is still a tap", { { Kind::Press, 160, 90, 0 }, { Kind::Move, 164, 93, 0.05 }, { Kind::Release, 164, 93, 0.1 } }, 1, 0, 0 },
        { "a held press is one long press, made while held",
            { { Kind::Press, 160, 150, 0 }, { Kind::Tick, 160, 150, 0.6 }, { Kind::Tick, 160, 150, 0.9 }, { Kind::Release, 160, 150, 1.2 } }, 0, 1, 0 },
        { "a long press seen only at the release", { { Kind::Press, 160, 150, 0 }, { Kind::Release, 160, 150, 0.7 } }, 0, 1, 0 },
        { "a drag up scrolls the content down",
            { { Kind::Press, 160, 450, 0 }, { Kind::Move, 160, 350, 0.1 }, { Kind::Move, 160, 250, 0.2 }, { Kind::Release, 160, 250, 0.3 } }, 0, 0, 200 },
        { "a drag beyond the top comes back on release",
            { { Kind::Press, 160, 250, 0 }, { Kind::Move, 160, 400, 0.1 }, { Kind::Release, 160, 400, 0.2 } }, 0, 0, 0 },
        { "a drag that ends over the button taps nothing",
            { { Kind::Press, 160, 300, 0 }, { Kind::Move, 160, 90, 0.1 }, { Kind::Release, 160, 90, 0.2 } }, 0, 0, 210 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        screen->taps = screen->longPresses = 0;
        screen->scroll->setContentOffset({ 0, 0 });
        host::PointerGestures pointer;
        for (const auto& e : c.events) {
            CGPoint p { e.x, e.y };
            switch (e.kind) {
            case Kind::Press: pointer.press(p, e.t); break;
            case Kind::Move: pointer.move(p, e.t); break;
            case Kind::Release: pointer.release(p, e.t); break;
            case Kind::Tick: pointer.tick(e.t); break;
            }
        }
        EXPECT_EQ(screen->taps, c.taps);
        EXPECT_EQ(screen->longPresses, c.longPresses);
        EXPECT_NEAR(screen->scroll->contentOffset().y, c.offsetY, 0.5);
        EXPECT_FALSE(screen->scroll->isDragging());
    }
}

TEST_F(HostPointer, WhileDraggingTheContentFollowsThePointer)
{
    host::PointerGestures pointer;
    pointer.press({ 160, 300 }, 0);
    pointer.move({ 160, 380 }, 0.1);
    EXPECT_NEAR(screen->scroll->contentOffset().y, -80, 0.5) << "pulled past the top while held";
    EXPECT_TRUE(screen->scroll->isDragging());
    pointer.release({ 160, 380 }, 0.2);
    EXPECT_NEAR(screen->scroll->contentOffset().y, 0, 0.5);
}

TEST_F(HostPointer, AClickOnAnAlertAnswersItsButtonAndNothingBelow)
{
    UIAlertView::initWithTitle("Sure?", "", screen, "No", { "Yes" })->show();
    CGSize size = UIScreen::mainScreen()->bounds().size;
    CGPoint yes { -1, -1 };
    for (double y = 0; y < size.height && yes.x < 0; y += 2) {
        if (uikit::alertButtonIndexAtPoint({ 230, y }, size) == 1)
            yes = { 230, y + 10 };
    }
    ASSERT_GE(yes.x, 0) << "the alert draws a Yes button on the right";
    host::PointerGestures pointer;
    pointer.press({ 160, 90 }, 0);
    pointer.release({ 160, 90 }, 0.1);
    EXPECT_EQ(screen->taps, 0) << "the alert covers the screen";
    EXPECT_EQ(screen->answered, -1);
    pointer.press(yes, 1);
    pointer.release(yes, 1.1);
    EXPECT_EQ(screen->answered, 1);
    EXPECT_EQ(uikit::topAlert(), nullptr);
}

TEST_F(HostPointer, KeysTypeIntoTheFocusedField)
{
    EXPECT_FALSE(host::typeKeys("x")) << "nothing is focused yet";
    ASSERT_TRUE(screen->field->becomeFirstResponder());
    EXPECT_TRUE(host::typeKeys("ab"));
    EXPECT_TRUE(host::typeKeys("\b"));
    EXPECT_TRUE(host::typeKeys("c"));
    EXPECT_EQ(screen->field->text(), "ac");
}

TEST_F(HostPointer, PushMessagesWithANotificationPayloadReachTheAppAsRemoteNotifications)
{
    RelayDelegate::received().clear();
    auto post = [](const Value& userInfo) {
        NSNotificationCenter::defaultCenter()->postNotificationName(kPUSHNetworkDidReceiveMessageNotification, nullptr, userInfo);
    };
    auto withAlert = [](const std::string& alert) {
        return Value::dictionary({ { "content", Value("c") },
            { "extras", Value::dictionary({ { "aps", Value::dictionary({ { "alert", Value(alert) } }) } }) } });
    };
    post(withAlert("before"));
    host::startNotificationRelay();
    host::startNotificationRelay();
    post(withAlert("relayed"));
    post(Value::dictionary({ { "content", Value("plain") } }));
    post(Value::dictionary({ { "extras", Value::dictionary({ { "aps", Value("not a dictionary") } }) } }));
    host::stopNotificationRelay();
    post(withAlert("after"));
    EXPECT_EQ(RelayDelegate::received(), (std::vector<std::string> { "relayed" }));
}

} // namespace
