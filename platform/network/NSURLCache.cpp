// The URL cache: an LRU map in memory, one file per entry on disk.
#include "platform/network/NSURLCache.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "platform/network/CacheDiskWriter.h"
#include "platform/network/HTTPAuthentication.h"
#include "platform/persistence/AppHome.h"

namespace fs = std::filesystem;

namespace {

std::mutex sharedMutex;
std::shared_ptr<NSURLCache>& sharedSlot()
{
    static auto* slot = new std::shared_ptr<NSURLCache>;
    return *slot;
}

// Room for an entry's head beside its body.
constexpr std::uint64_t kMaxEntryHead = 1u << 20;

enum class Read { Missing, Oversized, Read };

// Reads the file into `bytes` unless it is missing or holds more than `maximum`.
Read readFile(const std::string& path, std::uint64_t maximum, std::optional<Bytes>& bytes)
{
    std::error_code error;
    auto size = fs::file_size(path, error);
    if (error)
        return Read::Missing;
    if (size > maximum)
        return Read::Oversized;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Read::Missing;
    bytes.emplace(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes->data()), static_cast<std::streamsize>(size));
    bytes->resize(static_cast<std::size_t>(in.gcount()));
    return Read::Read;
}

} // namespace

NSCachedURLResponse::NSCachedURLResponse(std::shared_ptr<NSURLResponse> response, Bytes data, Value userInfo,
    NSURLCacheStoragePolicy storagePolicy, double storedAt)
    : response_(std::move(response))
    , data_(std::move(data))
    , userInfo_(std::move(userInfo))
    , storagePolicy_(storagePolicy)
    , storedAt_(storedAt)
{
}

std::shared_ptr<NSURLCache> NSURLCache::sharedURLCache()
{
    std::lock_guard lock(sharedMutex);
    auto& slot = sharedSlot();
    if (!slot)
        slot = std::make_shared<NSURLCache>(4u << 20, 20u << 20, "URLCache");
    return slot;
}

void NSURLCache::setSharedURLCache(std::shared_ptr<NSURLCache> cache)
{
    std::lock_guard lock(sharedMutex);
    sharedSlot() = std::move(cache);
}

NSURLCache::NSURLCache(std::uint64_t memoryCapacity, std::uint64_t diskCapacity, std::string diskPath)
    : memoryCapacity_(memoryCapacity)
    , diskCapacity_(diskCapacity)
{
    if (diskPath.empty() || diskCapacity == 0)
        return;
    if (diskPath.front() != '/') {
        auto caches = NSSearchPathForDirectoriesInDomains(NSCachesDirectory, NSUserDomainMask, true);
        if (caches.empty())
            return;
        diskPath = persistence::appendPathComponent(caches.front(), diskPath);
    }
    diskPath_ = diskPath;
}

NSURLCache::~NSURLCache()
{
    if (!diskPath_.empty())
        network::cachedisk::flush();
}

std::optional<std::string> NSURLCache::keyFor(const NSURLRequest& request)
{
    if (!request.URL())
        return std::nullopt;
    return request.URL()->absoluteString();
}

std::string NSURLCache::fileNameLocked(const std::string& key) const
{
    if (auto it = memory_.find(key); it != memory_.end() && !it->second.first.fileName.empty())
        return it->second.first.fileName;
    return network::md5Hex(key) + ".entry";
}

std::shared_ptr<NSCachedURLResponse> NSURLCache::cachedResponseForRequest(const NSURLRequest& request)
{
    auto key = keyFor(request);
    if (!key)
        return nullptr;
    std::lock_guard lock(mutex_);
    if (auto it = memory_.find(*key); it != memory_.end()) {
        recency_.splice(recency_.begin(), recency_, it->second.second);
        return it->second.first.response;
    }
    if (diskPath_.empty())
        return nullptr;
    std::string name = fileNameLocked(*key);
    std::string file = filePath(name);
    auto bytes = network::cachedisk::pending(file);
    bool written = !bytes;
    // No larger entry is ever stored: a larger file is damaged and never read whole.
    if (written && readFile(file, diskCapacity_ / 20 + kMaxEntryHead, bytes) == Read::Missing)
        return nullptr;
    auto entry = bytes ? network::decodeCacheEntry(*bytes) : nullptr;
    if (!entry) {
        network::cachedisk::remove(file); // damaged: drop it
        return nullptr;
    }
    std::error_code ignored;
    if (written)
        fs::last_write_time(file, fs::file_time_type::clock::now(), ignored); // recency on disk
    rememberLocked(*key, entry, name);
    return entry;
}

