// Unsynced atomic writes of cache entries and the removal of stale temporaries.
#include "image/ImageCacheFiles.h"
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include "platform/persistence/AppHome.h"

namespace image {
namespace {
bool writeAll(int fd, const Bytes& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

double modificationTime(const struct stat& info)
{
    return double(info.st_mtim.tv_sec) + double(info.st_mtim.tv_nsec) / 1e9;
}
} // namespace

bool writeCacheFile(const std::string& path, const Bytes& data)
{
    std::string directory = persistence::deletingLastPathComponent(path);
    std::string temporary
        = persistence::appendPathComponent(directory, "." + persistence::lastPathComponent(path) + ".XXXXXX");
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    ::fchmod(fd, 0644);
    bool written = writeAll(fd, data);
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

void removeStaleTemporaries(const std::string& directory, double now, double maxAge)
{
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) {
        return;
    }
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() < 2 || name[0] != '.' || name == "..") {
            continue;
        }
        std::string path = persistence::appendPathComponent(directory, name);
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && modificationTime(info) <= now - maxAge) {
            ::unlink(path.c_str());
        }
    }
    ::closedir(dir);
}

} // namespace image
