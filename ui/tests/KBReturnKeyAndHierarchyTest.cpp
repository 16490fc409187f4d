// The return-key handler (Next on all but the last input, return moving on, originals given
// back, a screen delegate that refuses), the placeholder text view, and the view-tree lookups
// and per-view settings the manager relies on.
#include <cfloat>
#include <cmath>

#include "ui/tests/KBFixture.h"
#include "ui/KBKeyboardReturnKeyHandler.h"
#include "ui/KBTextView.h"

namespace kbtest {
namespace {

class ScreenDelegate : public KBReturnKeyHandlerDelegate {
public:
    bool allowReturn = true;
    int returns = 0;
    bool textFieldShouldReturn(const std::shared_ptr<UITextField>&) override
    {
        ++returns;
        return allowReturn;
    }
    bool textViewShouldInteractWithURL(const std::shared_ptr<UITextView>&, const NSURL&, NSRange) override
    {
        return false;
    }
};

TEST_F(KeyboardTest, ReturnKeyMovesThroughTheFieldsAndEndsOnTheLast)
{
    auto a = addField(screen, CGRectMake(20, 100, 280, 30));
    auto b = addField(screen, CGRectMake(20, 150, 280, 30));
    auto c = addField(screen, CGRectMake(20, 200, 280, 30));
    auto original = std::make_shared<ScreenDelegate>();
    c->setDelegate(std::weak_ptr<UITextFieldDelegate>(original));
    c->setReturnKeyType(UIReturnKeyDone);

    auto handler = KBKeyboardReturnKeyHandler::initWithViewController(controller);
    handler->setLastTextFieldReturnKeyType(UIReturnKeyGo);
    handler->addTextFieldView(c); // a second take-over changes nothing
    Value info = handler->textFieldCachedInfo(*c);
    EXPECT_EQ(info[kKBTextField].asObject<UITextField>(), c);
    EXPECT_EQ(info[kKBTextFieldReturnKeyType].integerValue(), UIReturnKeyDone);
    auto former = info[kKBTextFieldDelegate].asObject<KBTextFieldDelegateReference>();
    ASSERT_TRUE(former);
    EXPECT_EQ(former->field.lock(), original);
    EXPECT_FALSE(handler->textFieldCachedInfo(*a)[kKBTextFieldDelegate]) << "absent when it had no delegate";
    EXPECT_FALSE(handler->textFieldCachedInfo(*UITextField::create())) << "not taken over";
    ASSERT_TRUE(a->becomeFirstResponder());
    EXPECT_EQ(a->returnKeyType(), UIReturnKeyNext);
    a->pressReturnKey();
    EXPECT_TRUE(b->isFirstResponder());
    EXPECT_EQ(b->returnKeyType(), UIReturnKeyNext);
    b->pressReturnKey();
    EXPECT_TRUE(c->isFirstResponder());
    EXPECT_EQ(c->returnKeyType(), UIReturnKeyGo) << "the last input shows the chosen key";
    EXPECT_EQ(original->returns, 0) << "its earlier delegate is not called while taken over";
    c->pressReturnKey();
    EXPECT_FALSE(c->isFirstResponder()) << "return on the last ends editing";

    handler->removeTextFieldView(c);
    EXPECT_FALSE(handler->textFieldCachedInfo(*c));
    EXPECT_EQ(c->returnKeyType(), UIReturnKeyDone);
    EXPECT_EQ(c->delegate(), original) << "the original delegate, not the handler";
    handler.reset();
    EXPECT_EQ(a->delegate(), nullptr);
    EXPECT_EQ(a->returnKeyType(), UIReturnKeyDefault);
}

TEST_F(KeyboardTest, ScreenDelegateRefusingReturnKeepsEditingAndTextViewReturnMovesOn)
{
    auto a = addField(screen, CGRectMake(20, 100, 280, 30));
    auto text = UITextView::create(CGRectMake(20, 150, 280, 60));
    screen->addSubview(text);
    auto b = addField(screen, CGRectMake(20, 250, 280, 30));
    auto handler = KBKeyboardReturnKeyHandler::initWithViewController(controller);
    auto screenDelegate = std::make_shared<ScreenDelegate>();
    screenDelegate->allowReturn = false;
    handler->setDelegate(screenDelegate);

    ASSERT_TRUE(a->becomeFirstResponder());
    a->pressReturnKey();
    EXPECT_EQ(screenDelegate->returns, 1);
    EXPECT_TRUE(a->isFirstResponder());

    ASSERT_TRUE(text->becomeFirstResponder());
    uikit::typeIntoFirstResponder("hi\n");
    EXPECT_TRUE(b->isFirstResponder()) << "return in a text view moves on";
    EXPECT_EQ(text->text(), "hi\n") << "and the new line is still inserted";

    // Link and attachment taps reach the screen's delegate; unanswered ones are allowed.
    auto asked = text->textViewDelegate();
    ASSERT_EQ(asked, handler);
    NSRange range { 0, 1 };
    EXPECT_FALSE(asked->textViewShouldInteractWithURL(text, *NSURL::URLWithString("http://a.example/"), range));
    EXPECT_TRUE(asked->textViewShouldInteractWithTextAttachment(text, std::make_shared<NSTextAttachment>(), range));
}

TEST_F(KeyboardTest, PlaceholderTextViewShowsItsPlaceholderOnlyWhileEmptyHoweverItWasMade)
{
    for (bool factory : { true, false }) {
        SCOPED_TRACE(factory ? "made by its factory" : "made by its constructor");
        auto frame = CGRectMake(0, 100, 320, 100);
        auto view = factory ? KBTextView::create(frame) : std::make_shared<KBTextView>(frame);
        screen->addSubview(view);
        view->setPlaceholder("说点什么");
        ASSERT_TRUE(view->placeHolderLabel());
        EXPECT_EQ(view->placeHolderLabel()->alpha(), 1);
        EXPECT_EQ(view->placeHolderLabel()->frame().origin, CGPointMake(8, 8));
        EXPECT_EQ(view->placeHolderLabel()->frame().size.width, 304);

        ASSERT_TRUE(view->becomeFirstResponder());
        uikit::typeIntoFirstResponder("a");
        EXPECT_EQ(view->placeHolderLabel()->alpha(), 0) << "typing the first character hides it";
        uikit::typeIntoFirstResponder("\b");
        EXPECT_EQ(view->placeHolderLabel()->alpha(), 1) << "deleting the last shows it again";
        view->setText("set in code");
        EXPECT_EQ(view->placeHolderLabel()->alpha(), 0);
        view->setText("");
        EXPECT_EQ(view->placeHolderLabel()->alpha(), 1);
        ASSERT_TRUE(view->resignFirstResponder());
        view->removeFromSuperview();
    }
}

TEST_F(KeyboardTest, KeyboardDistanceOfAViewIsClampedAndForgottenWithTheView)
{
    auto view = UIView::create();
    kb::setKeyboardDistanceFromTextField(*view, -5);
    EXPECT_EQ(kb::keyboardDistanceFromTextField(*view), 0);
    kb::setKeyboardDistanceFromTextField(*view, 12.3);
    EXPECT_EQ(kb::keyboardDistanceFromTextField(*view), static_cast<double>(12.3f));
    kb::setKeyboardDistanceFromTextField(*view, std::nan(""));
    EXPECT_EQ(kb::keyboardDistanceFromTextField(*view), 0) << "NaN is no distance";
    kb::setKeyboardDistanceFromTextField(*view, 1e300);
    EXPECT_EQ(kb::keyboardDistanceFromTextField(*view), static_cast<double>(FLT_MAX)) << "no undefined narrowing";

    manager->setKeyboardDistanceFromTextField(-3);
    EXPECT_EQ(manager->keyboardDistanceFromTextField(), 0);
}

TEST_F(KeyboardTest, LookupsFindTheTopController)
{
    auto field = addField(screen, CGRectMake(0, 0, 100, 30));
    EXPECT_EQ(kb::viewController(*field), controller);
    EXPECT_EQ(kb::topMostController(*field), controller);
    auto presented = std::make_shared<UIViewController>();
    controller->presentViewController(presented, false);
    advance(0.1);
    EXPECT_EQ(kb::topMostController(*window), presented);
    auto modalField = addField(presented->view(), CGRectMake(0, 0, 100, 30));
    EXPECT_EQ(kb::topMostController(*modalField), presented);
    EXPECT_EQ(kb::topMostController(*UIView::create()), nullptr) << "outside any window";
}

} // namespace
} // namespace kbtest
