// Tags and alias validation: the allowed characters, the byte and count limits at their edges,
// and the filtered subset that must itself be valid.
#include <gtest/gtest.h>

#include "push/Client/PUSHTagAliasValidation.h"

namespace {

using Validation = PUSHTagAliasValidation;

// `count` distinct tags of exactly `bytes` bytes each: `stem`, the index, then 'a's.
Value tags(std::size_t count, std::size_t bytes = 4, const std::string& stem = "t")
{
    Value list = Value::array();
    for (std::size_t i = 0; i < count; ++i) {
        const std::string tag = stem + std::to_string(i);
        list.append(Value(tag + std::string(bytes - tag.size(), 'a')));
    }
    return list;
}

TEST(TagAliasValidation, AllowedCharactersAtTheEdgesOfTheirRanges)
{
    const std::pair<std::string, bool> cases[] = {
        { "", true }, { "azAZ09_", true }, { "\xE4\xB8\x80", true } /* U+4E00 */, { "\xE9\xBF\xBF", true } /* U+9FFF */,
        { "\xE4\xB7\xBF", false } /* U+4DFF */, { "\xEA\x80\x80", false } /* U+A000 */,
        { "\xF0\x9F\x98\x80", false } /* an emoji, two UTF-16 units */, { "a-b", false }, { "a b", false },
        // Malformed and overlong UTF-8 cannot smuggle a letter in.
        { "\xC1\xA1", false }, { "\xE4\xB8", false }, { "\x80", false }, { std::string("a\0b", 3), false },
    };
    for (const auto& [text, valid] : cases)
        EXPECT_EQ(push_client::isValidTagAlias(text), valid) << text;
}

TEST(TagAliasValidation, AliasTagAndCombinedLimitsFirstFailureWins)
{
    const std::string chinese13 = "中中中中中中中中中中中中中";
    Value over = tags(25, 40); // 1000 bytes, then one more
    over.append(Value("z"));
    const std::tuple<const char*, int, int> cases[] = {
        { "alias of 40 bytes", Validation::validateAlias(Value(std::string(40, 'a'))), 0 },
        { "alias of 41 bytes", Validation::validateAlias(Value(std::string(41, 'a'))), 6004 },
        { "alias of 39 bytes in 13 characters", Validation::validateAlias(Value(chinese13)), 0 },
        { "alias of 42 bytes in 14 characters", Validation::validateAlias(Value(chinese13 + "中")), 6004 },
        { "empty alias", Validation::validateAlias(Value("")), 0 },
        { "number alias", Validation::validateAlias(Value(1)), 6003 },
        { "null alias", Validation::validateAlias(Value::null()), 6003 },
        { "alias with a dot", Validation::validateAlias(Value("x.y")), 6003 },
        { "no tags", Validation::validateTags(Value::array()), 0 },
        { "100 tags", Validation::validateTags(tags(100)), 0 },
        // The count is checked before any tag: 101 invalid tags still give 6007.
        { "101 invalid tags", Validation::validateTags(tags(101, 5, "t-")), 6007 },
        { "tag of 41 bytes", Validation::validateTags(Value::array({ Value(std::string(41, 'a')) })), 6006 },
        { "number tag", Validation::validateTags(Value::array({ Value("ok"), Value(3) })), 6005 },
        { "tags not a list", Validation::validateTags(Value::dictionary()), 6005 },
        { "tags of 1000 bytes", Validation::validateTags(tags(25, 40)), 0 },
        { "tags of 1001 bytes", Validation::validateTags(over), 6008 },
        { "neither", Validation::validateTagsAlias(Value(), Value()), 6001 },
        { "both null", Validation::validateTagsAlias(Value::null(), Value::null()), 6001 },
        { "bad tag and bad alias", Validation::validateTagsAlias(Value::array({ Value("a-") }), Value(5)), 6005 },
        { "good tag and bad alias", Validation::validateTagsAlias(Value::array({ Value("a") }), Value(5)), 6003 },
        { "empty tags alone", Validation::validateTagsAlias(Value::array(), Value()), 0 },
        { "alias alone", Validation::validateTagsAlias(Value(), Value("only")), 0 },
    };
    for (const auto& [name, code, expected] : cases)
        EXPECT_EQ(code, expected) << name;
}

TEST(TagAliasValidation, FilteredTagsAreAValidSubset)
{
    const Value filtered = Validation::filterValidTags(tags(150));
    EXPECT_EQ(filtered.count(), 100u);
    EXPECT_EQ(filtered[0].asString(), "t0aa");

    Value mixed = Value::array({ Value("a-b"), Value(7), Value("good"), Value(std::string(41, 'x')), Value("中文") });
    const Value kept = Validation::filterValidTags(mixed);
    ASSERT_EQ(kept.count(), 2u);
    EXPECT_EQ(kept[1].asString(), "中文");
    EXPECT_TRUE(Validation::filterValidTags(Value("x")).isNil());

    // Forty tags of 40 bytes would be 1600 bytes: the subset stops within 1000 and validates.
    const Value big = Validation::filterValidTags(tags(40, 40));
    EXPECT_EQ(big.count(), 25u);
    EXPECT_EQ(Validation::validateTags(big), 0);
}

} // namespace
