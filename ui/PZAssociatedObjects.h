// Objects associated with another object by key, held weakly: the per-object state that the
// scroll-view refresh operations keep on any scroll view (its header and footer). Entries of
// an object that is gone are dropped; an object later made at the same address starts empty.
// Main thread only.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NSObject.h"

namespace ui::refresh {

// The object stored under `key` on `owner`, or null when none is stored or it is gone.
std::shared_ptr<NSObject> associatedObject(const NSObject& owner, const std::string& key);
// Stores `value` (weakly) under `key`; a null value removes the entry.
void setAssociatedObject(NSObject& owner, const std::string& key, const std::shared_ptr<NSObject>& value);

} // namespace ui::refresh
