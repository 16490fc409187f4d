// DVUUID: identifiers of different lifetimes. A fresh one per call, one per key and one per
// process run (in memory), the vendor identifier, and two stored ones that survive deleting and
// reinstalling the app: the device identifier (the app's "clientId" everywhere) and the
// installation identifier, each kept alike in the keychain and the user defaults. Also the list
// of identifiers of all the user's devices, exchanged through the cloud key-value store when
// there is one.
//
// Identifiers are 32 lowercase hexadecimal digits. The class operations (DVUUID::uuidForDevice()
// and so on) answer from the shared instance; an instance's own operations carry the prefix
// "instance" (instanceUuidForDevice()), for code that holds an instance of its own.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

class NSNotification;
class NSNotificationCenter;

inline constexpr const char* DVUUIDsOfUserDevicesDidChangeNotification = "DVUUIDsOfUserDevicesDidChangeNotification";

class DVUUID final : public NSObject {
public:
    using OptionalString = std::optional<std::string>;

    // The one instance of the process, made on first use (thread-safe).
    static std::shared_ptr<DVUUID> sharedInstance();
    // A new instance with empty caches, as a new process run would make (its cloud set-up runs).
    static std::shared_ptr<DVUUID> create();
    // Forgets the shared instance, so the next use makes a new one. For tests and the host.
    static void resetSharedInstance();

    // Class operations: the shared instance's answers.
    static std::string uuid();
    static std::string uuidForKey(const std::string& key);
    static std::string uuidForSession();
    static std::string uuidForInstallation();
    static OptionalString uuidForVendor();
    static std::string uuidForDevice();
    static std::vector<std::string> uuidsOfUserDevices();
    static std::vector<std::string> uuidsOfUserDevicesExcludingCurrentDevice();
    static bool uuidValueIsValid(const OptionalString& value);
    // Migration of the device identifier. An invalid value raises NSException
    // "Invalid uuid to migrate".
    static std::string uuidForDeviceMigratingValue(const OptionalString& value, bool commitMigration);
    static std::string uuidForDeviceMigratingValueForKey(const std::string& key, const OptionalString& service,
        const OptionalString& accessGroup, bool commitMigration);
    // The same with no access group, or with no service (the default service) and no group.
    static std::string uuidForDeviceMigratingValueForKey(
        const std::string& key, const OptionalString& service, bool commitMigration);
    static std::string uuidForDeviceMigratingValueForKey(const std::string& key, bool commitMigration);

    // Instance operations.
    std::string instanceUuid() const;
    std::string instanceUuidForKey(const std::string& key);
    std::string instanceUuidForSession();
    std::string instanceUuidForInstallation();
    OptionalString instanceUuidForVendor();
    std::string instanceUuidForDevice();
    std::vector<std::string> instanceUuidsOfUserDevices();
    std::vector<std::string> instanceUuidsOfUserDevicesExcludingCurrentDevice();
    std::string instanceUuidForDeviceMigratingValue(const OptionalString& value, bool commitMigration);
    // Reads `key` (keychain of that service and group first, then the user defaults) and
    // migrates to its value. No service: the default service.
    std::string instanceUuidForDeviceMigratingValueForKey(const std::string& key, const OptionalString& service,
        const OptionalString& accessGroup, bool commitMigration);
    std::string instanceUuidForDeviceMigratingValueForKey(
        const std::string& key, const OptionalString& service, bool commitMigration);
    std::string instanceUuidForDeviceMigratingValueForKey(const std::string& key, bool commitMigration);

    // The cloud key-value store changed on another device.
    void uuidsOfUserDevices_iCloudChange(const std::shared_ptr<NSNotification>& notification);
    bool iCloudAvailable() const { return iCloudAvailable_; }

    std::string className() const override { return "DVUUID"; }

    DVUUID() = default;
    ~DVUUID() override;

private:
    // Where a value was looked for and what came of it.
    struct Lookup {
        OptionalString value;
        // The keychain failed (anything but "not found"): what it holds is unknown.
        bool keychainFailed = false;
    };

    void init();
    Lookup getValueForKey(const std::string& key, bool userDefaults, bool keychain, const OptionalString& service,
        const OptionalString& accessGroup) const;
    void setValueForKey(const OptionalString& value, const std::string& key, bool userDefaults, bool keychain,
        const OptionalString& service, const OptionalString& accessGroup, bool synchronizable) const;
    std::string getOrCreateValueForKey(const std::string& key, const OptionalString& defaultValue, bool userDefaults,
        bool keychain, const OptionalString& service, const OptionalString& accessGroup, bool synchronizable);
    void uuidForDevice_updateWithValue(const std::string& value);
    void uuidsOfUserDevices_updateWithValue(const std::vector<std::string>& values);
    void uuidsOfUserDevices_iCloudInit();
    void uuidsOfUserDevices_iCloudSync();

    std::map<std::string, std::string> uuidForKey_;
    OptionalString uuidForSession_;
    OptionalString uuidForInstallation_;
    OptionalString uuidForVendor_;
    OptionalString uuidForDevice_;
    OptionalString uuidsOfUserDevices_;
    bool iCloudAvailable_ = false;
    std::weak_ptr<NSNotificationCenter> observing_;
};
