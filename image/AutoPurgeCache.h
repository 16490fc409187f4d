// The memory tier of the image cache: a thread-safe keyed store of images with optional total
// cost and count limits (least recently used entries go first), which empties itself when the
// application receives a memory warning.
#pragma once
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include "platform/graphics/UIImage.h"

class AutoPurgeCache : public std::enable_shared_from_this<AutoPurgeCache> {
public:
    // A cache registered for the memory-warning notification of the default centre.
    static std::shared_ptr<AutoPurgeCache> create();
    ~AutoPurgeCache();
    AutoPurgeCache(const AutoPurgeCache&) = delete;
    AutoPurgeCache& operator=(const AutoPurgeCache&) = delete;

    UIImageRef objectForKey(const std::string& key);
    // Replaces what the key held. An object costing more than the whole cost limit is not
    // kept (and the key then holds nothing); the other entries stay.
    void setObject(const UIImageRef& image, const std::string& key, std::uint64_t cost = 0);
    void removeObjectForKey(const std::string& key);
    void removeAllObjects();

    // 0 means no limit.
    std::uint64_t totalCostLimit() const;
    void setTotalCostLimit(std::uint64_t limit);
    std::uint64_t countLimit() const;
    void setCountLimit(std::uint64_t limit);
    std::string name() const;
    void setName(std::string name);
    std::uint64_t totalCost() const;
    std::size_t count() const;

private:
    AutoPurgeCache() = default;
    struct Entry {
        std::string key;
        UIImageRef image;
        std::uint64_t cost = 0;
    };
    void evictLocked();

    mutable std::mutex mutex_;
    std::list<Entry> order_; // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> index_;
    std::uint64_t totalCost_ = 0;
    std::uint64_t costLimit_ = 0;
    std::uint64_t countLimit_ = 0;
    std::string name_;
};
