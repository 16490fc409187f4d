// WICollectionViewCell: the carousel page's image view and caption strip.
#include "image/WICollectionViewCell.h"

WICollectionViewCell::WICollectionViewCell(CGRect frame)
    : UICollectionViewCell(frame)
{
}

std::shared_ptr<UIImageView> WICollectionViewCell::imageView()
{
    makeSubviews();
    return imageView_.lock();
}

std::shared_ptr<UILabel> WICollectionViewCell::titleLabel()
{
    makeSubviews();
    return titleLabel_.lock();
}

void WICollectionViewCell::makeSubviews()
{
    if (imageView_.lock())
        return;
    auto imageView = UIImageView::create();
    contentView()->addSubview(imageView);
    imageView_ = imageView;
    auto label = UILabel::create();
    label->setHidden(true);
    contentView()->addSubview(label);
    titleLabel_ = label;
}

void WICollectionViewCell::setTitle(const std::string& title)
{
    title_ = title;
    auto label = titleLabel();
    if (!label)
        return;
    label->setText(title.empty() ? std::string() : "   " + title);
    label->setHidden(title.empty());
}

void WICollectionViewCell::setTitleLabelTextColor(const UIColor& color)
{
    if (auto label = titleLabel())
        label->setTextColor(color);
}

void WICollectionViewCell::setTitleLabelTextFont(const UIFont& font)
{
    if (auto label = titleLabel())
        label->setFont(font);
}

void WICollectionViewCell::setTitleLabelBackgroundColor(const UIColor& color)
{
    if (auto label = titleLabel())
        label->setBackgroundColor(color);
}

void WICollectionViewCell::setTitleLabelHeight(double height)
{
    titleLabelHeight_ = height;
    setNeedsLayout();
}

void WICollectionViewCell::layoutSubviews()
{
    UICollectionViewCell::layoutSubviews();
    CGSize size = bounds().size;
    if (auto imageView = this->imageView())
        imageView->setFrame(bounds());
    if (auto label = titleLabel()) {
        label->setFrame({ { 0, size.height - titleLabelHeight_ }, { size.width, titleLabelHeight_ } });
        label->setHidden(label->text().empty());
    }
}
