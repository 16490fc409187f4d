// UITableView and UITableViewCell. The table asks its data source only in layout passes:
// reloadData marks it dirty; the next pass (the main loop's update pass, or layoutIfNeeded)
// reads the counts and every row's height, then asks for cells for the rows inside the visible
// bounds only. Scrolling asks for the rows that come into view; rows leaving it are put in the
// reuse pool of their identifier.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "platform/uikit/CellReuseQueue.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIKitCore.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/VisibleCells.h"

class UITableView;

enum UITableViewStyle : int { UITableViewStylePlain = 0, UITableViewStyleGrouped = 1 };
enum UITableViewCellStyle : int {
    UITableViewCellStyleDefault = 0,
    UITableViewCellStyleValue1 = 1,
    UITableViewCellStyleValue2 = 2,
    UITableViewCellStyleSubtitle = 3,
};
enum UITableViewCellSelectionStyle : int {
    UITableViewCellSelectionStyleNone = 0,
    UITableViewCellSelectionStyleBlue = 1,
    UITableViewCellSelectionStyleGray = 2,
    UITableViewCellSelectionStyleDefault = 3,
};
enum UITableViewCellAccessoryType : int {
    UITableViewCellAccessoryNone = 0,
    UITableViewCellAccessoryDisclosureIndicator = 1,
    UITableViewCellAccessoryDetailDisclosureButton = 2,
    UITableViewCellAccessoryCheckmark = 3,
};
enum UITableViewCellSeparatorStyle : int {
    UITableViewCellSeparatorStyleNone = 0,
    UITableViewCellSeparatorStyleSingleLine = 1,
};
enum UITableViewScrollPosition : int {
    UITableViewScrollPositionNone = 0,
    UITableViewScrollPositionTop = 1,
    UITableViewScrollPositionMiddle = 2,
    UITableViewScrollPositionBottom = 3,
};
inline constexpr CGFloat UITableViewAutomaticDimension = -1;

class UITableViewCell : public UIView {
public:
    explicit UITableViewCell(UITableViewCellStyle style = UITableViewCellStyleDefault, std::string reuseIdentifier = "");
    static std::shared_ptr<UITableViewCell> initWithStyle(UITableViewCellStyle style, const std::string& reuseIdentifier)
    {
        return std::make_shared<UITableViewCell>(style, reuseIdentifier);
    }
    std::string className() const override { return "UITableViewCell"; }

    UITableViewCellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    // Made on first use.
    std::shared_ptr<UIView> contentView();
    std::shared_ptr<UILabel> textLabel();
    std::shared_ptr<UILabel> detailTextLabel();
    std::shared_ptr<UIImageView> imageView();
    UITableViewCellAccessoryType accessoryType() const { return accessory_; }
    void setAccessoryType(UITableViewCellAccessoryType type) { accessory_ = type; setNeedsLayout(); }
    std::shared_ptr<UIView> accessoryView() const { return accessoryView_; }
    void setAccessoryView(const std::shared_ptr<UIView>& view);
    UITableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(UITableViewCellSelectionStyle style) { selectionStyle_ = style; }
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected, bool animated = false);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted, bool animated = false);
    std::shared_ptr<UIView> backgroundView() const { return backgroundView_; }
    void setBackgroundView(const std::shared_ptr<UIView>& view);
    std::shared_ptr<UIView> selectedBackgroundView() const { return selectedBackgroundView_; }
    void setSelectedBackgroundView(const std::shared_ptr<UIView>& view) { selectedBackgroundView_ = view; }
    // Called before a pooled cell is handed out again.
    virtual void prepareForReuse() { setSelected(false); setHighlighted(false); }

    void layoutSubviews() override;

