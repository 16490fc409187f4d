// Collection view layouts: the base a collection view asks where its items go, and the flow
// layout that places items in lines (rows when scrolling vertically, columns when scrolling
// horizontally), with section insets and the minimum spacings between lines and between items.
//
// Flow rules: items fill a line while they fit across the space left by the collection view's
// content inset and the section inset; a line that is not a section's last and holds several
// items spreads them to both edges; a line of one item centres it; a section's last line keeps
// the minimum spacing from the leading edge. Items smaller than their line are centred along
// the scrolling axis. Sizes, insets and spacings come from a flow-layout delegate when the
// collection view's delegate is one, else from the layout's own properties.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/graphics/Geometry.h"
#include "platform/uikit/UIKitCore.h"

class UICollectionView;

// Where one item goes, in the collection view's content space.
struct UICollectionViewLayoutAttributes {
    NSIndexPath indexPath;
    CGRect frame;
};

class UICollectionViewLayout : public NSObject {
public:
    std::string className() const override { return "UICollectionViewLayout"; }
    // The collection view using this layout (null before it is attached).
    std::shared_ptr<UICollectionView> collectionView() const { return collectionView_.lock(); }
    // Marks the layout stale: the collection view computes it again before it is next used.
    virtual void invalidateLayout();

    // Computes the layout from the collection view's counts and bounds.
    virtual void prepareLayout() { }
    virtual CGSize collectionViewContentSize() const = 0;
    // Every item whose frame meets `rect`, in index path order.
    virtual std::vector<UICollectionViewLayoutAttributes> layoutAttributesForElementsInRect(CGRect rect) const = 0;
    virtual std::optional<UICollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(NSIndexPath indexPath) const = 0;

private:
    friend class UICollectionView;
    std::weak_ptr<UICollectionView> collectionView_;
};

enum UICollectionViewScrollDirection : int {
    UICollectionViewScrollDirectionVertical = 0,
    UICollectionViewScrollDirectionHorizontal = 1,
};

class UICollectionViewFlowLayout : public UICollectionViewLayout {
public:
    static std::shared_ptr<UICollectionViewFlowLayout> create() { return std::make_shared<UICollectionViewFlowLayout>(); }
    std::string className() const override { return "UICollectionViewFlowLayout"; }

    CGSize itemSize() const { return itemSize_; }
    void setItemSize(CGSize size);
    CGFloat minimumLineSpacing() const { return lineSpacing_; }
    void setMinimumLineSpacing(CGFloat spacing);
    CGFloat minimumInteritemSpacing() const { return interitemSpacing_; }
    void setMinimumInteritemSpacing(CGFloat spacing);
    UIEdgeInsets sectionInset() const { return sectionInset_; }
    void setSectionInset(UIEdgeInsets insets);
    UICollectionViewScrollDirection scrollDirection() const { return direction_; }
    void setScrollDirection(UICollectionViewScrollDirection direction);

    void prepareLayout() override;
    CGSize collectionViewContentSize() const override { return contentSize_; }
    std::vector<UICollectionViewLayoutAttributes> layoutAttributesForElementsInRect(CGRect rect) const override;
    std::optional<UICollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(NSIndexPath indexPath) const override;

private:
    // One line of items: where it starts along the scrolling axis, how deep it is, and which
    // items it holds.
    struct Line {
        double start = 0;
        double extent = 0;
        std::size_t first = 0;
        std::size_t count = 0;
    };
    struct Section {
        std::vector<CGRect> items;
        std::vector<Line> lines;
    };
    double layoutSection(NSInteger section, double start, double crossTotal);

    CGSize itemSize_ { 50, 50 };
    CGFloat lineSpacing_ = 10;
    CGFloat interitemSpacing_ = 10;
    UIEdgeInsets sectionInset_;
    UICollectionViewScrollDirection direction_ = UICollectionViewScrollDirectionVertical;
    std::vector<Section> sections_;
    CGSize contentSize_;
};
