// RQCustomMsgController: the contacts of one industry or one province, a batch of
// "data/listIndustry.do" at a time. "换一组" asks for the next batch; the top bar writes the
// batch into the address book as contacts named "粉丝" or clears those, each after a
// confirmation. A row is a name over a copyable number.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/QPAllController.h"
#include "app/prospecting/RQPhoneModel.h"
#include "platform/uikit/UIAlertView.h"

class RQCustomMsgController : public QPAllController, public UIAlertViewDelegate {
public:
    using Text = std::optional<std::string>;

    static std::shared_ptr<RQCustomMsgController> create() { return std::make_shared<RQCustomMsgController>(); }
    std::string className() const override { return "RQCustomMsgController"; }

    void viewDidLoad() override;

    // Asks for batch `page`.
    void getCustomMsg();
    // "换一组": the next batch.
    void changYiGroup();
    // Top-bar buttons: tag 0 import, tag 1 clear, each after its alert.
    void daoRuAndRemove(const std::shared_ptr<UIButton>& sender);
    // Index 0 "确认" of alert 101 clears, of alert 102 imports; "取消" does nothing.
    void alertViewClickedButtonAtIndex(const std::shared_ptr<UIAlertView>& alertView, NSInteger buttonIndex) override;

    NSInteger tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger) override;
    CGFloat tableViewHeightForRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath) override { return 60; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<UITableView>& tableView, NSIndexPath indexPath) override;
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath) override { }

    // Set by the opener, exactly one of the two, before the view loads.
    const Text& shengId() const { return shengId_; }
    void setShengId(Text id) { shengId_ = std::move(id); }
    const Text& hangYeId() const { return hangYeId_; }
    void setHangYeId(Text id) { hangYeId_ = std::move(id); }

    const std::vector<std::shared_ptr<RQPhoneModel>>& listArray() const { return listArray_; }
    const std::vector<std::shared_ptr<UIButton>>& buttonArray() const { return buttonArray_; }
    const std::shared_ptr<UILabel>& orderLabel() const { return orderLabel_; }
    // The "换一组" bar.
    const std::shared_ptr<UILabel>& nextBar() const { return nextBar_; }

private:
    void batchArrived(const Value& reply);
    void confirmImport();
    void confirmClear();

    Text shengId_;
    Text hangYeId_;
    std::vector<std::shared_ptr<RQPhoneModel>> listArray_;
    std::vector<std::shared_ptr<UIButton>> buttonArray_;
    std::shared_ptr<UILabel> orderLabel_;
    std::shared_ptr<UILabel> nextBar_;
};
