// Writes URL-cache entries to disk on a background thread, so that storing a response never
// makes a load wait for the file system. Until an entry is written, every cache in the process
// reads it from here; operations that look at the directory itself flush first. An entry is
// put in its disk form on the writer's thread, not by the store that queues it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

class NSCachedURLResponse;

namespace network::cachedisk {

// Queues `entry`, kept under `url`, for `path` (replacing a write still queued for it). The
// directory must exist.
void write(std::string path, std::string url, std::shared_ptr<const NSCachedURLResponse> entry);
// The bytes of the entry queued for `path`, if a write is still pending.
std::optional<Bytes> pending(const std::string& path);
// Drops a pending write for `path` and waits until none is in progress, then removes the file.
void remove(const std::string& path);
// Waits until every queued write is on disk.
void flush();

} // namespace network::cachedisk
