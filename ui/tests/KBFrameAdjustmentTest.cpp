// The keyboard cycle as a person meets it: a field low on the screen moves clear of the
// keyboard and back; a field already clear stays put; scroll views absorb the move first and
// get a bottom inset; a screen tied to its layout guides moves by its constraint and gets it
// back; switching the manager off undoes everything and switching it on again replays the
// keyboard; text views keep the caret in sight or shrink above the keyboard; before system 8
// the moves follow the interface orientation.
#include "ui/tests/KBFixture.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIKitCore.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIScrollView.h"

namespace kbtest {
namespace {

// Keyboard 216 + distance 10 = 226; its top (with the gap) at 568 − 226 = 342.
constexpr CGFloat kCoveredTop = 342;

TEST_F(KeyboardTest, LowFieldMovesTheRootViewUpAndBackWhenTheKeyboardHides)
{
    auto field = addField(screen, CGRectMake(20, 500 - restY, 280, 30));
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_EQ(manager->textFieldView(), field);
    EXPECT_DOUBLE_EQ(rootY(), -(530 - kCoveredTop)) << "bottom of the field meets the gap above the keyboard";
    auto frameInWindow = field->superview()->convertRectToView(field->frame(), nullptr);
    EXPECT_DOUBLE_EQ(CGRectGetMaxY(frameInWindow), kCoveredTop);
    ASSERT_FALSE(uikit::animationLog().empty());
    EXPECT_EQ(uikit::animationLog().back().options, (7u << 16) | UIViewAnimationOptionBeginFromCurrentState)
        << "the keyboard's own curve, from the current state";

    ASSERT_TRUE(field->resignFirstResponder());
    EXPECT_EQ(manager->textFieldView(), nullptr);
    EXPECT_DOUBLE_EQ(rootY(), 0) << "back where it was";
    advance(0.3);

    // A second cycle starts from the restored frame, not from the moved one.
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_DOUBLE_EQ(rootY(), -(530 - kCoveredTop));
}

TEST_F(KeyboardTest, FieldAlreadyClearOrLowerLimitsOwnDistanceAndMovingBetweenFields)
{
    auto high = addField(screen, CGRectMake(20, 100 - restY, 280, 30));
    auto low = addField(screen, CGRectMake(20, 520 - restY, 280, 45)); // bottom at 565
    auto own = addField(screen, CGRectMake(20, 400 - restY, 280, 30));
    kb::setKeyboardDistanceFromTextField(*own, 40);
    ASSERT_TRUE(high->becomeFirstResponder());
    EXPECT_DOUBLE_EQ(rootY(), 0) << "spare room moves nothing";

    ASSERT_TRUE(low->becomeFirstResponder());
    EXPECT_DOUBLE_EQ(rootY(), -216) << "never more than the keyboard's height: no blank space below";

    // Back to the high field while the keyboard stays up: the view comes down, never below rest.
    ASSERT_TRUE(high->becomeFirstResponder());
    EXPECT_DOUBLE_EQ(rootY(), 0);
    ASSERT_TRUE(own->becomeFirstResponder());
    EXPECT_DOUBLE_EQ(rootY(), -(430 - (568 - 216 - 40))) << "an input's own keyboard distance wins";

    ASSERT_TRUE(own->resignFirstResponder());
    advance(0.3);
    manager->setPreventShowingBottomBlankSpace(false);
    ASSERT_TRUE(low->becomeFirstResponder());
    EXPECT_DOUBLE_EQ(rootY(), -(565 - kCoveredTop)) << "without the limit the whole overlap";
}

TEST_F(KeyboardTest, ScrollViewAbsorbsTheMoveAndTakesABottomInsetUntilHidden)
{
    auto scroll = UIScrollView::create(screen->bounds());
    scroll->setContentSize(CGSizeMake(320, 1000));
    screen->addSubview(scroll);
    auto field = addField(scroll, CGRectMake(20, 500 - restY, 280, 30));
    ASSERT_TRUE(field->becomeFirstResponder());

    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 530 - kCoveredTop) << "scrolled by the overlap";
    EXPECT_DOUBLE_EQ(rootY(), 0) << "nothing left for the root view";
    CGFloat overlap = 216 + 10 - (568 - CGRectGetMaxY(scroll->convertRectToView(scroll->bounds(), nullptr)) - restY);
    EXPECT_DOUBLE_EQ(scroll->contentInset().bottom, overlap);
    EXPECT_DOUBLE_EQ(scroll->scrollIndicatorInsets().bottom, overlap - 10);

