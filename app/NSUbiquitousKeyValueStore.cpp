// The in-memory cloud key-value store (see NSUbiquitousKeyValueStore.h).
#include "app/NSUbiquitousKeyValueStore.h"

#include "platform/threading/NSNotificationCenter.h"

namespace {

struct Installed {
    std::mutex mutex;
    std::shared_ptr<NSUbiquitousKeyValueStore> store;
};

Installed& installed()
{
    static Installed state;
    return state;
}

}

std::shared_ptr<NSUbiquitousKeyValueStore> NSUbiquitousKeyValueStore::defaultStore()
{
    std::lock_guard lock(installed().mutex);
    return installed().store;
}

void NSUbiquitousKeyValueStore::setDefaultStore(std::shared_ptr<NSUbiquitousKeyValueStore> store)
{
    std::lock_guard lock(installed().mutex);
    installed().store = std::move(store);
}

std::shared_ptr<NSUbiquitousKeyValueStore> NSUbiquitousKeyValueStore::create()
{
    return std::make_shared<NSUbiquitousKeyValueStore>();
}

std::optional<std::string> NSUbiquitousKeyValueStore::stringForKey(std::string_view key) const
{
    std::lock_guard lock(mutex_);
    const Value& value = values_[key];
    if (!value.isString())
        return std::nullopt;
    return value.asString();
}

void NSUbiquitousKeyValueStore::setString(const std::string& value, const std::string& key)
{
    std::lock_guard lock(mutex_);
    values_.set(key, value);
}

bool NSUbiquitousKeyValueStore::boolForKey(std::string_view key) const
{
    std::lock_guard lock(mutex_);
    return values_[key].boolValue();
}

void NSUbiquitousKeyValueStore::setBool(bool value, const std::string& key)
{
    std::lock_guard lock(mutex_);
    values_.set(key, value);
}

Value NSUbiquitousKeyValueStore::dictionaryRepresentation() const
{
    std::lock_guard lock(mutex_);
    return values_;
}

bool NSUbiquitousKeyValueStore::synchronize()
{
    std::lock_guard lock(mutex_);
    ++synchronizeCount_;
    return true;
}

int NSUbiquitousKeyValueStore::synchronizeCount() const
{
    std::lock_guard lock(mutex_);
    return synchronizeCount_;
}

void NSUbiquitousKeyValueStore::applyExternalChanges(const Value& changes)
{
    {
        std::lock_guard lock(mutex_);
        for (const auto& [key, value] : changes.asDictionary())
            values_.set(key, value);
    }
    NSNotificationCenter::defaultCenter()->postNotificationName(
        NSUbiquitousKeyValueStoreDidChangeExternallyNotification, shared_from_this());
}
