// Tags and alias validation: the allowed characters, the byte and count limits at their edges,
// and the filtered subset that must itself be valid.
#include <gtest/gtest.h>

#include "push/Client/PUSHTagAliasValidation.h"

namespace {

Value tags(std::size_t count, const std::string& stem)
{
    Value list = Value::array();
    for (std::size_t i = 0; i < count; ++i) {
        std::string tag = stem + std::to_string(i);
        list.append(Value(tag));
    }
    return list;
}

// Tags of exactly `bytes` bytes each, distinct.
Value tagsOfBytes(std::size_t count, std::size_t bytes)
{
    Value list = Value::array();
    for (std::size_t i = 0; i < count; ++i) {
        std::string tag = std::to_string(i);
        tag += std::string(bytes - tag.size(), 'a');
        list.append(Value(tag));
    }
    return list;
}

std::string repeat(const std::string& piece, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

} // namespace

TEST(TagAliasValidation, AllowedCharactersAtTheEdgesOfTheirRanges)
{
    using push_client::isValidTagAlias;
    EXPECT_TRUE(isValidTagAlias(""));
    EXPECT_TRUE(isValidTagAlias("azAZ09_"));
    EXPECT_TRUE(isValidTagAlias("\xE4\xB8\x80")); // U+4E00
    EXPECT_TRUE(isValidTagAlias("\xE9\xBF\xBF")); // U+9FFF
    EXPECT_FALSE(isValidTagAlias("\xE4\xB7\xBF")); // U+4DFF
    EXPECT_FALSE(isValidTagAlias("\xEA\x80\x80")); // U+A000
    EXPECT_FALSE(isValidTagAlias("\xF0\x9F\x98\x80")); // an emoji, two UTF-16 units
    EXPECT_FALSE(isValidTagAlias("a-b"));
    EXPECT_FALSE(isValidTagAlias("a b"));
    // Malformed and overlong UTF-8 cannot smuggle a letter in.
    EXPECT_FALSE(isValidTagAlias("\xC1\xA1"));
    EXPECT_FALSE(isValidTagAlias("\xE4\xB8"));
    EXPECT_FALSE(isValidTagAlias("\x80"));
    EXPECT_FALSE(isValidTagAlias(std::string("a\0b", 3)));
}

TEST(TagAliasValidation, AliasLimitsAndTypes)
{
    EXPECT_EQ(PUSHTagAliasValidation::validateAlias(Value(std::string(40, 'a'))), 0);
    EXPECT_EQ(PUSHTagAliasValidation::validateAlias(Value(std::string(41, 'a'))), 6004);
    EXPECT_EQ(PUSHTagAliasValidation::validateAlias(Value(repeat("中", 13))), 0); // 39 bytes
    EXPECT_EQ(PUSHTagAliasValidation::validateAlias(Value(repeat("中", 14))), 6004); // 42 bytes
    EXPECT_EQ(PUSHTagAliasValidation::validateAlias(Value("")), 0);
    EXPECT_EQ(PUSHTagAliasValidation::validateAlias(Value(1)), 6003);
    EXPECT_EQ(PUSHTagAliasValidation::validateAlias(Value::null()), 6003);
    EXPECT_EQ(PUSHTagAliasValidation::validateAlias(Value("x.y")), 6003);
}

TEST(TagAliasValidation, TagLimitsCountsAndTotals)
{
    EXPECT_EQ(PUSHTagAliasValidation::validateTags(Value::array()), 0);
    EXPECT_EQ(PUSHTagAliasValidation::validateTags(tags(100, "t")), 0);
    // The count is checked before any tag: 101 invalid tags still give 6007.
    EXPECT_EQ(PUSHTagAliasValidation::validateTags(tags(101, "t-")), 6007);
    EXPECT_EQ(PUSHTagAliasValidation::validateTags(Value::array({ Value(std::string(41, 'a')) })), 6006);
    EXPECT_EQ(PUSHTagAliasValidation::validateTags(Value::array({ Value("ok"), Value(3) })), 6005);
    EXPECT_EQ(PUSHTagAliasValidation::validateTags(Value::dictionary()), 6005);
    EXPECT_EQ(PUSHTagAliasValidation::validateTags(tagsOfBytes(25, 40)), 0); // 1000 bytes
    Value over = tagsOfBytes(25, 40);
    over.append(Value("z"));
    EXPECT_EQ(PUSHTagAliasValidation::validateTags(over), 6008);
}

TEST(TagAliasValidation, FirstFailureWins)
{
    EXPECT_EQ(PUSHTagAliasValidation::validateTagsAlias(Value(), Value()), 6001);
    EXPECT_EQ(PUSHTagAliasValidation::validateTagsAlias(Value::null(), Value::null()), 6001);
    EXPECT_EQ(PUSHTagAliasValidation::validateTagsAlias(Value::array({ Value("a-") }), Value(5)), 6005);
    EXPECT_EQ(PUSHTagAliasValidation::validateTagsAlias(Value::array({ Value("a") }), Value(5)), 6003);
    EXPECT_EQ(PUSHTagAliasValidation::validateTagsAlias(Value::array(), Value()), 0);
    EXPECT_EQ(PUSHTagAliasValidation::validateTagsAlias(Value(), Value("only")), 0);
}

TEST(TagAliasValidation, FilteredTagsAreAValidSubset)
{
    const Value many = tags(150, "t");
    const Value filtered = PUSHTagAliasValidation::filterValidTags(many);
    EXPECT_EQ(filtered.count(), 100u);
    EXPECT_EQ(filtered[0].asString(), "t0");

    Value mixed = Value::array({ Value("a-b"), Value(7), Value("good"), Value(std::string(41, 'x')), Value("中文") });
    const Value kept = PUSHTagAliasValidation::filterValidTags(mixed);
    ASSERT_EQ(kept.count(), 2u);
    EXPECT_EQ(kept[1].asString(), "中文");
    EXPECT_TRUE(PUSHTagAliasValidation::filterValidTags(Value("x")).isNil());

    // Forty tags of 40 bytes would be 1600 bytes: the subset stops within 1000 and validates.
    const Value big = PUSHTagAliasValidation::filterValidTags(tagsOfBytes(40, 40));
    EXPECT_EQ(big.count(), 25u);
    EXPECT_EQ(PUSHTagAliasValidation::validateTags(big), 0);
}
