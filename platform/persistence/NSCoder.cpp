// NSCoder's shared parts and the registry of archivable classes.
#include "platform/persistence/NSCoder.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace persistence {
namespace {

std::mutex registryLock;

// Errors travel in archives as their domain, code and user info.
CodingClass errorCoding()
{
    return CodingClass {
        [](const NSObject& object, NSCoder& coder) {
            const auto& error = dynamic_cast<const NSError&>(object);
            coder.encodeObject(Value(error.domain()), "NSDomain");
            coder.encodeInteger(error.code(), "NSCode");
            if (error.userInfo().isDictionary())
                coder.encodeObject(error.userInfo(), "NSUserInfo");
        },
        [](NSCoder& coder) -> NSObjectRef {
            Value domain = coder.decodeObjectOfClass("NSString", "NSDomain");
            Value userInfo = coder.decodeObjectOfClass("NSDictionary", "NSUserInfo");
            if (!domain.isString())
                return nullptr;
            return NSError::errorWithDomain(domain.asString(), coder.decodeIntegerForKey("NSCode"), userInfo);
        },
        [](const NSObject& object) { return dynamic_cast<const NSError*>(&object) != nullptr; },
        true,
        {},
        false,
    };
}

std::map<std::string, CodingClass, std::less<>>& registry()
{
    static std::map<std::string, CodingClass, std::less<>> classes { { "NSError", errorCoding() } };
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

void registerCodingClass(std::string name, CodingEncode encode, CodingDecode decode, CodingIsInstance isInstance,
    bool supportsSecureCoding, std::vector<std::string> kinds, bool readOnlyWhereAskedFor)
{
    std::lock_guard guard(registryLock);
    registry().insert_or_assign(std::move(name),
        CodingClass { std::move(encode), std::move(decode), std::move(isInstance), supportsSecureCoding, std::move(kinds),
            readOnlyWhereAskedFor });
}

bool storedClassIsKindOf(std::string_view stored, std::string_view wanted)
{
    if (stored == wanted)
        return true;
    auto entry = findCodingClass(stored);
    return entry && std::find(entry->kinds.begin(), entry->kinds.end(), wanted) != entry->kinds.end();
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

bool persistence::valueIsOfClass(std::string_view className, const Value& value)
{
    bool plain = false;
    if (isPlainKind(className, value, &plain))
        return true;
    if (plain || !value.isObject())
        return false;
    auto entry = findCodingClass(className);
    return entry && entry->isInstance(*value.asObject());
}

Value NSCoder::decodeObjectOfClass(std::string_view className, std::string_view key)
{
    if (!fieldMayBeOfClass(className, key)) {
        failWithWrongClass(key);
        return {};
    }
    Value value = decodeObjectForKey(key);
    if (value.isAbsent() || persistence::valueIsOfClass(className, value))
        return value;
    failWithWrongClass(key);
    return {};
}