void NSURLCache::rememberLocked(
    const std::string& key, const std::shared_ptr<NSCachedURLResponse>& response, const std::string& fileName)
{
    std::uint64_t cost = response->data().size() + 512;
    // The entry it replaces goes even when the new one is too large to keep in memory: it would
    // be served instead of the newer response.
    if (auto it = memory_.find(key); it != memory_.end()) {
        MemoryEntry& kept = it->second.first;
        memoryUsage_ -= kept.cost;
        if (cost > memoryCapacity_) {
            recency_.erase(it->second.second);
            memory_.erase(it);
            return;
        }
        // Replaced in place: the key's map and recency nodes are kept, moved to the front, and
        // the name is copied into the old one's storage (most often the same name).
        kept.response = response;
        kept.cost = cost;
        if (!fileName.empty())
            kept.fileName = fileName;
        recency_.splice(recency_.begin(), recency_, it->second.second);
        memoryUsage_ += cost;
        trimMemoryLocked();
        return;
    }
    if (cost > memoryCapacity_)
        return;
    recency_.push_front(key);
    memory_[key] = { MemoryEntry { response, cost, fileName }, recency_.begin() };
    memoryUsage_ += cost;
    trimMemoryLocked();
}

std::string NSURLCache::filePath(const std::string& name) const
{
    std::string path;
    path.reserve(diskPath_.size() + 1 + name.size());
    path.append(diskPath_).append(1, '/').append(name);
    return path;
}

void NSURLCache::storeCachedResponse(const std::shared_ptr<NSCachedURLResponse>& cachedResponse, const NSURLRequest& request)
{
    auto key = keyFor(request);
    if (!key || !cachedResponse || cachedResponse->storagePolicy() == NSURLCacheStorageNotAllowed)
        return;
    std::lock_guard lock(mutex_);
    bool toDisk = !diskPath_.empty() && cachedResponse->storagePolicy() == NSURLCacheStorageAllowed
        // entries above a twentieth of the disk budget stay out, as the platform does
        && cachedResponse->data().size() <= diskCapacity_ / 20;
    std::string name = toDisk ? fileNameLocked(*key) : std::string();
    rememberLocked(*key, cachedResponse, name);
    if (!toDisk)
        return;
    if (!noteDiskEntryLocked(name, network::encodedCacheEntrySize(*key, *cachedResponse)))
        return;
    // Put in its disk form by the disk writer; until then a read encodes it from the queue.
    network::cachedisk::write(filePath(name), std::move(*key), cachedResponse);
    if (*diskUsage_ > diskCapacity_)
        trimDiskLocked();
}

bool NSURLCache::noteDiskEntryLocked(const std::string& name, std::uint64_t size)
{
    if (!diskUsage_ && !scanDiskLocked())
        return false;
    auto [it, added] = diskSizes_.try_emplace(name, 0);
    *diskUsage_ -= std::min(*diskUsage_, it->second);
    it->second = size;
    *diskUsage_ += size;
    return true;
}

bool NSURLCache::scanDiskLocked()
{
    diskSizes_.clear();
    std::uint64_t total = 0;
    std::error_code error;
    // The directory is made here rather than at every store: a scan comes before the first
    // store and again after every trim and removal of all entries.
    fs::create_directories(diskPath_, error);
    if (error)
        return false;
    for (const auto& item : fs::directory_iterator(diskPath_, error)) {
        if (item.path().extension() != ".entry")
            continue;
        std::error_code e;
        std::uint64_t size = item.file_size(e);
        if (e)
            continue;
        diskSizes_[item.path().filename().string()] = size;
        total += size;
    }
    diskUsage_ = total;
    return true;
}

