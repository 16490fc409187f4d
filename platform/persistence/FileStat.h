// One stat of a path (statx, for the birth time) and its forms as file attributes and as
// resource values.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

namespace persistence {

struct FileStat {
    bool isDirectory = false;
    bool isSymbolicLink = false;
    bool isRegular = false;
    std::uint64_t size = 0;
    std::uint64_t allocatedSize = 0;
    std::uint32_t permissions = 0;
    std::uint64_t linkCount = 0;
    std::uint64_t inode = 0;
    double modified = 0;
    double created = 0; // birth time, or the modification time where there is none
};

// Symbolic links are not followed. Nothing (and errno set) on failure.
std::optional<FileStat> statPath(const std::string& path);
Value attributesFrom(const FileStat& info);
Value resourceValuesFrom(const FileStat& info, const std::string& path, const std::vector<std::string>& keys);

} // namespace persistence
