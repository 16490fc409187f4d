// Keychain store: strings as UTF-8 (unless they look like a binary property list), other
// values as binary property lists.
#include "push/Utilities/PUSHKeychain.h"

#include "platform/foundation/Utf8.h"
#include "platform/persistence/NSPropertyListSerialization.h"
#include "platform/security/SecItem.h"
#include "push/Utilities/PUSHLog.h"

namespace {

const char* accessibilityFor(std::int64_t index)
{
    static const char* const table[] = {
        kSecAttrAccessibleWhenUnlocked,
        kSecAttrAccessibleAfterFirstUnlock,
        kSecAttrAccessibleAlways,
        kSecAttrAccessibleWhenUnlockedThisDeviceOnly,
        kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly,
        kSecAttrAccessibleAlwaysThisDeviceOnly,
    };
    if (index < 0 || index >= 6)
        return kSecAttrAccessibleWhenUnlocked;
    return table[index];
}

bool isBinaryPropertyList(const Bytes& bytes)
{
    NSPropertyListFormat format = NSPropertyListOpenStepFormat;
    Value parsed = NSPropertyListSerialization::propertyListWithData(bytes, NSPropertyListImmutable, &format);
    return !parsed.isAbsent() && format == NSPropertyListBinaryFormat_v1_0;
}

std::optional<Bytes> encode(const Value& value)
{
    if (value.isString()) {
        Bytes utf8(value.asString().begin(), value.asString().end());
        if (!isBinaryPropertyList(utf8))
            return utf8;
    }
    return NSPropertyListSerialization::dataWithPropertyList(value, NSPropertyListBinaryFormat_v1_0);
}

} // namespace

PUSHKeychain::PUSHKeychain(std::string service, std::string accessGroup, std::int64_t accessibility)
    : service_(std::move(service))
    , accessGroup_(std::move(accessGroup))
    , accessibility_(accessibility)
{
}

Value PUSHKeychain::query(const std::string& key) const
{
    Value::Dictionary d;
    if (!service_.empty())
        d.insert_or_assign(kSecAttrService, service_);
    d.insert_or_assign(kSecClass, kSecClassGenericPassword);
    d.insert_or_assign(kSecAttrAccount, key);
    if (!accessGroup_.empty())
        d.insert_or_assign(kSecAttrAccessGroup, accessGroup_);
    return Value(std::move(d));
}

Value PUSHKeychain::dataForKey(const std::string& key) const
{
    Value::Dictionary q = query(key).asDictionary();
    q.insert_or_assign(kSecMatchLimit, kSecMatchLimitOne);
    q.insert_or_assign(kSecReturnData, true);
    Value result;
    OSStatus status = SecItemCopyMatching(Value(q), &result);
    if (status != errSecSuccess && status != errSecItemNotFound)
        PUSHLogError("PUSHKeychain failed to retrieve data for key '%@', error: %ld", key, status);
    return status == errSecSuccess && result.isData() ? result : Value();
}

bool PUSHKeychain::setObject(const Value& value, const std::string& key) const
{
    if (value.isNil()) {
        OSStatus status = SecItemDelete(query(key));
        if (status == errSecSuccess)
            return true;
        PUSHLogError("PUSHKeychain failed to delete data for key '%@', error: %ld", key, status);
        return false;
    }
    auto data = encode(value);
    if (!data) {
        PUSHLogError("PUSHKeychain failed to store data for key '%@', error: %ld", key, errSecParam);
        return false;
    }
    Value::Dictionary update;
    update.insert_or_assign(kSecValueData, *data);
    update.insert_or_assign(kSecAttrAccessible, accessibilityFor(accessibility_));
    OSStatus status;
    if (!dataForKey(key).isAbsent()) {
        status = SecItemUpdate(query(key), Value(update));
    } else {
        Value::Dictionary item = query(key).asDictionary();
        for (const auto& [k, v] : update)
            item.insert_or_assign(k, v);
        status = SecItemAdd(Value(item), nullptr);
    }
    if (status == errSecSuccess)
        return true;
    PUSHLogError("PUSHKeychain failed to store data for key '%@', error: %ld", key, status);
    return false;
}

bool PUSHKeychain::removeObjectForKey(const std::string& key) const
{
    return setObject(Value(), key);
}

Value PUSHKeychain::objectForKey(const std::string& key) const
{
    Value data = dataForKey(key);
    if (data.isAbsent())
        return Value();
    NSPropertyListFormat format = NSPropertyListBinaryFormat_v1_0;
    NSErrorRef error;
    Value value = NSPropertyListSerialization::propertyListWithData(data.asData(), NSPropertyListImmutable, &format, &error);
    const auto refuse = [&] {
        PUSHLogError("PUSHKeychain failed to decode data for key '%@', error: %@", key, error ? error->description() : std::string());
        return Value();
    };
    if (value.isDictionary() && value.contains("$archiver"))
        return refuse();
    if (!value.isAbsent() && format == NSPropertyListBinaryFormat_v1_0)
        return value;
    // Not a binary property list: the item is text, or nothing this store could have written.
    std::string text(data.asData().begin(), data.asData().end());
    if (!foundation::utf8::isValid(text))
        return refuse();
    return Value(std::move(text));
}
