// AES over OpenSSL's EVP interface (see CommonCryptor.h). EVP runs without its own padding;
// this file keeps the partial block itself, so that sizes are known before any state changes
// and a too-small output buffer never loses input.
#include "platform/security/CommonCryptor.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <array>
#include <cstring>
#include <vector>

#include "platform/security/CryptoLifetime.h"

namespace {

constexpr std::size_t block = kCCBlockSizeAES128;

const EVP_CIPHER* cipherFor(std::size_t keyLength, bool ecb)
{
    switch (keyLength) {
    case kCCKeySizeAES128:
        return ecb ? EVP_aes_128_ecb() : EVP_aes_128_cbc();
    case kCCKeySizeAES192:
        return ecb ? EVP_aes_192_ecb() : EVP_aes_192_cbc();
    case kCCKeySizeAES256:
        return ecb ? EVP_aes_256_ecb() : EVP_aes_256_cbc();
    default:
        return nullptr;
    }
}

}

class CCCryptor {
public:
    CCCryptor(bool encrypt, bool padding)
        : encrypt_(encrypt)
        , padding_(padding)
        , context_(EVP_CIPHER_CTX_new())
    {
    }
    ~CCCryptor()
    {
        OPENSSL_cleanse(held_.data(), held_.size());
        EVP_CIPHER_CTX_free(context_);
    }
    CCCryptor(const CCCryptor&) = delete;
    CCCryptor& operator=(const CCCryptor&) = delete;

    bool start(const EVP_CIPHER* cipher, const void* key, const void* iv)
    {
        std::array<unsigned char, block> zeros {};
        if (!context_)
            return false;
        auto* ivBytes = iv ? static_cast<const unsigned char*>(iv) : zeros.data();
        if (EVP_CipherInit_ex(context_, cipher, nullptr, static_cast<const unsigned char*>(key), ivBytes,
                encrypt_ ? 1 : 0)
            != 1)
            return false;
        return EVP_CIPHER_CTX_set_padding(context_, 0) == 1;
    }

    // Whole blocks an update of n more bytes releases.
    std::size_t updateLength(std::size_t n) const
    {
        std::size_t total = held_count_ + n;
        std::size_t blocks = total / block;
        // Deciphering with padding keeps the last whole block back: it may hold the padding.
        if (!encrypt_ && padding_ && blocks > 0 && total % block == 0)
            --blocks;
        return blocks * block;
    }

    std::size_t outputLength(std::size_t n, bool final) const
    {
        if (!final)
            return updateLength(n);
        std::size_t total = held_count_ + n;
        if (encrypt_ && padding_)
            return (total / block + 1) * block;
        return total;
    }

    CCCryptorStatus update(const unsigned char* in, std::size_t n, unsigned char* out, std::size_t available,
        std::size_t* moved)
    {
        std::size_t produce = updateLength(n);
        if (moved)
            *moved = produce;
        if (produce > available || (produce && !out))
            return kCCBufferTooSmall;
        std::size_t written = 0;
        // First the held bytes completed from the input, then whole blocks straight from it.
        while (written < produce) {
            if (held_count_ > 0) {
                std::size_t take = block - held_count_;
                std::memcpy(held_.data() + held_count_, in, take);
                in += take;
                n -= take;
                if (!cipherBlocks(held_.data(), block, out + written))
                    return kCCMemoryFailure;
                held_count_ = 0;
                written += block;
                continue;
            }
            std::size_t chunk = produce - written;
            if (!cipherBlocks(in, chunk, out + written))
                return kCCMemoryFailure;
            in += chunk;
            n -= chunk;
            written += chunk;
        }
        if (n)
            std::memcpy(held_.data() + held_count_, in, n);
        held_count_ += n;
        return kCCSuccess;
    }

    CCCryptorStatus final(unsigned char* out, std::size_t available, std::size_t* moved)
    {
        if (moved)
            *moved = 0;
        if (!padding_)
            return held_count_ == 0 ? kCCSuccess : kCCAlignmentError;
        if (encrypt_)
            return finalEncrypt(out, available, moved);
        return finalDecrypt(out, available, moved);
    }

private:
    bool cipherBlocks(const unsigned char* in, std::size_t n, unsigned char* out)
    {
        int length = 0;
        return EVP_CipherUpdate(context_, out, &length, in, static_cast<int>(n)) == 1
            && static_cast<std::size_t>(length) == n;
    }

    CCCryptorStatus finalEncrypt(unsigned char* out, std::size_t available, std::size_t* moved)
    {
        if (moved)
            *moved = block;
        if (available < block || !out)
            return kCCBufferTooSmall;
        auto pad = static_cast<unsigned char>(block - held_count_);
        std::memset(held_.data() + held_count_, pad, pad);
        if (!cipherBlocks(held_.data(), block, out))
            return kCCMemoryFailure;
        held_count_ = 0;
        return kCCSuccess;
    }

