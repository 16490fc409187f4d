// MD5 and AES against published vectors, PKCS#7 round trips, streaming against one-shot,
// and every status a caller can meet.
#include "platform/security/CommonCryptor.h"
#include "platform/security/CommonDigest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes hex(const std::string& text)
{
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return out;
}

std::string toHex(const unsigned char* p, std::size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

std::string md5(const std::string& s)
{
    unsigned char digest[CC_MD5_DIGEST_LENGTH];
    EXPECT_EQ(CC_MD5(s.data(), static_cast<CC_LONG>(s.size()), digest), digest);
    return toHex(digest, sizeof digest);
}

struct Result {
    CCCryptorStatus status;
    Bytes out;
    std::size_t moved;
};

Result crypt(CCOperation op, CCOptions options, const Bytes& key, const Bytes* iv, const Bytes& in, std::size_t room)
{
    Result r { 0, Bytes(room), 0 };
    r.status = CCCrypt(op, kCCAlgorithmAES128, options, key.data(), key.size(), iv ? iv->data() : nullptr, in.data(),
        in.size(), r.out.data(), r.out.size(), &r.moved);
    r.out.resize(r.status == kCCSuccess ? r.moved : 0);
    return r;
}

// NIST SP 800-38A, F.1 and F.2.
const Bytes nistKey128 = hex("2b7e151628aed2a6abf7158809cf4f3c");
const Bytes nistKey256 = hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
const Bytes nistPlain = hex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                            "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");

}

