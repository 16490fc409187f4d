// The request id counter: odd ids 1, 3, ..., 8185 and round again, persisted under
// "__PUSHSessionID" so ids keep running across launches. The counter lives in the push file
// cache of type 0; while that cache has not been started it falls back to the given user
// defaults.
#pragma once

#include <cstdint>
#include <memory>

class NSUserDefaults;
class PUSHFileCacheController;

namespace push {

inline constexpr const char* kSessionIdKey = "__PUSHSessionID";

class RequestIdCounter {
public:
    // Seeds from the stored counter, or a random value from 0 to 65535 when none is stored.
    // The file cache of type 0 is taken when it has been started, else `fallback`.
    explicit RequestIdCounter(std::shared_ptr<NSUserDefaults> fallback);
    // getRId: with kind 0: the next odd id; stores and synchronises the counter.
    std::uint64_t next();
    std::uint64_t storedCounter() const { return counter_; }
    // True when the counter is kept in the file cache.
    bool usesFileCache() const { return cache_ != nullptr; }

private:
    void save();

    std::shared_ptr<PUSHFileCacheController> cache_;
    std::shared_ptr<NSUserDefaults> store_;
    std::uint64_t counter_ = 0;
};

} // namespace push
