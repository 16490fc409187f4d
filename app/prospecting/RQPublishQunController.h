// RQPublishQunController: the form that publishes a messenger group's QR code (type "3").
// JQUpdateQunController is its twin for the user's personal code (type "2"); they differ only
// in the texts and the note row, given by formKind().
//
// Rows: title, picture (the chooser), province, city, account, description. Submitting runs
// the field checks in order and sends everything, the picture as a file part "imgpath", in one
// multipart request to "qrcode/saveCode.do".
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/QPAllController.h"
#include "app/prospecting/YDMoreStytleView.h"
#include "app/prospecting/YZXPhontoImageView.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "ui/PGProgressHUD.h"

class RQPublishQunController : public QPAllController, public UITextFieldDelegate {
public:
    using Text = std::optional<std::string>;

    // What differs between the twin forms.
    struct FormKind {
        std::vector<std::string> rowLabels;
        std::string descriptionLabel;
        std::string submitTitle;
        std::string type;
        bool noteRow = false;
    };

    static std::shared_ptr<RQPublishQunController> create() { return std::make_shared<RQPublishQunController>(); }
    std::string className() const override { return "RQPublishQunController"; }

    void viewDidLoad() override;

    NSInteger numberOfSectionsInTableView(const std::shared_ptr<UITableView>&) override;
    NSInteger tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger section) override;
    CGFloat tableViewHeightForRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath indexPath) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<UITableView>& tableView, NSIndexPath indexPath) override;
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath indexPath) override;

    // Provinces, then their picker.
    void getAleiaMsg();
    void addFirendAction(const Value& list);
    // The chosen province's cities, then their picker ("获取数据失败" before a province).
    void getTypeMsg();
    void zhanShiCity(const Value& list);
    // The submit button: checks, then the upload.
    void submitGoPlany();

    const std::vector<std::string>& titleNameArray() const { return titleNameArray_; }
    const std::shared_ptr<UITextField>& titleFeild() const { return titleFeild_; }
    const std::shared_ptr<UITextView>& jianJie() const { return jianJie_; }
    const std::shared_ptr<UITextField>& qunType() const { return qunType_; }
    const std::shared_ptr<UITextField>& quZhuLiaoTianFeild() const { return quZhuLiaoTianFeild_; }
    const Value& ariaArray() const { return ariaArray_; }
    const std::shared_ptr<YZXPhontoImageView>& erWeiMa() const { return erWeiMa_; }
    const std::shared_ptr<YDMoreStytleView>& listShu() const { return listShu_; }
    const std::shared_ptr<YDMoreStytleView>& listType() const { return listType_; }
    const Text& shengId() const { return shengId_; }
    void setShengId(Text id) { shengId_ = std::move(id); }
    const Text& shiId() const { return shiId_; }
    void setShiId(Text id) { shiId_ = std::move(id); }
    const std::shared_ptr<UILabel>& quYuLabel() const { return quYuLabel_; }
    const std::shared_ptr<UIButton>& submitButton() const { return submitButton_; }

    // The refusal of the first check that fails, in the order the form runs them; none when
    // the form may be sent.
    std::optional<std::string> firstRefusal() const;

protected:
    virtual const FormKind& formKind() const;

private:
    using Self = std::shared_ptr<RQPublishQunController>;

    void buildFields();
    // Which field row a table position is (the note row is -1).
    NSInteger fieldRow(NSIndexPath indexPath) const;
    std::shared_ptr<UITableViewCell> noteCell() const;
    void showMessage(const std::string& text);
    // Sends a region list request; `use` gets a status-1 "info" that is an array.
    void requestRegions(const Value& params, std::function<void(const Self&, const Value&)> use);
    std::shared_ptr<YDMoreStytleView> regionPicker(const Value& list);
    void provinceChosen(const std::string& name, const std::string& identifier);
    void cityChosen(const std::string& name, const std::string& identifier);
    void submitted(const Value& reply);

    std::vector<std::string> titleNameArray_;
    std::shared_ptr<UITextField> titleFeild_;
    std::shared_ptr<UITextView> jianJie_;
    std::shared_ptr<UITextField> qunType_;
    std::shared_ptr<UITextField> quZhuLiaoTianFeild_;
    std::shared_ptr<UITextField> pictureField_;
    Value ariaArray_;
    std::shared_ptr<YZXPhontoImageView> erWeiMa_;
    std::shared_ptr<YDMoreStytleView> listShu_;
    std::shared_ptr<YDMoreStytleView> listType_;
    Text shengId_;
    Text shiId_;
    std::shared_ptr<UILabel> quYuLabel_;
    std::shared_ptr<UIButton> submitButton_;
    std::shared_ptr<PGProgressHUD> sending_;
};

class JQUpdateQunController : public RQPublishQunController {
public:
    static std::shared_ptr<JQUpdateQunController> create() { return std::make_shared<JQUpdateQunController>(); }
    std::string className() const override { return "JQUpdateQunController"; }

protected:
    const FormKind& formKind() const override;
};
