// The manager's keyboard distance set to NaN: read as no distance, so inputs still move clear
// of the keyboard.
#include <cmath>

#include "ui/tests/KBFixture.h"

namespace kbtest {
namespace {

TEST_F(KeyboardTest, NaNKeyboardDistanceIsNoDistanceAndFieldsStillMoveClear)
{
    manager->setKeyboardDistanceFromTextField(std::nan(""));
    EXPECT_EQ(manager->keyboardDistanceFromTextField(), 0);

    auto field = addField(screen, CGRectMake(20, 500 - restY, 280, 30));
    ASSERT_TRUE(field->becomeFirstResponder());
    auto frameInWindow = field->superview()->convertRectToView(field->frame(), nullptr);
    EXPECT_DOUBLE_EQ(CGRectGetMaxY(frameInWindow), 568 - 216) << "the field rests right on the keyboard";
}

} // namespace
} // namespace kbtest
