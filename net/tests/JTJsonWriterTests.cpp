// The writer: exact texts in compact and human-readable form, escaping, numbers, values it
// refuses with their error chains, proxies, the nesting limit, and texts read and written back
// unchanged. Values of every kind reading back equal is the parser fuzz target's check, whose
// corpus holds random values.
#include "net/JTJsonWriter.h"

#include <cmath>
#include <gtest/gtest.h>

#include "net/JTJsonParser.h"
#include "net/tests/JsonTestSupport.h"

using net_test::nestedArrays;
using net_test::Trace;
using net_test::traceOf;

namespace {

class Point : public NSObject, public net::JsonProxy {
public:
    Value proxyForJson() const override { return Value::dictionary({ { "x", 1 }, { "y", 2 } }); }
    std::string className() const override { return "Point"; }
};

// Answers with itself, forever.
class Loop : public NSObject, public net::JsonProxy {
public:
    Value proxyForJson() const override { return Value(std::const_pointer_cast<NSObject>(shared_from_this())); }
};

class Plain : public NSObject {
public:
    std::string className() const override { return "Plain"; }
};

Trace failingTrace(JTJsonWriter& writer, const Value& value)
{
    EXPECT_FALSE(writer.stringWithFragment(value).has_value());
    return traceOf(writer);
}

} // namespace

TEST(JTJsonWriter, ExactTexts)
{
    // Keys come in byte order whether sorting is asked for or not; bytes that are not UTF-8
    // become U+FFFD, so the text always reads back.
    const Value keys = Value::dictionary({ { "a", 1 }, { "B", 2 }, { "9", 3 }, { "10", 4 }, { "\xC3\xA9", 5 }, { "aa", 6 } });
    const std::string sortedKeys = "{\"10\":4,\"9\":3,\"B\":2,\"a\":1,\"aa\":6,\"\xC3\xA9\":5}";
    struct Case {
        const char* name;
        Value value;
        std::string text;
        bool humanReadable = false, sortKeys = false;
    };
    const Case cases[] = {
        { "compact", Value::dictionary({ { "b", Value::array({ 1, -2.5, true, false, Value::null() }) }, { "a", "x" },
                         { "c", Value::dictionary() }, { "d", Value::array() } }),
            R"({"a":"x","b":[1,-2.5,true,false,null],"c":{},"d":[]})" },
        { "human-readable", Value::dictionary({ { "a", Value::array({ 1, 2 }) } }), "{\n  \"a\" : [\n    1,\n    2\n  ]\n}", true, true },
        { "human-readable empties", Value::array({ Value::array(), Value::dictionary() }), "[\n  [],\n  {}\n]", true, true },
        { "human-readable empty object", Value::dictionary(), "{}", true, true },
        { "keys", keys, sortedKeys },
        { "keys sorted", keys, sortedKeys, false, true },
        { "escapes", "\"\\/\x01", R"("\"\\/\u0001")" },
        { "control characters", "\b\t\n\f\r\x1f\x7f", "\"\\b\\t\\n\\f\\r\\u001f\x7f\"" },
        { "nul", std::string("a\0b", 3), R"("a\u0000b")" },
        { "beyond ASCII", "粉丝 \xF0\x9F\x98\x80", "\"粉丝 \xF0\x9F\x98\x80\"" },
        { "escaped key", Value::dictionary({ { "k\"", "v\n" } }), R"({"k\"":"v\n"})" },
        { "not UTF-8", "a\xFF" "b\xC3", "\"a\xEF\xBF\xBD" "b\xEF\xBF\xBD\"" },
        { "encoded surrogate", "\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"" },
    };
    for (const auto& c : cases) {
        JTJsonWriter writer;
        writer.setHumanReadable(c.humanReadable);
        writer.setSortKeys(c.sortKeys);
        EXPECT_EQ(writer.stringWithFragment(c.value), c.text) << c.name;
        EXPECT_TRUE(writer.errorTrace().isAbsent()) << c.name;
    }
}

