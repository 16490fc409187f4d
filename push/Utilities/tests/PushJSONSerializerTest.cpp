// Tagged shapes written and read back, reader edge cases and the type guard.
#include <gtest/gtest.h>

#include "platform/persistence/NSJSONSerialization.h"
#include "push/Utilities/PUSHJSONSerializer.h"

namespace {

class Sample : public PUSHJSONModel {
public:
    std::string className() const override { return "PUSHSampleModel"; }
    std::vector<std::string> propertyNames() const override { return { "name", "count", "tags", "blob", "child", "description" }; }
    Value valueForKey(const std::string& key) const override
    {
        if (key == "name")
            return name;
        if (key == "count")
            return count;
        if (key == "tags")
            return tags;
        if (key == "blob")
            return blob;
        if (key == "child")
            return child ? Value(std::static_pointer_cast<NSObject>(child)) : Value();
        return Value("ignored");
    }
    void setValueForKey(const Value& value, const std::string& key) override
    {
        if (key == "name")
            name = value.asString();
        else if (key == "count")
            count = value.integerValue();
        else if (key == "tags")
            tags = value;
        else if (key == "blob")
            blob = value;
        else if (key == "child")
            child = value.asObject<Sample>();
    }
    std::string name;
    std::int64_t count = 0;
    Value tags;
    Value blob;
    std::shared_ptr<Sample> child;
};

class PushJSONSerializer : public ::testing::Test {
protected:
    void SetUp() override
    {
        PUSHJSONSerializer::registerClass("PUSHSampleModel", [] { return std::make_shared<Sample>(); });
    }
};

TEST_F(PushJSONSerializer, ModelRoundTripThroughJSONBytes)
{
    auto sample = std::make_shared<Sample>();
    sample->name = "n";
    sample->count = 7;
    sample->tags = Value::array({ "a", "b" });
    sample->blob = Value(Bytes { 0x00, 0xFF, 0x80 });
    sample->child = std::make_shared<Sample>();
    sample->child->name = "inner";
    Value json = PUSHJSONSerializer::getJSONDataFromObject(Value(std::static_pointer_cast<NSObject>(sample)));
    EXPECT_EQ(json["className"].asString(), "PUSHSampleModel");
    EXPECT_EQ(json["count"].integerValue(), 7);
    EXPECT_FALSE(json.contains("description"));
    EXPECT_TRUE(json["numberProperyTypes"].isDictionary());
    EXPECT_EQ(json["numberProperyTypes"].count(), 0u);
    EXPECT_EQ(json["blob"]["hasCustomObject"].integerValue(), 0);
    // Through real JSON text and back.
    auto bytes = NSJSONSerialization::dataWithJSONObject(json);
    ASSERT_TRUE(bytes);
    Value parsed = NSJSONSerialization::JSONObjectWithData(*bytes);
    auto back = PUSHJSONSerializer::getObjectFromJSON(parsed).asObject<Sample>();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, "n");
    EXPECT_EQ(back->count, 7);
    EXPECT_EQ(back->tags, sample->tags);
    EXPECT_EQ(back->blob.asData(), (Bytes { 0x00, 0xFF, 0x80 }));
    ASSERT_TRUE(back->child);
    EXPECT_EQ(back->child->name, "inner");
}

TEST_F(PushJSONSerializer, LoneValuesAndTopLevelCollections)
{
    EXPECT_TRUE(PUSHJSONSerializer::getJSONDataFromObject(Value::null()).isAbsent());
    Value lone = PUSHJSONSerializer::getJSONDataFromObject("s");
    EXPECT_EQ(lone, Value::dictionary({ { "hasCustomObject", 0 }, { "stringObject", "s" }, { "numberProperyTypes", Value::dictionary() } }));
    for (Value v : { Value(5), Value("x"), Value::array({ 1, Value::dictionary({ { "k", "v" } }) }),
             Value::dictionary({ { "a", Value::array({ 1 }) } }) })
        EXPECT_EQ(PUSHJSONSerializer::getObjectFromJSON(PUSHJSONSerializer::getJSONDataFromObject(v)), v) << v.description();
    EXPECT_TRUE(PUSHJSONSerializer::getObjectFromJSON(PUSHJSONSerializer::nullShape()).isNull());
}

TEST_F(PushJSONSerializer, ReaderTagsAndUnknownClasses)
{
    auto read = [](Value v) { return PUSHJSONSerializer::getObjectFromJSON(v); };
    EXPECT_EQ(read(Value::dictionary({ { "hasCustomObject", 0 }, { "numberObject", 5 } })), Value(5));
    EXPECT_TRUE(read(Value::dictionary({ { "plain", 1 } })).isAbsent());
    EXPECT_TRUE(read(Value::dictionary({ { "className", "NSFileManager" }, { "x", 1 } })).isAbsent());
    // An empty class name is read by its tag keys.
    EXPECT_EQ(read(Value::dictionary({ { "className", "" }, { "stringObject", "y" } })), Value("y"));
    // "dictionaryObject" rebuilds each value when "hasCustomObject" is present at all.
    Value inner = Value::dictionary({ { "d", Value::dictionary({ { "plain", 1 } }) } });
    EXPECT_EQ(read(Value::dictionary({ { "hasCustomObject", 0 }, { "dictionaryObject", inner } })), Value::dictionary());
    EXPECT_EQ(read(Value::dictionary({ { "dictionaryObject", inner } })), inner);
    // Sets come back without duplicates; data text beyond Latin-1 is refused.
    EXPECT_EQ(read(Value::dictionary({ { "hasCustomObject", false }, { "setObject", Value::array({ "a", "a", "b" }) } })),
        Value::array({ "a", "b" }));
    EXPECT_TRUE(read(Value::dictionary({ { "hasCustomObject", 0 }, { "dataObject", "\u4e2d" } })).isAbsent());
    // Numeric properties convert to their recorded type on read.
    auto sample = read(Value::dictionary({ { "className", "PUSHSampleModel" }, { "count", 300 },
                           { "numberProperyTypes", Value::dictionary({ { "count", "C" } }) } }))
                      .asObject<Sample>();
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->count, 44); // 300 as an unsigned char
}

TEST_F(PushJSONSerializer, SafeObjectGuard)
{
    Value dict = Value::dictionary({ { "k", 1 } });
    EXPECT_EQ(PUSHSafeObject(dict, Value::Type::Dictionary), dict);
    EXPECT_EQ(PUSHSafeObject(Value("s"), Value::Type::Dictionary), Value::dictionary());
    EXPECT_EQ(PUSHSafeObject(Value(), Value::Type::Array), Value::array());
}

} // namespace
