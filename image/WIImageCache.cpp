// The image cache: memory tier, disk files named by MD5, read-only directories, clean passes.
#include "image/WIImageCache.h"
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include "image/WIImageDecoding.h"
#include "platform/foundation/Clock.h"
#include "platform/persistence/AppHome.h"
#include "platform/persistence/FileIO.h"
#include "platform/persistence/NSFileManager.h"
#include "platform/security/CommonDigest.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/uikit/UIApplication.h"

namespace fs = std::filesystem;

namespace {
const std::string kNamespacePrefix = "com.vorlasken.WIImageCache.";
const unsigned char kPNGSignature[8] = { 0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A };

bool dataHasPNGSignature(const Bytes& data)
{
    return data.size() >= 8 && std::equal(data.begin(), data.begin() + 8, kPNGSignature);
}

bool bitmapHasAlpha(const UIImageRef& image)
{
    CGImageRef bitmap = image->CGImage();
    if (!bitmap) {
        return false;
    }
    CGImageAlphaInfo alpha = bitmap->alphaInfo();
    return !(alpha == kCGImageAlphaNone || alpha == kCGImageAlphaNoneSkipLast || alpha == kCGImageAlphaNoneSkipFirst);
}

// PNG when the given data is PNG, or (without telling data) when the bitmap has alpha; else JPEG.
Bytes encodedData(const UIImageRef& image, const std::optional<Bytes>& given)
{
    bool png = given && given->size() >= 8 ? dataHasPNGSignature(*given) : bitmapHasAlpha(image);
    return png ? UIImagePNGRepresentation(image) : UIImageJPEGRepresentation(image, 1.0);
}

struct FileFacts {
    fs::path path;
    double modified = 0;
    std::uint64_t allocated = 0;
};

std::optional<FileFacts> factsOf(const fs::path& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    double modified = double(info.st_mtim.tv_sec) + double(info.st_mtim.tv_nsec) / 1e9;
    return FileFacts { path, modified, std::uint64_t(info.st_blocks) * 512u };
}

// Every entry under the directory, depth first, as full paths with the given resource keys
// (with NSDirectoryEnumerationSkipsHiddenFiles, neither hidden ones nor what hidden folders hold).
template <class Visit>
void forEachEntry(const std::string& directory, std::vector<std::string> keys, std::uint64_t options, Visit visit)
{
    auto walk = NSFileManager::defaultManager()->enumeratorAtPath(directory, std::move(keys), options);
    while (auto path = walk->nextObject()) {
        visit(*path, *walk);
    }
}
} // namespace

std::shared_ptr<WIImageCache> WIImageCache::sharedImageCache()
{
    static std::shared_ptr<WIImageCache> shared = create();
    return shared;
}

std::shared_ptr<WIImageCache> WIImageCache::create() { return initWithNamespace("default"); }

std::shared_ptr<WIImageCache> WIImageCache::initWithNamespace(const std::string& ns)
{
    auto home = NSSearchPathForDirectoriesInDomains(NSCachesDirectory, NSUserDomainMask, true);
    std::string base = home.empty() ? std::string() : home.front();
    return initWithNamespace(ns, persistence::appendPathComponent(base, ns));
}

std::shared_ptr<WIImageCache> WIImageCache::initWithNamespace(
    const std::string& ns, const std::optional<std::string>& directory)
{
    std::shared_ptr<WIImageCache> cache(new WIImageCache(ns, directory));
    cache->registerForApplicationEvents();
    // Writes killed part-way (the process ended) leave temporaries nothing else would remove.
    std::string path = cache->diskCachePath();
    dispatch_async(cache->ioQueue(), [path] { persistence::removeStaleTemporaryFiles(path); });
    return cache;
}

WIImageCache::WIImageCache(const std::string& ns, const std::optional<std::string>& directory)
{
    std::string fullNamespace = kNamespacePrefix + ns;
    ioQueue_ = dispatch_queue_create("com.vorlasken.WIImageCache", DISPATCH_QUEUE_SERIAL);
    memCache_ = AutoPurgeCache::create();
    memCache_->setName(fullNamespace);
    memCache_->setTotalCostLimit(kDefaultMaxMemoryCost);
    diskCachePath_ = directory ? persistence::appendPathComponent(*directory, fullNamespace) : makeDiskCachePath(ns);
}

