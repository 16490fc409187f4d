// Tagged shapes written and read back, and reader edge cases.
#include <gtest/gtest.h>

#include <map>

#include "platform/persistence/NSJSONSerialization.h"
#include "push/Utilities/PUSHJSONSerializer.h"

namespace {

// A model that keeps whatever it is given; "description" is listed but never written out.
class Sample : public PUSHJSONModel {
public:
    std::string className() const override { return "PUSHSampleModel"; }
    std::vector<std::string> propertyNames() const override { return { "name", "count", "tags", "blob", "child", "description" }; }
    Value valueForKey(const std::string& key) const override
    {
        auto found = fields.find(key);
        return key == "description" ? Value("ignored") : found == fields.end() ? Value() : found->second;
    }
    void setValueForKey(const Value& value, const std::string& key) override { fields[key] = value; }
    std::map<std::string, Value> fields;
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
    auto child = std::make_shared<Sample>();
    child->fields["name"] = "inner";
    auto sample = std::make_shared<Sample>();
    sample->fields = { { "name", "n" }, { "count", 7 }, { "tags", Value::array({ "a", "b" }) },
        { "blob", Value(Bytes { 0x00, 0xFF, 0x80 }) }, { "child", Value(std::static_pointer_cast<NSObject>(child)) } };
    Value json = PUSHJSONSerializer::getJSONDataFromObject(Value(std::static_pointer_cast<NSObject>(sample)));
    EXPECT_EQ(json["className"].asString(), "PUSHSampleModel");
    EXPECT_EQ(json["count"].integerValue(), 7);
    EXPECT_FALSE(json.contains("description"));
    EXPECT_EQ(json["numberProperyTypes"], Value::dictionary());
    EXPECT_EQ(json["blob"]["hasCustomObject"].integerValue(), 0);
    // Through real JSON text and back.
    auto bytes = NSJSONSerialization::dataWithJSONObject(json);
    ASSERT_TRUE(bytes);
    Value parsed = NSJSONSerialization::JSONObjectWithData(*bytes);
    auto back = PUSHJSONSerializer::getObjectFromJSON(parsed).asObject<Sample>();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->fields["name"].asString(), "n");
    EXPECT_EQ(back->fields["count"].integerValue(), 7);
    EXPECT_EQ(back->fields["tags"], sample->fields["tags"]);
    EXPECT_EQ(back->fields["blob"].asData(), (Bytes { 0x00, 0xFF, 0x80 }));
    auto backChild = back->fields["child"].asObject<Sample>();
    ASSERT_TRUE(backChild);
    EXPECT_EQ(backChild->fields["name"].asString(), "inner");
}

TEST_F(PushJSONSerializer, DictionariesInsideModelsAndBesideDataComeBack)
{
    const Value plain = Value::dictionary({ { "k", "v" }, { "deeper", Value::dictionary({ { "n", 1 } }) } });
    const Value tagLike = Value::dictionary({ { "stringObject", "not a tag" }, { "className", "PUSHSampleModel" } });
    auto sample = std::make_shared<Sample>();
    sample->fields = { { "tags", plain }, { "name", tagLike },
        { "child", Value::dictionary({ { "blob", Value(Bytes { 0x01, 0xFE }) }, { "plain", plain } }) } };
    Value json = PUSHJSONSerializer::getJSONDataFromObject(Value(std::static_pointer_cast<NSObject>(sample)));
    auto back = PUSHJSONSerializer::getObjectFromJSON(json).asObject<Sample>();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->fields["tags"], plain);
    EXPECT_EQ(back->fields["name"], tagLike);
    EXPECT_EQ(back->fields["child"]["plain"], plain);
    EXPECT_EQ(back->fields["child"]["blob"].asData(), (Bytes { 0x01, 0xFE }));
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
    // "dictionaryObject" rebuilds each value when "hasCustomObject" is present at all; a plain
    // dictionary among them is itself.
    Value inner = Value::dictionary({ { "d", Value::dictionary({ { "plain", 1 } }) } });
    EXPECT_EQ(read(Value::dictionary({ { "hasCustomObject", 0 }, { "dictionaryObject", inner } })), inner);
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
    EXPECT_EQ(sample->fields["count"].integerValue(), 44); // 300 as an unsigned char
}

} // namespace