    ASSERT_TRUE(field->resignFirstResponder());
    EXPECT_EQ(scroll->contentInset(), UIEdgeInsetsZero);
    EXPECT_EQ(scroll->scrollIndicatorInsets(), UIEdgeInsetsZero);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 530 - kCoveredTop) << "the offset stays unless asked";
    advance(0.3);

    scroll->setContentOffset(CGPointMake(0, 0));
    kb::setShouldRestoreScrollViewContentOffset(*scroll, true);
    ASSERT_TRUE(field->becomeFirstResponder());
    ASSERT_TRUE(field->resignFirstResponder());
    advance(0.3);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0) << "restored when the scroll view asks for it";
}

TEST_F(KeyboardTest, MovingToAFieldInAnotherScrollViewRestoresTheFirstAndTheFieldTopLimitsTheScroll)
{
    auto first = UIScrollView::create(CGRectMake(0, 0, 320, 400));
    first->setContentInset(UIEdgeInsetsMake(0, 0, 5, 0));
    // A short scroll view low on the screen whose field sits at its very top: scrolling can
    // bring the field no higher than the scroll view's top.
    auto second = UIScrollView::create(CGRectMake(0, 440 - restY, 320, 120));
    second->setContentSize(CGSizeMake(320, 400));
    screen->addSubview(first);
    screen->addSubview(second);
    auto a = addField(first, CGRectMake(0, 300, 100, 30));
    auto b = addField(second, CGRectMake(20, 50, 280, 30)); // 490..520 in the window
    ASSERT_TRUE(a->becomeFirstResponder());
    EXPECT_GT(first->contentInset().bottom, 5);
    ASSERT_TRUE(b->becomeFirstResponder());
    EXPECT_EQ(first->contentInset(), UIEdgeInsetsMake(0, 0, 5, 0)) << "its own inset back";
    EXPECT_GT(second->contentInset().bottom, 0);
    EXPECT_DOUBLE_EQ(second->contentOffset().y, 50) << "limited by the field's own top";
    EXPECT_DOUBLE_EQ(rootY(), -(520 - kCoveredTop - 50)) << "the rest moves the root view";
}