WIImageCache::~WIImageCache() { NSNotificationCenter::defaultCenter()->removeObserver(this); }

void WIImageCache::registerForApplicationEvents()
{
    std::weak_ptr<WIImageCache> weak = weak_from_this();
    auto center = NSNotificationCenter::defaultCenter();
    auto on = [&](const std::string& name, void (WIImageCache::*action)()) {
        center->addObserver(this, weak,
            [weak, action](const std::shared_ptr<NSNotification>&) {
                if (auto strong = weak.lock()) {
                    ((*strong).*action)();
                }
            },
            name);
    };
    on(UIApplicationDidReceiveMemoryWarningNotification, &WIImageCache::clearMemory);
    on(UIApplicationWillTerminateNotification, &WIImageCache::cleanDiskNow);
    on(UIApplicationDidEnterBackgroundNotification, &WIImageCache::backgroundCleanDisk);
}

void WIImageCache::cleanDiskNow() { cleanDisk(); }

void WIImageCache::setMemCache(std::shared_ptr<AutoPurgeCache> cache)
{
    if (cache) {
        writeLocked(memCache_, std::move(cache));
    }
}

void WIImageCache::setIoQueue(dispatch_queue_t queue)
{
    if (queue) {
        writeLocked(ioQueue_, std::move(queue));
    }
}

void WIImageCache::addReadOnlyCachePath(const std::string& path)
{
    std::lock_guard lock(configMutex_);
    if (!customPaths_) {
        customPaths_.emplace();
    }
    if (std::find(customPaths_->begin(), customPaths_->end(), path) == customPaths_->end()) {
        customPaths_->push_back(path);
    }
}

std::vector<std::string> WIImageCache::customPaths() const
{
    std::lock_guard lock(configMutex_);
    return customPaths_.value_or(std::vector<std::string> {});
}

std::string WIImageCache::makeDiskCachePath(const std::string& fullNamespace) const
{
    auto home = NSSearchPathForDirectoriesInDomains(NSCachesDirectory, NSUserDomainMask, true);
    std::string base = home.empty() ? std::string() : home.front();
    return persistence::appendPathComponent(base, fullNamespace);
}

std::string WIImageCache::cachedFileNameForKey(const std::string& key)
{
    unsigned char digest[16];
    CC_MD5(key.data(), CC_LONG(key.size()), digest);
    char text[33];
    for (int i = 0; i < 16; ++i) {
        std::snprintf(text + 2 * i, 3, "%02x", digest[i]);
    }
    return std::string(text, 32);
}

std::string WIImageCache::cachePathForKey(const std::string& key, const std::string& path) const
{
    return persistence::appendPathComponent(path, cachedFileNameForKey(key));
}

std::string WIImageCache::defaultCachePathForKey(const std::string& key) const
{
    return cachePathForKey(key, diskCachePath());
}

std::uint64_t WIImageCache::costForImage(const UIImageRef& image)
{
    if (!image) {
        return 0;
    }
    auto still = [](const UIImageRef& one) {
        CGSize size = one->size();
        double cost = size.width * size.height * one->scale() * one->scale();
        return cost > 0 ? std::uint64_t(cost) : 0;
    };
    if (image->images().empty()) {
        return still(image);
    }
    std::uint64_t total = 0;
    for (const auto& frame : image->images()) {
        total += still(frame);
    }
    return total;
}

void WIImageCache::memoryStore(const UIImageRef& image, const std::string& key)
{
    if (shouldCacheImagesInMemory_) {
        memCache()->setObject(image, key, costForImage(image));
    }
}

void WIImageCache::storeImage(const UIImageRef& image, const std::string& key, bool toDisk)
{
    storeImage(image, true, std::nullopt, key, toDisk);
}

