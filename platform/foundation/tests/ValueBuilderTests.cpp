// The containers the JSON readers build: key order, duplicate keys, and objects of one size
// whose keys differ, which must not inherit each other's order.
#include "platform/foundation/ValueBuilder.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

using Members = std::vector<std::pair<std::string, int>>;

Value dictionaryOf(foundation::ValueBuilder& builder, const Members& members)
{
    std::size_t mark = builder.memberMark();
    for (const auto& [key, value] : members)
        builder.addMember(key, value);
    return builder.makeDictionary(mark);
}

std::string keysAndValues(const Value& dictionary)
{
    std::string out;
    for (const auto& [key, value] : dictionary.asDictionary())
        out += key + "=" + std::to_string(value.integerValue()) + " ";
    return out;
}

} // namespace

TEST(ValueBuilder, OrdersKeysAndKeepsTheLastOfRepeatedKeys)
{
    struct Case {
        Members members;
        std::string expected;
    };
    std::vector<Case> cases = {
        { {}, "" },
        { { { "a", 1 }, { "b", 2 } }, "a=1 b=2 " },
        { { { "b", 2 }, { "a", 1 } }, "a=1 b=2 " },
        { { { "a", 1 }, { "a", 2 } }, "a=2 " },
        { { { "x", 1 }, { "a", 2 }, { "x", 3 }, { "x", 4 }, { "a", 5 } }, "a=5 x=4 " },
        // Shares a first byte, differs later; an empty key sorts first; bytes compare unsigned.
        { { { "ab", 1 }, { "aa", 2 }, { "", 3 }, { "\xc3\xa9", 4 }, { "z", 5 } }, "=3 aa=2 ab=1 z=5 \xc3\xa9=4 " },
    };
    foundation::ValueBuilder builder;
    for (const Case& c : cases)
        EXPECT_EQ(keysAndValues(dictionaryOf(builder, c.members)), c.expected);
}

TEST(ValueBuilder, ObjectsOfOneSizeWithOtherKeysAreOrderedAfresh)
{
    foundation::ValueBuilder builder;
    // The same shape twice, then other keys, then a repeated key, all of three members.
    EXPECT_EQ(keysAndValues(dictionaryOf(builder, { { "c", 1 }, { "a", 2 }, { "b", 3 } })), "a=2 b=3 c=1 ");
    EXPECT_EQ(keysAndValues(dictionaryOf(builder, { { "c", 4 }, { "a", 5 }, { "b", 6 } })), "a=5 b=6 c=4 ");
    EXPECT_EQ(keysAndValues(dictionaryOf(builder, { { "b", 1 }, { "c", 2 }, { "a", 3 } })), "a=3 b=1 c=2 ");
    EXPECT_EQ(keysAndValues(dictionaryOf(builder, { { "b", 1 }, { "c", 2 }, { "b", 3 } })), "b=3 c=2 ");
    EXPECT_EQ(keysAndValues(dictionaryOf(builder, { { "b", 7 }, { "c", 8 }, { "a", 9 } })), "a=9 b=7 c=8 ");

    // Large objects, in reverse with every key twice.
    Members many;
    for (int i = 99; i >= 0; --i)
        many.emplace_back("k" + std::to_string(100 + i % 50), i);
    Value big = dictionaryOf(builder, many);
    ASSERT_EQ(big.count(), 50u);
    EXPECT_EQ(big["k107"].integerValue(), 7);
    EXPECT_EQ(big.asDictionary().begin()->first, "k100");
}

TEST(ValueBuilder, NestedContainersTakeOnlyTheirOwnRun)
{
    foundation::ValueBuilder builder;
    std::size_t outer = builder.memberMark();
    builder.addMember("z", 1);
    std::size_t list = builder.elementMark();
    builder.addElement(Value("x"));
    std::size_t inner = builder.memberMark();
    builder.addMember("k", 2);
    builder.addElement(builder.makeDictionary(inner));
    builder.addMember("a", builder.makeArray(list));
    Value tree = builder.makeDictionary(outer);

    EXPECT_EQ(tree, Value::dictionary({ { "a", Value::array({ "x", Value::dictionary({ { "k", 2 } }) }) }, { "z", 1 } }));
    EXPECT_EQ(builder.memberMark(), 0u);
    EXPECT_EQ(builder.elementMark(), 0u);
}
