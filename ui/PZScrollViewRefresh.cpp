// Refresh operations of scroll views: the header and footer kept as associated values (held
// weakly; the scroll view owns them as subviews), and the pass-through operations.
#include "ui/PZScrollViewRefresh.h"

#include "platform/uikit/AssociatedValue.h"

namespace {

struct RefreshKey {
    const char* name;
    uikit::AssociatedValue<std::weak_ptr<NSObject>> value;
};
const RefreshKey headerKey { "PZRefreshHeaderViewKey", {} };
const RefreshKey footerKey { "PZRefreshFooterViewKey", {} };

// The view stored under the key while it is still a subview of the scroll view.
template <class View>
std::shared_ptr<View> attached(const UIScrollView& scrollView, const RefreshKey& key)
{
    auto stored = key.value.get(scrollView);
    auto view = std::dynamic_pointer_cast<View>(stored ? stored->lock() : nullptr);
    if (!view || view->superview().get() != &scrollView)
        return nullptr;
    return view;
}

void store(UIScrollView& scrollView, const RefreshKey& key, const std::shared_ptr<NSObject>& view)
{
    scrollView.willChangeValueForKey(key.name);
    if (view)
        key.value.set(scrollView, view);
    else
        key.value.remove(scrollView);
    scrollView.didChangeValueForKey(key.name);
}

std::shared_ptr<PZRefreshHeaderView> ensureHeader(UIScrollView& scrollView)
{
    if (auto header = pz_header(scrollView))
        return header;
    auto header = PZRefreshHeaderView::header();
    scrollView.addSubview(header);
    pz_setHeader(scrollView, header);
    return header;
}

std::shared_ptr<PZRefreshFooterView> ensureFooter(UIScrollView& scrollView)
{
    if (auto footer = pz_footer(scrollView))
        return footer;
    auto footer = PZRefreshFooterView::footer();
    scrollView.addSubview(footer);
    pz_setFooter(scrollView, footer);
    return footer;
}

template <class Read>
std::optional<std::string> readText(const std::shared_ptr<PZRefreshBaseView>& view, Read read)
{
    if (!view)
        return std::nullopt;
    return read(*view);
}

} // namespace

std::shared_ptr<PZRefreshHeaderView> pz_header(const UIScrollView& scrollView)
{
    return attached<PZRefreshHeaderView>(scrollView, headerKey);
}

void pz_setHeader(UIScrollView& scrollView, const std::shared_ptr<PZRefreshHeaderView>& header)
{
    store(scrollView, headerKey, header);
}

std::shared_ptr<PZRefreshFooterView> pz_footer(const UIScrollView& scrollView)
{
    return attached<PZRefreshFooterView>(scrollView, footerKey);
}

void pz_setFooter(UIScrollView& scrollView, const std::shared_ptr<PZRefreshFooterView>& footer)
{
    store(scrollView, footerKey, footer);
}

void pz_addHeaderWithCallback(UIScrollView& scrollView, PZRefreshBaseView::Callback callback)
{
    ensureHeader(scrollView)->setBeginRefreshingCallback(std::move(callback));
}

void pz_addHeaderWithTarget(UIScrollView& scrollView, const NSObjectRef& target, PZRefreshBaseView::Action action)
{
    auto header = ensureHeader(scrollView);
    header->setBeginRefreshingTaget(target);
    header->setBeginRefreshingAction(std::move(action));
}

void pz_removeHeader(UIScrollView& scrollView)
{
    if (auto header = pz_header(scrollView))
        header->removeFromSuperview();
    pz_setHeader(scrollView, nullptr);
}

void pz_headerBeginRefreshing(UIScrollView& scrollView)
{
    if (auto header = pz_header(scrollView))
        header->beginRefreshing();
}

void pz_headerEndRefreshing(UIScrollView& scrollView)
{
    if (auto header = pz_header(scrollView))
        header->endRefreshing();
}

void pz_setHeaderHidden(UIScrollView& scrollView, bool hidden)
{
    if (auto header = pz_header(scrollView))
        header->setHidden(hidden);
}

