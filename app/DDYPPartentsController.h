// The base of the detail, web, information and list screens: the common bar look (see
// BaseScreenLook.h) and a back button ("nav_back") that pops the screen.
#pragma once

#include <memory>

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIViewController.h"

class DDYPPartentsController : public UIViewController {
public:
    std::string className() const override { return "DDYPPartentsController"; }

    void viewDidLoad() override;
    void didReceiveMemoryWarning() override { UIViewController::didReceiveMemoryWarning(); }
    virtual void setNav();
    // Pops the top screen of the navigation controller, animated.
    virtual void leftButtonClick();

    const std::shared_ptr<UILabel>& myTitle() const { return myTitle_; }
    void setMyTitle(std::shared_ptr<UILabel> label) { myTitle_ = std::move(label); }
    const std::shared_ptr<UIButton>& backButton() const { return backButton_; }

private:
    std::shared_ptr<UILabel> myTitle_;
    std::shared_ptr<UIButton> backButton_;
};
