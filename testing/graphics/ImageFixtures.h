// Image fixtures made at test time with the same libraries the decoders use: JPEG (with an
// EXIF APP1 segment written by hand), PNG of every colour type, GIF frames, WebP.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

namespace fixtures {

using RGB = std::array<std::uint8_t, 3>;
inline constexpr RGB kRed { 255, 0, 0 }, kGreen { 0, 255, 0 }, kBlue { 0, 0, 255 }, kWhite { 255, 255, 255 };

// A w × h picture in four quadrants: top-left red, top-right green, bottom-left blue,
// bottom-right white. Returned as RGB bytes.
std::vector<std::uint8_t> quadrants(int w, int h);

// APP1 "Exif" body with one IFD0 entry: the orientation (little- or big-endian TIFF).
Bytes exifBody(int orientation, bool littleEndian);

struct JpegOptions {
    int components = 3; // 1 grey, 3 colour, 4 CMYK
    bool progressive = false;
    int quality = 95;
    bool noisy = false; // add ±16 of pseudo-random noise, so the file is not mostly headers
    Bytes app1 {}; // written as an APP1 segment when not empty
};
Bytes makeJpeg(int w, int h, const JpegOptions& options = {});
// Quadrants plus noise, as RGB bytes.
std::vector<std::uint8_t> noisyQuadrants(int w, int h);

struct PngOptions {
    int colorType = 2; // 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
    int depth = 8;
    bool interlaced = false;
    bool transparency = false; // a tRNS chunk (palette: entry 0 transparent)
};
// Quadrant colours mapped to the colour type (grey: their luminance; alpha: the bottom half at 50%).
Bytes makePng(int w, int h, const PngOptions& options = {});

struct GifFrame {
    int left = 0, top = 0, width = 0, height = 0;
    std::uint8_t colorIndex = 1; // every pixel of the frame
    int disposal = 0;
    int delayCentiseconds = 10;
    int transparentIndex = -1;
    bool control = true; // write a graphics-control block
    bool interlaced = false;
};
// Global palette: 0 black, 1 red, 2 green, 3 blue.
Bytes makeGif(int w, int h, const std::vector<GifFrame>& frames);

Bytes makeWebp(int w, int h, bool lossless, bool alpha);

// A fresh temporary directory for the test (removed by the caller's TempDir).
struct TempDir {
    TempDir();
    ~TempDir();
    std::string path;
    std::string file(const std::string& name) const { return path + "/" + name; }
    void write(const std::string& name, const Bytes& data) const;
};

// Where artefacts a person may look at go: <source>/build/graphics.
std::string artefactDir();

} // namespace fixtures
