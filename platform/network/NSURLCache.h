// NSURLCache: responses kept for reuse, in memory and on disk under Library/Caches, by URL.
// NSCachedURLResponse is one kept response with its body. Freshness and validation rules that
// loads apply to entries are in CachePolicy.h.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"
#include "platform/network/NSURLRequest.h"
#include "platform/network/NSURLResponse.h"

enum NSURLCacheStoragePolicy : std::uint64_t {
    NSURLCacheStorageAllowed = 0,
    NSURLCacheStorageAllowedInMemoryOnly = 1,
    NSURLCacheStorageNotAllowed = 2,
};

class NSCachedURLResponse final : public NSObject {
public:
    NSCachedURLResponse(std::shared_ptr<NSURLResponse> response, Bytes data, Value userInfo = {},
        NSURLCacheStoragePolicy storagePolicy = NSURLCacheStorageAllowed, double storedAt = 0);
    std::string className() const override { return "NSCachedURLResponse"; }

    const std::shared_ptr<NSURLResponse>& response() const { return response_; }
    const Bytes& data() const { return data_; }
    const Value& userInfo() const { return userInfo_; }
    NSURLCacheStoragePolicy storagePolicy() const { return storagePolicy_; }
    // When the response was received (seconds since 1970); 0 when unknown.
    double storedAt() const { return storedAt_; }

private:
    std::shared_ptr<NSURLResponse> response_;
    Bytes data_;
    Value userInfo_;
    NSURLCacheStoragePolicy storagePolicy_;
    double storedAt_;
};

class NSURLCache : public NSObject {
public:
    // The process-wide cache: 4 MB of memory, 20 MB of disk in Library/Caches/URLCache.
    static std::shared_ptr<NSURLCache> sharedURLCache();
    static void setSharedURLCache(std::shared_ptr<NSURLCache> cache);
    // An empty path keeps entries in memory only; a relative path lies under Library/Caches.
    NSURLCache(std::uint64_t memoryCapacity, std::uint64_t diskCapacity, std::string diskPath);
    // Waits until the entries it stored are on disk.
    ~NSURLCache() override;
    std::string className() const override { return "NSURLCache"; }

    virtual std::shared_ptr<NSCachedURLResponse> cachedResponseForRequest(const NSURLRequest& request);
    virtual void storeCachedResponse(const std::shared_ptr<NSCachedURLResponse>& cachedResponse, const NSURLRequest& request);
    virtual void removeCachedResponseForRequest(const NSURLRequest& request);
    virtual void removeAllCachedResponses();

    std::uint64_t memoryCapacity() const;
    std::uint64_t diskCapacity() const;
    void setMemoryCapacity(std::uint64_t capacity);
    void setDiskCapacity(std::uint64_t capacity);
    std::uint64_t currentMemoryUsage() const;
    std::uint64_t currentDiskUsage() const;
    const std::string& diskPath() const { return diskPath_; }

private:
    struct MemoryEntry {
        std::shared_ptr<NSCachedURLResponse> response;
        std::uint64_t cost = 0;
        std::string fileName; // the entry's file name on disk, once worked out
    };
    static std::optional<std::string> keyFor(const NSURLRequest& request);
    // The entry file's name in the disk directory: a digest of the key, worked out once while
    // the entry is in memory.
    std::string fileNameLocked(const std::string& key) const;
    void trimMemoryLocked();
    void trimDiskLocked();
    // Makes the disk directory and scans it: the sizes of its entries, by file name, and their
    // total. False when the directory cannot be made.
    bool scanDiskLocked();
    // Counts an entry file of `size` bytes, scanning first when the directory is not known yet.
    bool noteDiskEntryLocked(const std::string& name, std::uint64_t size);
    // An empty `fileName` keeps the name of the entry it replaces.
    void rememberLocked(const std::string& key, const std::shared_ptr<NSCachedURLResponse>& response,
        const std::string& fileName = std::string());
    // The path of the entry file `name` in the disk directory.
    std::string filePath(const std::string& name) const;

    mutable std::mutex mutex_;
    std::uint64_t memoryCapacity_;
    std::uint64_t diskCapacity_;
    std::string diskPath_;
    std::list<std::string> recency_; // most recent first
    std::map<std::string, std::pair<MemoryEntry, std::list<std::string>::iterator>> memory_;
    std::uint64_t memoryUsage_ = 0;
    // What this cache knows of its disk directory, so that a store needs no scan: sizes by file
    // name and their total. Entries written by other caches on the same directory show up at
    // the next scan, made whenever the known total passes the capacity.
    std::optional<std::uint64_t> diskUsage_;
    std::map<std::string, std::uint64_t> diskSizes_;
};

namespace network {

// The disk form of one entry: a small text head (URL, status, version, time, header fields)
// then the body. decode returns nullptr for anything malformed, truncated or oversized.
Bytes encodeCacheEntry(const std::string& url, const NSCachedURLResponse& entry);
// The size of encodeCacheEntry's result, worked out without encoding.
std::size_t encodedCacheEntrySize(const std::string& url, const NSCachedURLResponse& entry);
std::shared_ptr<NSCachedURLResponse> decodeCacheEntry(const Bytes& bytes);

} // namespace network
