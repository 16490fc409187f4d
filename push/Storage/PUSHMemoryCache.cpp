// Count-bounded keyed memory cache.
#include "push/Storage/PUSHMemoryCache.h"

#include <algorithm>
#include <mutex>

#include "platform/threading/NSNotificationCenter.h"
#include "push/Storage/PUSHDictionary.h"

std::shared_ptr<PUSHMemoryCache> PUSHMemoryCache::create()
{
    auto cache = std::shared_ptr<PUSHMemoryCache>(new PUSHMemoryCache());
    cache->observeNotification();
    return cache;
}

std::shared_ptr<PUSHMemoryCache> PUSHMemoryCache::shareInstance()
{
    static std::once_flag once;
    static std::shared_ptr<PUSHMemoryCache> shared;
    std::call_once(once, [] { shared = create(); });
    return shared;
}

PUSHMemoryCache::~PUSHMemoryCache() { unObserveAllNotifications(); }

void PUSHMemoryCache::observeNotification()
{
    NSNotificationCenter::defaultCenter()->addObserver(
        sharedAs<PUSHMemoryCache>(), &PUSHMemoryCache::handleNotification, PUSHMemoryWarningNotificationName);
}

void PUSHMemoryCache::unObserveAllNotifications() { NSNotificationCenter::defaultCenter()->removeObserver(this); }

void PUSHMemoryCache::handleNotification(const std::shared_ptr<NSNotification>&)
{
    if (clearWhenMemoryLow_)
        removeAllObjects();
}

bool PUSHMemoryCache::hasObjectForKey(const std::string& key) const { return cacheObjects_.contains(key); }

Value PUSHMemoryCache::objectForKey(const std::string& key) const
{
    auto found = cacheObjects_.find(key);
    return found == cacheObjects_.end() ? Value() : found->second;
}

void PUSHMemoryCache::unlist(const std::string& key)
{
    cacheKeys_.erase(std::remove(cacheKeys_.begin(), cacheKeys_.end(), key), cacheKeys_.end());
}

void PUSHMemoryCache::setObject(const Value& object, const std::string& key)
{
    // One listing per key, and the count is the live entries: a re-stored key moves to the end
    // instead of leaving a stale listing that would later evict its fresh value.
    removeObjectForKey(key);
    if (object.isAbsent())
        return;
    while (!cacheKeys_.empty() && cachedCount() + 1 >= maxCacheCount_)
        removeFirstObject();
    cacheKeys_.push_back(key);
    cacheObjects_[key] = object;
}

void PUSHMemoryCache::removeFirstObject()
{
    if (cacheKeys_.empty())
        return;
    cacheObjects_.erase(cacheKeys_.front());
    cacheKeys_.pop_front();
}

void PUSHMemoryCache::removeObjectsAtIndexes(std::size_t location, std::size_t length)
{
    if (location >= cacheKeys_.size())
        return;
    const std::size_t end = location + std::min(length, cacheKeys_.size() - location);
    for (std::size_t i = location; i < end; ++i)
        cacheObjects_.erase(cacheKeys_[i]);
    cacheKeys_.erase(cacheKeys_.begin() + static_cast<std::ptrdiff_t>(location),
        cacheKeys_.begin() + static_cast<std::ptrdiff_t>(end));
}

void PUSHMemoryCache::removeObject(const Value& object)
{
    std::vector<std::string> matching;
    for (const auto& [key, value] : cacheObjects_) {
        if (push::reportEqual(value, object)) // items equal but for "itime" are the same item
            matching.push_back(key);
    }
    for (const auto& key : matching)
        removeObjectForKey(key);
}

void PUSHMemoryCache::removeObjectForKey(const std::string& key)
{
    if (cacheObjects_.erase(key))
        unlist(key);
}

void PUSHMemoryCache::removeAllObjects()
{
    cacheKeys_.clear();
    cacheObjects_.clear();
}

std::shared_ptr<PUSHMemoryCache> PUSHMemoryCache::copy() const
{
    auto twin = create();
    copyContentsTo(*twin);
    return twin;
}

void PUSHMemoryCache::copyContentsTo(PUSHMemoryCache& twin) const
{
    twin.clearWhenMemoryLow_ = clearWhenMemoryLow_;
    twin.maxCacheCount_ = maxCacheCount_;
    twin.cacheKeys_ = cacheKeys_;
    twin.cacheObjects_ = cacheObjects_;
}

Value PUSHMemoryCache::cacheObjects() const
{
    ValueDictionary entries;
    entries.reserve(cacheObjects_.size());
    for (const auto& [key, object] : cacheObjects_)
        entries.insert_or_assign(key, object);
    return Value(std::move(entries));
}

void PUSHMemoryCache::encodeWithCoder(NSCoder& coder) const
{
    Value::Array keys(cacheKeys_.begin(), cacheKeys_.end());
    coder.encodeInteger(cachedCount(), "cacheCount");
    coder.encodeInteger(maxCacheCount_, "maxCacheCount");
    coder.encodeBool(clearWhenMemoryLow_, "clearWhenMemoryLow");
    coder.encodeObject(cacheObjects(), "cacheObjects");
    coder.encodeObject(Value(std::move(keys)), "cacheKeys");
}

bool PUSHMemoryCache::initWithCoder(NSCoder& coder)
{
    if (coder.containsValueForKey("maxCacheCount"))
        maxCacheCount_ = coder.decodeIntegerForKey("maxCacheCount");
    if (coder.containsValueForKey("clearWhenMemoryLow"))
        clearWhenMemoryLow_ = coder.decodeBoolForKey("clearWhenMemoryLow");
    const Value objects = coder.decodeObjectForKey("cacheObjects");
    const Value keys = coder.decodeObjectForKey("cacheKeys");
    removeAllObjects();
    for (const auto& key : keys.asArray()) {
        const Value& object = objects[key.asString()];
        if (!key.isString() || object.isAbsent() || cacheObjects_.contains(key.asString()))
            continue;
        cacheKeys_.push_back(key.asString());
        cacheObjects_[key.asString()] = object;
    }
    return true;
}
