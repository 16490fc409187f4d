// NSCoder and NSCoding: objects written into and read back from keyed archives.
// A class takes part by deriving from NSCoding (and NSObject) and registering under its name;
// a class that cannot derive from NSCoding registers a pair of functions instead. Plain Values
// (numbers, strings, data, dates, null, arrays, dictionaries) and NSError need no registration.
// A class that supports secure coding (a static supportsSecureCoding() answering true, or the
// flag given with its functions) may be read from archives that require it. Such a read checks
// each object's stored class against the class asked for before making the object; a class
// registers the names of the registered classes it may stand for (its bases) as its kinds. A
// class whose making has effects beyond memory (it starts a session, say) registers as read only
// where asked for: an archive then makes one only where its reader asked for that class by name.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

// Error codes of archive reading.
enum : std::int64_t {
    NSCoderReadCorruptError = 4864,
    NSCoderValueNotFoundError = 4865,
    NSCoderInvalidValueError = 4866,
};

class NSCoder {
public:
    virtual ~NSCoder() = default;

    // Writing (an archiver). A reader ignores these.
    virtual void encodeObject(const Value& object, std::string_view key) { (void)object, (void)key; }
    virtual void encodeInteger(std::int64_t value, std::string_view key) { (void)value, (void)key; }
    virtual void encodeBool(bool value, std::string_view key) { (void)value, (void)key; }
    virtual void encodeDouble(double value, std::string_view key) { (void)value, (void)key; }
    void encodeInt64(std::int64_t value, std::string_view key) { encodeInteger(value, key); }
    void encodeInt32(std::int32_t value, std::string_view key) { encodeInteger(value, key); }

    // Reading (an unarchiver). A missing key gives absent, 0 or NO.
    virtual Value decodeObjectForKey(std::string_view key) { (void)key; return {}; }
    virtual std::int64_t decodeIntegerForKey(std::string_view key) { (void)key; return 0; }
    virtual bool decodeBoolForKey(std::string_view key) { (void)key; return false; }
    virtual double decodeDoubleForKey(std::string_view key) { (void)key; return 0; }
    virtual bool containsValueForKey(std::string_view key) const { (void)key; return false; }
    std::int64_t decodeInt64ForKey(std::string_view key) { return decodeIntegerForKey(key); }
    std::int32_t decodeInt32ForKey(std::string_view key) { return static_cast<std::int32_t>(decodeIntegerForKey(key)); }

    // The object under `key` when it is of the named class: a registered class (subclasses
    // count) or one of "NSString", "NSNumber", "NSArray", "NSDictionary", "NSData", "NSDate",
    // "NSNull". Another kind fails the whole read (see error()) and gives absent.
    Value decodeObjectOfClass(std::string_view className, std::string_view key);
    template <typename T>
    std::shared_ptr<T> decodeObjectOfClass(std::string_view key)
    {
        Value value = decodeObjectForKey(key);
        auto object = value.asObject<T>();
        if (!value.isNil() && !object)
            failWithWrongClass(key);
        return object;
    }
    // The same, with the class's registered name checked first (as reading requires securely).
    template <typename T>
    std::shared_ptr<T> decodeObjectOfClass(std::string_view className, std::string_view key)
    {
        if (!fieldMayBeOfClass(className, key)) {
            failWithWrongClass(key);
            return nullptr;
        }
        return decodeObjectOfClass<T>(key);
    }

    // Whether every object read must be of a class that supports secure coding.
    virtual bool requiresSecureCoding() const { return false; }

    // The first failure met; a failed read gives no object at its top.
    const NSErrorRef& error() const { return error_; }
    void failWithError(NSErrorRef error);

protected:
    void failWithWrongClass(std::string_view key);
    // False when the object under `key` is stored as a class that cannot be `className`; a
    // secure reader checks this before making the object.
    virtual bool fieldMayBeOfClass(std::string_view className, std::string_view key) const
    {
        (void)className, (void)key;
        return true;
    }

private:
    NSErrorRef error_;
};

// An archivable object. Derive from NSObject as well, and register the class.
class NSCoding {
public:
    virtual ~NSCoding() = default;
    virtual void encodeWithCoder(NSCoder& coder) const = 0;
    // Fills a new instance from the coder; false refuses the archive.
    virtual bool initWithCoder(NSCoder& coder) = 0;
};

namespace persistence {

using CodingEncode = std::function<void(const NSObject&, NSCoder&)>;
using CodingDecode = std::function<NSObjectRef(NSCoder&)>;
using CodingIsInstance = std::function<bool(const NSObject&)>;

// Registers a class by the name its className() gives. Registering a name again replaces it.
// `kinds`: the names of other registered classes this one may stand for (its bases).
void registerCodingClass(std::string name, CodingEncode encode, CodingDecode decode, CodingIsInstance isInstance,
    bool supportsSecureCoding = false, std::vector<std::string> kinds = {}, bool readOnlyWhereAskedFor = false);

template <typename T>
constexpr bool classSupportsSecureCoding()
{
    if constexpr (requires { T::supportsSecureCoding(); })
        return T::supportsSecureCoding();
    return false;
}

template <typename T>
void registerCodingClass(std::string name, std::function<std::shared_ptr<T>()> make, std::vector<std::string> kinds = {})
{
    registerCodingClass(
        std::move(name),
        [](const NSObject& object, NSCoder& coder) { dynamic_cast<const T&>(object).encodeWithCoder(coder); },
        [make](NSCoder& coder) -> NSObjectRef {
            std::shared_ptr<T> object = make();
            if (!object || !object->initWithCoder(coder))
                return nullptr;
            return object;
        },
        [](const NSObject& object) { return dynamic_cast<const T*>(&object) != nullptr; }, classSupportsSecureCoding<T>(),
        std::move(kinds));
}

template <typename T>
void registerCodingClass(std::string name, std::vector<std::string> kinds = {})
{
    registerCodingClass<T>(
        std::move(name), std::function<std::shared_ptr<T>()>([] { return std::make_shared<T>(); }), std::move(kinds));
}

struct CodingClass {
    CodingEncode encode;
    CodingDecode decode;
    CodingIsInstance isInstance;
    bool supportsSecureCoding = false;
    std::vector<std::string> kinds;
    bool readOnlyWhereAskedFor = false;
};
// The registration under `name`, if any.
std::optional<CodingClass> findCodingClass(std::string_view name);

NSErrorRef archiveError(std::int64_t code, const std::string& problem);
// Whether the value is of the named class: a plain kind ("NSString", "NSNumber"...) or an
// instance of a registered class (subclasses count).
bool valueIsOfClass(std::string_view className, const Value& value);
// Whether an object stored as class `stored` may be of class `wanted`: the same class, or a
// registered class that names `wanted` among its kinds.
bool storedClassIsKindOf(std::string_view stored, std::string_view wanted);

} // namespace persistence
