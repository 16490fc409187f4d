// NSBundle: where the main bundle is, its Info.plist, and resource lookup.
#include "platform/persistence/NSBundle.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/persistence/AppHome.h"
#include "platform/persistence/FileIO.h"
#include "platform/persistence/NSFileManager.h"
#include "platform/persistence/NSPropertyListSerialization.h"

namespace {

// Never destroyed: threads still logging while the program exits ask for the main bundle after
// static objects have begun to go.
struct MainBundleState {
    std::mutex lock;
    std::string chosenPath;
    std::shared_ptr<NSBundle> current;
};

MainBundleState& mainState()
{
    static auto* state = new MainBundleState;
    return *state;
}

std::string executableFolder()
{
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return ".";
    return persistence::deletingLastPathComponent(std::string(buffer, static_cast<std::size_t>(n)));
}

std::string mainBundleFolder()
{
    if (const std::string& chosen = mainState().chosenPath; !chosen.empty())
        return chosen;
    if (const char* env = std::getenv("QUILLMARK_BUNDLE"); env && *env)
        return env;
    return persistence::appendPathComponent(executableFolder(), "resources");
}

bool isDirectory(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool existsAt(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string_view withoutDot(std::string_view type)
{
    if (!type.empty() && type.front() == '.')
        type.remove_prefix(1);
    return type;
}

} // namespace

NSBundle::NSBundle(std::string path)
    : path_(std::move(path))
    , strings_(path_)
{
}

std::shared_ptr<NSBundle> NSBundle::mainBundle()
{
    MainBundleState& state = mainState();
    std::lock_guard guard(state.lock);
    std::string folder = mainBundleFolder();
    if (!state.current || state.current->bundlePath() != folder)
        state.current = std::make_shared<NSBundle>(folder);
    return state.current;
}

void NSBundle::setMainBundlePath(std::string path)
{
    MainBundleState& state = mainState();
    std::lock_guard guard(state.lock);
    state.chosenPath = std::move(path);
}

std::shared_ptr<NSBundle> NSBundle::bundleWithPath(const std::string& path)
{
    if (!isDirectory(path))
        return nullptr;
    return std::make_shared<NSBundle>(path);
}

const Value& NSBundle::infoDictionary() const
{
    std::call_once(infoOnce_, [this] {
        info_ = Value::dictionary();
        auto bytes = persistence::dataWithContentsOfFile(persistence::appendPathComponent(path_, "Info.plist"));
        if (!bytes)
            return;
        Value parsed = NSPropertyListSerialization::propertyListWithData(*bytes);
        if (parsed.isDictionary())
            info_ = std::move(parsed);
    });
    return info_;
}

std::optional<std::string> NSBundle::bundleIdentifier() const
{
    const Value& id = infoDictionary()["CFBundleIdentifier"];
    if (!id.isString())
        return std::nullopt;
    return id.asString();
}

const Value& NSBundle::objectForInfoDictionaryKey(std::string_view key) const
{
    return infoDictionary()[key];
}

std::optional<std::string> NSBundle::pathForResource(std::string_view name, std::string_view type) const
{
    return pathForResource(name, type, {});
}

std::optional<std::string> NSBundle::pathForResource(
    std::string_view name, std::string_view type, std::string_view directory) const
{
    type = withoutDot(type);
    if (name.empty()) {
        auto all = pathsForResourcesOfType(type, directory);
        if (type.empty() || all.empty())
            return std::nullopt;
        return all.front();
    }
    std::string file(name);
    if (!type.empty())
        file += "." + std::string(type);
    std::string path = persistence::appendPathComponent(persistence::appendPathComponent(path_, directory), file);
    if (!existsAt(path))
        return std::nullopt;
    return path;
}

std::vector<std::string> NSBundle::pathsForResourcesOfType(std::string_view type, std::string_view directory) const
{
    type = withoutDot(type);
    std::string folder = persistence::appendPathComponent(path_, directory);
    std::vector<std::string> out;
    auto names = NSFileManager::defaultManager()->contentsOfDirectoryAtPath(folder);
    if (!names)
        return out;
    std::string suffix = "." + std::string(type);
    for (const auto& name : *names) {
        bool matches = type.empty() || (name.size() > suffix.size() && name.ends_with(suffix));
        if (matches)
            out.push_back(persistence::appendPathComponent(folder, name));
    }
    return out;
}

std::string NSBundle::localizedStringForKey(std::string_view key, std::string_view value, std::string_view table) const
{
    const Value& region = objectForInfoDictionaryKey("CFBundleDevelopmentRegion");
    auto languages = persistence::localizationOrder(region.isString() ? region.asString() : std::string());
    if (auto text = strings_.lookup(key, table.empty() ? "Localizable" : table, languages))
        return *std::move(text);
    return std::string(value.empty() ? key : value);
}

std::string NSLocalizedStringFromTable(std::string_view key, std::string_view table, std::string_view)
{
    return NSBundle::mainBundle()->localizedStringForKey(key, {}, table);
}
