// Property lists: XML and binary round trips of every kind, formats found, and damaged input.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/persistence/NSPropertyListSerialization.h"
#include "TestSupport.h"

namespace {

Value sample()
{
    return Value::dictionary({
        { "text", "粉丝 <&> \"quoted\"" },
        { "empty", "" },
        { "int", Value(-42) },
        { "min", Value(INT64_MIN) },
        { "max", Value(INT64_MAX) },
        { "unsigned", Value(UINT64_MAX) },
        { "half", Value(9223372036854775808ull) },
        { "real", 2.5 },
        { "tiny", 1e-300 },
        { "yes", true },
        { "no", false },
        { "when", Value::date(1700000000) },
        { "data", Value(Bytes { 0, 1, 2, 0xfe, 0xff }) },
        { "list", Value::array({ 1, "two", Value::array({}), Value::dictionary({ { "k", 3 } }) }) },
        { "nested", Value::dictionary({ { "deeper", Value::dictionary({ { "x", Value::array({ 1.5 }) } }) } }) },
    });
}

} // namespace

TEST(PropertyList, RoundTripsEveryKindInBothFormats)
{
    for (auto format : { NSPropertyListXMLFormat_v1_0, NSPropertyListBinaryFormat_v1_0 }) {
        NSErrorRef error;
        auto bytes = NSPropertyListSerialization::dataWithPropertyList(sample(), format, 0, &error);
        ASSERT_TRUE(bytes) << (error ? error->description() : "");
        NSPropertyListFormat found = NSPropertyListOpenStepFormat;
        Value back = NSPropertyListSerialization::propertyListWithData(*bytes, 0, &found, &error);
        EXPECT_EQ(found, format);
        EXPECT_EQ(back, sample()) << back.description();
        EXPECT_EQ(back["min"].type(), Value::Type::Integer);
        EXPECT_EQ(back["real"].type(), Value::Type::Double);
        EXPECT_EQ(back["yes"].type(), Value::Type::Bool);
        std::string text(bytes->begin(), bytes->end());
        EXPECT_TRUE(format == NSPropertyListBinaryFormat_v1_0 ? text.starts_with("bplist00")
                                                               : text.find("<plist version=\"1.0\">") != std::string::npos);
    }
}

TEST(PropertyList, DatesRoundTripFromYearOneToYear4001)
{
    struct Case {
        const char* name;
        double seconds; // since 1970
        const char* xml; // as written, to the second
    };
    const Case cases[] = {
        { "year 1", -62135596800.0, "<date>0001-01-01T00:00:00Z</date>" },
        { "year 999", -30641760000.0, "<date>0999-01-01T00:00:00Z</date>" },
        { "1900", -2208988800.0, "<date>1900-01-01T00:00:00Z</date>" },
        { "1932", -1199232000.0, "<date>1932-01-01T00:00:00Z</date>" },
        { "before 2001", 978307199.0, "<date>2000-12-31T23:59:59Z</date>" },
        { "2070", 3155760000.0, "<date>2070-01-01T00:00:00Z</date>" },
        { "4001", 64092211200.0, "<date>4001-01-01T00:00:00Z</date>" },
    };
    for (const Case& c : cases) {
        for (double fraction : { 0.0, 0.5, 0.25 }) {
            double date = c.seconds + fraction;
            auto binary = NSPropertyListSerialization::dataWithPropertyList(
                Value::array({ Value::date(date) }), NSPropertyListBinaryFormat_v1_0);
            ASSERT_TRUE(binary) << c.name;
            EXPECT_DOUBLE_EQ(NSPropertyListSerialization::propertyListWithData(*binary)[0].asDate(), date)
                << c.name << " + " << fraction;
        }
        auto xml = NSPropertyListSerialization::dataWithPropertyList(
            Value::dictionary({ { "when", Value::date(c.seconds) } }), NSPropertyListXMLFormat_v1_0);
        ASSERT_TRUE(xml) << c.name;
        EXPECT_NE(std::string(xml->begin(), xml->end()).find(c.xml), std::string::npos) << c.name;
        EXPECT_DOUBLE_EQ(NSPropertyListSerialization::propertyListWithData(*xml)["when"].asDate(), c.seconds) << c.name;
    }
}

TEST(PropertyList, RealsKeepTheirSignAndSpecialValues)
{
    for (auto format : { NSPropertyListXMLFormat_v1_0, NSPropertyListBinaryFormat_v1_0 }) {
        const double reals[] = { -0.0, 0.0, -2.5, 1e308, -1e-300, HUGE_VAL, -HUGE_VAL };
        auto bytes = NSPropertyListSerialization::dataWithPropertyList(Value(Value::Array(reals, reals + 7)), format);
        ASSERT_TRUE(bytes);
        Value back = NSPropertyListSerialization::propertyListWithData(*bytes);
        ASSERT_EQ(back.count(), 7u) << std::string(bytes->begin(), bytes->end());
        for (std::size_t i = 0; i < 7; ++i)
            EXPECT_TRUE(back[i].doubleValue() == reals[i] && std::signbit(back[i].doubleValue()) == std::signbit(reals[i]))
                << reals[i] << ", format " << format;

        Value nested = Value::dictionary({ { "a", 0.0 }, { "b", Value::dictionary({ { "c", -0.0 }, { "d", Value::date(0) } }) },
            { "e", Value::array({ 0.0, -0.0 }) } });
        Value again = NSPropertyListSerialization::propertyListWithData(
            *NSPropertyListSerialization::dataWithPropertyList(nested, format));
        EXPECT_FALSE(std::signbit(again["a"].doubleValue()));
        EXPECT_TRUE(std::signbit(again["b"]["c"].doubleValue()));
        EXPECT_FALSE(std::signbit(again["e"][0].doubleValue()));
        EXPECT_TRUE(std::signbit(again["e"][1].doubleValue()));
    }
    for (auto [text, negative] : { std::pair { "-0.0", true }, { "-0", true }, { " -0.000 ", true }, { "0.0", false } }) {
        Value v = NSPropertyListSerialization::propertyListWithData(
            bytesOf(std::string("<plist version=\"1.0\"><real>") + text + "</real></plist>"));
        ASSERT_TRUE(v.isDouble()) << text;
        EXPECT_EQ(std::signbit(v.doubleValue()), negative) << text;
    }
}

