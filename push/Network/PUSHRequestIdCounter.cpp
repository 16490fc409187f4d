// Persisted odd request id counter.
#include "push/Network/PUSHRequestIdCounter.h"

#include <random>

#include "platform/persistence/NSUserDefaults.h"
#include "push/Storage/PUSHFileCacheController.h"

namespace push {

namespace {
constexpr std::uint64_t kIdRange = 4093; // ids stay below 2 * 4093
}

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

std::uint64_t RequestIdCounter::next()
{
    if (counter_ % 2 == 0)
        ++counter_;
    const std::uint64_t id = counter_;
    counter_ = (id + 1) / 2 < kIdRange ? id + 1 : 0;
    save();
    return id;
}

void RequestIdCounter::save()
{
    // setObject rewrites the cache file, which is its synchronisation.
    if (cache_) {
        cache_->setObject(Value(counter_), kSessionIdKey);
        return;
    }
    if (!store_)
        return;
    store_->setObject(Value(counter_), kSessionIdKey);
    store_->synchronize();
}

} // namespace push
