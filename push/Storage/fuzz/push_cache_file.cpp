// Feeds arbitrary bytes to the file-cache readers: the current layout, plain and enciphered, and
// the older JSON layout. None may crash, hang or give anything but a dictionary or nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "push/Storage/PUSHCacheFileCodec.h"
#include "push/Utilities/PUSHAES.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Bytes bytes(data, data + size);
    for (bool enciphered : { false, true }) {
        const Value entries = push::storage::decodeCacheFile(bytes, enciphered);
        if (!entries.isAbsent() && !entries.isDictionary())
            std::abort();
        const Value legacy = push::storage::decodeLegacyJSONFile(bytes, enciphered);
        if (!legacy.isAbsent() && !legacy.isDictionary())
            std::abort();
    }
    // The same bytes sealed with the file key reach the archive reader behind the cipher.
    if (auto sealed = PUSHAES::AES256EncryptData(bytes, push::storage::kFileCacheKey)) {
        const Value entries = push::storage::decodeCacheFile(*sealed, true);
        if (!entries.isAbsent() && !entries.isDictionary())
            std::abort();
    }
    return 0;
}
