// Keychain query parsing and matching (see SecItemQuery.h).
#include "platform/security/SecItemQuery.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/security/KeychainCodec.h"
#include "platform/security/SecAccessControl.h"

namespace security {

namespace {

constexpr std::array<std::string_view, 9> genericAttributes = {
    kSecAttrService, kSecAttrAccount, kSecAttrAccessGroup, kSecAttrAccessible, kSecAttrAccessControl,
    kSecAttrSynchronizable, kSecAttrLabel, kSecAttrComment, kSecAttrGeneric,
};
constexpr std::array<std::string_view, 11> internetAttributes = {
    kSecAttrServer, kSecAttrPort, kSecAttrProtocol, kSecAttrAuthenticationType, kSecAttrAccount,
    kSecAttrAccessGroup, kSecAttrAccessible, kSecAttrAccessControl, kSecAttrSynchronizable, kSecAttrLabel,
    kSecAttrComment,
};
constexpr std::array<std::string_view, 4> genericIdentity = {
    kSecAttrService, kSecAttrAccount, kSecAttrAccessGroup, kSecAttrSynchronizable,
};
constexpr std::array<std::string_view, 7> internetIdentity = {
    kSecAttrServer, kSecAttrPort, kSecAttrProtocol, kSecAttrAuthenticationType, kSecAttrAccount,
    kSecAttrAccessGroup, kSecAttrSynchronizable,
};

bool isClass(const std::string& c) { return c == kSecClassGenericPassword || c == kSecClassInternetPassword; }

bool isAttributeOf(const std::string& itemClass, std::string_view key)
{
    auto has = [key](const auto& list) { return std::find(list.begin(), list.end(), key) != list.end(); };
    return itemClass == kSecClassGenericPassword ? has(genericAttributes) : has(internetAttributes);
}

bool isTextAttribute(std::string_view key)
{
    return key == kSecAttrService || key == kSecAttrAccount || key == kSecAttrAccessGroup || key == kSecAttrServer
        || key == kSecAttrProtocol || key == kSecAttrAuthenticationType || key == kSecAttrLabel
        || key == kSecAttrComment;
}

bool isSyncValue(const Value& v) { return v.isBool() || v.isInteger(); }

// Checks one attribute's value (kSecAttrSynchronizable apart).
bool attributeValueIsValid(std::string_view key, const Value& value)
{
    if (isTextAttribute(key))
        return value.isString();
    if (key == kSecAttrPort)
        return value.isInteger() && value.integerValue() >= 0 && value.integerValue() <= 65535;
    if (key == kSecAttrAccessible)
        return value.isString() && SecAccessibilityIsKnown(value.asString());
    if (key == kSecAttrAccessControl)
        return value.asObject<SecAccessControl>() != nullptr;
    if (key == kSecAttrGeneric)
        return !value.isAbsent() && encodeKeychainValue(value).has_value();
    return false;
}

bool isReturnKey(std::string_view key) { return key == kSecReturnData || key == kSecReturnAttributes; }
bool isUseKey(std::string_view key)
{
    return key == kSecUseOperationPrompt || key == kSecUseNoAuthenticationUI || key == kSecUseAuthenticationUI;
}

OSStatus readClass(const Value& dictionary, std::string& out)
{
    if (!dictionary.isDictionary())
        return errSecParam;
    const Value& c = dictionary[kSecClass];
    if (!c.isString() || !isClass(c.asString()))
        return errSecParam;
    out = c.asString();
    return errSecSuccess;
}

// Keeps kSecAttrAccessible in step with an access control, and refuses the combinations the
// keychain cannot honour: two different accessibilities, or a protected item that would be
// copied to other devices.
OSStatus settleProtection(ItemRecord& item)
{
    auto& attrs = item.attributes;
    auto control = attrs.count(kSecAttrAccessControl) ? attrs[kSecAttrAccessControl].asObject<SecAccessControl>()
                                                      : nullptr;
    if (!control)
        return errSecSuccess;
    attrs[kSecAttrAccessible] = control->protection();
    if (control->flags() && attrs[kSecAttrSynchronizable].boolValue())
        return errSecParam;
    return errSecSuccess;
}

}

OSStatus parseQuery(const Value& query, SecOperation operation, ItemQuery& out)
{
    out = {};
    if (OSStatus status = readClass(query, out.itemClass))
        return status;
    for (const auto& [key, value] : query.asDictionary()) {
        if (key == kSecClass)
            continue;
        if (key == kSecAttrSynchronizable) {
            if (value.isString() && value.asString() == kSecAttrSynchronizableAny)
                out.sync = SyncMatch::Any;
            else if (isSyncValue(value))
                out.sync = value.boolValue() ? SyncMatch::SynchronizedOnly : SyncMatch::LocalOnly;
            else
                return errSecParam;
            continue;
        }
        if (isAttributeOf(out.itemClass, key)) {
            if (!attributeValueIsValid(key, value))
                return errSecParam;
            out.attributes[key] = value;
            continue;
        }
        if (key == kSecValueData && operation == SecOperation::CopyMatching)
            continue; // the secret is never a search term
        if (isReturnKey(key) && operation == SecOperation::CopyMatching) {
            if (!isSyncValue(value))
                return errSecParam;
            (key == kSecReturnData ? out.returnData : out.returnAttributes) = value.boolValue();
            continue;
        }
        if (key == kSecMatchLimit && operation == SecOperation::CopyMatching) {
            if (value.isString() && value.asString() == kSecMatchLimitOne)
                out.matchAll = false;
            else if (value.isString() && value.asString() == kSecMatchLimitAll)
                out.matchAll = true;
            else
                return errSecParam;
            continue;
        }
        if (isUseKey(key)) {
            if (key == kSecUseOperationPrompt && !value.isString())
                return errSecParam;
            if (key == kSecUseNoAuthenticationUI) {
                if (!isSyncValue(value))
                    return errSecParam;
                out.noAuthenticationUI = out.noAuthenticationUI || value.boolValue();
            }
            if (key == kSecUseAuthenticationUI) {
                if (!value.isString()
                    || (value.asString() != kSecUseAuthenticationUIAllow
                        && value.asString() != kSecUseAuthenticationUIFail))
                    return errSecParam;
                out.noAuthenticationUI = out.noAuthenticationUI || value.asString() == kSecUseAuthenticationUIFail;
            }
            continue;
        }
        return errSecParam;
    }
    return errSecSuccess;
}

OSStatus parseNewItem(const Value& attributes, ItemRecord& out)
{
    out = {};
    if (OSStatus status = readClass(attributes, out.itemClass))
        return status;
    out.attributes[kSecAttrSynchronizable] = false;
    out.attributes[kSecAttrAccessible] = kSecAttrAccessibleWhenUnlocked;
    for (const auto& [key, value] : attributes.asDictionary()) {
        if (key == kSecClass || isReturnKey(key))
            continue;
        // How to ask the user is not stored with the item; a prompt must still be text.
        if (isUseKey(key)) {
            if (key == kSecUseOperationPrompt && !value.isString())
                return errSecParam;
            continue;
        }
        if (key == kSecValueData) {
            if (!value.isData())
                return errSecParam;
            out.data = value.asData();
            continue;
        }
        if (key == kSecAttrSynchronizable) {
            if (!isSyncValue(value))
                return errSecParam; // "any" names no item
            out.attributes[key] = value.boolValue();
            continue;
        }
        if (!isAttributeOf(out.itemClass, key) || !attributeValueIsValid(key, value))
            return errSecParam;
        out.attributes[key] = value;
    }
    return settleProtection(out);
}

OSStatus applyChanges(const Value& changes, ItemRecord& item)
{
    if (!changes.isDictionary())
        return errSecParam;
    for (const auto& [key, value] : changes.asDictionary()) {
        if (key == kSecValueData) {
            if (!value.isData())
                return errSecParam;
            item.data = value.asData();
            continue;
        }
        if (key == kSecAttrSynchronizable) {
            if (!isSyncValue(value))
                return errSecParam;
            item.attributes[key] = value.boolValue();
            continue;
        }
        if (!isAttributeOf(item.itemClass, key) || !attributeValueIsValid(key, value))
            return errSecParam;
        // A new accessibility without an access control replaces the old protection.
        if (key == kSecAttrAccessible && !changes.contains(kSecAttrAccessControl))
            item.attributes.erase(std::string(kSecAttrAccessControl));
        item.attributes[key] = value;
    }
    return settleProtection(item);
}

bool itemMatches(const ItemQuery& query, const ItemRecord& item)
{
    if (item.itemClass != query.itemClass)
        return false;
    auto sync = item.attributes.find(kSecAttrSynchronizable);
    bool synchronized = sync != item.attributes.end() && sync->second.boolValue();
    if (query.sync == SyncMatch::LocalOnly && synchronized)
        return false;
    if (query.sync == SyncMatch::SynchronizedOnly && !synchronized)
        return false;
    for (const auto& [key, value] : query.attributes) {
        auto it = item.attributes.find(key);
        if (it == item.attributes.end() || !(it->second == value))
            return false;
    }
    return true;
}

bool itemIsProtected(const ItemRecord& item)
{
    auto it = item.attributes.find(kSecAttrAccessControl);
    if (it == item.attributes.end())
        return false;
    auto control = it->second.asObject<SecAccessControl>();
    return control && control->flags() != 0;
}

Bytes itemIdentity(const ItemRecord& item)
{
    Value::Array parts;
    auto add = [&](std::string_view key) {
        auto it = item.attributes.find(key);
        parts.push_back(it == item.attributes.end() ? Value() : it->second);
    };
    if (item.itemClass == kSecClassGenericPassword)
        std::for_each(genericIdentity.begin(), genericIdentity.end(), add);
    else
        std::for_each(internetIdentity.begin(), internetIdentity.end(), add);
    return encodeKeychainValue(Value(std::move(parts))).value_or(Bytes {});
}

Value itemResult(const ItemQuery& query, const ItemRecord& item)
{
    if (!query.returnAttributes) {
        if (!query.returnData || !item.data)
            return Value();
        return Value(*item.data);
    }
    Value::Dictionary result = item.attributes;
    result[kSecClass] = item.itemClass;
    if (query.returnData && item.data)
        result[kSecValueData] = *item.data;
    return Value(std::move(result));
}

}
