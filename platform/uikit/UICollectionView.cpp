// Collection views: counts from the data source, frames from the layout, cells for visible
// items only, reuse, selection and scrolling to an item.
#include "platform/uikit/UICollectionView.h"

#include <algorithm>

#include "platform/uikit/UIKitCore.h"

// ---- cells ----

UICollectionViewCell::UICollectionViewCell(CGRect frame)
    : UICollectionReusableView(frame)
{
}

std::shared_ptr<UIView> UICollectionViewCell::contentView()
{
    if (!contentView_) {
        contentView_ = UIView::create(bounds());
        contentView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        addSubview(contentView_);
    }
    return contentView_;
}

void UICollectionViewCell::setBackgroundView(const std::shared_ptr<UIView>& view)
{
    if (backgroundView_)
        backgroundView_->removeFromSuperview();
    backgroundView_ = view;
    if (view)
        insertSubviewAtIndex(view, 0);
    setNeedsLayout();
}

void UICollectionViewCell::setSelectedBackgroundView(const std::shared_ptr<UIView>& view)
{
    if (selectedBackgroundView_)
        selectedBackgroundView_->removeFromSuperview();
    selectedBackgroundView_ = view;
    if (view) {
        view->setHidden(!selected_);
        insertSubviewAtIndex(view, backgroundView_ ? 1 : 0);
    }
    setNeedsLayout();
}

void UICollectionViewCell::setSelected(bool selected)
{
    selected_ = selected;
    if (selectedBackgroundView_)
        selectedBackgroundView_->setHidden(!selected);
}

void UICollectionViewCell::setHighlighted(bool highlighted)
{
    highlighted_ = highlighted;
}

void UICollectionViewCell::prepareForReuse()
{
    setSelected(false);
    setHighlighted(false);
}

void UICollectionViewCell::layoutSubviews()
{
    CGRect b = bounds();
    if (backgroundView_)
        backgroundView_->setFrame(b);
    if (selectedBackgroundView_)
        selectedBackgroundView_->setFrame(b);
    if (contentView_)
        contentView_->setFrame(b);
}

// ---- flow delegate defaults ----

namespace {
std::shared_ptr<UICollectionViewFlowLayout> asFlow(const std::shared_ptr<UICollectionViewLayout>& layout)
{
    return std::dynamic_pointer_cast<UICollectionViewFlowLayout>(layout);
}
} // namespace

CGSize UICollectionViewDelegateFlowLayout::collectionViewLayoutSizeForItemAtIndexPath(const std::shared_ptr<UICollectionView>&,
    const std::shared_ptr<UICollectionViewLayout>& layout, NSIndexPath)
{
    auto flow = asFlow(layout);
    return flow ? flow->itemSize() : CGSize { 50, 50 };
}

UIEdgeInsets UICollectionViewDelegateFlowLayout::collectionViewLayoutInsetForSectionAtIndex(const std::shared_ptr<UICollectionView>&,
    const std::shared_ptr<UICollectionViewLayout>& layout, NSInteger)
{
    auto flow = asFlow(layout);
    return flow ? flow->sectionInset() : UIEdgeInsets {};
}

CGFloat UICollectionViewDelegateFlowLayout::collectionViewLayoutMinimumLineSpacingForSectionAtIndex(
    const std::shared_ptr<UICollectionView>&, const std::shared_ptr<UICollectionViewLayout>& layout, NSInteger)
{
    auto flow = asFlow(layout);
    return flow ? flow->minimumLineSpacing() : 10;
}

CGFloat UICollectionViewDelegateFlowLayout::collectionViewLayoutMinimumInteritemSpacingForSectionAtIndex(
    const std::shared_ptr<UICollectionView>&, const std::shared_ptr<UICollectionViewLayout>& layout, NSInteger)
{
    auto flow = asFlow(layout);
    return flow ? flow->minimumInteritemSpacing() : 10;
}

// ---- collection view ----

