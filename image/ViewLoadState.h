// Per-view state of the view extensions, held beside the view as an associated value (dropped
// with the view): running loads by key, the URLs last requested and the activity indicator.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include "image/WIImageTypes.h"

class UIView;
class UIActivityIndicatorView;

namespace image {
struct ViewLoadState {
    std::map<std::string, std::vector<WIImageOperationRef>> operations;
    std::map<std::string, std::optional<NSURL>> urls;
    std::shared_ptr<UIActivityIndicatorView> activityIndicator;
    bool showActivityIndicator = false;
    int indicatorStyle = 0; // a UIActivityIndicatorViewStyle
};

// Runs `body` on the view's state (made on first use) while no other such body runs.
void withViewState(const std::shared_ptr<UIView>& view, const std::function<void(ViewLoadState&)>& body);
} // namespace image
