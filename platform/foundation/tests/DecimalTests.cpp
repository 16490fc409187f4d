// Exact decimal numbers: reading text, rounding past 38 digits, the exponent range, text,
// conversions, and how a decimal Value compares, hashes and describes itself.
#include "platform/foundation/Decimal.h"
#include "platform/foundation/Value.h"

#include <gtest/gtest.h>
#include <cmath>
#include <string>

using foundation::Decimal;

namespace {

std::string textOf(std::string_view written)
{
    auto d = Decimal::fromText(written);
    return d ? d->text() : "(none)";
}

} // namespace

TEST(Decimal, TextReadsBackDigitForDigit)
{
    const std::pair<const char*, const char*> cases[] = {
        { "12345678901234567890.123456789", "12345678901234567890.123456789" },
        { "0.1000000000000000000001", "0.1000000000000000000001" },
        { "-0.5", "-0.5" },
        { "1.50", "1.5" },
        { "0.0", "0" },
        { "-0.000", "0" },
        { "1E+5", "100000" },
        { "25e-1", "2.5" },
        { "0.00012", "0.00012" },
        { "1e300", "1e+300" },
        { "-5e-324", "-5e-324" },
        { "123.456e-100", "1.23456e-98" },
        { "12345678901234567890123456789012345678", "12345678901234567890123456789012345678" },
        // Past 38 significant digits the rest is rounded half up.
        { "1234567890123456789012345678901234567849", "1234567890123456789012345678901234567800" },
        { "0.99999999999999999999999999999999999999999", "1" },
        { "1e999999999", "1e+999999999" },
    };
    for (auto [written, expected] : cases) {
        EXPECT_EQ(textOf(written), expected) << written;
        EXPECT_EQ(textOf(textOf(written)), expected) << "the text reads back: " << written;
    }
}

TEST(Decimal, RefusesOtherTextAndMagnitudesPastTheExponentRange)
{
    for (const char* bad : { "", "-", "1.", ".5", "1e", "1e+", "1x", "+1", " 1", "1e1000000000", "10e999999999" })
        EXPECT_FALSE(Decimal::fromText(bad)) << bad;
    EXPECT_EQ(textOf("1e-1000000000"), "0") << "too small to hold reads as zero";
    EXPECT_EQ(textOf("0.1e1000000000"), "1e+999999999");
    EXPECT_EQ(textOf("0e99999999999"), "0");
    EXPECT_FALSE(Decimal::fromParts(false, 1, 1'000'000'000));
}

TEST(Decimal, Conversions)
{
    EXPECT_EQ(Decimal::fromText("0.1")->toDouble(), 0.1);
    EXPECT_EQ(Decimal::fromText("-2.5e-3")->toDouble(), -0.0025);
    EXPECT_EQ(Decimal::fromText("1e400")->toDouble(), HUGE_VAL);
    EXPECT_EQ(Decimal::fromText("-1e-400")->toDouble(), 0.0);
    EXPECT_EQ(Decimal::fromText("-12.9")->toInt64(), -12);
    EXPECT_EQ(Decimal::fromText("9223372036854775807")->toInt64(), INT64_MAX);
    EXPECT_EQ(Decimal::fromText("-9223372036854775808")->toInt64(), INT64_MIN);
    EXPECT_FALSE(Decimal::fromText("9223372036854775808")->toInt64());
    EXPECT_EQ(Decimal::fromText("18446744073709551615.5")->toUInt64(), UINT64_MAX);
    EXPECT_FALSE(Decimal::fromText("1e20")->toUInt64());
    EXPECT_FALSE(Decimal::fromText("-1")->toUInt64());
    EXPECT_EQ(Decimal::fromText("1e-50")->toInt64(), 0);
}

TEST(Decimal, AsAValueNumber)
{
    Value exact(*Decimal::fromText("12345678901234567890.123456789"));
    EXPECT_TRUE(exact.isDecimal());
    EXPECT_EQ(exact.description(), "12345678901234567890.123456789");
    EXPECT_EQ(Value::array({ Value(*Decimal::fromText("-2.5")) }).description(), "(\n    \"-2.5\"\n)");
    EXPECT_EQ(exact.doubleValue(), 12345678901234567890.123456789);
    EXPECT_EQ(exact.integerValue(), INT64_MAX) << "clamped as a double is";
    EXPECT_EQ(exact.unsignedValue(), 12345678901234567890u);
    EXPECT_TRUE(exact.boolValue());
    EXPECT_FALSE(Value(*Decimal::fromText("0.0")).boolValue());

    // Decimals and integers compare exactly, doubles as doubles; equal numbers hash alike.
    Value seven(*Decimal::fromText("7.0"));
    Value big(*Decimal::fromText("18446744073709551615"));
    Value nearOne(*Decimal::fromText("1.0000000000000000000000001"));
    EXPECT_EQ(seven, Value(7));
    EXPECT_EQ(seven, Value(7.0));
    EXPECT_EQ(seven.hash(), Value(7).hash());
    EXPECT_EQ(big, Value(UINT64_MAX));
    EXPECT_EQ(big.hash(), Value(UINT64_MAX).hash());
    EXPECT_NE(nearOne, Value(1)) << "exact against an integer";
    EXPECT_NE(nearOne, Value(*Decimal::fromText("1")));
    EXPECT_EQ(nearOne, Value(1.0)) << "as doubles against a double";
    EXPECT_EQ(Value(*Decimal::fromText("2.5")).hash(), Value(2.5).hash());
    EXPECT_EQ(Value(*Decimal::fromText("2.50")), Value(*Decimal::fromText("25e-1")));
}
