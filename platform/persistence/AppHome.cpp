// The app's home: where it is, and its standard folders.
#include "platform/persistence/AppHome.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>

namespace {

const char* const kHomeFolders[] = {
    "Documents",
    "Library",
    "Library/Caches",
    "Library/Preferences",
    "Library/Keychains",
    "Library/AddressBook",
    "tmp",
};

std::string resolveHome()
{
    if (const char* home = std::getenv("QUILLMARK_HOME"); home && *home)
        return home;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return persistence::appendPathComponent(data, "quillmark");
    const char* user = std::getenv("HOME");
    std::string base = user && *user ? user : "/tmp";
    return persistence::appendPathComponent(base, ".local/share/quillmark");
}

void makeDirectories(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0755);
    ::mkdir(path.c_str(), 0755);
}

bool isDirectory(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates the home's folders the first time a home is seen, and again when one has gone.
void ensureLayout(const std::string& home)
{
    static std::mutex lock;
    static std::string lastHome;
    std::lock_guard guard(lock);
    std::string tmp = persistence::appendPathComponent(home, "tmp");
    if (lastHome == home && isDirectory(tmp))
        return;
    for (const char* folder : kHomeFolders)
        makeDirectories(persistence::appendPathComponent(home, folder));
    lastHome = home;
}

} // namespace

std::string NSHomeDirectory()
{
    std::string home = resolveHome();
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    ensureLayout(home);
    return home;
}

std::string NSTemporaryDirectory()
{
    return persistence::appendPathComponent(NSHomeDirectory(), "tmp") + "/";
}

std::vector<std::string> NSSearchPathForDirectoriesInDomains(
    NSSearchPathDirectory directory, NSSearchPathDomainMask domainMask, bool /*expandTilde*/)
{
    if (!(domainMask & NSUserDomainMask))
        return {};
    const char* folder = nullptr;
    switch (directory) {
    case NSDocumentDirectory:
        folder = "Documents";
        break;
    case NSLibraryDirectory:
        folder = "Library";
        break;
    case NSCachesDirectory:
        folder = "Library/Caches";
        break;
    default:
        return {};
    }
    return { persistence::appendPathComponent(NSHomeDirectory(), folder) };
}

namespace persistence {

std::string appendPathComponent(std::string_view base, std::string_view component)
{
    while (!component.empty() && component.front() == '/')
        component.remove_prefix(1);
    std::string out(base);
    if (component.empty())
        return out;
    if (!out.empty() && out.back() != '/')
        out += '/';
    out += component;
    return out;
}

std::string deletingLastPathComponent(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return ".";
    if (slash == 0)
        return "/";
    return std::string(path.substr(0, slash));
}

std::string lastPathComponent(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos || path.size() == 1)
        return std::string(path);
    return std::string(path.substr(slash + 1));
}

} // namespace persistence
