// KCKeyChainStore: construction, options, the default service and the store's errors.
#include "app/KCKeyChainStore.h"

#include <array>
#include <mutex>

#include "platform/foundation/NSLog.h"
#include "platform/persistence/NSBundle.h"
#include "platform/security/SecBase.h"
#include "platform/uikit/UIScreen.h"

namespace app::keychain {

namespace {

template <std::size_t N>
const char* lookup(const std::array<const char*, N>& table, std::int64_t number)
{
    if (number < 1 || number > static_cast<std::int64_t>(N))
        return nullptr;
    return table[static_cast<std::size_t>(number - 1)];
}

const std::array<const char*, 2> itemClasses = { kSecClassGenericPassword, kSecClassInternetPassword };

const std::array<const char*, 7> accessibilities = {
    kSecAttrAccessibleWhenUnlocked,
    kSecAttrAccessibleAfterFirstUnlock,
    kSecAttrAccessibleAlways,
    kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly,
    kSecAttrAccessibleWhenUnlockedThisDeviceOnly,
    kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly,
    kSecAttrAccessibleAlwaysThisDeviceOnly,
};

const std::array<const char*, 29> protocols = {
    kSecAttrProtocolFTP, kSecAttrProtocolFTPAccount, kSecAttrProtocolHTTP, kSecAttrProtocolIRC,
    kSecAttrProtocolNNTP, kSecAttrProtocolPOP3, kSecAttrProtocolSMTP, kSecAttrProtocolSOCKS,
    kSecAttrProtocolIMAP, kSecAttrProtocolLDAP, kSecAttrProtocolAppleTalk, kSecAttrProtocolAFP,
    kSecAttrProtocolTelnet, kSecAttrProtocolSSH, kSecAttrProtocolFTPS, kSecAttrProtocolHTTPS,
    kSecAttrProtocolHTTPProxy, kSecAttrProtocolHTTPSProxy, kSecAttrProtocolFTPProxy, kSecAttrProtocolSMB,
    kSecAttrProtocolRTSP, kSecAttrProtocolRTSPProxy, kSecAttrProtocolDAAP, kSecAttrProtocolEPPC,
    kSecAttrProtocolNNTPS, kSecAttrProtocolLDAPS, kSecAttrProtocolTelnetS, kSecAttrProtocolIRCS,
    kSecAttrProtocolPOP3S,
};

const std::array<const char*, 8> authenticationTypes = {
    kSecAttrAuthenticationTypeNTLM,
    kSecAttrAuthenticationTypeMSN,
    kSecAttrAuthenticationTypeDPA,
    kSecAttrAuthenticationTypeRPA,
    kSecAttrAuthenticationTypeHTTPBasic,
    kSecAttrAuthenticationTypeHTTPDigest,
    kSecAttrAuthenticationTypeHTMLForm,
    kSecAttrAuthenticationTypeDefault,
};

}

const char* itemClassConstant(std::int64_t itemClass) { return lookup(itemClasses, itemClass); }
const char* accessibilityConstant(std::int64_t accessibility) { return lookup(accessibilities, accessibility); }
const char* protocolConstant(std::int64_t protocolType) { return lookup(protocols, protocolType); }
const char* authenticationTypeConstant(std::int64_t authenticationType)
{
    return lookup(authenticationTypes, authenticationType);
}

long foundationVersion() { return static_cast<long>(NSFoundationVersionNumber); }

} // namespace app::keychain

namespace {

constexpr const char* bothOptionsWarning = "Cannot specify both an authenticationPolicy and a synchronizable";

struct DefaultService {
    std::mutex mutex;
    std::optional<std::string> service;
};

DefaultService& defaultServiceState()
{
    static DefaultService state;
    return state;
}

NSErrorRef storeError(std::int64_t code, const std::string& description)
{
    return NSError::errorWithDomain(
        KCKeyChainStoreErrorDomain, code, Value::dictionary({ { NSLocalizedDescriptionKey, Value(description) } }));
}

// The message in the app's own language: its string tables are keyed by the English text, which
// stands where they have no translation.
std::string localized(const std::string& message) { return NSLocalizedStringFromTable(message, "Localizable"); }

}

