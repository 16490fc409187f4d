// The string digest and the data extension's Base64: RFC vectors, line breaking, and the
// lenient reader's skipping, stopping at "=", dropped tails and non-ASCII text.
#include <gtest/gtest.h>

#include <random>

#include "app/NSData+Base64.h"
#include "app/NSString+MD5.h"

namespace {

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

TEST(StringDigest, MatchesTheRfcSuiteInLowercaseAndStopsAtTheFirstZero)
{
    const std::pair<const char*, const char*> vectors[] = {
        { "", "d41d8cd98f00b204e9800998ecf8427e" },
        { "a", "0cc175b9c0f1b6a831c399e269772661" },
        { "abc", "900150983cd24fb0d6963f7d28e17f72" },
        { "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
            "57edf4a22be3c955ac49da2e2107b67a" },
        { "粉丝", "1c173c837882e4a435755601517b93c6" },
    };
    for (const auto& [text, digest] : vectors)
        EXPECT_EQ(NSString::MD5(text), digest) << text;
    EXPECT_EQ(NSString::MD5(std::string("abc\0def", 7)), NSString::MD5("abc"));
    EXPECT_EQ(NSString::MD5(std::string("\0abc", 4)), NSString::MD5(""));
}

TEST(DataBase64, EncodesRfcVectorsWithoutBreaks)
{
    const std::pair<const char*, const char*> vectors[] = {
        { "", "" }, { "f", "Zg==" }, { "fo", "Zm8=" }, { "foo", "Zm9v" }, { "foob", "Zm9vYg==" }, { "fooba", "Zm9vYmE=" },
        { "foobar", "Zm9vYmFy" },
    };
    for (const auto& [plain, text] : vectors)
        EXPECT_EQ(NSData::base64Encoding(bytesOf(plain)), text) << plain;
    EXPECT_EQ(NSData::base64Encoding(Bytes { 0xFB, 0xFF, 0xBF }), "+/+/");
}

TEST(DataBase64, BreaksLinesOnlyBetweenGroups)
{
    EXPECT_EQ(NSData::base64EncodingWithLineLength(bytesOf("foobar"), 4), "Zm9v\nYmFy\n");
    EXPECT_EQ(NSData::base64EncodingWithLineLength(bytesOf("foobar"), 0), "Zm9vYmFy");
    // A length that is not a multiple of four breaks after the group that passes it.
    EXPECT_EQ(NSData::base64EncodingWithLineLength(bytesOf("foobarf"), 6), "Zm9vYmFy\nZg==");
    EXPECT_EQ(NSData::base64EncodingWithLineLength(bytesOf("foo"), 1), "Zm9v\n");

    std::string line; // 57 bytes "AAA..." make one line of 76
    for (int i = 0; i < 19; ++i)
        line += "QUFB";
    EXPECT_EQ(NSData::base64EncodingWithLineLength(Bytes(57 * 3, 0x41), 76), line + "\n" + line + "\n" + line + "\n");
}

TEST(DataBase64, LenientReaderSkipsStopsAtThePadDropsTailsAndRefusesNonAscii)
{
    const std::pair<std::string, Bytes> cases[] = {
        { " Z m\t9v\r\nYm*F-y!", bytesOf("foobar") }, // what is not Base64 is skipped
        { std::string("Zm9v\0YmFy", 9), bytesOf("foobar") }, // a zero byte included
        { "Zm9vYg==", bytesOf("foob") },
        { "Zm8=Zm9v", bytesOf("fo") }, // whatever follows the first "=" is ignored
        { "=Zm9v", {} },
        { "Zm9vZ=", { 'f', 'o', 'o', 0x64 } }, // one character then "=" still writes its byte
        { "Zm9vYmE", bytesOf("foo") }, // an unfinished group is dropped
        { "Zm9vY", bytesOf("foo") },
        { "", {} },
        { "Zm9v粉丝", {} },
        { std::string("Zm9v\xFF", 5), {} },
    };
    for (const auto& [text, data] : cases)
        EXPECT_EQ(NSData::initWithBase64EncodedString(text), data) << text;
    EXPECT_EQ(NSData::initWithBase64EncodedString(std::nullopt), Bytes {});
    EXPECT_EQ(NSData::dataWithBase64EncodedString("Zm9vYmE="), bytesOf("fooba"));
}

TEST(DataBase64, RoundTripsRandomDataAtEveryLineLength)
{
    std::mt19937 random(7);
    for (std::size_t size = 0; size <= 300; ++size) {
        Bytes data(size);
        for (auto& byte : data)
            byte = static_cast<std::uint8_t>(random());
        for (std::uint32_t line : { 0u, 4u, 5u, 64u, 76u }) {
            auto text = NSData::base64EncodingWithLineLength(data, line);
            ASSERT_EQ(NSData::initWithBase64EncodedString(text), data) << size << " " << line;
        }
    }
}

} // namespace
