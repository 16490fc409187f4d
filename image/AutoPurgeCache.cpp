// The image cache's memory tier: LRU eviction by cost and count, purged on memory warnings.
#include "image/AutoPurgeCache.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/uikit/UIApplication.h"

std::shared_ptr<AutoPurgeCache> AutoPurgeCache::create()
{
    std::shared_ptr<AutoPurgeCache> cache(new AutoPurgeCache());
    std::weak_ptr<AutoPurgeCache> weak = cache;
    NSNotificationCenter::defaultCenter()->addObserver(cache.get(), weak,
        [weak](const std::shared_ptr<NSNotification>&) {
            if (auto strong = weak.lock()) {
                strong->removeAllObjects();
            }
        },
        UIApplicationDidReceiveMemoryWarningNotification);
    return cache;
}

AutoPurgeCache::~AutoPurgeCache() { NSNotificationCenter::defaultCenter()->removeObserver(this); }

UIImageRef AutoPurgeCache::objectForKey(const std::string& key)
{
    std::lock_guard lock(mutex_);
    auto found = index_.find(key);
    if (found == index_.end()) {
        return nullptr;
    }
    order_.splice(order_.begin(), order_, found->second);
    return found->second->image;
}

void AutoPurgeCache::setObject(const UIImageRef& image, const std::string& key, std::uint64_t cost)
{
    if (!image) {
        removeObjectForKey(key);
        return;
    }
    std::lock_guard lock(mutex_);
    auto found = index_.find(key);
    if (found != index_.end()) {
        totalCost_ -= found->second->cost;
        order_.erase(found->second);
        index_.erase(found);
    }
    // An object that alone costs more than the limit is not kept: making room for it would
    // evict every other entry and then the object itself.
    if (costLimit_ > 0 && cost > costLimit_) {
        return;
    }
    order_.push_front(Entry { key, image, cost });
    index_[key] = order_.begin();
    totalCost_ += cost;
    evictLocked();
}

void AutoPurgeCache::evictLocked()
{
    while (!order_.empty()
        && ((costLimit_ > 0 && totalCost_ > costLimit_) || (countLimit_ > 0 && order_.size() > countLimit_))) {
        Entry& last = order_.back();
        totalCost_ -= last.cost;
        index_.erase(last.key);
        order_.pop_back();
    }
}

void AutoPurgeCache::removeObjectForKey(const std::string& key)
{
    std::lock_guard lock(mutex_);
    auto found = index_.find(key);
    if (found == index_.end()) {
        return;
    }
    totalCost_ -= found->second->cost;
    order_.erase(found->second);
    index_.erase(found);
}

void AutoPurgeCache::removeAllObjects()
{
    std::lock_guard lock(mutex_);
    order_.clear();
    index_.clear();
    totalCost_ = 0;
}

std::uint64_t AutoPurgeCache::totalCostLimit() const
{
    std::lock_guard lock(mutex_);
    return costLimit_;
}

void AutoPurgeCache::setTotalCostLimit(std::uint64_t limit)
{
    std::lock_guard lock(mutex_);
    costLimit_ = limit;
    evictLocked();
}

std::uint64_t AutoPurgeCache::countLimit() const
{
    std::lock_guard lock(mutex_);
    return countLimit_;
}

void AutoPurgeCache::setCountLimit(std::uint64_t limit)
{
    std::lock_guard lock(mutex_);
    countLimit_ = limit;
    evictLocked();
}

std::string AutoPurgeCache::name() const
{
    std::lock_guard lock(mutex_);
    return name_;
}

void AutoPurgeCache::setName(std::string name)
{
    std::lock_guard lock(mutex_);
    name_ = std::move(name);
}

std::uint64_t AutoPurgeCache::totalCost() const
{
    std::lock_guard lock(mutex_);
    return totalCost_;
}

std::size_t AutoPurgeCache::count() const
{
    std::lock_guard lock(mutex_);
    return order_.size();
}
