// A keyed in-memory cache with a maximum entry count, evicting in insertion order and cleared on
// a low-memory warning; the base of the report cache. Archivable under "cacheCount",
// "maxCacheCount", "clearWhenMemoryLow", "cacheObjects" and "cacheKeys". Not locked: owners that
// share it across threads guard it themselves.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "platform/persistence/NSCoder.h"

class NSNotification;

inline constexpr const char* PUSHMemoryWarningNotificationName = "UIApplicationDidReceiveMemoryWarningNotification";

class PUSHMemoryCache : public NSObject, public NSCoding {
public:
    // A new cache observing low-memory warnings on the default notification centre.
    static std::shared_ptr<PUSHMemoryCache> create();
    // One cache for the process.
    static std::shared_ptr<PUSHMemoryCache> shareInstance();
    ~PUSHMemoryCache() override;

    bool hasObjectForKey(const std::string& key) const;
    // Stores the object as the newest entry (a stored key moves to the newest place), first
    // evicting the oldest until fewer than maxCacheCount entries are counted with it. An
    // absent object removes the key.
    void setObject(const Value& object, const std::string& key);
    Value objectForKey(const std::string& key) const;
    void removeFirstObject();
    // Removes the entries listed at positions [location, location + length) of the insertion order.
    void removeObjectsAtIndexes(std::size_t location, std::size_t length);
    void removeObject(const Value& object);
    void removeObjectForKey(const std::string& key);
    void removeAllObjects();

    std::shared_ptr<PUSHMemoryCache> copy() const;
    virtual void handleNotification(const std::shared_ptr<NSNotification>& notification);
    void unObserveAllNotifications();

    bool clearWhenMemoryLow() const { return clearWhenMemoryLow_; }
    void setClearWhenMemoryLow(bool value) { clearWhenMemoryLow_ = value; }
    std::int64_t maxCacheCount() const { return maxCacheCount_; }
    void setMaxCacheCount(std::int64_t value) { maxCacheCount_ = value; }
    std::int64_t cachedCount() const { return static_cast<std::int64_t>(cacheKeys_.size()); }
    // Keys, oldest first.
    const std::deque<std::string>& cacheKeys() const { return cacheKeys_; }
    // The entries as one dictionary (key -> object).
    Value cacheObjects() const;
    std::string className() const override { return "PUSHMemoryCache"; }

    void encodeWithCoder(NSCoder& coder) const override;
    // Reads the five values back; keys listed without an object, listed twice or of the wrong
    // kind are left out, so the count always matches the live entries.
    bool initWithCoder(NSCoder& coder) override;

protected:
    PUSHMemoryCache() = default;
    void observeNotification();
    void copyContentsTo(PUSHMemoryCache& twin) const;

private:
    void unlist(const std::string& key);

    bool clearWhenMemoryLow_ = true;
    std::int64_t maxCacheCount_ = 1000;
    std::deque<std::string> cacheKeys_;
    std::unordered_map<std::string, Value> cacheObjects_;
};
