// KCKeyChainStore: the base query every keychain call starts from and the attributes of a new
// or changed item. Both follow the foundation version the app runs on.
#include "app/KCKeyChainStore.h"

#include "platform/foundation/NSLog.h"
#include "platform/security/SecAccessControl.h"

using namespace app::keychain;

Value KCKeyChainStore::query() const
{
    Value query = Value::dictionary();
    if (const char* secClass = itemClassConstant(itemClass_))
        query.set(kSecClass, secClass);
    const long version = app::keychain::foundationVersion();
    if (version > 993)
        query.set(kSecAttrSynchronizable, kSecAttrSynchronizableAny);

    if (itemClass_ == KCKeyChainStoreItemClassGenericPassword) {
        if (service_)
            query.set(kSecAttrService, *service_);
        if (accessGroup_)
            query.set(kSecAttrAccessGroup, *accessGroup_);
    } else {
        if (server_ && !server_->host().empty())
            query.set(kSecAttrServer, server_->host());
        if (server_ && server_->port())
            query.set(kSecAttrPort, *server_->port());
        if (const char* protocol = protocolConstant(protocolType_))
            query.set(kSecAttrProtocol, protocol);
        if (const char* type = authenticationTypeConstant(authenticationType_))
            query.set(kSecAttrAuthenticationType, type);
    }

    if (authenticationPrompt_) {
        if (version > 1047)
            query.set(kSecUseOperationPrompt, *authenticationPrompt_);
        else
            NSLog("%@", "Unavailable 'authenticationPrompt' attribute on iOS versions prior to 8.0.");
    }
    return query;
}

std::optional<Value> KCKeyChainStore::attributesWithKey(
    const OptionalString& key, const Bytes& value, NSErrorRef* error) const
{
    Value attributes = Value::dictionary();
    if (key) {
        attributes = query();
        attributes.set(kSecAttrAccount, *key);
    }
    attributes.set(kSecValueData, value);

    const long version = app::keychain::foundationVersion();
    const char* accessible = accessibilityConstant(accessibility_);
    if (accessible && authenticationPolicy_ != 0) {
        if (version > 1047) {
            NSErrorRef platformError;
            auto control = SecAccessControlCreateWithFlags(
                Value(accessible), static_cast<SecAccessControlCreateFlags>(authenticationPolicy_), &platformError);
            if (platformError) {
                NSLog("error: [%@] %@", platformError->code(), platformError->localizedDescription());
                if (error) {
                    *error = platformError;
                    return std::nullopt;
                }
            }
            if (!control) {
                auto unexpected = unexpectedError("Unexpected error has occurred.");
                if (error)
                    *error = unexpected;
                return std::nullopt;
            }
            attributes.set(kSecAttrAccessControl, Value(control));
        } else {
            NSLog("%@", "Unavailable 'Touch ID integration' on iOS versions prior to 8.0.");
        }
    } else if (version <= 1047 && accessibility_ == KCKeyChainStoreAccessibilityWhenPasscodeSetThisDeviceOnly) {
        NSLog("%@",
            "Unavailable 'KCKeyChainStoreAccessibilityWhenPasscodeSetThisDeviceOnly' attribute on iOS versions "
            "prior to 8.0.");
    } else if (accessible) {
        attributes.set(kSecAttrAccessible, accessible);
    }

    if (version > 993)
        attributes.set(kSecAttrSynchronizable, synchronizable_);
    return attributes;
}
