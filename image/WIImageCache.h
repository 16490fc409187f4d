// WIImageCache: decoded images under string keys, in memory and in one file per key (named by
// the key's MD5) in a directory under the caches folder, plus read-only directories that are
// searched but never written. Disk work runs on one serial queue; results reach the main queue.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>
#include "image/AutoPurgeCache.h"
#include "image/WIImageTypes.h"
#include "platform/threading/Dispatch.h"
#include "platform/threading/NSOperation.h"

using WICacheQueryDone = std::function<void(UIImageRef image, WICacheSource cacheType)>;
using WICheckCacheCompletion = std::function<void(bool isInCache)>;
using WINoParamsBlock = std::function<void()>;
using WICalculateSize = std::function<void(std::uint64_t fileCount, std::uint64_t totalSize)>;

// The memory tier's cost limit unless changed: costs are pixel counts, so 16 megapixels.
inline constexpr std::uint64_t kDefaultMaxMemoryCost = 16u << 20;

class WIImageCache : public std::enable_shared_from_this<WIImageCache> {
public:
    static std::shared_ptr<WIImageCache> sharedImageCache();
    static std::shared_ptr<WIImageCache> create(); // namespace "default"
    static std::shared_ptr<WIImageCache> initWithNamespace(const std::string& ns);
    // The full namespace is appended to `directory` when given; else the caches folder is used.
    static std::shared_ptr<WIImageCache> initWithNamespace(const std::string& ns, const std::optional<std::string>& directory);
    ~WIImageCache();
    WIImageCache(const WIImageCache&) = delete;
    WIImageCache& operator=(const WIImageCache&) = delete;

    void addReadOnlyCachePath(const std::string& path);
    std::string makeDiskCachePath(const std::string& fullNamespace) const;
    std::string cachePathForKey(const std::string& key, const std::string& path) const;
    std::string defaultCachePathForKey(const std::string& key) const;
    static std::string cachedFileNameForKey(const std::string& key);

    // The data (moved in when it can be) is written as it is unless recalculated.
    void storeImage(const UIImageRef& image, bool recalculate, std::optional<Bytes> imageData, const std::string& key,
        bool toDisk);
    void storeImage(const UIImageRef& image, const std::string& key, bool toDisk = true);

    void removeImageForKey(const std::string& key, bool fromDisk = true, WINoParamsBlock completion = {});

    UIImageRef imageFromMemoryCacheForKey(const std::string& key);
    UIImageRef imageFromDiskCacheForKey(const std::string& key);
    std::optional<Bytes> diskImageDataBySearchingAllPathsForKey(const std::string& key);
    UIImageRef diskImageForKey(const std::string& key);
    UIImageRef scaledImageForKey(const std::string& key, const UIImageRef& image);
    // Memory hits and an empty key answer at once on the calling thread (nullptr returned);
    // otherwise the returned handle cancels the disk read, whose answer reaches the main queue.
    std::shared_ptr<NSOperation> queryDiskCacheForKey(const std::string& key, WICacheQueryDone done);

    bool diskImageExistsWithKey(const std::string& key);
    void diskImageExistsWithKey(const std::string& key, WICheckCacheCompletion completion);

    void clearMemory();
    void clearDisk(WINoParamsBlock completion = {});
    void cleanDisk(WINoParamsBlock completion = {});
    void backgroundCleanDisk();
    std::uint64_t getSize();
    std::uint64_t getDiskCount();
    void calculateSize(WICalculateSize completion);

    bool shouldDecompressImages() const { return shouldDecompressImages_; }
    void setShouldDecompressImages(bool value) { shouldDecompressImages_ = value; }
    bool shouldDisableiCloud() const { return shouldDisableiCloud_; }
    void setShouldDisableiCloud(bool value) { shouldDisableiCloud_ = value; }
    bool shouldCacheImagesInMemory() const { return shouldCacheImagesInMemory_; }
    void setShouldCacheImagesInMemory(bool value) { shouldCacheImagesInMemory_ = value; }
    std::int64_t maxCacheAge() const { return maxCacheAge_; }
    void setMaxCacheAge(std::int64_t seconds) { maxCacheAge_ = seconds; }
    std::uint64_t maxCacheSize() const { return maxCacheSize_; }
    void setMaxCacheSize(std::uint64_t bytes) { maxCacheSize_ = bytes; }
    // Pixels the memory tier holds at most (its total cost limit); 16 megapixels, 64 MiB of
    // 32-bit pixels, unless changed. 0 means no limit.
    std::uint64_t maxMemoryCost() const { return memCache()->totalCostLimit(); }
    void setMaxMemoryCost(std::uint64_t cost) { memCache()->setTotalCostLimit(cost); }
    std::uint64_t maxMemoryCountLimit() const { return memCache()->countLimit(); }
    void setMaxMemoryCountLimit(std::uint64_t count) { memCache()->setCountLimit(count); }
    // The tiers and the queue can be replaced at any time; work already queued keeps what it
    // started with. A null memory cache or queue is refused (the current one stays).
    std::shared_ptr<AutoPurgeCache> memCache() const { return readLocked(memCache_); }
    void setMemCache(std::shared_ptr<AutoPurgeCache> cache);
    std::string diskCachePath() const { return readLocked(diskCachePath_); }
    void setDiskCachePath(std::string path) { writeLocked(diskCachePath_, std::move(path)); }
    std::vector<std::string> customPaths() const;
    void setCustomPaths(std::vector<std::string> paths) { writeLocked(customPaths_, std::optional(std::move(paths))); }
    dispatch_queue_t ioQueue() const { return readLocked(ioQueue_); }
    void setIoQueue(dispatch_queue_t queue);

    // Pixel count of the image (all frames of an animated one): its memory cost.
    static std::uint64_t costForImage(const UIImageRef& image);

private:
    WIImageCache(const std::string& ns, const std::optional<std::string>& directory);
    void registerForApplicationEvents();
    void cleanDiskNow();
    void memoryStore(const UIImageRef& image, const std::string& key);

    bool shouldDecompressImages_ = true;
    bool shouldDisableiCloud_ = true;
    bool shouldCacheImagesInMemory_ = true;
    std::int64_t maxCacheAge_ = 604800;
    std::uint64_t maxCacheSize_ = 0;
    template <class T> T readLocked(const T& field) const
    {
        std::lock_guard lock(configMutex_);
        return field;
    }
    template <class T> void writeLocked(T& field, T value)
    {
        std::lock_guard lock(configMutex_);
        field = std::move(value);
    }

    // Guards the four below, which may be replaced while other threads use them.
    mutable std::mutex configMutex_;
    std::shared_ptr<AutoPurgeCache> memCache_;
    std::string diskCachePath_;
    std::optional<std::vector<std::string>> customPaths_;
    dispatch_queue_t ioQueue_;
};
