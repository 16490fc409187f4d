// Fuzz target: Base64 decoding, strict and skipping. Whatever decodes must encode back to the
// same text (strict) or decode the same from its own encoding (skipping).
#include "platform/foundation/Base64.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto strict = foundation::base64Decode(text)) {
        // Non-zero spare bits are accepted, so compare through a second decode.
        if (foundation::base64Decode(foundation::base64Encode(*strict)) != strict)
            std::abort();
    }
    if (auto skipped = foundation::base64Decode(text, NSDataBase64DecodingIgnoreUnknownCharacters)) {
        std::string lines = foundation::base64Encode(*skipped, NSDataBase64Encoding76CharacterLineLength);
        if (foundation::base64Decode(lines, NSDataBase64DecodingIgnoreUnknownCharacters) != skipped)
            std::abort();
    }
    return 0;
}
