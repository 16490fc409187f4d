// What the progress HUD needs of an indicator that shows a determinate progress: the value
// set by key with a boxed number, as any view with a "progress" property takes it.
#pragma once

#include <string>

#include "platform/foundation/Value.h"

namespace ui {

class ProgressIndicator {
public:
    virtual ~ProgressIndicator() = default;
    // Sets a property by key; keys the view does not have are ignored.
    virtual void setValueForKey(const std::string& key, const Value& value) = 0;
};

} // namespace ui
