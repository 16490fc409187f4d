// The keychain store's listings and printed form, and the passwords shared with the web site.
#include "app/tests/StoreTestSupport.h"

#include <future>

#include "platform/foundation/NSString.h"

using Store = KCKeyChainStore;

namespace {

// The value a completion on another thread hands over (the test fails after five seconds).
template <typename T>
T answer(std::promise<T>& promise)
{
    auto future = promise.get_future();
    EXPECT_EQ(future.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    return future.get();
}

}

TEST_F(StoreTest, ListingsDescribeEachItem)
{
    auto store = Store::keyChainStoreWithService(std::string("svc"), std::string("grp"));
    EXPECT_EQ(store->allItems(), Value::array());
    EXPECT_EQ(store->description(), "()");
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

TEST_F(StoreTest, SharedPasswordsOfTheServersHost)
{
    auto credential = [](const char* server, const char* account, const char* password) {
        return Value::dictionary(
            { { kSecAttrServer, server }, { kSecAttrAccount, account }, { kSecSharedPassword, password } });
    };
    security::setSharedWebCredentials(
        Value::array({ credential("example.com", "alice", "pw-a"), credential("example.org", "bob", "pw-b") }));

    std::promise<Value> all;
    Store::requestSharedWebCredentialWithCompletion([&](Value found, NSErrorRef) { all.set_value(found); });
    EXPECT_EQ(answer(all),
        Value::array({ Value::dictionary({ { "server", "example.com" }, { "account", "alice" }, { "password", "pw-a" } }) }));

    auto web = Store::keyChainStoreWithServer(*NSURL::URLWithString("https://example.org/"),
        KCKeyChainStoreProtocolTypeHTTPS);
    std::promise<std::string> first;
    web->sharedPasswordWithCompletion(
        [&](auto account, auto password, NSErrorRef) { first.set_value(*account + ":" + *password); });
    std::promise<NSErrorRef> added;
    web->setSharedPassword(std::string("pw-c"), "carol", [&](NSErrorRef error) { added.set_value(error); });
    EXPECT_EQ(answer(first), "bob:pw-b");
    EXPECT_FALSE(answer(added));
    EXPECT_EQ(security::sharedWebCredentials()[2], credential("example.org", "carol", "pw-c"));

    // A failure other than "not found" is logged and handed on.
    security::failNextSharedWebCredentialCall(NSError::errorWithDomain(NSOSStatusErrorDomain, errSecUserCanceled));
    std::promise<NSErrorRef> canceled;
    web->sharedPasswordForAccount("bob", [&](auto, NSErrorRef error) { canceled.set_value(error); });
    auto error = answer(canceled);
    ASSERT_TRUE(error);
    EXPECT_TRUE(logged(NSString::stringWithFormat("error: [-128] %@", error->localizedDescription())));
}

TEST_F(StoreTest, SharedPasswordsNeedAServerHost)
{
    const std::string message = "the server property must not to be nil, should use "
                                "'keyChainStoreWithServer:protocolType:' initializer to instantiate keychain store";
    auto hostless = Store::keyChainStoreWithServer(*NSURL::URLWithString("file:///tmp"), KCKeyChainStoreProtocolTypeFTP);
    std::vector<NSErrorRef> errors;
    hostless->sharedPasswordWithCompletion([&](auto, auto, NSErrorRef e) { errors.push_back(e); });
    hostless->removeSharedPasswordForAccount("a", [&](NSErrorRef e) { errors.push_back(e); });
    Store::keyChainStore()->sharedPasswordForAccount("a", [&](auto, NSErrorRef e) { errors.push_back(e); });
    ASSERT_EQ(errors.size(), 3u);
    for (const auto& error : errors)
        expectStoreError(error, 1, message);
}
