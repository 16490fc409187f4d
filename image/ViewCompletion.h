// The manager's completion for a view extension's load, shared by the button, highlighted-image
// and annotation-view loads, and the report of a load asked for without a URL.
#pragma once
#include <functional>
#include <memory>
#include "image/WIImageManager.h"
#include "image/WIImageTypes.h"

namespace image {

// Calls `completed` on the main queue with the nil-URL error.
inline void reportNilURL(const WIViewCompletion& completed)
{
    runOnMainAsync([completed] {
        if (completed) {
            completed(nullptr, nilURLError(), WICacheSourceNone, std::nullopt);
        }
    });
}

// Applies images through `apply` on the main queue while the view lives; with `honourAvoidSet`,
// WILoadAvoidAutoSetImage hands an image with a completion to the completion instead.
template <typename View>
WILoadCompletion viewCompletion(const std::shared_ptr<View>& view, WILoadOptions options, WIViewCompletion completed,
    std::function<void(View&, const UIImageRef&)> apply, bool honourAvoidSet = true)
{
    std::weak_ptr<View> weak = view;
    return [weak, options, completed, apply, honourAvoidSet](UIImageRef image, std::shared_ptr<NSError> error,
               WICacheSource source, bool finished, std::optional<NSURL> imageURL) {
        if (weak.expired()) {
            return;
        }
        runOnMainSync([&] {
            auto strong = weak.lock();
            if (!strong) {
                return;
            }
            if (image && honourAvoidSet && (options & WILoadAvoidAutoSetImage) && completed) {
                completed(image, error, source, imageURL);
                return;
            }
            if (image) {
                apply(*strong, image);
            }
            if (completed && finished) {
                completed(image, error, source, imageURL);
            }
        });
    };
}

} // namespace image