void WIImageCache::storeImage(
    const UIImageRef& image, bool recalculate, std::optional<Bytes> imageData, const std::string& key, bool toDisk)
{
    if (!image || key.empty()) {
        return;
    }
    memoryStore(image, key);
    if (!toDisk) {
        return;
    }
    auto self = shared_from_this();
    std::string directory = diskCachePath();
    std::string path = cachePathForKey(key, directory);
    dispatch_async(ioQueue(), [self, image, recalculate, data = std::move(imageData), directory, path]() mutable {
        if (recalculate || !data) {
            data = encodedData(image, data);
        }
        if (!data || data->empty()) {
            return;
        }
        auto files = NSFileManager::defaultManager();
        if (!files->fileExistsAtPath(directory)) {
            files->createDirectoryAtPath(directory, true);
        }
        if (!persistence::writeToFileWithoutFlushing(*data, path)) {
            return;
        }
        if (self->shouldDisableiCloud_) {
            files->setExcludedFromBackup(path, true);
        }
    });
}

void WIImageCache::removeImageForKey(const std::string& key, bool fromDisk, WINoParamsBlock completion)
{
    if (key.empty()) {
        return;
    }
    if (shouldCacheImagesInMemory_) {
        memCache()->removeObjectForKey(key);
    }
    if (!fromDisk) {
        if (completion) {
            completion();
        }
        return;
    }
    std::string path = defaultCachePathForKey(key);
    dispatch_async(ioQueue(), [path, completion] {
        NSFileManager::defaultManager()->removeItemAtPath(path);
        if (completion) {
            dispatch_async(dispatch_get_main_queue(), completion);
        }
    });
}

UIImageRef WIImageCache::imageFromMemoryCacheForKey(const std::string& key) { return memCache()->objectForKey(key); }

UIImageRef WIImageCache::imageFromDiskCacheForKey(const std::string& key)
{
    if (UIImageRef image = imageFromMemoryCacheForKey(key)) {
        return image;
    }
    UIImageRef image = diskImageForKey(key);
    if (image) {
        memoryStore(image, key);
    }
    return image;
}

std::optional<Bytes> WIImageCache::diskImageDataBySearchingAllPathsForKey(const std::string& key)
{
    auto files = NSFileManager::defaultManager();
    if (auto data = files->contentsAtPath(defaultCachePathForKey(key))) {
        return data;
    }
    for (const auto& path : customPaths()) {
        if (auto data = files->contentsAtPath(cachePathForKey(key, path))) {
            return data;
        }
    }
    return std::nullopt;
}

UIImageRef WIImageCache::diskImageForKey(const std::string& key)
{
    auto data = diskImageDataBySearchingAllPathsForKey(key);
    if (!data) {
        return nullptr;
    }
    UIImageRef image = scaledImageForKey(key, wi_imageWithData(*data));
    if (image && shouldDecompressImages_) {
        image = decodedImageWithImage(image);
    }
    return image;
}

UIImageRef WIImageCache::scaledImageForKey(const std::string& key, const UIImageRef& image)
{
    return ScaledImageForCacheKey(key, image);
}

std::shared_ptr<NSOperation> WIImageCache::queryDiskCacheForKey(const std::string& key, WICacheQueryDone done)
{
    if (!done) {
        return nullptr;
    }
    if (key.empty()) {
        done(nullptr, WICacheSourceNone);
        return nullptr;
    }
    if (UIImageRef image = imageFromMemoryCacheForKey(key)) {
        done(image, WICacheSourceMemory);
        return nullptr;
    }
    auto operation = std::make_shared<NSOperation>();
    auto self = shared_from_this();
    dispatch_async(ioQueue(), [self, operation, key, done] {
        if (operation->isCancelled()) {
            return;
        }
        UIImageRef image = self->diskImageForKey(key);
        if (image) {
            self->memoryStore(image, key);
        }
        dispatch_async(dispatch_get_main_queue(), [operation, done, image] {
            // A cancel that arrives while the answer travels also holds.
            if (!operation->isCancelled()) {
                done(image, WICacheSourceDisk);
            }
        });
    });
    return operation;
}

bool WIImageCache::diskImageExistsWithKey(const std::string& key)
{
    return NSFileManager::defaultManager()->fileExistsAtPath(defaultCachePathForKey(key));
}

void WIImageCache::diskImageExistsWithKey(const std::string& key, WICheckCacheCompletion completion)
{
    std::string path = defaultCachePathForKey(key);
    dispatch_async(ioQueue(), [path, completion] {
        bool exists = NSFileManager::defaultManager()->fileExistsAtPath(path);
        if (completion) {
            dispatch_async(dispatch_get_main_queue(), [completion, exists] { completion(exists); });
        }
    });
}

