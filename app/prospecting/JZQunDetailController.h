// JZQunDetailController: one published QR code, large enough to scan or save, with its title,
// area, owner account and description, and "上一个"/"下一个" to step through the list the
// server keeps. A long press on the code saves its picture to the photo album.
#pragma once

#include <memory>
#include <string>

#include "app/DDYPPartentsController.h"
#include "app/prospecting/JZQunModel.h"
#include "platform/foundation/NSError.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIScrollView.h"
#include "ui/PGProgressHUD.h"

class JZQunDetailController : public DDYPPartentsController, public UIAlertViewDelegate {
public:
    static std::shared_ptr<JZQunDetailController> create() { return std::make_shared<JZQunDetailController>(); }
    std::string className() const override { return "JZQunDetailController"; }

    void viewDidLoad() override;
    // "qrcode/getDetail.do" for the record on show.
    void getQunDetail();
    // The step buttons' action: tag 0 steps back ("0"), tag 1 forward ("1").
    void changQunArray(const std::shared_ptr<UIButton>& sender);
    // "qrcode/getChangeDetail.do" from the record on show in the direction of `flag`.
    void getQunNextDetail(const std::string& flag);
    // Rebuilds the record's views in the scroll view.
    void initMyView();
    // Opens the publish form of this list's kind.
    void publishAction(const std::shared_ptr<UIButton>& sender);
    // The long press on the code: saves its picture once, on the press's start.
    void saveImage(const std::shared_ptr<UIGestureRecognizer>& recognizer);

    const std::shared_ptr<JZQunModel>& model() const { return model_; }
    void setModel(std::shared_ptr<JZQunModel> model) { model_ = std::move(model); }
    const Value& modelArray() const { return modelArray_; }
    void setModelArray(Value list) { modelArray_ = std::move(list); }
    const std::string& typeId() const { return typeId_; }
    void setTypeId(std::string id) { typeId_ = std::move(id); }
    const std::string& catoryId() const { return catoryId_; }
    void setCatoryId(std::string id) { catoryId_ = std::move(id); }
    const std::shared_ptr<NSObject>& button() const { return button_; }
    void setButton(std::shared_ptr<NSObject> button) { button_ = std::move(button); }
    const std::string& jumpeType() const { return jumpeType_; }
    void setJumpeType(std::string type) { jumpeType_ = std::move(type); }
    const std::shared_ptr<UIButton>& framButton() const { return framButton_; }
    void setFramButton(std::shared_ptr<UIButton> button) { framButton_ = std::move(button); }
    const std::shared_ptr<UIScrollView>& backSV() const { return backSV_; }
    void setBackSV(std::shared_ptr<UIScrollView> view) { backSV_ = std::move(view); }

    // The header button ("我要发布聊天群" or "我要发布个人二维码").
    const std::shared_ptr<UIButton>& publishButton() const { return publishButton_; }
    // The second step button ("下一个"); the first is framButton().
    const std::shared_ptr<UIButton>& nextButton() const { return nextButton_; }

private:
    void request(const std::string& path, const Value& params);
    void detailArrived(const Value& reply);
    void attachSaveGesture(const std::shared_ptr<UIImageView>& imageView);
    void imageSaved(const NSErrorRef& error);

    std::shared_ptr<JZQunModel> model_;
    Value modelArray_;
    std::string typeId_;
    std::string catoryId_;
    std::shared_ptr<NSObject> button_;
    std::string jumpeType_;
    std::shared_ptr<UIButton> framButton_;
    std::shared_ptr<UIScrollView> backSV_;
    std::shared_ptr<UIButton> publishButton_;
    std::shared_ptr<UIButton> nextButton_;
    std::shared_ptr<PGProgressHUD> saving_;
};
