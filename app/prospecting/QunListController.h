// The common body of the two QR-code list screens ("加群" and "互粉"): a header button that
// opens the publish form, a table of code titles fetched from "qrcode/listCode.do" each time
// the screen appears, and the detail viewer on a row tap. The twins only fill in their texts,
// their type and the form they open.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/QPAllController.h"
#include "app/prospecting/JZQunModel.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"

namespace prospecting {

class QunListController : public QPAllController {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // Requests page 0 of the codes of `type` ("3" groups, "2" personal); no type: "类型不对".
    void getHuFenListType(const std::optional<std::string>& type);
    // Pushes a new publish form of this list's kind.
    void publishAction(const std::shared_ptr<UIButton>& sender);

    NSInteger numberOfSectionsInTableView(const std::shared_ptr<UITableView>&) override { return 1; }
    NSInteger tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger) override;
    CGFloat tableViewHeightForRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath) override { return 44; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<UITableView>& tableView, NSIndexPath indexPath) override;
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<UITableView>& tableView, NSIndexPath indexPath) override;

    const std::vector<std::shared_ptr<JZQunModel>>& listArray() const { return listArray_; }
    void setListArray(std::vector<std::shared_ptr<JZQunModel>> list) { listArray_ = std::move(list); }
    const std::shared_ptr<UILabel>& orderLabel() const { return orderLabel_; }
    void setOrderLabel(std::shared_ptr<UILabel> label) { orderLabel_ = std::move(label); }
    // The header button that opens the publish form.
    const std::shared_ptr<UIButton>& publishButton() const { return publishButton_; }

protected:
    virtual std::string screenTitle() const = 0;
    virtual std::string headerButtonTitle() const = 0;
    // The "type" sent to the server.
    virtual std::string listType() const = 0;
    // The `jumpeType` handed to the detail screen.
    virtual std::string detailJumpeType() const = 0;
    virtual std::shared_ptr<UIViewController> publishForm() const = 0;

private:
    void listArrived(const Value& reply);

    std::vector<std::shared_ptr<JZQunModel>> listArray_;
    std::shared_ptr<UILabel> orderLabel_;
    std::shared_ptr<UIButton> publishButton_;
    // Counts list requests; a reply is used only when it answers the latest one.
    unsigned long long generation_ = 0;
};

} // namespace prospecting
