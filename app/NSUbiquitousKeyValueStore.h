// NSUbiquitousKeyValueStore: the cloud key-value store shared by the user's devices. There is
// no cloud here, so the store is absent (defaultStore() is nullptr) unless a test or the host
// installs one; an installed store keeps its values in memory, and applyExternalChanges plays
// another device writing to it.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

inline constexpr const char* NSUbiquitousKeyValueStoreDidChangeExternallyNotification
    = "NSUbiquitousKeyValueStoreDidChangeExternallyNotification";

class NSUbiquitousKeyValueStore final : public NSObject {
public:
    // The store, or nullptr while none is installed.
    static std::shared_ptr<NSUbiquitousKeyValueStore> defaultStore();
    // Installs (or with nullptr removes) the default store.
    static void setDefaultStore(std::shared_ptr<NSUbiquitousKeyValueStore> store);
    static std::shared_ptr<NSUbiquitousKeyValueStore> create();

    // Texts only; any other kind reads as nothing.
    std::optional<std::string> stringForKey(std::string_view key) const;
    void setString(const std::string& value, const std::string& key);
    // Lenient: a stored number or text is read as the platform reads booleans.
    bool boolForKey(std::string_view key) const;
    void setBool(bool value, const std::string& key);
    Value dictionaryRepresentation() const;
    bool synchronize();

    // Another device's writes arrive: the entries of `changes` are stored, then
    // NSUbiquitousKeyValueStoreDidChangeExternallyNotification is posted on the default centre.
    void applyExternalChanges(const Value& changes);
    int synchronizeCount() const;

    std::string className() const override { return "NSUbiquitousKeyValueStore"; }

private:
    mutable std::mutex mutex_;
    Value values_ = Value::dictionary();
    int synchronizeCount_ = 0;
};
