// The old names, each a forward to its wi_ twin.
#include "image/WebCacheDeprecated.h"
#include "image/WIImageDecoding.h"

namespace {
// Drops the URL; no completion stays none.
WIViewCompletion withoutURL(WILegacyCompletion completed)
{
    if (!completed) {
        return {};
    }
    return [completed](UIImageRef image, std::shared_ptr<NSError> error, WICacheSource source, std::optional<NSURL>) {
        completed(std::move(image), std::move(error), source);
    };
}

// Drops the URL; no completion becomes one that does nothing.
WIViewCompletion alwaysCalled(WILegacyCompletion completed)
{
    if (!completed) {
        return [](UIImageRef, std::shared_ptr<NSError>, WICacheSource, std::optional<NSURL>) { };
    }
    return withoutURL(std::move(completed));
}
} // namespace

std::optional<std::string> contentTypeForImageData(const Bytes& data) { return wi_contentTypeForImageData(data); }

std::optional<NSURL> imageURL(const std::shared_ptr<UIImageView>& view) { return wi_imageURL(view); }

void setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WILoadOptions options)
{
    wi_setImageWithURL(view, url, placeholder, options);
}

void setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url, WILegacyCompletion completed)
{
    wi_setImageWithURL(view, url, nullptr, 0, {}, alwaysCalled(std::move(completed)));
}

void setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WILegacyCompletion completed)
{
    wi_setImageWithURL(view, url, placeholder, 0, {}, alwaysCalled(std::move(completed)));
}

void setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WILoadOptions options, WILegacyCompletion completed)
{
    wi_setImageWithURL(view, url, placeholder, options, {}, alwaysCalled(std::move(completed)));
}

void setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WILoadOptions options, WIDownloadProgress progress, WILegacyCompletion completed)
{
    wi_setImageWithURL(view, url, placeholder, options, std::move(progress), alwaysCalled(std::move(completed)));
}

void setAnimationImagesWithURLs(const std::shared_ptr<UIImageView>& view, const std::vector<NSURL>& urls)
{
    wi_setAnimationImagesWithURLs(view, urls);
}

void cancelCurrentArrayLoad(const std::shared_ptr<UIImageView>& view) { wi_cancelCurrentAnimationImagesLoad(view); }

void cancelCurrentImageLoad(const std::shared_ptr<UIImageView>& view) { wi_cancelCurrentImageLoad(view); }

void setHighlightedImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    WILoadOptions options, WIDownloadProgress progress, WILegacyCompletion completed)
{
    wi_setHighlightedImageWithURL(view, url, options, std::move(progress), withoutURL(std::move(completed)));
}

void setHighlightedImageWithURL(
    const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url, WILegacyCompletion completed)
{
    setHighlightedImageWithURL(view, url, 0, {}, std::move(completed));
}

void setHighlightedImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<NSURL>& url,
    WILoadOptions options, WILegacyCompletion completed)
{
    setHighlightedImageWithURL(view, url, options, {}, std::move(completed));
}

void cancelCurrentHighlightedImageLoad(const std::shared_ptr<UIImageView>& view)
{
    wi_cancelCurrentHighlightedImageLoad(view);
}

std::optional<NSURL> currentImageURL(const std::shared_ptr<UIButton>& button) { return wi_currentImageURL(button); }

std::optional<NSURL> imageURLForState(const std::shared_ptr<UIButton>& button, UIControlState state)
{
    return wi_imageURLForState(button, state);
}

void setImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<NSURL>& url, UIControlState state,
    const UIImageRef& placeholder, WILoadOptions options, WILegacyCompletion completed)
{
    wi_setImageWithURL(button, url, state, placeholder, options, withoutURL(std::move(completed)));
}

void setImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<NSURL>& url, UIControlState state,
    WILegacyCompletion completed)
{
    setImageWithURL(button, url, state, nullptr, 0, std::move(completed));
}

void setImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<NSURL>& url, UIControlState state,
    const UIImageRef& placeholder, WILegacyCompletion completed)
{
    setImageWithURL(button, url, state, placeholder, 0, std::move(completed));
}

void setBackgroundImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<NSURL>& url,
    UIControlState state, const UIImageRef& placeholder, WILoadOptions options, WILegacyCompletion completed)
{
    wi_setBackgroundImageWithURL(button, url, state, placeholder, options, withoutURL(std::move(completed)));
}

void setBackgroundImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<NSURL>& url,
    UIControlState state, WILegacyCompletion completed)
{
    setBackgroundImageWithURL(button, url, state, nullptr, 0, std::move(completed));
}

void setBackgroundImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<NSURL>& url,
    UIControlState state, const UIImageRef& placeholder, WILegacyCompletion completed)
{
    setBackgroundImageWithURL(button, url, state, placeholder, 0, std::move(completed));
}

void cancelCurrentImageLoad(const std::shared_ptr<UIButton>& button)
{
    if (button) {
        wi_cancelImageLoadForState(button, button->state());
    }
}

void cancelBackgroundImageLoadForState(const std::shared_ptr<UIButton>& button, UIControlState state)
{
    wi_cancelBackgroundImageLoadForState(button, state);
}

std::optional<NSURL> imageURL(const std::shared_ptr<MKAnnotationView>& view) { return wi_imageURL(view); }

void setImageWithURL(const std::shared_ptr<MKAnnotationView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WILoadOptions options, WILegacyCompletion completed)
{
    wi_setImageWithURL(view, url, placeholder, options, withoutURL(std::move(completed)));
}

void setImageWithURL(
    const std::shared_ptr<MKAnnotationView>& view, const std::optional<NSURL>& url, WILegacyCompletion completed)
{
    setImageWithURL(view, url, nullptr, 0, std::move(completed));
}

void setImageWithURL(const std::shared_ptr<MKAnnotationView>& view, const std::optional<NSURL>& url,
    const UIImageRef& placeholder, WILegacyCompletion completed)
{
    setImageWithURL(view, url, placeholder, 0, std::move(completed));
}

void cancelCurrentImageLoad(const std::shared_ptr<MKAnnotationView>& view) { wi_cancelCurrentImageLoad(view); }
