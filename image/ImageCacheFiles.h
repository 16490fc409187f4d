// The image disk cache's files: how one entry is written (a temporary file renamed into
// place, never synced) and how temporaries left by writes that were killed are removed.
#pragma once
#include <string>
#include "platform/foundation/Value.h"

namespace image {

// A temporary left behind is stale once it is this many seconds old: no write takes that long.
inline constexpr double kStaleTemporaryAge = 60;

// Writes `data` to a dot-file beside `path` and renames it over `path`, so that a reader sees
// the old file or the new one, whole. Nothing is flushed to disk: after a power loss the newest
// entries may be missing or cut short, and a cut-off image decodes to nothing (a cache miss).
bool writeCacheFile(const std::string& path, const Bytes& data);

// Removes the dot-files directly in `directory` (temporaries of writes that never finished)
// whose modification date is `maxAge` seconds or more before `now`.
void removeStaleTemporaries(const std::string& directory, double now, double maxAge = kStaleTemporaryAge);

} // namespace image
