// Fuzz target: the data extension's lenient Base64 reader. Arbitrary text never crashes, never
// yields more than three bytes per four characters, and encoded data at any line length reads
// back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/NSData+Base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    Bytes decoded = NSData::initWithBase64EncodedString(text);
    if (decoded.size() > size / 4 * 3 + 2)
        std::abort();

    Bytes plain(data, data + size);
    std::uint32_t lineLength = size == 0 ? 0 : data[0] % 80;
    if (NSData::initWithBase64EncodedString(NSData::base64EncodingWithLineLength(plain, lineLength)) != plain)
        std::abort();
    return 0;
}