private:
    UITableViewCellStyle style_;
    std::string reuseIdentifier_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UILabel> textLabel_;
    std::shared_ptr<UILabel> detailTextLabel_;
    std::shared_ptr<UIImageView> imageView_;
    std::shared_ptr<UIView> accessoryView_;
    std::shared_ptr<UIView> backgroundView_;
    std::shared_ptr<UIView> selectedBackgroundView_;
    UITableViewCellAccessoryType accessory_ = UITableViewCellAccessoryNone;
    UITableViewCellSelectionStyle selectionStyle_ = UITableViewCellSelectionStyleDefault;
    bool selected_ = false;
    bool highlighted_ = false;
};

class UITableViewDataSource {
public:
    virtual ~UITableViewDataSource() = default;
    virtual NSInteger numberOfSectionsInTableView(const std::shared_ptr<UITableView>&) { return 1; }
    virtual NSInteger tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger section) = 0;
    virtual std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath) = 0;
    virtual std::string tableViewTitleForHeaderInSection(const std::shared_ptr<UITableView>&, NSInteger) { return ""; }
    virtual std::string tableViewTitleForFooterInSection(const std::shared_ptr<UITableView>&, NSInteger) { return ""; }
};

class UITableViewDelegate : public UIScrollViewDelegate {
public:
    // By default the table's rowHeight.
    virtual CGFloat tableViewHeightForRowAtIndexPath(const std::shared_ptr<UITableView>& tableView, NSIndexPath);
    // UITableViewAutomaticDimension: the table's section header (footer) height when the
    // section has a title or a view, else 0.
    virtual CGFloat tableViewHeightForHeaderInSection(const std::shared_ptr<UITableView>&, NSInteger) { return UITableViewAutomaticDimension; }
    virtual CGFloat tableViewHeightForFooterInSection(const std::shared_ptr<UITableView>&, NSInteger) { return UITableViewAutomaticDimension; }
    virtual std::shared_ptr<UIView> tableViewViewForHeaderInSection(const std::shared_ptr<UITableView>&, NSInteger) { return nullptr; }
    virtual std::shared_ptr<UIView> tableViewViewForFooterInSection(const std::shared_ptr<UITableView>&, NSInteger) { return nullptr; }
    virtual void tableViewWillDisplayCell(const std::shared_ptr<UITableView>&, const std::shared_ptr<UITableViewCell>&, NSIndexPath) { }
    virtual bool tableViewShouldHighlightRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath) { return true; }
    virtual void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath) { }
    virtual void tableViewDidDeselectRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath) { }
};

class UITableView : public UIScrollView {
public:
    explicit UITableView(CGRect frame = CGRectZero, UITableViewStyle style = UITableViewStylePlain);
    static std::shared_ptr<UITableView> initWithFrame(CGRect frame, UITableViewStyle style = UITableViewStylePlain)
    {
        return std::make_shared<UITableView>(frame, style);
    }
    std::string className() const override { return "UITableView"; }
    UITableViewStyle style() const { return style_; }

    void setDataSource(std::weak_ptr<UITableViewDataSource> dataSource);
    std::shared_ptr<UITableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDelegate(std::weak_ptr<UITableViewDelegate> delegate);
    std::shared_ptr<UITableViewDelegate> tableDelegate() const { return delegate_.lock(); }

