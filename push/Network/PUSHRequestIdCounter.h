// The request id counter: odd ids 1, 3, ..., 8185 and round again, persisted under
// "__PUSHSessionID" so ids keep running across launches.
#pragma once

#include <cstdint>
#include <memory>

class NSUserDefaults;

namespace push {

inline constexpr const char* kSessionIdKey = "__PUSHSessionID";

class RequestIdCounter {
public:
    // Seeds from the stored counter, or a random value from 0 to 65535 when none is stored.
    explicit RequestIdCounter(std::shared_ptr<NSUserDefaults> store);
    // getRId: with kind 0: the next odd id; stores and synchronises the counter.
    std::uint64_t next();
    std::uint64_t storedCounter() const { return counter_; }

private:
    void save();

    std::shared_ptr<NSUserDefaults> store_;
    std::uint64_t counter_ = 0;
};

} // namespace push
