// Pending and in-flight report items with de-duplication, a size limit and a save action.
#include "push/Storage/PUSHReportCacheController.h"

#include "platform/foundation/Format.h"
#include "platform/persistence/NSKeyedArchiver.h"
#include "push/Storage/PUSHCacheFileCodec.h"
#include "push/Storage/PUSHDictionary.h"

std::shared_ptr<PUSHReportCacheController> PUSHReportCacheController::createEmpty()
{
    auto cache = std::shared_ptr<PUSHReportCacheController>(new PUSHReportCacheController());
    cache->observeNotification();
    return cache;
}

std::shared_ptr<PUSHReportCacheController> PUSHReportCacheController::initWithSynchronizeBlock(SyncBlock block)
{
    auto cache = createEmpty();
    cache->syncBlock_ = std::move(block);
    return cache;
}

void PUSHReportCacheController::setSyncBlock(SyncBlock block)
{
    std::lock_guard guard(lock_);
    syncBlock_ = std::move(block);
}

std::size_t PUSHReportCacheController::count() const
{
    std::lock_guard guard(lock_);
    return static_cast<std::size_t>(cachedCount());
}

void PUSHReportCacheController::synchronize()
{
    SyncBlock block;
    {
        std::lock_guard guard(lock_);
        block = syncBlock_;
    }
    if (block)
        block();
}

void PUSHReportCacheController::resetCache()
{
    transferSendingCacheToCache();
    synchronize();
}

void PUSHReportCacheController::transferSendingCacheToCache()
{
    std::lock_guard guard(lock_);
    const Value sending = sendingPackageCache_;
    for (const auto& [key, entry] : sending.asDictionary())
        setObject(entry, key);
    sendingPackageCache_ = Value::dictionary();
}

void PUSHReportCacheController::addSendingCacheObject(const Value& entry, const std::string& key)
{
    if (entry.isAbsent())
        return;
    {
        std::lock_guard guard(lock_);
        sendingPackageCache_.set(key, entry);
        calculateCacheLength();
    }
    synchronize();
}

void PUSHReportCacheController::addCacheObject(const Value& entry, const std::string& key)
{
    if (entry.isAbsent())
        return;
    {
        std::lock_guard guard(lock_);
        setObject(entry, key);
        calculateCacheLength();
    }
    synchronize();
}

void PUSHReportCacheController::transferSendingObjectToCache(const Value& entry, const std::string& key)
{
    addCacheObject(entry, key);
    std::lock_guard guard(lock_);
    sendingPackageCache_.remove(key);
}

void PUSHReportCacheController::changeSendingObjectFailedForKey(const std::string& key)
{
    {
        std::lock_guard guard(lock_);
        const Value entry = sendingPackageCache_[key];
        if (entry.isAbsent())
            return;
        setObject(entry, key);
        sendingPackageCache_.remove(key);
        calculateCacheLength();
    }
    synchronize();
}

void PUSHReportCacheController::removeSendingObjectForKey(const std::string& key)
{
    {
        std::lock_guard guard(lock_);
        if (sendingPackageCache_.count() == 0)
            return;
        sendingPackageCache_.remove(key);
    }
    synchronize();
}

void PUSHReportCacheController::removeCacheObjectForKey(const std::string& key)
{
    {
        std::lock_guard guard(lock_);
        if (cachedCount() == 0)
            return;
        removeObjectForKey(key);
    }
    synchronize();
}

bool PUSHReportCacheController::checkReportFlag(const std::string& key) const
{
    std::lock_guard guard(lock_);
    return hasObjectForKey(key);
}

bool PUSHReportCacheController::containsCacheObject(const Value& item) const
{
    std::lock_guard guard(lock_);
    for (const auto& [key, entry] : sendingPackageCache_.asDictionary()) {
        if (push::reportEqual(entry, item))
            return true;
    }
    if (!item.isDictionary())
        return false;
    for (const auto& key : cacheKeys()) {
        if (push::reportEqual(objectForKey(key), item))
            return true;
    }
    return false;
}

std::size_t PUSHReportCacheController::archiveSize() const
{
    push::storage::registerArchivableClasses();
    auto self = std::const_pointer_cast<PUSHReportCacheController>(
        std::static_pointer_cast<const PUSHReportCacheController>(shared_from_this()));
    auto archive = NSKeyedArchiver::archivedDataWithRootObject(Value(self));
    return archive ? archive->size() : 0;
}

void PUSHReportCacheController::calculateCacheLength()
{
    std::lock_guard guard(lock_);
    if (archiveSize() > maxArchiveBytes_)
        dropOldest();
}

void PUSHReportCacheController::dropOldest()
{
    const std::size_t entries = static_cast<std::size_t>(cachedCount());
    const std::size_t drop = entries <= 99 ? 1 : entries / 10;
    for (std::size_t i = 0; i < drop; ++i)
        removeFirstObject();
}

void PUSHReportCacheController::PUSHEnumerateObjectsUsingBlock(const EnumerateBlock& block) const
{
    std::deque<std::string> keys;
    Value entries;
    {
        std::lock_guard guard(lock_);
        keys = cacheKeys();
        entries = cacheObjects();
    }
    bool stop = false;
    for (const auto& key : keys) {
        block(key, entries[key], stop);
        if (stop)
            return;
    }
}

Value PUSHReportCacheController::sendingPackageCache() const
{
    std::lock_guard guard(lock_);
    return sendingPackageCache_;
}

void PUSHReportCacheController::setSendingPackageCache(const Value& cache)
{
    std::lock_guard guard(lock_);
    sendingPackageCache_ = cache.isDictionary() ? cache : Value::dictionary();
}

std::shared_ptr<PUSHReportCacheController> PUSHReportCacheController::copyReportCache() const
{
    std::lock_guard guard(lock_);
    auto twin = createEmpty();
    copyContentsTo(*twin);
    twin->syncBlock_ = syncBlock_;
    twin->sendingPackageCache_ = sendingPackageCache_;
    twin->maxArchiveBytes_ = maxArchiveBytes_;
    return twin;
}

std::string PUSHReportCacheController::description() const
{
    std::lock_guard guard(lock_);
    return NSString::stringWithFormat("%lu", static_cast<unsigned long>(sendingPackageCache_.count()));
}

void PUSHReportCacheController::encodeWithCoder(NSCoder& coder) const
{
    std::lock_guard guard(lock_);
    PUSHMemoryCache::encodeWithCoder(coder);
    coder.encodeObject(sendingPackageCache_, "sendingCache");
}

bool PUSHReportCacheController::initWithCoder(NSCoder& coder)
{
    std::lock_guard guard(lock_);
    PUSHMemoryCache::initWithCoder(coder);
    const Value sending = coder.decodeObjectForKey("sendingCache");
    sendingPackageCache_ = sending.isDictionary() ? sending : Value::dictionary();
    return true;
}
