// The string digest and the data extension's Base64: RFC vectors, line breaking, and the
// lenient reader's skipping, stopping at "=", dropped tails and non-ASCII text.
#include <gtest/gtest.h>

#include <random>

#include "app/NSData+Base64.h"
#include "app/NSString+MD5.h"

namespace {

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

TEST(StringDigest, MatchesTheRfcSuiteInLowercase)
{
    const std::pair<const char*, const char*> vectors[] = {
        { "", "d41d8cd98f00b204e9800998ecf8427e" },
        { "a", "0cc175b9c0f1b6a831c399e269772661" },
        { "abc", "900150983cd24fb0d6963f7d28e17f72" },
        { "message digest", "f96b697d7cb7938d525a2f31aaf161d0" },
        { "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b" },
        { "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f" },
        { "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
            "57edf4a22be3c955ac49da2e2107b67a" },
        { "粉丝", "1c173c837882e4a435755601517b93c6" },
    };
    for (const auto& [text, digest] : vectors)
        EXPECT_EQ(NSString::MD5(text), digest) << text;
}

TEST(StringDigest, StopsAtTheFirstZeroCharacter)
{
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
    EXPECT_EQ(NSData::base64EncodingWithLineLength({}, 4), "");

    Bytes data(57 * 3, 0x41);
    auto text = NSData::base64EncodingWithLineLength(data, 76);
    std::size_t lines = 0;
    for (std::size_t start = 0; start < text.size();) {
        auto end = text.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_EQ(end - start, 76u);
        start = end + 1;
        ++lines;
    }
    EXPECT_EQ(lines, 3u);
}

TEST(DataBase64, LenientReaderSkipsWhatIsNotBase64)
{
    EXPECT_EQ(NSData::initWithBase64EncodedString("Zm9v\nYmFy\n"), bytesOf("foobar"));
    EXPECT_EQ(NSData::initWithBase64EncodedString(" Z m\t9v\r\nYm*F-y!"), bytesOf("foobar"));
    EXPECT_EQ(NSData::dataWithBase64EncodedString("Zm9vYmE="), bytesOf("fooba"));
    EXPECT_EQ(NSData::initWithBase64EncodedString("Zm9vYg=="), bytesOf("foob"));
}

TEST(DataBase64, LenientReaderStopsAtTheFirstPad)
{
    // Whatever follows the first "=" is ignored, valid Base64 included.
    EXPECT_EQ(NSData::initWithBase64EncodedString("Zm8=Zm9v"), bytesOf("fo"));
    EXPECT_EQ(NSData::initWithBase64EncodedString("Zm9v=Zm9v"), bytesOf("foo"));
    EXPECT_EQ(NSData::initWithBase64EncodedString("=Zm9v"), Bytes {});
    // One character then "=" still writes its byte.
    EXPECT_EQ(NSData::initWithBase64EncodedString("Zm9vZ="), (Bytes { 'f', 'o', 'o', 0x64 }));
}

TEST(DataBase64, LenientReaderDropsTailsAndRefusesNonAscii)
{
    EXPECT_EQ(NSData::initWithBase64EncodedString("Zm9vYmE"), bytesOf("foo"));
    EXPECT_EQ(NSData::initWithBase64EncodedString("Zm9vY"), bytesOf("foo"));
    EXPECT_EQ(NSData::initWithBase64EncodedString(std::nullopt), Bytes {});
    EXPECT_EQ(NSData::initWithBase64EncodedString(""), Bytes {});
    EXPECT_EQ(NSData::initWithBase64EncodedString("Zm9v粉丝"), Bytes {});
    EXPECT_EQ(NSData::initWithBase64EncodedString(std::string("Zm9v\xFF", 5)), Bytes {});
    // A zero byte is just another byte to skip.
    EXPECT_EQ(NSData::initWithBase64EncodedString(std::string("Zm9v\0YmFy", 9)), bytesOf("foobar"));
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
