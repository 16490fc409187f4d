// KCKeyChainStore: reading, writing and removing the items of one store.
#include "app/KCKeyChainStore.h"

#include "platform/foundation/NSLog.h"
#include "platform/foundation/Utf8.h"
#include "platform/security/SecItem.h"

namespace {

constexpr const char* missingKey = "the key must not to be nil";
constexpr const char* unexpectedMessage = "Unexpected error has occurred.";

void store(NSErrorRef* slot, NSErrorRef error)
{
    if (slot)
        *slot = std::move(error);
}

void addOptionalAttributes(Value& attributes, const Value& genericAttribute,
    const std::optional<std::string>& label, const std::optional<std::string>& comment)
{
    if (!genericAttribute.isAbsent())
        attributes.set(kSecAttrGeneric, genericAttribute);
    if (label)
        attributes.set(kSecAttrLabel, *label);
    if (comment)
        attributes.set(kSecAttrComment, *comment);
}

// The failure of building an item's attributes, as the writes report it.
bool attributesFailed(const NSErrorRef& failure, NSErrorRef* error)
{
    NSLog("error: [%@] %@", failure->code(), unexpectedMessage);
    store(error, failure);
    return false;
}

}

std::optional<Bytes> KCKeyChainStore::dataForKey(const OptionalString& key, NSErrorRef* error) const
{
    if (!key) {
        store(error, argumentError(missingKey));
        return std::nullopt;
    }
    Value search = query();
    search.set(kSecMatchLimit, kSecMatchLimitOne);
    search.set(kSecReturnData, true);
    search.set(kSecAttrAccount, *key);

    Value result;
    OSStatus status = SecItemCopyMatching(search, &result);
    if (status == errSecItemNotFound)
        return std::nullopt;
    if (status != errSecSuccess) {
        store(error, securityError(status));
        return std::nullopt;
    }
    if (!result.isData()) {
        store(error, unexpectedError(unexpectedMessage));
        return std::nullopt;
    }
    return result.asData();
}

KCKeyChainStore::OptionalString KCKeyChainStore::stringForKey(const OptionalString& key, NSErrorRef* error) const
{
    auto data = dataForKey(key, error);
    if (!data)
        return std::nullopt;
    std::string text(data->begin(), data->end());
    if (!foundation::utf8::isValid(text)) {
        store(error, conversionError("failed to convert data to string"));
        return std::nullopt;
    }
    return text;
}

bool KCKeyChainStore::setString(const OptionalString& value, const OptionalString& key,
    const Value& genericAttribute, const OptionalString& label, const OptionalString& comment, NSErrorRef* error)
{
    if (!value)
        return removeItemForKey(key, error);
    if (!foundation::utf8::isValid(*value)) {
        store(error, conversionError("failed to convert string to data"));
        return false;
    }
    return setData(Bytes(value->begin(), value->end()), key, genericAttribute, label, comment, error);
}

bool KCKeyChainStore::setData(const std::optional<Bytes>& value, const OptionalString& key,
    const Value& genericAttribute, const OptionalString& label, const OptionalString& comment, NSErrorRef* error)
{
    if (!key) {
        store(error, argumentError(missingKey));
        return false;
    }
    if (!value)
        return removeItemForKey(key, error);

    // Probe without letting the keychain ask the user anything.
    Value probe = query();
    probe.set(kSecAttrAccount, *key);
    const long version = app::keychain::foundationVersion();
    if (version > 1144)
        probe.set(kSecUseAuthenticationUI, kSecUseAuthenticationUIFail);
    else if (version > 1047)
        probe.set(kSecUseNoAuthenticationUI, true);
    OSStatus status = SecItemCopyMatching(probe, nullptr);

    if (status == errSecSuccess || status == errSecInteractionNotAllowed)
        return updateItem(status, *value, *key, genericAttribute, label, comment, error);
    if (status == errSecItemNotFound)
        return addItem(*value, *key, genericAttribute, label, comment, error);
    store(error, securityError(status));
    return false;
}

bool KCKeyChainStore::updateItem(OSStatus probeStatus, const Bytes& value, const std::string& key,
    const Value& genericAttribute, const OptionalString& label, const OptionalString& comment, NSErrorRef* error)
{
    Value search = query();
    search.set(kSecAttrAccount, key);

    NSErrorRef failure;
    auto attributes = attributesWithKey(std::nullopt, value, &failure);
    if (failure || !attributes)
        return attributesFailed(failure ? failure : unexpectedError(unexpectedMessage), error);
    addOptionalAttributes(*attributes, genericAttribute, label, comment);

    // Older systems cannot change an item that needs the user: replace it instead, with
    // everything the caller gave (the generic attribute included). The item is gone once
    // removed, so the new one is added straight away rather than probed for again.
    if (probeStatus == errSecInteractionNotAllowed && app::keychain::foundationVersion() <= 1140) {
        if (!removeItemForKey(key, error)) {
            store(error, securityError(errSecInteractionNotAllowed));
            return false;
        }
        return addItem(value, key, genericAttribute, label, comment, error);
    }

    OSStatus status = SecItemUpdate(search, *attributes);
    if (status == errSecSuccess)
        return true;
    store(error, securityError(status));
    return false;
}

bool KCKeyChainStore::addItem(const Bytes& value, const std::string& key, const Value& genericAttribute,
    const OptionalString& label, const OptionalString& comment, NSErrorRef* error)
{
    NSErrorRef failure;
    auto attributes = attributesWithKey(key, value, &failure);
    if (failure || !attributes)
        return attributesFailed(failure ? failure : unexpectedError(unexpectedMessage), error);
    addOptionalAttributes(*attributes, genericAttribute, label, comment);

    OSStatus status = SecItemAdd(*attributes, nullptr);
    if (status == errSecSuccess)
        return true;
    store(error, securityError(status));
    return false;
}

void KCKeyChainStore::setObjectForKeyedSubscript(const OptionalString& value, const OptionalString& key)
{
    if (value)
        setString(value, key);
    else
        removeItemForKey(key);
}

bool KCKeyChainStore::removeItemForKey(const OptionalString& key, NSErrorRef* error)
{
    if (!key) {
        store(error, argumentError(missingKey));
        return false;
    }
    Value search = query();
    search.set(kSecAttrAccount, *key);
    OSStatus status = SecItemDelete(search);
    if (status == errSecSuccess || status == errSecItemNotFound)
        return true;
    store(error, securityError(status));
    return false;
}

bool KCKeyChainStore::removeAllItems(NSErrorRef* error)
{
    OSStatus status = SecItemDelete(query());
    if (status == errSecSuccess || status == errSecItemNotFound)
        return true;
    store(error, securityError(status));
    return false;
}

bool KCKeyChainStore::contains(const OptionalString& key) const
{
    if (!key) {
        argumentError(missingKey);
        return false;
    }
    Value search = query();
    search.set(kSecAttrAccount, *key);
    return SecItemCopyMatching(search, nullptr) == errSecSuccess;
}
