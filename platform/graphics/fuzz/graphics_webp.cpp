// Fuzz target: the WebP decoder (still, prefix and animated frames).
#include <cstddef>
#include <cstdint>

#include "platform/graphics/Codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    graphics::setMaxImagePixels(4u << 20);
    graphics::ImageHeader header;
    graphics::readWebpHeader(data, size, header);
    graphics::decodeWebp(data, size, true);
    graphics::decodeWebp(data, size, false);
    std::size_t frames = graphics::webpFrameCount(data, size);
    double duration = 0;
    if (frames > 1)
        graphics::decodeWebpFrame(data, size, 1, &duration);
    return 0;
}
