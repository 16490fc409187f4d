// JSON reading and writing: numbers at the edges, text escapes, errors with their place, limits.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "platform/persistence/NSJSONSerialization.h"

namespace {

Value read(std::string_view text, std::uint64_t options = 0, NSErrorRef* error = nullptr)
{
    return NSJSONSerialization::JSONObjectWithData(text, options, error);
}

std::string written(const Value& value, std::uint64_t options = 0)
{
    auto bytes = NSJSONSerialization::dataWithJSONObject(value, options);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "<refused>";
}

// The debug description of the error reading `text` gives, or "" when it reads.
std::string problemOf(std::string_view text, std::uint64_t options = 0)
{
    NSErrorRef error;
    Value value = read(text, options, &error);
    if (!value.isAbsent())
        return "";
    EXPECT_TRUE(error) << text;
    if (!error)
        return "<no error>";
    EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
    EXPECT_EQ(error->code(), 3840);
    return error->userInfo()[NSDebugDescriptionErrorKey].asString();
}

} // namespace

TEST(JSONReading, KeepsKindsApart)
{
    Value v = read(R"({"i": 7, "d": 7.0, "b": true, "n": null, "s": "7", "a": [1, [2]], "o": {}})");
    ASSERT_TRUE(v.isDictionary());
    EXPECT_EQ(v["i"].type(), Value::Type::Integer);
    EXPECT_EQ(v["d"].type(), Value::Type::Double);
    EXPECT_EQ(v["b"].type(), Value::Type::Bool);
    EXPECT_TRUE(v["n"].isNull());
    EXPECT_EQ(v["s"].asString(), "7");
    EXPECT_EQ(v["a"][1][0].integerValue(), 2);
    EXPECT_TRUE(v["o"].isDictionary());
}

TEST(JSONReading, ObjectsOfOneSizeKeepTheirOwnKeysAndTheLastRepeatedKeyWins)
{
    // Records of one shape, then objects of the same size with other keys or a key twice.
    Value v = read(R"([{"b":1,"a":2,"c":3},{"b":4,"a":5,"c":6},{"c":7,"b":8,"a":9},{"a":1,"b":2,"a":3},
        {"a":{"z":1,"y":2},"b":[{"y":3,"z":4}],"c":null}])");
    EXPECT_EQ(v, Value::array({
                     Value::dictionary({ { "a", 2 }, { "b", 1 }, { "c", 3 } }),
                     Value::dictionary({ { "a", 5 }, { "b", 4 }, { "c", 6 } }),
                     Value::dictionary({ { "a", 9 }, { "b", 8 }, { "c", 7 } }),
                     Value::dictionary({ { "a", 3 }, { "b", 2 } }),
                     Value::dictionary({ { "a", Value::dictionary({ { "y", 2 }, { "z", 1 } }) },
                         { "b", Value::array({ Value::dictionary({ { "y", 3 }, { "z", 4 } }) }) }, { "c", Value::null() } }),
                 }));
    // Reading again on the same thread starts clean after a refused text.
    EXPECT_TRUE(read(R"([{"a":1},{"a")").isAbsent());
    EXPECT_EQ(read(R"({"k":[1]})"), Value::dictionary({ { "k", Value::array({ 1 }) } }));
}

TEST(JSONReading, BigIntegers)
{
    // Exact while a signed or unsigned 64-bit integer holds them, doubles beyond.
    Value v = read("[9223372036854775807, -9223372036854775808, 9223372036854775808, 18446744073709551615,"
                   " 18446744073709551616, -9223372036854775809, 123456789012345678901234567890]");
    EXPECT_EQ(v, Value::array({ INT64_MAX, INT64_MIN, 9223372036854775808ull, UINT64_MAX, 18446744073709551616.0,
                     -9223372036854775809.0, 1.2345678901234568e29 }));
    using T = Value::Type;
    const T types[] = { T::Integer, T::Integer, T::Unsigned, T::Unsigned, T::Double, T::Double, T::Double };
    for (std::size_t i = 0; i < std::size(types); ++i)
        EXPECT_EQ(v[i].type(), types[i]) << i;
    // Digits inside strings are text, never touched.
    EXPECT_EQ(read(R"(["18446744073709551616", 18446744073709551616])")[0].asString(), "18446744073709551616");
}

TEST(JSONReading, UnicodeEscapesAndSurrogatePairs)
{
    Value v = read(R"(["\u00e9\u4e2d", "\ud83d\ude00", "a\/b\\\"\n\t", "粉丝", "\u0000x"])");
    ASSERT_EQ(v.count(), 5u);
    EXPECT_EQ(v[0].asString(), "\xC3\xA9\xE4\xB8\xAD");
    EXPECT_EQ(v[1].asString(), "\xF0\x9F\x98\x80");
    EXPECT_EQ(v[2].asString(), "a/b\\\"\n\t");
    EXPECT_EQ(v[3].asString(), "粉丝");
    EXPECT_EQ(v[4].asString(), std::string("\0x", 2));

    EXPECT_NE(problemOf(R"(["\ud800"])").find("surrogate"), std::string::npos);
    EXPECT_NE(problemOf(R"(["\udc00x"])").find("surrogate"), std::string::npos);
    EXPECT_NE(problemOf("[\"a\xff\"]").find("UTF-8"), std::string::npos);
    EXPECT_NE(problemOf("[\"\xC0\xAF\"]").find("UTF-8"), std::string::npos) << "overlong form";
    EXPECT_NE(problemOf("[\"a\nb\"]").find("control character"), std::string::npos);
}