UICollectionView::UICollectionView(CGRect frame, std::shared_ptr<UICollectionViewLayout> layout)
    : UIScrollView(frame)
    , layout_(layout ? std::move(layout) : UICollectionViewFlowLayout::create())
{
    setBackgroundColor(UIColor::blackColor());
}

std::shared_ptr<UICollectionView> UICollectionView::initWithFrame(CGRect frame, const std::shared_ptr<UICollectionViewLayout>& layout)
{
    auto view = std::make_shared<UICollectionView>(frame, layout);
    view->attachLayout();
    return view;
}

void UICollectionView::attachLayout()
{
    auto self = sharedAs<UICollectionView>();
    if (layout_->collectionView_.lock() != self)
        layout_->collectionView_ = self;
}

void UICollectionView::setCollectionViewLayout(const std::shared_ptr<UICollectionViewLayout>& layout)
{
    if (!layout || layout == layout_)
        return;
    layout_->collectionView_.reset();
    layout_ = layout;
    attachLayout();
    layoutInvalidated();
}

void UICollectionView::setDataSource(std::weak_ptr<UICollectionViewDataSource> dataSource)
{
    dataSource_ = std::move(dataSource);
    reloadData();
}

void UICollectionView::setDelegate(std::weak_ptr<UICollectionViewDelegate> delegate)
{
    delegate_ = delegate;
    UIScrollView::setDelegate(std::weak_ptr<UIScrollViewDelegate>(delegate.lock()));
    layoutInvalidated();
}

void UICollectionView::setBackgroundView(const std::shared_ptr<UIView>& view)
{
    if (backgroundView_)
        backgroundView_->removeFromSuperview();
    backgroundView_ = view;
    if (view)
        insertSubviewAtIndex(view, 0);
    setNeedsLayout();
}

void UICollectionView::registerClassForCellWithReuseIdentifier(CellFactory factory, const std::string& identifier)
{
    reuse_.registerFactory(identifier, std::move(factory));
}

std::shared_ptr<UICollectionViewCell> UICollectionView::dequeueReusableCellWithReuseIdentifier(const std::string& identifier, NSIndexPath path)
{
    if (auto cell = reuse_.dequeue(identifier))
        return cell;
    CGRect frame = CGRectZero;
    if (auto attributes = layout_->layoutAttributesForItemAtIndexPath(path))
        frame = attributes->frame;
    auto cell = reuse_.dequeueOrMake(identifier, frame);
    if (!cell)
        cell = UICollectionViewCell::create(frame);
    cell->reuseIdentifier_ = identifier;
    return cell;
}

void UICollectionView::reloadData()
{
    countsDirty_ = true;
    setNeedsLayout();
}

void UICollectionView::layoutInvalidated()
{
    layoutDirty_ = true;
    setNeedsLayout();
}

void UICollectionView::ensureCounts()
{
    if (!countsDirty_)
        return;
    countsDirty_ = false;
    layoutDirty_ = true;
    counts_.clear();
    auto self = sharedAs<UICollectionView>();
    if (auto source = dataSource_.lock()) {
        NSInteger sections = std::max<NSInteger>(0, source->numberOfSectionsInCollectionView(self));
        for (NSInteger s = 0; s < sections; ++s)
            counts_.push_back(std::max<NSInteger>(0, source->collectionViewNumberOfItemsInSection(self, s)));
    }
    // A reload asks again for every cell on screen.
    visible_.recycleAll(reuse_);
    std::erase_if(selected_, [this](const NSIndexPath& p) {
        return p.section >= static_cast<NSInteger>(counts_.size()) || p.row >= counts_[static_cast<std::size_t>(p.section)];
    });
}

