// Owned libplist trees and their conversion to and from Value. Shared by the property-list
// serializer and the keyed archiver (which also needs the UID nodes Value has no room for).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <plist/plist.h>

#include "platform/foundation/Value.h"
#include "platform/persistence/NSPropertyListSerialization.h"

namespace persistence::plist {

struct Free {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Tree = std::unique_ptr<void, Free>;

// Containers nested deeper than this are refused when read or written.
inline constexpr int kMaxDepth = 512;

// Parses XML or binary bytes; on failure nothing, with `problem` saying why.
Tree parse(const Bytes& data, NSPropertyListFormat* format, std::string* problem);
// Serialises a tree; only the XML and binary formats.
std::optional<Bytes> serialize(plist_t root, NSPropertyListFormat format);

// Tree to Value (a UID becomes {"CF$UID": n}). Nothing (with `problem`) for bad UTF-8 or too
// deep nesting.
std::optional<Value> toValue(plist_t node, std::string* problem);
// Value to tree. Nothing (with `problem`) for null, absent values and objects.
Tree fromValue(const Value& value, std::string* problem);

// Scalars, exposed for the archiver.
Tree makeInteger(const Value& integer);
std::optional<Value> readInteger(plist_t node);
Tree makeDate(double secondsSince1970);
double readDate(plist_t node);
std::string readString(plist_t node);

} // namespace persistence::plist
