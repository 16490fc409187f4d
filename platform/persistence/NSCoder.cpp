// NSCoder's shared parts and the registry of archivable classes.
#include "platform/persistence/NSCoder.h"

#include <map>
#include <mutex>

namespace persistence {
namespace {

std::mutex registryLock;
std::map<std::string, CodingClass, std::less<>>& registry()
{
    static std::map<std::string, CodingClass, std::less<>> classes;
    return classes;
}

} // namespace

bool isPlainKind(std::string_view className, const Value& value, bool* known)
{
    *known = true;
    if (className == "NSString")
        return value.isString();
    if (className == "NSNumber")
        return value.isNumber();
    if (className == "NSArray")
        return value.isArray();
    if (className == "NSDictionary")
        return value.isDictionary();
    if (className == "NSData")
        return value.isData();
    if (className == "NSDate")
        return value.isDate();
    if (className == "NSNull")
        return value.isNull();
    *known = false;
    return false;
}

void registerCodingClass(std::string name, CodingEncode encode, CodingDecode decode, CodingIsInstance isInstance)
{
    std::lock_guard guard(registryLock);
    registry().insert_or_assign(
        std::move(name), CodingClass { std::move(encode), std::move(decode), std::move(isInstance) });
}

std::optional<CodingClass> findCodingClass(std::string_view name)
{
    std::lock_guard guard(registryLock);
    auto it = registry().find(name);
    if (it == registry().end())
        return std::nullopt;
    return it->second;
}

NSErrorRef archiveError(std::int64_t code, const std::string& problem)
{
    const char* description = code == NSCoderValueNotFoundError
        ? "The data couldn\u2019t be read because it is missing."
        : "The data couldn\u2019t be read because it isn\u2019t in the correct format.";
    return NSError::errorWithDomain(NSCocoaErrorDomain, code,
        Value::dictionary({ { NSLocalizedDescriptionKey, description }, { NSDebugDescriptionErrorKey, problem } }));
}

} // namespace persistence

void NSCoder::failWithError(NSErrorRef error)
{
    if (!error_)
        error_ = std::move(error);
}

void NSCoder::failWithWrongClass(std::string_view key)
{
    failWithError(persistence::archiveError(
        NSCoderReadCorruptError, "value for key '" + std::string(key) + "' was of unexpected class"));
}

Value NSCoder::decodeObjectOfClass(std::string_view className, std::string_view key)
{
    Value value = decodeObjectForKey(key);
    if (value.isAbsent())
        return value;
    bool plain = false;
    if (persistence::isPlainKind(className, value, &plain))
        return value;
    if (!plain && value.isObject()) {
        auto entry = persistence::findCodingClass(className);
        if (entry && entry->isInstance(*value.asObject()))
            return value;
    }
    failWithWrongClass(key);
    return {};
}
