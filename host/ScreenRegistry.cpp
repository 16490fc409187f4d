// The registry of screens the host opens by name, and pushing and popping them.
#include "host/ScreenRegistry.h"

#include <map>
#include <mutex>

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"

namespace host {
namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, ScreenFactory> factories;
};

Registry& registry()
{
    static Registry r;
    return r;
}

std::shared_ptr<UINavigationController> rootNavigation()
{
    auto window = UIApplication::sharedApplication()->keyWindow();
    if (!window)
        return nullptr;
    return std::dynamic_pointer_cast<UINavigationController>(window->rootViewController());
}

} // namespace

void registerScreen(std::string name, ScreenFactory factory)
{
    std::lock_guard lock(registry().mutex);
    registry().factories[std::move(name)] = std::move(factory);
}

void clearScreens()
{
    std::lock_guard lock(registry().mutex);
    registry().factories.clear();
}

std::vector<std::string> registeredScreens()
{
    std::lock_guard lock(registry().mutex);
    std::vector<std::string> names;
    for (const auto& entry : registry().factories)
        names.push_back(entry.first);
    return names;
}

std::shared_ptr<UIViewController> makeScreen(const std::string& name)
{
    ScreenFactory factory;
    {
        std::lock_guard lock(registry().mutex);
        auto it = registry().factories.find(name);
        if (it == registry().factories.end() || !it->second)
            return nullptr;
        factory = it->second;
    }
    // The factory runs unlocked: a screen may look at the registry while it is built.
    return factory();
}

std::string openScreen(const std::string& name)
{
    auto navigation = rootNavigation();
    if (!navigation)
        return "the key window has no root navigation controller";
    auto screen = makeScreen(name);
    if (!screen)
        return "no screen registered as \"" + name + "\"";
    navigation->pushViewController(screen, false);
    return "";
}

std::string closeTopScreen()
{
    auto navigation = rootNavigation();
    if (!navigation)
        return "the key window has no root navigation controller";
    if (!navigation->popViewControllerAnimated(false))
        return "only the root screen is left";
    return "";
}

std::string describeTopScreen()
{
    auto window = UIApplication::sharedApplication()->keyWindow();
    auto screen = window ? window->rootViewController() : nullptr;
    // Down through what each screen presents and each navigation controller shows on top.
    for (;;) {
        if (!screen)
            return "no screen";
        if (auto presented = screen->presentedViewController()) {
            screen = presented;
            continue;
        }
        auto navigation = std::dynamic_pointer_cast<UINavigationController>(screen);
        if (!navigation || !navigation->topViewController())
            break;
        screen = navigation->topViewController();
    }
    std::string text = screen->className();
    if (!screen->title().empty())
        text += " \"" + screen->title() + "\"";
    return text;
}

} // namespace host
