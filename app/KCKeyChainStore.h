// KCKeyChainStore: small string or data values under string keys in the keychain, either as
// generic passwords of one service or as internet passwords of one server, with an optional
// access group, cloud synchronisation, an accessibility class and a user-presence policy; plus
// the passwords the app shares with its web site.
//
// Every failure is a false or empty result plus, when the caller passed an error slot, an error
// of the domain "com.quenmarrow.kckeychainstore". A missing item is not a failure.
//
// Class-level operations that share a name with an instance operation are spelled with
// "InService" (stringForKeyInService for the class form of stringForKey, and so on).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/security/SecBase.h"

inline constexpr const char* KCKeyChainStoreErrorDomain = "com.quenmarrow.kckeychainstore";

enum KCKeyChainStoreErrorCode : std::int64_t {
    KCKeyChainStoreErrorInvalidArguments = 1,
    KCKeyChainStoreErrorConversionError = -67594,
    KCKeyChainStoreErrorUnexpectedError = -99999,
};

enum KCKeyChainStoreItemClass : std::int64_t {
    KCKeyChainStoreItemClassGenericPassword = 1,
    KCKeyChainStoreItemClassInternetPassword = 2,
};

enum KCKeyChainStoreProtocolType : std::int64_t {
    KCKeyChainStoreProtocolTypeFTP = 1,
    KCKeyChainStoreProtocolTypeFTPAccount,
    KCKeyChainStoreProtocolTypeHTTP,
    KCKeyChainStoreProtocolTypeIRC,
    KCKeyChainStoreProtocolTypeNNTP,
    KCKeyChainStoreProtocolTypePOP3,
    KCKeyChainStoreProtocolTypeSMTP,
    KCKeyChainStoreProtocolTypeSOCKS,
    KCKeyChainStoreProtocolTypeIMAP,
    KCKeyChainStoreProtocolTypeLDAP,
    KCKeyChainStoreProtocolTypeAppleTalk,
    KCKeyChainStoreProtocolTypeAFP,
    KCKeyChainStoreProtocolTypeTelnet,
    KCKeyChainStoreProtocolTypeSSH,
    KCKeyChainStoreProtocolTypeFTPS,
    KCKeyChainStoreProtocolTypeHTTPS,
    KCKeyChainStoreProtocolTypeHTTPProxy,
    KCKeyChainStoreProtocolTypeHTTPSProxy,
    KCKeyChainStoreProtocolTypeFTPProxy,
    KCKeyChainStoreProtocolTypeSMB,
    KCKeyChainStoreProtocolTypeRTSP,
    KCKeyChainStoreProtocolTypeRTSPProxy,
    KCKeyChainStoreProtocolTypeDAAP,
    KCKeyChainStoreProtocolTypeEPPC,
    KCKeyChainStoreProtocolTypeNNTPS,
    KCKeyChainStoreProtocolTypeLDAPS,
    KCKeyChainStoreProtocolTypeTelnetS,
    KCKeyChainStoreProtocolTypeIRCS,
    KCKeyChainStoreProtocolTypePOP3S,
};

enum KCKeyChainStoreAuthenticationType : std::int64_t {
    KCKeyChainStoreAuthenticationTypeNTLM = 1,
    KCKeyChainStoreAuthenticationTypeMSN,
    KCKeyChainStoreAuthenticationTypeDPA,
    KCKeyChainStoreAuthenticationTypeRPA,
    KCKeyChainStoreAuthenticationTypeHTTPBasic,
    KCKeyChainStoreAuthenticationTypeHTTPDigest,
    KCKeyChainStoreAuthenticationTypeHTMLForm,
    KCKeyChainStoreAuthenticationTypeDefault,
};

enum KCKeyChainStoreAccessibility : std::int64_t {
    KCKeyChainStoreAccessibilityWhenUnlocked = 1,
    KCKeyChainStoreAccessibilityAfterFirstUnlock,
    KCKeyChainStoreAccessibilityAlways,
    KCKeyChainStoreAccessibilityWhenPasscodeSetThisDeviceOnly,
    KCKeyChainStoreAccessibilityWhenUnlockedThisDeviceOnly,
    KCKeyChainStoreAccessibilityAfterFirstUnlockThisDeviceOnly,
    KCKeyChainStoreAccessibilityAlwaysThisDeviceOnly,
};

// Flags handed unchanged to the keychain's access-control creation.
using KCKeyChainStoreAuthenticationPolicy = std::int64_t;
inline constexpr KCKeyChainStoreAuthenticationPolicy KCKeyChainStoreAuthenticationPolicyUserPresence = 1;

class KCKeyChainStore final : public NSObject {
public:
    using OptionalString = std::optional<std::string>;

