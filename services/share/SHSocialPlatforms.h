// The platforms the share library can share to: added by the platform handlers once they are
// configured, each with the name the share sheet shows.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace share {

struct Platform {
    std::string name; // "mgsession", "buddy", ...
    std::string displayName; // the sheet's button
};

// Adds (or keeps) the platforms, in order.
void addPlatforms(const std::vector<Platform>& platforms);
std::optional<Platform> platformNamed(const std::string& name);
std::vector<std::string> platformNames();
void resetPlatforms();

} // namespace share
