// Fuzz target: the JPEG decoder, as complete data and as a prefix, and its header reader.
#include <cstddef>
#include <cstdint>

#include "platform/graphics/Codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    graphics::setMaxImagePixels(4u << 20); // keep each input cheap; the cap logic is what matters
    graphics::ImageHeader header;
    graphics::readJpegHeader(data, size, header);
    graphics::decodeJpeg(data, size, true);
    graphics::decodeJpeg(data, size, false);
    return 0;
}
