// Persisted odd request id counter, stored a block ahead of the ids handed out.
#include "push/Network/PUSHRequestIdCounter.h"

#include <random>

#include "platform/persistence/NSUserDefaults.h"
#include "push/Storage/PUSHFileCacheController.h"

namespace push {

namespace {

constexpr std::uint64_t kIdRange = 4093; // ids stay below 2 * 4093

// One id: the odd id taken from `counter`, and the counter after it.
std::uint64_t take(std::uint64_t& counter)
{
    if (counter % 2 == 0)
        ++counter;
    const std::uint64_t id = counter;
    counter = (id + 1) / 2 < kIdRange ? id + 1 : 0;
    return id;
}

} // namespace

RequestIdCounter::RequestIdCounter(std::shared_ptr<NSUserDefaults> fallback)
    : cache_(PUSHFileCacheController::shareInstanceWithType(PUSHFileCacheTypeCache))
    , store_(cache_ ? nullptr : std::move(fallback))
{
    Value stored;
    if (cache_)
        stored = cache_->objectForKey(kSessionIdKey);
    else if (store_)
        stored = store_->objectForKey(kSessionIdKey);
    if (stored.isInteger()) {
        counter_ = stored.unsignedValue();
        return;
    }
    std::random_device entropy;
    counter_ = std::uniform_int_distribution<std::uint64_t>(0, 65535)(entropy);
}

std::uint64_t RequestIdCounter::advanced(std::uint64_t counter, std::uint64_t ids)
{
    for (std::uint64_t i = 0; i < ids; ++i)
        take(counter);
    return counter;
}

std::uint64_t RequestIdCounter::next()
{
    if (reservedLeft_ == 0) {
        // The block is on disk before any of its ids is used.
        save(advanced(counter_, kReservedIds));
        reservedLeft_ = kReservedIds;
    }
    --reservedLeft_;
    return take(counter_);
}

void RequestIdCounter::save(std::uint64_t counter)
{
    // setObject writes the cache file through (synced), which is its synchronisation.
    if (cache_) {
        cache_->setObject(Value(counter), kSessionIdKey);
        return;
    }
    if (!store_)
        return;
    store_->setObject(Value(counter), kSessionIdKey);
    store_->synchronize();
}

} // namespace push
