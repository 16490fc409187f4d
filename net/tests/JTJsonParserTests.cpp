// The parser: values it yields, every error it reports with the chain each level adds,
// escapes and surrogate pairs, UTF-8 checking and the nesting limits.
#include "net/JTJsonParser.h"

#include <gtest/gtest.h>

#include "net/tests/JsonTestSupport.h"

using net_test::nestedArrays;
using net_test::Trace;
using net_test::traceOf;

namespace {

struct Failure {
    std::string text;
    Trace trace;
};

Trace fragmentTrace(const std::string& text)
{
    JTJsonParser parser;
    Value result = parser.fragmentWithString(text);
    EXPECT_TRUE(result.isAbsent()) << "accepted: " << text;
    return traceOf(parser);
}

Value fragment(const std::string& text)
{
    JTJsonParser parser;
    Value result = parser.fragmentWithString(text);
    EXPECT_FALSE(result.isAbsent()) << text << ": " << parser.errorTrace().description();
    EXPECT_TRUE(parser.errorTrace().isAbsent());
    return result;
}

} // namespace

TEST(JTJsonParser, FragmentsOnlyThroughFragmentWithString)
{
    JTJsonParser parser;
    EXPECT_TRUE(parser.objectWithString("123").isAbsent());
    EXPECT_EQ(traceOf(parser), (Trace { { 4, "Valid fragment, but not JSON" } }));
    EXPECT_EQ(parser.fragmentWithString("123"), Value(123));
    EXPECT_TRUE(parser.errorTrace().isAbsent()) << "a successful call clears the last call's trace";
    EXPECT_EQ(fragment("\"x\"").asString(), "x");
    EXPECT_TRUE(fragment(" null ").isNull());
    EXPECT_EQ(fragment("false"), Value(false));
}

TEST(JTJsonParser, WhitespaceIsTheSixAsciiSpaces)
{
    EXPECT_EQ(fragment(" \t\n\v\f\r[1,2] \t\v\f\r\n"), Value::array({ 1, 2 }));
    EXPECT_EQ(fragmentTrace("[1,2]\xC2\xA0"), (Trace { { 10, "Garbage after JSON" } }));
}

TEST(JTJsonParser, LaterDuplicateKeyWins)
{
    Value v = fragment("{\"a\":1,\"a\":2}");
    EXPECT_EQ(v.count(), 1u);
    EXPECT_EQ(v["a"], Value(2));
    // Objects of one size with other keys, or a key twice, after records of one shape.
    EXPECT_EQ(fragment(R"([{"b":1,"a":2},{"b":3,"a":4},{"a":5,"b":6},{"b":7,"b":8},{"c":true,"a":"x"}])"),
        Value::array({ Value::dictionary({ { "a", 2 }, { "b", 1 } }), Value::dictionary({ { "a", 4 }, { "b", 3 } }),
            Value::dictionary({ { "a", 5 }, { "b", 6 } }), Value::dictionary({ { "b", 8 } }),
            Value::dictionary({ { "a", "x" }, { "c", true } }) }));
}

TEST(JTJsonParser, AFailedParseLeavesNothingForTheNext)
{
    JTJsonParser parser;
    for (const char* broken : { R"([1,{"a":[2,3)", R"({"a":{"b":1,"c")", R"([[1],[2],x])" }) {
        EXPECT_TRUE(parser.objectWithString(broken).isAbsent()) << broken;
        EXPECT_EQ(parser.objectWithString(R"({"k":[4]})"), Value::dictionary({ { "k", Value::array({ 4 }) } }));
    }
}

TEST(JTJsonParser, NulCharacterEndsTheInput)
{
    EXPECT_EQ(fragment(std::string("[1]\0garbage", 11)), Value::array({ 1 }));
    EXPECT_EQ(fragmentTrace(std::string("\"ab\0c\"", 6)), (Trace { { 11, "Unexpected EOF while parsing string" } }));
}

TEST(JTJsonParser, EachLevelAddsItsErrorToTheChain)
{
    JTJsonParser parser;
    EXPECT_TRUE(parser.objectWithString("[1, tru]").isAbsent());
    ASSERT_EQ(traceOf(parser), (Trace { { 3, "Expected 'true'" }, { 3, "Expected value while parsing array" } }));
    const Value::Array& trace = parser.errorTrace().asArray();
    auto inner = trace[0].asObject<NSError>();
    auto outer = trace[1].asObject<NSError>();
    EXPECT_EQ(outer->domain(), "org.tellowick.JSON.ErrorDomain");
    EXPECT_EQ(outer->underlyingError(), inner);
    EXPECT_EQ(inner->underlyingError(), nullptr);
    // The chain runs through every level, objects and arrays alike.
    EXPECT_EQ(fragmentTrace("{\"k\":[{\"j\":nul}]}"),
        (Trace { { 3, "Expected 'null'" }, { 3, "Object value expected for key: j" },
            { 3, "Expected value while parsing array" }, { 3, "Object value expected for key: k" } }));
}

