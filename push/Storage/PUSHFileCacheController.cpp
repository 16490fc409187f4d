// The push client's file caches: reading at start (with conversion of older files), write-through
// on every change, and the two shared instances.
#include "push/Storage/PUSHFileCacheController.h"

#include <array>
#include <filesystem>

#include "platform/foundation/Format.h"
#include "platform/persistence/AppHome.h"
#include "platform/persistence/FileIO.h"
#include "platform/persistence/NSUserDefaults.h"
#include "platform/threading/NSNotificationCenter.h"
#include "push/Storage/PUSHCacheFileCodec.h"
#include "push/Utilities/PUSHLog.h"

namespace {

std::mutex sharedLock;
std::array<std::shared_ptr<PUSHFileCacheController>, 2> sharedInstances;

std::string firstSearchPath(NSSearchPathDirectory directory)
{
    auto paths = NSSearchPathForDirectoriesInDomains(directory, NSUserDomainMask, true);
    return paths.empty() ? std::string() : paths.front();
}

std::optional<Bytes> readSmallFile(const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > push::storage::kMaxCacheFileBytes)
        return std::nullopt;
    return persistence::dataWithContentsOfFile(path);
}

bool isMemoryOnly(const Value& object)
{
    auto* typed = dynamic_cast<const PUSHCacheTypeProtocol*>(object.asObject().get());
    return typed && typed->cacheType() == 1;
}

constexpr std::array<const char*, 6> kApplicationStateNotifications = {
    "UIApplicationWillTerminateNotification",
    "UIApplicationWillResignActiveNotification",
    "UIApplicationDidBecomeActiveNotification",
    "UIApplicationDidEnterBackgroundNotification",
    "UIApplicationWillEnterForegroundNotification",
    "UIApplicationDidReceiveMemoryWarningNotification",
};

void markConverted(const char* versionKey)
{
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setInteger(1, versionKey);
    defaults->synchronize();
}

} // namespace

std::shared_ptr<PUSHFileCacheController> PUSHFileCacheController::startShareInstance(
    const std::string& name, std::uint64_t type, bool security)
{
    if (type > PUSHFileCacheTypeDocument)
        return nullptr;
    std::lock_guard guard(sharedLock);
    auto& shared = sharedInstances[type];
    if (!shared)
        shared = type == PUSHFileCacheTypeCache ? startCacheFile(name, security) : startDocumentFile(name, security);
    return shared;
}

std::shared_ptr<PUSHFileCacheController> PUSHFileCacheController::shareInstanceWithType(std::uint64_t type)
{
    if (type > PUSHFileCacheTypeDocument)
        return nullptr;
    std::shared_ptr<PUSHFileCacheController> shared;
    {
        std::lock_guard guard(sharedLock);
        shared = sharedInstances[type];
    }
    if (!shared) {
        if (type == PUSHFileCacheTypeCache)
            PUSHLogError("初始化FileCache前使用FileCache");
        else
            PUSHLogError("初始化DocumentFileCache前使用FileCache");
    }
    return shared;
}

void PUSHFileCacheController::resetSharedInstancesForTesting()
{
    std::lock_guard guard(sharedLock);
    sharedInstances = {};
}

std::shared_ptr<PUSHFileCacheController> PUSHFileCacheController::startCacheFile(const std::string& name, bool security)
{
    auto cache = std::make_shared<PUSHFileCacheController>();
    cache->initCacheWithType(PUSHFileCacheTypeCache);
    cache->cacheName_ = name;
    cache->isAESEnable_ = security;
    cache->readFileName(name);
    return cache;
}

std::shared_ptr<PUSHFileCacheController> PUSHFileCacheController::startDocumentFile(const std::string& name, bool security)
{
    auto cache = std::make_shared<PUSHFileCacheController>();
    cache->initCacheWithType(PUSHFileCacheTypeDocument);
    cache->cacheName_ = name;
    cache->isAESEnable_ = security;
    cache->readFileName(name);
    return cache;
}

void PUSHFileCacheController::initCacheWithType(std::uint64_t type)
{
    cacheType_ = type;
    cacheUser_ = type == PUSHFileCacheTypeCache ? "Push" : "PushDocument";
    cachePath_ = type == PUSHFileCacheTypeCache ? libCachePath() : libDocumentPath();
    cacheObject_ = Value::dictionary();
    memoryCacheObject_ = Value::dictionary();
    setAutoSynchronizeEnable(true);
}

PUSHFileCacheController::~PUSHFileCacheController() { NSNotificationCenter::defaultCenter()->removeObserver(this); }

void PUSHFileCacheController::setAutoSynchronizeEnable(bool enable)
{
    auto center = NSNotificationCenter::defaultCenter();
    center->removeObserver(this);
    autoSynchronizeEnabled_ = enable;
    if (!enable)
        return;
    for (const char* name : kApplicationStateNotifications)
        center->addObserver(sharedAs<PUSHFileCacheController>(), &PUSHFileCacheController::handleApplicationStateNotification, name);
}

std::string PUSHFileCacheController::libCachePath() { return firstSearchPath(NSCachesDirectory); }
std::string PUSHFileCacheController::libDocumentPath() { return firstSearchPath(NSDocumentDirectory); }

std::string PUSHFileCacheController::fileNameForKey(const std::string& name) const
{
    const std::string folder = cacheUser_.empty() ? cachePath_ : cachePath_ + "/" + cacheUser_;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return folder + "/" + name;
}

Value PUSHFileCacheController::objectForKey(const std::string& key) const
{
    std::lock_guard guard(lock_);
    const Value& persisted = cacheObject_[key];
    return persisted.isAbsent() ? memoryCacheObject_[key] : persisted;
}

