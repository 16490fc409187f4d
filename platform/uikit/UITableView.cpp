// Tables: geometry from the data source, cells for visible rows only, reuse, selection.
#include "platform/uikit/UITableView.h"

#include <algorithm>

#include "platform/uikit/UIKitCore.h"

// ---- cells ----

UITableViewCell::UITableViewCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UIView(CGRect { {}, { 320, 44 } })
    , style_(style)
    , reuseIdentifier_(std::move(reuseIdentifier))
{
    setBackgroundColor(UIColor::whiteColor());
}

std::shared_ptr<UIView> UITableViewCell::contentView()
{
    if (!contentView_) {
        contentView_ = UIView::create(bounds());
        addSubview(contentView_);
    }
    return contentView_;
}

std::shared_ptr<UILabel> UITableViewCell::textLabel()
{
    if (!textLabel_) {
        textLabel_ = UILabel::create();
        textLabel_->setFont(UIFont::systemFontOfSize(17));
        contentView()->addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_;
}

std::shared_ptr<UILabel> UITableViewCell::detailTextLabel()
{
    if (style_ == UITableViewCellStyleDefault)
        return nullptr;
    if (!detailTextLabel_) {
        detailTextLabel_ = UILabel::create();
        detailTextLabel_->setFont(UIFont::systemFontOfSize(style_ == UITableViewCellStyleSubtitle ? 12 : 17));
        detailTextLabel_->setTextColor(UIColor::grayColor());
        contentView()->addSubview(detailTextLabel_);
        setNeedsLayout();
    }
    return detailTextLabel_;
}

std::shared_ptr<UIImageView> UITableViewCell::imageView()
{
    if (!imageView_) {
        imageView_ = UIImageView::create();
        contentView()->addSubview(imageView_);
        setNeedsLayout();
    }
    return imageView_;
}

void UITableViewCell::setAccessoryView(const std::shared_ptr<UIView>& view)
{
    if (accessoryView_)
        accessoryView_->removeFromSuperview();
    accessoryView_ = view;
    if (view)
        addSubview(view);
    setNeedsLayout();
}

void UITableViewCell::setBackgroundView(const std::shared_ptr<UIView>& view)
{
    if (backgroundView_)
        backgroundView_->removeFromSuperview();
    backgroundView_ = view;
    if (view)
        insertSubviewAtIndex(view, 0);
    setNeedsLayout();
}

void UITableViewCell::setSelected(bool selected, bool)
{
    selected_ = selected;
}

void UITableViewCell::setHighlighted(bool highlighted, bool)
{
    highlighted_ = highlighted;
}

void UITableViewCell::layoutSubviews()
{
    CGRect b = bounds();
    if (backgroundView_)
        backgroundView_->setFrame(b);
    double right = b.size.width;
    if (accessoryView_) {
        CGSize s = accessoryView_->frame().size;
        accessoryView_->setFrame({ { b.size.width - 15 - s.width, (b.size.height - s.height) / 2 }, s });
        right -= s.width + 15;
    } else if (accessory_ != UITableViewCellAccessoryNone) {
        right -= 33;
    }
    if (contentView_)
        contentView_->setFrame({ {}, { right, b.size.height } });
    double x = 15;
    if (imageView_ && imageView_->image()) {
        CGSize s = imageView_->image()->size();
        imageView_->setFrame({ { 15, (b.size.height - s.height) / 2 }, s });
        x += s.width + 15;
    }
    double width = std::max(0.0, right - x - 15);
    if (textLabel_ && style_ == UITableViewCellStyleSubtitle && detailTextLabel_) {
        textLabel_->setFrame({ { x, b.size.height / 2 - 20 }, { width, 22 } });
        detailTextLabel_->setFrame({ { x, b.size.height / 2 + 2 }, { width, 16 } });
        return;
    }
    if (textLabel_)
        textLabel_->setFrame({ { x, 0 }, { width, b.size.height } });
    if (detailTextLabel_) {
        detailTextLabel_->setTextAlignment(NSTextAlignmentRight);
        detailTextLabel_->setFrame({ { x, 0 }, { width, b.size.height } });
    }
}

// ---- table ----

CGFloat UITableViewDelegate::tableViewHeightForRowAtIndexPath(const std::shared_ptr<UITableView>& tableView, NSIndexPath)
{
    return tableView->rowHeight();
}

UITableView::UITableView(CGRect frame, UITableViewStyle style)
    : UIScrollView(frame)
    , style_(style)
{
    setBackgroundColor(style == UITableViewStylePlain ? UIColor::whiteColor() : UIColor::colorWithWhite(0.94, 1));
    setAlwaysBounceVertical(true);
}

void UITableView::setDataSource(std::weak_ptr<UITableViewDataSource> dataSource)
{
    dataSource_ = std::move(dataSource);
    reloadData();
}

void UITableView::setDelegate(std::weak_ptr<UITableViewDelegate> delegate)
{
    delegate_ = delegate;
    UIScrollView::setDelegate(std::weak_ptr<UIScrollViewDelegate>(delegate.lock()));
    reloadData();
}

void UITableView::setTableHeaderView(const std::shared_ptr<UIView>& view)
{
    if (headerView_)
        headerView_->removeFromSuperview();
    headerView_ = view;
    if (view)
        addSubview(view);
    reloadData();
}

void UITableView::setTableFooterView(const std::shared_ptr<UIView>& view)
{
    if (footerView_)
        footerView_->removeFromSuperview();
    footerView_ = view;
    if (view)
        addSubview(view);
    reloadData();
}

void UITableView::reloadData()
{
    dirty_ = true;
    setNeedsLayout();
}

void UITableView::rebuildGeometry()
{
    dirty_ = false;
    sections_.clear();
    for (auto& [path, header] : headers_)
        header->removeFromSuperview();
    headers_.clear();
    auto self = sharedAs<UITableView>();
    auto source = dataSource_.lock();
    auto delegate = delegate_.lock();
    double width = bounds().size.width;
    double y = 0;
    if (headerView_) {
        CGRect f = headerView_->frame();
        headerView_->setFrame({ { 0, 0 }, { width, f.size.height } });
        y += f.size.height;
    }
    NSInteger count = source ? std::max<NSInteger>(0, source->numberOfSectionsInTableView(self)) : 0;
    for (NSInteger s = 0; s < count; ++s) {
        Section section;
        section.title = source->tableViewTitleForHeaderInSection(self, s);
        section.headerHeight = delegate ? delegate->tableViewHeightForHeaderInSection(self, s) : UITableViewAutomaticDimension;
        if (section.headerHeight < 0)
            section.headerHeight = section.title.empty() ? 0 : headerHeight_;
        section.footerHeight = delegate ? delegate->tableViewHeightForFooterInSection(self, s) : UITableViewAutomaticDimension;
        if (section.footerHeight < 0)
            section.footerHeight = source->tableViewTitleForFooterInSection(self, s).empty() ? 0 : footerHeight_;
        section.headerY = y;
        y += section.headerHeight;
        NSInteger rows = std::max<NSInteger>(0, source->tableViewNumberOfRowsInSection(self, s));
        for (NSInteger r = 0; r < rows; ++r) {
            double h = delegate ? delegate->tableViewHeightForRowAtIndexPath(self, { s, r }) : rowHeight_;
            section.rows.push_back({ { 0, y }, { width, std::max(0.0, h) } });
            y += std::max(0.0, h);
        }
        y += section.footerHeight;
        sections_.push_back(std::move(section));
    }
    if (footerView_) {
        CGRect f = footerView_->frame();
        footerView_->setFrame({ { 0, y }, { width, f.size.height } });
        y += f.size.height;
    }
    visible_.recycleAll(reuse_);
    if (selected_ && (selected_->section >= count || selected_->row >= static_cast<NSInteger>(sections_[static_cast<std::size_t>(selected_->section)].rows.size())))
        selected_.reset();
    setContentSize({ width, y });
}

void UITableView::ensureGeometry()
{
    if (dirty_)
        rebuildGeometry();
}

void UITableView::layoutSubviews()
{
    ensureGeometry();
    layoutVisible();
}

void UITableView::layoutVisible()
{
    auto self = sharedAs<UITableView>();
    auto source = dataSource_.lock();
    auto delegate = delegate_.lock();
    CGRect visibleRect = bounds();
    // Rows that left the visible area go back to the pool.
    visible_.recycleUnless(reuse_, [&](NSIndexPath path) {
        CGRect r = sections_[static_cast<std::size_t>(path.section)].rows[static_cast<std::size_t>(path.row)];
        return CGRectIntersectsRect(r, visibleRect);
    });
    for (std::size_t s = 0; s < sections_.size() && source; ++s) {
        auto& section = sections_[s];
        NSInteger sectionIndex = static_cast<NSInteger>(s);
        CGRect headerRect { { 0, section.headerY }, { visibleRect.size.width, section.headerHeight } };
        if (section.headerHeight > 0 && CGRectIntersectsRect(headerRect, visibleRect) && !headers_.count(sectionIndex)) {
            auto header = delegate ? delegate->tableViewViewForHeaderInSection(self, sectionIndex) : nullptr;
            if (!header && !section.title.empty()) {
                auto label = UILabel::create();
                label->setText("  " + section.title);
                label->setFont(UIFont::boldSystemFontOfSize(15));
                label->setBackgroundColor(UIColor::colorWithWhite(0.94, 1));
                header = label;
            }
            if (header) {
                header->setFrame(headerRect);
                addSubview(header);
                headers_[sectionIndex] = header;
            }
        }
        for (std::size_t r = 0; r < section.rows.size(); ++r) {
            NSIndexPath path { sectionIndex, static_cast<NSInteger>(r) };
            if (!CGRectIntersectsRect(section.rows[r], visibleRect) || visible_.contains(path))
                continue;
            auto cell = source->tableViewCellForRowAtIndexPath(self, path);
            if (!cell)
                continue;
            cell->setFrame(section.rows[r]);
            cell->setSelected(selected_ == path);
            insertSubviewAtIndex(cell, 0);
            visible_.add(path, cell);
            if (delegate)
                delegate->tableViewWillDisplayCell(self, cell, path);
        }
    }
}

std::shared_ptr<UITableViewCell> UITableView::dequeueReusableCellWithIdentifier(const std::string& identifier)
{
    return reuse_.dequeue(identifier);
}

std::shared_ptr<UITableViewCell> UITableView::dequeueReusableCellWithIdentifier(const std::string& identifier, NSIndexPath)
{
    return reuse_.dequeueOrMake(identifier, identifier);
}

void UITableView::registerCellFactory(const std::string& identifier,
    std::function<std::shared_ptr<UITableViewCell>(const std::string&)> factory)
{
    reuse_.registerFactory(identifier, std::move(factory));
}

NSInteger UITableView::numberOfSections()
{
    ensureGeometry();
    return static_cast<NSInteger>(sections_.size());
}

NSInteger UITableView::numberOfRowsInSection(NSInteger section)
{
    ensureGeometry();
    if (section < 0 || section >= static_cast<NSInteger>(sections_.size()))
        return 0;
    return static_cast<NSInteger>(sections_[static_cast<std::size_t>(section)].rows.size());
}

CGRect UITableView::rectForRowAtIndexPath(NSIndexPath path)
{
    if (path.row < 0 || path.row >= numberOfRowsInSection(path.section))
        return CGRectZero;
    return sections_[static_cast<std::size_t>(path.section)].rows[static_cast<std::size_t>(path.row)];
}

CGRect UITableView::rectForHeaderInSection(NSInteger section)
{
    if (section < 0 || section >= numberOfSections())
        return CGRectZero;
    auto& s = sections_[static_cast<std::size_t>(section)];
    return { { 0, s.headerY }, { bounds().size.width, s.headerHeight } };
}

std::optional<NSIndexPath> UITableView::indexPathForRowAtPoint(CGPoint point)
{
    ensureGeometry();
    for (std::size_t s = 0; s < sections_.size(); ++s) {
        auto& rows = sections_[s].rows;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (CGRectContainsPoint(rows[r], point))
                return NSIndexPath { static_cast<NSInteger>(s), static_cast<NSInteger>(r) };
        }
    }
    return std::nullopt;
}

