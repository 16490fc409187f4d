// Whole-file reads and writes; atomic writes through a temporary file, fsync and rename.
#include "platform/persistence/FileIO.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "platform/persistence/AppHome.h"
#include "platform/persistence/FileErrors.h"
#include "platform/persistence/TextChecks.h"

namespace persistence {
namespace {

std::mutex hookLock;
BeforeRenameHook& hookSlot()
{
    static BeforeRenameHook hook;
    return hook;
}

int runHook(const std::string& temporaryPath, const std::string& path)
{
    BeforeRenameHook hook;
    {
        std::lock_guard guard(hookLock);
        hook = hookSlot();
    }
    return hook ? hook(temporaryPath, path) : 0;
}

// Owns a descriptor; closes it unless released.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : fd_(fd)
    {
    }
    FileDescriptor(FileDescriptor&& other) noexcept
        : fd_(std::exchange(other.fd_, -1))
    {
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    // Closes now and reports the close's own error (a delayed write error shows up here).
    int close()
    {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

int writeAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

void syncDirectory(const std::string& directory)
{
    int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

bool writeDirectly(const std::uint8_t* data, std::size_t size, const std::string& path, NSErrorRef* error)
{
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.get() < 0)
        return fail(error, fileError(FileAccess::Write, errno, path));
    int err = writeAll(fd.get(), data, size);
    int closeErr = fd.close();
    if (err == 0)
        err = closeErr;
    if (err != 0)
        return fail(error, fileError(FileAccess::Write, err, path));
    return true;
}

// ".<name>.XXXXXX", the last six from mkostemp's letters and digits.
bool isTemporaryName(std::string_view name)
{
    constexpr std::size_t kRandom = 6;
    if (name.size() < 2 + 1 + kRandom || name[0] != '.' || name[name.size() - kRandom - 1] != '.')
        return false;
    for (char c : name.substr(name.size() - kRandom)) {
        bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alphanumeric)
            return false;
    }
    return true;
}

void lockExclusively(int fd)
{
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A new temporary file beside `path`, locked, and still there once locked (a cleaner that ran
// between its creation and the lock took it for a leftover and removed it).
FileDescriptor createLockedTemporary(const std::string& path, std::string& temporary)
{
    std::string directory = deletingLastPathComponent(path);
    for (int attempt = 0;; ++attempt) {
        temporary = appendPathComponent(directory, "." + lastPathComponent(path) + ".XXXXXX");
        FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
        if (fd.get() < 0)
            return fd;
        lockExclusively(fd.get());
        struct stat st {};
        if (attempt == 7 || ::fstat(fd.get(), &st) != 0 || st.st_nlink > 0)
            return fd;
    }
}

bool writeAtomically(const std::uint8_t* data, std::size_t size, const std::string& path, NSErrorRef* error,
    bool flushToDisk = true)
{
    std::string temporary;
    FileDescriptor fd = createLockedTemporary(path, temporary);
    if (fd.get() < 0)
        return fail(error, fileError(FileAccess::Write, errno, path));
    struct stat old {};
    ::fchmod(fd.get(), ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);

    int err = writeAll(fd.get(), data, size);
    if (err == 0 && flushToDisk && ::fsync(fd.get()) != 0)
        err = errno;
    FileDescriptor lockHolder(::dup(fd.get())); // the lock lasts until the rename is done
    int closeErr = fd.close();
    if (err == 0)
        err = closeErr;
    if (err == 0)
        err = runHook(temporary, path);
    if (err == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(temporary.c_str());
        return fail(error, fileError(FileAccess::Write, err, path));
    }
    if (flushToDisk)
        syncDirectory(deletingLastPathComponent(path));
    return true;
}

// Removes one temporary file unless a live writer holds it. The lock is taken on what was
// opened and the name checked to still lead there, so nothing else goes by mistake.
bool removeIfAbandoned(const std::string& path)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0 || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return false;
    struct stat opened {}, named {};
    if (::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode) || ::lstat(path.c_str(), &named) != 0
        || !sameFile(opened, named))
        return false;
    return ::unlink(path.c_str()) == 0;
}

} // namespace

std::optional<Bytes> dataWithContentsOfFile(const std::string& path, NSErrorRef* error)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        fail(error, fileError(FileAccess::Read, errno, path));
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) == 0 && S_ISDIR(st.st_mode)) {
        fail(error, fileError(FileAccess::Read, EISDIR, path));
        return std::nullopt;
    }
    Bytes out;
    if (st.st_size > 0)
        out.reserve(static_cast<std::size_t>(st.st_size));
    std::uint8_t buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            fail(error, fileError(FileAccess::Read, errno, path));
            return std::nullopt;
        }
        if (n == 0)
            break;
        out.insert(out.end(), buffer, buffer + n);
    }
    return out;
}

std::optional<std::string> stringWithContentsOfFile(const std::string& path, NSErrorRef* error)
{
    auto data = dataWithContentsOfFile(path, error);
    if (!data)
        return std::nullopt;
    std::string text(data->begin(), data->end());
    if (!isValidUTF8(text)) {
        fail(error, fileErrorWithCode(NSFileReadCorruptFileError, 0, path));
        return std::nullopt;
    }
    return text;
}

bool writeToFile(const Bytes& data, const std::string& path, bool atomically, NSErrorRef* error)
{
    return atomically ? writeAtomically(data.data(), data.size(), path, error)
                      : writeDirectly(data.data(), data.size(), path, error);
}

bool writeToFile(std::string_view text, const std::string& path, bool atomically, NSErrorRef* error)
{
    auto bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    return atomically ? writeAtomically(bytes, text.size(), path, error)
                      : writeDirectly(bytes, text.size(), path, error);
}

bool writeToFileWithoutFlushing(const Bytes& data, const std::string& path, NSErrorRef* error)
{
    return writeAtomically(data.data(), data.size(), path, error, false);
}

std::size_t removeStaleTemporaryFiles(const std::string& directory)
{
    std::size_t removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        if (isTemporaryName(name) && removeIfAbandoned(appendPathComponent(directory, name)))
            ++removed;
    }
    return removed;
}

void setBeforeRenameHookForTesting(BeforeRenameHook hook)
{
    std::lock_guard guard(hookLock);
    hookSlot() = std::move(hook);
}

} // namespace persistence
