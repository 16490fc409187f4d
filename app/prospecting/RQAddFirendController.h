// RQAddFirendController: the lead import screen by province and city ("加粉"). It fetches pages
// of phone numbers from the data server and offers to write them into the address book as
// contacts named "粉丝" or to clear those again. RQContryController is its twin by number
// range (its own title, picker row, checks and parameters); RQJingZhunJiaFenController differs
// only in its title and in sending any size.
//
// Layout, top to bottom: a grey bar with "导入号码" and "清空电话本"; a table whose section 0 is
// the picker row (boxes "省", "市", "号段", the size field reading "20", and "获取号码") and whose
// section 1 lists the page's numbers under a header of four paging buttons (tags 0 first,
// 1 previous, 2 next, 3 last). The picker row is built anew on every reload: its boxes show
// what is chosen (the default titles until then), its size field "20".
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/QPAllController.h"
#include "app/prospecting/RQPhoneModel.h"
#include "app/prospecting/YDMoreStytleView.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UITextField.h"

class RQAddFirendController : public QPAllController, public UIAlertViewDelegate {
public:
    using Text = std::optional<std::string>;

    static std::shared_ptr<RQAddFirendController> create() { return std::make_shared<RQAddFirendController>(); }
    std::string className() const override { return "RQAddFirendController"; }

    void viewDidLoad() override;

    // Requests.
    void getAieraList();
    void getHaoUdan();
    void huoQuShouJiLieBiao();
    virtual void getPhoneNumbers(std::int32_t page, const Text& cityId, const Text& proviceId, const std::string& pageSize);

    // Box actions (tag 0 province, 1 city, 2 number range; others nothing) and the pickers.
    void zhanShi(const std::shared_ptr<UIButton>& sender);
    void addShengLists(const Value& list);
    void zhanShiCity(const Value& list);
    void zhanShiHaoDuan(const Value& list);

    // Paging buttons by tag: 0 first, 1 previous, 2 next, 3 last.
    void operHeaderButton(const std::shared_ptr<UIButton>& sender);

    // Top-bar buttons (tag 0 import, 1 clear) and the confirmations (102 import, 101 clear;
    // index 0 "确认" acts).
    void daoRuAndRemove(const std::shared_ptr<UIButton>& sender);
    void alertViewClickedButtonAtIndex(const std::shared_ptr<UIAlertView>& alertView, NSInteger buttonIndex) override;

    // The table.
    NSInteger numberOfSectionsInTableView(const std::shared_ptr<UITableView>&) override { return 2; }
    NSInteger tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger section) override;
    CGFloat tableViewHeightForRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath indexPath) override;
    CGFloat tableViewHeightForHeaderInSection(const std::shared_ptr<UITableView>&, NSInteger section) override;
    std::shared_ptr<UIView> tableViewViewForHeaderInSection(const std::shared_ptr<UITableView>&, NSInteger section) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<UITableView>& tableView, NSIndexPath indexPath) override;
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath) override { }

    // State.
    const std::vector<std::shared_ptr<RQPhoneModel>>& listArray() const { return listArray_; }
    void setListArray(std::vector<std::shared_ptr<RQPhoneModel>> list) { listArray_ = std::move(list); }
    const Value& shengList() const { return shengList_; }
    const Text& shengId() const { return shengId_; }
    void setShengId(Text id) { shengId_ = std::move(id); }
    const Text& shiId() const { return shiId_; }
    void setShiId(Text id) { shiId_ = std::move(id); }
    const Text& haoDuanId() const { return haoDuanId_; }
    void setHaoDuanId(Text id) { haoDuanId_ = std::move(id); }
    std::int64_t counts() const { return counts_; }
    void setCounts(std::int64_t counts) { counts_ = counts; }
    const std::shared_ptr<UITextField>& pageCounts() const { return pageCounts_; }
    const std::shared_ptr<UIButton>& shengBtn() const { return shengBtn_; }
    const std::shared_ptr<UIButton>& shiBtn() const { return shiBtn_; }
    const std::shared_ptr<UIButton>& haoBtn() const { return haoBtn_; }
    // "获取号码" of the current picker row.
    const std::shared_ptr<UIButton>& fetchButton() const { return fetchBtn_; }
    const std::vector<std::shared_ptr<UIButton>>& buttonArray() const { return buttonArray_; }
    // The paging buttons of the current number header, by tag.
    const std::vector<std::shared_ptr<UIButton>>& pagingButtons() const { return pagingButtons_; }
    const std::shared_ptr<YDMoreStytleView>& listShu() const { return listShu_; }
    const std::shared_ptr<YDMoreStytleView>& listType() const { return listType_; }
    const std::shared_ptr<YDMoreStytleView>& haoduan() const { return haoduan_; }
    const std::shared_ptr<UILabel>& orderLabel() const { return orderLabel_; }