    // The process-wide default service: the main bundle's identifier ("" without one) until
    // replaced. Setting none makes it again from the bundle on next use.
    static std::string defaultService();
    static void setDefaultService(OptionalString service);

    // Construction. No service means the default service; no authentication type means
    // KCKeyChainStoreAuthenticationTypeDefault.
    static std::shared_ptr<KCKeyChainStore> keyChainStore();
    static std::shared_ptr<KCKeyChainStore> keyChainStoreWithService(
        const OptionalString& service, const OptionalString& accessGroup = std::nullopt);
    static std::shared_ptr<KCKeyChainStore> keyChainStoreWithServer(const NSURL& server,
        KCKeyChainStoreProtocolType protocolType,
        KCKeyChainStoreAuthenticationType authenticationType = KCKeyChainStoreAuthenticationTypeDefault);

    // Properties.
    bool synchronizable() const { return synchronizable_; }
    // Logs a warning when an authentication policy is set; the flag is stored all the same.
    void setSynchronizable(bool synchronizable);
    KCKeyChainStoreItemClass itemClass() const { return itemClass_; }
    const OptionalString& service() const { return service_; }
    const OptionalString& accessGroup() const { return accessGroup_; }
    const std::optional<NSURL>& server() const { return server_; }
    KCKeyChainStoreProtocolType protocolType() const { return protocolType_; }
    KCKeyChainStoreAuthenticationType authenticationType() const { return authenticationType_; }
    KCKeyChainStoreAccessibility accessibility() const { return accessibility_; }
    void setAccessibility(KCKeyChainStoreAccessibility accessibility) { accessibility_ = accessibility; }
    // Logs a warning when the store is synchronizable; both are stored all the same.
    void setAccessibility(KCKeyChainStoreAccessibility accessibility, KCKeyChainStoreAuthenticationPolicy policy);
    KCKeyChainStoreAuthenticationPolicy authenticationPolicy() const { return authenticationPolicy_; }
    const OptionalString& authenticationPrompt() const { return authenticationPrompt_; }
    void setAuthenticationPrompt(OptionalString prompt) { authenticationPrompt_ = std::move(prompt); }

    // Reading. None for a missing item (the error slot is left alone).
    OptionalString stringForKey(const OptionalString& key, NSErrorRef* error = nullptr) const;
    std::optional<Bytes> dataForKey(const OptionalString& key, NSErrorRef* error = nullptr) const;
    OptionalString objectForKeyedSubscript(const OptionalString& key) const { return stringForKey(key); }

    // Writing: adds the item or changes the one with that key. No value removes the item.
    // `genericAttribute` (any property-list value; absent for none), label and comment go on the item.
    bool setString(const OptionalString& value, const OptionalString& key, const Value& genericAttribute = {},
        const OptionalString& label = std::nullopt, const OptionalString& comment = std::nullopt,
        NSErrorRef* error = nullptr);
    bool setString(const OptionalString& value, const OptionalString& key, NSErrorRef* error)
    {
        return setString(value, key, Value(), std::nullopt, std::nullopt, error);
    }
    bool setData(const std::optional<Bytes>& value, const OptionalString& key, const Value& genericAttribute = {},
        const OptionalString& label = std::nullopt, const OptionalString& comment = std::nullopt,
        NSErrorRef* error = nullptr);
    bool setData(const std::optional<Bytes>& value, const OptionalString& key, NSErrorRef* error)
    {
        return setData(value, key, Value(), std::nullopt, std::nullopt, error);
    }
    void setObjectForKeyedSubscript(const OptionalString& value, const OptionalString& key);

    // Removing. A missing item is removed successfully.
    bool removeItemForKey(const OptionalString& key, NSErrorRef* error = nullptr);
    bool removeAllItems(NSErrorRef* error = nullptr);
    bool contains(const OptionalString& key) const;

    // Listings of this store's scope. items(): the keychain's raw attribute dictionaries
    // (absent on failure); allItems(): item dictionaries ("class", "key", "value", ...);
    // allKeys(): their "key" entries.
    Value items() const;
    Value allItems() const;
    Value allKeys() const;

    // Class-level operations over a service (none: the default service) and access group.
    static OptionalString stringForKeyInService(const OptionalString& key, const OptionalString& service = std::nullopt,
        const OptionalString& accessGroup = std::nullopt, NSErrorRef* error = nullptr);
    static std::optional<Bytes> dataForKeyInService(const OptionalString& key,
        const OptionalString& service = std::nullopt, const OptionalString& accessGroup = std::nullopt,
        NSErrorRef* error = nullptr);
    static bool setStringForKeyInService(const OptionalString& value, const OptionalString& key,
        const OptionalString& service = std::nullopt, const OptionalString& accessGroup = std::nullopt,
        const Value& genericAttribute = {}, NSErrorRef* error = nullptr);
    static bool setDataForKeyInService(const std::optional<Bytes>& value, const OptionalString& key,
        const OptionalString& service = std::nullopt, const OptionalString& accessGroup = std::nullopt,
        const Value& genericAttribute = {}, NSErrorRef* error = nullptr);
    static bool removeItemForKeyInService(const OptionalString& key, const OptionalString& service = std::nullopt,
        const OptionalString& accessGroup = std::nullopt, NSErrorRef* error = nullptr);
    static bool removeAllItemsForService(const OptionalString& service = std::nullopt,
        const OptionalString& accessGroup = std::nullopt, NSErrorRef* error = nullptr);

