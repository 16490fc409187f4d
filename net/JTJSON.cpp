// JTJSON: forwarding to the parser and the writer, and copying their trace on failure.
#include "net/JTJSON.h"

JTJSON::JTJSON()
{
    setMaxDepth(512);
}

void JTJSON::setMaxDepth(std::uint64_t maxDepth)
{
    JTJsonBase::setMaxDepth(maxDepth);
    jsonParser_.setMaxDepth(maxDepth);
    jsonWriter_.setMaxDepth(maxDepth);
}

void JTJSON::takeTrace(const JTJsonBase& inner, NSErrorRef* error)
{
    setErrorTrace(inner.errorTrace());
    if (error)
        *error = lastError();
}

Value JTJSON::objectWithString(std::optional<std::string_view> text)
{
    return objectWithString(text, false, nullptr);
}

std::optional<std::string> JTJSON::stringWithObject(const Value& value)
{
    return stringWithObject(value, false, nullptr);
}

Value JTJSON::objectWithString(std::optional<std::string_view> text, bool allowScalar, NSErrorRef* error)
{
    Value result = allowScalar ? jsonParser_.fragmentWithString(text) : jsonParser_.objectWithString(text);
    if (result.isAbsent())
        takeTrace(jsonParser_, error);
    return result;
}

Value JTJSON::fragmentWithString(std::optional<std::string_view> text, NSErrorRef* error)
{
    return objectWithString(text, true, error);
}

Value JTJSON::objectWithString(std::optional<std::string_view> text, NSErrorRef* error)
{
    return objectWithString(text, false, error);
}

std::optional<std::string> JTJSON::stringWithObject(const Value& value, bool allowScalar, NSErrorRef* error)
{
    std::optional<std::string> result
        = allowScalar ? jsonWriter_.stringWithFragment(value) : jsonWriter_.stringWithObject(value);
    if (!result)
        takeTrace(jsonWriter_, error);
    return result;
}

std::optional<std::string> JTJSON::stringWithFragment(const Value& value, NSErrorRef* error)
{
    return stringWithObject(value, true, error);
}

std::optional<std::string> JTJSON::stringWithObject(const Value& value, NSErrorRef* error)
{
    return stringWithObject(value, false, error);
}