protected:
    virtual std::string screenTitle() const { return "加粉"; }
    // The message refusing a size before anything else is checked; none when it may be sent.
    virtual std::optional<std::string> sizeRefusal(std::int64_t size) const;
    // The boxes of the picker row (the size field among them).
    virtual void addPickerBoxes(const std::shared_ptr<UIView>& content);

    // A picker row box: grey, rounded, white tint, sending zhanShi. It shows `chosen` when there
    // is a choice, else its default title.
    std::shared_ptr<UIButton> pickerBox(CGRect frame, const std::string& title, NSInteger tag, const Text& chosen = std::nullopt);
    // The size box holding a new size field reading "20".
    std::shared_ptr<UIButton> sizeBox(CGRect frame);
    // Box width and the frame of a box at a column and line.
    static double boxWidth();
    static CGRect boxFrame(int column, int line);
    // The integer value of the size field's text.
    std::int64_t sizeValue() const;
    // The HUD message on this screen's view.
    void showMessage(const std::string& text);
    // Sends "data/listPhone.do" with the parameters (logged first).
    void requestPhones(const Value& params);

    std::shared_ptr<UIButton> shengBtn_;
    std::shared_ptr<UIButton> shiBtn_;
    std::shared_ptr<UIButton> haoBtn_;
    std::shared_ptr<UITextField> pageCounts_;
    // The titles of the province, city and number range chosen, shown again by a new picker row.
    Text shengTitle_;
    Text shiTitle_;
    Text haoTitle_;

private:
    using Self = std::shared_ptr<RQAddFirendController>;
    enum class PickerKind { Province, City, Range };

    void buildTopBar();
    std::shared_ptr<UITableViewCell> pickerRowCell();
    std::shared_ptr<UIView> numberHeader();
    void showPicker(PickerKind kind, const Value& list);
    std::shared_ptr<YDMoreStytleView>& pickerSlot(PickerKind kind);
    void choose(PickerKind kind, const std::shared_ptr<YDMoreStytleView>& picker, const std::string& title, const std::string& identifier);
    void phonesArrived(const Value& reply);
    void showEmptyLabel();
    void confirmImport();
    void confirmClear();
    // Sends a list request; `use` receives "info" of a status-1 reply when it is an array.
    void requestList(const std::string& path, const Value& params, std::function<void(const Self&, const Value&)> use);

    std::vector<std::shared_ptr<RQPhoneModel>> listArray_;
    Value shengList_;
    Text shengId_;
    Text shiId_;
    Text haoDuanId_;
    std::int64_t counts_ = 0;
    std::shared_ptr<UIButton> fetchBtn_;
    std::vector<std::shared_ptr<UIButton>> buttonArray_;
    std::vector<std::shared_ptr<UIButton>> pagingButtons_;
    std::shared_ptr<YDMoreStytleView> listShu_;
    std::shared_ptr<YDMoreStytleView> listType_;
    std::shared_ptr<YDMoreStytleView> haoduan_;
    std::shared_ptr<UILabel> orderLabel_;
};
