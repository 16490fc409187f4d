// Refresh operations on any scroll view: attach, remove, start and end its header and footer,
// hide them and set their texts. The scroll view refers to its header and footer without
// owning them (its view tree does); one that is no longer its subview counts as absent. Without
// a header or footer the operations do nothing and the readers give NO or none.
// Main thread only.
#pragma once

#include <optional>
#include <string>

#include "ui/PZRefreshFooterView.h"
#include "ui/PZRefreshHeaderView.h"

// The attached views; storing one notifies observers of "PZRefreshHeaderViewKey" or
// "PZRefreshFooterViewKey".
std::shared_ptr<PZRefreshHeaderView> pz_header(const UIScrollView& scrollView);
void pz_setHeader(UIScrollView& scrollView, const std::shared_ptr<PZRefreshHeaderView>& header);
std::shared_ptr<PZRefreshFooterView> pz_footer(const UIScrollView& scrollView);
void pz_setFooter(UIScrollView& scrollView, const std::shared_ptr<PZRefreshFooterView>& footer);

// Header: made and added once; a second call replaces the callback or target and action.
void pz_addHeaderWithCallback(UIScrollView& scrollView, PZRefreshBaseView::Callback callback);
void pz_addHeaderWithTarget(UIScrollView& scrollView, const NSObjectRef& target, PZRefreshBaseView::Action action);
void pz_removeHeader(UIScrollView& scrollView);
void pz_headerBeginRefreshing(UIScrollView& scrollView);
void pz_headerEndRefreshing(UIScrollView& scrollView);
void pz_setHeaderHidden(UIScrollView& scrollView, bool hidden);
bool pz_isHeaderHidden(const UIScrollView& scrollView);
bool pz_isHeaderRefreshing(const UIScrollView& scrollView);
void pz_setHeaderPullToRefreshText(UIScrollView& scrollView, const std::string& text);
std::optional<std::string> pz_headerPullToRefreshText(const UIScrollView& scrollView);
void pz_setHeaderReleaseToRefreshText(UIScrollView& scrollView, const std::string& text);
std::optional<std::string> pz_headerReleaseToRefreshText(const UIScrollView& scrollView);
void pz_setHeaderRefreshingText(UIScrollView& scrollView, const std::string& text);
std::optional<std::string> pz_headerRefreshingText(const UIScrollView& scrollView);

// Footer: the same.
void pz_addFooterWithCallback(UIScrollView& scrollView, PZRefreshBaseView::Callback callback);
void pz_addFooterWithTarget(UIScrollView& scrollView, const NSObjectRef& target, PZRefreshBaseView::Action action);
void pz_removeFooter(UIScrollView& scrollView);
void pz_footerBeginRefreshing(UIScrollView& scrollView);
void pz_footerEndRefreshing(UIScrollView& scrollView);
void pz_setFooterHidden(UIScrollView& scrollView, bool hidden);
bool pz_isFooterHidden(const UIScrollView& scrollView);
bool pz_isFooterRefreshing(const UIScrollView& scrollView);
void pz_setFooterPullToRefreshText(UIScrollView& scrollView, const std::string& text);
std::optional<std::string> pz_footerPullToRefreshText(const UIScrollView& scrollView);
void pz_setFooterReleaseToRefreshText(UIScrollView& scrollView, const std::string& text);
std::optional<std::string> pz_footerReleaseToRefreshText(const UIScrollView& scrollView);
void pz_setFooterRefreshingText(UIScrollView& scrollView, const std::string& text);
std::optional<std::string> pz_footerRefreshingText(const UIScrollView& scrollView);