    // Every item of a class the app can see (2: internet passwords, else generic passwords).
    // Absent on failure.
    static Value allKeysWithItemClass(std::int64_t itemClass);
    static Value allItemsWithItemClass(std::int64_t itemClass);

    // Shared web credentials. Completions run on the thread the keychain answers on.
    using CredentialsCompletion = std::function<void(Value credentials, NSErrorRef error)>;
    static void requestSharedWebCredentialForDomain(
        const OptionalString& domain, const OptionalString& account, CredentialsCompletion completion);
    static void requestSharedWebCredentialWithCompletion(CredentialsCompletion completion);
    static std::string generatePassword();
    void sharedPasswordWithCompletion(
        std::function<void(OptionalString account, OptionalString password, NSErrorRef error)> completion) const;
    void sharedPasswordForAccount(const std::string& account,
        std::function<void(OptionalString password, NSErrorRef error)> completion) const;
    void setSharedPassword(const OptionalString& password, const std::string& account,
        std::function<void(NSErrorRef error)> completion) const;
    void removeSharedPasswordForAccount(const std::string& account, std::function<void(NSErrorRef error)> completion) const;

    // Errors of the store's domain; each logs one line when made.
    static NSErrorRef argumentError(const std::string& message);
    static NSErrorRef conversionError(const std::string& message);
    static NSErrorRef unexpectedError(const std::string& message);
    static NSErrorRef securityError(OSStatus status);

    // Left over from older versions: they do nothing.
    void synchronize() const { }
    bool synchronizeWithError(NSErrorRef* /*error*/) const { return true; }

    // "()" when empty, else "(\n" and "    %@" per item dictionary, then ")".
    std::string description() const override;
    std::string debugDescription() const;
    std::string className() const override { return "KCKeyChainStore"; }

    // Use the factories above.
    KCKeyChainStore(KCKeyChainStoreItemClass itemClass, OptionalString service, OptionalString accessGroup,
        std::optional<NSURL> server, KCKeyChainStoreProtocolType protocolType,
        KCKeyChainStoreAuthenticationType authenticationType);

private:
    // The dictionary every keychain call starts from.
    Value query() const;
    // The attributes of a new item (with a key) or of a change (without); none with *error set.
    std::optional<Value> attributesWithKey(const OptionalString& key, const Bytes& value, NSErrorRef* error) const;
    bool updateItem(OSStatus probeStatus, const Bytes& value, const std::string& key, const Value& genericAttribute,
        const OptionalString& label, const OptionalString& comment, NSErrorRef* error);
    bool addItem(const Bytes& value, const std::string& key, const Value& genericAttribute,
        const OptionalString& label, const OptionalString& comment, NSErrorRef* error);
    // The host of an internet-password store, or the argument error of the shared-password calls.
    std::optional<std::string> sharedPasswordHost(NSErrorRef& error) const;

    bool synchronizable_ = false;
    KCKeyChainStoreItemClass itemClass_;
    OptionalString service_;
    OptionalString accessGroup_;
    std::optional<NSURL> server_;
    KCKeyChainStoreProtocolType protocolType_;
    KCKeyChainStoreAuthenticationType authenticationType_;
    KCKeyChainStoreAccessibility accessibility_ = KCKeyChainStoreAccessibilityAfterFirstUnlock;
    KCKeyChainStoreAuthenticationPolicy authenticationPolicy_ = 0;
    OptionalString authenticationPrompt_;
};

namespace app::keychain {

// The keychain constants behind the store's numbers; nullptr outside their tables.
const char* itemClassConstant(std::int64_t itemClass);
const char* accessibilityConstant(std::int64_t accessibility);
const char* protocolConstant(std::int64_t protocolType);
const char* authenticationTypeConstant(std::int64_t authenticationType);

// The platform's foundation version number with its fraction dropped: the number the store
// compares with 993, 1047, 1140 and 1144. It follows the device's system version.
long foundationVersion();

// Raw attribute dictionaries of the keychain as item dictionaries of `secClass`.
Value prettify(const char* secClass, const Value& items);

} // namespace app::keychain
