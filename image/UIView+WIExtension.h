// Reading and writing one component of a view's frame, keeping the other three.
#pragma once

#include "platform/uikit/UIView.h"

CGFloat wi_x(const UIView& view);
void wi_setX(UIView& view, CGFloat x);
CGFloat wi_y(const UIView& view);
void wi_setY(UIView& view, CGFloat y);
CGFloat wi_width(const UIView& view);
void wi_setWidth(UIView& view, CGFloat width);
CGFloat wi_height(const UIView& view);
void wi_setHeight(UIView& view, CGFloat height);
