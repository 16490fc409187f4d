// RQClassCell: a tile of the home grid. Its two outlets stay empty (the grid registers the class,
// not a layout file); the tile's picture and caption are views the cell makes once, the first
// time the grid asks for them, so a reused cell is filled again rather than stacked with more.
#pragma once

#include <memory>

#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

inline constexpr const char* kRQClassCellIdentifier = "SearchCollectionIDYZX";

class RQClassCell final : public UICollectionViewCell {
public:
    using UICollectionViewCell::UICollectionViewCell;
    std::string className() const override { return "RQClassCell"; }
    void awakeFromNib() { }

    std::weak_ptr<UIImageView> image;
    std::weak_ptr<UILabel> nameStr;

    // The tile's picture, 60 by 60, centred at the top; made on first use.
    std::shared_ptr<UIImageView> tileImage();
    // The caption 5 points below the picture, the tile's width wide; made on first use.
    std::shared_ptr<UILabel> tileLabel();

private:
    std::shared_ptr<UIImageView> tileImage_;
    std::shared_ptr<UILabel> tileLabel_;
};