TEST(Digest, MD5MatchesTheRFCTestSuite)
{
    EXPECT_EQ(md5(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(md5("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
        "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(md5("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
        "57edf4a22be3c955ac49da2e2107b67a");
    unsigned char digest[CC_MD5_DIGEST_LENGTH];
    CC_MD5(nullptr, 0, digest);
    EXPECT_EQ(toHex(digest, 16), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(Cipher, AESMatchesNISTVectorsInECBAndCBC)
{
    auto ecb = crypt(kCCEncrypt, kCCOptionECBMode, nistKey128, nullptr, nistPlain, 64);
    ASSERT_EQ(ecb.status, kCCSuccess);
    EXPECT_EQ(toHex(ecb.out.data(), ecb.out.size()),
        "3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf"
        "43b1cd7f598ece23881b00e3ed0306887b0c785e27e8ad3f8223207104725dd4");
    auto back = crypt(kCCDecrypt, kCCOptionECBMode, nistKey128, nullptr, ecb.out, 64);
    EXPECT_EQ(back.out, nistPlain);

    Bytes iv = hex("000102030405060708090a0b0c0d0e0f");
    auto cbc = crypt(kCCEncrypt, 0, nistKey128, &iv, nistPlain, 64);
    ASSERT_EQ(cbc.status, kCCSuccess);
    EXPECT_EQ(toHex(cbc.out.data(), cbc.out.size()),
        "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
        "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7");

    auto ecb256 = crypt(kCCEncrypt, kCCOptionECBMode, nistKey256, nullptr, nistPlain, 64);
    EXPECT_EQ(toHex(ecb256.out.data(), 16), "f3eed1bdb5d2a03c064b5a7e3db181f8");

    // CBC without an IV uses zeros: the first block equals ECB's.
    auto noIv = crypt(kCCEncrypt, 0, nistKey128, nullptr, nistPlain, 64);
    EXPECT_EQ(Bytes(noIv.out.begin(), noIv.out.begin() + 16), Bytes(ecb.out.begin(), ecb.out.begin() + 16));
}

TEST(Cipher, PKCS7PaddingRoundTripsEverySizeAndGrowsToTheNextBlock)
{
    const int both = kCCOptionPKCS7Padding | kCCOptionECBMode;
    for (std::size_t n = 0; n <= 33; ++n) {
        Bytes plain(n, static_cast<std::uint8_t>(n));
        auto sealed = crypt(kCCEncrypt, both, nistKey128, nullptr, plain, n + 16);
        ASSERT_EQ(sealed.status, kCCSuccess) << n;
        EXPECT_EQ(sealed.out.size(), (n / 16 + 1) * 16) << n;
        auto opened = crypt(kCCDecrypt, both, nistKey128, nullptr, sealed.out, sealed.out.size());
        ASSERT_EQ(opened.status, kCCSuccess) << n;
        EXPECT_EQ(opened.out, plain) << n;
    }
}

TEST(Cipher, StatusesForBadInputs)
{
    const int both = kCCOptionPKCS7Padding | kCCOptionECBMode;
    // Too small: the size needed comes back and nothing is written.
    auto small = crypt(kCCEncrypt, both, nistKey128, nullptr, Bytes(16, 1), 16);
    EXPECT_EQ(small.status, kCCBufferTooSmall);
    EXPECT_EQ(small.moved, 32u);
    // Without padding only whole blocks; deciphering always needs whole blocks.
    EXPECT_EQ(crypt(kCCEncrypt, kCCOptionECBMode, nistKey128, nullptr, Bytes(15, 1), 32).status, kCCAlignmentError);
    EXPECT_EQ(crypt(kCCDecrypt, both, nistKey128, nullptr, Bytes(17, 1), 32).status, kCCAlignmentError);
    // Key lengths and operations.
    EXPECT_EQ(crypt(kCCEncrypt, both, Bytes(15, 1), nullptr, Bytes(3, 1), 32).status, kCCParamError);
    EXPECT_EQ(crypt(7, both, nistKey128, nullptr, Bytes(3, 1), 32).status, kCCParamError);
    EXPECT_EQ(crypt(kCCEncrypt, 0x100, nistKey128, nullptr, Bytes(3, 1), 32).status, kCCParamError);

    // The wrong key gives a padding error or different bytes, never the plain text.
    Bytes plain { 'h', 'e', 'l', 'l', 'o' };
    auto sealed = crypt(kCCEncrypt, both, nistKey128, nullptr, plain, 16);
    for (std::uint8_t k = 0; k < 20; ++k) {
        auto wrong = crypt(kCCDecrypt, both, Bytes(16, k), nullptr, sealed.out, 16);
        EXPECT_TRUE(wrong.status == kCCDecodeError || (wrong.status == kCCSuccess && wrong.out != plain));
    }
    EXPECT_EQ(crypt(kCCDecrypt, both, nistKey128, nullptr, Bytes {}, 16).status, kCCDecodeError);
}

TEST(Cipher, StreamingInOddPiecesEqualsOneShot)
{
    Bytes iv(16, 9);
    Bytes plain(100);
    for (std::size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<std::uint8_t>(i * 7);
    auto whole = crypt(kCCEncrypt, kCCOptionPKCS7Padding, nistKey128, &iv, plain, 112);

    for (CCOperation op : { kCCEncrypt, kCCDecrypt }) {
        const Bytes& input = op == kCCEncrypt ? plain : whole.out;
        CCCryptorRef cryptor;
        ASSERT_EQ(CCCryptorCreate(op, kCCAlgorithmAES, kCCOptionPKCS7Padding, nistKey128.data(), 16, iv.data(), &cryptor),
            kCCSuccess);
        Bytes out(CCCryptorGetOutputLength(cryptor, input.size(), true));
        std::size_t written = 0, offset = 0, piece = 1;
        while (offset < input.size()) {
            std::size_t n = std::min(piece, input.size() - offset);
            std::size_t moved = 0;
            // A refused update (no room) must not swallow its input.
            if (CCCryptorGetOutputLength(cryptor, n, false) > 0) {
                ASSERT_EQ(CCCryptorUpdate(cryptor, input.data() + offset, n, out.data(), 0, &moved), kCCBufferTooSmall);
            }
            ASSERT_EQ(CCCryptorUpdate(cryptor, input.data() + offset, n, out.data() + written, out.size() - written, &moved),
                kCCSuccess);
            written += moved;
            offset += n;
            piece = piece * 3 % 37 + 1;
        }
        std::size_t moved = 0;
        ASSERT_EQ(CCCryptorFinal(cryptor, out.data() + written, out.size() - written, &moved), kCCSuccess);
        out.resize(written + moved);
        EXPECT_EQ(out, op == kCCEncrypt ? whole.out : plain);
        EXPECT_EQ(CCCryptorRelease(cryptor), kCCSuccess);
        EXPECT_FALSE(cryptor);
    }
}
