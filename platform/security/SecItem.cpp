// The keychain's item operations (see SecItem.h): parse, consult the test seam, then the file.
#include "platform/security/SecItem.h"

#include <vector>

#include "platform/security/KeychainDatabase.h"
#include "platform/security/SecTestSeams.h"

using namespace security;

OSStatus SecItemCopyMatching(const Value& query, Value* result)
{
    if (result)
        *result = Value();
    if (auto injected = takeInjectedStatus(SecOperation::CopyMatching, query))
        return *injected;
    ItemQuery parsed;
    if (OSStatus status = parseQuery(query, SecOperation::CopyMatching, parsed))
        return status;
    std::vector<ItemRecord> items;
    if (OSStatus status = keychainSearch(parsed, items))
        return status;
    if (!result)
        return errSecSuccess;
    if (!parsed.returnData && !parsed.returnAttributes)
        return errSecSuccess;
    if (!parsed.matchAll) {
        *result = itemResult(parsed, items.front());
        return errSecSuccess;
    }
    Value::Array all;
    for (const auto& item : items) {
        Value one = itemResult(parsed, item);
        if (!one.isAbsent())
            all.push_back(std::move(one));
    }
    *result = Value(std::move(all));
    return errSecSuccess;
}

OSStatus SecItemAdd(const Value& attributes, Value* result)
{
    if (result)
        *result = Value();
    if (auto injected = takeInjectedStatus(SecOperation::Add, attributes))
        return *injected;
    ItemRecord item;
    if (OSStatus status = parseNewItem(attributes, item))
        return status;
    if (OSStatus status = keychainInsert(item))
        return status;
    if (result) {
        ItemQuery asked;
        asked.returnData = attributes[kSecReturnData].boolValue();
        asked.returnAttributes = attributes[kSecReturnAttributes].boolValue();
        *result = itemResult(asked, item);
    }
    return errSecSuccess;
}

OSStatus SecItemUpdate(const Value& query, const Value& attributesToUpdate)
{
    if (auto injected = takeInjectedStatus(SecOperation::Update, query))
        return *injected;
    ItemQuery parsed;
    if (OSStatus status = parseQuery(query, SecOperation::Update, parsed))
        return status;
    if (!attributesToUpdate.isDictionary() || attributesToUpdate.contains(kSecClass))
        return errSecParam;
    // Malformed changes are refused whether or not anything matches.
    ItemRecord probe { parsed.itemClass, {}, std::nullopt };
    if (OSStatus status = applyChanges(attributesToUpdate, probe))
        return status;
    return keychainUpdate(parsed, attributesToUpdate);
}

OSStatus SecItemDelete(const Value& query)
{
    if (auto injected = takeInjectedStatus(SecOperation::Delete, query))
        return *injected;
    ItemQuery parsed;
    if (OSStatus status = parseQuery(query, SecOperation::Delete, parsed))
        return status;
    return keychainDelete(parsed);
}
