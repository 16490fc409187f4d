// Report items between attempts: a pending cache of items still to go out (the memory cache it
// is built on, in order of adding) and a sending cache of items in flight, both keyed by the
// request's report flag. It drops duplicates (items equal but for "itime"), keeps its archive
// under a size limit by dropping the oldest pending entries, and runs its save action after
// every change. Entries are single item dictionaries or arrays of them (one per sent request,
// holding no two items equal but for "itime").
// Safe to use from any thread; the save action runs outside the cache's lock.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "push/Storage/PUSHMemoryCache.h"

class PUSHReportCacheController : public PUSHMemoryCache {
public:
    using SyncBlock = std::function<void()>;
    using EnumerateBlock = std::function<void(const std::string& key, const Value& entry, bool& stop)>;

    // The archive size above which the oldest pending entries are dropped.
    static constexpr std::size_t kMaxArchiveBytes = 52428800;

    static std::shared_ptr<PUSHReportCacheController> initWithSynchronizeBlock(SyncBlock block);

    std::size_t count() const;
    // Runs the save action, when there is one.
    void synchronize();
    // Every sending entry back to the pending cache (at each start of the client), then save.
    void resetCache();
    void transferSendingCacheToCache();

    void addSendingCacheObject(const Value& entry, const std::string& key);
    void addCacheObject(const Value& entry, const std::string& key);
    void transferSendingObjectToCache(const Value& entry, const std::string& key);
    // A failed send: the entry in flight under the flag returns to the pending cache.
    void changeSendingObjectFailedForKey(const std::string& key);
    void removeSendingObjectForKey(const std::string& key);
    void removeCacheObjectForKey(const std::string& key);

    bool checkReportFlag(const std::string& key) const;
    // True when an entry in flight equals the item, or a pending entry does.
    bool containsCacheObject(const Value& item) const;
    // Drops the oldest pending entries while the archive is over the limit.
    void calculateCacheLength();
    // Calls the block for every pending entry, oldest first, over a copy taken at the start.
    void PUSHEnumerateObjectsUsingBlock(const EnumerateBlock& block) const;

    Value sendingPackageCache() const;
    void setSendingPackageCache(const Value& cache);
    void setSyncBlock(SyncBlock block);
    // Tests lower the limit instead of writing 50 MiB.
    void setMaxArchiveBytesForTesting(std::size_t bytes) { maxArchiveBytes_ = bytes; }

    // A low-memory warning leaves the entries alone: they are reports still to be delivered,
    // kept on disk through the save action, and nothing could make them again.
    void handleNotification(const std::shared_ptr<NSNotification>&) override {}

    std::shared_ptr<PUSHReportCacheController> copyReportCache() const;
    std::string description() const override;
    std::string className() const override { return "PUSHReportCacheController"; }
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    // A cache without a save action, for the archive reader.
    static std::shared_ptr<PUSHReportCacheController> createEmpty();

private:
    PUSHReportCacheController() = default;
    std::size_t archiveSize() const;
    void dropOldest();

    mutable std::recursive_mutex lock_;
    SyncBlock syncBlock_;
    Value sendingPackageCache_ = Value::dictionary();
    std::size_t maxArchiveBytes_ = kMaxArchiveBytes;
};
