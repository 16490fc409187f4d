// The list of the user's device identifiers, its exchange through the cloud key-value store, the
// change notification, and migrating the device identifier.
#include "app/tests/StoreTestSupport.h"

#include "platform/foundation/NSException.h"
#include "platform/threading/NSNotificationCenter.h"

namespace {

using List = std::vector<std::string>;
constexpr const char* listKey = "fc_uuidsOfUserDevices";
constexpr const char* toggleKey = "fc_uuidsOfUserDevicesToggle";
const std::string otherDevice = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";
const std::string thirdDevice = "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb";

std::string cloudKey(const std::string& identifier) { return "fc_uuidForDevice_" + identifier; }

std::shared_ptr<NSUbiquitousKeyValueStore> installCloud()
{
    auto cloud = NSUbiquitousKeyValueStore::create();
    NSUbiquitousKeyValueStore::setDefaultStore(cloud);
    return cloud;
}

}

TEST_F(StoreTest, TheDeviceListStartsWithThisDeviceAndIsKeptSynchronised)
{
    const auto device = DVUUID::uuidForDevice();
    EXPECT_EQ(DVUUID::uuidsOfUserDevices(), List { device });
    EXPECT_TRUE(DVUUID::uuidsOfUserDevicesExcludingCurrentDevice().empty());
    EXPECT_EQ(rawItem(testService, listKey)[kSecAttrSynchronizable], Value(true));
    EXPECT_FALSE(DVUUID::sharedInstance()->iCloudAvailable());

    ASSERT_TRUE(KCKeyChainStore::setStringForKeyInService(device + "|" + otherDevice, listKey));
    reinstall();
    EXPECT_EQ(DVUUID::uuidsOfUserDevices(), (List { device, otherDevice }));
    EXPECT_EQ(DVUUID::uuidsOfUserDevicesExcludingCurrentDevice(), List { otherDevice });
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->stringForKey(listKey), device + "|" + otherDevice);
}

TEST_F(StoreTest, EachStartWithACloudStoreSyncsTheList)
{
    auto cloud = installCloud();
    auto instance = DVUUID::create();
    EXPECT_TRUE(instance->iCloudAvailable());
    const auto device = instance->instanceUuidForDevice();
    EXPECT_EQ(cloud->stringForKey(cloudKey(device)), device);
    EXPECT_TRUE(cloud->boolForKey(toggleKey));
    DVUUID::create();
    EXPECT_FALSE(cloud->boolForKey(toggleKey));
    EXPECT_EQ(cloud->synchronizeCount(), 2);
}

TEST_F(StoreTest, NewDevicesInTheCloudJoinTheListAndAreAnnouncedOnce)
{
    auto cloud = installCloud();
    auto instance = DVUUID::create();
    const auto device = instance->instanceUuidForDevice();
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

    // Values already known change nothing and announce nothing.
    cloud->applyExternalChanges(Value::dictionary({ { cloudKey(otherDevice), otherDevice } }));
    EXPECT_EQ(posted.size(), 2u);
    NSNotificationCenter::defaultCenter()->removeObserver(token.get());

    // Without a cloud store when the instance was made, changes are ignored.
    NSUbiquitousKeyValueStore::setDefaultStore(nullptr);
    auto alone = DVUUID::create();
    const std::string fourthDevice = "cccccccccccccccccccccccccccccccc";
    installCloud()->setString(fourthDevice, cloudKey(fourthDevice));
    alone->uuidsOfUserDevices_iCloudChange(nullptr);
    EXPECT_EQ(alone->instanceUuidsOfUserDevices(), expected);
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
    EXPECT_EQ(rawText(testService, "fc_uuidForDevice"), device);

    ASSERT_TRUE(KCKeyChainStore::setStringForKeyInService(thirdDevice + "|" + device, listKey));
    ASSERT_TRUE(KCKeyChainStore::setStringForKeyInService(otherDevice, "legacy", std::string("old.svc")));
    restartProcess();
    EXPECT_EQ(DVUUID::uuidForDeviceMigratingValueForKey("legacy", std::string("old.svc"), {}, true), otherDevice);
    EXPECT_EQ(DVUUID::uuidsOfUserDevices(), (List { thirdDevice, otherDevice }));
    EXPECT_EQ(cloud->stringForKey(cloudKey(otherDevice)), otherDevice);
    restartProcess();
    EXPECT_EQ(DVUUID::uuidForDevice(), otherDevice);
    EXPECT_EQ(NSUserDefaults::standardUserDefaults()->stringForKey("fc_uuidForDevice"), otherDevice);
}
