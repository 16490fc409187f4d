// The placeholder text view used through a plain text view: text and font set there reach
// the placeholder as well.
#include "ui/tests/KBFixture.h"
#include "ui/KBTextView.h"

namespace kbtest {
namespace {

TEST_F(KeyboardTest, PlaceholderFollowsTextAndFontSetThroughAPlainTextView)
{
    auto view = KBTextView::create(CGRectMake(0, 100, 320, 100));
    screen->addSubview(view);
    view->setPlaceholder("说点什么");
    auto label = view->placeHolderLabel();
    ASSERT_TRUE(label);
    const CGFloat smallHeight = label->frame().size.height;

    std::shared_ptr<UITextView> plain = view;
    plain->setText("set through the base");
    EXPECT_EQ(label->alpha(), 0);
    plain->setText("");
    EXPECT_EQ(label->alpha(), 1);

    plain->setFont(UIFont::boldSystemFontOfSize(30));
    EXPECT_EQ(label->font().pointSize(), 30);
    EXPECT_GT(label->frame().size.height, smallHeight) << "laid out again in the new font";
}

} // namespace
} // namespace kbtest
