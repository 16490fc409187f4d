// The facade and the convenience conversions: which trace they keep, the error they hand out,
// and the log line of a failed convenience call.
#include "net/JTJSON.h"

#include <gtest/gtest.h>
#include <thread>

#include "net/JTJsonConvenience.h"
#include "net/tests/JsonTestSupport.h"
#include "platform/foundation/NSLog.h"

using net_test::nestedArrays;
using net_test::Trace;
using net_test::traceOf;

TEST(JTJSON, FailureCopiesTheTraceAndHandsOutTheOutermostError)
{
    JTJSON json;
    NSErrorRef error;
    EXPECT_TRUE(json.objectWithString("[1, tru]", &error).isAbsent());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), JTJsonErrorDomain);
    EXPECT_EQ(error->code(), 3);
    EXPECT_EQ(error->localizedDescription(), "Expected value while parsing array");
    EXPECT_EQ(error->underlyingError()->localizedDescription(), "Expected 'true'");
    EXPECT_EQ(traceOf(json).size(), 2u);
    // A success leaves the facade's trace describing the last failure.
    NSErrorRef untouched;
    EXPECT_EQ(json.objectWithString("[1]", &untouched), Value::array({ 1 }));
    EXPECT_FALSE(untouched);
    EXPECT_EQ(traceOf(json).size(), 2u);
    EXPECT_TRUE(json.objectWithString("7", false, &error).isAbsent());
    EXPECT_EQ(error->code(), 4);
    EXPECT_EQ(json.objectWithString("7", true, &error), Value(7));
    EXPECT_EQ(json.fragmentWithString("\"s\"", nullptr), Value("s"));
    EXPECT_TRUE(json.objectWithString(std::nullopt).isAbsent());
    EXPECT_EQ(traceOf(json), (Trace { { 12, "Input was 'nil'" } }));
}

TEST(JTJSON, ConvenienceConversionsLogTheirFailures)
{
    std::vector<std::string> lines;
    foundation::setLogSink([&](const std::string& text) { lines.push_back(text); });
    EXPECT_EQ(JSONRepresentation(Value::dictionary({ { "a", 1 } })), "{\"a\":1}");
    EXPECT_EQ(JSONFragment(Value("x")), "\"x\"");
    EXPECT_EQ(JSONValue(" [1] "), Value::array({ 1 }));
    EXPECT_EQ(JSONFragmentValue("2"), Value(2));
    EXPECT_TRUE(lines.empty());
    EXPECT_FALSE(JSONRepresentation(Value(1)).has_value());
    EXPECT_FALSE(JSONFragment(Value::date(0)).has_value());
    EXPECT_TRUE(JSONValue("2").isAbsent());
    EXPECT_TRUE(JSONFragmentValue("[").isAbsent());
    foundation::setLogSink({});
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("-JSONRepresentation failed. Error trace is: (", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("Not valid type for JSON"), std::string::npos);
    EXPECT_EQ(lines[1].rfind("-JSONFragment failed. Error trace is: ", 0), 0u);
    EXPECT_EQ(lines[2].rfind("-JSONValue failed. Error trace is: ", 0), 0u);
    EXPECT_NE(lines[2].find("Valid fragment, but not JSON"), std::string::npos);
    EXPECT_EQ(lines[3].rfind("-JSONFragmentValue failed. Error trace is: ", 0), 0u);
}

TEST(JTJSON, ConvenienceConversionsAreSafeFromManyThreads)
{
    std::vector<std::thread> threads;
    std::atomic<int> wrong { 0 };
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                Value v = Value::array({ t, i, nestedArrays(3) });
                std::optional<std::string> text = JSONRepresentation(v);
                if (!text || JSONValue(*text) != v)
                    ++wrong;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}
