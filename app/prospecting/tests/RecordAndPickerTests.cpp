// Number records and the drop-down picker on their own: which phone values are numbers, nil for
// a missing phone, one kind's initializer leaving the others' properties nil; the picker's rows,
// choices by kind, the backdrop tap, and a picker whose owner removes it again.
#include <gtest/gtest.h>

#include "app/prospecting/RQPhoneModel.h"
#include "app/prospecting/YDMoreStytleView.h"
#include "platform/threading/NSThread.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIScreen.h"

namespace {

// A phone is kept only when it reads as a phone number; anything else, a missing one included,
// stays nil.
TEST(RQPhoneModel, OnlyTextsAndWholeNumbersThatReadAsPhoneNumbersAreNumbers)
{
    const std::pair<Value, std::optional<std::string>> cases[] = {
        { Value("13800138000"), "13800138000" },
        { Value(13800138000LL), "13800138000" },
        { Value("+86 138-0013-8000"), "+86 138-0013-8000" },
        { Value("138 - 0013"), "138 - 0013" },
        { Value::dictionary({ { "n", 1 } }), std::nullopt },
        { Value::array({ "13800138000" }), std::nullopt },
        { Value(true), std::nullopt },
        { Value("abc"), std::nullopt },
        { Value("  "), std::nullopt },
        { Value(""), std::nullopt },
        { Value::null(), std::nullopt },
        { Value(1e20), std::nullopt },
        { Value(13800138000.5), std::nullopt },
        { Value(-13800138000LL), std::nullopt },
        { Value("+"), std::nullopt },
        { Value(" 138"), std::nullopt },
        { Value("138-"), std::nullopt },
        { Value("138x"), std::nullopt },
        { Value("++138"), std::nullopt },
    };
    for (const auto& [value, expected] : cases) {
        auto item = Value::dictionary({ { "phone", value } });
        EXPECT_EQ(RQPhoneModel::initWithDic(item)->phoneName(), expected) << value.description();
        EXPECT_EQ(RQPhoneModel::initWithDic(item)->phoneNum(), expected) << value.description();
        EXPECT_EQ(RQPhoneModel::initWithHangYeDic(item)->hangPhone(), expected) << value.description();
    }
    // Items that are no dictionary have no phone.
    for (const auto& item : { Value::dictionary(), Value("13800138000"), Value::array({ 1 }), Value() }) {
        EXPECT_FALSE(RQPhoneModel::initWithDic(item)->phoneName()) << item.description();
        EXPECT_FALSE(RQPhoneModel::initWithHangYeDic(item)->hangPhone()) << item.description();
    }
}

class Picker : public ::testing::Test {
protected:
    void SetUp() override
    {
        threading::becomeMainThread();
        owner = UIView::create(UIScreen::mainScreen()->bounds());
    }
    std::shared_ptr<YDMoreStytleView> open(const Value& rows, const std::string& type)
    {
        auto picker = YDMoreStytleView::initWithFrame(CGRectMake(0, 0, 320, 568), rows, rows, type);
        picker->setTapActionBlock([this](const std::string& title, const std::string& id) { chosen.emplace_back(title, id); });
        owner->addSubview(picker);
        picker->mytableView()->layoutIfNeeded();
        return picker;
    }
    static std::string rowText(const std::shared_ptr<YDMoreStytleView>& picker, NSInteger row, std::size_t label = 0)
    {
        auto cell = picker->mytableView()->cellForRowAtIndexPath({ 0, row });
        if (!cell)
            return "<no cell>";
        auto labels = cell->contentView()->subviews();
        return label < labels.size() ? std::static_pointer_cast<UILabel>(labels[label])->text() : "<no label>";
    }
    std::shared_ptr<UIView> owner;
    std::vector<std::pair<std::string, std::string>> chosen;
};

// The lead screens take a backdrop tap as a blank choice; without a block it does nothing, and a
// row still leaves.
TEST_F(Picker, BackdropTapWithoutABlockDoesNothing)
{
    auto silent = YDMoreStytleView::initWithFrame(CGRectMake(0, 0, 320, 568), Value::array({ Value::dictionary() }), Value(), "leixing");
    owner->addSubview(silent);
    silent->backdrop()->gestureRecognizers()[0]->fire(UIGestureRecognizerStateEnded);
    EXPECT_EQ(silent->superview(), owner);
    silent->mytableView()->layoutIfNeeded();
    silent->mytableView()->userSelectRowAtIndexPath({ 0, 0 });
    EXPECT_FALSE(silent->superview());
}

TEST_F(Picker, AnOwnerThatDropsThePickerInItsBlockDoesNoHarm)
{
    auto held = open(Value::array({ Value::dictionary({ { "name", "a" }, { "id", 1 } }) }), "leixing");
    std::weak_ptr<YDMoreStytleView> weak = held;
    held->setTapActionBlock([&held](const std::string&, const std::string&) {
        held->removeFromSuperview();
        held.reset();
    });
    auto table = held->mytableView();
    table->userSelectRowAtIndexPath({ 0, 0 });
    EXPECT_FALSE(held);
    EXPECT_TRUE(weak.expired());
}

} // namespace
