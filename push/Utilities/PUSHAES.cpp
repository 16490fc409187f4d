// AES helpers over the platform's CommonCrypto calls.
#include "push/Utilities/PUSHAES.h"

#include <algorithm>
#include <array>

#include "platform/foundation/Utf8.h"

namespace {

std::optional<Bytes> oneShot(CCOperation operation, const Bytes& data, const std::string& keyText)
{
    if (data.empty())
        return std::nullopt;
    // The first 16 UTF-8 bytes of the key text, zero-filled; longer texts are cut, never dropped.
    std::array<std::uint8_t, kCCKeySizeAES128> key {};
    std::copy_n(keyText.begin(), std::min(keyText.size(), key.size()), key.begin());
    Bytes output(data.size() + kCCBlockSizeAES128);
    std::size_t moved = 0;
    CCCryptorStatus status = CCCrypt(operation, kCCAlgorithmAES128, kCCOptionPKCS7Padding | kCCOptionECBMode,
        key.data(), key.size(), nullptr, data.data(), data.size(), output.data(), output.size(), &moved);
    if (status != kCCSuccess)
        return std::nullopt;
    output.resize(moved);
    return output;
}

} // namespace

std::shared_ptr<PUSHAES> PUSHAES::sharedAESUtils()
{
    static const std::shared_ptr<PUSHAES> shared = std::make_shared<PUSHAES>();
    return shared;
}

std::optional<Bytes> PUSHAES::AES256EncryptData(const Bytes& data, const std::string& key)
{
    return oneShot(kCCEncrypt, data, key);
}

std::optional<Bytes> PUSHAES::AES256DecryptData(const Bytes& data, const std::string& key)
{
    return oneShot(kCCDecrypt, data, key);
}

std::optional<Bytes> PUSHAES::encrypt(const std::string& text, const std::string& aesKey)
{
    if (text.empty())
        return std::nullopt;
    return AES256EncryptData(Bytes(text.begin(), text.end()), aesKey);
}

std::optional<std::string> PUSHAES::decrypt(const Bytes& data, const std::string& aesKey)
{
    if (data.empty())
        return std::nullopt;
    auto plain = AES256DecryptData(data, aesKey);
    if (!plain || plain->empty())
        return std::nullopt;
    std::string text(plain->begin(), plain->end());
    if (!foundation::utf8::isValid(text)) // a wrong key or damaged data reads as no text
        return std::nullopt;
    return text;
}

std::optional<Bytes> PUSHAES::encrypt(const Bytes& data, const Bytes& key, CCOptions padding) const
{
    return doCipher(data, key, kCCEncrypt, padding);
}

std::optional<Bytes> PUSHAES::decrypt(const Bytes& data, const Bytes& key, CCOptions padding) const
{
    return doCipher(data, key, kCCDecrypt, padding);
}

std::optional<Bytes> PUSHAES::doCipher(const Bytes& data, const Bytes& key, CCOperation context, CCOptions padding) const
{
    if (key.size() < kCCKeySizeAES128)
        return std::nullopt;
    const std::array<std::uint8_t, kCCBlockSizeAES128> iv {};
    CCCryptorRef cryptor;
    if (CCCryptorCreate(context, kCCAlgorithmAES128, padding, key.data(), kCCKeySizeAES128, iv.data(), &cryptor)
        != kCCSuccess)
        return std::nullopt;
    Bytes output(CCCryptorGetOutputLength(cryptor, data.size(), true));
    std::size_t updated = 0, finished = 0;
    CCCryptorStatus status
        = CCCryptorUpdate(cryptor, data.data(), data.size(), output.data(), output.size(), &updated);
    if (status == kCCSuccess)
        status = CCCryptorFinal(cryptor, output.data() + updated, output.size() - updated, &finished);
    CCCryptorRelease(cryptor);
    if (status != kCCSuccess)
        return std::nullopt;
    output.resize(updated + finished);
    return output;
}
