// JZAboutController: the About screen ("关于"). It shows the device identifier in a copyable
// label and three entries (tags 0 disclaimer, 1 agent certificate, 2 feature videos) that open
// their screens, and asks the data server whether this device belongs to an agent; an agent
// gets a "个人资料" button in the bar, which does nothing.
//
// Its entry views are built in code (buildLayout) in place of a layout file: backView is as
// large as the screen, and its top 170 points lie above the screen once placed.
#pragma once

#include <memory>
#include <string>

#include "app/DDYPPartentsController.h"
#include "app/UICopyLabel.h"
#include "platform/uikit/UIGestureRecognizer.h"

class JZAboutController : public DDYPPartentsController {
public:
    static std::shared_ptr<JZAboutController> create() { return std::make_shared<JZAboutController>(); }
    std::string className() const override { return "JZAboutController"; }

    void viewDidLoad() override;
    void didReceiveMemoryWarning() override { DDYPPartentsController::didReceiveMemoryWarning(); }

    // The entry tap: pushes the screen of the tapped entry's tag (others: nothing).
    void mianZhe(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    // The agent check ("client/isAgent.do").
    void panDuanShiFouShiDaiLi();
    // The agent button's action: nothing.
    void userMsg(const std::shared_ptr<UIButton>&) { }

    const std::shared_ptr<UIView>& backView() const { return backView_; }
    std::shared_ptr<UILabel> mianZheLabel() const { return mianZheLabel_.lock(); }
    std::shared_ptr<UIView> shouQuanView() const { return shouQuanView_.lock(); }
    std::shared_ptr<UIView> shiPinView() const { return shiPinView_.lock(); }
    const Value& userDicc() const { return userDicc_; }
    void setUserDicc(Value record) { userDicc_ = std::move(record); }
    const std::shared_ptr<UICopyLabel>& deviceLabel() const { return deviceLabel_; }

private:
    void buildLayout();
    void agentReplied(const Value& reply);

    std::shared_ptr<UIView> backView_;
    std::weak_ptr<UILabel> mianZheLabel_;
    std::weak_ptr<UIView> shouQuanView_;
    std::weak_ptr<UIView> shiPinView_;
    Value userDicc_;
    std::shared_ptr<UICopyLabel> deviceLabel_;
};
