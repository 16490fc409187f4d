// Short accessors for single frame values of a view and single inset, offset and size values
// of a scroll view, used by the pull-to-refresh views. Each setter reads the whole value,
// replaces one component and writes it back.
#pragma once

#include "platform/uikit/UIScrollView.h"

CGFloat pz_x(const UIView& view);
void pz_setX(UIView& view, CGFloat x);
CGFloat pz_y(const UIView& view);
void pz_setY(UIView& view, CGFloat y);
CGFloat pz_width(const UIView& view);
void pz_setWidth(UIView& view, CGFloat width);
CGFloat pz_height(const UIView& view);
void pz_setHeight(UIView& view, CGFloat height);
CGSize pz_size(const UIView& view);
void pz_setSize(UIView& view, CGSize size);
CGPoint pz_origin(const UIView& view);
void pz_setOrigin(UIView& view, CGPoint origin);

CGFloat pz_contentInsetTop(const UIScrollView& scrollView);
void pz_setContentInsetTop(UIScrollView& scrollView, CGFloat top);
CGFloat pz_contentInsetLeft(const UIScrollView& scrollView);
void pz_setContentInsetLeft(UIScrollView& scrollView, CGFloat left);
CGFloat pz_contentInsetBottom(const UIScrollView& scrollView);
void pz_setContentInsetBottom(UIScrollView& scrollView, CGFloat bottom);
CGFloat pz_contentInsetRight(const UIScrollView& scrollView);
void pz_setContentInsetRight(UIScrollView& scrollView, CGFloat right);
CGFloat pz_contentOffsetX(const UIScrollView& scrollView);
void pz_setContentOffsetX(UIScrollView& scrollView, CGFloat x);
CGFloat pz_contentOffsetY(const UIScrollView& scrollView);
void pz_setContentOffsetY(UIScrollView& scrollView, CGFloat y);
CGFloat pz_contentSizeWidth(const UIScrollView& scrollView);
void pz_setContentSizeWidth(UIScrollView& scrollView, CGFloat width);
CGFloat pz_contentSizeHeight(const UIScrollView& scrollView);
void pz_setContentSizeHeight(UIScrollView& scrollView, CGFloat height);
