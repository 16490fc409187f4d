// File facts from statx, shaped as attributes and resource values.
#include "platform/persistence/FileStat.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/persistence/AppHome.h"
#include "platform/persistence/NSFileManager.h"

namespace persistence {
namespace {

double seconds(const statx_timestamp& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

} // namespace

std::optional<FileStat> statPath(const std::string& path)
{
    struct statx sx {};
    if (path.empty() || ::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return std::nullopt;
    FileStat info;
    info.isDirectory = S_ISDIR(sx.stx_mode);
    info.isSymbolicLink = S_ISLNK(sx.stx_mode);
    info.isRegular = S_ISREG(sx.stx_mode);
    info.size = sx.stx_size;
    info.allocatedSize = sx.stx_blocks * 512;
    info.permissions = sx.stx_mode & 07777;
    info.linkCount = sx.stx_nlink;
    info.inode = sx.stx_ino;
    info.modified = seconds(sx.stx_mtime);
    info.created = (sx.stx_mask & STATX_BTIME) ? seconds(sx.stx_btime) : info.modified;
    return info;
}

Value attributesFrom(const FileStat& info)
{
    const char* type = info.isDirectory ? NSFileTypeDirectory
        : info.isSymbolicLink           ? NSFileTypeSymbolicLink
        : info.isRegular                ? NSFileTypeRegular
                                        : NSFileTypeUnknown;
    return Value::dictionary({
        { NSFileSize, Value(info.size) },
        { NSFileModificationDate, Value::date(info.modified) },
        { NSFileCreationDate, Value::date(info.created) },
        { NSFileType, type },
        { NSFilePosixPermissions, Value(info.permissions) },
        { NSFileReferenceCount, Value(info.linkCount) },
        { NSFileSystemFileNumber, Value(info.inode) },
    });
}

Value resourceValuesFrom(const FileStat& info, const std::string& path, const std::vector<std::string>& keys)
{
    Value out = Value::dictionary();
    std::string name = lastPathComponent(path);
    for (const auto& key : keys) {
        if (key == NSURLNameKey)
            out.set(key, name);
        else if (key == NSURLIsDirectoryKey)
            out.set(key, info.isDirectory);
        else if (key == NSURLIsHiddenKey)
            out.set(key, !name.empty() && name[0] == '.');
        else if (key == NSURLContentModificationDateKey)
            out.set(key, Value::date(info.modified));
        else if (key == NSURLCreationDateKey)
            out.set(key, Value::date(info.created));
        else if (key == NSURLFileSizeKey && !info.isDirectory)
            out.set(key, Value(info.size));
        else if (key == NSURLTotalFileAllocatedSizeKey && !info.isDirectory)
            out.set(key, Value(info.allocatedSize));
    }
    return out;
}

} // namespace persistence
