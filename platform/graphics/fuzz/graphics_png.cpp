// Fuzz target: the PNG decoder, as complete data and as a prefix, and its header reader.
#include <cstddef>
#include <cstdint>

#include "platform/graphics/Codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    graphics::setMaxImagePixels(4u << 20);
    graphics::ImageHeader header;
    graphics::readPngHeader(data, size, header);
    auto image = graphics::decodePng(data, size, true).image;
    if (image)
        image->rgbaAt(0, 0);
    graphics::decodePng(data, size, false);
    return 0;
}
