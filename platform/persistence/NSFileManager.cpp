// NSFileManager: existence, folders, attributes, removal, moves and copies.
#include "platform/persistence/NSFileManager.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/persistence/AppHome.h"
#include "platform/persistence/FileErrors.h"
#include "platform/persistence/FileIO.h"
#include "platform/persistence/FileStat.h"

using persistence::fail;
using persistence::FileAccess;
using persistence::fileError;

namespace {

bool makeOneDirectory(const std::string& path, NSErrorRef* error)
{
    if (::mkdir(path.c_str(), 0755) == 0)
        return true;
    return fail(error, fileError(FileAccess::Write, errno, path));
}

bool makeDirectoryTree(const std::string& path, NSErrorRef* error)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        return fail(error, fileError(FileAccess::Write, EEXIST, path));
    }
    std::string parent = persistence::deletingLastPathComponent(path);
    if (parent != path && parent != "." && parent != "/" && !makeDirectoryTree(parent, error))
        return false;
    if (::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST)
        return true;
    return fail(error, fileError(FileAccess::Write, errno, path));
}

bool removeTree(const std::string& path, NSErrorRef* error)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return fail(error, fileError(FileAccess::Write, errno, path));
    if (!S_ISDIR(st.st_mode)) {
        if (::unlink(path.c_str()) == 0)
            return true;
        return fail(error, fileError(FileAccess::Write, errno, path));
    }
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return fail(error, fileError(FileAccess::Write, errno, path));
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(std::move(name));
    }
    ::closedir(dir);
    for (const auto& name : names) {
        if (!removeTree(persistence::appendPathComponent(path, name), error))
            return false;
    }
    if (::rmdir(path.c_str()) == 0)
        return true;
    return fail(error, fileError(FileAccess::Write, errno, path));
}

bool exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace

// Never destroyed: work still running on other threads while the program exits (a cache
// writing its files) may ask for it after static objects have begun to go.
std::shared_ptr<NSFileManager> NSFileManager::defaultManager()
{
    static const auto* manager = new std::shared_ptr<NSFileManager>(std::make_shared<NSFileManager>());
    return *manager;
}

std::shared_ptr<NSFileManager> NSFileManager::create()
{
    return std::make_shared<NSFileManager>();
}

bool NSFileManager::fileExistsAtPath(const std::string& path, bool* isDirectory) const
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return false;
    if (isDirectory)
        *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

bool NSFileManager::isReadableFileAtPath(const std::string& path) const
{
    return !path.empty() && ::access(path.c_str(), R_OK) == 0;
}

bool NSFileManager::isWritableFileAtPath(const std::string& path) const
{
    return !path.empty() && ::access(path.c_str(), W_OK) == 0;
}

bool NSFileManager::createDirectoryAtPath(
    const std::string& path, bool withIntermediateDirectories, const Value& attributes, NSErrorRef* error) const
{
    if (path.empty())
        return fail(error, fileError(FileAccess::Write, ENOENT, path));
    bool made = withIntermediateDirectories ? makeDirectoryTree(path, error) : makeOneDirectory(path, error);
    if (!made)
        return false;
    return attributes.isDictionary() ? setAttributes(attributes, path, error) : true;
}

bool NSFileManager::createFileAtPath(const std::string& path, const Bytes& contents, const Value& attributes) const
{
    if (!persistence::writeToFile(contents, path, true))
        return false;
    return attributes.isDictionary() ? setAttributes(attributes, path) : true;
}

std::optional<Bytes> NSFileManager::contentsAtPath(const std::string& path) const
{
    return persistence::dataWithContentsOfFile(path);
}

std::optional<std::vector<std::string>> NSFileManager::contentsOfDirectoryAtPath(
    const std::string& path, NSErrorRef* error) const
{
    DIR* dir = ::opendir(path.c_str());
    if (!dir) {
        fail(error, fileError(FileAccess::Read, errno, path));
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(std::move(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

Value NSFileManager::attributesOfItemAtPath(const std::string& path, NSErrorRef* error) const
{
    auto info = persistence::statPath(path);
    if (!info) {
        fail(error, fileError(FileAccess::Read, errno, path));
        return {};
    }
    return persistence::attributesFrom(*info);
}

bool NSFileManager::setAttributes(const Value& attributes, const std::string& path, NSErrorRef* error) const
{
    const Value& modified = attributes[NSFileModificationDate];
    if (modified.isDate()) {
        double seconds = modified.asDate();
        timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(std::floor(seconds));
        times[1].tv_nsec = static_cast<long>((seconds - std::floor(seconds)) * 1e9);
        if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
            return fail(error, fileError(FileAccess::Write, errno, path));
    }
    const Value& permissions = attributes[NSFilePosixPermissions];
    if (permissions.isNumber() && ::chmod(path.c_str(), static_cast<mode_t>(permissions.integerValue() & 07777)) != 0)
        return fail(error, fileError(FileAccess::Write, errno, path));
    return true;
}

bool NSFileManager::removeItemAtPath(const std::string& path, NSErrorRef* error) const
{
    return removeTree(path, error);
}

bool NSFileManager::moveItemAtPath(const std::string& source, const std::string& destination, NSErrorRef* error) const
{
    if (!exists(source))
        return fail(error, fileError(FileAccess::Write, ENOENT, source));
    if (exists(destination))
        return fail(error, fileError(FileAccess::Write, EEXIST, destination));
    if (::rename(source.c_str(), destination.c_str()) == 0)
        return true;
    if (errno != EXDEV)
        return fail(error, fileError(FileAccess::Write, errno, destination));
    return copyItemAtPath(source, destination, error) && removeItemAtPath(source, error);
}

bool NSFileManager::copyItemAtPath(const std::string& source, const std::string& destination, NSErrorRef* error) const
{
    if (!exists(source))
        return fail(error, fileError(FileAccess::Write, ENOENT, source));
    if (exists(destination))
        return fail(error, fileError(FileAccess::Write, EEXIST, destination));
    std::error_code ec;
    std::filesystem::copy(source, destination,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks, ec);
    if (ec)
        return fail(error, fileError(FileAccess::Write, ec.value(), destination));
    return true;
}

std::shared_ptr<NSDirectoryEnumerator> NSFileManager::enumeratorAtPath(const std::string& path) const
{
    return std::make_shared<NSDirectoryEnumerator>(path, std::vector<std::string> {}, 0, false);
}

std::shared_ptr<NSDirectoryEnumerator> NSFileManager::enumeratorAtPath(
    const std::string& path, std::vector<std::string> keys, std::uint64_t options) const
{
    return std::make_shared<NSDirectoryEnumerator>(path, std::move(keys), options, true);
}