void NSURLCache::removeCachedResponseForRequest(const NSURLRequest& request)
{
    auto key = keyFor(request);
    if (!key)
        return;
    std::lock_guard lock(mutex_);
    std::string name = diskPath_.empty() ? std::string() : fileNameLocked(*key);
    if (auto it = memory_.find(*key); it != memory_.end()) {
        memoryUsage_ -= it->second.first.cost;
        recency_.erase(it->second.second);
        memory_.erase(it);
    }
    if (name.empty())
        return;
    network::cachedisk::remove(filePath(name));
    if (!diskUsage_)
        return;
    if (auto known = diskSizes_.find(name); known != diskSizes_.end()) {
        *diskUsage_ -= std::min(*diskUsage_, known->second);
        diskSizes_.erase(known);
    }
}

void NSURLCache::removeAllCachedResponses()
{
    std::lock_guard lock(mutex_);
    memory_.clear();
    recency_.clear();
    memoryUsage_ = 0;
    if (diskPath_.empty())
        return;
    diskUsage_.reset();
    diskSizes_.clear();
    network::cachedisk::flush();
    std::error_code ignored;
    for (const auto& item : fs::directory_iterator(diskPath_, ignored))
        if (item.path().extension() == ".entry")
            fs::remove(item.path(), ignored);
}

void NSURLCache::trimMemoryLocked()
{
    while (memoryUsage_ > memoryCapacity_ && !recency_.empty()) {
        auto it = memory_.find(recency_.back());
        memoryUsage_ -= it->second.first.cost;
        memory_.erase(it);
        recency_.pop_back();
    }
}

void NSURLCache::trimDiskLocked()
{
    diskUsage_.reset(); // what is known is rescanned at the next store
    network::cachedisk::flush();
    std::error_code error;
    struct File {
        fs::path path;
        std::uint64_t size;
        fs::file_time_type time;
    };
    std::vector<File> files;
    std::uint64_t total = 0;
    for (const auto& item : fs::directory_iterator(diskPath_, error)) {
        if (item.path().extension() != ".entry")
            continue;
        std::error_code e;
        File file { item.path(), item.file_size(e), item.last_write_time(e) };
        total += file.size;
        files.push_back(std::move(file));
    }
    if (total <= diskCapacity_)
        return;
    std::sort(files.begin(), files.end(), [](const File& a, const File& b) { return a.time < b.time; });
    for (const auto& file : files) {
        if (total <= diskCapacity_)
            break;
        fs::remove(file.path, error);
        total -= file.size;
    }
}

std::uint64_t NSURLCache::memoryCapacity() const
{
    std::lock_guard lock(mutex_);
    return memoryCapacity_;
}

std::uint64_t NSURLCache::diskCapacity() const
{
    std::lock_guard lock(mutex_);
    return diskCapacity_;
}

void NSURLCache::setMemoryCapacity(std::uint64_t capacity)
{
    std::lock_guard lock(mutex_);
    memoryCapacity_ = capacity;
    trimMemoryLocked();
}

void NSURLCache::setDiskCapacity(std::uint64_t capacity)
{
    std::lock_guard lock(mutex_);
    diskCapacity_ = capacity;
    if (!diskPath_.empty())
        trimDiskLocked();
}

std::uint64_t NSURLCache::currentMemoryUsage() const
{
    std::lock_guard lock(mutex_);
    return memoryUsage_;
}

std::uint64_t NSURLCache::currentDiskUsage() const
{
    std::lock_guard lock(mutex_);
    std::uint64_t total = 0;
    std::error_code error;
    if (diskPath_.empty())
        return 0;
    network::cachedisk::flush();
    for (const auto& item : fs::directory_iterator(diskPath_, error)) {
        std::error_code e;
        if (item.path().extension() == ".entry")
            total += item.file_size(e);
    }
    return total;
}
