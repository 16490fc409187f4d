// KCKeyChainStore: listing items (of one store or of a whole item class) as item dictionaries,
// and the store's printed forms.
#include "app/KCKeyChainStore.h"

#include "platform/foundation/Utf8.h"
#include "platform/security/SecItem.h"

namespace app::keychain {

namespace {

// The store's names for the keychain's attributes, by item class.
struct Rename {
    const char* attribute;
    const char* entry;
};
constexpr Rename genericEntries[] = { { kSecAttrService, "service" }, { kSecAttrAccessGroup, "accessGroup" } };
constexpr Rename internetEntries[] = {
    { kSecAttrServer, "server" },
    { kSecAttrProtocol, "protocol" },
    { kSecAttrAuthenticationType, "authenticationType" },
};

Value itemValue(const Bytes& data)
{
    std::string text(data.begin(), data.end());
    if (foundation::utf8::isValid(text))
        return Value(std::move(text));
    return Value(data);
}

Value prettifyOne(bool internet, const Value& raw)
{
    Value item = Value::dictionary();
    item.set("class", internet ? "InternetPassword" : "GenericPassword");
    auto copy = [&](const char* attribute, const char* entry) {
        const Value& value = raw[attribute];
        if (!value.isAbsent())
            item.set(entry, value);
    };
    if (internet) {
        for (const auto& rename : internetEntries)
            copy(rename.attribute, rename.entry);
    } else {
        for (const auto& rename : genericEntries)
            copy(rename.attribute, rename.entry);
    }
    copy(kSecAttrAccount, "key");
    if (raw[kSecValueData].isData())
        item.set("value", itemValue(raw[kSecValueData].asData()));
    copy(kSecAttrAccessible, "accessibility");
    if (app::keychain::foundationVersion() > 993)
        copy(kSecAttrSynchronizable, "synchronizable");
    return item;
}

Value searchAll(const Value& search)
{
    Value result;
    OSStatus status = SecItemCopyMatching(search, &result);
    if (status == errSecItemNotFound)
        return Value::array();
    if (status != errSecSuccess)
        return Value();
    return result;
}

Value classQuery(std::int64_t itemClass, bool withData)
{
    Value search = Value::dictionary();
    search.set(kSecClass, itemClass == KCKeyChainStoreItemClassInternetPassword ? kSecClassInternetPassword
                                                                                 : kSecClassGenericPassword);
    search.set(kSecMatchLimit, kSecMatchLimitAll);
    search.set(kSecReturnAttributes, true);
    if (withData)
        search.set(kSecReturnData, true);
    return search;
}

}

Value prettify(const char* secClass, const Value& items)
{
    const bool internet = secClass && std::string_view(secClass) == kSecClassInternetPassword;
    Value list = Value::array();
    for (const auto& raw : items.asArray())
        list.append(prettifyOne(internet, raw));
    return list;
}

} // namespace app::keychain

using namespace app::keychain;

Value KCKeyChainStore::items() const
{
    Value search = query();
    search.set(kSecMatchLimit, kSecMatchLimitAll);
    search.set(kSecReturnAttributes, true);
    search.set(kSecReturnData, true);
    return searchAll(search);
}

Value KCKeyChainStore::allItems() const { return prettify(itemClassConstant(itemClass_), items()); }

Value KCKeyChainStore::allKeys() const
{
    Value keys = Value::array();
    const Value items = allItems();
    for (const auto& item : items.asArray()) {
        if (!item["key"].isAbsent())
            keys.append(item["key"]);
    }
    return keys;
}

Value KCKeyChainStore::allItemsWithItemClass(std::int64_t itemClass)
{
    Value found = searchAll(classQuery(itemClass, true));
    if (found.isAbsent())
        return found;
    return prettify(itemClassConstant(itemClass == KCKeyChainStoreItemClassInternetPassword ? 2 : 1), found);
}

Value KCKeyChainStore::allKeysWithItemClass(std::int64_t itemClass)
{
    Value found = searchAll(classQuery(itemClass, false));
    if (found.isAbsent())
        return found;
    const bool internet = itemClass == KCKeyChainStoreItemClassInternetPassword;
    const char* scope = internet ? "server" : "service";
    Value keys = Value::array();
    const Value items = prettify(itemClassConstant(internet ? 2 : 1), found);
    for (const auto& item : items.asArray()) {
        Value pair = Value::dictionary();
        pair.set(scope, item[scope].isAbsent() ? Value("") : item[scope]);
        pair.set("key", item["key"].isAbsent() ? Value("") : item["key"]);
        keys.append(std::move(pair));
    }
    return keys;
}

std::string KCKeyChainStore::description() const
{
    Value items = allItems();
    if (items.count() == 0)
        return "()";
    std::string text = "(\n";
    for (const auto& item : items.asArray())
        text += "    " + item.description();
    text += ")";
    return text;
}

std::string KCKeyChainStore::debugDescription() const { return items().description(); }
