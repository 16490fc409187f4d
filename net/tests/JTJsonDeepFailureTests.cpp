// Deep input that fails: the convenience conversion logs its error trace in one line of modest
// size, and the facade's error describes the whole chain.
#include <gtest/gtest.h>

#include "net/JTJSON.h"
#include "net/JTJsonConvenience.h"
#include "platform/foundation/NSLog.h"

TEST(JTJsonDeepFailure, UnclosedArraysFailWithABoundedDescription)
{
    // (12 first: where the text doubled with each level, deeper ones would fill memory)
    for (std::size_t depth : { 12, 40, 10000 }) {
        const std::size_t most = depth < 40 ? 16 * 1024 : depth == 40 ? 64 * 1024 : 1024 * 1024;
        const char* innermost = depth > 512 ? "Nested too deep" : "End of input while parsing array";
        std::vector<std::string> lines;
        foundation::setLogSink([&](const std::string& text) { lines.push_back(text); });
        const bool failed = JSONValue(std::string(depth, '[')).isAbsent();
        foundation::setLogSink({});
        EXPECT_TRUE(failed) << depth;
        ASSERT_EQ(lines.size(), 1u) << depth;
        ASSERT_LT(lines[0].size(), most) << depth;
        EXPECT_EQ(lines[0].rfind("-JSONValue failed. Error trace is: (", 0), 0u) << depth;
        EXPECT_NE(lines[0].find(innermost), std::string::npos) << depth;

        NSErrorRef error;
        EXPECT_TRUE(JTJSON().objectWithString(std::string(depth, '['), &error).isAbsent());
        ASSERT_TRUE(error);
        EXPECT_LT(error->description().size(), most) << depth;
        EXPECT_NE(error->description().find(innermost), std::string::npos) << depth;
    }
}