std::shared_ptr<UITableViewCell> UITableView::cellForRowAtIndexPath(NSIndexPath path) const
{
    return visible_.cellAt(path);
}

std::vector<std::shared_ptr<UITableViewCell>> UITableView::visibleCells() const
{
    return visible_.cells();
}

std::vector<NSIndexPath> UITableView::indexPathsForVisibleRows() const
{
    return visible_.paths();
}

std::optional<NSIndexPath> UITableView::indexPathForCell(const std::shared_ptr<UITableViewCell>& cell) const
{
    return visible_.pathOf(cell);
}

std::shared_ptr<UIView> UITableView::headerViewForSection(NSInteger section) const
{
    auto it = headers_.find(section);
    return it == headers_.end() ? nullptr : it->second;
}

void UITableView::selectRowAtIndexPath(std::optional<NSIndexPath> path, bool, UITableViewScrollPosition position)
{
    if (selected_)
        if (auto cell = cellForRowAtIndexPath(*selected_))
            cell->setSelected(false);
    selected_ = path;
    if (!path)
        return;
    if (auto cell = cellForRowAtIndexPath(*path))
        cell->setSelected(true);
    if (position != UITableViewScrollPositionNone)
        scrollToRowAtIndexPath(*path, position, false);
}

void UITableView::deselectRowAtIndexPath(NSIndexPath path, bool)
{
    if (auto cell = cellForRowAtIndexPath(path))
        cell->setSelected(false);
    if (selected_ == path)
        selected_.reset();
}

