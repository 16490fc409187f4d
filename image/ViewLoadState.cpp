// The registry of per-view load state.
#include "image/ViewLoadState.h"
#include <mutex>
#include "platform/uikit/UIView.h"

namespace image {
namespace {
struct Slot {
    std::weak_ptr<UIView> view;
    ViewLoadState state;
};
std::mutex registryMutex;
std::map<const UIView*, Slot>& registry()
{
    static auto* slots = new std::map<const UIView*, Slot>();
    return *slots;
}
} // namespace

void withViewState(const std::shared_ptr<UIView>& view, const std::function<void(ViewLoadState&)>& body)
{
    if (!view) {
        return;
    }
    ViewLoadState* state = nullptr;
    std::vector<Slot> dropped; // released outside the lock: their loads may call back
    {
        std::lock_guard lock(registryMutex);
        auto& slots = registry();
        for (auto it = slots.begin(); it != slots.end();) {
            if (it->second.view.expired()) {
                dropped.push_back(std::move(it->second));
                it = slots.erase(it);
            } else {
                ++it;
            }
        }
        auto& slot = slots[view.get()];
        if (slot.view.expired()) {
            slot.view = view;
        }
        state = &slot.state;
        body(*state);
    }
}
} // namespace image
