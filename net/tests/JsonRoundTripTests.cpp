// Round trips: random values of every JSON kind, written in each mode, read back equal; and
// texts read and written back to the same text.
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <random>

#include "net/JTJsonParser.h"
#include "net/JTJsonWriter.h"
#include "platform/foundation/Utf8.h"

namespace {

class RandomValues {
public:
    explicit RandomValues(unsigned seed)
        : rng_(seed)
    {
    }

    Value any(int depth)
    {
        switch (pick(depth > 0 ? 9 : 7)) {
        case 0:
            return Value::null();
        case 1:
            return Value(pick(2) == 1);
        case 2:
            return Value(static_cast<std::int64_t>(rng_()));
        case 3:
            return Value(static_cast<std::uint64_t>(rng_()) | (std::uint64_t(1) << 63));
        case 4: {
            // Doubles of every magnitude, by their bits, skipping NaN and infinities.
            double d;
            do {
                std::uint64_t bits = rng_();
                std::memcpy(&d, &bits, sizeof d);
            } while (!std::isfinite(d));
            return Value(d);
        }
        case 5:
        case 6:
            return Value(text());
        case 7: {
            Value::Array array;
            for (int n = pick(5); n > 0; --n)
                array.push_back(any(depth - 1));
            return Value(std::move(array));
        }
        default: {
            Value::Dictionary dictionary;
            for (int n = pick(5); n > 0; --n)
                dictionary.insert_or_assign(text(), any(depth - 1));
            return Value(std::move(dictionary));
        }
        }
    }

private:
    int pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

    // Control characters, quotes, backslashes, ASCII and characters of two, three and four bytes.
    std::string text()
    {
        static const char32_t alphabet[] = { 0, 1, 8, 9, 10, 12, 13, 0x1f, '"', '\\', '/', 'a', 'Z', ' ', 0x7f, 0xe9,
            0x7c89, 0x4e1d, 0xfffd, 0xffff, 0x10000, 0x1f600, 0x10ffff };
        std::string s;
        for (int n = pick(12); n > 0; --n)
            foundation::utf8::append(s, alphabet[pick(sizeof alphabet / sizeof alphabet[0])]);
        return s;
    }

    std::mt19937_64 rng_;
};

} // namespace

TEST(JsonRoundTrip, RandomValuesReadBackEqualInEveryMode)
{
    RandomValues random(20240611);
    JTJsonParser parser;
    for (int i = 0; i < 2000; ++i) {
        Value value = random.any(4);
        for (bool humanReadable : { false, true }) {
            JTJsonWriter writer;
            writer.setHumanReadable(humanReadable);
            writer.setSortKeys(i % 2 == 0);
            std::optional<std::string> text = writer.stringWithFragment(value);
            ASSERT_TRUE(text) << writer.errorTrace().description();
            Value back = parser.fragmentWithString(*text);
            ASSERT_EQ(back, value) << *text << "\n" << parser.errorTrace().description();
            // Integers stay integers (an integral double may come back as an integer of equal value).
            if (value.isInteger()) {
                EXPECT_EQ(back.type(), value.type()) << *text;
            }
        }
    }
}

TEST(JsonRoundTrip, CanonicalTextsWriteBackUnchanged)
{
    const char* texts[] = {
        R"({"info":{"listItems":[{"id":1,"phone":"13800000000"}]},"msg":"","status":1})",
        R"([0.1,-2.5,7,1e+300,5e-324,-9223372036854775808,18446744073709551615,true,false,null])",
        R"(["\"\\\b\f\n\r\t\u0000\u001f/粉丝😀"])",
        R"([[],{},[[]],{"a":{}}])",
    };
    JTJsonParser parser;
    JTJsonWriter writer;
    for (const char* text : texts)
        EXPECT_EQ(writer.stringWithObject(parser.objectWithString(text)), text);
}
