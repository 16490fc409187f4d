// A screen tied to its layout guides moves by its constraint, not its frame, and gets it back
// when the keyboard hides; the debugging descriptions of the view tree and relative transforms.
#include <regex>

#include "ui/tests/KBFixture.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIScrollView.h"

namespace kbtest {
namespace {

// Keyboard 216 + distance 10: its top (with the gap) at 568 − 226 = 342.
constexpr CGFloat kCoveredTop = 342;

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

TEST(KBViewHierarchyTest, DepthDescriptionsAndRelativeTransforms)
{
    auto root = UIView::create(CGRectMake(0, 0, 320, 568));
    auto scroll = UIScrollView::create(CGRectMake(0, 20, 320, 200));
    scroll->setContentSize(CGSizeMake(320, 1000));
    auto leaf = UIView::create(CGRectMake(0, 0, 10, 10));
    leaf->setTransform(CGAffineTransformMakeScale(2, 2));
    root->addSubview(scroll);
    scroll->addSubview(leaf);

    EXPECT_EQ(kb::depth(*root), 0);
    EXPECT_EQ(kb::depth(*leaf), 2);
    const std::string rootLine = "UIView: ( 0, 0, 320, 568 )";
    const std::string scrollLine = "UIScrollView: ( 0, 20, 320, 200 )contentSize: ( 320, 1000 )";
    const std::string leafLine = "UIView: ( -5, -5, 20, 20 )transform: [2, 0, 0, 2, 0, 0]";
    EXPECT_EQ(kb::debugHierarchy(*scroll), scrollLine);
    EXPECT_EQ(kb::debugHierarchy(*leaf), leafLine);
    EXPECT_EQ(kb::subHierarchy(*root), "\n" + rootLine + "\n|  " + scrollLine + "\n|  |  " + leafLine);
    EXPECT_EQ(kb::superHierarchy(*leaf), "\n" + rootLine + "\n|  " + scrollLine + "\n|  |  " + leafLine + "\n");

    scroll->setTransform(CGAffineTransformMakeScale(3, 3));
    EXPECT_EQ(kb::convertTransformToView(*leaf, nullptr), CGAffineTransformMakeScale(6, 6))
        << "outside any window: chained up to the root";
    EXPECT_EQ(kb::convertTransformToView(*leaf, scroll.get()), CGAffineTransformMakeScale(2, 2));
    EXPECT_EQ(kb::convertTransformToView(*scroll, leaf.get()), CGAffineTransformMakeScale(0.5, 0.5));

    EXPECT_TRUE(std::regex_match(kb::objectDescription(*leaf), std::regex("<UIView 0x[0-9a-f]+>")))
        << kb::objectDescription(*leaf);
}

TEST(KBViewHierarchyTest, AViewKnowsWhenTheNavigationQuestionAsksIt)
{
    struct Field : UITextField {
        mutable std::vector<bool> asked;
        bool canBecomeFirstResponder() const override
        {
            asked.push_back(kb::isAskingCanBecomeFirstResponder(*this));
            return UITextField::canBecomeFirstResponder();
        }
    };
    auto field = std::make_shared<Field>();
    EXPECT_TRUE(kb::canBecomeFirstResponderForNavigation(*field));
    (void)field->canBecomeFirstResponder();
    EXPECT_EQ(field->asked, (std::vector<bool> { true, false }));
    EXPECT_FALSE(kb::isAskingCanBecomeFirstResponder(*field));
}

} // namespace
} // namespace kbtest
