// Walks model objects' declared properties into JSON-ready dictionaries with small tagged
// shapes for what plain JSON can't tell apart (data, lone numbers and strings, model objects),
// and rebuilds them. Only classes registered here are ever made from serialized data.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

// A model object the serializer can walk: its declared properties, read and written by key.
class PUSHJSONModel : public NSObject {
public:
    virtual std::vector<std::string> propertyNames() const = 0;
    virtual Value valueForKey(const std::string& key) const = 0;
    virtual void setValueForKey(const Value& value, const std::string& key) = 0;
};

class PUSHJSONSerializer {
public:
    using Factory = std::function<std::shared_ptr<PUSHJSONModel>()>;
    static void registerClass(const std::string& className, Factory factory);

    // Text encodings for data bytes: 1 ASCII, 4 UTF-8, 5 ISO Latin-1 (the default).
    static constexpr std::uint64_t kLatin1Encoding = 5;
    static Value getJSONDataFromObject(const Value& object);
    static Value getJSONDataFromObject(const Value& object, std::uint64_t encoding);
    static Value getObjectFromJSON(const Value& json);
    static Value getObjectFromJSON(const Value& json, std::uint64_t encoding);
    // The lone-null shape.
    static Value nullShape();
};

// The receiver when it has the wanted kind, else an empty value of that kind.
Value PUSHSafeObject(const Value& value, Value::Type wanted);