std::string KCKeyChainStore::defaultService()
{
    auto& state = defaultServiceState();
    std::lock_guard lock(state.mutex);
    if (!state.service)
        state.service = NSBundle::mainBundle()->bundleIdentifier().value_or("");
    return *state.service;
}

void KCKeyChainStore::setDefaultService(OptionalString service)
{
    auto& state = defaultServiceState();
    std::lock_guard lock(state.mutex);
    state.service = std::move(service);
}

KCKeyChainStore::KCKeyChainStore(KCKeyChainStoreItemClass itemClass, OptionalString service,
    OptionalString accessGroup, std::optional<NSURL> server, KCKeyChainStoreProtocolType protocolType,
    KCKeyChainStoreAuthenticationType authenticationType)
    : itemClass_(itemClass)
    , service_(std::move(service))
    , accessGroup_(std::move(accessGroup))
    , server_(std::move(server))
    , protocolType_(protocolType)
    , authenticationType_(authenticationType)
{
}

std::shared_ptr<KCKeyChainStore> KCKeyChainStore::keyChainStore() { return keyChainStoreWithService(std::nullopt); }

std::shared_ptr<KCKeyChainStore> KCKeyChainStore::keyChainStoreWithService(
    const OptionalString& service, const OptionalString& accessGroup)
{
    return std::make_shared<KCKeyChainStore>(KCKeyChainStoreItemClassGenericPassword,
        service ? service : OptionalString(defaultService()), accessGroup, std::nullopt,
        KCKeyChainStoreProtocolType(0), KCKeyChainStoreAuthenticationType(0));
}

std::shared_ptr<KCKeyChainStore> KCKeyChainStore::keyChainStoreWithServer(
    const NSURL& server, KCKeyChainStoreProtocolType protocolType, KCKeyChainStoreAuthenticationType authenticationType)
{
    return std::make_shared<KCKeyChainStore>(KCKeyChainStoreItemClassInternetPassword, std::nullopt, std::nullopt,
        server, protocolType, authenticationType);
}

void KCKeyChainStore::setSynchronizable(bool synchronizable)
{
    synchronizable_ = synchronizable;
    if (authenticationPolicy_ != 0)
        NSLog("%@", bothOptionsWarning);
}

void KCKeyChainStore::setAccessibility(
    KCKeyChainStoreAccessibility accessibility, KCKeyChainStoreAuthenticationPolicy policy)
{
    accessibility_ = accessibility;
    authenticationPolicy_ = policy;
    if (synchronizable_)
        NSLog("%@", bothOptionsWarning);
}

NSErrorRef KCKeyChainStore::argumentError(const std::string& message)
{
    auto error = storeError(KCKeyChainStoreErrorInvalidArguments, localized(message));
    NSLog("error: [%@] %@", error->code(), error->localizedDescription());
    return error;
}

NSErrorRef KCKeyChainStore::conversionError(const std::string& message)
{
    auto error = storeError(KCKeyChainStoreErrorConversionError, localized(message));
    NSLog("error: [%@] %@", error->code(), error->localizedDescription());
    return error;
}

NSErrorRef KCKeyChainStore::unexpectedError(const std::string& message)
{
    auto error = storeError(KCKeyChainStoreErrorUnexpectedError, localized(message));
    NSLog("error: [%@] %@", error->code(), error->localizedDescription());
    return error;
}

NSErrorRef KCKeyChainStore::securityError(OSStatus status)
{
    auto error = storeError(status, "Security error has occurred.");
    NSLog("OSStatus error: [%@] %@", status, error->localizedDescription());
    return error;
}