TEST(JTJsonWriter, RefusedValuesAndTheirChains)
{
    JTJsonWriter writer;
    EXPECT_EQ(failingTrace(writer, Value::date(0)), (Trace { { 1, "JSON serialisation not supported for NSDate" } }));
    EXPECT_EQ(failingTrace(writer, Value(Bytes { 1 })), (Trace { { 1, "JSON serialisation not supported for NSData" } }));
    EXPECT_EQ(failingTrace(writer, Value()), (Trace { { 1, "JSON serialisation not supported for (null)" } }));
    EXPECT_EQ(failingTrace(writer, Value(std::make_shared<Plain>())),
        (Trace { { 1, "JSON serialisation not supported for Plain" } }));
    // NaN and infinities have no JSON text.
    for (double bad : { NAN, INFINITY, -INFINITY })
        EXPECT_EQ(failingTrace(writer, Value::array({ 1, bad })),
            (Trace { { 1, "JSON serialisation not supported for NSNumber" } }));
    // An array adds nothing of its own; a dictionary names the key.
    Value nested = Value::dictionary({ { "k", Value::array({ Value::dictionary({ { "d", Value::date(1) } }) }) } });
    EXPECT_EQ(failingTrace(writer, nested),
        (Trace { { 1, "JSON serialisation not supported for NSDate" }, { 1, "Unsupported value for key d in object" },
            { 1, "Unsupported value for key k in object" } }));
    const Value::Array& trace = writer.errorTrace().asArray();
    EXPECT_EQ(trace[2].asObject<NSError>()->underlyingError(), trace[1].asObject<NSError>());
    EXPECT_FALSE(writer.stringWithObject("text").has_value());
    EXPECT_EQ(traceOf(writer), (Trace { { 4, "Not valid type for JSON" } }));
    EXPECT_EQ(writer.stringWithFragment("text"), "\"text\"");
    EXPECT_TRUE(writer.errorTrace().isAbsent());
}

TEST(JTJsonWriter, ProxiesAreWrittenAsTheValueTheyStandFor)
{
    JTJsonWriter writer;
    EXPECT_EQ(writer.stringWithObject(Value::array({ Value(std::make_shared<Point>()) })), R"([{"x":1,"y":2}])");
    EXPECT_EQ(failingTrace(writer, Value(std::make_shared<Loop>())).front(),
        (std::pair<std::int64_t, std::string> { 7, "Nested too deep" }));
}

TEST(JTJsonWriter, NestingLimit)
{
    Value deep = Value::array();
    for (int i = 1; i < 513; ++i)
        deep = Value(Value::Array { deep });
    Value ok = deep[0];
    JTJsonWriter writer;
    EXPECT_EQ(writer.stringWithObject(ok), nestedArrays(512));
    EXPECT_FALSE(writer.stringWithObject(deep).has_value());
    EXPECT_EQ(traceOf(writer), (Trace { { 7, "Nested too deep" } }));
    // Without a caller's limit the indentation keeps following the nesting.
    writer.setMaxDepth(0);
    writer.setHumanReadable(true);
    std::optional<std::string> text = writer.stringWithObject(deep);
    ASSERT_TRUE(text.has_value());
    EXPECT_NE(text->find("\n" + std::string(2 * 512, ' ') + "[]\n" + std::string(2 * 511, ' ') + "]"), std::string::npos);
    EXPECT_EQ(text->substr(text->size() - 6), "\n  ]\n]");
}

TEST(JTJsonWriter, CanonicalTextsWriteBackUnchanged)
{
    const char* texts[] = {
        R"({"info":{"listItems":[{"id":1,"phone":"13800000000"}]},"msg":"","status":1})",
        R"([0.1,-2.5,7,1e+300,5e-324,-9223372036854775808,18446744073709551615,true,false,null])",
        R"([12345678901234567890.123456789,0.1000000000000000000001,-1.5e-60,18446744073709551616])",
        R"(["\"\\\b\f\n\r\t\u0000\u001f/粉丝😀"])",
        R"([[],{},[[]],{"a":{}}])",
    };
    JTJsonParser parser;
    JTJsonWriter writer;
    for (const char* text : texts)
        EXPECT_EQ(writer.stringWithObject(parser.objectWithString(text)), text);
}