TEST(JTJsonParser, StructuralErrors)
{
    const Failure cases[] = {
        { "", { { 11, "Unexpected end of string" } } },
        { "[1,2] x", { { 10, "Garbage after JSON" } } },
        { "[1,]", { { 9, "Trailing comma disallowed in array" } } },
        { "{\"a\":1,}", { { 9, "Trailing comma disallowed in object" } } },
        { "[", { { 11, "End of input while parsing array" } } },
        { "[ ", { { 11, "Unexpected end of string" }, { 3, "Expected value while parsing array" } } },
        { "[1,", { { 11, "End of input while parsing array" } } },
        { "{", { { 11, "End of input while parsing object" } } },
        { "{\"a\":1", { { 11, "End of input while parsing object" } } },
        { "{1:2}", { { 3, "Object key string expected" } } },
        { "{\"a\" 1}", { { 3, "Expected ':' separating key and value" } } },
        { "{\"a\":}", { { 3, "Unrecognised leading character" }, { 3, "Object value expected for key: a" } } },
        { "]", { { 3, "Unrecognised leading character" } } },
        { "\xC3\xA9", { { 3, "Unrecognised leading character" } } },
        { "[tx]", { { 3, "Expected 'true'" }, { 3, "Expected value while parsing array" } } },
        { "fals", { { 3, "Expected 'false'" } } },
        { "nul", { { 3, "Expected 'null'" } } },
        // A missing separator is reported rather than skipped over.
        { "[1 2]", { { 3, "Expected ',' or ']' after array element" } } },
        { "{\"a\":1 \"b\":2}", { { 3, "Expected ',' or '}' after object member" } } },
        { "{\"a\":1:2}", { { 3, "Expected ',' or '}' after object member" } } },
    };
    for (const Failure& f : cases)
        EXPECT_EQ(fragmentTrace(f.text), f.trace) << "input: " << f.text;
    JTJsonParser parser;
    EXPECT_TRUE(parser.fragmentWithString(std::nullopt).isAbsent());
    EXPECT_EQ(traceOf(parser), (Trace { { 12, "Input was 'nil'" } }));
}

TEST(JTJsonParser, NumberGrammarAndErrors)
{
    const Failure cases[] = {
        { "-", { { 2, "No digits after initial minus" } } },
        { "01", { { 2, "Leading 0 disallowed in number" } } },
        { "-01", { { 2, "Leading 0 disallowed in number" } } },
        { "1.", { { 2, "No digits after decimal point" } } },
        { "1e", { { 2, "No digits after exponent" } } },
        { "1E-x", { { 2, "No digits after exponent" } } },
        { "+1", { { 2, "Leading + disallowed in number" } } },
        { ".5", { { 3, "Unrecognised leading character" } } },
        { "[-]", { { 2, "No digits after initial minus" }, { 3, "Expected value while parsing array" } } },
        // Beyond the decimal's exponent range there is no number to make.
        { "1e1000000000", { { 2, "Failed creating decimal instance" } } },
        { "[10000000000e999999990]",
            { { 2, "Failed creating decimal instance" }, { 3, "Expected value while parsing array" } } },
    };
    for (const Failure& f : cases)
        EXPECT_EQ(fragmentTrace(f.text), f.trace) << "input: " << f.text;
}

TEST(JTJsonParser, FractionsAndExponentsBecomeDecimalsMadeFromTheirText)
{
    for (const char* text : { "0.5", "-2.5e1", "1E+5", "1e-5", "12345678901234567890.123456789",
             "0.1000000000000000000001", "3.14159265358979323846264338327950288" }) {
        Value v = fragment(text);
        EXPECT_TRUE(v.isDecimal()) << text;
        EXPECT_EQ(v, Value(*foundation::Decimal::fromText(text))) << text;
    }
    EXPECT_EQ(fragment("0.1000000000000000000001").description(), "0.1000000000000000000001");
    EXPECT_NE(fragment("0.1000000000000000000001"), fragment("0.1")) << "not rounded to a double";
    EXPECT_EQ(fragment("[1.10, 2.5E-3]"), Value::array({ *foundation::Decimal::fromText("1.1"), 0.0025 }));
}

