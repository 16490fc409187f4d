// Per-view state of the view extensions, held beside the view (by address, checked against a
// weak reference so that a dead view's state is dropped): running loads by key and the URLs
// last requested.
#pragma once
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include "image/WIImageTypes.h"

class UIView;

namespace image {
struct ViewLoadState {
    std::map<std::string, std::vector<WIImageOperationRef>> operations;
    std::map<std::string, std::optional<NSURL>> urls;
};

// Runs `body` on the view's state under the registry's lock (made on first use).
void withViewState(const std::shared_ptr<UIView>& view, const std::function<void(ViewLoadState&)>& body);
} // namespace image
