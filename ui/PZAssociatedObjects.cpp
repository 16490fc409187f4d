// A small table of weakly held associations keyed by owner address and key.
#include "ui/PZAssociatedObjects.h"

#include <map>
#include <unordered_map>

namespace ui::refresh {

namespace {

struct Associations {
    std::weak_ptr<const NSObject> owner;
    std::map<std::string, std::weak_ptr<NSObject>> values;
};

std::unordered_map<const NSObject*, Associations>& table()
{
    static std::unordered_map<const NSObject*, Associations> associations;
    return associations;
}

// Drops the entries of owners that are gone, so the table does not grow and a reused address
// does not see an old object's values.
void prune()
{
    auto& map = table();
    for (auto it = map.begin(); it != map.end();) {
        if (it->second.owner.expired())
            it = map.erase(it);
        else
            ++it;
    }
}

} // namespace

std::shared_ptr<NSObject> associatedObject(const NSObject& owner, const std::string& key)
{
    prune();
    auto found = table().find(&owner);
    if (found == table().end())
        return nullptr;
    auto value = found->second.values.find(key);
    if (value == found->second.values.end())
        return nullptr;
    return value->second.lock();
}

void setAssociatedObject(NSObject& owner, const std::string& key, const std::shared_ptr<NSObject>& value)
{
    prune();
    auto& entry = table()[&owner];
    if (entry.owner.expired())
        entry.owner = owner.weak_from_this();
    if (!value) {
        entry.values.erase(key);
        return;
    }
    entry.values[key] = value;
}

} // namespace ui::refresh
