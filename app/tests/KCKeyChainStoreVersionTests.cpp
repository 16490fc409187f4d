// The keychain store at the app's release and across the probe's releases (1140, 1141 to 1145),
// items that need the user, and which items a store matches: synchronised against local items,
// and internet items by host and port. (The app never runs at an older release.)
#include "app/tests/StoreTestSupport.h"

#include "platform/security/SecAccessControl.h"

using Store = KCKeyChainStore;
using security::SecOperation;

namespace {

// A store whose items need the user's presence: on the releases whose probe forbids asking the
// user, writing such an item again meets "interaction not allowed".
std::shared_ptr<Store> protectedStore()
{
    auto store = Store::keyChainStoreWithService(std::string("svc"));
    store->setAccessibility(KCKeyChainStoreAccessibilityWhenUnlocked, KCKeyChainStoreAuthenticationPolicyUserPresence);
    return store;
}

}

TEST_F(StoreTest, QueriesMatchSynchronisedAndLocalItems)
{
    addRaw("cloud", "from the cloud", true);
    auto store = Store::keyChainStore();
    EXPECT_EQ(store->stringForKey("cloud"), "from the cloud");
    EXPECT_EQ(store->allItems()[0]["synchronizable"], Value(true));

    // A local store reads a synchronised item and, writing it, makes it local; a local and a
    // synchronised item under one key are both listed and both removed.
    ASSERT_TRUE(store->setString("mine", "cloud"));
    EXPECT_EQ(rawItem(testService, "cloud")[kSecAttrSynchronizable], Value(false));
    addRaw("cloud", "other device", true);
    EXPECT_EQ(store->allItems().count(), 2u);
    EXPECT_TRUE(store->removeItemForKey("cloud"));
    EXPECT_EQ(rawCount(kSecClassGenericPassword), 0u);

    store->setSynchronizable(true);
    ASSERT_TRUE(store->setString("shared", "k"));
    EXPECT_EQ(rawItem(testService, "k")[kSecAttrSynchronizable], Value(true));
}

TEST_F(StoreTest, PromptAccessibilityAndAccessControl)
{
    auto store = Store::keyChainStoreWithService(std::string("svc"));
    store->setAuthenticationPrompt(std::string("Unlock"));
    store->setAccessibility(KCKeyChainStoreAccessibilityWhenPasscodeSetThisDeviceOnly);
    ASSERT_TRUE(store->setString("v", "passcode"));
    ASSERT_TRUE(store->setString("w", "passcode"));
    EXPECT_EQ(store->stringForKey("passcode"), "w");
    EXPECT_EQ(rawItem("svc", "passcode")[kSecAttrAccessible], Value(kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly));

    auto guarded = protectedStore();
    ASSERT_TRUE(guarded->setString("v", "touch8"));
    auto control = rawItem("svc", "touch8")[kSecAttrAccessControl].asObject<SecAccessControl>();
    ASSERT_TRUE(control);
    EXPECT_EQ(control->flags(), kSecAccessControlUserPresence);

    NSErrorRef error;
    security::setAccessControlFailure(NSError::errorWithDomain(NSOSStatusErrorDomain, errSecParam));
    EXPECT_FALSE(guarded->setString("v", "k", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), errSecParam);
    EXPECT_TRUE(logged("error: [-50] Unexpected error has occurred."));
    security::setAccessControlFailure(nullptr, true);
    EXPECT_FALSE(guarded->setString("v", "k", &error));
    expectStoreError(error, -99999, "Unexpected error has occurred.");
    EXPECT_FALSE(guarded->contains("k"));
}

TEST_F(StoreTest, ProtectedItemsAreReplacedUpToRelease8AndChangedAfter)
{
    auto guarded = protectedStore();
    const Value generic = Value::dictionary({ { "kind", "device" } });

    // 1140: the probe is refused, so the item is removed and written anew with everything the
    // call gave, the generic attribute included; the label it left out is gone.
    ASSERT_TRUE(guarded->setString("v1", "k", Value(), std::string("old label")));
    ASSERT_TRUE(guarded->setString("v2", "k", generic, std::nullopt, std::string("comment")));
    Value item = rawItem("svc", "k");
    EXPECT_EQ(rawText("svc", "k"), "v2");
    EXPECT_EQ(item[kSecAttrGeneric], generic);
    EXPECT_EQ(item[kSecAttrComment], Value("comment"));
    EXPECT_FALSE(item.contains(kSecAttrLabel));

    // From 1141 the item is changed in place.
    for (double version : { 1141.0, 1144.17, 1145.0 }) {
        NSFoundationVersionNumber = version;
        ASSERT_TRUE(guarded->setString("v1", "k", Value(), std::string("label")));
        ASSERT_TRUE(guarded->setString("v3", "k", generic));
        EXPECT_EQ(rawText("svc", "k"), "v3") << version;
        EXPECT_EQ(rawItem("svc", "k")[kSecAttrLabel], Value("label")) << version;
        EXPECT_EQ(rawCount(kSecClassGenericPassword), 1u);
    }
}

