// NSPropertyListSerialization over libplist trees.
#include "platform/persistence/NSPropertyListSerialization.h"

#include "platform/persistence/PlistTree.h"

namespace {

NSErrorRef plistError(std::int64_t code, const std::string& problem)
{
    const char* description = code == NSPropertyListReadCorruptError
        ? "The data couldn\u2019t be read because it isn\u2019t in the correct format."
        : "The data couldn\u2019t be written because it isn\u2019t in the correct format.";
    return NSError::errorWithDomain(NSCocoaErrorDomain, code,
        Value::dictionary({ { NSLocalizedDescriptionKey, description }, { NSDebugDescriptionErrorKey, problem } }));
}

void report(NSErrorRef* error, std::int64_t code, const std::string& problem)
{
    if (error)
        *error = plistError(code, problem);
}

} // namespace

Value NSPropertyListSerialization::propertyListWithData(
    const Bytes& data, std::uint64_t /*options*/, NSPropertyListFormat* format, NSErrorRef* error)
{
    std::string problem;
    NSPropertyListFormat found = NSPropertyListBinaryFormat_v1_0;
    auto tree = persistence::plist::parse(data, &found, &problem);
    if (!tree) {
        report(error, NSPropertyListReadCorruptError, problem);
        return {};
    }
    auto value = persistence::plist::toValue(static_cast<plist_t>(tree.get()), &problem);
    if (!value) {
        report(error, NSPropertyListReadCorruptError, problem);
        return {};
    }
    if (format)
        *format = found;
    return std::move(*value);
}

std::optional<Bytes> NSPropertyListSerialization::dataWithPropertyList(
    const Value& plist, NSPropertyListFormat format, std::uint64_t /*options*/, NSErrorRef* error)
{
    if (format != NSPropertyListXMLFormat_v1_0 && format != NSPropertyListBinaryFormat_v1_0) {
        report(error, NSPropertyListWriteStreamError, "property-list format " + std::to_string(format) + " cannot be written");
        return std::nullopt;
    }
    std::string problem;
    auto tree = persistence::plist::fromValue(plist, &problem);
    if (!tree) {
        report(error, NSPropertyListWriteInvalidError,
            "Property list invalid for format: " + std::to_string(format) + " (" + problem + ")");
        return std::nullopt;
    }
    auto bytes = persistence::plist::serialize(static_cast<plist_t>(tree.get()), format);
    if (!bytes)
        report(error, NSPropertyListWriteStreamError, "the property list could not be written");
    return bytes;
}

bool NSPropertyListSerialization::propertyListIsValidForFormat(const Value& plist, NSPropertyListFormat format)
{
    if (format != NSPropertyListXMLFormat_v1_0 && format != NSPropertyListBinaryFormat_v1_0)
        return false;
    std::string problem;
    return persistence::plist::fromValue(plist, &problem) != nullptr;
}
