// KCKeyChainStore: the class-level value operations, which work on a service and access group
// through a store made for the call.
#include "app/KCKeyChainStore.h"

#include "platform/foundation/Utf8.h"

namespace {

constexpr const char* missingKey = "the key must not to be nil";

void store(NSErrorRef* slot, NSErrorRef error)
{
    if (slot)
        *slot = std::move(error);
}

}

KCKeyChainStore::OptionalString KCKeyChainStore::stringForKeyInService(
    const OptionalString& key, const OptionalString& service, const OptionalString& accessGroup, NSErrorRef* error)
{
    if (!key) {
        store(error, argumentError(missingKey));
        return std::nullopt;
    }
    return keyChainStoreWithService(service, accessGroup)->stringForKey(key, error);
}

std::optional<Bytes> KCKeyChainStore::dataForKeyInService(
    const OptionalString& key, const OptionalString& service, const OptionalString& accessGroup, NSErrorRef* error)
{
    if (!key) {
        store(error, argumentError(missingKey));
        return std::nullopt;
    }
    return keyChainStoreWithService(service, accessGroup)->dataForKey(key, error);
}

bool KCKeyChainStore::setStringForKeyInService(const OptionalString& value, const OptionalString& key,
    const OptionalString& service, const OptionalString& accessGroup, const Value& genericAttribute,
    NSErrorRef* error)
{
    if (!value)
        return removeItemForKeyInService(key, service, accessGroup, error);
    if (!foundation::utf8::isValid(*value)) {
        store(error, conversionError("failed to convert string to data"));
        return false;
    }
    return setDataForKeyInService(
        Bytes(value->begin(), value->end()), key, service, accessGroup, genericAttribute, error);
}

bool KCKeyChainStore::setDataForKeyInService(const std::optional<Bytes>& value, const OptionalString& key,
    const OptionalString& service, const OptionalString& accessGroup, const Value& genericAttribute,
    NSErrorRef* error)
{
    if (!key) {
        store(error, argumentError(missingKey));
        return false;
    }
    return keyChainStoreWithService(service, accessGroup)
        ->setData(value, key, genericAttribute, std::nullopt, std::nullopt, error);
}

bool KCKeyChainStore::removeItemForKeyInService(
    const OptionalString& key, const OptionalString& service, const OptionalString& accessGroup, NSErrorRef* error)
{
    if (!key) {
        store(error, argumentError(missingKey));
        return false;
    }
    return keyChainStoreWithService(service, accessGroup)->removeItemForKey(key, error);
}

bool KCKeyChainStore::removeAllItemsForService(
    const OptionalString& service, const OptionalString& accessGroup, NSErrorRef* error)
{
    return keyChainStoreWithService(service, accessGroup)->removeAllItems(error);
}
