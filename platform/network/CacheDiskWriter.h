// Writes URL-cache entries to disk on a background thread, so that storing a response never
// makes a load wait for the file system. Until an entry is written, every cache in the process
// reads it from here; operations that look at the directory itself flush first.
#pragma once

#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace network::cachedisk {

// Queues `bytes` for `path` (replacing a write still queued for it). The directory must exist.
void write(const std::string& path, Bytes bytes);
// The bytes queued for `path`, if a write is still pending.
std::optional<Bytes> pending(const std::string& path);
// Drops a pending write for `path` and waits until none is in progress, then removes the file.
void remove(const std::string& path);
// Waits until every queued write is on disk.
void flush();

} // namespace network::cachedisk
