// The convenience conversions over per-thread shared parsers and writers.
#include "net/JTJsonConvenience.h"

#include "net/JTJsonParser.h"
#include "net/JTJsonWriter.h"
#include "platform/foundation/NSLog.h"

namespace {

JTJsonWriter& sharedWriter()
{
    thread_local JTJsonWriter writer;
    return writer;
}

JTJsonParser& sharedParser()
{
    thread_local JTJsonParser parser;
    return parser;
}

void logFailure(const char* operation, const JTJsonBase& instance)
{
    NSLog("%s failed. Error trace is: %@", operation, instance.errorTrace());
}

} // namespace

std::optional<std::string> JSONRepresentation(const Value& value)
{
    std::optional<std::string> text = sharedWriter().stringWithObject(value);
    if (!text)
        logFailure("-JSONRepresentation", sharedWriter());
    return text;
}

std::optional<std::string> JSONFragment(const Value& value)
{
    std::optional<std::string> text = sharedWriter().stringWithFragment(value);
    if (!text)
        logFailure("-JSONFragment", sharedWriter());
    return text;
}

Value JSONValue(std::string_view text)
{
    Value value = sharedParser().objectWithString(text);
    if (value.isAbsent())
        logFailure("-JSONValue", sharedParser());
    return value;
}

Value JSONFragmentValue(std::string_view text)
{
    Value value = sharedParser().fragmentWithString(text);
    if (value.isAbsent())
        logFailure("-JSONFragmentValue", sharedParser());
    return value;
}
