// The list screens' base: a full-screen table with this screen as its data source and
// delegate, a page counter, and table defaults that subclasses override (one section of ten
// rows, 92 high, default cells with the identifier "QKSY1").
#pragma once

#include <cstdint>
#include <memory>

#include "app/DDYPPartentsController.h"
#include "app/YZXNoBackControlller.h"
#include "platform/uikit/UITableView.h"

namespace app {

// The table part both list bases share.
class ListScreenTable : public UITableViewDataSource, public UITableViewDelegate {
public:
    NSInteger numberOfSectionsInTableView(const std::shared_ptr<UITableView>&) override { return 1; }
    NSInteger tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger) override { return 10; }
    CGFloat tableViewHeightForRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath) override { return 92; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<UITableView>& tableView, NSIndexPath indexPath) override;
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath) override { }

    const std::shared_ptr<UITableView>& mytableView() const { return mytableView_; }
    void setMytableView(std::shared_ptr<UITableView> tableView) { mytableView_ = std::move(tableView); }
    std::int32_t page() const { return page_; }
    void setPage(std::int32_t page) { page_ = page; }
    bool toprefresh() const { return toprefresh_; }
    void setToprefresh(bool refreshing) { toprefresh_ = refreshing; }

protected:
    // A table of the given height at the top left, with an empty footer view, added to `view`.
    void addTable(const std::shared_ptr<UIView>& view, CGFloat height, const std::shared_ptr<ListScreenTable>& self);

private:
    std::shared_ptr<UITableView> mytableView_;
    std::int32_t page_ = 0;
    bool toprefresh_ = false;
};

} // namespace app

class QPAllController : public DDYPPartentsController, public app::ListScreenTable {
public:
    std::string className() const override { return "QPAllController"; }
    void viewDidLoad() override;
    // Pull-down and pull-up refresh hooks; the base only logs.
    virtual void xiaLaSuaXin();
    virtual void shangLaSuaXin();
};

class QPAllNoBackController : public YZXNoBackControlller, public app::ListScreenTable {
public:
    std::string className() const override { return "QPAllNoBackController"; }
    void viewDidLoad() override;
};
