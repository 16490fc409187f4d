// Fuzz target: the EXIF orientation reader, over JPEG segments and bare TIFF structures.
#include <cstddef>
#include <cstdint>

#include "platform/graphics/Codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    graphics::readJpegExifOrientation(data, size);
    graphics::readTiffOrientation(data, size);
    return 0;
}
