// Fuzz target: the strict Base64 decoder. Arbitrary bytes never crash or write outside the
// buffer it was given, a size it asks for is enough the second time, and what the data
// extension encodes decodes back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "app/Base64.h"
#include "app/NSData+Base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return 0;
    auto length = static_cast<std::int32_t>(size);
    std::int32_t needed = 0;
    int status = Base64Decode(nullptr, &needed, data, length);
    if (status == kBase64DecodeBufferTooSmall) {
        Bytes buffer(static_cast<std::size_t>(needed));
        std::int32_t capacity = needed;
        if (Base64Decode(buffer.data(), &capacity, data, length) != 0 || capacity > needed)
            std::abort();
    }
    (void)Base64::decodeString(std::string(reinterpret_cast<const char*>(data), size));

    Bytes plain(data, data + size);
    if (Base64::decodeString(NSData::base64Encoding(plain)) != plain)
        std::abort();
    return 0;
}
