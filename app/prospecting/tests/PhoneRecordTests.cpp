// Number records on their own: a phone is kept as the server sent it ("%@" of the value), and
// which of those texts the import writes as a phone number. The lead screens walk the pickers,
// whose owners drop them in their blocks.
#include <gtest/gtest.h>

#include "app/prospecting/ContactBook.h"
#include "app/prospecting/RQPhoneModel.h"

namespace {

TEST(RQPhoneModel, APhoneIsKeptAsItsTextWhateverItIs)
{
    const std::pair<Value, std::string> cases[] = { { Value("13800138000"), "13800138000" },
        { Value(13800138000LL), "13800138000" }, { Value(" (020) 8888-1234 "), " (020) 8888-1234 " },
        { Value("abc"), "abc" }, { Value(true), "1" }, { Value::null(), "<null>" }, { Value(), "(null)" } };
    for (const auto& [value, expected] : cases) {
        auto item = Value::dictionary({ { "phone", value } });
        EXPECT_EQ(RQPhoneModel::initWithDic(item)->phoneName(), expected) << value.description();
        EXPECT_EQ(RQPhoneModel::initWithDic(item)->phoneNum(), expected) << value.description();
        EXPECT_EQ(RQPhoneModel::initWithHangYeDic(item)->hangPhone(), expected) << value.description();
    }
    // An item that is no dictionary has no phone: the text of a missing value.
    for (const auto& item : { Value("13800138000"), Value::array({ 1 }), Value() })
        EXPECT_EQ(RQPhoneModel::initWithDic(item)->phoneName(), "(null)") << item.description();
}

TEST(ContactBook, ANumberIsWrittenWhenItReadsAsAPhoneNumberOnceTrimmed)
{
    const std::pair<const char*, std::optional<std::string>> cases[] = { { "13800138000", "13800138000" },
        { " 13800138000\t", "13800138000" }, { "(020) 8888-1234", "(020) 8888-1234" },
        { "138.0013.8000", "138.0013.8000" }, { "+86 138-0000-0001", "+86 138-0000-0001" }, { "110", "110" },
        { "12", std::nullopt }, { "1", std::nullopt }, { "", std::nullopt }, { "   ", std::nullopt },
        { "+", std::nullopt }, { "++138", std::nullopt }, { "-13800138000", std::nullopt },
        { "138-", std::nullopt }, { "138x", std::nullopt }, { "(null)", std::nullopt }, { "<null>", std::nullopt },
        { "1e+20", std::nullopt }, { "138\n0013", std::nullopt } };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(prospecting::importableNumber(text), expected) << '"' << text << '"';
}

} // namespace
