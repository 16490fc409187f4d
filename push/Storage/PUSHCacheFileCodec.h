// The bytes of a push file cache: the keyed archive of its dictionary of persisted entries,
// enciphered with AES under the file-cache key when the cache is a secure one. Also reads the
// older JSON layout of the same files. Every reader gives nothing for bytes it cannot take.
#pragma once

#include <cstddef>
#include <optional>

#include "platform/foundation/Value.h"

namespace push::storage {

// The cipher key of enciphered cache files (AES uses its first 16 bytes).
inline constexpr const char* kFileCacheKey = "WQLX_MORDANT_VESPER_GLINT_OKRA_Z";
// Files larger than this are not read: no cache this client writes comes near it.
inline constexpr std::size_t kMaxCacheFileBytes = 256u * 1024 * 1024;

// The file bytes of a dictionary of entries; nothing when an entry cannot be archived or the
// cipher fails.
std::optional<Bytes> encodeCacheFile(const Value& entries, bool enciphered);
// The dictionary of entries in file bytes; absent for garbage, truncation, a wrong key or
// anything but a dictionary at the top.
Value decodeCacheFile(const Bytes& bytes, bool enciphered);
// The entries of a file in the older JSON layout: a JSON object whose dictionary values are
// serialized objects, rebuilt and kept when they come back as a string, data, dictionary,
// number or array. Absent when the bytes are not such a JSON object.
Value decodeLegacyJSONFile(const Bytes& bytes, bool enciphered);

// Registers the archivable classes of this folder with the keyed archiver (once per process).
void registerArchivableClasses();

} // namespace push::storage
