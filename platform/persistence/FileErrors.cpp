// File errors: errno to the platform's file codes, with descriptions in its words.
#include "platform/persistence/FileErrors.h"

#include <cerrno>
#include <cstring>

#include "platform/persistence/AppHome.h"

namespace persistence {
namespace {

std::int64_t codeFor(FileAccess access, int posixError)
{
    if (access == FileAccess::Read) {
        switch (posixError) {
        case ENOENT:
        case ENOTDIR:
            return NSFileReadNoSuchFileError;
        case EACCES:
        case EPERM:
            return NSFileReadNoPermissionError;
        case ENAMETOOLONG:
            return NSFileReadInvalidFileNameError;
        case EFBIG:
            return NSFileReadTooLargeError;
        default:
            return NSFileReadUnknownError;
        }
    }
    switch (posixError) {
    case ENOENT:
        return NSFileNoSuchFileError;
    case EEXIST:
    case ENOTEMPTY:
        return NSFileWriteFileExistsError;
    case EACCES:
    case EPERM:
        return NSFileWriteNoPermissionError;
    case ENOSPC:
    case EDQUOT:
        return NSFileWriteOutOfSpaceError;
    case EROFS:
        return NSFileWriteVolumeReadOnlyError;
    case ENAMETOOLONG:
        return NSFileWriteInvalidFileNameError;
    default:
        return NSFileWriteUnknownError;
    }
}

std::string describe(std::int64_t code, const std::string& name)
{
    const std::string quoted = "\u201c" + name + "\u201d";
    switch (code) {
    case NSFileNoSuchFileError:
        return "The file " + quoted + " doesn\u2019t exist.";
    case NSFileReadNoSuchFileError:
        return "The file " + quoted + " couldn\u2019t be opened because there is no such file.";
    case NSFileReadNoPermissionError:
        return "The file " + quoted + " couldn\u2019t be opened because you don\u2019t have permission to view it.";
    case NSFileWriteNoPermissionError:
        return "You don\u2019t have permission to save the file " + quoted + ".";
    case NSFileWriteFileExistsError:
        return "The file " + quoted + " couldn\u2019t be saved because a file with the same name already exists.";
    case NSFileWriteOutOfSpaceError:
        return "The file " + quoted + " couldn\u2019t be saved because there isn\u2019t enough space.";
    case NSFileWriteVolumeReadOnlyError:
        return "The file " + quoted + " couldn\u2019t be saved because the volume is read only.";
    default:
        if (code >= NSFileWriteUnknownError)
            return "The file " + quoted + " couldn\u2019t be saved.";
        return "The file " + quoted + " couldn\u2019t be opened.";
    }
}

} // namespace

NSErrorRef fileErrorWithCode(std::int64_t code, int posixError, const std::string& path)
{
    Value info = Value::dictionary({
        { NSFilePathErrorKey, path },
        { NSLocalizedDescriptionKey, describe(code, lastPathComponent(path)) },
    });
    if (posixError != 0) {
        auto underlying = NSError::errorWithDomain(NSPOSIXErrorDomain, posixError,
            Value::dictionary({ { NSLocalizedDescriptionKey, std::string(std::strerror(posixError)) } }));
        info.set(NSUnderlyingErrorKey, Value(underlying));
    }
    return NSError::errorWithDomain(NSCocoaErrorDomain, code, std::move(info));
}

NSErrorRef fileError(FileAccess access, int posixError, const std::string& path)
{
    return fileErrorWithCode(codeFor(access, posixError), posixError, path);
}

bool fail(NSErrorRef* out, NSErrorRef error)
{
    if (out)
        *out = std::move(error);
    return false;
}

} // namespace persistence
