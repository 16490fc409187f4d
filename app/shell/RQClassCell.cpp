// The home tile's picture and caption.
#include "app/shell/RQClassCell.h"

std::shared_ptr<UIImageView> RQClassCell::tileImage()
{
    if (tileImage_)
        return tileImage_;
    CGFloat width = frame().size.width;
    tileImage_ = UIImageView::create(CGRectMake((width - 60) / 2, 10, 60, 60));
    addSubview(tileImage_);
    return tileImage_;
}

std::shared_ptr<UILabel> RQClassCell::tileLabel()
{
    if (tileLabel_)
        return tileLabel_;
    auto picture = tileImage();
    CGRect pictureFrame = picture->frame();
    tileLabel_
        = UILabel::create(CGRectMake(0, pictureFrame.origin.y + pictureFrame.size.height + 5, frame().size.width, 21));
    tileLabel_->setFont(UIFont::systemFontOfSize(14));
    tileLabel_->setTextAlignment(NSTextAlignmentCenter);
    tileLabel_->setTextColor(UIColor::grayColor());
    addSubview(tileLabel_);
    return tileLabel_;
}