TEST_F(KeyboardTest, LayoutGuideConstraintMovesInsteadOfTheRootViewAndComesBackOnHide)
{
    struct Case {
        const char* what;
        bool bottomGuide;
        CGFloat containerY; // a 100-point container; the field's bottom is 90 below its top
        CGFloat initial;
        CGFloat shown; // the constant while the keyboard shows
    };
    const Case cases[] = {
        // Bottom guide: the constant grows by the overlap, 400 + 90 − 342 = 148.
        { "bottom guide lifts by the overlap", true, 400, 0, 148 },
        { "bottom guide never goes below its initial constant", true, 100, 0, 0 },
        // Top guide: container.top = guide + constant, lowered by the same overlap.
        { "top guide lowers its constant by the overlap", false, 400, 400, 400 - 148 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto container = UIView::create(CGRectMake(0, c.containerY, 320, 100));
        screen->addSubview(container);
        auto field = addField(container, CGRectMake(20, 60, 280, 30));
        auto constraint = c.bottomGuide
            ? NSLayoutConstraint::constraintWithItem(controller->bottomLayoutGuide(), NSLayoutAttributeTop,
                  NSLayoutRelationEqual, container, NSLayoutAttributeBottom, 1, c.initial)
            : NSLayoutConstraint::constraintWithItem(container, NSLayoutAttributeTop, NSLayoutRelationEqual,
                  controller->topLayoutGuide(), NSLayoutAttributeBottom, 1, c.initial);
        kb::setKBLayoutGuideConstraint(*controller, constraint);
        uikit::clearAnimationLog();

        ASSERT_TRUE(field->becomeFirstResponder());
        EXPECT_EQ(constraint->constant(), c.shown);
        EXPECT_EQ(screen->frame().origin.y, 0) << "the root view stays";
        if (c.shown != c.initial) {
            EXPECT_EQ(CGRectGetMaxY(field->convertRectToView(field->bounds(), nullptr)), kCoveredTop);
            ASSERT_FALSE(uikit::animationLog().empty());
            EXPECT_EQ(uikit::animationLog().back().options, 0x70004u);
        }

        // Editing ends before the keyboard hides: the constant still comes back.
        ASSERT_TRUE(field->resignFirstResponder());
        EXPECT_EQ(constraint->constant(), c.initial);
        EXPECT_EQ(container->frame().origin.y, c.containerY);
        advance(0.3);
        kb::setKBLayoutGuideConstraint(*controller, nullptr);
        container->removeFromSuperview();
    }
}

TEST_F(KeyboardTest, DisablingUndoesAndEnablingReplaysTheShownKeyboard)
{
    auto field = addField(screen, CGRectMake(20, 500 - restY, 280, 30));
    ASSERT_TRUE(field->becomeFirstResponder());
    ASSERT_LT(rootY(), 0);

    manager->setEnable(false);
    EXPECT_FALSE(manager->isEnabled());
    EXPECT_DOUBLE_EQ(rootY(), 0) << "switching off restores as a hide would";
    manager->setEnable(false);
    EXPECT_DOUBLE_EQ(rootY(), 0);

    manager->setEnable(true);
    EXPECT_DOUBLE_EQ(rootY(), -(530 - kCoveredTop)) << "the keyboard still shows: its notification is replayed";

    window->endEditing(true);
    advance(1);
    EXPECT_DOUBLE_EQ(rootY(), 0) << "the replayed move is undone when the keyboard hides";
}

TEST_F(KeyboardTest, DisabledManagerMovesNothingAndDisabledControllerClassesAreLeftAlone)
{
    manager->setEnable(false);
    auto field = addField(screen, CGRectMake(20, 500 - restY, 280, 30));
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_DOUBLE_EQ(rootY(), 0);
    EXPECT_EQ(manager->textFieldView(), field) << "it still follows the editing input";
    ASSERT_TRUE(field->resignFirstResponder());
    advance(0.3);

    manager->setEnable(true);
    manager->disableInViewControllerClass(kb::ViewClass::of<UIViewController>("UIViewController"));
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_DOUBLE_EQ(rootY(), 0);
    ASSERT_TRUE(field->resignFirstResponder());
    advance(0.3);

    manager->removeDisableDistanceHandlingInViewControllerClass(kb::ViewClass::of<UIViewController>("UIViewController"));
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_LT(rootY(), 0);
}

TEST_F(KeyboardTest, TextViewCaretStaysVisibleWhileTypingAndATextViewShrinksAboveTheKeyboard)
{
    auto textView = UITextView::create(CGRectMake(0, 40, 320, 60));
    screen->addSubview(textView);
    ASSERT_TRUE(textView->becomeFirstResponder());
    for (int i = 0; i < 8; ++i)
        uikit::typeIntoFirstResponder("line\n");
    auto caret = textView->caretRectForPosition(textView->selectedRange().location);
    auto inset = textView->contentInset();
    CGFloat visibleBottom = textView->contentOffset().y + textView->bounds().size.height - inset.bottom - inset.top;
    EXPECT_GT(textView->contentOffset().y, 0);
    EXPECT_NEAR(visibleBottom - CGRectGetMaxY(caret), 7, 1e-9) << "a 7-point margin below the caret";
    ASSERT_TRUE(textView->resignFirstResponder());
    advance(0.3);

    manager->setCanAdjustTextView(true);
    textView->setFrame(CGRectMake(0, 30 - restY, 320, 500));
    ASSERT_TRUE(textView->becomeFirstResponder());
    EXPECT_DOUBLE_EQ(textView->frame().size.height, (568 - 216 - 10) - (20 + 5));
    ASSERT_TRUE(textView->resignFirstResponder());
    EXPECT_DOUBLE_EQ(textView->frame().size.height, 500);
}


// Before system 8 the window keeps portrait coordinates: in the other orientations the keyboard
// lies along another screen edge and the root view moves along the axis that is "up".
class OlderSystemKeyboardTest : public KeyboardTest {
protected:
    void SetUp() override
    {
        KeyboardTest::SetUp();
        UIDevice::currentDevice()->setSystemVersion("7.1");
    }
    void TearDown() override
    {
        window->endEditing(true);
        advance(1);
        UIApplication::sharedApplication()->setStatusBarOrientation(UIInterfaceOrientationPortrait);
        KeyboardTest::TearDown();
    }
    void rotate(UIInterfaceOrientation orientation)
    {
        UIApplication::sharedApplication()->setStatusBarOrientation(orientation);
    }
};

TEST_F(OlderSystemKeyboardTest, RootViewMovesAlongTheInterfacesVerticalAxisAndBack)
{
    // Status bar 20 wide or high; keyboard 216 + distance 10 = 226 from the interface's bottom edge.
    struct Case {
        const char* what;
        UIInterfaceOrientation orientation;
        CGRect field; // in window coordinates
        CGPoint moved; // the root view's origin while the keyboard shows
    };
    const Case cases[] = {
        // min((320 − 130) − 25, 226 − 100) = 126 towards +x.
        { "landscape right", UIInterfaceOrientationLandscapeRight, CGRectMake(100, 200, 30, 200), { 126, 0 } },
        // min(190 − 25, 220 − (320 − 226)) = 126 towards −x.
        { "landscape left", UIInterfaceOrientationLandscapeLeft, CGRectMake(190, 200, 30, 200), { -126, 0 } },
        // min((568 − 180) − 25, 226 − 150) = 76 towards +y.
        { "upside down", UIInterfaceOrientationPortraitUpsideDown, CGRectMake(20, 150, 280, 30), { 0, 76 } },
        // 226 wanted, but no further than the keyboard's width less the distance.
        { "landscape right, no blank space", UIInterfaceOrientationLandscapeRight, CGRectMake(0, 200, 30, 200), { 216, 0 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        rotate(c.orientation);
        CGRect frame = c.field;
        frame.origin.y -= restY;
        auto field = addField(screen, frame);
        ASSERT_TRUE(field->becomeFirstResponder());
        EXPECT_DOUBLE_EQ(screen->frame().origin.x, c.moved.x);
        EXPECT_DOUBLE_EQ(rootY(), c.moved.y);
        ASSERT_TRUE(field->resignFirstResponder());
        advance(0.3);
        EXPECT_DOUBLE_EQ(screen->frame().origin.x, 0);
        EXPECT_DOUBLE_EQ(rootY(), 0);
        field->removeFromSuperview();
    }
}

TEST_F(OlderSystemKeyboardTest, LandscapeShrinksATextViewAcrossAndLimitsAFormSheetWithoutHalving)
{
    rotate(UIInterfaceOrientationLandscapeRight);
    manager->setCanAdjustTextView(true);
    auto textView = UITextView::create(CGRectMake(250, 30 - restY, 60, 500));
    screen->addSubview(textView);
    ASSERT_TRUE(textView->becomeFirstResponder());
    EXPECT_DOUBLE_EQ(textView->frame().size.height, (320 - 226) - (20 + 5));
    ASSERT_TRUE(textView->resignFirstResponder());
    EXPECT_DOUBLE_EQ(textView->frame().size.height, 500);
    advance(0.3);

    auto sheet = std::make_shared<UIViewController>();
    sheet->setModalPresentationStyle(UIModalPresentationFormSheet);
    controller->presentViewController(sheet, false);
    advance(0.1);
    sheet->view()->setFrame(CGRectMake(0, 100, 320, 100));
    auto field = addField(sheet->view(), CGRectMake(100, 10, 30, 60));
    ASSERT_TRUE(field->becomeFirstResponder());
    // Up by min((320 − 130) − 25, 226 − 100) = 126 to −26, limited by (320 − 100 − 20) − 216.
    EXPECT_DOUBLE_EQ(sheet->view()->frame().origin.y, -16);
}

} // namespace
} // namespace kbtest
