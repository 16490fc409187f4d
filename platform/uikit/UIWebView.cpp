// Web views: loads through the pluggable loader, delegate calls on the main queue, the page and
// its pictures shown in the scroll view, link taps, the script context stand-in.
#include "platform/uikit/UIWebView.h"

#include <mutex>

#include "platform/network/NSURLConnection.h"
#include "platform/network/URLError.h"
#include "platform/threading/Dispatch.h"
#include "platform/threading/NSOperation.h"
#include "platform/uikit/UIKitCore.h"

namespace uikit::web {
namespace {

std::mutex loaderMutex;
Loader& currentLoader()
{
    static Loader loader;
    return loader;
}

Loader activeLoader()
{
    std::lock_guard lock(loaderMutex);
    return currentLoader() ? currentLoader() : defaultLoader();
}

} // namespace

void setLoader(Loader loader)
{
    std::lock_guard lock(loaderMutex);
    currentLoader() = std::move(loader);
}

Loader defaultLoader()
{
    return [](const std::shared_ptr<NSURLRequest>& request, Completion done) {
        NSURLConnection::sendAsynchronousRequest(request, NSOperationQueue::mainQueue(),
            [done = std::move(done)](std::shared_ptr<NSURLResponse> response, std::optional<Bytes> data, std::shared_ptr<NSError> error) {
                LoadResult result;
                result.response = std::move(response);
                result.error = std::move(error);
                if (data)
                    result.html.assign(data->begin(), data->end());
                if (!result.error && !data)
                    result.error = network::urlError(NSURLErrorUnknown, std::nullopt);
                done(std::move(result));
            });
    };
}

void reset()
{
    setLoader({});
}

} // namespace uikit::web

namespace {
constexpr const char* kScriptContextKeyPath = "documentView.webView.mainFrame.javaScriptContext";
}

UIWebView::UIWebView(CGRect frame)
    : UIView(frame)
{
    setBackgroundColor(UIColor::whiteColor());
}

std::shared_ptr<UIWebView> UIWebView::initWithFrame(CGRect frame)
{
    auto view = std::make_shared<UIWebView>(frame);
    view->scrollView();
    return view;
}

std::shared_ptr<UIScrollView> UIWebView::scrollView()
{
    if (!scrollView_) {
        scrollView_ = std::make_shared<uikit::web::WebDocumentView>(bounds());
        scrollView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        std::weak_ptr<UIWebView> weak = sharedAs<UIWebView>();
        scrollView_->setLinkHandler([weak](const NSURL& url) {
            if (auto self = weak.lock())
                self->followLink(url);
        });
        addSubview(scrollView_);
    }
    return scrollView_;
}

std::shared_ptr<JSContext> UIWebView::javaScriptContext()
{
    if (!context_)
        context_ = JSContext::create();
    return context_;
}

Value UIWebView::valueForKeyPath(const std::string& keyPath)
{
    if (keyPath == kScriptContextKeyPath)
        return Value(javaScriptContext());
    return {};
}

std::string UIWebView::dumpText() const
{
    if (!request_ || !request_->URL())
        return "";
    return request_->URL()->absoluteString();
}

void UIWebView::layoutSubviews()
{
    if (scrollView_)
        scrollView_->setFrame(bounds());
}

void UIWebView::loadRequest(const std::shared_ptr<NSURLRequest>& request)
{
    if (!request)
        return;
    request_ = request;
    std::uint64_t generation = ++generation_;
    std::weak_ptr<UIWebView> weak = sharedAs<UIWebView>();
    uikit::performOnMainSoon([weak, generation, request] {
        if (auto self = weak.lock())
            self->begin(generation, request, UIWebViewNavigationTypeOther);
    });
}

void UIWebView::followLink(const NSURL& url)
{
    std::uint64_t generation = ++generation_;
    std::weak_ptr<UIWebView> weak = sharedAs<UIWebView>();
    uikit::performOnMainSoon([weak, generation, request = NSURLRequest::requestWithURL(url)] {
        if (auto self = weak.lock())
            self->begin(generation, request, UIWebViewNavigationTypeLinkClicked);
    });
}

