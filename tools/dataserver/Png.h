// Small PNG pictures drawn in code: the app icon and QR-code-like patterns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dataserver {

// An 8-bit RGB PNG of `width` by `height` pixels; `rgb` holds width * height * 3 bytes.
std::string encodePng(int width, int height, const std::vector<std::uint8_t>& rgb);

// The app icon served as "app/ic_launcher.png".
std::string launcherIcon();
// A QR-code-like square (finder marks and seeded modules) for a seeded record.
std::string qrPattern(long long seed);

} // namespace dataserver
