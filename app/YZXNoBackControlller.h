// The home screen's base: the common bar look with a grey bar title and an 18-point title
// label, and no back button.
#pragma once

#include <memory>

#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIViewController.h"

class YZXNoBackControlller : public UIViewController {
public:
    std::string className() const override { return "YZXNoBackControlller"; }

    void viewDidLoad() override;
    void didReceiveMemoryWarning() override { UIViewController::didReceiveMemoryWarning(); }
    virtual void setNav();
    // Pops the screen; no control calls it.
    virtual void leftButtonClick();

    const std::shared_ptr<UILabel>& myTitle() const { return myTitle_; }
    void setMyTitle(std::shared_ptr<UILabel> label) { myTitle_ = std::move(label); }

private:
    std::shared_ptr<UILabel> myTitle_;
};
