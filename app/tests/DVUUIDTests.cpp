// The device identifier: its form, its stability across process runs and reinstalls, where it is
// kept, keychains that cannot be read or written, the vendor identifier, validation; the list of
// the user's device identifiers, its exchange through the cloud key-value store, the change
// notification, and migrating the device identifier.
#include "app/tests/StoreTestSupport.h"

#include "app/UIDevice+DVUUID.h"
#include "platform/foundation/NSException.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/uikit/UIScreen.h"

namespace {

constexpr const char* deviceKey = "dv_uuidForDevice";
constexpr const char* storedValue = "0123456789abcdef0123456789abcdef";

bool isCompactIdentifier(const std::string& text)
{
    return text.size() == 32 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::optional<std::string> defaultsString(const char* key)
{
    return NSUserDefaults::standardUserDefaults()->stringForKey(key);
}

}

TEST_F(StoreTest, IdentifiersHaveTheirFormAndLifetimes)
{
    EXPECT_TRUE(isCompactIdentifier(DVUUID::uuid()));
    EXPECT_NE(DVUUID::uuid(), DVUUID::uuid());
    EXPECT_NE(DVUUID::uuidForKey("a"), DVUUID::uuidForKey("b"));
    const auto key = DVUUID::uuidForKey("a");
    const auto session = DVUUID::uuidForSession();
    const auto device = DVUUID::uuidForDevice();
    const auto installation = DVUUID::uuidForInstallation();
    EXPECT_TRUE(isCompactIdentifier(device)) << device;
    EXPECT_NE(device, installation);
    EXPECT_EQ(DVUUID::uuidForKey("a"), key);
    EXPECT_EQ(DVUUID::uuidForSession(), session);

    // In-memory identifiers end with the process; the stored ones do not.
    restartProcess();
    EXPECT_NE(DVUUID::uuidForKey("a"), key);
    EXPECT_NE(DVUUID::uuidForSession(), session);
    EXPECT_EQ(DVUUID::uuidForDevice(), device);
    EXPECT_EQ(DVUUID::uuidForInstallation(), installation);
    EXPECT_EQ(DVUUID::create()->instanceUuidForDevice(), device);
}

TEST_F(StoreTest, TheDeviceIdentifierIsKeptInBothStoresAndSurvivesAReinstall)
{
    auto instance = DVUUID::create();
    const auto device = instance->instanceUuidForDevice();
    const auto installation = DVUUID::uuidForInstallation();
    EXPECT_EQ(defaultsString(deviceKey), device);
    EXPECT_EQ(rawText(testService, deviceKey), device);
    EXPECT_EQ(rawItem(testService, deviceKey)[kSecAttrSynchronizable], Value(false));

    // Once cached, the stores are not asked again.
    security::injectStatus(security::SecOperation::CopyMatching, errSecIO, -1);
    EXPECT_EQ(instance->instanceUuidForDevice(), device);
    security::clearInjectedStatuses();

    reinstall();
    ASSERT_FALSE(defaultsString(deviceKey));
    EXPECT_EQ(DVUUID::uuidForDevice(), device);
    EXPECT_EQ(DVUUID::uuidForInstallation(), installation);
    EXPECT_EQ(defaultsString(deviceKey), device);
}

TEST_F(StoreTest, EachStoreSuppliesWhatTheOtherLacks)
{
    // Only in the user defaults: returned and copied into the keychain.
    NSUserDefaults::standardUserDefaults()->setObject(Value(storedValue), deviceKey);
    EXPECT_EQ(DVUUID::uuidForDevice(), storedValue);
    EXPECT_EQ(rawText(testService, deviceKey), storedValue);

    // The two differ: the keychain wins and the defaults follow.
    const std::string other = "fedcba9876543210fedcba9876543210";
    ASSERT_TRUE(KCKeyChainStore::setStringForKeyInService(other, deviceKey));
    restartProcess();
    EXPECT_EQ(DVUUID::uuidForDevice(), other);
    EXPECT_EQ(defaultsString(deviceKey), other);
}

TEST_F(StoreTest, AKeychainThatCannotBeReadKeepsItsIdentifier)
{
    using security::SecOperation;
    ASSERT_TRUE(KCKeyChainStore::setStringForKeyInService(storedValue, deviceKey));

    // Locked before the first unlock, and no user defaults yet: the run gets an identifier, but
    // the one in the keychain is not overwritten, and the next run is back to it.
    security::injectStatus(SecOperation::CopyMatching, errSecInteractionNotAllowed, 1, deviceKey);
    const auto temporary = DVUUID::uuidForDevice();
    EXPECT_TRUE(isCompactIdentifier(temporary));
    EXPECT_NE(temporary, storedValue);
    EXPECT_EQ(rawText(testService, deviceKey), storedValue);
    restartProcess();
    EXPECT_EQ(DVUUID::uuidForDevice(), storedValue);
    EXPECT_EQ(defaultsString(deviceKey), storedValue);

    // With the defaults at hand, an unreadable keychain gives the defaults' value.
    restartProcess();
    security::injectStatus(SecOperation::CopyMatching, errSecMissingEntitlement, 1, deviceKey);
    EXPECT_EQ(DVUUID::uuidForDevice(), storedValue);
}

TEST_F(StoreTest, FailedKeychainWritesStillGiveAStableIdentifier)
{
    security::injectStatus(security::SecOperation::Add, errSecIO, -1);
    const auto device = DVUUID::uuidForDevice();
    security::clearInjectedStatuses();
    EXPECT_EQ(rawCount(kSecClassGenericPassword), 0u);
    restartProcess();
    EXPECT_EQ(DVUUID::uuidForDevice(), device);
    EXPECT_EQ(rawText(testService, deviceKey), device);
}

// The vendor identifier is compacted and not stored in the keychain. A new run of the app on the
// same home (in-memory state forgotten) finds the same one; another home has another.
TEST_F(StoreTest, VendorIdentifierIsCompactedAndStaysWithTheHomeAcrossRuns)
{
    UIDevice::currentDevice()->setIdentifierForVendor(NSUUID::initWithUUIDString("6F9619FF-8B86-D011-B42D-00C04FC964FF"));
    EXPECT_EQ(DVUUID::uuidForVendor(), "6f9619ff8b86d011b42d00c04fc964ff");
    EXPECT_EQ(rawCount(kSecClassGenericPassword), 0u);

    auto nextRun = [] {
        DVUUID::resetSharedInstance();
        UIDevice::currentDevice()->forgetIdentifierForVendor();
        return DVUUID::uuidForVendor();
    };
    auto first = nextRun();
    ASSERT_TRUE(first);
    EXPECT_TRUE(DVUUID::uuidValueIsValid(first));
    EXPECT_EQ(first->size(), 32u);
    EXPECT_EQ(nextRun(), first);
    {
        testing_support::TempHome other;
        auto second = nextRun();
        EXPECT_NE(second, first);
        EXPECT_EQ(nextRun(), second);
    }
    EXPECT_EQ(nextRun(), first);
    EXPECT_EQ(uuid(*UIDevice::currentDevice()), DVUUID::uuidForDevice());
}

TEST_F(StoreTest, ValidationAcceptsOnlyTheTwoForms)
{
    EXPECT_TRUE(DVUUID::uuidValueIsValid(std::string("0123456789abcdef0123456789ABCDEF")));
    EXPECT_TRUE(DVUUID::uuidValueIsValid(std::string("6F9619FF-8B86-D011-b42d-00c04fc964ff")));
    for (std::string bad : { "0123456789abcdef0123456789abcde", "0123456789abcdef0123456789abcdeg",
             "x0123456789abcdef0123456789abcdef", "6f9619ff-8b86-d011-b42d-00c04fc964ffx",
             "6f9619ff8-b86-d011-b42d-00c04fc964ff", "" })
        EXPECT_FALSE(DVUUID::uuidValueIsValid(bad)) << bad;
    EXPECT_FALSE(DVUUID::uuidValueIsValid(std::nullopt));
}

namespace {

using List = std::vector<std::string>;
constexpr const char* listKey = "dv_uuidsOfUserDevices";
const std::string otherDevice = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";
const std::string thirdDevice = "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb";

std::string cloudKey(const std::string& identifier) { return "dv_uuidForDevice_" + identifier; }

std::shared_ptr<NSUbiquitousKeyValueStore> installCloud()
{
    auto cloud = NSUbiquitousKeyValueStore::create();
    NSUbiquitousKeyValueStore::setDefaultStore(cloud);
    return cloud;
}

}

TEST_F(StoreTest, TheDeviceListIsKeptSynchronisedAndNewDevicesInTheCloudAreAnnouncedOnce)
{
    EXPECT_FALSE(DVUUID::sharedInstance()->iCloudAvailable());
    auto cloud = installCloud();
    auto instance = DVUUID::create();
    EXPECT_TRUE(instance->iCloudAvailable());
    const auto device = instance->instanceUuidForDevice();
    EXPECT_EQ(instance->instanceUuidsOfUserDevices(), List { device }) << "the list starts with this device";
    EXPECT_EQ(rawItem(testService, listKey)[kSecAttrSynchronizable], Value(true));
    EXPECT_EQ(cloud->stringForKey(cloudKey(device)), device);
    auto later = DVUUID::create();
    std::vector<std::shared_ptr<NSNotification>> posted;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(DVUUIDsOfUserDevicesDidChangeNotification,
        nullptr, nullptr, [&](const std::shared_ptr<NSNotification>& n) { posted.push_back(n); });

    cloud->applyExternalChanges(Value::dictionary({ { cloudKey(thirdDevice), thirdDevice },
        { cloudKey(otherDevice), otherDevice },
        // Not device identifiers of this kind: ignored.
        { "other_" + otherDevice, "cccccccccccccccccccccccccccccccc" },
        { cloudKey("x"), "dddddddddddddddddddddddddddddddd" }, { cloudKey("short"), "short" }, { cloudKey("n"), 7 } }));
    const List expected { device, otherDevice, thirdDevice };
    EXPECT_EQ(instance->instanceUuidsOfUserDevices(), expected);
    ASSERT_EQ(posted.size(), 2u); // one per instance that learnt something
    EXPECT_EQ(posted[0]->object(), instance);
    EXPECT_EQ(posted[0]->userInfo(), Value::dictionary({ { "uuidsOfUserDevices", Value::array({ device, otherDevice, thirdDevice }) } }));
    EXPECT_EQ(rawText(testService, listKey), device + "|" + otherDevice + "|" + thirdDevice);
    EXPECT_EQ(DVUUID::uuidsOfUserDevicesExcludingCurrentDevice(), (List { otherDevice, thirdDevice }));

    // Values already known change nothing and announce nothing.
    cloud->applyExternalChanges(Value::dictionary({ { cloudKey(otherDevice), otherDevice } }));
    EXPECT_EQ(posted.size(), 2u);
    NSNotificationCenter::defaultCenter()->removeObserver(token.get());
    // Every sync flips the toggle, so that other devices always hear of it.
    bool toggle = cloud->boolForKey("dv_uuidsOfUserDevicesToggle");
    DVUUID::create();
    EXPECT_NE(cloud->boolForKey("dv_uuidsOfUserDevicesToggle"), toggle);
    restartProcess();
    EXPECT_EQ(DVUUID::uuidsOfUserDevices(), expected);
}

TEST_F(StoreTest, MigrationChangesTheDeviceOnlyWhenCommittedAndValid)
{
    auto cloud = installCloud();
    const auto device = DVUUID::uuidForDevice();
    try {
        DVUUID::uuidForDeviceMigratingValue(std::string("nope"), true);
        ADD_FAILURE() << "no exception";
    } catch (const NSException& exception) {
        EXPECT_EQ(exception.name(), "Invalid uuid to migrate");
        EXPECT_EQ(exception.reason(), "uuid value should be a string of 32 or 36 characters.");
    }
    EXPECT_THROW(DVUUID::uuidForDeviceMigratingValueForKey("missing", {}, {}, true), NSException);
    EXPECT_EQ(DVUUID::uuidForDeviceMigratingValue(otherDevice, false), device);
    EXPECT_EQ(DVUUID::uuidForDeviceMigratingValue(device, true), device);
    EXPECT_EQ(rawText(testService, "dv_uuidForDevice"), device);

    ASSERT_TRUE(KCKeyChainStore::setStringForKeyInService(thirdDevice + "|" + device, listKey));
    ASSERT_TRUE(KCKeyChainStore::setStringForKeyInService(otherDevice, "legacy", std::string("old.svc")));
    restartProcess();
    EXPECT_EQ(DVUUID::uuidForDeviceMigratingValueForKey("legacy", std::string("old.svc"), {}, true), otherDevice);
    EXPECT_EQ(DVUUID::uuidsOfUserDevices(), (List { thirdDevice, otherDevice }));
    EXPECT_EQ(cloud->stringForKey(cloudKey(otherDevice)), otherDevice);
    restartProcess();
    EXPECT_EQ(DVUUID::uuidForDevice(), otherDevice);
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->stringForKey("dv_uuidForDevice"), otherDevice);

    // The shorter forms: a service and no group; the default service and no group.
    ASSERT_TRUE(KCKeyChainStore::setStringForKeyInService(thirdDevice, "legacy", std::string("old.svc")));
    EXPECT_EQ(DVUUID::uuidForDeviceMigratingValueForKey("legacy", std::string("old.svc"), true), thirdDevice);
    ASSERT_TRUE(KCKeyChainStore::setStringForKeyInService(device, "legacy"));
    EXPECT_EQ(DVUUID::uuidForDeviceMigratingValueForKey("legacy", false), thirdDevice);
    EXPECT_EQ(DVUUID::uuidForDeviceMigratingValueForKey("legacy", true), device);
    EXPECT_EQ(DVUUID::sharedInstance()->instanceUuidForDeviceMigratingValueForKey("legacy", std::string("old.svc"), true),
        thirdDevice);
}