TEST(JTJsonParser, TraceChangesAreAnnouncedToObservers)
{
    auto parser = std::make_shared<JTJsonParser>();
    std::vector<std::size_t> seen; // the trace's length at each announcement
    threading::Observation token = parser->observe("errorTrace", NSKeyValueObservingOptionNew,
        [&](const std::string&, NSObject* object, const Value& change) {
            EXPECT_EQ(object, parser.get());
            seen.push_back(change[NSKeyValueChangeNewKey].count());
        });
    parser->fragmentWithString("[1, tru]");
    EXPECT_EQ(seen, (std::vector<std::size_t> { 0, 1, 2 })) << "cleared, then two errors added";
    seen.clear();
    parser->fragmentWithString("[1]");
    EXPECT_EQ(seen, (std::vector<std::size_t> { 0 })) << "a success clears the trace";
}

TEST(JTJsonParser, NumbersKeepTheirValue)
{
    EXPECT_EQ(fragment("-0"), Value(0));
    EXPECT_EQ(fragment("1E+5"), Value(100000.0));
    EXPECT_EQ(fragment("123456789.123456789e-3").doubleValue(), 123456.789123456789);
    EXPECT_EQ(fragment("2.2250738585072014e-308").doubleValue(), 2.2250738585072014e-308);
    EXPECT_EQ(fragment("1.7976931348623157e308").doubleValue(), 1.7976931348623157e308);
    EXPECT_EQ(fragment("1e-400").doubleValue(), 0.0);
    // Integers are exact over the whole 64-bit range, signed and unsigned.
    EXPECT_EQ(fragment("9223372036854775807").integerValue(), INT64_MAX);
    EXPECT_EQ(fragment("-9223372036854775808").integerValue(), INT64_MIN);
    Value unsignedMax = fragment("18446744073709551615");
    EXPECT_EQ(unsignedMax.type(), Value::Type::Unsigned);
    EXPECT_EQ(unsignedMax.unsignedValue(), UINT64_MAX);
    // Past 64 bits an integer becomes an exact decimal.
    Value past = fragment("18446744073709551616");
    EXPECT_TRUE(past.isDecimal());
    EXPECT_EQ(past.description(), "18446744073709551616");
    EXPECT_EQ(fragment("-9223372036854775809").description(), "-9223372036854775809");
    EXPECT_EQ(fragment("1" + std::string(400, '0')).description(), "1e+400");
    // A number ends where the grammar ends; the rest is judged by the caller.
    EXPECT_EQ(fragment("[1,-2.5e1]"), Value::array({ 1, -25.0 }));
}

TEST(JTJsonParser, StringEscapes)
{
    EXPECT_EQ(fragment(R"("\"\\\/\b\f\n\r\t")").asString(), "\"\\/\b\f\n\r\t");
    EXPECT_EQ(fragment(R"("\u0041")").asString(), "A");
    EXPECT_EQ(fragment(R"("\u00e9\u00E9")").asString(), "\u00e9\u00e9");
    EXPECT_EQ(fragment(R"("\u7c89\u4e1d")").asString(), "粉丝");
    EXPECT_EQ(fragment(R"("a\u0000b")").asString(), std::string("a\0b", 3));
    EXPECT_EQ(fragment("\"plain \xE7\xB2\x89 text\"").asString(), "plain 粉 text");
    EXPECT_EQ(fragmentTrace("\"abc"), (Trace { { 11, "Unexpected EOF while parsing string" } }));
    EXPECT_EQ(fragmentTrace("\"a\tb\""), (Trace { { 5, "Unescaped control character '0x9'" } }));
    EXPECT_EQ(fragmentTrace("\"\x1f\""), (Trace { { 5, "Unescaped control character '0x1f'" } }));
    EXPECT_EQ(fragmentTrace(R"("\x")"), (Trace { { 8, "Illegal escape sequence '0x78'" } }));
    EXPECT_EQ(fragmentTrace("\"\\"), (Trace { { 8, "Illegal escape sequence '0x0'" } }));
    EXPECT_EQ(fragmentTrace("{\"a\\q\":1}"),
        (Trace { { 8, "Illegal escape sequence '0x71'" }, { 3, "Object key string expected" } }));
}

