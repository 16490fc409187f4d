// The request id counter: odd ids 1, 3, ..., 8185 and round again, persisted under
// "__PUSHSessionID" so ids keep running across launches. The counter lives in the push file
// cache of type 0; while that cache has not been started it falls back to the given user
// defaults.
//
// The stored counter is not rewritten for every id: it is written, and synchronised, a block of
// kReservedIds ahead before the first id of that block goes out. A crash (or a power loss after
// the write) can only skip the unused rest of the block on the next launch; an id handed out is
// never handed out again after a restart, until the counter comes round as it always does.
#pragma once

#include <cstdint>
#include <memory>

class NSUserDefaults;
class PUSHFileCacheController;

namespace push {

inline constexpr const char* kSessionIdKey = "__PUSHSessionID";

class RequestIdCounter {
public:
    // Ids reserved by one write of the stored counter.
    static constexpr std::uint64_t kReservedIds = 64;

    // Seeds from the stored counter, or a random value from 0 to 65535 when none is stored.
    // The file cache of type 0 is taken when it has been started, else `fallback`.
    explicit RequestIdCounter(std::shared_ptr<NSUserDefaults> fallback);
    // getRId: with kind 0: the next odd id; reserves (stores and synchronises) a new block first
    // when the reserved one is used up.
    std::uint64_t next();
    // The counter the next id is taken from.
    std::uint64_t storedCounter() const { return counter_; }
    // True when the counter is kept in the file cache.
    bool usesFileCache() const { return cache_ != nullptr; }

    // The counter after `ids` more ids were handed out from `counter`.
    static std::uint64_t advanced(std::uint64_t counter, std::uint64_t ids);

private:
    void save(std::uint64_t counter);

    std::shared_ptr<PUSHFileCacheController> cache_;
    std::shared_ptr<NSUserDefaults> store_;
    std::uint64_t counter_ = 0;
    std::uint64_t reservedLeft_ = 0;
};

} // namespace push