void UICollectionView::ensureLayout()
{
    ensureCounts();
    CGSize size = bounds().size;
    if (!layoutDirty_ && size == layoutBoundsSize_ && contentInset() == layoutInset_)
        return;
    layoutDirty_ = false;
    layoutBoundsSize_ = size;
    layoutInset_ = contentInset();
    attachLayout();
    layout_->prepareLayout();
    setContentSize(layout_->collectionViewContentSize());
    for (auto& [path, cell] : visible_.byPath()) {
        if (auto attributes = layout_->layoutAttributesForItemAtIndexPath(path))
            cell->setFrame(attributes->frame);
    }
}

void UICollectionView::layoutSubviews()
{
    ensureLayout();
    if (backgroundView_)
        backgroundView_->setFrame(bounds());
    layoutVisible();
}

void UICollectionView::layoutVisible()
{
    auto self = sharedAs<UICollectionView>();
    auto source = dataSource_.lock();
    auto delegate = delegate_.lock();
    std::map<NSIndexPath, CGRect> wanted;
    for (auto& attributes : layout_->layoutAttributesForElementsInRect(bounds()))
        wanted[attributes.indexPath] = attributes.frame;
    // Items that left the visible area go back to the pool.
    visible_.recycleUnless(reuse_, [&](NSIndexPath path) { return wanted.count(path) > 0; });
    if (!source)
        return;
    // Cells go below the collection view's other subviews (and above its background view).
    NSInteger base = backgroundView_ ? 1 : 0;
    for (auto& [path, frame] : wanted) {
        if (visible_.contains(path))
            continue;
        auto cell = source->collectionViewCellForItemAtIndexPath(self, path);
        if (!cell)
            continue;
        cell->setFrame(frame);
        cell->setSelected(selected_.count(path) > 0);
        insertSubviewAtIndex(cell, base);
        visible_.add(path, cell);
        if (delegate)
            delegate->collectionViewWillDisplayCellForItemAtIndexPath(self, cell, path);
    }
}

NSInteger UICollectionView::numberOfSections()
{
    ensureCounts();
    return static_cast<NSInteger>(counts_.size());
}

NSInteger UICollectionView::numberOfItemsInSection(NSInteger section)
{
    ensureCounts();
    if (section < 0 || section >= static_cast<NSInteger>(counts_.size()))
        return 0;
    return counts_[static_cast<std::size_t>(section)];
}

bool UICollectionView::validIndexPath(NSIndexPath path)
{
    return path.row >= 0 && path.row < numberOfItemsInSection(path.section);
}

std::optional<UICollectionViewLayoutAttributes> UICollectionView::layoutAttributesForItemAtIndexPath(NSIndexPath path)
{
    ensureLayout();
    return layout_->layoutAttributesForItemAtIndexPath(path);
}

std::optional<NSIndexPath> UICollectionView::indexPathForItemAtPoint(CGPoint point)
{
    ensureLayout();
    for (auto& attributes : layout_->layoutAttributesForElementsInRect({ point, { 1, 1 } })) {
        if (CGRectContainsPoint(attributes.frame, point))
            return attributes.indexPath;
    }
    return std::nullopt;
}

std::shared_ptr<UICollectionViewCell> UICollectionView::cellForItemAtIndexPath(NSIndexPath path) const
{
    return visible_.cellAt(path);
}

std::vector<std::shared_ptr<UICollectionViewCell>> UICollectionView::visibleCells() const
{
    return visible_.cells();
}

std::vector<NSIndexPath> UICollectionView::indexPathsForVisibleItems() const
{
    return visible_.paths();
}

std::optional<NSIndexPath> UICollectionView::indexPathForCell(const std::shared_ptr<UICollectionViewCell>& cell) const
{
    return visible_.pathOf(cell);
}

void UICollectionView::selectItemAtIndexPath(std::optional<NSIndexPath> path, bool animated, UICollectionViewScrollPosition position)
{
    if (!allowsMultiple_ || !path) {
        for (auto old : std::set<NSIndexPath>(selected_))
            deselectItemAtIndexPath(old, false);
    }
    if (!path || !validIndexPath(*path))
        return;
    selected_.insert(*path);
    if (auto cell = cellForItemAtIndexPath(*path))
        cell->setSelected(true);
    if (position != UICollectionViewScrollPositionNone)
        scrollToItemAtIndexPath(*path, position, animated);
}