void UIWebView::reload()
{
    if (!request_)
        return;
    std::uint64_t generation = ++generation_;
    std::weak_ptr<UIWebView> weak = sharedAs<UIWebView>();
    uikit::performOnMainSoon([weak, generation, request = request_] {
        if (auto self = weak.lock())
            self->begin(generation, request, UIWebViewNavigationTypeReload);
    });
}

void UIWebView::stopLoading()
{
    ++generation_;
    if (!loading_)
        return;
    std::weak_ptr<UIWebView> weak = sharedAs<UIWebView>();
    loading_ = false;
    uikit::performOnMainSoon([weak] {
        if (auto self = weak.lock())
            self->failStarted();
    });
}

void UIWebView::failStarted()
{
    auto error = network::urlError(NSURLErrorCancelled, request_ ? request_->URL() : std::nullopt);
    if (auto d = delegate_.lock())
        d->webViewDidFailLoadWithError(sharedAs<UIWebView>(), error);
}

void UIWebView::begin(std::uint64_t generation, std::shared_ptr<NSURLRequest> request, UIWebViewNavigationType type)
{
    if (generation != generation_)
        return; // superseded before it began
    auto self = sharedAs<UIWebView>();
    if (loading_) {
        loading_ = false;
        failStarted();
        if (generation != generation_)
            return;
    }
    if (auto d = delegate_.lock(); d && !d->webViewShouldStartLoadWithRequest(self, request, type))
        return;
    if (generation != generation_)
        return;
    request_ = request;
    loading_ = true;
    if (auto d = delegate_.lock())
        d->webViewDidStartLoad(self);
    if (generation != generation_)
        return;
    std::weak_ptr<UIWebView> weak = self;
    uikit::web::activeLoader()(request, [weak, generation](uikit::web::LoadResult result) {
        dispatch_async(dispatch_get_main_queue(), [weak, generation, result = std::move(result)]() mutable {
            if (auto strong = weak.lock())
                strong->complete(generation, std::move(result));
        });
    });
}

void UIWebView::complete(std::uint64_t generation, uikit::web::LoadResult result)
{
    if (generation != generation_ || !loading_)
        return;
    loading_ = false;
    auto self = sharedAs<UIWebView>();
    auto d = delegate_.lock();
    if (result.error) {
        if (d)
            d->webViewDidFailLoadWithError(self, result.error);
        return;
    }
    response_ = std::move(result.response);
    html_ = std::move(result.html);
    showPage();
    if (d)
        d->webViewDidFinishLoad(self);
}

void UIWebView::showPage()
{
    std::optional<NSURL> base;
    if (response_ && response_->URL())
        base = response_->URL();
    else if (request_)
        base = request_->URL();
    ++page_;
    std::weak_ptr<UIWebView> weak = sharedAs<UIWebView>();
    scrollView();
    scrollView_->setDocument(std::make_unique<uikit::web::WebDocument>(html_, base, [weak](const NSURL& url) {
        // Asked during layout: the load starts once the layout is done.
        uikit::performOnMainSoon([weak, url] {
            if (auto self = weak.lock())
                self->loadImage(url);
        });
    }));
}

void UIWebView::loadImage(const NSURL& url)
{
    std::weak_ptr<UIWebView> weak = sharedAs<UIWebView>();
    uikit::web::activeLoader()(NSURLRequest::requestWithURL(url),
        [weak, page = page_, key = url.absoluteString()](uikit::web::LoadResult result) {
            UIImageRef image;
            if (!result.error)
                image = UIImage::imageWithData(Bytes(result.html.begin(), result.html.end()));
            dispatch_async(dispatch_get_main_queue(), [weak, page, key, image] {
                if (auto self = weak.lock())
                    self->imageArrived(page, key, image);
            });
        });
}

void UIWebView::imageArrived(std::uint64_t page, const std::string& url, const UIImageRef& image)
{
    if (page != page_ || !image || !scrollView_->document())
        return;
    if (scrollView_->document()->setImage(url, image))
        scrollView_->relayout();
}
