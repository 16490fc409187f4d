// Fitting the window to the display and resampling the screen's image by area averaging.
#include "host/window/Fit.h"

#include <algorithm>
#include <cmath>

namespace host {

WindowSize fitWindow(int width, int height, int roomWidth, int roomHeight, double chosen)
{
    double factor = chosen;
    if (!(factor > 0)) {
        factor = 1;
        if (roomWidth > 0 && roomHeight > 0)
            factor = std::min({ 1.0, double(roomWidth) / width, double(roomHeight) / height });
    }
    WindowSize size;
    size.width = std::max(1, static_cast<int>(std::floor(width * factor + 1e-9)));
    size.height = std::max(1, static_cast<int>(std::floor(height * factor + 1e-9)));
    size.factor = factor;
    return size;
}

std::vector<std::uint32_t> resample(const std::vector<std::uint32_t>& pixels, int width, int height, int toWidth, int toHeight)
{
    if (width <= 0 || height <= 0 || toWidth <= 0 || toHeight <= 0 || pixels.size() != std::size_t(width) * std::size_t(height))
        return {};
    if (toWidth == width && toHeight == height)
        return pixels;
    std::vector<std::uint32_t> out(std::size_t(toWidth) * std::size_t(toHeight));
    double sx = double(width) / toWidth, sy = double(height) / toHeight;
    for (int y = 0; y < toHeight; ++y) {
        // The source rows and columns under the target pixel: at least one.
        int y0 = std::min(height - 1, static_cast<int>(y * sy));
        int y1 = std::max(y0 + 1, std::min(height, static_cast<int>(std::ceil((y + 1) * sy))));
        for (int x = 0; x < toWidth; ++x) {
            int x0 = std::min(width - 1, static_cast<int>(x * sx));
            int x1 = std::max(x0 + 1, std::min(width, static_cast<int>(std::ceil((x + 1) * sx))));
            std::uint64_t r = 0, g = 0, b = 0, n = 0;
            for (int j = y0; j < y1; ++j) {
                for (int i = x0; i < x1; ++i) {
                    std::uint32_t p = pixels[std::size_t(j) * std::size_t(width) + std::size_t(i)];
                    r += (p >> 16) & 0xFF;
                    g += (p >> 8) & 0xFF;
                    b += p & 0xFF;
                    ++n;
                }
            }
            out[std::size_t(y) * std::size_t(toWidth) + std::size_t(x)]
                = std::uint32_t(((r + n / 2) / n) << 16 | ((g + n / 2) / n) << 8 | ((b + n / 2) / n));
        }
    }
    return out;
}

} // namespace host
