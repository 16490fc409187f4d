// A keyed store of archivable values written as one file, rewritten whole on every change. The
// push client keeps two shared instances: type 0, plain, "PUSHJSON" in the caches folder under
// "Push"; type 1, enciphered, "PUSHDocument" in the documents folder under "PushDocument". Values
// that say they belong in memory only (PUSHCacheTypeProtocol, cache type 1) never reach the file.
// Safe to use from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "platform/persistence/NSCoder.h"

// Objects that may say where a file cache keeps them: cache type 1 keeps them in memory only.
class PUSHCacheTypeProtocol {
public:
    virtual ~PUSHCacheTypeProtocol() = default;
    virtual std::uint64_t cacheType() const = 0;
    virtual void setCacheType(std::uint64_t type) = 0;
};

enum : std::uint64_t {
    PUSHFileCacheTypeCache = 0,
    PUSHFileCacheTypeDocument = 1,
};

// User-defaults keys recording that a cache file has been converted from the older layouts.
inline constexpr const char* kPUSHCacheVersionKey = "__PUSHCacheVersionKey";
inline constexpr const char* kPUSHDocumentVersionKey = "__PUSHDocumentVersionKey";
inline constexpr const char* kPUSHServerIsNotFirstStartKey = "kPUSHServerIsNotFirstStart";

class NSNotification;

class PUSHFileCacheController : public NSObject, public NSCoding {
public:
    ~PUSHFileCacheController() override;

    // The shared instance of a type, made once (type 0 with startCacheFile, type 1 with
    // startDocumentFile); later calls return it unchanged. Other types give nullptr.
    static std::shared_ptr<PUSHFileCacheController> startShareInstance(
        const std::string& name, std::uint64_t type, bool security);
    // The shared instance, or nullptr (with an error line) before it was started.
    static std::shared_ptr<PUSHFileCacheController> shareInstanceWithType(std::uint64_t type);
    // Forgets both shared instances (tests switch homes between cases).
    static void resetSharedInstancesForTesting();

    // A cache of the type over the file `name`, read from disk now.
    static std::shared_ptr<PUSHFileCacheController> startCacheFile(const std::string& name, bool security);
    static std::shared_ptr<PUSHFileCacheController> startDocumentFile(const std::string& name, bool security);

    // The persisted entry, else the memory-only one, else absent.
    Value objectForKey(const std::string& key) const;
    bool hasObjectForKey(const std::string& key) const;
    // Absent removes the key from both kinds of entry. Every call rewrites the file.
    void setObject(const Value& object, const std::string& key);
    void removeObjectForKey(const std::string& key) { setObject(Value(), key); }
    // setObject for several keys at once, with one write of the file at the end; false when
    // that write failed.
    bool setObjects(const std::vector<std::pair<std::string, Value>>& entries);
    void removeAllObjects();
    std::size_t cacheCount() const;

    // Writes the persisted entries to the file; false when that failed.
    bool synchronize();
    // Archives (and enciphers) the dictionary and writes it atomically to the file.
    bool writeToFile(const Value& entries);
    // The path of `name` in this cache's folder, which is created when missing.
    std::string fileNameForKey(const std::string& name) const;

    // Observes (or stops observing) the six application-state notifications: will terminate,
    // will resign active, did become active, did enter background, will enter foreground and
    // memory warning. A started cache observes them; observing twice registers once.
    void setAutoSynchronizeEnable(bool enable);
    bool isAutoSynchronizeEnabled() const { return autoSynchronizeEnabled_; }
    // What an application-state notification does to the cache: nothing, the cache being
    // written on every change.
    virtual void handleApplicationStateNotification(const std::shared_ptr<NSNotification>&) {}

    bool securityEnable() const { return isAESEnable_; }
    std::uint64_t cacheType() const { return cacheType_; }
    const std::string& cachePath() const { return cachePath_; }
    const std::string& cacheUser() const { return cacheUser_; }
    const std::string& cacheName() const { return cacheName_; }
    Value cacheObject() const;
    static std::string libCachePath();
    static std::string libDocumentPath();

    std::string description() const override;
    std::string className() const override { return "PUSHFileCacheController"; }
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    PUSHFileCacheController() = default;

protected:
    // Type, folder and base directory, empty entries, and the application-state registrations.
    // The cache must already be owned by a shared pointer.
    void initCacheWithType(std::uint64_t type);

private:
    void readFileName(const std::string& name);
    bool readOldVersionCacheFile(const std::string& name);
    bool oldFileTransfer();
    bool jsonFileTransfer(const std::string& name);
    bool writeLocked();
    void storeLocked(const Value& object, const std::string& key);

    mutable std::recursive_mutex lock_;
    std::string cachePath_;
    std::string cacheUser_;
    Value cacheObject_ = Value::dictionary();
    Value memoryCacheObject_ = Value::dictionary();
    std::string cacheName_;
    std::uint64_t cacheType_ = 0;
    bool isAESEnable_ = false;
    bool autoSynchronizeEnabled_ = false;
};
