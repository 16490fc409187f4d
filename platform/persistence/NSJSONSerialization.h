// NSJSONSerialization: JSON text to Value and back.
// Reading: integers that fit 64 bits stay integers (signed, or unsigned above INT64_MAX), larger
// ones become doubles; strings are checked UTF-8 with \u escapes and surrogate pairs decoded;
// nesting deeper than 1024 is an error, never a stack overflow. Bad input gives an absent value
// and an NSError (NSCocoaErrorDomain 3840) whose debug description names the problem and where.
// Writing: "/" is written "\/", other text as UTF-8; keys are always written sorted; NaN and
// infinities, dates, data and objects are refused with an error.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"

enum NSJSONReadingOptions : std::uint64_t {
    // Containers are copy-on-write values here, so these two change nothing.
    NSJSONReadingMutableContainers = 1 << 0,
    NSJSONReadingMutableLeaves = 1 << 1,
    // Allows a top level that is not an array or an object.
    NSJSONReadingAllowFragments = 1 << 2,
};

enum NSJSONWritingOptions : std::uint64_t {
    NSJSONWritingPrettyPrinted = 1 << 0,
    NSJSONWritingSortedKeys = 1 << 1,
};

// The user-info key of the byte offset where reading failed.
inline constexpr const char* NSJSONSerializationErrorIndex = "NSJSONSerializationErrorIndex";

class NSJSONSerialization {
public:
    static Value JSONObjectWithData(const Bytes& data, std::uint64_t options = 0, NSErrorRef* error = nullptr);
    static Value JSONObjectWithData(std::string_view text, std::uint64_t options = 0, NSErrorRef* error = nullptr);
    // The top level must be an array or a dictionary (unless fragments are allowed); nothing and
    // an error (3852) for anything that cannot be written.
    static std::optional<Bytes> dataWithJSONObject(
        const Value& object, std::uint64_t options = 0, NSErrorRef* error = nullptr);
    // True for an array or dictionary holding only strings, numbers (not NaN or infinite),
    // booleans, null, arrays and dictionaries.
    static bool isValidJSONObject(const Value& object);
};
