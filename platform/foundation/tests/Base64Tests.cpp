// Base64 with the platform's line options, and its strict decoding.
#include "platform/foundation/Base64.h"

#include <gtest/gtest.h>

using foundation::base64Decode;
using foundation::base64Encode;

namespace {

Bytes bytesOf(std::string_view s)
{
    return Bytes(s.begin(), s.end());
}

} // namespace

TEST(Base64, EncodesTheStandardVectors)
{
    EXPECT_EQ(base64Encode({}), "");
    EXPECT_EQ(base64Encode(bytesOf("f")), "Zg==");
    EXPECT_EQ(base64Encode(bytesOf("fo")), "Zm8=");
    EXPECT_EQ(base64Encode(bytesOf("foo")), "Zm9v");
    EXPECT_EQ(base64Encode(bytesOf("foobar")), "Zm9vYmFy");
    EXPECT_EQ(base64Encode(Bytes { 0xfb, 0xff }), "+/8=");
    EXPECT_EQ(base64Encode(bytesOf("user:pass")), "dXNlcjpwYXNz");
}

TEST(Base64, BreaksLinesAsAsked)
{
    Bytes data(100, 0xab); // 136 characters
    std::string plain = base64Encode(data);
    ASSERT_EQ(plain.size(), 136u);

    std::string crlf = base64Encode(data, NSDataBase64Encoding64CharacterLineLength);
    EXPECT_EQ(crlf, plain.substr(0, 64) + "\r\n" + plain.substr(64, 64) + "\r\n" + plain.substr(128));
    std::string lf = base64Encode(data, NSDataBase64Encoding76CharacterLineLength | NSDataBase64EncodingEndLineWithLineFeed);
    EXPECT_EQ(lf, plain.substr(0, 76) + "\n" + plain.substr(76));
    std::string cr = base64Encode(data, NSDataBase64Encoding76CharacterLineLength | NSDataBase64EncodingEndLineWithCarriageReturn);
    EXPECT_EQ(cr, plain.substr(0, 76) + "\r" + plain.substr(76));
    EXPECT_EQ(base64Encode(data, NSDataBase64Encoding64CharacterLineLength | NSDataBase64Encoding76CharacterLineLength),
        crlf);
    // A text that ends exactly at a line's end gets no line ending after it.
    EXPECT_EQ(base64Encode(Bytes(48, 1), NSDataBase64Encoding64CharacterLineLength).size(), 64u);
    // Line options without a length change nothing.
    EXPECT_EQ(base64Encode(data, NSDataBase64EncodingEndLineWithLineFeed), plain);
}

TEST(Base64, DecodingIsStrictUnlessToldToSkip)
{
    EXPECT_EQ(base64Decode(""), Bytes {});
    EXPECT_EQ(base64Decode("Zm9vYmFy"), bytesOf("foobar"));
    EXPECT_EQ(base64Decode("Zg=="), bytesOf("f"));
    EXPECT_EQ(base64Decode("Zm8="), bytesOf("fo"));
    EXPECT_EQ(base64Decode("+/8="), (Bytes { 0xfb, 0xff }));
    for (const char* bad : { "Zg", "Zm8", "Z", "Zg=", "Z===", "====", "Zg==Zg==", "Zm9v\r\nYmFy", "Zm9v YmFy", "Zm9v!",
             "Zg===", "=Zg=", "Zm9vY", "Zm-_" })
        EXPECT_EQ(base64Decode(bad), std::nullopt) << bad;

    auto skip = NSDataBase64DecodingIgnoreUnknownCharacters;
    EXPECT_EQ(base64Decode("Zm9v\r\nYmFy", skip), bytesOf("foobar"));
    EXPECT_EQ(base64Decode(" Zg = = \n", skip), bytesOf("f"));
    EXPECT_EQ(base64Decode("Zg", skip), std::nullopt); // padding is still needed
    EXPECT_EQ(base64Decode("Zg==Zg==", skip), std::nullopt);

    Bytes all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<std::uint8_t>(b));
    for (auto options : { NSDataBase64Encoding64CharacterLineLength, NSDataBase64Encoding76CharacterLineLength })
        EXPECT_EQ(base64Decode(base64Encode(all, options), skip), all);
}