void UICollectionView::deselectItemAtIndexPath(NSIndexPath path, bool)
{
    selected_.erase(path);
    if (auto cell = cellForItemAtIndexPath(path))
        cell->setSelected(false);
}

void UICollectionView::userSelectItemAtIndexPath(NSIndexPath path)
{
    if (!allowsSelection_ || !validIndexPath(path))
        return;
    auto self = sharedAs<UICollectionView>();
    auto delegate = delegate_.lock();
    if (delegate && !delegate->collectionViewShouldSelectItemAtIndexPath(self, path))
        return;
    if (!allowsMultiple_) {
        for (auto old : std::set<NSIndexPath>(selected_)) {
            if (old == path)
                continue;
            deselectItemAtIndexPath(old, false);
            if (delegate)
                delegate->collectionViewDidDeselectItemAtIndexPath(self, old);
        }
    } else if (selected_.count(path)) {
        // With multiple selection a second tap takes the item out again.
        deselectItemAtIndexPath(path, false);
        if (delegate)
            delegate->collectionViewDidDeselectItemAtIndexPath(self, path);
        return;
    }
    selected_.insert(path);
    if (auto cell = cellForItemAtIndexPath(path))
        cell->setSelected(true);
    if (delegate)
        delegate->collectionViewDidSelectItemAtIndexPath(self, path);
}

CGPoint UICollectionView::clampOffset(CGPoint offset) const
{
    CGSize size = bounds().size;
    UIEdgeInsets inset = contentInset();
    CGSize content = contentSize();
    double maxX = std::max(-inset.left, content.width + inset.right - size.width);
    double maxY = std::max(-inset.top, content.height + inset.bottom - size.height);
    return { std::clamp(offset.x, -inset.left, maxX), std::clamp(offset.y, -inset.top, maxY) };
}

void UICollectionView::scrollToItemAtIndexPath(NSIndexPath path, UICollectionViewScrollPosition position, bool animated)
{
    auto attributes = layoutAttributesForItemAtIndexPath(path);
    if (!attributes)
        return;
    CGRect item = attributes->frame;
    CGRect visible = bounds();
    CGPoint offset = visible.origin;
    if (position & UICollectionViewScrollPositionTop)
        offset.y = item.origin.y;
    else if (position & UICollectionViewScrollPositionCenteredVertically)
        offset.y = CGRectGetMidY(item) - visible.size.height / 2;
    else if (position & UICollectionViewScrollPositionBottom)
        offset.y = CGRectGetMaxY(item) - visible.size.height;
    if (position & UICollectionViewScrollPositionLeft)
        offset.x = item.origin.x;
    else if (position & UICollectionViewScrollPositionCenteredHorizontally)
        offset.x = CGRectGetMidX(item) - visible.size.width / 2;
    else if (position & UICollectionViewScrollPositionRight)
        offset.x = CGRectGetMaxX(item) - visible.size.width;
    if (position == UICollectionViewScrollPositionNone) {
        // As little as makes the item visible.
        if (CGRectGetMaxX(item) > CGRectGetMaxX(visible))
            offset.x = CGRectGetMaxX(item) - visible.size.width;
        if (item.origin.x < offset.x)
            offset.x = item.origin.x;
        if (CGRectGetMaxY(item) > CGRectGetMaxY(visible))
            offset.y = CGRectGetMaxY(item) - visible.size.height;
        if (item.origin.y < offset.y)
            offset.y = item.origin.y;
    }
    setContentOffset(clampOffset(offset), animated);
}

void UICollectionView::handleTap(CGPoint point)
{
    if (auto path = indexPathForItemAtPoint(point))
        userSelectItemAtIndexPath(*path);
}
