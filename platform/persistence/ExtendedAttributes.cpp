// Extended attributes of files (get, set, remove by name) and the excluded-from-backup mark.
#include "platform/persistence/NSFileManager.h"

#include <cerrno>
#include <sys/xattr.h>

#include "platform/persistence/FileErrors.h"

namespace {

constexpr const char* kExcludedFromBackup = "quillmark.excluded-from-backup";

std::string systemName(const std::string& name)
{
    for (const char* space : { "user.", "trusted.", "security.", "system." }) {
        if (name.rfind(space, 0) == 0)
            return name;
    }
    return "user." + name;
}

NSErrorRef posixError(int code, const std::string& path)
{
    return NSError::errorWithDomain(NSPOSIXErrorDomain, code, Value::dictionary({ { NSFilePathErrorKey, path } }));
}

} // namespace

bool NSFileManager::hasExtendedAttribute(const std::string& name, const std::string& path) const
{
    return ::getxattr(path.c_str(), systemName(name).c_str(), nullptr, 0) >= 0;
}

std::optional<Bytes> NSFileManager::extendedAttribute(
    const std::string& name, const std::string& path, NSErrorRef* error) const
{
    const std::string key = systemName(name);
    for (int attempt = 0; attempt < 4; ++attempt) {
        ssize_t size = ::getxattr(path.c_str(), key.c_str(), nullptr, 0);
        if (size < 0)
            break;
        Bytes value(static_cast<std::size_t>(size));
        ssize_t got = ::getxattr(path.c_str(), key.c_str(), value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return value;
        }
        if (errno != ERANGE) // ERANGE: it grew between the two calls; ask again
            break;
    }
    persistence::fail(error, posixError(errno, path));
    return std::nullopt;
}

bool NSFileManager::setExtendedAttribute(
    const std::string& name, const Bytes& value, const std::string& path, NSErrorRef* error) const
{
    if (::setxattr(path.c_str(), systemName(name).c_str(), value.data(), value.size(), 0) == 0)
        return true;
    return persistence::fail(error, posixError(errno, path));
}

bool NSFileManager::removeExtendedAttribute(const std::string& name, const std::string& path, NSErrorRef* error) const
{
    if (::removexattr(path.c_str(), systemName(name).c_str()) == 0)
        return true;
    return persistence::fail(error, posixError(errno, path));
}

bool NSFileManager::setExcludedFromBackup(const std::string& path, bool excluded, NSErrorRef* error) const
{
    if (excluded)
        return setExtendedAttribute(kExcludedFromBackup, Bytes { '1' }, path, error);
    NSErrorRef removeError;
    if (removeExtendedAttribute(kExcludedFromBackup, path, &removeError) || removeError->code() == ENODATA)
        return true;
    return persistence::fail(error, removeError);
}

bool NSFileManager::isExcludedFromBackup(const std::string& path) const
{
    return hasExtendedAttribute(kExcludedFromBackup, path);
}
