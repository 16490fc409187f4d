// Base64 with the platform's line options, and its strict decoding.
#include "platform/foundation/Base64.h"

#include <gtest/gtest.h>

using foundation::base64Decode;
using foundation::base64Encode;

namespace {

Bytes bytesOf(std::string_view s) { return Bytes(s.begin(), s.end()); }

} // namespace

TEST(Base64, TheStandardVectorsEncodeAndDecode)
{
    for (auto [plain, text] : { std::pair { "", "" }, std::pair { "f", "Zg==" }, std::pair { "fo", "Zm8=" },
             std::pair { "foo", "Zm9v" }, std::pair { "foobar", "Zm9vYmFy" }, std::pair { "\xfb\xff", "+/8=" },
             std::pair { "user:pass", "dXNlcjpwYXNz" } }) {
        EXPECT_EQ(base64Encode(bytesOf(plain)), text) << plain;
        EXPECT_EQ(base64Decode(text), bytesOf(plain)) << text;
    }
}

TEST(Base64, BreaksLinesAsAsked)
{
    Bytes data(100, 0xab); // 136 characters
    std::string plain = base64Encode(data);
    ASSERT_EQ(plain.size(), 136u);

    EXPECT_EQ(base64Encode(data, NSDataBase64Encoding64CharacterLineLength),
        plain.substr(0, 64) + "\r\n" + plain.substr(64, 64) + "\r\n" + plain.substr(128));
    EXPECT_EQ(base64Encode(data, NSDataBase64Encoding76CharacterLineLength | NSDataBase64EncodingEndLineWithLineFeed),
        plain.substr(0, 76) + "\n" + plain.substr(76));
    // A text that ends exactly at a line's end gets no line ending after it.
    EXPECT_EQ(base64Encode(Bytes(48, 1), NSDataBase64Encoding64CharacterLineLength).size(), 64u);
    // Line options without a length change nothing.
    EXPECT_EQ(base64Encode(data, NSDataBase64EncodingEndLineWithLineFeed), plain);
}

TEST(Base64, DecodingIsStrictUnlessToldToSkip)
{
    for (const char* bad : { "Zg", "Zm8", "Z", "Zg=", "Z===", "====", "Zg==Zg==", "Zm9v\r\nYmFy", "Zm9v YmFy", "Zm9v!",
             "Zg===", "=Zg=", "Zm9vY", "Zm-_" })
        EXPECT_EQ(base64Decode(bad), std::nullopt) << bad;

    auto skip = NSDataBase64DecodingIgnoreUnknownCharacters;
    EXPECT_EQ(base64Decode("Zm9v\r\nYmFy", skip), bytesOf("foobar"));
    EXPECT_EQ(base64Decode(" Zg = = \n", skip), bytesOf("f"));
    EXPECT_EQ(base64Decode("Zg", skip), std::nullopt); // padding is still needed
    EXPECT_EQ(base64Decode("Zg==Zg==", skip), std::nullopt);
    // Round trips through broken lines: the fuzz target checks them on every input.
}
