// The push client's dictionary behaviour: assigning nothing to a key removes it, and two
// dictionaries are equal when they match once their "itime" time stamps are left out, so two
// report items that differ only in when they were made count as the same item. Nested
// dictionaries and arrays compare the same way. The platform's own Value equality is left as
// it is; push code compares and hashes items through these functions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace push {

inline constexpr std::string_view kItemTimeKey = "itime";

// Stores `value` under `key` of the dictionary; an absent value removes the key (nothing
// happens when it is not there). A `dictionary` that is absent becomes a dictionary first;
// one of any other kind is left alone.
void setObjectForKeyedSubscript(Value& dictionary, std::string key, const Value& value);

// Equality of report items: dictionaries without their "itime" keys, arrays element by element,
// everything else as the platform compares it. A dictionary never equals an array.
bool reportEqual(const Value& a, const Value& b);

// A hash that agrees with reportEqual (equal items hash alike).
std::size_t reportHash(const Value& value);

struct ReportHash {
    std::size_t operator()(const Value& value) const { return reportHash(value); }
};
struct ReportEqual {
    bool operator()(const Value& a, const Value& b) const { return reportEqual(a, b); }
};

} // namespace push
