// The simulated keyboard: notification order against the editing notifications, user info,
// typing through the delegates, and delegates that refuse editing, clearing or return.
#include "Fixture.h"

#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"

namespace {

const std::vector<std::string> kWatched = {
    UIKeyboardWillShowNotification,
    UIKeyboardDidShowNotification,
    UIKeyboardWillHideNotification,
    UIKeyboardDidHideNotification,
    UITextFieldTextDidBeginEditingNotification,
    UITextFieldTextDidEndEditingNotification,
    UITextViewTextDidBeginEditingNotification,
    UITextViewTextDidEndEditingNotification,
};

TEST_F(UIKitTest, EditingAndKeyboardNotificationsComeInOrder)
{
    std::vector<std::string> names;
    recordNotifications(names, kWatched);
    auto field = UITextField::create({ { 10, 100 }, { 200, 30 } });
    window->addSubview(field);
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_EQ(names, (std::vector<std::string> { UITextFieldTextDidBeginEditingNotification, UIKeyboardWillShowNotification }));
    advance(0.25);
    EXPECT_EQ(names.back(), UIKeyboardDidShowNotification);
    names.clear();
    ASSERT_TRUE(field->resignFirstResponder());
    EXPECT_EQ(names, (std::vector<std::string> { UITextFieldTextDidEndEditingNotification, UIKeyboardWillHideNotification }));
    advance(0.1);
    EXPECT_EQ(names.size(), 2u) << "did-hide waits for the duration";
    advance(0.2);
    EXPECT_EQ(names.back(), UIKeyboardDidHideNotification);

    // A text view shows the keyboard first, then begins.
    names.clear();
    auto text = UITextView::create({ { 0, 0 }, { 200, 100 } });
    window->addSubview(text);
    ASSERT_TRUE(text->becomeFirstResponder());
    EXPECT_EQ(names, (std::vector<std::string> { UIKeyboardWillShowNotification, UITextViewTextDidBeginEditingNotification }));
}

TEST_F(UIKitTest, MovingBetweenFieldsKeepsTheKeyboardUp)
{
    std::vector<std::string> names;
    recordNotifications(names, kWatched);
    auto a = UITextField::create({ { 0, 0 }, { 100, 30 } });
    auto b = UITextField::create({ { 0, 40 }, { 100, 30 } });
    window->addSubview(a);
    window->addSubview(b);
    a->becomeFirstResponder();
    names.clear();
    b->becomeFirstResponder();
    EXPECT_EQ(names, (std::vector<std::string> { UITextFieldTextDidEndEditingNotification,
                         UITextFieldTextDidBeginEditingNotification, UIKeyboardWillShowNotification }));
    EXPECT_TRUE(uikit::Keyboard::shared()->isVisible());
    EXPECT_EQ(window->firstResponder(), b);
    names.clear();
    window->endEditing(true);
    EXPECT_EQ(names, (std::vector<std::string> { UITextFieldTextDidEndEditingNotification, UIKeyboardWillHideNotification }));
}

TEST_F(UIKitTest, UserInfoCarriesFramesDurationAndCurve)
{
    Value info;
    observers.push_back(NSNotificationCenter::defaultCenter()->addObserverForName(UIKeyboardWillShowNotification, nullptr,
        nullptr, [&](const std::shared_ptr<NSNotification>& n) { info = n->userInfo(); }));
    auto field = UITextField::create({ { 0, 0 }, { 100, 30 } });
    field->setInputAccessoryView(UIView::create({ { 0, 0 }, { 320, 44 } }));
    window->addSubview(field);
    field->becomeFirstResponder();
    EXPECT_EQ(CGRectFromValue(info[UIKeyboardFrameEndUserInfoKey]), (CGRect { { 0, 568 - 260 }, { 320, 260 } }));
    EXPECT_EQ(CGRectFromValue(info[UIKeyboardFrameBeginUserInfoKey]).origin.y, 568);
    EXPECT_DOUBLE_EQ(info[UIKeyboardAnimationDurationUserInfoKey].doubleValue(), 0.25);
    EXPECT_EQ(info[UIKeyboardAnimationCurveUserInfoKey].integerValue(), 7);
}

// A text field delegate that records what it is asked and refuses what its flags say (and "x").
struct FieldDelegate : UITextFieldDelegate {
    bool begin = true, clear = true, ret = true, resignOnReturn = false;
    int returns = 0;
    std::vector<NSRange> ranges;
    bool textFieldShouldBeginEditing(const std::shared_ptr<UITextField>&) override { return begin; }
    bool textFieldShouldClear(const std::shared_ptr<UITextField>&) override { return clear; }
    bool textFieldShouldChangeCharactersInRange(const std::shared_ptr<UITextField>&, NSRange r, const std::string& s) override
    {
        ranges.push_back(r);
        return s != "x";
    }
    bool textFieldShouldReturn(const std::shared_ptr<UITextField>& f) override
    {
        ++returns;
        if (resignOnReturn)
            f->resignFirstResponder();
        return ret;
    }
};

TEST_F(UIKitTest, TypingGoesThroughTheDelegateInUtf16Ranges)
{
    auto guard = std::make_shared<FieldDelegate>();
    guard->resignOnReturn = true;
    auto field = UITextField::create({ { 0, 0 }, { 100, 30 } });
    field->setDelegate(guard);
    window->addSubview(field);
    int changes = 0;
    field->addTarget(nullptr, [&](const std::shared_ptr<UIControl>&) { ++changes; }, UIControlEventEditingChanged);
    EXPECT_FALSE(uikit::typeIntoFirstResponder("a")) << "nothing edits yet";
    window->sendTap({ 5, 5 });
    ASSERT_TRUE(field->isFirstResponder());
    EXPECT_TRUE(uikit::typeIntoFirstResponder("a😀xb\b"));
    EXPECT_EQ(field->text(), "a😀");
    EXPECT_EQ(changes, 4);
    ASSERT_EQ(guard->ranges.size(), 5u);
    EXPECT_EQ(guard->ranges[2], NSMakeRange(3, 0)) << "the emoji counts two units";
    EXPECT_EQ(guard->ranges[4], NSMakeRange(3, 1));
    uikit::typeIntoFirstResponder("\b");
    EXPECT_EQ(field->text(), "a");
    uikit::typeIntoFirstResponder("\n");
    EXPECT_EQ(guard->returns, 1);
    EXPECT_FALSE(field->isFirstResponder());
}

TEST_F(UIKitTest, ADelegateCanRefuseToBeginOrEnd)
{
    struct Refuser : UITextViewDelegate {
        bool allowEnd = false;
        bool textViewShouldEndEditing(const std::shared_ptr<UITextView>&) override { return allowEnd; }
    };
    auto refuser = std::make_shared<Refuser>();
    auto text = UITextView::create({ { 0, 0 }, { 200, 100 } });
    text->setDelegate(refuser);
    window->addSubview(text);
    ASSERT_TRUE(text->becomeFirstResponder());
    auto field = UITextField::create({ { 0, 200 }, { 100, 30 } });
    window->addSubview(field);
    EXPECT_FALSE(field->becomeFirstResponder()) << "the text view refuses to let go";
    EXPECT_EQ(window->firstResponder(), text);
    refuser->allowEnd = true;
    EXPECT_TRUE(field->becomeFirstResponder());
    field->setEnabled(false);
    field->resignFirstResponder();
    EXPECT_FALSE(field->becomeFirstResponder()) << "a disabled field cannot edit";
}

TEST_F(UIKitTest, TextViewTypesAtTheSelection)
{
    auto text = UITextView::create({ { 0, 0 }, { 200, 100 } });
    window->addSubview(text);
    text->setText("hello");
    text->becomeFirstResponder();
    text->setSelectedRange({ 1, 3 });
    uikit::typeIntoFirstResponder("a");
    EXPECT_EQ(text->text(), "hao");
    EXPECT_EQ(text->selectedRange(), NSMakeRange(2, 0));
    EXPECT_TRUE(CGRectIsInfinite(text->caretRectForPosition(99)));
    EXPECT_LT(text->caretRectForPosition(0).origin.x, text->caretRectForPosition(3).origin.x);
}

TEST_F(UIKitTest, ATextFieldDelegateCanRefuseEditingClearingAndReturn)
{
    auto gate = std::make_shared<FieldDelegate>();
    auto field = UITextField::create({ { 0, 0 }, { 200, 30 } });
    field->setDelegate(gate);
    field->setText("keep");
    window->addSubview(field);
    std::vector<std::string> names;
    recordNotifications(names, { UIKeyboardWillShowNotification, UITextFieldTextDidBeginEditingNotification });
    int exits = 0;
    field->addTarget(nullptr, [&](const std::shared_ptr<UIControl>&) { ++exits; }, UIControlEventEditingDidEndOnExit);

    gate->begin = false;
    window->sendTap({ 10, 10 });
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_TRUE(names.empty()) << "a refused begin shows no keyboard and posts nothing";
    EXPECT_FALSE(uikit::typeIntoFirstResponder("x"));

    gate->begin = true;
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_EQ(names.size(), 2u);
    gate->clear = false;
    field->clearText();
    EXPECT_EQ(field->text(), "keep");
    gate->ret = false;
    field->pressReturnKey();
    EXPECT_EQ(exits, 0) << "a refused return does not end on exit";
    gate->ret = true;
    field->pressReturnKey();
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(gate->returns, 2);
    gate->clear = true;
    field->clearText();
    EXPECT_EQ(field->text(), "");
}

} // namespace
