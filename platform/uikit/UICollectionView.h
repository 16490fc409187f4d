// UICollectionView and its cells. Like the table, the collection view asks its data source only
// in layout passes: reloadData marks it dirty; the next pass (the main loop's update pass, or
// layoutIfNeeded) reads the counts, lets the layout place every item, then asks for cells for
// the items inside the visible bounds only. Scrolling asks for the items coming into view;
// items leaving it go to the reuse pool of their identifier. Cells are made by the factory
// registered for their reuse identifier, with the frame of the item they are made for.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <vector>

#include "platform/uikit/CellReuseQueue.h"
#include "platform/uikit/UICollectionViewLayout.h"
#include "platform/uikit/UIKitCore.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/VisibleCells.h"

class UICollectionView;

// A view the collection view hands out again after it left the screen.
class UICollectionReusableView : public UIView {
public:
    using UIView::UIView;
    std::string className() const override { return "UICollectionReusableView"; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    // Called before a pooled view is handed out again.
    virtual void prepareForReuse() { }

private:
    friend class UICollectionView;
    std::string reuseIdentifier_;
};

class UICollectionViewCell : public UICollectionReusableView {
public:
    explicit UICollectionViewCell(CGRect frame = CGRectZero);
    static std::shared_ptr<UICollectionViewCell> create(CGRect frame = CGRectZero)
    {
        return std::make_shared<UICollectionViewCell>(frame);
    }
    std::string className() const override { return "UICollectionViewCell"; }

    // Made on first use; it fills the cell.
    std::shared_ptr<UIView> contentView();
    std::shared_ptr<UIView> backgroundView() const { return backgroundView_; }
    void setBackgroundView(const std::shared_ptr<UIView>& view);
    std::shared_ptr<UIView> selectedBackgroundView() const { return selectedBackgroundView_; }
    void setSelectedBackgroundView(const std::shared_ptr<UIView>& view);
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    void prepareForReuse() override;

    void layoutSubviews() override;

private:
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UIView> backgroundView_;
    std::shared_ptr<UIView> selectedBackgroundView_;
    bool selected_ = false;
    bool highlighted_ = false;
};

class UICollectionViewDataSource {
public:
    virtual ~UICollectionViewDataSource() = default;
    virtual NSInteger numberOfSectionsInCollectionView(const std::shared_ptr<UICollectionView>&) { return 1; }
    virtual NSInteger collectionViewNumberOfItemsInSection(const std::shared_ptr<UICollectionView>&, NSInteger section) = 0;
    virtual std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        const std::shared_ptr<UICollectionView>&, NSIndexPath indexPath) = 0;
};

class UICollectionViewDelegate : public UIScrollViewDelegate {
public:
    virtual bool collectionViewShouldHighlightItemAtIndexPath(const std::shared_ptr<UICollectionView>&, NSIndexPath) { return true; }
    virtual bool collectionViewShouldSelectItemAtIndexPath(const std::shared_ptr<UICollectionView>&, NSIndexPath) { return true; }
    virtual void collectionViewDidSelectItemAtIndexPath(const std::shared_ptr<UICollectionView>&, NSIndexPath) { }
    virtual void collectionViewDidDeselectItemAtIndexPath(const std::shared_ptr<UICollectionView>&, NSIndexPath) { }
    virtual void collectionViewWillDisplayCellForItemAtIndexPath(const std::shared_ptr<UICollectionView>&,
        const std::shared_ptr<UICollectionViewCell>&, NSIndexPath) { }
};

// A delegate that sizes and spaces a flow layout's items. Each default is the layout's own
// property.
class UICollectionViewDelegateFlowLayout : public UICollectionViewDelegate {
public:
    virtual CGSize collectionViewLayoutSizeForItemAtIndexPath(const std::shared_ptr<UICollectionView>&,
        const std::shared_ptr<UICollectionViewLayout>& layout, NSIndexPath indexPath);
    virtual UIEdgeInsets collectionViewLayoutInsetForSectionAtIndex(const std::shared_ptr<UICollectionView>&,
        const std::shared_ptr<UICollectionViewLayout>& layout, NSInteger section);
    virtual CGFloat collectionViewLayoutMinimumLineSpacingForSectionAtIndex(const std::shared_ptr<UICollectionView>&,
        const std::shared_ptr<UICollectionViewLayout>& layout, NSInteger section);
    virtual CGFloat collectionViewLayoutMinimumInteritemSpacingForSectionAtIndex(const std::shared_ptr<UICollectionView>&,
        const std::shared_ptr<UICollectionViewLayout>& layout, NSInteger section);
};

using UICollectionViewScrollPosition = std::uint32_t;
inline constexpr UICollectionViewScrollPosition UICollectionViewScrollPositionNone = 0;
inline constexpr UICollectionViewScrollPosition UICollectionViewScrollPositionTop = 1 << 0;
inline constexpr UICollectionViewScrollPosition UICollectionViewScrollPositionCenteredVertically = 1 << 1;
inline constexpr UICollectionViewScrollPosition UICollectionViewScrollPositionBottom = 1 << 2;
inline constexpr UICollectionViewScrollPosition UICollectionViewScrollPositionLeft = 1 << 3;
inline constexpr UICollectionViewScrollPosition UICollectionViewScrollPositionCenteredHorizontally = 1 << 4;
inline constexpr UICollectionViewScrollPosition UICollectionViewScrollPositionRight = 1 << 5;

