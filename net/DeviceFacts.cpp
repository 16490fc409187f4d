// The device facts in force and the background-task register.
#include "net/DeviceFacts.h"

#include <map>
#include <mutex>
#include <optional>

#include "platform/persistence/PreferredLanguages.h"
#include "platform/uikit/UIScreen.h"

namespace net {
namespace {

std::mutex factsMutex;
std::optional<DeviceFacts> setFacts;

std::mutex tasksMutex;
BackgroundTaskIdentifier nextTask = 1;
std::map<BackgroundTaskIdentifier, std::function<void()>> tasks;

} // namespace

DeviceFacts deviceFacts()
{
    std::lock_guard lock(factsMutex);
    if (setFacts)
        return *setFacts;
    auto device = UIDevice::currentDevice();
    return DeviceFacts {
        persistence::preferredLanguages(),
        device->model(),
        device->systemVersion(),
        UIScreen::mainScreen()->scale(),
    };
}

void setDeviceFacts(DeviceFacts facts)
{
    std::lock_guard lock(factsMutex);
    setFacts = std::move(facts);
}

void resetDeviceFacts()
{
    std::lock_guard lock(factsMutex);
    setFacts.reset();
}

BackgroundTaskIdentifier beginBackgroundTask(std::function<void()> expirationHandler)
{
    std::lock_guard lock(tasksMutex);
    BackgroundTaskIdentifier id = nextTask++;
    tasks[id] = std::move(expirationHandler);
    return id;
}

void endBackgroundTask(BackgroundTaskIdentifier identifier)
{
    std::function<void()> dropped;
    std::lock_guard lock(tasksMutex);
    auto it = tasks.find(identifier);
    if (it == tasks.end())
        return;
    dropped = std::move(it->second);
    tasks.erase(it);
}

void expireBackgroundTasks()
{
    std::map<BackgroundTaskIdentifier, std::function<void()>> expiring;
    {
        std::lock_guard lock(tasksMutex);
        expiring.swap(tasks);
    }
    for (auto& [id, handler] : expiring)
        if (handler)
            handler();
}

std::size_t runningBackgroundTaskCount()
{
    std::lock_guard lock(tasksMutex);
    return tasks.size();
}

} // namespace net
