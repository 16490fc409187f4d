// Whole-file reads and writes, as data and text do them. An atomic write goes to a temporary
// file in the same folder (".<name>.XXXXXX"), is flushed to disk and then renamed over the
// target, so whatever interrupts it, the target holds either its old content or the new one,
// whole. The writer holds an exclusive flock on its temporary file until the rename, so that
// the temporary files of writers that were killed can be told from those still being written.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"

namespace persistence {

// The whole file, or nothing with a read error (260 no such file, 257 no permission, ...).
std::optional<Bytes> dataWithContentsOfFile(const std::string& path, NSErrorRef* error = nullptr);
// The file as UTF-8 text; invalid UTF-8 is a read error (259).
std::optional<std::string> stringWithContentsOfFile(const std::string& path, NSErrorRef* error = nullptr);

bool writeToFile(const Bytes& data, const std::string& path, bool atomically, NSErrorRef* error = nullptr);
bool writeToFile(std::string_view text, const std::string& path, bool atomically, NSErrorRef* error = nullptr);

// An atomic write that is not flushed to disk, for caches: readers see the old file or the new
// one, whole, but a power loss may leave the newest writes missing or cut short.
bool writeToFileWithoutFlushing(const Bytes& data, const std::string& path, NSErrorRef* error = nullptr);

// Removes from `directory` the temporary files that atomic writes killed mid-way left behind:
// those of the atomic-write naming that no live writer holds. Stores call it on their folder
// when they open. Returns how many files it removed.
std::size_t removeStaleTemporaryFiles(const std::string& directory);

// For tests: runs in every atomic write once the temporary file is complete and on disk, just
// before the rename. A non-zero errno it returns fails the write with that error, as a failed
// rename would. Pass an empty function to remove it.
using BeforeRenameHook = std::function<int(const std::string& temporaryPath, const std::string& path)>;
void setBeforeRenameHookForTesting(BeforeRenameHook hook);

} // namespace persistence
