// Per-view load state, kept as an associated value of the view.
#include "image/ViewLoadState.h"
#include "platform/uikit/AssociatedValue.h"
#include "platform/uikit/UIView.h"

namespace image {
namespace {
const uikit::AssociatedValue<ViewLoadState> loadState;
} // namespace

void withViewState(const std::shared_ptr<UIView>& view, const std::function<void(ViewLoadState&)>& body)
{
    if (!view) {
        return;
    }
    loadState.with(*view, body);
}
} // namespace image