void UITableView::userSelectRowAtIndexPath(NSIndexPath path)
{
    if (!allowsSelection_ || path.row < 0 || path.row >= numberOfRowsInSection(path.section))
        return;
    auto self = sharedAs<UITableView>();
    auto delegate = delegate_.lock();
    if (delegate && !delegate->tableViewShouldHighlightRowAtIndexPath(self, path))
        return;
    if (selected_ && *selected_ != path && delegate) {
        auto old = *selected_;
        deselectRowAtIndexPath(old, false);
        delegate->tableViewDidDeselectRowAtIndexPath(self, old);
    }
    selectRowAtIndexPath(path, false, UITableViewScrollPositionNone);
    if (delegate)
        delegate->tableViewDidSelectRowAtIndexPath(self, path);
}

void UITableView::scrollToRowAtIndexPath(NSIndexPath path, UITableViewScrollPosition position, bool animated)
{
    CGRect r = rectForRowAtIndexPath(path);
    double h = bounds().size.height;
    double y = r.origin.y;
    if (position == UITableViewScrollPositionMiddle)
        y = r.origin.y - (h - r.size.height) / 2;
    else if (position == UITableViewScrollPositionBottom)
        y = CGRectGetMaxY(r) - h;
    else if (position == UITableViewScrollPositionNone) {
        scrollRectToVisible(r, animated);
        return;
    }
    double maxY = std::max(-contentInset().top, contentSize().height + contentInset().bottom - h);
    y = std::clamp(y, -contentInset().top, maxY);
    setContentOffset({ contentOffset().x, y }, animated);
}

void UITableView::handleTap(CGPoint point)
{
    if (auto path = indexPathForRowAtPoint(point))
        userSelectRowAtIndexPath(*path);
}
