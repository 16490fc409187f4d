// WICollectionViewCell: one page of the banner carousel, an image filling the cell and an
// optional caption strip along its bottom edge.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

class WICollectionViewCell : public UICollectionViewCell {
public:
    explicit WICollectionViewCell(CGRect frame = CGRectZero);
    std::string className() const override { return "WICollectionViewCell"; }

    // Both made on first use (a view cannot take subviews while it is being constructed).
    std::shared_ptr<UIImageView> imageView();
    std::shared_ptr<UILabel> titleLabel();

    const std::string& title() const { return title_; }
    // Shown with three leading spaces; an empty title hides the caption strip.
    void setTitle(const std::string& title);
    void setTitleLabelTextColor(const UIColor& color);
    void setTitleLabelTextFont(const UIFont& font);
    void setTitleLabelBackgroundColor(const UIColor& color);
    double titleLabelHeight() const { return titleLabelHeight_; }
    void setTitleLabelHeight(double height);
    bool hasConfigured() const { return hasConfigured_; }
    void setHasConfigured(bool configured) { hasConfigured_ = configured; }

    void layoutSubviews() override;

private:
    void makeSubviews();
    std::weak_ptr<UIImageView> imageView_;
    std::weak_ptr<UILabel> titleLabel_;
    std::string title_;
    double titleLabelHeight_ = 0;
    bool hasConfigured_ = false;
};
