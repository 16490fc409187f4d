// How big the window is: the screen's pixels scaled to fit the room a display leaves (never
// enlarged), or by a factor the person chose; and the screen's image resampled to that size.
#pragma once

#include <cstdint>
#include <vector>

namespace host {

struct WindowSize {
    int width = 0;
    int height = 0;
    double factor = 1; // window pixels per screen pixel
};

// The size of a window showing `width` x `height` pixels: times `chosen` when it is positive,
// else as large as fits `roomWidth` x `roomHeight` (keeping the shape), at most the full size.
WindowSize fitWindow(int width, int height, int roomWidth, int roomHeight, double chosen);

// `pixels` (0xRRGGBB words, `width` x `height`) resampled to `toWidth` x `toHeight`: each target
// pixel averages the source pixels under it, so text stays legible when shrunk.
std::vector<std::uint32_t> resample(const std::vector<std::uint32_t>& pixels, int width, int height, int toWidth, int toHeight);

} // namespace host
