// AES-128 in electronic-codebook mode with PKCS#7 padding, keyed by the first 16 UTF-8 bytes
// of a key text (zero-filled when shorter), as the push library's stored secrets use it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"
#include "platform/security/CommonCryptor.h"

class PUSHAES {
public:
    static std::shared_ptr<PUSHAES> sharedAESUtils();

    // nullopt for empty input or a cipher failure (bad length, bad padding).
    static std::optional<Bytes> AES256EncryptData(const Bytes& data, const std::string& key);
    static std::optional<Bytes> AES256DecryptData(const Bytes& data, const std::string& key);
    // The UTF-8 bytes of a non-empty text, enciphered.
    static std::optional<Bytes> encrypt(const std::string& text, const std::string& aesKey);
    // The deciphered bytes as text; nullopt for empty data, an empty result or bytes that are
    // not UTF-8.
    static std::optional<std::string> decrypt(const Bytes& data, const std::string& aesKey);

    std::optional<Bytes> encrypt(const Bytes& data, const Bytes& key, CCOptions padding) const;
    std::optional<Bytes> decrypt(const Bytes& data, const Bytes& key, CCOptions padding) const;
    // Ciphers with the first 16 key bytes; a key of fewer than 16 bytes gives nullopt.
    std::optional<Bytes> doCipher(const Bytes& data, const Bytes& key, CCOperation context, CCOptions padding) const;
};