TEST(JSONReading, ErrorsNameTheProblemAndWhere)
{
    EXPECT_EQ(problemOf(""), "Unable to parse empty data around line 1, column 1.");
    EXPECT_EQ(problemOf("[1,\n 2,\n x]"), "Invalid value around line 3, column 2.");
    EXPECT_NE(problemOf(R"({"a": 1)").find("Unexpected end of data"), std::string::npos);
    EXPECT_NE(problemOf(R"({"a" 1})").find("':'"), std::string::npos);
    EXPECT_NE(problemOf("[1 2]").find("expected ',' or ']'"), std::string::npos);
    EXPECT_NE(problemOf("[1,]").find("Invalid value"), std::string::npos);
    EXPECT_NE(problemOf("[1] x").find("Garbage at end"), std::string::npos);
    EXPECT_NE(problemOf("[01]").find("expected ','"), std::string::npos);
    EXPECT_NE(problemOf("[1.]").find("decimal point"), std::string::npos);
    EXPECT_NE(problemOf("[tru]").find("true"), std::string::npos);
    EXPECT_NE(problemOf("{1: 2}").find("string key"), std::string::npos);

    NSErrorRef error;
    EXPECT_TRUE(read("[1,\n 2,\n x]", 0, &error).isAbsent());
    EXPECT_EQ(error->userInfo()[NSJSONSerializationErrorIndex].integerValue(), 9);
    EXPECT_FALSE(error->localizedDescription().empty());

    // Every cut of a valid document is refused cleanly.
    std::string whole = R"({"list": [1, -2.5e3, "t\u00e9xt", true, null, {"k": [false]}]})";
    for (std::size_t cut = 0; cut < whole.size(); ++cut)
        EXPECT_TRUE(read(whole.substr(0, cut)).isAbsent()) << whole.substr(0, cut);
    EXPECT_FALSE(read(whole).isAbsent());
}

TEST(JSONReading, OneLeadingByteOrderMarkIsIgnored)
{
    const std::string mark = "\xEF\xBB\xBF";
    EXPECT_EQ(read(mark + R"({"status": 1})")["status"].integerValue(), 1);
    EXPECT_EQ(read(mark + "7", NSJSONReadingAllowFragments).integerValue(), 7);
    // An error's place is counted in the data as given, mark included.
    EXPECT_EQ(problemOf(mark), "Unable to parse empty data around line 1, column 4.");
    EXPECT_EQ(problemOf(mark + "[x]"), "Invalid value around line 1, column 5.");
    EXPECT_EQ(problemOf(mark + "[1,\n x]"), "Invalid value around line 2, column 2.");
    NSErrorRef error;
    read(mark + "[x]", 0, &error);
    EXPECT_EQ(error->userInfo()[NSJSONSerializationErrorIndex].integerValue(), 4);
    EXPECT_FALSE(problemOf(mark + mark + "[1]").empty());
    EXPECT_FALSE(problemOf("[1]" + mark).empty());
}

TEST(JSONReading, FragmentsOnlyWhenAllowed)
{
    EXPECT_NE(problemOf("12").find("allow fragments"), std::string::npos);
    EXPECT_NE(problemOf("\"text\"").find("allow fragments"), std::string::npos);
    EXPECT_EQ(read("12", NSJSONReadingAllowFragments).integerValue(), 12);
    EXPECT_TRUE(read("null", NSJSONReadingAllowFragments).isNull());
    EXPECT_EQ(read(" \"t\" ", NSJSONReadingAllowFragments).asString(), "t");
    EXPECT_TRUE(read("[]", NSJSONReadingMutableContainers | NSJSONReadingMutableLeaves).isArray());
}

TEST(JSONReading, DeepNestingIsAnErrorNotACrash)
{
    std::string deep(1000, '[');
    deep += std::string(1000, ']');
    EXPECT_TRUE(read(deep).isArray()) << "a thousand levels still read";
    std::string tooDeep(100000, '[');
    tooDeep += std::string(100000, ']');
    EXPECT_NE(problemOf(tooDeep).find("nested"), std::string::npos);
    EXPECT_FALSE(problemOf(std::string(100000, '[')).empty());
}

