// NSPropertyListSerialization: property lists (XML and binary) to and from Value.
// Property lists hold dictionaries (string keys), arrays, strings, integers (signed and unsigned
// 64-bit), reals, booleans, dates and data; null, absent values and objects cannot be written.
// Bad input never crashes: it gives an absent value and an error (NSCocoaErrorDomain 3840).
#pragma once

#include <cstdint>
#include <optional>

#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"

enum NSPropertyListFormat : std::uint64_t {
    NSPropertyListOpenStepFormat = 1,
    NSPropertyListXMLFormat_v1_0 = 100,
    NSPropertyListBinaryFormat_v1_0 = 200,
};

// Reading options. Containers are copy-on-write values here, so every result can be changed.
enum NSPropertyListMutabilityOptions : std::uint64_t {
    NSPropertyListImmutable = 0,
    NSPropertyListMutableContainers = 1,
    NSPropertyListMutableContainersAndLeaves = 2,
};

enum : std::int64_t {
    NSPropertyListReadCorruptError = 3840,
    NSPropertyListReadUnknownVersionError = 3841,
    NSPropertyListReadStreamError = 3842,
    NSPropertyListWriteStreamError = 3851,
    NSPropertyListWriteInvalidError = 3852,
};

class NSPropertyListSerialization {
public:
    // Reads an XML or binary property list; `format` receives the format found.
    static Value propertyListWithData(const Bytes& data, std::uint64_t options = NSPropertyListImmutable,
        NSPropertyListFormat* format = nullptr, NSErrorRef* error = nullptr);
    // Writes `plist` as XML (100) or binary (200). Other formats, and values that cannot be in a
    // property list, give nothing and an error (3851 or 3852).
    static std::optional<Bytes> dataWithPropertyList(
        const Value& plist, NSPropertyListFormat format, std::uint64_t options = 0, NSErrorRef* error = nullptr);
    static bool propertyListIsValidForFormat(const Value& plist, NSPropertyListFormat format);
};
