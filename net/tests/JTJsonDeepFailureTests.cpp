// Deep input that fails: the convenience conversion logs its error trace in one line of modest
// size, and the facade's error describes the whole chain, however deep the failure lies.
#include <gtest/gtest.h>

#include "net/JTJSON.h"
#include "net/JTJsonConvenience.h"
#include "platform/foundation/NSLog.h"

TEST(JTJsonDeepFailure, UnclosedArraysFailWithABoundedDescription)
{
    struct Case {
        std::size_t depth;
        std::size_t most; // bytes of the log line
        const char* innermost;
    };
    // (12 first: where a trace's text doubled with each level, deeper ones would fill memory)
    for (Case c : { Case { 12, 16 * 1024, "End of input while parsing array" },
             Case { 40, 64 * 1024, "End of input while parsing array" },
             Case { 10000, 1024 * 1024, "Nested too deep" } }) {
        std::vector<std::string> lines;
        foundation::setLogSink([&](const std::string& text) { lines.push_back(text); });
        const bool failed = JSONValue(std::string(c.depth, '[')).isAbsent();
        foundation::setLogSink({});
        EXPECT_TRUE(failed) << c.depth;
        ASSERT_EQ(lines.size(), 1u) << c.depth;
        ASSERT_LT(lines[0].size(), c.most) << c.depth;
        EXPECT_EQ(lines[0].rfind("-JSONValue failed. Error trace is: (", 0), 0u) << c.depth;
        EXPECT_NE(lines[0].find(c.innermost), std::string::npos) << c.depth;

        JTJSON json;
        NSErrorRef error;
        EXPECT_TRUE(json.objectWithString(std::string(c.depth, '['), &error).isAbsent());
        ASSERT_TRUE(error);
        const std::string chain = error->description();
        EXPECT_LT(chain.size(), c.most) << c.depth;
        EXPECT_NE(chain.find(c.innermost), std::string::npos) << c.depth;
    }
}