    CCCryptorStatus finalDecrypt(unsigned char* out, std::size_t available, std::size_t* moved)
    {
        if (held_count_ != block)
            return held_count_ == 0 ? kCCDecodeError : kCCAlignmentError;
        std::array<unsigned char, block> plain {};
        if (!cipherBlocks(held_.data(), block, plain.data()))
            return kCCMemoryFailure;
        unsigned pad = plain[block - 1];
        bool valid = pad >= 1 && pad <= block;
        for (unsigned i = 0; valid && i < pad; ++i)
            valid = plain[block - 1 - i] == pad;
        if (!valid) {
            OPENSSL_cleanse(plain.data(), plain.size());
            return kCCDecodeError;
        }
        std::size_t size = block - pad;
        if (moved)
            *moved = size;
        if (size > available || (size && !out)) {
            OPENSSL_cleanse(plain.data(), plain.size());
            return kCCBufferTooSmall;
        }
        std::memcpy(out, plain.data(), size);
        OPENSSL_cleanse(plain.data(), plain.size());
        held_count_ = 0;
        return kCCSuccess;
    }

    bool encrypt_;
    bool padding_;
    EVP_CIPHER_CTX* context_;
    std::array<unsigned char, block> held_ {};
    std::size_t held_count_ = 0;
};

CCCryptorStatus CCCryptorCreate(CCOperation op, CCAlgorithm alg, CCOptions options, const void* key,
    std::size_t keyLength, const void* iv, CCCryptorRef* cryptorRef)
{
    security::keepCryptoThroughExit();
    if (!cryptorRef)
        return kCCParamError;
    *cryptorRef = nullptr;
    if ((op != kCCEncrypt && op != kCCDecrypt) || alg != kCCAlgorithmAES || !key
        || (options & ~(kCCOptionPKCS7Padding | kCCOptionECBMode)))
        return kCCParamError;
    const EVP_CIPHER* cipher = cipherFor(keyLength, options & kCCOptionECBMode);
    if (!cipher)
        return kCCParamError;
    auto cryptor = std::make_shared<CCCryptor>(op == kCCEncrypt, options & kCCOptionPKCS7Padding);
    if (!cryptor->start(cipher, key, iv))
        return kCCMemoryFailure;
    *cryptorRef = std::move(cryptor);
    return kCCSuccess;
}

CCCryptorStatus CCCryptorUpdate(const CCCryptorRef& cryptor, const void* dataIn, std::size_t dataInLength,
    void* dataOut, std::size_t dataOutAvailable, std::size_t* dataOutMoved)
{
    if (!cryptor || (!dataIn && dataInLength))
        return kCCParamError;
    return cryptor->update(static_cast<const unsigned char*>(dataIn), dataInLength,
        static_cast<unsigned char*>(dataOut), dataOutAvailable, dataOutMoved);
}

CCCryptorStatus CCCryptorFinal(const CCCryptorRef& cryptor, void* dataOut, std::size_t dataOutAvailable,
    std::size_t* dataOutMoved)
{
    if (!cryptor)
        return kCCParamError;
    return cryptor->final(static_cast<unsigned char*>(dataOut), dataOutAvailable, dataOutMoved);
}

std::size_t CCCryptorGetOutputLength(const CCCryptorRef& cryptor, std::size_t inputLength, bool final)
{
    return cryptor ? cryptor->outputLength(inputLength, final) : 0;
}

CCCryptorStatus CCCryptorRelease(CCCryptorRef& cryptor)
{
    cryptor.reset();
    return kCCSuccess;
}

CCCryptorStatus CCCrypt(CCOperation op, CCAlgorithm alg, CCOptions options, const void* key, std::size_t keyLength,
    const void* iv, const void* dataIn, std::size_t dataInLength, void* dataOut, std::size_t dataOutAvailable,
    std::size_t* dataOutMoved)
{
    if (dataOutMoved)
        *dataOutMoved = 0;
    CCCryptorRef cryptor;
    if (CCCryptorStatus status = CCCryptorCreate(op, alg, options, key, keyLength, iv, &cryptor))
        return status;
    // Refuse unaligned input up front, before any output is written.
    if (!(options & kCCOptionPKCS7Padding) && dataInLength % block)
        return kCCAlignmentError;
    if (op == kCCDecrypt && dataInLength % block)
        return kCCAlignmentError;
    std::size_t needed = CCCryptorGetOutputLength(cryptor, dataInLength, true);
    if (needed > dataOutAvailable || (needed && !dataOut)) {
        if (dataOutMoved)
            *dataOutMoved = needed;
        return kCCBufferTooSmall;
    }
    std::size_t updated = 0;
    if (CCCryptorStatus status = CCCryptorUpdate(cryptor, dataIn, dataInLength, dataOut, dataOutAvailable, &updated))
        return status;
    std::size_t finished = 0;
    auto* out = static_cast<unsigned char*>(dataOut);
    if (CCCryptorStatus status
        = CCCryptorFinal(cryptor, out ? out + updated : nullptr, dataOutAvailable - updated, &finished))
        return status;
    if (dataOutMoved)
        *dataOutMoved = updated + finished;
    return kCCSuccess;
}
