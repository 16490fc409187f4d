// The table of configured share platforms.
#include "services/share/SHSocialPlatforms.h"

#include <algorithm>
#include <mutex>

namespace share {
namespace {

struct Table {
    std::mutex mutex;
    std::vector<Platform> platforms;
};

Table& table()
{
    static Table t;
    return t;
}

} // namespace

void addPlatforms(const std::vector<Platform>& platforms)
{
    std::lock_guard lock(table().mutex);
    for (const auto& platform : platforms) {
        auto& known = table().platforms;
        auto it = std::find_if(known.begin(), known.end(), [&](const Platform& p) { return p.name == platform.name; });
        if (it == known.end())
            known.push_back(platform);
    }
}

std::optional<Platform> platformNamed(const std::string& name)
{
    std::lock_guard lock(table().mutex);
    for (const auto& platform : table().platforms) {
        if (platform.name == name)
            return platform;
    }
    return std::nullopt;
}

std::vector<std::string> platformNames()
{
    std::lock_guard lock(table().mutex);
    std::vector<std::string> names;
    for (const auto& platform : table().platforms)
        names.push_back(platform.name);
    return names;
}

void resetPlatforms()
{
    std::lock_guard lock(table().mutex);
    table().platforms.clear();
}

} // namespace share