bool pz_isHeaderHidden(const UIScrollView& scrollView)
{
    auto header = pz_header(scrollView);
    return header && header->isHidden();
}

bool pz_isHeaderRefreshing(const UIScrollView& scrollView)
{
    auto header = pz_header(scrollView);
    return header && header->isRefreshing();
}

void pz_setHeaderPullToRefreshText(UIScrollView& scrollView, const std::string& text)
{
    if (auto header = pz_header(scrollView))
        header->setPullToRefreshText(text);
}

std::optional<std::string> pz_headerPullToRefreshText(const UIScrollView& scrollView)
{
    return readText(pz_header(scrollView), [](auto& v) { return v.pullToRefreshText(); });
}

void pz_setHeaderReleaseToRefreshText(UIScrollView& scrollView, const std::string& text)
{
    if (auto header = pz_header(scrollView))
        header->setReleaseToRefreshText(text);
}

std::optional<std::string> pz_headerReleaseToRefreshText(const UIScrollView& scrollView)
{
    return readText(pz_header(scrollView), [](auto& v) { return v.releaseToRefreshText(); });
}

void pz_setHeaderRefreshingText(UIScrollView& scrollView, const std::string& text)
{
    if (auto header = pz_header(scrollView))
        header->setRefreshingText(text);
}

std::optional<std::string> pz_headerRefreshingText(const UIScrollView& scrollView)
{
    return readText(pz_header(scrollView), [](auto& v) { return v.refreshingText(); });
}

void pz_addFooterWithCallback(UIScrollView& scrollView, PZRefreshBaseView::Callback callback)
{
    ensureFooter(scrollView)->setBeginRefreshingCallback(std::move(callback));
}

void pz_addFooterWithTarget(UIScrollView& scrollView, const NSObjectRef& target, PZRefreshBaseView::Action action)
{
    auto footer = ensureFooter(scrollView);
    footer->setBeginRefreshingTaget(target);
    footer->setBeginRefreshingAction(std::move(action));
}

void pz_removeFooter(UIScrollView& scrollView)
{
    if (auto footer = pz_footer(scrollView))
        footer->removeFromSuperview();
    pz_setFooter(scrollView, nullptr);
}

void pz_footerBeginRefreshing(UIScrollView& scrollView)
{
    if (auto footer = pz_footer(scrollView))
        footer->beginRefreshing();
}

void pz_footerEndRefreshing(UIScrollView& scrollView)
{
    if (auto footer = pz_footer(scrollView))
        footer->endRefreshing();
}

void pz_setFooterHidden(UIScrollView& scrollView, bool hidden)
{
    if (auto footer = pz_footer(scrollView))
        footer->setHidden(hidden);
}

bool pz_isFooterHidden(const UIScrollView& scrollView)
{
    auto footer = pz_footer(scrollView);
    return footer && footer->isHidden();
}

bool pz_isFooterRefreshing(const UIScrollView& scrollView)
{
    auto footer = pz_footer(scrollView);
    return footer && footer->isRefreshing();
}

void pz_setFooterPullToRefreshText(UIScrollView& scrollView, const std::string& text)
{
    if (auto footer = pz_footer(scrollView))
        footer->setPullToRefreshText(text);
}

std::optional<std::string> pz_footerPullToRefreshText(const UIScrollView& scrollView)
{
    return readText(pz_footer(scrollView), [](auto& v) { return v.pullToRefreshText(); });
}

void pz_setFooterReleaseToRefreshText(UIScrollView& scrollView, const std::string& text)
{
    if (auto footer = pz_footer(scrollView))
        footer->setReleaseToRefreshText(text);
}

std::optional<std::string> pz_footerReleaseToRefreshText(const UIScrollView& scrollView)
{
    return readText(pz_footer(scrollView), [](auto& v) { return v.releaseToRefreshText(); });
}

void pz_setFooterRefreshingText(UIScrollView& scrollView, const std::string& text)
{
    if (auto footer = pz_footer(scrollView))
        footer->setRefreshingText(text);
}

std::optional<std::string> pz_footerRefreshingText(const UIScrollView& scrollView)
{
    return readText(pz_footer(scrollView), [](auto& v) { return v.refreshingText(); });
}
