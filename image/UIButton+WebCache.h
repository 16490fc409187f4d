// Loading button images and background images per control state, and an image view's
// highlighted image, from URLs. Each state keeps its own load; a newer request for the same
// state and kind cancels the older. Meant for the main thread; reports hold the view weakly.
#pragma once
#include <memory>
#include <optional>
#include "image/WIImageTypes.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"

// UIButton(WebCache)
void wi_setImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<NSURL>& url, UIControlState state,
    const UIImageRef& placeholder = nullptr, WILoadOptions options = 0, WIViewCompletion completed = {});
void wi_setBackgroundImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<NSURL>& url,
    UIControlState state, const UIImageRef& placeholder = nullptr, WILoadOptions options = 0,
    WIViewCompletion completed = {});
// The URL for the button's current state, else the one for the normal state.
std::optional<NSURL> wi_currentImageURL(const std::shared_ptr<UIButton>& button);
std::optional<NSURL> wi_imageURLForState(const std::shared_ptr<UIButton>& button, UIControlState state);
// The state's running load of each kind in the view's load registry: setting one cancels the
// load it replaces.
void wi_setImageLoadOperation(const std::shared_ptr<UIButton>& button, WIImageOperationRef operation, UIControlState state);
void wi_cancelImageLoadForState(const std::shared_ptr<UIButton>& button, UIControlState state);
void wi_setBackgroundImageLoadOperation(
    const std::shared_ptr<UIButton>& button, WIImageOperationRef operation, UIControlState state);
void wi_cancelBackgroundImageLoadForState(const std::shared_ptr<UIButton>& button, UIControlState state);

// UIImageView(HighlightedWebCache): the normal image is never touched.
void wi_setHighlightedImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    WILoadOptions options = 0, WIDownloadProgress progress = {}, WIViewCompletion completed = {});
void wi_cancelCurrentHighlightedImageLoad(const std::shared_ptr<UIImageView>& view);
