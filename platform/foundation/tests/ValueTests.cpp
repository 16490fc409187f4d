// What callers rely on of Value: absent versus null, lenient reads, "%@" texts, equality.
#include "platform/foundation/Value.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <stdexcept>
#include <unordered_set>

TEST(Value, AbsentAndNullAreDifferentAndDescribeAsThePlatform)
{
    Value absent;
    Value null = Value::null();
    EXPECT_TRUE(absent.isAbsent());
    EXPECT_TRUE(null.isNull());
    EXPECT_FALSE(absent == null);
    EXPECT_EQ(absent.description(), "(null)");
    EXPECT_EQ(null.description(), "<null>");
    EXPECT_EQ(Value(7.0).description(), "7");
    EXPECT_EQ(Value(0.1).description(), "0.1");
    EXPECT_EQ(Value(true).description(), "1");
    EXPECT_EQ(Value(-42).description(), "-42");
    EXPECT_EQ(Value(UINT64_MAX).description(), "18446744073709551615");
}

TEST(Value, LenientNumberReads)
{
    EXPECT_EQ(Value(" 12abc").integerValue(), 12);
    EXPECT_EQ(Value("x").integerValue(), 0);
    EXPECT_EQ(Value("-7").integerValue(), -7);
    EXPECT_EQ(Value("99999999999999999999").integerValue(), INT64_MAX);
    EXPECT_EQ(Value(3.9).integerValue(), 3);
    EXPECT_EQ(Value::null().integerValue(), 0);
    EXPECT_EQ(Value::dictionary({ { "a", 1 } }).integerValue(), 0);
    EXPECT_DOUBLE_EQ(Value(" 2.5kg").doubleValue(), 2.5);
    EXPECT_DOUBLE_EQ(Value("nan").doubleValue(), 0);
    EXPECT_TRUE(Value("  yes").boolValue());
    EXPECT_TRUE(Value("-007").boolValue());
    EXPECT_FALSE(Value("000").boolValue());
    EXPECT_FALSE(Value("no").boolValue());
}

TEST(Value, KeyedAndIndexedReadsOnTheWrongShapeAreAbsent)
{
    Value list = Value::array({ 1, "two" });
    EXPECT_TRUE(list["status"].isAbsent());
    EXPECT_TRUE(Value("text")["info"]["listItems"].isAbsent());
    EXPECT_TRUE(list[5].isAbsent());
    EXPECT_EQ(list[1].asString(), "two");
    EXPECT_EQ(Value(3).asString(), "");
}

TEST(Value, CopiesNeverShareMutations)
{
    Value a = Value::dictionary({ { "k", 1 } });
    Value b = a;
    b.set("k", 2);
    b.set("gone", Value());
    EXPECT_EQ(a["k"].integerValue(), 1);
    EXPECT_EQ(b["k"].integerValue(), 2);
    b.set("k", Value());
    EXPECT_FALSE(b.contains("k"));
    Value list;
    list.append(1);
    list.append(Value());
    EXPECT_EQ(list.count(), 1u);
}

TEST(Value, NumbersCompareAcrossKindsAndHashAlike)
{
    EXPECT_EQ(Value(1), Value(1.0));
    EXPECT_EQ(Value(true), Value(1));
    EXPECT_NE(Value(1), Value("1"));
    EXPECT_EQ(Value(1).hash(), Value(1.0).hash());
    std::unordered_set<Value, ValueHash> set { Value(2), Value(2.0), Value("2") };
    EXPECT_EQ(set.size(), 2u);
}

TEST(Value, ContainerDescriptionQuotesAndEscapesAsThePlatformLogs)
{
    Value d = Value::dictionary({ { "page", 0 }, { "name", "粉丝" }, { "two words", "a\"b" }, { "list", Value::array({ 1, Value::null() }) } });
    EXPECT_EQ(d.description(),
        "{\n"
        "    list =     (\n"
        "        1,\n"
        "        \"<null>\"\n"
        "    );\n"
        "    name = \"\\U7c89\\U4e1d\";\n"
        "    page = 0;\n"
        "    \"two words\" = \"a\\\"b\";\n"
        "}");
    EXPECT_EQ(Value(Bytes { 1, 2, 3, 4, 5 }).description(), "<01020304 05>");
    EXPECT_EQ(Value::date(0).description(), "1970-01-01 00:00:00 +0000");
}

TEST(ValueDictionary, KeepsKeysSortedAndTheLastDuplicateWins)
{
    Value::Dictionary d = Value::Dictionary::fromEntries(
        { { "b", 1 }, { "a", 2 }, { "c", 3 }, { "a", 4 }, { "b", 5 } });
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d.begin()->first, "a");
    EXPECT_EQ(d.at("a").integerValue(), 4);
    EXPECT_EQ(d.at("b").integerValue(), 5);
    EXPECT_THROW(d.at("zz"), std::out_of_range);

    // Large unsorted input takes the other sorting path.
    Value::Dictionary::Storage many;
    for (int i = 99; i >= 0; --i)
        many.emplace_back("k" + std::to_string(i % 50), i);
    Value::Dictionary big = Value::Dictionary::fromEntries(std::move(many));
    EXPECT_EQ(big.size(), 50u);
    EXPECT_EQ(big.at("k7").integerValue(), 7);
    EXPECT_TRUE(std::is_sorted(big.begin(), big.end(), [](auto& x, auto& y) { return x.first < y.first; }));

    d.insert_or_assign("0", 0);
    d.try_emplace("a", 99);
    EXPECT_EQ(d.begin()->first, "0");
    EXPECT_EQ(d["a"].integerValue(), 4);
    EXPECT_EQ(d.erase("c"), 1u);
    EXPECT_EQ(d.erase("c"), 0u);
    EXPECT_TRUE(d["new"].isAbsent());
    EXPECT_EQ(d.size(), 4u);
}
