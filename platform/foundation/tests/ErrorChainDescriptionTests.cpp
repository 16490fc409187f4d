// Objects inside collections: an error holding another quotes it, escaped, as always; a chain
// of errors, each the underlying error of the next, describes itself in text linear in its
// length, alone or as a trace that lists every error of it.
#include "platform/foundation/NSError.h"

#include <gtest/gtest.h>

namespace {

// `depth` errors of one message, each holding the one before it, innermost first.
Value trace(int depth, const std::string& message = "Expected value")
{
    Value errors = Value::array();
    NSErrorRef error;
    for (int level = 0; level < depth; ++level) {
        Value info = Value::dictionary({ { NSLocalizedDescriptionKey, message } });
        if (error)
            info.set(NSUnderlyingErrorKey, Value(error));
        error = NSError::errorWithDomain("D", 3, std::move(info));
        errors.append(Value(error));
    }
    return errors;
}

std::size_t chainSize(int depth) { return trace(depth).asArray().back().description().size(); }

std::size_t count(const std::string& text, const std::string& part)
{
    std::size_t found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

} // namespace

TEST(ErrorChainDescription, AnErrorHoldingAnotherQuotesItOnce)
{
    auto inner = NSError::errorWithDomain("D", 7, Value::dictionary({ { NSLocalizedDescriptionKey, "Too \"deep\"" } }));
    auto outer = NSError::errorWithDomain(
        "D", 3, Value::dictionary({ { NSLocalizedDescriptionKey, "outer" }, { NSUnderlyingErrorKey, Value(inner) } }));
    EXPECT_EQ(outer->description(),
        "Error Domain=D Code=3 \"outer\" UserInfo={\n"
        "    NSLocalizedDescription = outer;\n"
        "    NSUnderlyingError = \"Error Domain=D Code=7 \\\"Too \\\"deep\\\"\\\" UserInfo={\\n"
        "    NSLocalizedDescription = \\\"Too \\\\\\\"deep\\\\\\\"\\\";\\n}\";\n"
        "}");
}

TEST(ErrorChainDescription, AChainGrowsLinearlyWithItsDepth)
{
    // Each level adds the same text, however deep it lies, and every message stays in it.
    ASSERT_LT(chainSize(12), 12u * 400); // (doubling with each level, deeper chains fill memory)
    EXPECT_EQ(chainSize(60) - chainSize(40), chainSize(40) - chainSize(20));
    const std::string deep = trace(500, "Nested too deep").asArray().back().description();
    EXPECT_LT(deep.size(), 500u * 400);
    EXPECT_EQ(count(deep, "Nested too deep"), 1000u) << "each level's, in its header and its user info";
}

TEST(ErrorChainDescription, ATraceDescribesEachErrorOnce)
{
    // The errors come in full; the next one names the error it holds, already written.
    const Value three = trace(3, "E");
    const std::string text = three.description();
    ASSERT_EQ(count(text, "Error Domain=D Code=3"), 3u) << text;
    EXPECT_EQ(count(text, "NSUnderlyingError = <NSError: 0x"), 2u) << text;
    EXPECT_EQ(count(three.asArray().back().description(), "Error Domain"), 3u) << "a new description starts afresh";
    const std::size_t at500 = trace(500).description().size();
    EXPECT_LT(at500, 500u * 400);
    EXPECT_LT(trace(1000).description().size(), at500 * 21 / 10) << "twice the errors, about twice the text";
}
