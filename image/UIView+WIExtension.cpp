// Frame component accessors for views.
#include "image/UIView+WIExtension.h"

CGFloat wi_x(const UIView& view) { return view.frame().origin.x; }
CGFloat wi_y(const UIView& view) { return view.frame().origin.y; }
CGFloat wi_width(const UIView& view) { return view.frame().size.width; }
CGFloat wi_height(const UIView& view) { return view.frame().size.height; }

void wi_setX(UIView& view, CGFloat x)
{
    CGRect frame = view.frame();
    frame.origin.x = x;
    view.setFrame(frame);
}

void wi_setY(UIView& view, CGFloat y)
{
    CGRect frame = view.frame();
    frame.origin.y = y;
    view.setFrame(frame);
}

void wi_setWidth(UIView& view, CGFloat width)
{
    CGRect frame = view.frame();
    frame.size.width = width;
    view.setFrame(frame);
}

void wi_setHeight(UIView& view, CGFloat height)
{
    CGRect frame = view.frame();
    frame.size.height = height;
    view.setFrame(frame);
}
