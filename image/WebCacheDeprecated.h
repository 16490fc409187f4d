// The old names of the view loading operations and of the content-type call, kept for callers
// written against them. Each forwards to its wi_ twin; completions drop the URL.
#pragma once
#include <optional>
#include <string>
#include <vector>
#include "image/MKAnnotationView+WebCache.h"
#include "image/UIButton+WebCache.h"
#include "image/UIImageView+WebCache.h"

// NSData(ImageContentTypeDeprecated)
std::optional<std::string> contentTypeForImageData(const Bytes& data);

// UIImageView(WebCacheDeprecated). A missing completion is passed on as one that does nothing.
std::optional<NSURL> imageURL(const std::shared_ptr<UIImageView>& view);
void setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder = nullptr, WILoadOptions options = 0);
void setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url, WILegacyCompletion completed);
void setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WILegacyCompletion completed);
void setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WILoadOptions options, WILegacyCompletion completed);
void setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WILoadOptions options, WIDownloadProgress progress, WILegacyCompletion completed);
void setAnimationImagesWithURLs(const std::shared_ptr<UIImageView>& view, const std::vector<NSURL>& urls);
void cancelCurrentArrayLoad(const std::shared_ptr<UIImageView>& view);
void cancelCurrentImageLoad(const std::shared_ptr<UIImageView>& view);

// UIImageView(HighlightedWebCacheDeprecated)
void setHighlightedImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    WILoadOptions options = 0, WIDownloadProgress progress = {}, WILegacyCompletion completed = {});
void setHighlightedImageWithURL(
    const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url, WILegacyCompletion completed);
void setHighlightedImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    WILoadOptions options, WILegacyCompletion completed);
void cancelCurrentHighlightedImageLoad(const std::shared_ptr<UIImageView>& view);

// UIButton(WebCacheDeprecated)
std::optional<NSURL> currentImageURL(const std::shared_ptr<UIButton>& button);
std::optional<NSURL> imageURLForState(const std::shared_ptr<UIButton>& button, UIControlState state);
void setImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<NSURL>& url, UIControlState state,
    const UIImageRef& placeholder = nullptr, WILoadOptions options = 0, WILegacyCompletion completed = {});
void setImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<NSURL>& url, UIControlState state,
    WILegacyCompletion completed);
void setImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<NSURL>& url, UIControlState state,
    const UIImageRef& placeholder, WILegacyCompletion completed);
void setBackgroundImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<NSURL>& url,
    UIControlState state, const UIImageRef& placeholder = nullptr, WILoadOptions options = 0,
    WILegacyCompletion completed = {});
void setBackgroundImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<NSURL>& url,
    UIControlState state, WILegacyCompletion completed);
void setBackgroundImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<NSURL>& url,
    UIControlState state, const UIImageRef& placeholder, WILegacyCompletion completed);
// Cancels the image load of the button's current state.
void cancelCurrentImageLoad(const std::shared_ptr<UIButton>& button);
void cancelBackgroundImageLoadForState(const std::shared_ptr<UIButton>& button, UIControlState state);

// MKAnnotationView(WebCacheDeprecated)
std::optional<NSURL> imageURL(const std::shared_ptr<MKAnnotationView>& view);
void setImageWithURL(const std::shared_ptr<MKAnnotationView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder = nullptr, WILoadOptions options = 0, WILegacyCompletion completed = {});
void setImageWithURL(
    const std::shared_ptr<MKAnnotationView>& view, const std::optional<NSURL>& url, WILegacyCompletion completed);
void setImageWithURL(const std::shared_ptr<MKAnnotationView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WILegacyCompletion completed);
void cancelCurrentImageLoad(const std::shared_ptr<MKAnnotationView>& view);
