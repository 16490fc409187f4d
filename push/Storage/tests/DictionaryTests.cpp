// Report-item equality and hashing without "itime", and the removing keyed assignment.
#include <gtest/gtest.h>

#include <unordered_set>

#include "push/Storage/PUSHDictionary.h"

namespace {

Value item(std::int64_t itime, const std::string& type = "1")
{
    return Value::dictionary({ { "type", Value(type) }, { "itime", Value(itime) }, { "extra", Value::null() } });
}

TEST(PushDictionary, AssigningNothingRemovesTheKeyAndNeverFails)
{
    Value dictionary = Value::dictionary({ { "a", Value(1) } });
    push::setObjectForKeyedSubscript(dictionary, "missing", Value());
    EXPECT_EQ(dictionary, Value::dictionary({ { "a", Value(1) } }));
    push::setObjectForKeyedSubscript(dictionary, "a", Value());
    EXPECT_EQ(dictionary.count(), 0u);
    push::setObjectForKeyedSubscript(dictionary, "n", Value::null()); // null is a value, kept
    EXPECT_TRUE(dictionary["n"].isNull());

    for (auto [start, after] : { std::pair { Value(), Value::dictionary({ { "k", Value("v") } }) },
             { Value("not a dictionary"), Value("not a dictionary") } }) {
        push::setObjectForKeyedSubscript(start, "k", Value("v"));
        EXPECT_EQ(start, after);
    }
}

TEST(PushDictionary, EqualityIgnoresItimeAtEveryDictionaryLevel)
{
    EXPECT_TRUE(push::reportEqual(item(1), item(2)));
    EXPECT_FALSE(push::reportEqual(item(1, "1"), item(1, "2")));
    // One side without the time stamp at all.
    Value bare = item(1);
    bare.remove("itime");
    EXPECT_TRUE(push::reportEqual(bare, item(7)));
    // Nested dictionaries, and dictionaries inside arrays.
    EXPECT_TRUE(push::reportEqual(Value::dictionary({ { "inner", item(1) }, { "list", Value::array({ item(3) }) } }),
        Value::dictionary({ { "inner", item(9) }, { "list", Value::array({ item(4) }) } })));
    // A dictionary and an array with the same entries are not equal; nor arrays of other length.
    EXPECT_FALSE(push::reportEqual(Value::dictionary({ { "0", Value(1) } }), Value::array({ Value(1) })));
    EXPECT_FALSE(push::reportEqual(Value::array({ item(1) }), Value::array({ item(1), item(1) })));
    // Plain values compare as the platform compares them.
    EXPECT_TRUE(push::reportEqual(Value(1), Value(1.0)));
    EXPECT_FALSE(push::reportEqual(Value(), Value::null()));
}

TEST(PushDictionary, HashAgreesWithEqualitySoSetsDropTimeStampDuplicates)
{
    const std::unordered_set<Value, push::ReportHash, push::ReportEqual> items {
        item(100), item(200), item(100, "2"), Value::array({ item(1) }), Value::array({ item(2) }) };
    EXPECT_EQ(items.size(), 3u);
}

} // namespace
