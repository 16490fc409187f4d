// Per-view state of the view extensions, held beside the view as an associated value (dropped
// with the view): running loads by key and the URLs last requested.
#pragma once
#include <functional>
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

// Runs `body` on the view's state (made on first use) while no other such body runs.
void withViewState(const std::shared_ptr<UIView>& view, const std::function<void(ViewLoadState&)>& body);
} // namespace image