bool PUSHFileCacheController::hasObjectForKey(const std::string& key) const
{
    std::lock_guard guard(lock_);
    return cacheObject_.contains(key) || memoryCacheObject_.contains(key);
}

void PUSHFileCacheController::storeLocked(const Value& object, const std::string& key)
{
    if (object.isAbsent()) {
        cacheObject_.remove(key);
        memoryCacheObject_.remove(key);
    } else if (isMemoryOnly(object)) {
        memoryCacheObject_.set(key, object);
    } else {
        cacheObject_.set(key, object);
    }
}

void PUSHFileCacheController::setObject(const Value& object, const std::string& key)
{
    std::lock_guard guard(lock_);
    storeLocked(object, key);
    writeLocked();
}

bool PUSHFileCacheController::setObjects(const std::vector<std::pair<std::string, Value>>& entries)
{
    std::lock_guard guard(lock_);
    for (const auto& [key, object] : entries)
        storeLocked(object, key);
    return writeLocked();
}

void PUSHFileCacheController::removeAllObjects()
{
    std::lock_guard guard(lock_);
    cacheObject_ = Value::dictionary();
    memoryCacheObject_ = Value::dictionary();
    writeLocked();
}

std::size_t PUSHFileCacheController::cacheCount() const
{
    std::lock_guard guard(lock_);
    return cacheObject_.count();
}

Value PUSHFileCacheController::cacheObject() const
{
    std::lock_guard guard(lock_);
    return cacheObject_;
}

bool PUSHFileCacheController::synchronize()
{
    std::lock_guard guard(lock_);
    return writeLocked();
}

bool PUSHFileCacheController::writeLocked() { return writeToFile(cacheObject_); }

bool PUSHFileCacheController::writeToFile(const Value& entries)
{
    if (!entries.isDictionary())
        return false;
    auto bytes = push::storage::encodeCacheFile(entries, isAESEnable_);
    if (!bytes)
        return false;
    return persistence::writeToFile(*bytes, fileNameForKey(cacheName_), true);
}

void PUSHFileCacheController::readFileName(const std::string& name)
{
    std::lock_guard guard(lock_);
    if (readOldVersionCacheFile(name))
        return;
    auto bytes = readSmallFile(fileNameForKey(name));
    if (!bytes)
        return;
    Value entries = push::storage::decodeCacheFile(*bytes, isAESEnable_);
    if (entries.isDictionary())
        cacheObject_ = std::move(entries);
}

bool PUSHFileCacheController::readOldVersionCacheFile(const std::string& name)
{
    auto defaults = NSUserDefaults::standardUserDefaults();
    const char* versionKey = cacheType_ == PUSHFileCacheTypeCache ? kPUSHCacheVersionKey : kPUSHDocumentVersionKey;
    if (cacheType_ == PUSHFileCacheTypeCache && !defaults->boolForKey(kPUSHServerIsNotFirstStartKey) && oldFileTransfer()) {
        markConverted(versionKey);
        return true;
    }
    if (defaults->integerForKey(versionKey) != 0)
        return false;
    // The key is recorded at once, so a file in the current layout is never taken for an old one
    // twice; a file that is not in the JSON layout is left alone and read as it is.
    const bool converted = jsonFileTransfer(name);
    markConverted(versionKey);
    return converted;
}

bool PUSHFileCacheController::oldFileTransfer()
{
    const std::string oldPath = fileNameForKey("PUSH");
    std::error_code error;
    if (!std::filesystem::exists(oldPath, error))
        return false;
    auto bytes = readSmallFile(oldPath);
    Value entries = bytes ? push::storage::decodeCacheFile(*bytes, false) : Value();
    if (entries.count() == 0) {
        std::filesystem::remove(oldPath, error);
        return false;
    }
    cacheObject_ = std::move(entries);
    // The old file goes only once its entries are safely in the new one.
    if (writeLocked())
        std::filesystem::remove(oldPath, error);
    return true;
}

bool PUSHFileCacheController::jsonFileTransfer(const std::string& name)
{
    auto bytes = readSmallFile(fileNameForKey(name));
    if (!bytes)
        return false;
    Value entries = push::storage::decodeLegacyJSONFile(*bytes, isAESEnable_);
    if (!entries.isDictionary())
        return false;
    cacheObject_ = std::move(entries);
    writeLocked(); // replaces the JSON file with the current layout
    return true;
}

std::string PUSHFileCacheController::description() const
{
    return NSString::stringWithFormat("cache Content:%@", cacheObject());
}

void PUSHFileCacheController::encodeWithCoder(NSCoder& coder) const
{
    std::lock_guard guard(lock_);
    coder.encodeObject(Value(cachePath_), "cachePath");
    coder.encodeObject(Value(cacheUser_), "cacheUser");
    coder.encodeObject(cacheObject_, "cacheObject");
    coder.encodeObject(Value(cacheName_), "cacheName");
    coder.encodeInteger(static_cast<std::int64_t>(cacheType_), "cacheType");
    coder.encodeBool(isAESEnable_, "isAESEnable");
}

bool PUSHFileCacheController::initWithCoder(NSCoder& coder)
{
    std::lock_guard guard(lock_);
    cachePath_ = coder.decodeObjectForKey("cachePath").asString();
    cacheUser_ = coder.decodeObjectForKey("cacheUser").asString();
    Value entries = coder.decodeObjectForKey("cacheObject");
    cacheObject_ = entries.isDictionary() ? entries : Value::dictionary();
    cacheName_ = coder.decodeObjectForKey("cacheName").asString();
    cacheType_ = static_cast<std::uint64_t>(coder.decodeIntegerForKey("cacheType"));
    isAESEnable_ = coder.decodeBoolForKey("isAESEnable");
    return true;
}
