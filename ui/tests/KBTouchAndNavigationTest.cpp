// Ending editing by a tap outside the input (buttons, other fields and the navigation bar keep
// working), an input that refuses to resign, the shared manager switched on before the
// application's delegate runs and then given the application's settings (no toolbar ever), and
// previous/next/done moving editing through a screen's inputs in subview, tag or position
// order, across the cells of a table view, and around an input that refuses.
#include "ui/tests/KBFixture.h"
#include "platform/foundation/NSLog.h"
#include "platform/uikit/ClassLoad.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UITableView.h"

namespace kbtest {
namespace {

class StubbornField : public UITextField {
public:
    using UITextField::UITextField;
    bool refuseResign = false;
    bool refuseBecome = false;
    bool canResignFirstResponder() const override { return !refuseResign; }
    bool becomeFirstResponder() override { return refuseBecome ? false : UITextField::becomeFirstResponder(); }
};

TEST_F(KeyboardTest, TapOutsideEndsEditingButControlsKeepWorking)
{
    manager->setShouldResignOnTouchOutside(true);
    auto field = addField(screen, CGRectMake(20, 100, 280, 30));
    auto other = addField(screen, CGRectMake(20, 150, 280, 30));
    auto button = UIButton::create(CGRectMake(20, 200, 100, 40));
    int pressed = 0;
    button->addTarget(nullptr, [&](const std::shared_ptr<UIControl>&) { ++pressed; }, UIControlEventTouchUpInside);
    screen->addSubview(button);

    ASSERT_TRUE(field->becomeFirstResponder());
    window->sendTap(screen->convertPointToView(CGPointMake(70, 220), nullptr));
    EXPECT_EQ(pressed, 1) << "the button acts";
    EXPECT_TRUE(field->isFirstResponder()) << "and editing continues";

    window->sendTap(screen->convertPointToView(CGPointMake(160, 400), nullptr));
    EXPECT_FALSE(field->isFirstResponder()) << "a tap on empty background ends editing";
    EXPECT_EQ(manager->textFieldView(), nullptr);

    // Switched off: the background tap does nothing.
    manager->setShouldResignOnTouchOutside(false);
    ASSERT_TRUE(other->becomeFirstResponder());
    window->sendTap(screen->convertPointToView(CGPointMake(160, 400), nullptr));
    EXPECT_TRUE(other->isFirstResponder());
}

TEST_F(KeyboardTest, InputsRefusingToResignOrToBecomeKeepEditingWhereItWas)
{
    manager->setShouldResignOnTouchOutside(true);
    auto field = std::make_shared<StubbornField>(CGRectMake(20, 100, 280, 30));
    auto refusing = std::make_shared<StubbornField>(CGRectMake(20, 200, 280, 30));
    screen->addSubview(field);
    screen->addSubview(refusing);
    refusing->refuseBecome = true;
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_FALSE(manager->goNext());
    EXPECT_EQ(manager->textFieldView(), field) << "a refused next leaves editing where it was";
    field->refuseResign = true;
    EXPECT_FALSE(manager->resignFirstResponder());
    window->sendTap(screen->convertPointToView(CGPointMake(160, 400), nullptr));
    EXPECT_TRUE(field->isFirstResponder());
    field->refuseResign = false;
    EXPECT_TRUE(manager->resignFirstResponder());
    EXPECT_FALSE(manager->resignFirstResponder()) << "nothing left to resign";
}

// A manager without its tap recogniser and notifications cannot be made outside create().
static_assert(!std::is_default_constructible_v<KBKeyboardManager>);
static_assert(!std::is_default_constructible_v<KBKeyboardManager::Token>);

// Class loading runs once per process, at the first launch: this probe tells whether it has.
bool classesLoaded = false;
const bool probe = uikit::registerClassLoad([] { classesLoaded = true; });

// The application's start-up: the manager is on before the delegate runs, which then sets it up.
TEST_F(KeyboardTest, SharedManagerIsOnWhenTheDelegateRunsAndTheStartUpSettingsNeverShowAToolbar)
{
    if (classesLoaded)
        GTEST_SKIP() << "an earlier launch in this process loaded the classes; this test needs a process of its own";
    struct Delegate : UIApplicationDelegate {
        std::optional<bool> enabledAtLaunch;
        bool applicationDidFinishLaunchingWithOptions(const App&, const Value&) override
        {
            enabledAtLaunch = KBKeyboardManager::sharedManager()->isEnabled();
            return true;
        }
    };
    std::vector<std::string> logged;
    foundation::setLogSink([&](const std::string& text) { logged.push_back(text); });
    manager->setEnable(false);
    auto delegate = std::make_shared<Delegate>();
    uikit::launchApplication(delegate);
    EXPECT_EQ(delegate->enabledAtLaunch, true) << "switched on when the class loaded";
    auto shared = KBKeyboardManager::sharedManager();
    shared->setEnable(true);
    shared->setShouldResignOnTouchOutside(true);
    shared->setShouldToolbarUsesTextFieldTintColor(true);
    shared->setEnableAutoToolbar(false);
    EXPECT_EQ(logged, (std::vector<std::string> { "disabled", "enabled", "already enabled" }));

    auto field = addField(screen, CGRectMake(20, 500, 280, 30));
    auto neighbour = addField(screen, CGRectMake(20, 200, 280, 30));
    auto textView = UITextView::create(CGRectMake(20, 380, 280, 60));
    screen->addSubview(textView);
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_LT(screen->frame().origin.y, 0);
    ASSERT_TRUE(textView->becomeFirstResponder());
    advance(1);
    for (const auto& input : kb::Views { field, neighbour, textView })
        EXPECT_EQ(input->inputAccessoryView(), nullptr) << "no toolbar is ever installed";
    EXPECT_DOUBLE_EQ(uikit::Keyboard::shared()->frame().size.height, 216);
    window->sendTap(screen->convertPointToView(CGPointMake(160, 300), nullptr));
    EXPECT_FALSE(textView->isFirstResponder());
    EXPECT_DOUBLE_EQ(screen->frame().origin.y, 0);

    shared->setShouldResignOnTouchOutside(false);
    shared->setEnable(false);
    shared->setEnable(false);
    foundation::setLogSink({});
    EXPECT_EQ(std::vector<std::string>(logged.end() - 2, logged.end()), (std::vector<std::string> { "disabled", "already disabled" }));
}

TEST_F(KeyboardTest, PreviousNextFollowSubviewTagAndPositionOrder)
{
    // Subview order: c, a, b; tags 3, 1, 2; positions: a top, then b, then c.
    auto c = addField(screen, CGRectMake(20, 300, 280, 30));
    auto a = addField(screen, CGRectMake(20, 100, 280, 30));
    auto b = addField(screen, CGRectMake(20, 200, 280, 30));
    c->setTag(3);
    a->setTag(1);
    b->setTag(2);
    auto hidden = addField(screen, CGRectMake(20, 150, 280, 30));
    hidden->setHidden(true);
    auto disabled = addField(screen, CGRectMake(20, 160, 280, 30));
    disabled->setEnabled(false);

    ASSERT_TRUE(a->becomeFirstResponder());
    EXPECT_EQ(manager->responderViews(), (kb::Views { c, a, b })) << "hidden and disabled inputs left out";
    EXPECT_TRUE(manager->canGoPrevious());
    EXPECT_TRUE(manager->canGoNext());

    manager->setToolbarManageBehaviour(1);
    EXPECT_FALSE(manager->canGoPrevious());
    manager->nextAction();
    EXPECT_TRUE(b->isFirstResponder());
    manager->nextAction();
    EXPECT_TRUE(c->isFirstResponder());
    EXPECT_FALSE(manager->canGoNext());
    EXPECT_FALSE(manager->goNext());
    EXPECT_TRUE(c->isFirstResponder());

    manager->setToolbarManageBehaviour(2);
    manager->previousAction();
    EXPECT_TRUE(b->isFirstResponder());
    manager->setToolbarManageBehaviour(3);
    EXPECT_TRUE(manager->responderViews().empty());
    EXPECT_FALSE(manager->goPrevious());

    manager->setShouldPlayInputClicks(true);
    auto clicks = UIDevice::currentDevice()->inputClickCount();
    manager->doneAction();
    EXPECT_FALSE(b->isFirstResponder());
    EXPECT_EQ(UIDevice::currentDevice()->inputClickCount(), clicks + 1);
}

TEST_F(KeyboardTest, NextRunsOverEveryFieldOfATableCellByCell)
{
    auto table = std::make_shared<UITableView>(screen->bounds());
    screen->addSubview(table);
    auto cell1 = UIView::create(CGRectMake(0, 0, 320, 44));
    auto cell2 = UIView::create(CGRectMake(0, 44, 320, 44));
    table->addSubview(cell2);
    table->addSubview(cell1);
    auto f2 = addField(cell1, CGRectMake(160, 5, 150, 30));
    auto f1 = addField(cell1, CGRectMake(10, 5, 150, 30));
    auto f3 = addField(cell2, CGRectMake(10, 5, 90, 30));
    auto f4 = addField(cell2, CGRectMake(110, 5, 90, 30));
    auto f5 = addField(cell2, CGRectMake(210, 5, 90, 30));

    ASSERT_TRUE(f1->becomeFirstResponder());
    EXPECT_EQ(manager->responderViews(), (kb::Views { f1, f2, f3, f4, f5 }));
    for (const auto& expected : { f2, f3, f4, f5 }) {
        ASSERT_TRUE(manager->goNext());
        EXPECT_TRUE(expected->isFirstResponder());
    }
}

} // namespace
} // namespace kbtest
