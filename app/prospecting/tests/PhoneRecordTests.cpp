// Number records on their own: which phone values are numbers (nil for a missing phone or any
// other value). The lead screens walk the pickers, whose owners drop them in their blocks.
#include <gtest/gtest.h>

#include "app/prospecting/RQPhoneModel.h"

namespace {

// A phone is kept only when it reads as a phone number; anything else, a missing one included,
// stays nil.
TEST(RQPhoneModel, OnlyTextsAndWholeNumbersThatReadAsPhoneNumbersAreNumbers)
{
    const auto none = std::nullopt;
    const std::pair<Value, std::optional<std::string>> cases[] = { { Value("13800138000"), "13800138000" },
        { Value(13800138000LL), "13800138000" }, { Value("+86 138-0013-8000"), "+86 138-0013-8000" },
        { Value("138 - 0013"), "138 - 0013" }, { Value::dictionary({ { "n", 1 } }), none },
        { Value::array({ "13800138000" }), none }, { Value(true), none }, { Value("abc"), none }, { Value("  "), none },
        { Value(""), none }, { Value::null(), none }, { Value(1e20), none }, { Value(13800138000.5), none },
        { Value(-13800138000LL), none }, { Value("+"), none }, { Value(" 138"), none }, { Value("138-"), none },
        { Value("138x"), none }, { Value("++138"), none } };
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

} // namespace
