// AES sizes, round trips and bad keys; keychain store round trips, encodings and failures.
#include <gtest/gtest.h>

#include "platform/persistence/NSKeyedArchiver.h"
#include "platform/persistence/NSPropertyListSerialization.h"
#include "platform/security/SecItem.h"
#include "platform/security/SecTestSeams.h"
#include "push/Utilities/PUSHAES.h"
#include "push/Utilities/PUSHKeychain.h"
#include "push/Utilities/PUSHLog.h"
#include "testing/TempHome.h"
#include "testing/push/CapturingLogger.h"

namespace {

const std::string kKey = "ABCDEFGHIJKLMNOP_QRSTUVWXYZ_ABCD"; // 32 bytes

TEST(PushAES, SizesRoundTripsWrongKeysAndBadData)
{
    for (const auto& [text, size] : { std::pair<std::string, std::size_t> { "abc", 16 }, { std::string(16, 'x'), 32 } }) {
        auto sealed = PUSHAES::encrypt(text, kKey);
        ASSERT_TRUE(sealed);
        EXPECT_EQ(sealed->size(), size);
        EXPECT_EQ(PUSHAES::decrypt(*sealed, kKey), text);
    }
    auto three = PUSHAES::encrypt("abc", kKey);
    EXPECT_FALSE(PUSHAES::encrypt("", kKey));
    EXPECT_FALSE(PUSHAES::decrypt(Bytes {}, kKey));
    EXPECT_FALSE(PUSHAES::AES256EncryptData(Bytes {}, kKey));

    EXPECT_NE(PUSHAES::decrypt(*three, "ANOTHER_KEY_OF_THE_SAME_LENGTH_X"), std::optional<std::string>("abc"));
    EXPECT_FALSE(PUSHAES::AES256DecryptData(Bytes(15, 1), kKey)); // not whole blocks
    EXPECT_FALSE(PUSHAES::AES256DecryptData(Bytes(16, 0), kKey).has_value()
        && PUSHAES::AES256DecryptData(Bytes(16, 0), kKey)->size() > 16);
}

TEST(PushAES, DecryptGivesTextOnlyForUTF8)
{
    for (const Bytes& plain : { Bytes { 0xff, 0xfe, 'a' }, Bytes { 'a', 0xc3 }, Bytes { 0xed, 0xa0, 0x80 } }) {
        auto sealed = PUSHAES::AES256EncryptData(plain, kKey);
        ASSERT_TRUE(sealed);
        EXPECT_EQ(PUSHAES::AES256DecryptData(*sealed, kKey), plain); // the bytes are still there
        EXPECT_EQ(PUSHAES::decrypt(*sealed, kKey), std::nullopt);
    }
    auto sealed = PUSHAES::encrypt("中国移动", kKey);
    ASSERT_TRUE(sealed);
    EXPECT_EQ(PUSHAES::decrypt(*sealed, kKey), "中国移动");
}

TEST(PushAES, KeysUseTheirFirstSixteenBytes)
{
    Bytes data { 1, 2, 3 };
    EXPECT_EQ(PUSHAES::AES256EncryptData(data, kKey), PUSHAES::AES256EncryptData(data, kKey.substr(0, 16) + "zz"));
    // Texts over 32 bytes still key with their first 16 bytes.
    EXPECT_EQ(PUSHAES::AES256EncryptData(data, kKey + "_EXTRA_LONG_TAIL"), PUSHAES::AES256EncryptData(data, kKey));
    // Short keys are zero-filled, not read past their end.
    auto shortKey = PUSHAES::AES256EncryptData(data, "k");
    EXPECT_EQ(PUSHAES::AES256EncryptData(data, std::string("k\0\0", 3)), shortKey);
    EXPECT_EQ(PUSHAES::AES256DecryptData(*shortKey, "k"), data);
}

using push_test_support::CapturingLogger;

class PushKeychain : public ::testing::Test {
protected:
    void SetUp() override { PUSHLog::addLogger(logger); }
    void TearDown() override
    {
        PUSHLog::removeAllLoggers();
        PUSHLog::flushLog();
        security::resetTestSeams();
    }
    testing_support::TempHome home;
    std::shared_ptr<CapturingLogger> logger = std::make_shared<CapturingLogger>();
    PUSHKeychain store { "push.service", "", 4 };
};

TEST_F(PushKeychain, StringsAddUpdateAndRemove)
{
    EXPECT_TRUE(store.objectForKey("alias").isAbsent());
    EXPECT_TRUE(store.setObject("first", "alias"));
    EXPECT_TRUE(store.setObject("second", "alias"));
    EXPECT_EQ(store.objectForKey("alias").asString(), "second");
    EXPECT_EQ(store.dataForKey("alias").asData(), (Bytes { 's', 'e', 'c', 'o', 'n', 'd' }));
    Value found;
    EXPECT_EQ(SecItemCopyMatching(Value::dictionary({ { kSecClass, kSecClassGenericPassword },
                                      { kSecAttrAccount, "alias" }, { kSecReturnAttributes, true } }),
                  &found),
        errSecSuccess);
    EXPECT_EQ(found[kSecAttrAccessible].asString(), kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly);
    EXPECT_TRUE(logger->lines().empty()); // reading a missing key is silent

    EXPECT_TRUE(store.removeObjectForKey("alias"));
    EXPECT_TRUE(store.objectForKey("alias").isAbsent());
    EXPECT_FALSE(store.removeObjectForKey("alias"));
    EXPECT_EQ(logger->lines().back(), "PUSHKeychain failed to delete data for key 'alias', error: -25300");
}

TEST_F(PushKeychain, PropertyListValuesRoundTrip)
{
    Value identity = Value::dictionary({ { "uid", 42 }, { "tokens", Value::array({ "a", "b" }) } });
    EXPECT_TRUE(store.setObject(identity, "identity"));
    EXPECT_EQ(store.objectForKey("identity"), identity);
    // A string that is itself a binary property list is never stored as bare bytes (it would
    // read back as the list inside); here its NUL bytes can't go into a property list string,
    // so it is refused and the stored value stays.
    auto plist = NSPropertyListSerialization::dataWithPropertyList(Value("x"), NSPropertyListBinaryFormat_v1_0);
    ASSERT_TRUE(plist);
    std::string tricky(plist->begin(), plist->end());
    EXPECT_TRUE(store.setObject("before", "tricky"));
    EXPECT_FALSE(store.setObject(tricky, "tricky"));
    EXPECT_EQ(store.objectForKey("tricky").asString(), "before");
    // A value that can't be a property list is refused and leaves the item alone.
    EXPECT_FALSE(store.setObject(Value::dictionary({ { "n", Value::null() } }), "tricky"));
    EXPECT_EQ(store.objectForKey("tricky").asString(), "before");
}

TEST_F(PushKeychain, KeyedArchivesAreRefusedAndFailuresLogged)
{
    Value archive = Value::dictionary({ { "$archiver", "NSKeyedArchiver" }, { "$version", 100000 } });
    auto bytes = NSPropertyListSerialization::dataWithPropertyList(archive, NSPropertyListBinaryFormat_v1_0);
    ASSERT_TRUE(bytes);
    ASSERT_EQ(SecItemAdd(Value::dictionary({ { kSecClass, kSecClassGenericPassword }, { kSecAttrService, "push.service" },
                             { kSecAttrAccount, "archived" }, { kSecValueData, *bytes } }),
                  nullptr),
        errSecSuccess);
    EXPECT_TRUE(store.objectForKey("archived").isAbsent());
    EXPECT_EQ(logger->lines().back().rfind("PUSHKeychain failed to decode data for key 'archived'", 0), 0u);
    // Bytes that are neither a property list nor UTF-8 text are nothing this store wrote.
    ASSERT_EQ(SecItemAdd(Value::dictionary({ { kSecClass, kSecClassGenericPassword }, { kSecAttrService, "push.service" },
                             { kSecAttrAccount, "garbled" }, { kSecValueData, Bytes { 'o', 'k', 0xFF, 0xC3 } } }),
                  nullptr),
        errSecSuccess);
    EXPECT_TRUE(store.objectForKey("garbled").isAbsent());
    EXPECT_EQ(logger->lines().back().rfind("PUSHKeychain failed to decode data for key 'garbled'", 0), 0u);

    security::injectStatus(security::SecOperation::CopyMatching, errSecInteractionNotAllowed);
    EXPECT_TRUE(store.dataForKey("archived").isAbsent());
    EXPECT_EQ(logger->lines().back(), "PUSHKeychain failed to retrieve data for key 'archived', error: -25308");
    security::injectStatus(security::SecOperation::Add, errSecIO);
    EXPECT_FALSE(store.setObject("v", "fresh"));
    EXPECT_EQ(logger->lines().back(), "PUSHKeychain failed to store data for key 'fresh', error: -36");
}

} // namespace
