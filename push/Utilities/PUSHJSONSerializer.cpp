// Tagged-shape writer and reader over registered model classes.
#include "push/Utilities/PUSHJSONSerializer.h"

#include <atomic>
#include <map>
#include <mutex>

#include "platform/foundation/Utf8.h"

namespace {

std::mutex registryMutex;
std::map<std::string, PUSHJSONSerializer::Factory>& registry()
{
    static std::map<std::string, PUSHJSONSerializer::Factory> classes;
    return classes;
}
std::atomic<std::uint64_t> dataEncoding { PUSHJSONSerializer::kLatin1Encoding };
// Property name -> integer type code, taken from the document being read.
thread_local Value numericTypes;

std::string bytesToText(const Bytes& bytes)
{
    std::string text;
    if (dataEncoding == 4 || dataEncoding == 1)
        return std::string(bytes.begin(), bytes.end());
    for (std::uint8_t b : bytes) { // Latin-1: one character per byte
        if (b < 0x80) {
            text += static_cast<char>(b);
        } else {
            text += static_cast<char>(0xC0 | (b >> 6));
            text += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return text;
}

std::optional<Bytes> textToBytes(const std::string& text)
{
    if (dataEncoding == 4 || dataEncoding == 1)
        return Bytes(text.begin(), text.end());
    Bytes bytes;
    for (std::size_t i = 0; i < text.size();) {
        auto c = foundation::utf8::decode(text, i);
        if (!c || *c > 0xFF)
            return std::nullopt; // not representable without loss
        bytes.push_back(static_cast<std::uint8_t>(*c));
    }
    return bytes;
}

Value tagged(std::initializer_list<std::pair<const std::string, Value>> entries)
{
    return Value::dictionary(entries);
}

Value serialize(const Value& value, bool& flag);

bool hasTagKey(const Value::Dictionary& entries)
{
    for (const char* key : { "className", "hasCustomObject", "dictionaryObject", "arrayObject", "setObject",
             "dataObject", "numberObject", "stringObject" })
        if (entries.contains(key))
            return true;
    return false;
}

Value serializeModel(const PUSHJSONModel& model)
{
    Value::Dictionary out;
    out.insert_or_assign("className", model.className());
    for (const auto& name : model.propertyNames()) {
        if (name == "hash" || name == "debugDescription" || name == "description" || name == "className")
            continue;
        bool ignored = false;
        Value serialized = serialize(model.valueForKey(name), ignored);
        if (!serialized.isAbsent())
            out.insert_or_assign(name, serialized);
    }
    return Value(std::move(out));
}

Value serializeArray(const Value& array, bool& flag)
{
    Value::Array items;
    bool tagged_ = false;
    for (const auto& item : array.asArray()) {
        Value serialized = serialize(item, tagged_);
        if (!serialized.isAbsent())
            items.push_back(std::move(serialized));
    }
    if (!tagged_)
        return Value(std::move(items));
    flag = true;
    return tagged({ { "hasCustomObject", true }, { "arrayObject", Value(std::move(items)) } });
}

Value serializeDictionary(const Value& dictionary, bool& flag)
{
    Value::Dictionary entries;
    bool tagged_ = false;
    for (const auto& [key, item] : dictionary.asDictionary()) {
        Value serialized = serialize(item, tagged_);
        if (!serialized.isAbsent())
            entries.insert_or_assign(key, std::move(serialized));
    }
    // A dictionary whose own keys look like a tag is wrapped, so that it is read back as itself.
    if (!tagged_ && !hasTagKey(entries))
        return Value(std::move(entries));
    flag = true;
    return tagged({ { "hasCustomObject", true }, { "dictionaryObject", Value(std::move(entries)) } });
}

Value serialize(const Value& value, bool& flag)
{
    if (value.isNil() || value.isDate())
        return Value(); // dates have no JSON form: left out like nil
    if (value.isNumber() || value.isBool() || value.isString())
        return value;
    if (value.isArray())
        return serializeArray(value, flag);
    if (value.isDictionary())
        return serializeDictionary(value, flag);
    if (value.isData()) {
        flag = true;
        return tagged({ { "hasCustomObject", 0 }, { "dataObject", bytesToText(value.asData()) } });
    }
    auto model = value.asObject<PUSHJSONModel>();
    if (!model)
        return Value();
    flag = true;
    return serializeModel(*model);
}

Value unserialize(const Value& value, int depth);

Value entryValue(const std::string& key, const Value& value, int depth)
{
    const Value& type = numericTypes.isDictionary() ? numericTypes[key] : absentValue();
    if (type.isString() && value.isNumber()) {
        const std::string& code = type.asString();
        std::int64_t n = value.integerValue();
        if (code == "C")
            return Value(static_cast<std::uint64_t>(static_cast<unsigned char>(n)));
        if (code == "S")
            return Value(static_cast<std::uint64_t>(static_cast<unsigned short>(n)));
        if (code == "I")
            return Value(static_cast<std::uint64_t>(static_cast<unsigned int>(n)));
        if (code == "Q")
            return Value(value.unsignedValue());
        if (code == "c")
            return Value(static_cast<std::int64_t>(static_cast<signed char>(n)));
        if (code == "s")
            return Value(static_cast<std::int64_t>(static_cast<short>(n)));
        if (code == "i")
            return Value(static_cast<std::int64_t>(static_cast<int>(n)));
        if (code == "q")
            return Value(n);
        // An unknown type code: the number is set by key as it is.
    }
    return unserialize(value, depth + 1);
}

Value unserializeModel(const std::string& className, const Value& json, int depth)
{
    PUSHJSONSerializer::Factory factory;
    {
        std::lock_guard lock(registryMutex);
        auto it = registry().find(className);
        if (it == registry().end())
            return Value();
        factory = it->second;
    }
    auto model = factory();
    if (!model)
        return Value();
    for (const auto& [key, entry] : json.asDictionary()) {
        if (key == "className" || key == "hasCustomObject" || entry.isAbsent())
            continue;
        Value rebuilt = entryValue(key, entry, depth);
        if (!rebuilt.isAbsent())
            model->setValueForKey(rebuilt, key);
    }
    return Value(std::static_pointer_cast<NSObject>(model));
}

Value unserializeCollection(const Value& inner, bool rebuild, int depth)
{
    if (inner.isArray()) {
        if (!rebuild)
            return inner;
        Value::Array items;
        for (const auto& item : inner.asArray()) {
            Value rebuilt = unserialize(item, depth + 1);
            if (!rebuilt.isAbsent())
                items.push_back(std::move(rebuilt));
        }
        return Value(std::move(items));
    }
    if (inner.isDictionary()) {
        if (!rebuild)
            return inner;
        Value::Dictionary entries;
        for (const auto& [key, item] : inner.asDictionary()) {
            Value rebuilt = unserialize(item, depth + 1);
            if (!rebuilt.isAbsent())
                entries.insert_or_assign(key, std::move(rebuilt));
        }
        return Value(std::move(entries));
    }
    return Value();
}

Value unserializeSet(const Value& json, int depth)
{
    const Value& items = json["setObject"];
    if (!items.isArray())
        return Value();
    bool rebuild = json["hasCustomObject"].boolValue();
    Value::Array unique;
    for (const auto& item : items.asArray()) {
        Value element = rebuild ? unserialize(item, depth + 1) : item;
        if (element.isAbsent())
            continue;
        bool seen = false;
        for (const auto& existing : unique)
            seen = seen || existing == element;
        if (!seen)
            unique.push_back(std::move(element));
    }
    return Value(std::move(unique));
}

Value unserializeDictionary(const Value& json, int depth)
{
    const Value& className = json["className"];
    if (className.isString() && !className.asString().empty())
        return unserializeModel(className.asString(), json, depth);
    bool hasTag = json.contains("hasCustomObject");
    if (json.contains("dictionaryObject"))
        return unserializeCollection(json["dictionaryObject"], hasTag, depth);
    if (json.contains("arrayObject"))
        return unserializeCollection(json["arrayObject"], hasTag, depth);
    if (json.contains("setObject"))
        return unserializeSet(json, depth);
    if (json.contains("dataObject")) {
        const Value& text = json["dataObject"];
        if (!text.isString())
            return Value();
        auto bytes = textToBytes(text.asString());
        return bytes ? Value(std::move(*bytes)) : Value();
    }
    if (json.contains("numberObject"))
        return json["numberObject"];
    if (json.contains("stringObject"))
        return json["stringObject"];
    // Below the top level, a dictionary without a tag is one whose values needed none.
    return depth > 0 ? unserializeCollection(json, true, depth) : Value();
}

Value unserialize(const Value& value, int depth)
{
    if (depth > 512)
        return Value(); // nesting this deep is not a document we wrote
    if (value.isNil())
        return Value();
    if (value.isDictionary())
        return unserializeDictionary(value, depth);
    return value;
}

} // namespace

void PUSHJSONSerializer::registerClass(const std::string& className, Factory factory)
{
    std::lock_guard lock(registryMutex);
    registry()[className] = std::move(factory);
}

Value PUSHJSONSerializer::getJSONDataFromObject(const Value& object, std::uint64_t encoding)
{
    dataEncoding = encoding;
    return getJSONDataFromObject(object);
}

Value PUSHJSONSerializer::getJSONDataFromObject(const Value& object)
{
    Value result;
    bool flag = false;
    if (object.isNil()) {
        return Value();
    } else if (object.isNumber() || object.isBool()) {
        result = tagged({ { "hasCustomObject", 0 }, { "numberObject", object } });
    } else if (object.isString()) {
        result = tagged({ { "hasCustomObject", 0 }, { "stringObject", object } });
    } else if (object.isArray()) {
        Value inner = serializeArray(object, flag);
        // A plain array goes under its tag without "hasCustomObject", so it is read back as it is.
        result = inner.isDictionary() ? inner : tagged({ { "arrayObject", inner } });
    } else if (object.isDictionary()) {
        Value inner = serializeDictionary(object, flag);
        result = flag ? inner : tagged({ { "dictionaryObject", inner } });
    } else {
        result = serialize(object, flag);
        if (!result.isDictionary())
            return Value();
    }
    Value::Dictionary out = result.asDictionary();
    out.insert_or_assign("numberProperyTypes", Value::dictionary());
    return Value(std::move(out));
}

Value PUSHJSONSerializer::getObjectFromJSON(const Value& json, std::uint64_t encoding)
{
    dataEncoding = encoding;
    return getObjectFromJSON(json);
}

Value PUSHJSONSerializer::getObjectFromJSON(const Value& json)
{
    if (json.isNil())
        return Value();
    numericTypes = json.isDictionary() ? json["numberProperyTypes"] : Value();
    Value result = unserialize(json, 0);
    numericTypes = Value();
    return result;
}

Value PUSHJSONSerializer::nullShape()
{
    return tagged({ { "hasCustomObject", 0 }, { "numberObject", Value::null() } });
}

Value PUSHSafeObject(const Value& value, Value::Type wanted)
{
    if (value.type() == wanted)
        return value;
    switch (wanted) {
    case Value::Type::Dictionary:
        return Value::dictionary();
    case Value::Type::Array:
        return Value::array();
    case Value::Type::String:
        return Value(std::string());
    case Value::Type::Data:
        return Value(Bytes());
    case Value::Type::Integer:
    case Value::Type::Unsigned:
    case Value::Type::Double:
    case Value::Type::Bool:
        return value.isNumber() ? value : Value(0);
    default:
        return Value();
    }
}
