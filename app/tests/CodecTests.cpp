// The string digest and the two Base64 readers with the data extension's encoder: RFC vectors,
// line breaking; the lenient reader's skipping, stopping at "=", dropped tails and non-ASCII
// text; the strict decoder's sizes and statuses, the line breaks it allows, what makes input
// invalid, and its two-call decodeString. The fuzz targets round-trip the encoding.
#include <gtest/gtest.h>

#include "app/Base64.h"
#include "app/NSData+Base64.h"
#include "app/NSString+MD5.h"

namespace {

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

TEST(StringDigest, MatchesTheRfcSuiteInLowercaseAndStopsAtTheFirstZero)
{
    const std::pair<const char*, const char*> vectors[] = {
        { "", "d41d8cd98f00b204e9800998ecf8427e" },
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

// RFC vectors without breaks; with them, lines break only between groups, after the group that
// passes a length that is not a multiple of four.
TEST(DataBase64, EncodesRfcVectorsAndBreaksLinesOnlyBetweenGroups)
{
    const std::tuple<const char*, std::uint32_t, const char*> vectors[] = { { "", 0, "" }, { "f", 0, "Zg==" },
        { "fo", 0, "Zm8=" }, { "foo", 0, "Zm9v" }, { "foob", 0, "Zm9vYg==" }, { "fooba", 0, "Zm9vYmE=" },
        { "foobar", 0, "Zm9vYmFy" }, { "foobar", 4, "Zm9v\nYmFy\n" }, { "foobarf", 6, "Zm9vYmFy\nZg==" },
        { "foo", 1, "Zm9v\n" } };
    for (const auto& [plain, line, text] : vectors)
        EXPECT_EQ(NSData::base64EncodingWithLineLength(bytesOf(plain), line), text) << plain << " " << line;
    EXPECT_EQ(NSData::base64Encoding(Bytes { 0xFB, 0xFF, 0xBF }), "+/+/");
    EXPECT_EQ(NSData::base64EncodingWithLineLength(Bytes(57 * 2, 0x41), 76).find('\n'), 76u); // 57 bytes a line
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

int decode(std::string_view text, Bytes& out, std::int32_t& size)
{
    out.assign(static_cast<std::size_t>(std::max(size, 0)), 0xEE);
    return Base64Decode(out.empty() ? nullptr : out.data(), &size, reinterpret_cast<const std::uint8_t*>(text.data()),
        static_cast<std::int32_t>(text.size()));
}

TEST(StrictBase64, AsksForTheSizeItNeeds)
{
    Bytes out;
    std::int32_t size = 2;
    EXPECT_EQ(decode("Zm9v", out, size), kBase64DecodeBufferTooSmall);
    EXPECT_EQ(size, 3);
    EXPECT_EQ(out, Bytes(2, 0xEE)); // nothing written

    // Pads count towards the size asked for: 8 characters need 6 bytes, 4 are written.
    size = 0;
    EXPECT_EQ(decode("Zm9vYg==", out, size), kBase64DecodeBufferTooSmall);
    EXPECT_EQ(size, 6);
    EXPECT_EQ(decode("Zm9vYg==", out, size), 0);
    EXPECT_EQ(size, 4);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + size), bytesOf("foob"));
}

TEST(StrictBase64, MissingOrShortBuffersAreNeverWrittenAndEmptyInputLeavesTheSize)
{
    Bytes out;
    std::int32_t size = 9;
    EXPECT_EQ(decode("", out, size), 0);
    EXPECT_EQ(decode("\r\n\n", out, size), 0);
    EXPECT_EQ(Base64Decode(nullptr, &size, reinterpret_cast<const std::uint8_t*>("Zm9v"), -4), 0);
    EXPECT_EQ(size, 9);

    // A null buffer has no room whatever size it claims; a negative size is no room either.
    size = 1000;
    EXPECT_EQ(Base64Decode(nullptr, &size, reinterpret_cast<const std::uint8_t*>("Zm9v"), 4), kBase64DecodeBufferTooSmall);
    EXPECT_EQ(size, 3);
    size = -5;
    std::uint8_t buffer[3];
    EXPECT_EQ(Base64Decode(buffer, &size, reinterpret_cast<const std::uint8_t*>("Zm9v"), 4), kBase64DecodeBufferTooSmall);
    EXPECT_EQ(Base64Decode(buffer, nullptr, reinterpret_cast<const std::uint8_t*>("Zm9v"), 4), kBase64DecodeInvalidInput);
}

TEST(StrictBase64, InvalidInput)
{
    const char* invalid[] = {
        "Zm9v\rYmFy", // CR without LF
        "Zm9v\r", // CR at the very end
        "Zm8===", // a third pad
        "Zm8=Zm9v", // alphabet after a pad
        "Zm 9v", // a space
        "Zm-9", // the URL alphabet
        "Zm9v\xFF",
    };
    for (const char* text : invalid) {
        Bytes out;
        std::int32_t size = 100;
        EXPECT_EQ(decode(text, out, size), kBase64DecodeInvalidInput) << text;
        EXPECT_EQ(size, 100) << text;
        EXPECT_EQ(Base64::decodeString(text), Bytes {}) << text;
    }
}

TEST(StrictBase64, DecodeStringAcceptsLineBreaksAndDropsTails)
{
    EXPECT_EQ(Base64::decodeString("Zm9v\r\nYmFy"), bytesOf("foobar"));
    EXPECT_EQ(Base64::decodeString("Zm9vYmE="), bytesOf("fooba"));
    EXPECT_EQ(Base64::decodeString("Zm8=\r\n="), bytesOf("fo")); // a pad after a break is still a pad
    // Unfinished groups give nothing.
    EXPECT_EQ(Base64::decodeString("Zm9vYmE"), bytesOf("foo"));
    EXPECT_EQ(Base64::decodeString("Zg"), Bytes {});
    EXPECT_EQ(Base64::decodeString("=="), Bytes {});
    // The text ends at its first zero byte.
    EXPECT_EQ(Base64::decodeString(std::string("Zm9v\0!!!!", 9)), bytesOf("foo"));
}

} // namespace
