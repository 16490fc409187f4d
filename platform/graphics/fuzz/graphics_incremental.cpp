// Fuzz target: an image source fed its data in chunks, as a download arrives, ending final or
// not. After each chunk it asks for the status, frame count, properties, the first frames and a
// small thumbnail. The chunk sizes come from a hash of the input, so the corpus is plain files.
#include <cstddef>
#include <cstdint>
#include <random>

#include "platform/graphics/ImageSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Each input is decoded up to a dozen times, so the cap is a sixteenth of the one-shot
    // targets': a tall GIF canvas within their cap made one input take seconds.
    graphics::setMaxImagePixels(1u << 18);
    std::uint32_t seed = 2166136261u;
    for (std::size_t i = 0; i < size; ++i)
        seed = (seed ^ data[i]) * 16777619u;
    std::minstd_rand random(seed);
    const bool endsFinal = random() % 4 != 0;
    const Value thumbnail = Value::dictionary({ { kCGImageSourceThumbnailMaxPixelSize, 16 } });

    auto source = CGImageSourceCreateIncremental();
    std::size_t fed = 0;
    for (int step = 0; step < 12 && fed < size; ++step) {
        std::size_t left = size - fed;
        std::size_t chunk = step == 11 ? left : 1 + std::size_t(random()) % (left / 3 + 1);
        fed += std::min(chunk, left);
        const bool final = fed == size && endsFinal;
        CGImageSourceUpdateData(source, Bytes(data, data + fed), final);
        CGImageSourceGetStatus(source);
        CGImageSourceGetType(source);
        CGImageSourceCopyProperties(source);
        std::size_t count = CGImageSourceGetCount(source);
        for (std::size_t i = 0; i < count && i < 3; ++i) {
            CGImageSourceCopyPropertiesAtIndex(source, i);
            CGImageSourceCreateImageAtIndex(source, i);
        }
        CGImageSourceCreateThumbnailAtIndex(source, 0, thumbnail);
    }
    return 0;
}
