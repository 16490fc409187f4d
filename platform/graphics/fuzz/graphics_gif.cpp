// Fuzz target: the GIF scan and the compositor over every frame found.
#include <cstddef>
#include <cstdint>

#include "platform/graphics/Codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    graphics::setMaxImagePixels(4u << 20);
    graphics::GifScan scan = graphics::scanGif(data, size);
    graphics::GifCompositor compositor(data, size, scan);
    for (std::size_t i = 0; i < scan.frames.size() && i < 16; ++i)
        compositor.frame(i);
    return 0;
}