void WIImageCache::clearMemory() { memCache()->removeAllObjects(); }

void WIImageCache::clearDisk(WINoParamsBlock completion)
{
    std::string path = diskCachePath();
    dispatch_async(ioQueue(), [path, completion] {
        auto files = NSFileManager::defaultManager();
        files->removeItemAtPath(path);
        files->createDirectoryAtPath(path, true);
        if (completion) {
            dispatch_async(dispatch_get_main_queue(), completion);
        }
    });
}

void WIImageCache::cleanDisk(WINoParamsBlock completion)
{
    auto self = shared_from_this();
    std::string directory = diskCachePath();
    dispatch_async(ioQueue(), [self, directory, completion] {
        double now = foundation::clock::now();
        persistence::removeStaleTemporaryFiles(directory);
        double expiration = now - double(self->maxCacheAge_);
        std::vector<FileFacts> kept;
        std::uint64_t size = 0;
        // Hidden files are not the cache's: they neither expire nor count toward its bound.
        forEachEntry(directory, {}, NSDirectoryEnumerationSkipsHiddenFiles, [&](const std::string& path, NSDirectoryEnumerator&) {
            auto facts = factsOf(path);
            if (!facts) {
                return;
            }
            if (facts->modified <= expiration) {
                std::error_code error;
                fs::remove(facts->path, error);
                return;
            }
            size += facts->allocated;
            kept.push_back(*facts);
        });
        std::uint64_t limit = self->maxCacheSize_;
        if (limit > 0 && size > limit) {
            std::uint64_t target = limit / 2;
            std::stable_sort(kept.begin(), kept.end(),
                [](const FileFacts& a, const FileFacts& b) { return a.modified < b.modified; });
            for (const auto& file : kept) {
                std::error_code removeError;
                if (fs::remove(file.path, removeError)) {
                    size -= file.allocated;
                }
                if (size < target) {
                    break;
                }
            }
        }
        if (completion) {
            dispatch_async(dispatch_get_main_queue(), completion);
        }
    });
}

void WIImageCache::backgroundCleanDisk()
{
    auto application = UIApplication::sharedApplication();
    if (!application) {
        return;
    }
    auto task = std::make_shared<UIBackgroundTaskIdentifier>(UIBackgroundTaskInvalid);
    std::weak_ptr<UIApplication> weakApp = application;
    auto end = [weakApp, task] {
        if (auto app = weakApp.lock(); app && *task != UIBackgroundTaskInvalid) {
            app->endBackgroundTask(*task);
        }
        *task = UIBackgroundTaskInvalid;
    };
    *task = application->beginBackgroundTaskWithExpirationHandler(end);
    cleanDisk(end);
}

std::uint64_t WIImageCache::getSize()
{
    std::uint64_t size = 0;
    std::string path = diskCachePath();
    dispatch_sync(ioQueue(), [&] {
        // Every entry, hidden ones and folders too, as its attributes give its size.
        forEachEntry(path, {}, 0, [&](const std::string&, NSDirectoryEnumerator& walk) {
            size += walk.fileAttributes()[NSFileSize].unsignedValue();
        });
    });
    return size;
}

std::uint64_t WIImageCache::getDiskCount()
{
    std::uint64_t count = 0;
    std::string path = diskCachePath();
    dispatch_sync(ioQueue(), [&] {
        std::error_code error;
        fs::recursive_directory_iterator walk(path, error);
        for (auto end = fs::recursive_directory_iterator(); !error && walk != end; walk.increment(error)) {
            ++count;
        }
    });
    return count;
}

void WIImageCache::calculateSize(WICalculateSize completion)
{
    std::string path = diskCachePath();
    dispatch_async(ioQueue(), [path, completion] {
        std::uint64_t count = 0;
        std::uint64_t size = 0;
        forEachEntry(path, { NSURLFileSizeKey }, NSDirectoryEnumerationSkipsHiddenFiles, [&](const std::string&, NSDirectoryEnumerator& walk) {
            ++count;
            size += walk.resourceValues()[NSURLFileSizeKey].unsignedValue();
        });
        if (completion) {
            dispatch_async(dispatch_get_main_queue(), [completion, count, size] { completion(count, size); });
        }
    });
}
