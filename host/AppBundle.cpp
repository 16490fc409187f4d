// The main bundle and the named-image lookup over it.
#include "host/AppBundle.h"

#include <cstdlib>
#include <filesystem>

#include "platform/graphics/UIImage.h"
#include "platform/persistence/NSBundle.h"

namespace host {
namespace {

// The file for a resource path relative to the main bundle's folder, or "" when absent.
std::string resolveInMainBundle(const std::string& relative)
{
    auto bundle = NSBundle::mainBundle();
    if (!bundle || relative.empty())
        return "";
    std::filesystem::path path = std::filesystem::path(bundle->resourcePath()) / relative;
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) ? path.string() : "";
}

} // namespace

std::string appBundleFolder(const std::string& compiledIn)
{
    if (const char* env = std::getenv("QUILLMARK_BUNDLE"); env && *env)
        return env;
    return compiledIn;
}

void useAppBundle(const std::string& folder)
{
    NSBundle::setMainBundlePath(folder);
    graphics::setResourceResolver(resolveInMainBundle);
    graphics::clearNamedImageCache();
}

} // namespace host
