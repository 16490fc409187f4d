// Fuzz target: cache entries read back from disk, and the round trip of those that decode.
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
    auto again = network::decodeCacheEntry(network::encodeCacheEntry(entry->response()->URL()->absoluteString(), *entry));
    if (!again || again->data() != entry->data())
        std::abort();
    return 0;
}
