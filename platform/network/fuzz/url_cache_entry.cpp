// Fuzz target: cache entries read back from disk, and the round trip of those that decode (its
// size worked out ahead included).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/network/NSURLCache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Bytes bytes(data, data + size);
    auto entry = network::decodeCacheEntry(bytes);
    if (!entry)
        return 0;
    std::string url = entry->response()->URL()->absoluteString();
    Bytes encoded = network::encodeCacheEntry(url, *entry);
    if (encoded.size() != network::encodedCacheEntrySize(url, *entry))
        std::abort();
    auto again = network::decodeCacheEntry(encoded);
    if (!again || again->data() != entry->data())
        std::abort();
    return 0;
}
