// The memory address store and the one over the persisted identity.
#include "push/Network/PUSHAddressStore.h"

#include "push/Storage/PUSHUserDefaultsController.h"

namespace push {

std::uint64_t MemoryAddressStore::uid() const
{
    std::lock_guard lock(mutex_);
    return uid_;
}

void MemoryAddressStore::setUid(std::uint64_t uid)
{
    std::lock_guard lock(mutex_);
    uid_ = uid;
}

#define PUSH_MEMORY_FIELD(setter, getter, field)                                                                        \
    void MemoryAddressStore::setter(const std::string& address)                                                         \
    {                                                                                                                   \
        std::lock_guard lock(mutex_);                                                                                   \
        field = address;                                                                                                \
    }                                                                                                                   \
    std::string MemoryAddressStore::getter() const                                                                      \
    {                                                                                                                   \
        std::lock_guard lock(mutex_);                                                                                   \
        return field;                                                                                                   \
    }

PUSH_MEMORY_FIELD(setDefaultConAddress, defaultConAddress, defaultCon_)
PUSH_MEMORY_FIELD(setBackupUdpReportAddress, backupUdpReportAddress, udpReport_)
PUSH_MEMORY_FIELD(setBackupUserReportAddress, backupUserReportAddress, userReport_)
PUSH_MEMORY_FIELD(setBackupHttpReportAddress, backupHttpReportAddress, httpReport_)
#undef PUSH_MEMORY_FIELD

UserDefaultsAddressStore::UserDefaultsAddressStore(std::shared_ptr<PUSHUserDefaultsController> defaults)
    : defaults_(std::move(defaults))
{
}

std::uint64_t UserDefaultsAddressStore::uid() const { return defaults_->uid(); }

#define PUSH_DEFAULTS_FIELD(setter, getter)                                                                             \
    void UserDefaultsAddressStore::setter(const std::string& address) { defaults_->setter(Value(address)); }           \
    std::string UserDefaultsAddressStore::getter() const { return defaults_->getter(); }

PUSH_DEFAULTS_FIELD(setDefaultConAddress, defaultConAddress)
PUSH_DEFAULTS_FIELD(setBackupUdpReportAddress, backupUdpReportAddress)
PUSH_DEFAULTS_FIELD(setBackupUserReportAddress, backupUserReportAddress)
PUSH_DEFAULTS_FIELD(setBackupHttpReportAddress, backupHttpReportAddress)
#undef PUSH_DEFAULTS_FIELD

} // namespace push