// The store follows the device's release: a system-7 device gets none of the keys of release 8
// (prompt, access control, the passcode accessibility), a system-6 device no synchronisation.
// At release 8 a new item keeps the prompt and is written all the same.
TEST_F(StoreTest, OlderReleasesOfTheDeviceLeaveOutTheKeysTheyLack)
{
    const std::string promptWarning = "Unavailable 'authenticationPrompt' attribute on iOS versions prior to 8.0.";
    auto prompted = Store::keyChainStoreWithService(std::string("svc"));
    prompted->setAuthenticationPrompt(std::string("Unlock"));
    ASSERT_TRUE(prompted->setString("v", "new at 8"));
    EXPECT_EQ(prompted->stringForKey("new at 8"), "v");
    EXPECT_FALSE(logged(promptWarning));

    UIDevice::currentDevice()->setSystemVersion("7.0");
    ASSERT_TRUE(prompted->setString("v", "new at 7"));
    EXPECT_TRUE(logged(promptWarning));
    auto guarded = protectedStore();
    ASSERT_TRUE(guarded->setString("v", "touch7"));
    EXPECT_TRUE(logged("Unavailable 'Touch ID integration' on iOS versions prior to 8.0."));
    EXPECT_FALSE(rawItem("svc", "touch7").contains(kSecAttrAccessControl));
    auto passcode = Store::keyChainStoreWithService(std::string("svc"));
    passcode->setAccessibility(KCKeyChainStoreAccessibilityWhenPasscodeSetThisDeviceOnly);
    ASSERT_TRUE(passcode->setString("v", "passcode7"));
    EXPECT_TRUE(logged("Unavailable 'KCKeyChainStoreAccessibilityWhenPasscodeSetThisDeviceOnly' attribute on iOS "
                       "versions prior to 8.0."));
    EXPECT_NE(rawItem("svc", "passcode7")[kSecAttrAccessible], Value(kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly));
    EXPECT_TRUE(prompted->allItems()[0].contains("synchronizable"));

    UIDevice::currentDevice()->setSystemVersion("6.0");
    auto shared = Store::keyChainStoreWithService(std::string("svc6"));
    shared->setSynchronizable(true);
    ASSERT_TRUE(shared->setString("v", "k"));
    EXPECT_EQ(rawItem("svc6", "k")[kSecAttrSynchronizable], Value(false));
    EXPECT_FALSE(shared->allItems()[0].contains("synchronizable"));
}

// A probe that meets "interaction not allowed" replaces the item, as for the protected items above:
// when the old item cannot be removed nothing changes, and a probe that keeps refusing after the
// removal does not make the write loop.
TEST_F(StoreTest, InteractionNotAllowedKeepsTheItemWhenItCannotBeReplaced)
{
    auto store = Store::keyChainStore();
    ASSERT_TRUE(store->setString("after", "k"));
    NSErrorRef error;
    security::injectStatus(SecOperation::CopyMatching, errSecInteractionNotAllowed);
    security::injectStatus(SecOperation::Delete, errSecMissingEntitlement);
    EXPECT_FALSE(store->setString("lost?", "k", &error));
    expectStoreError(error, errSecInteractionNotAllowed, "Security error has occurred.");
    EXPECT_EQ(rawText(testService, "k"), "after");
    security::injectStatus(SecOperation::CopyMatching, errSecInteractionNotAllowed, -1);
    EXPECT_TRUE(store->setString("again", "k"));
    security::clearInjectedStatuses();
    EXPECT_EQ(rawText(testService, "k"), "again");
}

TEST_F(StoreTest, InternetStoresAreScopedByHostAndPort)
{
    auto web = [](const char* url, std::int64_t protocol = KCKeyChainStoreProtocolTypeHTTPS) {
        return Store::keyChainStoreWithServer(*NSURL::URLWithString(url), KCKeyChainStoreProtocolType(protocol),
            KCKeyChainStoreAuthenticationTypeHTMLForm);
    };
    auto main = web("https://example.com:8443/login");
    ASSERT_TRUE(main->setString("secret", "alice"));
    ASSERT_TRUE(web("https://example.com:9443/")->setString("other", "alice"));
    EXPECT_EQ(main->stringForKey("alice"), "secret");
    EXPECT_FALSE(web("https://example.org:8443/")->contains("alice"));
    EXPECT_EQ(rawCount(kSecClassInternetPassword), 2u);

    // A protocol outside the table names none, so that store matches any protocol of the host.
    EXPECT_EQ(web("https://example.com:8443/", 30)->stringForKey("alice"), "secret");
    EXPECT_TRUE(main->removeAllItems());
    EXPECT_EQ(Store::allKeysWithItemClass(2),
        Value::array({ Value::dictionary({ { "server", "example.com" }, { "key", "alice" } }) }));
}

// A device updated from release 8 to 10 or later (or one whose version cannot be read) still
// finds what it wrote, synchronised items included, and so keeps its list of the user's devices.
TEST_F(StoreTest, ItemsWrittenAtRelease8AreFoundOnLaterReleases)
{
    const std::string listKey = "dv_uuidsOfUserDevices";
    const std::string device = DVUUID::uuidForDevice();
    const std::string list = device + "|0123456789abcdef0123456789abcdef";
    auto shared = Store::keyChainStore();
    shared->setSynchronizable(true);
    ASSERT_TRUE(shared->setString(list, listKey));

    for (const char* version : { "10.0", "12.3", "" }) {
        UIDevice::currentDevice()->setSystemVersion(version);
        EXPECT_EQ(Store::stringForKeyInService(listKey), list) << version;
        EXPECT_EQ(Store::stringForKeyInService(std::string("dv_uuidForDevice")), device) << version;
        reinstall();
        EXPECT_EQ(DVUUID::uuidsOfUserDevices().size(), 2u) << version;
    }
    // Written again there, the synchronised item is changed, not doubled.
    ASSERT_TRUE(shared->setString(device, listKey));
    EXPECT_EQ(rawItem(testService, listKey)[kSecAttrSynchronizable], Value(true));
    EXPECT_EQ(rawText(testService, listKey), device);
    EXPECT_EQ(rawCount(kSecClassGenericPassword), 2u) << "the device identifier and the list";
}
