// The strict decoder: sizes and statuses of Base64Decode, the line breaks it allows, what makes
// input invalid, the two-call decodeString, and agreement with the data extension's encoder.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "app/Base64.h"
#include "app/NSData+Base64.h"

namespace {

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

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

    EXPECT_EQ(decode("Zm9v", out, size), 0);
    EXPECT_EQ(size, 3);
    EXPECT_EQ(out, bytesOf("foo"));

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

TEST(StrictBase64, DecodesWhatTheDataExtensionEncodes)
{
    std::mt19937 random(11);
    for (std::size_t size = 0; size <= 300; ++size) {
        Bytes data(size);
        for (auto& byte : data)
            byte = static_cast<std::uint8_t>(random());
        ASSERT_EQ(Base64::decodeString(NSData::base64Encoding(data)), data) << size;
        // Lines of 4 end every group with LF, which the strict decoder allows.
        ASSERT_EQ(Base64::decodeString(NSData::base64EncodingWithLineLength(data, 4)), data) << size;
    }
}

} // namespace
