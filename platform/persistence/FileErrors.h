// The platform's file error codes and the NSError values file operations report:
// NSCocoaErrorDomain, the file code, NSFilePath, and the POSIX error underneath.
#pragma once

#include <string>

#include "platform/foundation/NSError.h"

enum : std::int64_t {
    NSFileNoSuchFileError = 4,
    NSFileLockingError = 255,
    NSFileReadUnknownError = 256,
    NSFileReadNoPermissionError = 257,
    NSFileReadInvalidFileNameError = 258,
    NSFileReadCorruptFileError = 259,
    NSFileReadNoSuchFileError = 260,
    NSFileReadTooLargeError = 263,
    NSFileWriteUnknownError = 512,
    NSFileWriteNoPermissionError = 513,
    NSFileWriteInvalidFileNameError = 514,
    NSFileWriteFileExistsError = 516,
    NSFileWriteOutOfSpaceError = 640,
    NSFileWriteVolumeReadOnlyError = 642,
};

namespace persistence {

enum class FileAccess { Read, Write };

// The error for `posixError` met while reading or writing `path`.
NSErrorRef fileError(FileAccess access, int posixError, const std::string& path);
// The same with the code chosen by the caller.
NSErrorRef fileErrorWithCode(std::int64_t code, int posixError, const std::string& path);
// Stores `error` through `out` when `out` is given; returns false for `return fail(...)`.
bool fail(NSErrorRef* out, NSErrorRef error);

} // namespace persistence
