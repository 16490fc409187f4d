// The keychain's item operations as callers meet them: statuses, what comes back, matching
// of synchronised and local items, internet items, protection and persistence on disk.
#include "platform/security/SecAccessControl.h"
#include "platform/security/SecItem.h"
#include "platform/security/SecTestSeams.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "testing/TempHome.h"

#include <filesystem>

namespace {

Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

Value generic(const std::string& account, Value extra = Value::dictionary())
{
    Value q = Value::dictionary({ { kSecClass, kSecClassGenericPassword }, { kSecAttrService, "svc" },
        { kSecAttrAccount, account } });
    for (const auto& [k, v] : extra.asDictionary())
        q.set(k, v);
    return q;
}

Value with(Value q, const std::string& key, Value v)
{
    q.set(key, std::move(v));
    return q;
}

class Keychain : public ::testing::Test {
protected:
    void SetUp() override { security::resetTestSeams(); }
    void TearDown() override { security::resetTestSeams(); }
    testing_support::TempHome home;
};

}

TEST_F(Keychain, AddReadUpdateDeleteWithEveryStatusInAPrivateFile)
{
    EXPECT_EQ(SecItemAdd(with(generic("k"), kSecValueData, bytes("one")), nullptr), errSecSuccess);
    EXPECT_EQ(SecItemAdd(with(generic("k"), kSecValueData, bytes("two")), nullptr), errSecDuplicateItem);
    struct stat st {};
    ASSERT_EQ(stat((std::filesystem::path(home.path()) / "Library/Keychains/keychain.sqlite").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the items live in a file only the app reads";

    Value result;
    EXPECT_EQ(SecItemCopyMatching(with(generic("k"), kSecReturnData, true), &result), errSecSuccess);
    EXPECT_EQ(result, Value(bytes("one")));

    EXPECT_EQ(SecItemUpdate(generic("k"), Value::dictionary({ { kSecValueData, bytes("three") } })), errSecSuccess);
    EXPECT_EQ(SecItemCopyMatching(with(generic("k"), kSecReturnData, true), &result), errSecSuccess);
    EXPECT_EQ(result, Value(bytes("three")));

    EXPECT_EQ(SecItemUpdate(generic("nope"), Value::dictionary({ { kSecValueData, bytes("x") } })),
        errSecItemNotFound);
    EXPECT_EQ(SecItemDelete(generic("k")), errSecSuccess);
    EXPECT_EQ(SecItemDelete(generic("k")), errSecItemNotFound);
    result = Value("stale");
    EXPECT_EQ(SecItemCopyMatching(with(generic("k"), kSecReturnData, true), &result), errSecItemNotFound);
    EXPECT_TRUE(result.isAbsent());
}

TEST_F(Keychain, AttributesComeBackWithDefaultsAndDataOnRequest)
{
    Value add = generic("k", Value::dictionary({ { kSecValueData, bytes("secret") }, { kSecAttrLabel, "L" },
                                 { kSecAttrComment, "C" },
                                 { kSecAttrGeneric, Value::dictionary({ { "n", 5 }, { "list", Value::array({ "a" }) } }) } }));
    ASSERT_EQ(SecItemAdd(add, nullptr), errSecSuccess);

    Value attributes;
    ASSERT_EQ(SecItemCopyMatching(with(generic("k"), kSecReturnAttributes, true), &attributes), errSecSuccess);
    EXPECT_EQ(attributes[kSecClass], Value(kSecClassGenericPassword));
    EXPECT_EQ(attributes[kSecAttrService], Value("svc"));
    EXPECT_EQ(attributes[kSecAttrSynchronizable], Value(false));
    EXPECT_EQ(attributes[kSecAttrAccessible], Value(kSecAttrAccessibleWhenUnlocked));
    EXPECT_EQ(attributes[kSecAttrGeneric]["list"][0], Value("a"));
    EXPECT_EQ(attributes[kSecAttrLabel], Value("L"));
    EXPECT_FALSE(attributes.contains(kSecValueData));

    Value both;
    ASSERT_EQ(SecItemCopyMatching(
                  with(with(generic("k"), kSecReturnAttributes, true), kSecReturnData, true), &both),
        errSecSuccess);
    EXPECT_EQ(both[kSecValueData], Value(bytes("secret")));

    // A probe without return keys reports existence only.
    Value probe("untouched");
    EXPECT_EQ(SecItemCopyMatching(generic("k"), &probe), errSecSuccess);
    EXPECT_TRUE(probe.isAbsent());
    EXPECT_EQ(SecItemCopyMatching(generic("k"), nullptr), errSecSuccess);
}

TEST_F(Keychain, MalformedDictionariesAreParameterErrors)
{
    EXPECT_EQ(SecItemAdd(Value::dictionary({ { kSecAttrAccount, "k" } }), nullptr), errSecParam);
    EXPECT_EQ(SecItemAdd(Value::dictionary({ { kSecClass, "certificate" } }), nullptr), errSecParam);
    EXPECT_EQ(SecItemAdd(Value("not a dictionary"), nullptr), errSecParam);
    EXPECT_EQ(SecItemAdd(with(generic("k"), "unknownKey", 1), nullptr), errSecParam);
    EXPECT_EQ(SecItemAdd(with(generic("k"), kSecValueData, "text, not data"), nullptr), errSecParam);
    EXPECT_EQ(SecItemAdd(with(generic("k"), kSecAttrAccessible, "sometimes"), nullptr), errSecParam);
    EXPECT_EQ(SecItemAdd(with(generic("k"), kSecAttrSynchronizable, kSecAttrSynchronizableAny), nullptr), errSecParam);
    EXPECT_EQ(SecItemAdd(with(generic("k"), kSecAttrServer, "host"), nullptr), errSecParam);
    EXPECT_EQ(SecItemCopyMatching(with(generic("k"), kSecMatchLimit, "three"), nullptr), errSecParam);
    EXPECT_EQ(SecItemCopyMatching(with(generic("k"), kSecAttrAccount, 7), nullptr), errSecParam);
    EXPECT_EQ(SecItemDelete(with(generic("k"), kSecReturnData, true)), errSecParam);

    // Malformed changes are refused even when nothing matches, and change nothing.
    ASSERT_EQ(SecItemAdd(with(generic("k"), kSecValueData, bytes("v")), nullptr), errSecSuccess);
    EXPECT_EQ(SecItemUpdate(generic("absent"), Value::dictionary({ { kSecValueData, "text" } })), errSecParam);
    EXPECT_EQ(SecItemUpdate(generic("k"), Value::dictionary({ { kSecClass, kSecClassInternetPassword } })),
        errSecParam);
    EXPECT_EQ(SecItemUpdate(generic("k"), Value::dictionary({ { kSecAttrSynchronizable, kSecAttrSynchronizableAny } })),
        errSecParam);
    Value data;
    EXPECT_EQ(SecItemCopyMatching(with(generic("k"), kSecReturnData, true), &data), errSecSuccess);
    EXPECT_EQ(data, Value(bytes("v")));
}

TEST_F(Keychain, SynchronizedAndLocalItemsAreMatchedApartAndNeverMadeEqual)
{
    ASSERT_EQ(SecItemAdd(with(generic("id"), kSecValueData, bytes("local")), nullptr), errSecSuccess);
    Value synced = with(with(generic("id"), kSecValueData, bytes("cloud")), kSecAttrSynchronizable, true);
    ASSERT_EQ(SecItemAdd(synced, nullptr), errSecSuccess); // same account, other item
    ASSERT_EQ(SecItemAdd(synced, nullptr), errSecDuplicateItem);

    Value result;
    ASSERT_EQ(SecItemCopyMatching(with(generic("id"), kSecReturnData, true), &result), errSecSuccess);
    EXPECT_EQ(result, Value(bytes("local"))); // no synchronizable key: local items only
    ASSERT_EQ(SecItemCopyMatching(
                  with(with(generic("id"), kSecReturnData, true), kSecAttrSynchronizable, true), &result),
        errSecSuccess);
    EXPECT_EQ(result, Value(bytes("cloud")));

    Value anyQuery = with(generic("id"), kSecAttrSynchronizable, kSecAttrSynchronizableAny);
    Value all = with(with(anyQuery, kSecReturnData, true), kSecMatchLimit, kSecMatchLimitAll);
    ASSERT_EQ(SecItemCopyMatching(all, &result), errSecSuccess);
    EXPECT_EQ(result, Value::array({ bytes("local"), bytes("cloud") }));

    // Making the synchronised one local would give two equal items: the update changes nothing.
    EXPECT_EQ(SecItemUpdate(anyQuery, Value::dictionary({ { kSecAttrSynchronizable, false }, { kSecValueData, bytes("new") } })),
        errSecDuplicateItem);
    ASSERT_EQ(SecItemCopyMatching(all, &result), errSecSuccess);
    EXPECT_EQ(result, Value::array({ bytes("local"), bytes("cloud") }));

    // Only a synchronised item left: a plain query no longer sees it, "any" does.
    ASSERT_EQ(SecItemDelete(generic("id")), errSecSuccess);
    EXPECT_EQ(SecItemCopyMatching(generic("id"), nullptr), errSecItemNotFound);
    EXPECT_EQ(SecItemCopyMatching(anyQuery, nullptr), errSecSuccess);
    EXPECT_EQ(SecItemDelete(anyQuery), errSecSuccess);
    EXPECT_EQ(SecItemCopyMatching(anyQuery, nullptr), errSecItemNotFound);
}

TEST_F(Keychain, InternetItemsByHostPortProtocolAndAuthenticationType)
{
    auto internet = [](Value port, const char* protocol, const char* account) {
        Value q = Value::dictionary({ { kSecClass, kSecClassInternetPassword }, { kSecAttrServer, "example.org" },
            { kSecAttrProtocol, protocol }, { kSecAttrAuthenticationType, kSecAttrAuthenticationTypeDefault },
            { kSecAttrAccount, account } });
        if (!port.isAbsent())
            q.set(kSecAttrPort, port);
        return q;
    };
    ASSERT_EQ(SecItemAdd(with(internet(443, kSecAttrProtocolHTTPS, "u"), kSecValueData, bytes("a")), nullptr), errSecSuccess);
    ASSERT_EQ(SecItemAdd(with(internet(8443, kSecAttrProtocolHTTPS, "u"), kSecValueData, bytes("b")), nullptr), errSecSuccess);
    ASSERT_EQ(SecItemAdd(with(internet(443, kSecAttrProtocolHTTP, "u"), kSecValueData, bytes("c")), nullptr), errSecSuccess);
    EXPECT_EQ(SecItemAdd(internet(443, kSecAttrProtocolHTTPS, "u"), nullptr), errSecDuplicateItem);
    EXPECT_EQ(SecItemAdd(with(internet(443, kSecAttrProtocolHTTPS, "u"), kSecAttrGeneric, bytes("g")), nullptr),
        errSecParam); // generic attribute belongs to generic passwords
    EXPECT_EQ(SecItemAdd(internet("443", kSecAttrProtocolHTTPS, "v"), nullptr), errSecParam);

    Value result;
    ASSERT_EQ(SecItemCopyMatching(with(internet(8443, kSecAttrProtocolHTTPS, "u"), kSecReturnData, true), &result),
        errSecSuccess);
    EXPECT_EQ(result, Value(bytes("b")));

    Value byHost = Value::dictionary({ { kSecClass, kSecClassInternetPassword }, { kSecAttrServer, "example.org" },
        { kSecMatchLimit, kSecMatchLimitAll }, { kSecReturnAttributes, true } });
    ASSERT_EQ(SecItemCopyMatching(byHost, &result), errSecSuccess);
    ASSERT_EQ(result.count(), 3u);
    EXPECT_EQ(result[1][kSecAttrPort], Value(8443));
    EXPECT_EQ(result[2][kSecAttrProtocol], Value(kSecAttrProtocolHTTP));

    // A generic-password query never sees internet items.
    EXPECT_EQ(SecItemCopyMatching(Value::dictionary({ { kSecClass, kSecClassGenericPassword } }), nullptr),
        errSecItemNotFound);
    EXPECT_EQ(SecItemDelete(Value::dictionary({ { kSecClass, kSecClassInternetPassword }, { kSecAttrPort, 443 } })),
        errSecSuccess);
    ASSERT_EQ(SecItemCopyMatching(byHost, &result), errSecSuccess);
    EXPECT_EQ(result.count(), 1u);
}

TEST_F(Keychain, AccessGroupsSeparateItemsAndAQueryWithoutGroupSeesAll)
{
    ASSERT_EQ(SecItemAdd(with(generic("k"), kSecAttrAccessGroup, "team.a"), nullptr), errSecSuccess);
    ASSERT_EQ(SecItemAdd(with(generic("k"), kSecAttrAccessGroup, "team.b"), nullptr), errSecSuccess);
    EXPECT_EQ(SecItemAdd(with(generic("k"), kSecAttrAccessGroup, "team.b"), nullptr), errSecDuplicateItem);
    Value all;
    ASSERT_EQ(SecItemCopyMatching(with(with(generic("k"), kSecMatchLimit, kSecMatchLimitAll), kSecReturnAttributes, true), &all),
        errSecSuccess);
    EXPECT_EQ(all.count(), 2u);
    ASSERT_EQ(SecItemDelete(with(generic("k"), kSecAttrAccessGroup, "team.a")), errSecSuccess);
    ASSERT_EQ(SecItemCopyMatching(with(generic("k"), kSecReturnAttributes, true), &all), errSecSuccess);
    EXPECT_EQ(all[kSecAttrAccessGroup], Value("team.b"));
}

TEST_F(Keychain, ProtectedItemsRefuseSearchesThatForbidAuthentication)
{
    NSErrorRef error;
    auto control = SecAccessControlCreateWithFlags(kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly,
        kSecAccessControlUserPresence, &error);
    ASSERT_TRUE(control);
    ASSERT_EQ(SecItemAdd(with(with(generic("k"), kSecAttrAccessControl, control), kSecValueData, bytes("v")), nullptr),
        errSecSuccess);

    EXPECT_EQ(SecItemCopyMatching(with(generic("k"), kSecUseNoAuthenticationUI, true), nullptr),
        errSecInteractionNotAllowed);
    EXPECT_EQ(SecItemCopyMatching(with(generic("k"), kSecUseAuthenticationUI, kSecUseAuthenticationUIFail), nullptr),
        errSecInteractionNotAllowed);
    Value attributes;
    ASSERT_EQ(SecItemCopyMatching(with(with(generic("k"), kSecReturnAttributes, true), kSecUseOperationPrompt, "Why"),
                  &attributes),
        errSecSuccess);
    EXPECT_EQ(attributes[kSecAttrAccessible], Value(kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly));
    EXPECT_TRUE(attributes[kSecAttrAccessControl].asObject<SecAccessControl>());

    // A new item may say how to ask the user; that is not stored, and a prompt must be text.
    ASSERT_EQ(SecItemAdd(with(with(generic("p"), kSecValueData, bytes("v")), kSecUseOperationPrompt, "Why"), nullptr),
        errSecSuccess);
    EXPECT_EQ(SecItemAdd(with(generic("q"), kSecUseOperationPrompt, 7), nullptr), errSecParam);
    Value added;
    ASSERT_EQ(SecItemCopyMatching(with(generic("p"), kSecReturnAttributes, true), &added), errSecSuccess);
    EXPECT_FALSE(added.contains(kSecUseOperationPrompt));

    // A protected item cannot travel to other devices.
    EXPECT_EQ(SecItemUpdate(generic("k"), Value::dictionary({ { kSecAttrSynchronizable, true } })), errSecParam);
    EXPECT_EQ(SecItemAdd(with(with(generic("j"), kSecAttrAccessControl, control), kSecAttrSynchronizable, true), nullptr),
        errSecParam);

    // A plain accessibility replaces the protection.
    ASSERT_EQ(SecItemUpdate(generic("k"), Value::dictionary({ { kSecAttrAccessible, kSecAttrAccessibleAfterFirstUnlock } })),
        errSecSuccess);
    EXPECT_EQ(SecItemCopyMatching(with(generic("k"), kSecUseNoAuthenticationUI, true), nullptr), errSecSuccess);
}

TEST_F(Keychain, InjectedStatusesAnswerWithoutTouchingTheStore)
{
    security::injectStatus(security::SecOperation::Add, errSecInteractionNotAllowed);
    EXPECT_EQ(SecItemAdd(generic("k"), nullptr), errSecInteractionNotAllowed);
    EXPECT_EQ(SecItemCopyMatching(generic("k"), nullptr), errSecItemNotFound); // nothing was stored
    EXPECT_EQ(SecItemAdd(generic("k"), nullptr), errSecSuccess); // consumed

    // Only calls naming the account, and for as long as asked.
    security::injectStatus(security::SecOperation::CopyMatching, errSecMissingEntitlement, -1, "k");
    EXPECT_EQ(SecItemCopyMatching(generic("k"), nullptr), errSecMissingEntitlement);
    EXPECT_EQ(SecItemCopyMatching(generic("k"), nullptr), errSecMissingEntitlement);
    EXPECT_EQ(SecItemCopyMatching(generic("other"), nullptr), errSecItemNotFound);
    security::clearInjectedStatuses();
    EXPECT_EQ(SecItemCopyMatching(generic("k"), nullptr), errSecSuccess);

    security::injectStatus(security::SecOperation::Delete, errSecInteractionNotAllowed, 2);
    EXPECT_EQ(SecItemDelete(generic("k")), errSecInteractionNotAllowed);
    EXPECT_EQ(SecItemDelete(generic("k")), errSecInteractionNotAllowed);
    EXPECT_EQ(SecItemDelete(generic("k")), errSecSuccess);

    security::injectStatus(security::SecOperation::Update, errSecIO);
    EXPECT_EQ(SecItemUpdate(generic("k"), Value::dictionary()), errSecIO);
}
