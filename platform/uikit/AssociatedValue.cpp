// The associated-value store: owners by address, each checked against a weak reference so that
// a dead owner's values are dropped and a new object at the same address starts empty.
#include "platform/uikit/AssociatedValue.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace uikit::associations {
namespace {

struct Owner {
    std::weak_ptr<const NSObject> object;
    std::map<const void*, std::shared_ptr<void>> values;
};

struct Store {
    // Recursive: a value released or a body run under the lock may use the store again.
    std::recursive_mutex mutex;
    std::unordered_map<const NSObject*, Owner> owners;
    std::size_t pruneAt = 64;
};

// Never destroyed: values may be dropped by views that outlive static destruction.
Store& store()
{
    static auto* shared = new Store();
    return *shared;
}

// An entry whose object still lives is that object's: no other can be at its address. (Not
// locked: a reference taken here could be the last, and destroy the owner under the lock.)
bool isLive(const Owner& entry) { return !entry.object.expired(); }

// Moves out the values of owners that are gone.
void sweep(Store& s, std::vector<Owner>& dropped)
{
    for (auto it = s.owners.begin(); it != s.owners.end();) {
        if (isLive(it->second)) {
            ++it;
            continue;
        }
        dropped.push_back(std::move(it->second));
        it = s.owners.erase(it);
    }
    s.pruneAt = std::max<std::size_t>(64, s.owners.size() * 2);
}

// Sweeps when the table has doubled since the last sweep, so that owners that are not views
// cost O(1) a call on average to drop.
void sweepIfDue(Store& s, std::vector<Owner>& dropped)
{
    if (s.owners.size() >= s.pruneAt)
        sweep(s, dropped);
}

// The owner's live entry; a stale one left by a dead object at this address is moved out first.
Owner* liveEntry(Store& s, const NSObject& owner, bool create, std::vector<Owner>& dropped)
{
    auto it = s.owners.find(&owner);
    if (it != s.owners.end() && isLive(it->second))
        return &it->second;
    if (it != s.owners.end()) {
        dropped.push_back(std::move(it->second));
        s.owners.erase(it);
    }
    auto weak = owner.weak_from_this();
    if (!create || weak.expired())
        return nullptr;
    sweepIfDue(s, dropped);
    auto& entry = s.owners[&owner];
    entry.object = std::move(weak);
    return &entry;
}

} // namespace

BodyLock::BodyLock() { store().mutex.lock(); }
BodyLock::~BodyLock() { store().mutex.unlock(); }

std::shared_ptr<void> slot(const NSObject& owner, const void* key, std::shared_ptr<void> (*make)())
{
    std::vector<Owner> dropped; // declared first: released after the lock
    auto& s = store();
    std::lock_guard lock(s.mutex);
    auto* entry = liveEntry(s, owner, make != nullptr, dropped);
    if (!entry)
        return nullptr;
    auto found = entry->values.find(key);
    if (found != entry->values.end())
        return found->second;
    if (!make)
        return nullptr;
    return entry->values.emplace(key, make()).first->second;
}

void replace(const NSObject& owner, const void* key, std::shared_ptr<void> value)
{
    std::vector<Owner> dropped;
    std::shared_ptr<void> old;
    auto& s = store();
    std::lock_guard lock(s.mutex);
    auto* entry = liveEntry(s, owner, value != nullptr, dropped);
    if (!entry)
        return;
    auto it = entry->values.find(key);
    if (it != entry->values.end()) {
        old = std::move(it->second);
        entry->values.erase(it);
    }
    if (value)
        entry->values.emplace(key, std::move(value));
    if (entry->values.empty())
        s.owners.erase(&owner);
}

void forgetOwner(const NSObject* owner)
{
    Owner dropped;
    auto& s = store();
    std::lock_guard lock(s.mutex);
    auto it = s.owners.find(owner);
    if (it == s.owners.end())
        return;
    dropped = std::move(it->second);
    s.owners.erase(it);
}

std::size_t ownerCount()
{
    std::vector<Owner> dropped;
    auto& s = store();
    std::lock_guard lock(s.mutex);
    sweep(s, dropped);
    return s.owners.size();
}

} // namespace uikit::associations
