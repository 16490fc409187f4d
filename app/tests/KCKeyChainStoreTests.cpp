// The keychain store's value families (read, write, remove; the class-level forms are walked by
// the device identifier's tests), the default service, the errors the store reports and its
// listings.
#include "app/tests/StoreTestSupport.h"


using Store = KCKeyChainStore;
using security::SecOperation;

TEST_F(StoreTest, DefaultServiceIsTheBundleIdentifierOrEmpty)
{
    auto bundle = [&](const std::string& name, const std::string& entries) {
        home_.useMainBundle(name, entries);
        Store::setDefaultService(std::nullopt);
    };
    bundle("a", "<key>CFBundleIdentifier</key><string>com.quillmark.app</string>");
    ASSERT_TRUE(Store::setStringForKeyInService("v", "k"));
    EXPECT_EQ(rawText("com.quillmark.app", "k"), "v");
    bundle("b", "");
    ASSERT_TRUE(Store::keyChainStore()->setString("w", "k"));
    EXPECT_EQ(rawText("", "k"), "w");
}

TEST_F(StoreTest, WritesReadsAndRemovesOneItemPerKey)
{
    auto store = Store::keyChainStore();
    EXPECT_TRUE(store->setString("粉丝 first", "name"));
    EXPECT_TRUE(store->setString("粉丝 second", "name"));
    EXPECT_EQ(store->stringForKey("name"), "粉丝 second");
    EXPECT_EQ(rawCount(kSecClassGenericPassword), 1u);
    store->setObjectForKeyedSubscript(std::nullopt, "name");
    EXPECT_FALSE(store->contains("name"));

    EXPECT_TRUE(store->setData(Bytes { 0xff, 0 }, "blob"));
    EXPECT_EQ(store->dataForKey("blob"), Bytes({ 0xff, 0 }));
    EXPECT_TRUE(store->setData(std::nullopt, "blob"));
    EXPECT_FALSE(store->contains("blob"));

    // A missing item is no failure: nothing read, the error slot untouched, removal succeeds.
    NSErrorRef error = NSError::errorWithDomain("untouched", 0);
    EXPECT_FALSE(store->stringForKey("never", &error));
    EXPECT_TRUE(store->removeItemForKey("never", &error));
    EXPECT_EQ(error->domain(), "untouched");
}

TEST_F(StoreTest, ItemsCarryTheStoreAttributesAndTheCallersExtras)
{
    auto store = Store::keyChainStoreWithService(std::string("svc"), std::string("grp"));
    ASSERT_TRUE(store->setString("v", "k", Value::array({ 1 }), std::string("label"), std::string("comment")));
    EXPECT_EQ(rawItem("svc", "k")[kSecAttrAccessGroup], Value("grp"));
    // A change replaces what it names and keeps the rest.
    store->setAccessibility(KCKeyChainStoreAccessibilityAlwaysThisDeviceOnly);
    ASSERT_TRUE(store->setString("w", "k", Value("generic 2")));
    Value item = rawItem("svc", "k");
    EXPECT_EQ(item[kSecAttrGeneric], Value("generic 2"));
    EXPECT_EQ(item[kSecAttrLabel], Value("label"));
    EXPECT_EQ(item[kSecAttrAccessible], Value(kSecAttrAccessibleAlwaysThisDeviceOnly));
    EXPECT_EQ(rawText("svc", "k"), "w");
}

TEST_F(StoreTest, TextThatIsNotUtf8IsAConversionError)
{
    auto store = Store::keyChainStore();
    ASSERT_TRUE(store->setData(Bytes { 0xff, 0xfe }, "bin"));
    NSErrorRef error;
    EXPECT_FALSE(store->stringForKey("bin", &error));
    expectStoreError(error, -67594, "failed to convert data to string");
    EXPECT_TRUE(logged("error: [-67594] failed to convert data to string"));
    EXPECT_EQ(store->allItems()[0]["value"], Value(Bytes { 0xff, 0xfe }));

    error = nullptr;
    EXPECT_FALSE(Store::setStringForKeyInService(std::string("\xc3\x28"), "bad", {}, {}, {}, &error));
    expectStoreError(error, -67594, "failed to convert string to data");
}

