// Small PNG pictures drawn in code: the app icon, the home tiles and QR-code-like patterns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dataserver {

// An 8-bit RGB PNG of `width` by `height` pixels; `rgb` holds width * height * 3 bytes.
std::string encodePng(int width, int height, const std::vector<std::uint8_t>& rgb);

// The app icon served as "app/ic_launcher.png".
std::string launcherIcon();
// The tile picture of a home category: a coloured square chosen by the id.
std::string tileImage(long long categoryId);
// A QR-code-like square (finder marks and seeded modules) for a seeded record.
std::string qrPattern(long long seed);

} // namespace dataserver
