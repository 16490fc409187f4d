// Values kept per view by the keyboard manager's companions, forgotten with their view (a view
// later made at the same address does not inherit them). Main thread only.
#pragma once

#include <algorithm>
#include <map>
#include <memory>

#include "platform/uikit/UIView.h"

namespace kb {

template <class T>
class PerView {
public:
    const T* find(const UIView& view) const
    {
        auto it = values_.find(&view);
        if (it == values_.end() || it->second.owner.expired())
            return nullptr;
        return &it->second.value;
    }
    void store(UIView& view, T value)
    {
        std::erase_if(values_, [](const auto& entry) { return entry.second.owner.expired(); });
        values_[&view] = { view.weak_from_this(), std::move(value) };
    }

private:
    struct Entry {
        std::weak_ptr<NSObject> owner;
        T value;
    };
    std::map<const UIView*, Entry> values_;
};

} // namespace kb
