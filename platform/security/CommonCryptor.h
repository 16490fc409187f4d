// AES with the C-style names callers use: a one-shot CCCrypt and a cryptor object for
// update/final use. ECB or CBC (with an IV, zeros when none is given), optional PKCS#7
// padding, 16-, 24- or 32-byte keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

using CCCryptorStatus = std::int32_t;
using CCOperation = std::uint32_t;
using CCAlgorithm = std::uint32_t;
using CCOptions = std::uint32_t;

inline constexpr CCCryptorStatus kCCSuccess = 0;
inline constexpr CCCryptorStatus kCCParamError = -4300;
inline constexpr CCCryptorStatus kCCBufferTooSmall = -4301;
inline constexpr CCCryptorStatus kCCMemoryFailure = -4302;
inline constexpr CCCryptorStatus kCCAlignmentError = -4303; // input not whole blocks, without padding
inline constexpr CCCryptorStatus kCCDecodeError = -4304; // bad padding when deciphering

inline constexpr CCOperation kCCEncrypt = 0;
inline constexpr CCOperation kCCDecrypt = 1;

inline constexpr CCAlgorithm kCCAlgorithmAES = 0;
inline constexpr CCAlgorithm kCCAlgorithmAES128 = 0; // the key length chooses AES-128/192/256

inline constexpr CCOptions kCCOptionPKCS7Padding = 1;
inline constexpr CCOptions kCCOptionECBMode = 2;

inline constexpr std::size_t kCCKeySizeAES128 = 16;
inline constexpr std::size_t kCCKeySizeAES192 = 24;
inline constexpr std::size_t kCCKeySizeAES256 = 32;
inline constexpr std::size_t kCCBlockSizeAES128 = 16;

class CCCryptor;
using CCCryptorRef = std::shared_ptr<CCCryptor>;

// One-shot: ciphers dataInLength bytes into dataOut. When dataOutAvailable is smaller than
// needed, answers kCCBufferTooSmall with *dataOutMoved set to the size needed.
CCCryptorStatus CCCrypt(CCOperation op, CCAlgorithm alg, CCOptions options, const void* key, std::size_t keyLength,
    const void* iv, const void* dataIn, std::size_t dataInLength, void* dataOut, std::size_t dataOutAvailable,
    std::size_t* dataOutMoved);

CCCryptorStatus CCCryptorCreate(CCOperation op, CCAlgorithm alg, CCOptions options, const void* key,
    std::size_t keyLength, const void* iv, CCCryptorRef* cryptorRef);
// Ciphers what whole blocks are available, keeping the rest (and, when deciphering with
// padding, the last whole block) for later. A too-small buffer changes nothing.
CCCryptorStatus CCCryptorUpdate(const CCCryptorRef& cryptor, const void* dataIn, std::size_t dataInLength,
    void* dataOut, std::size_t dataOutAvailable, std::size_t* dataOutMoved);
// Writes the last block: padding added or checked and removed.
CCCryptorStatus CCCryptorFinal(const CCCryptorRef& cryptor, void* dataOut, std::size_t dataOutAvailable,
    std::size_t* dataOutMoved);
// The most output an update (or, with final, an update and the final) of inputLength bytes can give.
std::size_t CCCryptorGetOutputLength(const CCCryptorRef& cryptor, std::size_t inputLength, bool final);
// Drops the caller's reference; the cipher state is wiped when the last one goes.
CCCryptorStatus CCCryptorRelease(CCCryptorRef& cryptor);
