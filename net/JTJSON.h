// JTJSON: one parser and one writer behind a single object, with NSError-style entry points.
// Its own errorTrace() is a copy of the inner object's trace after a failure, and is left as it
// was after a success.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "net/JTJsonParser.h"
#include "net/JTJsonWriter.h"

class JTJSON : public JTJsonBase {
public:
    JTJSON();

    Value objectWithString(std::optional<std::string_view> text);
    std::optional<std::string> stringWithObject(const Value& value);

    // With allowScalar any single value is accepted, else only a dictionary or an array. On
    // failure *error (when given) is set to the outermost error of the trace.
    Value objectWithString(std::optional<std::string_view> text, bool allowScalar, NSErrorRef* error);
    Value fragmentWithString(std::optional<std::string_view> text, NSErrorRef* error);
    Value objectWithString(std::optional<std::string_view> text, NSErrorRef* error);

    std::optional<std::string> stringWithObject(const Value& value, bool allowScalar, NSErrorRef* error);
    std::optional<std::string> stringWithFragment(const Value& value, NSErrorRef* error);
    std::optional<std::string> stringWithObject(const Value& value, NSErrorRef* error);

    // The parser's limit; setting it sets the parser's and the writer's.
    std::uint64_t maxDepth() const { return jsonParser_.maxDepth(); }
    void setMaxDepth(std::uint64_t maxDepth);

    bool humanReadable() const { return jsonWriter_.humanReadable(); }
    void setHumanReadable(bool humanReadable) { jsonWriter_.setHumanReadable(humanReadable); }
    bool sortKeys() const { return jsonWriter_.sortKeys(); }
    void setSortKeys(bool sortKeys) { jsonWriter_.setSortKeys(sortKeys); }

private:
    void takeTrace(const JTJsonBase& inner, NSErrorRef* error);

    JTJsonParser jsonParser_;
    JTJsonWriter jsonWriter_;
};