TEST(PropertyList, ReadsHandWrittenXML)
{
    std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>APP_KEY</key>
	<string>abc123</string>
	<key>CHANNEL</key>
	<string>渠道</string>
	<key>APS_FOR_PRODUCTION</key>
	<false/>
	<key>count</key>
	<integer>-7</integer>
	<key>big</key>
	<integer>18446744073709551615</integer>
	<key>when</key>
	<date>2001-01-01T00:00:10Z</date>
	<key>blob</key>
	<data>AAEC</data>
</dict>
</plist>
)";
    NSPropertyListFormat format {};
    Value v = NSPropertyListSerialization::propertyListWithData(bytesOf(xml), 0, &format);
    EXPECT_EQ(format, NSPropertyListXMLFormat_v1_0);
    EXPECT_EQ(v, Value::dictionary({ { "APP_KEY", "abc123" }, { "CHANNEL", "渠道" }, { "APS_FOR_PRODUCTION", false },
                     { "count", -7 }, { "big", Value(UINT64_MAX) }, { "when", Value::date(978307210.0) },
                     { "blob", Value(Bytes { 0, 1, 2 }) } }));
    EXPECT_EQ(v["APS_FOR_PRODUCTION"].type(), Value::Type::Bool);
}

TEST(PropertyList, RefusesWhatItCannotWrite)
{
    for (const Value& bad : { Value::null(), Value(), Value::array({ Value::null() }),
             Value::dictionary({ { "k", Value::dictionary({ { "n", Value::null() } }) } }) }) {
        auto error = errorOf([&](NSErrorRef* e) {
            return NSPropertyListSerialization::dataWithPropertyList(bad, NSPropertyListBinaryFormat_v1_0, 0, e);
        });
        EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
        EXPECT_EQ(error->code(), NSPropertyListWriteInvalidError);
        EXPECT_FALSE(NSPropertyListSerialization::propertyListIsValidForFormat(bad, NSPropertyListXMLFormat_v1_0));
    }
    NSErrorRef error;
    EXPECT_FALSE(NSPropertyListSerialization::dataWithPropertyList(Value::array(), NSPropertyListOpenStepFormat, 0, &error));
    EXPECT_EQ(error->code(), NSPropertyListWriteStreamError);
}

TEST(PropertyList, DamagedInputGivesAnErrorNeverACrash)
{
    auto good = NSPropertyListSerialization::dataWithPropertyList(sample(), NSPropertyListBinaryFormat_v1_0);
    auto goodXML = NSPropertyListSerialization::dataWithPropertyList(sample(), NSPropertyListXMLFormat_v1_0);
    ASSERT_TRUE(good && goodXML);
    std::vector<Bytes> bad { {}, bytesOf("hello"), bytesOf("bplist00"), bytesOf("<plist><dict><key>a</key></plist>"),
        bytesOf("<plist><string>a\xff</string></plist>"), bytesOf("{ a = b; }") };
    for (std::size_t cut = 0; cut < good->size(); cut += 7)
        bad.emplace_back(good->begin(), good->begin() + static_cast<long>(cut));
    for (std::size_t cut = 0; cut < goodXML->size(); cut += 61)
        bad.emplace_back(goodXML->begin(), goodXML->begin() + static_cast<long>(cut));
    for (const Bytes& data : bad) {
        NSErrorRef error;
        Value v = NSPropertyListSerialization::propertyListWithData(data, 0, nullptr, &error);
        if (!v.isAbsent())
            continue; // a cut that still parses as something
        ASSERT_TRUE(error) << std::string(data.begin(), data.end());
        EXPECT_EQ(error->code(), NSPropertyListReadCorruptError);
    }
    // A key with a NUL inside (which the parser underneath would abort on) is refused.
    auto keyed = NSPropertyListSerialization::dataWithPropertyList(
        Value::dictionary({ { "akey", 1 } }), NSPropertyListBinaryFormat_v1_0);
    ASSERT_TRUE(keyed);
    std::string raw(keyed->begin(), keyed->end());
    std::size_t at = raw.find("akey");
    ASSERT_NE(at, std::string::npos);
    (*keyed)[at + 1] = 0;
    errorOf([&](NSErrorRef* e) { return !NSPropertyListSerialization::propertyListWithData(*keyed, 0, nullptr, e).isAbsent(); });

    // Garbage in the offset table of an otherwise sound binary list.
    Bytes broken = *good;
    for (std::size_t i = broken.size() - 40; i < broken.size() - 32; ++i)
        broken[i] = 0xff;
    NSPropertyListSerialization::propertyListWithData(broken);
}