TEST(JTJsonParser, SurrogatePairs)
{
    EXPECT_EQ(fragment(R"("\uD800\uDC00")").asString(), "\xF0\x90\x80\x80"); // U+10000
    EXPECT_EQ(fragment(R"("\uDBFF\uDFFF")").asString(), "\xF4\x8F\xBF\xBF"); // U+10FFFF
    const Failure cases[] = {
        { R"("\udc00")", { { 6, "Invalid high character in surrogate pair" }, { 6, "Broken unicode character" } } },
        { R"("\ud800")", { { 6, "Missing low character in surrogate pair" }, { 6, "Broken unicode character" } } },
        { R"("\ud800\n")", { { 6, "Missing low character in surrogate pair" }, { 6, "Broken unicode character" } } },
        { R"("\ud800\u0041")", { { 6, "Invalid low surrogate char" }, { 6, "Broken unicode character" } } },
        { R"("\ud800\uDCxx")",
            { { 6, "Missing hex digit in quad" }, { 6, "Missing low character in surrogate pair" },
                { 6, "Broken unicode character" } } },
        { R"("\u12G4")",
            { { 6, "Missing hex digit in quad" }, { 6, "Missing hex quad" }, { 6, "Broken unicode character" } } },
        { "\"\\u12",
            { { 6, "Missing hex digit in quad" }, { 6, "Missing hex quad" }, { 6, "Broken unicode character" } } },
    };
    for (const Failure& f : cases)
        EXPECT_EQ(fragmentTrace(f.text), f.trace) << "input: " << f.text;
}

TEST(JTJsonParser, StringsMustBeWellFormedUtf8)
{
    const Trace invalid { { 3, "Invalid UTF-8 sequence in string" } };
    const char* cases[] = {
        "\"\x80\"", // stray continuation byte
        "\"\xC3\"", // truncated by the quote
        "\"\xC0\xAF\"", // overlong slash
        "\"\xED\xA0\x80\"", // an encoded surrogate
        "\"\xF4\x90\x80\x80\"", // beyond U+10FFFF
        "\"\xFF\"",
        "\"long ascii run before the bad byte \xF0\x9F\x98\"",
    };
    for (const char* text : cases)
        EXPECT_EQ(fragmentTrace(text), invalid) << "input: " << text;
    EXPECT_EQ(fragmentTrace("\"\xE7\xB2"), invalid);
    EXPECT_EQ(fragment("\"\xF0\x9F\x98\x80 \xC3\xA9 \xEF\xBF\xBD\"").asString(), "\xF0\x9F\x98\x80 \xC3\xA9 \xEF\xBF\xBD");
}

TEST(JTJsonParser, MaxDepthAllowsExactlyItsLevels)
{
    JTJsonParser parser;
    EXPECT_TRUE(parser.objectWithString(nestedArrays(512)).isArray());
    EXPECT_TRUE(parser.objectWithString(nestedArrays(513)).isAbsent());
    Trace trace = traceOf(parser);
    ASSERT_EQ(trace.size(), 513u);
    EXPECT_EQ(trace.front(), (std::pair<std::int64_t, std::string> { 7, "Nested too deep" }));
    EXPECT_EQ(trace.back(), (std::pair<std::int64_t, std::string> { 3, "Expected value while parsing array" }));
    parser.setMaxDepth(2);
    EXPECT_TRUE(parser.objectWithString("{\"a\":[1]}").isDictionary());
    EXPECT_TRUE(parser.objectWithString("{\"a\":[{}]}").isAbsent());
    EXPECT_EQ(traceOf(parser).front().first, 7);
    // The depth goes back down as containers close: siblings don't add up.
    EXPECT_TRUE(parser.objectWithString("[[1],[2],[[]]]").isAbsent());
    EXPECT_TRUE(parser.objectWithString("[[1],[2],[3]]").isArray());
}

TEST(JTJsonParser, DeepInputNeverExhaustsTheStack)
{
    JTJsonParser parser;
    parser.setMaxDepth(0);
    const auto limit = JTJsonBase::hardDepthLimit;
    EXPECT_TRUE(parser.objectWithString(nestedArrays(limit, "1")).isArray()) << "no caller limit up to the hard cap";
    EXPECT_TRUE(parser.objectWithString(nestedArrays(limit + 1)).isAbsent());
    EXPECT_EQ(traceOf(parser).front().first, 7);
    // A hundred thousand levels, unclosed and closed, arrays and objects.
    EXPECT_TRUE(parser.objectWithString(std::string(100000, '[')).isAbsent());
    EXPECT_EQ(traceOf(parser).front(), (std::pair<std::int64_t, std::string> { 7, "Nested too deep" }));
    EXPECT_TRUE(parser.objectWithString(nestedArrays(100000)).isAbsent());
    std::string objects;
    for (int i = 0; i < 100000; ++i)
        objects += "{\"k\":";
    EXPECT_TRUE(parser.objectWithString(objects).isAbsent());
    EXPECT_EQ(traceOf(parser).front().first, 7);
    // A caller's limit above the hard cap is held to it.
    parser.setMaxDepth(1000000);
    EXPECT_TRUE(parser.objectWithString(nestedArrays(100000)).isAbsent());
}
