// MKAnnotationView: the least of a map's annotation view, a view that shows an image at its
// own size, centred. Setting an image sizes the view to it.
#pragma once

#include "platform/uikit/UIView.h"

class MKAnnotationView : public UIView {
public:
    explicit MKAnnotationView(CGRect frame = CGRectZero)
        : UIView(frame)
    {
        setOpaque(false);
    }
    static std::shared_ptr<MKAnnotationView> create(CGRect frame = CGRectZero)
    {
        return std::make_shared<MKAnnotationView>(frame);
    }
    std::string className() const override { return "MKAnnotationView"; }

    const UIImageRef& image() const { return image_; }
    void setImage(const UIImageRef& image)
    {
        image_ = image;
        CGRect bounds = this->bounds();
        bounds.size = image ? image->size() : CGSizeZero;
        setBounds(bounds);
        setNeedsDisplay();
    }

    void drawRect(CGRect) override
    {
        if (!image_)
            return;
        CGSize size = image_->size();
        CGRect area = bounds();
        image_->drawInRect(CGRectMake(CGRectGetMidX(area) - size.width / 2, CGRectGetMidY(area) - size.height / 2,
            size.width, size.height));
    }

private:
    UIImageRef image_;
};