class UICollectionView : public UIScrollView {
public:
    using CellFactory = std::function<std::shared_ptr<UICollectionViewCell>(CGRect frame)>;

    UICollectionView(CGRect frame, std::shared_ptr<UICollectionViewLayout> layout);
    static std::shared_ptr<UICollectionView> initWithFrame(CGRect frame, const std::shared_ptr<UICollectionViewLayout>& layout);
    std::string className() const override { return "UICollectionView"; }

    std::shared_ptr<UICollectionViewLayout> collectionViewLayout() const { return layout_; }
    void setCollectionViewLayout(const std::shared_ptr<UICollectionViewLayout>& layout);
    void setDataSource(std::weak_ptr<UICollectionViewDataSource> dataSource);
    std::shared_ptr<UICollectionViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDelegate(std::weak_ptr<UICollectionViewDelegate> delegate);
    std::shared_ptr<UICollectionViewDelegate> collectionDelegate() const { return delegate_.lock(); }
    std::shared_ptr<UIView> backgroundView() const { return backgroundView_; }
    void setBackgroundView(const std::shared_ptr<UIView>& view);

    // registerClass:forCellWithReuseIdentifier:, the class given as a factory.
    void registerClassForCellWithReuseIdentifier(CellFactory factory, const std::string& identifier);
    template <class Cell>
    void registerClassForCellWithReuseIdentifier(const std::string& identifier)
    {
        registerClassForCellWithReuseIdentifier(
            [](CGRect frame) -> std::shared_ptr<UICollectionViewCell> { return std::make_shared<Cell>(frame); }, identifier);
    }
    // Always a cell: from the pool (prepared for reuse), else made by the registered factory,
    // else a plain cell, with that reuse identifier.
    std::shared_ptr<UICollectionViewCell> dequeueReusableCellWithReuseIdentifier(const std::string& identifier, NSIndexPath indexPath);

    // Marks the collection view for a full reload in the next layout pass.
    void reloadData();
    void reloadItemsAtIndexPaths(const std::vector<NSIndexPath>&) { reloadData(); }
    void reloadSections(const std::vector<NSInteger>&) { reloadData(); }
    void insertItemsAtIndexPaths(const std::vector<NSIndexPath>&) { reloadData(); }
    void deleteItemsAtIndexPaths(const std::vector<NSIndexPath>&) { reloadData(); }

    NSInteger numberOfSections();
    NSInteger numberOfItemsInSection(NSInteger section);
    std::optional<UICollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(NSIndexPath indexPath);
    std::optional<NSIndexPath> indexPathForItemAtPoint(CGPoint point);
    // The visible cell of an item (null when the item is not on screen).
    std::shared_ptr<UICollectionViewCell> cellForItemAtIndexPath(NSIndexPath indexPath) const;
    std::vector<std::shared_ptr<UICollectionViewCell>> visibleCells() const;
    // In index path order.
    std::vector<NSIndexPath> indexPathsForVisibleItems() const;
    std::optional<NSIndexPath> indexPathForCell(const std::shared_ptr<UICollectionViewCell>& cell) const;

    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool allows) { allowsSelection_ = allows; }
    bool allowsMultipleSelection() const { return allowsMultiple_; }
    void setAllowsMultipleSelection(bool allows) { allowsMultiple_ = allows; }
    std::vector<NSIndexPath> indexPathsForSelectedItems() const { return { selected_.begin(), selected_.end() }; }
    // Programmatic selection: the delegate is not told.
    void selectItemAtIndexPath(std::optional<NSIndexPath> indexPath, bool animated, UICollectionViewScrollPosition position);
    void deselectItemAtIndexPath(NSIndexPath indexPath, bool animated);
    // A person selects the item: shouldSelect, then (other selections deselected and told)
    // the item is selected and didSelect told.
    void userSelectItemAtIndexPath(NSIndexPath indexPath);

    // Scrolls so that the item sits at the position (Top, CenteredVertically, Bottom, Left,
    // CenteredHorizontally, Right; None scrolls as little as makes it visible), kept inside the
    // content and its insets. Animated scrolling tells the delegate that it ended on the main
    // loop's next turn.
    void scrollToItemAtIndexPath(NSIndexPath indexPath, UICollectionViewScrollPosition position, bool animated);

    void layoutSubviews() override;
    void handleTap(CGPoint point) override;

private:
    friend class UICollectionViewLayout;
    void layoutInvalidated();
    void attachLayout();
    void ensureCounts();
    void ensureLayout();
    void layoutVisible();
    bool validIndexPath(NSIndexPath indexPath);
    CGPoint clampOffset(CGPoint offset) const;

    std::shared_ptr<UICollectionViewLayout> layout_;
    std::weak_ptr<UICollectionViewDataSource> dataSource_;
    std::weak_ptr<UICollectionViewDelegate> delegate_;
    std::shared_ptr<UIView> backgroundView_;
    bool countsDirty_ = true;
    bool layoutDirty_ = true;
    CGSize layoutBoundsSize_;
    UIEdgeInsets layoutInset_;
    std::vector<NSInteger> counts_;
    uikit::VisibleCells<UICollectionViewCell> visible_;
    uikit::CellReuseQueue<UICollectionViewCell, CGRect> reuse_;
    std::set<NSIndexPath> selected_;
    bool allowsSelection_ = true;
    bool allowsMultiple_ = false;
};
