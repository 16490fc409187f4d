// The registry of class-loading work and its one run per process.
#include "platform/uikit/ClassLoad.h"

#include <mutex>
#include <utility>
#include <vector>

namespace uikit {
namespace {

struct Pending {
    std::mutex mutex;
    std::vector<std::function<void()>> loads;
};

Pending& pending()
{
    static Pending registry;
    return registry;
}

} // namespace

bool registerClassLoad(std::function<void()> load)
{
    auto& registry = pending();
    std::lock_guard lock(registry.mutex);
    registry.loads.push_back(std::move(load));
    return true;
}

void loadClasses()
{
    std::vector<std::function<void()>> due;
    {
        auto& registry = pending();
        std::lock_guard lock(registry.mutex);
        due.swap(registry.loads);
    }
    for (const auto& load : due)
        load();
}

} // namespace uikit