    CGFloat rowHeight() const { return rowHeight_; }
    void setRowHeight(CGFloat height) { rowHeight_ = height; reloadData(); }
    CGFloat sectionHeaderHeight() const { return headerHeight_; }
    void setSectionHeaderHeight(CGFloat height) { headerHeight_ = height; reloadData(); }
    CGFloat sectionFooterHeight() const { return footerHeight_; }
    void setSectionFooterHeight(CGFloat height) { footerHeight_ = height; reloadData(); }
    UITableViewCellSeparatorStyle separatorStyle() const { return separatorStyle_; }
    void setSeparatorStyle(UITableViewCellSeparatorStyle style) { separatorStyle_ = style; }
    const std::optional<UIColor>& separatorColor() const { return separatorColor_; }
    void setSeparatorColor(std::optional<UIColor> color) { separatorColor_ = std::move(color); }
    UIEdgeInsets separatorInset() const { return separatorInset_; }
    void setSeparatorInset(UIEdgeInsets insets) { separatorInset_ = insets; }
    std::shared_ptr<UIView> tableHeaderView() const { return headerView_; }
    void setTableHeaderView(const std::shared_ptr<UIView>& view);
    std::shared_ptr<UIView> tableFooterView() const { return footerView_; }
    void setTableFooterView(const std::shared_ptr<UIView>& view);
    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool allows) { allowsSelection_ = allows; }

    // Marks the table for a full reload in the next layout pass.
    void reloadData();
    void beginUpdates() { }
    void endUpdates() { reloadData(); }
    void insertRowsAtIndexPaths(const std::vector<NSIndexPath>&, int) { reloadData(); }
    void deleteRowsAtIndexPaths(const std::vector<NSIndexPath>&, int) { reloadData(); }
    void reloadRowsAtIndexPaths(const std::vector<NSIndexPath>&, int) { reloadData(); }
    void reloadSections(const std::vector<NSInteger>&, int) { reloadData(); }

    // A cell from the pool (prepared for reuse), or null.
    std::shared_ptr<UITableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);
    // From the pool or made by the registered factory; null when neither has one.
    std::shared_ptr<UITableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier, NSIndexPath indexPath);
    void registerCellFactory(const std::string& identifier, std::function<std::shared_ptr<UITableViewCell>(const std::string&)> factory);

    NSInteger numberOfSections();
    NSInteger numberOfRowsInSection(NSInteger section);
    CGRect rectForRowAtIndexPath(NSIndexPath indexPath);
    CGRect rectForHeaderInSection(NSInteger section);
    std::optional<NSIndexPath> indexPathForRowAtPoint(CGPoint point);
    // The visible cell at a row (null when the row is not on screen).
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(NSIndexPath indexPath) const;
    std::vector<std::shared_ptr<UITableViewCell>> visibleCells() const;
    std::vector<NSIndexPath> indexPathsForVisibleRows() const;
    std::optional<NSIndexPath> indexPathForCell(const std::shared_ptr<UITableViewCell>& cell) const;
    std::shared_ptr<UIView> headerViewForSection(NSInteger section) const;

    void selectRowAtIndexPath(std::optional<NSIndexPath> indexPath, bool animated, UITableViewScrollPosition position);
    void deselectRowAtIndexPath(NSIndexPath indexPath, bool animated);
    std::optional<NSIndexPath> indexPathForSelectedRow() const { return selected_; }
    // A person selects the row: it is selected and the delegate told.
    void userSelectRowAtIndexPath(NSIndexPath indexPath);
    void scrollToRowAtIndexPath(NSIndexPath indexPath, UITableViewScrollPosition position, bool animated);

    void layoutSubviews() override;
    void handleTap(CGPoint point) override;

private:
    struct Section {
        CGFloat headerY = 0, headerHeight = 0, footerHeight = 0;
        std::string title;
        std::vector<CGRect> rows;
    };
    void rebuildGeometry();
    void ensureGeometry();
    void layoutVisible();
    UITableViewStyle style_;
    std::weak_ptr<UITableViewDataSource> dataSource_;
    std::weak_ptr<UITableViewDelegate> delegate_;
    CGFloat rowHeight_ = 44;
    CGFloat headerHeight_ = 22;
    CGFloat footerHeight_ = 22;
    UITableViewCellSeparatorStyle separatorStyle_ = UITableViewCellSeparatorStyleSingleLine;
    std::optional<UIColor> separatorColor_;
    UIEdgeInsets separatorInset_ { 0, 15, 0, 0 };
    std::shared_ptr<UIView> headerView_;
    std::shared_ptr<UIView> footerView_;
    bool allowsSelection_ = true;
    bool dirty_ = true;
    std::vector<Section> sections_;
    uikit::VisibleCells<UITableViewCell> visible_;
    std::map<NSInteger, std::shared_ptr<UIView>> headers_;
    uikit::CellReuseQueue<UITableViewCell, const std::string&> reuse_;
    std::optional<NSIndexPath> selected_;
};
