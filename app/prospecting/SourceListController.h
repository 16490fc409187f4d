// The design shared by the industry and region source screens: a grey top bar with
// "导入号码" and "清空电话本" (which only change their highlight here), a caption, and a list
// loaded once from the data server whose tapped row opens the contacts screen. Subclasses say
// what to load, how to read an item and what a tapped row opens. Also the top-bar helpers the
// contacts screen shares.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/QPAllController.h"
#include "app/prospecting/RQPhoneModel.h"
#include "platform/uikit/UIButton.h"

namespace prospecting {

// Adds the bar (0, 0, screen width, 60) to `view` and returns its two buttons, tags 0 and 1.
std::vector<std::shared_ptr<UIButton>> addImportClearBar(const std::shared_ptr<UIView>& view);
// The pressed button (by tag) gets the green back at full opacity; the other is dimmed to 0.6.
void highlightPressed(const std::vector<std::shared_ptr<UIButton>>& buttons, NSInteger tag);
// The centred grey "没有相关数据" label, created in `slot` on first use; shown at opacity 1.
void showEmptyLabel(std::shared_ptr<UILabel>& slot, const std::shared_ptr<UIView>& view);

class SourceListController : public QPAllController {
public:
    void viewDidLoad() override;

    // The load: posts the form to the screen's path and appends the records of a status-1 list.
    void load();
    // Marks the pressed top-bar button; nothing else happens on these screens.
    void daoRuAndRemove(const std::shared_ptr<UIButton>& sender);

    NSInteger tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger) override;
    CGFloat tableViewHeightForRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath) override { return 55; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<UITableView>& tableView, NSIndexPath indexPath) override;
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<UITableView>& tableView, NSIndexPath indexPath) override;

    const std::vector<std::shared_ptr<RQPhoneModel>>& listArray() const { return listArray_; }
    const std::vector<std::shared_ptr<UIButton>>& buttonArray() const { return buttonArray_; }
    const std::shared_ptr<UILabel>& orderLabel() const { return orderLabel_; }
    const std::shared_ptr<UILabel>& captionLabel() const { return captionLabel_; }

protected:
    virtual std::string screenTitle() const = 0;
    virtual std::string caption() const = 0;
    virtual std::string path() const = 0;
    virtual Value form() const = 0;
    virtual std::shared_ptr<RQPhoneModel> record(const Value& item) const = 0;
    virtual std::string rowText(const RQPhoneModel& record) const = 0;
    // The contacts screen for a tapped row.
    virtual std::shared_ptr<UIViewController> screenFor(const RQPhoneModel& record) const = 0;

private:
    void listArrived(const Value& reply);

    std::vector<std::shared_ptr<RQPhoneModel>> listArray_;
    std::vector<std::shared_ptr<UIButton>> buttonArray_;
    std::shared_ptr<UILabel> orderLabel_;
    std::shared_ptr<UILabel> captionLabel_;
};

} // namespace prospecting
