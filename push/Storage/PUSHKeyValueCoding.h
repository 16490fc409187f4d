// Key-value access to an object's named properties: how a FIFO queue reads the key of an item
// (the session keys its requests by "rid").
#pragma once

#include <string>

#include "platform/foundation/Value.h"

namespace push {

// Objects whose named properties can be read as values (the key of a FIFO queue item).
class KeyValueCoding {
public:
    virtual ~KeyValueCoding() = default;
    virtual Value valueForKey(const std::string& key) const = 0;
};

} // namespace push
