// DVUUID: the shared instance, the in-memory identifiers and the stored ones, kept alike in the
// keychain and the user defaults.
#include "app/DVUUID.h"

#include <algorithm>
#include <mutex>

#include "app/KCKeyChainStore.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSUUID.h"
#include "platform/persistence/NSUserDefaults.h"
#include "platform/uikit/UIScreen.h"

namespace {

constexpr const char* installationKey = "dv_uuidForInstallation";
constexpr const char* deviceKey = "dv_uuidForDevice";

// "0A1B...-..." as 32 lowercase digits.
std::string compact(const NSUUID& uuid)
{
    return NSString::stringByReplacingOccurrencesOfString(NSString::lowercaseString(uuid.UUIDString()), "-", "");
}

struct Shared {
    std::mutex mutex;
    std::shared_ptr<DVUUID> instance;
};

Shared& shared()
{
    static Shared state;
    return state;
}

}

std::shared_ptr<DVUUID> DVUUID::sharedInstance()
{
    auto& state = shared();
    std::lock_guard lock(state.mutex);
    if (!state.instance)
        state.instance = create();
    return state.instance;
}

std::shared_ptr<DVUUID> DVUUID::create()
{
    auto instance = std::make_shared<DVUUID>();
    instance->init();
    return instance;
}

void DVUUID::resetSharedInstance()
{
    std::shared_ptr<DVUUID> old;
    auto& state = shared();
    std::lock_guard lock(state.mutex);
    old = std::exchange(state.instance, nullptr);
}

void DVUUID::init() { uuidsOfUserDevices_iCloudInit(); }

std::string DVUUID::instanceUuid() const { return compact(NSUUID()); }

std::string DVUUID::instanceUuidForKey(const std::string& key)
{
    auto found = uuidForKey_.find(key);
    if (found != uuidForKey_.end())
        return found->second;
    return uuidForKey_[key] = instanceUuid();
}

std::string DVUUID::instanceUuidForSession()
{
    if (!uuidForSession_)
        uuidForSession_ = instanceUuid();
    return *uuidForSession_;
}

std::string DVUUID::instanceUuidForInstallation()
{
    if (!uuidForInstallation_)
        uuidForInstallation_
            = getOrCreateValueForKey(installationKey, std::nullopt, true, true, std::nullopt, std::nullopt, false);
    return *uuidForInstallation_;
}

DVUUID::OptionalString DVUUID::instanceUuidForVendor()
{
    if (!uuidForVendor_) {
        if (auto vendor = UIDevice::currentDevice()->identifierForVendor())
            uuidForVendor_ = compact(*vendor);
    }
    return uuidForVendor_;
}

std::string DVUUID::instanceUuidForDevice()
{
    if (!uuidForDevice_)
        uuidForDevice_
            = getOrCreateValueForKey(deviceKey, std::nullopt, true, true, std::nullopt, std::nullopt, false);
    return *uuidForDevice_;
}

DVUUID::Lookup DVUUID::getValueForKey(const std::string& key, bool userDefaults, bool keychain,
    const OptionalString& service, const OptionalString& accessGroup) const
{
    Lookup found;
    if (keychain) {
        NSErrorRef error;
        found.value = KCKeyChainStore::stringForKeyInService(key, service, accessGroup, &error);
        found.keychainFailed = !found.value && error;
    }
    if (!found.value && userDefaults)
        found.value = NSUserDefaults::standardUserDefaults()->stringForKey(key);
    return found;
}

void DVUUID::setValueForKey(const OptionalString& value, const std::string& key, bool userDefaults, bool keychain,
    const OptionalString& service, const OptionalString& accessGroup, bool synchronizable) const
{
    if (!value)
        return;
    if (userDefaults) {
        auto defaults = NSUserDefaults::standardUserDefaults();
        defaults->setObject(Value(*value), key);
        defaults->synchronize();
    }
    if (keychain) {
        auto store = KCKeyChainStore::keyChainStoreWithService(service, accessGroup);
        store->setSynchronizable(synchronizable);
        store->setString(value, key);
    }
}

std::string DVUUID::getOrCreateValueForKey(const std::string& key, const OptionalString& defaultValue,
    bool userDefaults, bool keychain, const OptionalString& service, const OptionalString& accessGroup,
    bool synchronizable)
{
    Lookup found = getValueForKey(key, userDefaults, keychain, service, accessGroup);
    std::string value = found.value ? *found.value : defaultValue ? *defaultValue : instanceUuid();
    // A keychain that could not be read may still hold the real value: leave it alone, so the
    // next run finds it again instead of a value made up now.
    setValueForKey(value, key, userDefaults, keychain && !found.keychainFailed, service, accessGroup,
        synchronizable);
    return value;
}

void DVUUID::uuidForDevice_updateWithValue(const std::string& value)
{
    uuidForDevice_ = value;
    setValueForKey(value, deviceKey, true, true, std::nullopt, std::nullopt, false);
}

bool DVUUID::uuidValueIsValid(const OptionalString& value)
{
    if (!value)
        return false;
    // 32 hexadecimal digits, or 8-4-4-4-12 with dashes; either case.
    const std::string& text = *value;
    auto isHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
    if (text.size() == 32)
        return std::all_of(text.begin(), text.end(), isHex);
    if (text.size() != 36)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !isHex(text[i]))
            return false;
    }
    return true;
}

std::string DVUUID::uuid() { return sharedInstance()->instanceUuid(); }
std::string DVUUID::uuidForKey(const std::string& key) { return sharedInstance()->instanceUuidForKey(key); }
std::string DVUUID::uuidForSession() { return sharedInstance()->instanceUuidForSession(); }
std::string DVUUID::uuidForInstallation() { return sharedInstance()->instanceUuidForInstallation(); }
DVUUID::OptionalString DVUUID::uuidForVendor() { return sharedInstance()->instanceUuidForVendor(); }
std::string DVUUID::uuidForDevice() { return sharedInstance()->instanceUuidForDevice(); }
std::vector<std::string> DVUUID::uuidsOfUserDevices() { return sharedInstance()->instanceUuidsOfUserDevices(); }
std::vector<std::string> DVUUID::uuidsOfUserDevicesExcludingCurrentDevice()
{
    return sharedInstance()->instanceUuidsOfUserDevicesExcludingCurrentDevice();
}
std::string DVUUID::uuidForDeviceMigratingValue(const OptionalString& value, bool commitMigration)
{
    return sharedInstance()->instanceUuidForDeviceMigratingValue(value, commitMigration);
}
std::string DVUUID::uuidForDeviceMigratingValueForKey(const std::string& key, const OptionalString& service,
    const OptionalString& accessGroup, bool commitMigration)
{
    return sharedInstance()->instanceUuidForDeviceMigratingValueForKey(key, service, accessGroup, commitMigration);
}
std::string DVUUID::uuidForDeviceMigratingValueForKey(
    const std::string& key, const OptionalString& service, bool commitMigration)
{
    return sharedInstance()->instanceUuidForDeviceMigratingValueForKey(key, service, commitMigration);
}
std::string DVUUID::uuidForDeviceMigratingValueForKey(const std::string& key, bool commitMigration)
{
    return sharedInstance()->instanceUuidForDeviceMigratingValueForKey(key, commitMigration);
}
