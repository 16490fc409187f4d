// Fixture for the keychain-store and identifier tests: a fresh app home (keychain and user
// defaults) with the log captured, the keychain's seams cleared, release 8.0, a known default
// service, no cloud store.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "app/DVUUID.h"
#include "app/KCKeyChainStore.h"
#include "app/NSUbiquitousKeyValueStore.h"
#include "app/tests/ServerTestSupport.h"
#include "platform/persistence/NSBundle.h"
#include "platform/persistence/NSUserDefaults.h"
#include "platform/security/SecItem.h"
#include "platform/security/SecTestSeams.h"
#include "platform/uikit/UIScreen.h"

inline constexpr const char* testService = "com.quillmark.tests";

class StoreTest : public app::test::LoggedTest {
protected:
    StoreTest()
    {
        security::resetTestSeams();
        KCKeyChainStore::setDefaultService(std::string(testService));
        uikit::resetDeviceProfile();
    }
    ~StoreTest() override
    {
        DVUUID::resetSharedInstance();
        NSUbiquitousKeyValueStore::setDefaultStore(nullptr);
        security::resetTestSeams();
        KCKeyChainStore::setDefaultService(std::nullopt);
        NSBundle::setMainBundlePath("");
        uikit::resetDeviceProfile();
    }

    // The generic-password item as the keychain holds it, local or synchronised (absent if none).
    static Value rawItem(const std::string& service, const std::string& account)
    {
        Value result;
        SecItemCopyMatching(Value::dictionary({ { kSecClass, kSecClassGenericPassword }, { kSecAttrService, service },
                                { kSecAttrAccount, account }, { kSecAttrSynchronizable, kSecAttrSynchronizableAny },
                                { kSecReturnAttributes, true }, { kSecReturnData, true } }),
            &result);
        return result;
    }
    static std::string rawText(const std::string& service, const std::string& account)
    {
        Value item = rawItem(service, account);
        const Bytes& data = item[kSecValueData].asData();
        return std::string(data.begin(), data.end());
    }
    static std::size_t rawCount(const char* secClass)
    {
        Value result;
        SecItemCopyMatching(Value::dictionary({ { kSecClass, secClass }, { kSecMatchLimit, kSecMatchLimitAll },
                                { kSecAttrSynchronizable, kSecAttrSynchronizableAny }, { kSecReturnAttributes, true } }),
            &result);
        return result.count();
    }
    static void addRaw(const std::string& account, const std::string& text, bool synchronizable)
    {
        ASSERT_EQ(SecItemAdd(Value::dictionary({ { kSecClass, kSecClassGenericPassword },
                                 { kSecAttrService, testService }, { kSecAttrAccount, account },
                                 { kSecValueData, Bytes(text.begin(), text.end()) },
                                 { kSecAttrSynchronizable, synchronizable } }),
                      nullptr),
            errSecSuccess);
    }

    // The process ends and starts again: no object survives, the stores are read afresh.
    static void restartProcess()
    {
        DVUUID::resetSharedInstance();
        NSUserDefaults::resetStandardUserDefaults();
    }
    // The app deleted and installed again: its user defaults are gone, the keychain stays.
    void reinstall()
    {
        restartProcess();
        std::filesystem::remove_all(home_.pathFor("Library/Preferences"));
        NSUserDefaults::resetStandardUserDefaults();
    }
};

inline void expectStoreError(const NSErrorRef& error, std::int64_t code, const std::string& description)
{
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "com.quenmarrow.kckeychainstore");
    EXPECT_EQ(error->code(), code);
    EXPECT_EQ(error->userInfo(), Value::dictionary({ { NSLocalizedDescriptionKey, description } }));
}