TEST_F(StoreTest, AMissingKeyIsAnArgumentError)
{
    auto store = Store::keyChainStore();
    std::vector<NSErrorRef> errors(5);
    EXPECT_FALSE(store->setString("v", std::nullopt, &errors[0]));
    EXPECT_FALSE(store->removeItemForKey(std::nullopt, &errors[1]));
    EXPECT_FALSE(store->stringForKey(std::nullopt, &errors[2]));
    EXPECT_FALSE(Store::dataForKeyInService(std::nullopt, {}, {}, &errors[3]));
    EXPECT_FALSE(Store::setStringForKeyInService(std::nullopt, std::nullopt, {}, {}, {}, &errors[4]));
    for (const auto& error : errors)
        expectStoreError(error, 1, "the key must not to be nil");
    EXPECT_FALSE(store->contains(std::nullopt));
    EXPECT_TRUE(logged("error: [1] the key must not to be nil"));
}

TEST_F(StoreTest, KeychainFailuresBecomeSecurityErrors)
{
    auto store = Store::keyChainStore();
    ASSERT_TRUE(store->setString("kept", "k"));
    struct Case {
        SecOperation operation;
        OSStatus status;
        std::function<bool(NSErrorRef*)> call;
    };
    const std::vector<Case> cases {
        { SecOperation::CopyMatching, errSecMissingEntitlement, [&](auto e) { return !!store->stringForKey("k", e); } },
        { SecOperation::CopyMatching, errSecParam, [&](auto e) { return store->setString("new", "k", e); } },
        { SecOperation::Update, errSecIO, [&](auto e) { return store->setString("new", "k", e); } },
        { SecOperation::Add, errSecDuplicateItem, [&](auto e) { return store->setString("v", "other", e); } },
        { SecOperation::Delete, errSecInteractionNotAllowed, [&](auto e) { return store->removeItemForKey("k", e); } },
        { SecOperation::Delete, errSecIO, [&](auto e) { return store->removeAllItems(e); } },
    };
    for (const auto& c : cases) {
        NSErrorRef error;
        security::injectStatus(c.operation, c.status);
        EXPECT_FALSE(c.call(&error)) << c.status;
        expectStoreError(error, c.status, "Security error has occurred.");
    }
    EXPECT_TRUE(logged("OSStatus error: [-34018] Security error has occurred."));
    EXPECT_EQ(store->allKeys(), Value::array({ "k" }));
    EXPECT_EQ(store->stringForKey("k"), "kept");

    // The keychain answers success but gives no data.
    NSErrorRef error;
    security::injectStatus(SecOperation::CopyMatching, errSecSuccess);
    EXPECT_FALSE(store->dataForKey("k", &error));
    expectStoreError(error, -99999, "Unexpected error has occurred.");
}

TEST_F(StoreTest, ListingsDescribeEachItem)
{
    auto store = Store::keyChainStoreWithService(std::string("svc"), std::string("grp"));
    ASSERT_TRUE(store->setString("text", "a"));
    ASSERT_TRUE(store->setData(Bytes { 0xff }, "b"));
    ASSERT_TRUE(Store::setStringForKeyInService("elsewhere", "c", std::string("other")));

    EXPECT_EQ(store->allKeys(), Value::array({ "a", "b" }));
    EXPECT_EQ(store->allItems()[0], Value::dictionary({ { "class", "GenericPassword" }, { "service", "svc" },
                                        { "accessGroup", "grp" }, { "key", "a" }, { "value", "text" },
                                        { "accessibility", kSecAttrAccessibleAfterFirstUnlock },
                                        { "synchronizable", false } }));
    EXPECT_EQ(store->items()[1][kSecValueData], Value(Bytes { 0xff }));

    // Class listings see every service; any class number but 2 means generic passwords.
    EXPECT_EQ(Store::allKeysWithItemClass(7).count(), 3u);
    EXPECT_EQ(Store::allItemsWithItemClass(1)[2]["service"], Value("other"));
    EXPECT_EQ(Store::allItemsWithItemClass(2), Value::array());

    security::injectStatus(security::SecOperation::CopyMatching, errSecIO, 3);
    EXPECT_TRUE(store->items().isAbsent());
    EXPECT_EQ(store->allItems(), Value::array());
    EXPECT_TRUE(Store::allKeysWithItemClass(1).isAbsent());
}

