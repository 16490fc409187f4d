// DVUUID: the list of the user's device identifiers, its exchange through the cloud key-value
// store, and the migration of the device identifier.
#include "app/DVUUID.h"

#include <algorithm>

#include "app/NSUbiquitousKeyValueStore.h"
#include "platform/foundation/NSException.h"
#include "platform/foundation/NSString.h"
#include "platform/threading/NSNotificationCenter.h"

namespace {

constexpr const char* deviceKey = "dv_uuidForDevice";
constexpr const char* userDevicesKey = "dv_uuidsOfUserDevices";
constexpr const char* toggleKey = "dv_uuidsOfUserDevicesToggle";
constexpr const char* separator = "|";

// Appends `value` unless it is there already, as an ordered set does.
void addUnique(std::vector<std::string>& set, const std::string& value)
{
    if (std::find(set.begin(), set.end(), value) == set.end())
        set.push_back(value);
}

}

std::vector<std::string> DVUUID::instanceUuidsOfUserDevices()
{
    if (!uuidsOfUserDevices_)
        uuidsOfUserDevices_ = getOrCreateValueForKey(
            userDevicesKey, instanceUuidForDevice(), true, true, std::nullopt, std::nullopt, true);
    return NSString::componentsSeparatedByString(*uuidsOfUserDevices_, separator);
}

std::vector<std::string> DVUUID::instanceUuidsOfUserDevicesExcludingCurrentDevice()
{
    auto list = instanceUuidsOfUserDevices();
    const std::string current = instanceUuidForDevice();
    std::erase(list, current);
    return list;
}

void DVUUID::uuidsOfUserDevices_updateWithValue(const std::vector<std::string>& values)
{
    uuidsOfUserDevices_ = NSString::componentsJoinedByString(values, separator);
    setValueForKey(uuidsOfUserDevices_, userDevicesKey, true, true, std::nullopt, std::nullopt, true);
}

void DVUUID::uuidsOfUserDevices_iCloudInit()
{
    iCloudAvailable_ = false;
    if (!NSUbiquitousKeyValueStore::defaultStore())
        return;
    iCloudAvailable_ = true;
    auto center = NSNotificationCenter::defaultCenter();
    center->addObserver(sharedAs<DVUUID>(), &DVUUID::uuidsOfUserDevices_iCloudChange,
        NSUbiquitousKeyValueStoreDidChangeExternallyNotification);
    observing_ = center;
    uuidsOfUserDevices_iCloudSync();
}

DVUUID::~DVUUID()
{
    if (auto center = observing_.lock())
        center->removeObserver(this);
}

void DVUUID::uuidsOfUserDevices_iCloudSync()
{
    if (!iCloudAvailable_)
        return;
    auto store = NSUbiquitousKeyValueStore::defaultStore();
    if (!store)
        return;
    for (const auto& identifier : instanceUuidsOfUserDevices()) {
        std::string key = NSString::stringWithFormat("%@_%@", deviceKey, identifier);
        if (store->stringForKey(key) != identifier)
            store->setString(identifier, key);
    }
    // Every sync changes the store, so the other devices hear of it.
    store->setBool(!store->boolForKey(toggleKey), toggleKey);
    store->synchronize();
}

void DVUUID::uuidsOfUserDevices_iCloudChange(const std::shared_ptr<NSNotification>& /*notification*/)
{
    if (!iCloudAvailable_)
        return;
    auto store = NSUbiquitousKeyValueStore::defaultStore();
    if (!store)
        return;
    auto known = instanceUuidsOfUserDevices();
    const std::size_t before = known.size();
    const Value everything = store->dictionaryRepresentation();
    for (const auto& [key, value] : everything.asDictionary()) {
        if (!NSString::hasPrefix(key, deviceKey) || !value.isString())
            continue;
        if (!NSString::containsString(key, value.asString()) || !uuidValueIsValid(value.asString()))
            continue;
        addUnique(known, value.asString());
    }
    if (known.size() == before)
        return;
    uuidsOfUserDevices_updateWithValue(known);
    Value list = Value::array();
    for (const auto& identifier : known)
        list.append(identifier);
    NSNotificationCenter::defaultCenter()->postNotificationName(DVUUIDsOfUserDevicesDidChangeNotification,
        shared_from_this(), Value::dictionary({ { "uuidsOfUserDevices", list } }));
}

std::string DVUUID::instanceUuidForDeviceMigratingValue(const OptionalString& value, bool commitMigration)
{
    if (!uuidValueIsValid(value))
        NSException::raise("Invalid uuid to migrate", "uuid value should be a string of 32 or 36 characters.");
    const std::string oldValue = instanceUuidForDevice();
    const std::string newValue = *value;
    if (oldValue == newValue || !commitMigration)
        return oldValue;

    uuidForDevice_updateWithValue(newValue);
    std::vector<std::string> devices;
    for (const auto& identifier : instanceUuidsOfUserDevices())
        addUnique(devices, identifier);
    addUnique(devices, newValue);
    std::erase(devices, oldValue);
    uuidsOfUserDevices_updateWithValue(devices);
    uuidsOfUserDevices_iCloudSync();
    return instanceUuidForDevice();
}

std::string DVUUID::instanceUuidForDeviceMigratingValueForKey(
    const std::string& key, const OptionalString& service, const OptionalString& accessGroup, bool commitMigration)
{
    return instanceUuidForDeviceMigratingValue(
        getValueForKey(key, true, true, service, accessGroup).value, commitMigration);
}

std::string DVUUID::instanceUuidForDeviceMigratingValueForKey(
    const std::string& key, const OptionalString& service, bool commitMigration)
{
    return instanceUuidForDeviceMigratingValueForKey(key, service, std::nullopt, commitMigration);
}

std::string DVUUID::instanceUuidForDeviceMigratingValueForKey(const std::string& key, bool commitMigration)
{
    return instanceUuidForDeviceMigratingValueForKey(key, std::nullopt, std::nullopt, commitMigration);
}