TEST(JSONWriting, CompactPrettyAndEscapes)
{
    Value v = Value::dictionary({ { "b", Value::array({ 1, 2.5, true, Value::null() }) }, { "a", "x/y\"\\\n\x01é" },
        { "big", Value(UINT64_MAX) }, { "whole", 7.0 } });
    EXPECT_EQ(written(v),
        R"({"a":"x\/y\"\\\n\u0001é","b":[1,2.5,true,null],"big":18446744073709551615,"whole":7})");
    EXPECT_EQ(written(Value::dictionary({ { "k", Value::array({ 1, Value::dictionary() }) } }),
                  NSJSONWritingPrettyPrinted | NSJSONWritingSortedKeys),
        "{\n  \"k\" : [\n    1,\n    {}\n  ]\n}");
    EXPECT_EQ(written(Value::array()), "[]");
}

TEST(JSONWriting, RefusesWhatJSONCannotHold)
{
    double nan = std::numeric_limits<double>::quiet_NaN();
    double inf = std::numeric_limits<double>::infinity();
    for (const Value& bad : { Value::array({ nan }), Value::array({ -inf }), Value::array({ Value::date(0) }),
             Value::array({ Value(Bytes { 1 }) }), Value::dictionary({ { "s", std::string("\xff") } }), Value("top"),
             Value(12) }) {
        NSErrorRef error;
        EXPECT_FALSE(NSJSONSerialization::dataWithJSONObject(bad, 0, &error)) << bad.description();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
        EXPECT_FALSE(NSJSONSerialization::isValidJSONObject(bad));
    }
    EXPECT_TRUE(NSJSONSerialization::isValidJSONObject(Value::dictionary({ { "a", Value::array({ 1, "x" }) } })));
}

TEST(JSONWriting, RoundTripsThroughTheReader)
{
    Value v = Value::dictionary({ { "text", "粉丝 \u2028 \"q\" /" }, { "n", -0.1 }, { "i", Value(INT64_MIN) },
        { "u", Value(UINT64_MAX) }, { "nested", Value::array({ Value::array({ Value::dictionary() }) }) } });
    for (std::uint64_t options : { std::uint64_t { 0 }, std::uint64_t { NSJSONWritingPrettyPrinted } }) {
        auto bytes = NSJSONSerialization::dataWithJSONObject(v, options);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(NSJSONSerialization::JSONObjectWithData(*bytes), v);
    }
}

TEST(JSONReading, RepeatedKeysDropTheEarlierValueOfAnyKind)
{
    struct Case {
        const char* text;
        Value expected;
    };
    const std::vector<Case> cases = {
        { R"({"a":[1,2],"a":{"x":1}})", Value::dictionary({ { "a", Value::dictionary({ { "x", 1 } }) } }) },
        { R"([{"a":1,"a":[2]},{"a":{"b":3},"a":[4]}])",
            Value::array({ Value::dictionary({ { "a", Value::array({ 2 }) } }),
                Value::dictionary({ { "a", Value::array({ 4 }) } }) }) },
        { R"({"b":"x","a":1,"b":"a long text that does not fit inline in a string"})",
            Value::dictionary({ { "a", 1 }, { "b", "a long text that does not fit inline in a string" } }) },
    };
    for (const Case& c : cases) {
        Value v = read(c.text);
        EXPECT_EQ(v, c.expected) << c.text;
        EXPECT_EQ(v.description(), c.expected.description()) << c.text;
        EXPECT_EQ(v.hash(), c.expected.hash()) << c.text;
    }
}

TEST(JSONReading, AValueOutlivesLaterReadsOnAnyThread)
{
    const std::string longText(200, 'x');
    const std::string text = R"({"list":[{"id":1,"s":")" + longText + R"("},{"id":2,"s":"short"}],"n":null})";
    Value kept = read(text);
    const Value expected = Value::dictionary({
        { "list",
            Value::array({ Value::dictionary({ { "id", 1 }, { "s", longText } }),
                Value::dictionary({ { "id", 2 }, { "s", "short" } }) }) },
        { "n", Value::null() },
    });
    Value firstRecord = kept["list"][0];
    const Value::Dictionary& view = kept["list"][1].asDictionary();
    auto readMany = [&text] {
        for (int i = 0; i < 20; ++i)
            EXPECT_EQ(read(text)["list"].count(), 2u);
    };
    readMany();
    std::thread other(readMany);
    other.join();
    EXPECT_EQ(kept, expected);
    EXPECT_EQ(view.at("s").asString(), "short");
    kept = Value();
    EXPECT_EQ(firstRecord["s"].asString(), longText);
    EXPECT_EQ(firstRecord, expected["list"][0]);
}

TEST(JSONWriting, DecimalsDigitForDigit)
{
    Value v = Value::array({ *foundation::Decimal::fromText("12345678901234567890.123456789"),
        *foundation::Decimal::fromText("-0.1000000000000000000001"), *foundation::Decimal::fromText("1e400") });
    EXPECT_EQ(written(v), "[12345678901234567890.123456789,-0.1000000000000000000001,1e+400]");
}
