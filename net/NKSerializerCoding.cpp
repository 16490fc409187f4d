// Keyed archiving of the request and response serializers. Reading starts from the class's
// defaults (the registered factory), so fields that are not archived keep them.
#include "net/NKURLRequestSerialization.h"
#include "net/NKURLResponseSerialization.h"

namespace {

// Optional sets travel as arrays, and "any" (no set) as null, so that a restored serializer
// does not fall back to its class's defaults.
template <typename T>
Value setValue(const std::optional<std::set<T>>& set)
{
    if (!set)
        return Value::null();
    Value::Array items;
    for (const auto& item : *set)
        items.push_back(Value(item));
    return Value(std::move(items));
}

// False when the field holds something else than an array or null.
template <typename T, typename Read>
bool decodeSet(NSCoder& coder, std::string_view key, std::optional<std::set<T>>& set, Read read)
{
    Value value = coder.decodeObjectForKey(key);
    if (value.isAbsent())
        return true;
    if (value.isNull()) {
        set.reset();
        return true;
    }
    if (!value.isArray())
        return false;
    std::set<T> items;
    for (const auto& item : value.asArray())
        items.insert(read(item));
    set = std::move(items);
    return true;
}

} // namespace

void NKHTTPRequestSerializer::encodeWithCoder(NSCoder& coder) const
{
    coder.encodeObject(headers_.dictionary(), "mutableHTTPRequestHeaders");
    // The order the headers were set in, so that a restored serializer sends the same bytes.
    Value::Array order;
    for (const auto& [name, value] : headers_.fields())
        order.push_back(Value(name));
    coder.encodeObject(Value(std::move(order)), "headerOrder");
    coder.encodeInteger(static_cast<std::int64_t>(style_), "queryStringSerializationStyle");
}

bool NKHTTPRequestSerializer::initWithCoder(NSCoder& coder)
{
    Value headers = coder.decodeObjectOfClass("NSDictionary", "mutableHTTPRequestHeaders");
    Value order = coder.decodeObjectOfClass("NSArray", "headerOrder");
    if (headers.isDictionary()) {
        headers_ = {};
        for (const auto& name : order.isArray() ? order.asArray() : Value::Array {})
            if (headers[name.asString()].isString())
                headers_.set(name.asString(), headers[name.asString()].asString());
        for (const auto& [name, value] : headers.asDictionary())
            if (!headers_.has(name) && value.isString())
                headers_.set(name, value.asString());
    }
    style_ = static_cast<NKHTTPRequestQueryStringSerializationStyle>(coder.decodeIntegerForKey("queryStringSerializationStyle"));
    return !coder.error();
}

void NKJSONRequestSerializer::encodeWithCoder(NSCoder& coder) const
{
    NKHTTPRequestSerializer::encodeWithCoder(coder);
    coder.encodeInteger(static_cast<std::int64_t>(writingOptions_), "writingOptions");
}

bool NKJSONRequestSerializer::initWithCoder(NSCoder& coder)
{
    writingOptions_ = static_cast<std::uint64_t>(coder.decodeIntegerForKey("writingOptions"));
    return NKHTTPRequestSerializer::initWithCoder(coder);
}

void NKPropertyListRequestSerializer::encodeWithCoder(NSCoder& coder) const
{
    NKHTTPRequestSerializer::encodeWithCoder(coder);
    coder.encodeInteger(static_cast<std::int64_t>(format_), "format");
    coder.encodeObject(Value(writeOptions_), "writeOptions");
}

bool NKPropertyListRequestSerializer::initWithCoder(NSCoder& coder)
{
    format_ = static_cast<std::uint64_t>(coder.decodeIntegerForKey("format"));
    writeOptions_ = coder.decodeObjectOfClass("NSNumber", "writeOptions").unsignedValue();
    return NKHTTPRequestSerializer::initWithCoder(coder);
}

void NKHTTPResponseSerializer::encodeWithCoder(NSCoder& coder) const
{
    coder.encodeObject(setValue(statusCodes_), "acceptableStatusCodes");
    coder.encodeObject(setValue(contentTypes_), "acceptableContentTypes");
}

bool NKHTTPResponseSerializer::initWithCoder(NSCoder& coder)
{
    return decodeSet(coder, "acceptableStatusCodes", statusCodes_, [](const Value& v) { return v.integerValue(); })
        && decodeSet(coder, "acceptableContentTypes", contentTypes_, [](const Value& v) { return v.asString(); })
        && !coder.error();
}

void NKJSONResponseSerializer::encodeWithCoder(NSCoder& coder) const
{
    NKHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(Value(readingOptions_), "readingOptions");
    coder.encodeBool(removesNulls_, "removesKeysWithNullValues");
}

bool NKJSONResponseSerializer::initWithCoder(NSCoder& coder)
{
    readingOptions_ = coder.decodeObjectOfClass("NSNumber", "readingOptions").unsignedValue();
    removesNulls_ = coder.decodeBoolForKey("removesKeysWithNullValues");
    return NKHTTPResponseSerializer::initWithCoder(coder);
}

void NKPropertyListResponseSerializer::encodeWithCoder(NSCoder& coder) const
{
    NKHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(Value(format_), "format");
    coder.encodeObject(Value(readOptions_), "readOptions");
}

bool NKPropertyListResponseSerializer::initWithCoder(NSCoder& coder)
{
    format_ = coder.decodeObjectOfClass("NSNumber", "format").unsignedValue();
    readOptions_ = coder.decodeObjectOfClass("NSNumber", "readOptions").unsignedValue();
    return NKHTTPResponseSerializer::initWithCoder(coder);
}

void NKImageResponseSerializer::encodeWithCoder(NSCoder& coder) const
{
    NKHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(Value(imageScale_), "imageScale");
    coder.encodeBool(inflates_, "automaticallyInflatesResponseImage");
}

bool NKImageResponseSerializer::initWithCoder(NSCoder& coder)
{
    Value scale = coder.decodeObjectOfClass("NSNumber", "imageScale");
    if (scale.isNumber())
        imageScale_ = scale.doubleValue();
    inflates_ = coder.decodeBoolForKey("automaticallyInflatesResponseImage");
    return NKHTTPResponseSerializer::initWithCoder(coder);
}

void NKCompoundResponseSerializer::encodeWithCoder(NSCoder& coder) const
{
    NKHTTPResponseSerializer::encodeWithCoder(coder);
    Value::Array serializers;
    for (const auto& serializer : serializers_)
        if (serializer)
            serializers.push_back(Value(serializer));
    coder.encodeObject(Value(std::move(serializers)), "responseSerializers");
}

bool NKCompoundResponseSerializer::initWithCoder(NSCoder& coder)
{
    Value serializers = coder.decodeObjectOfClass("NSArray", "responseSerializers");
    serializers_.clear();
    for (const auto& item : serializers.isArray() ? serializers.asArray() : Value::Array {}) {
        auto serializer = item.asObject<NKHTTPResponseSerializer>();
        if (!serializer)
            return false;
        serializers_.push_back(std::move(serializer));
    }
    return NKHTTPResponseSerializer::initWithCoder(coder);
}
