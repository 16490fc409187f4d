// RQWifiController: the picture page ("图片"): six full-height pictures ("750_0" to "750_5")
// one below the other in a scroll view. goDownWifiApp opens the download-link page; no control
// of the page calls it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/DDYPPartentsController.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIScrollView.h"

class RQWifiController : public DDYPPartentsController {
public:
    static std::shared_ptr<RQWifiController> create() { return std::make_shared<RQWifiController>(); }
    std::string className() const override { return "RQWifiController"; }

    void viewDidLoad() override;
    void didReceiveMemoryWarning() override { DDYPPartentsController::didReceiveMemoryWarning(); }
    // Pushes the download-link page, animated.
    void goDownWifiApp();

    const std::shared_ptr<UIScrollView>& scrollView() const { return scrollView_; }
    const std::vector<std::shared_ptr<UIImageView>>& imageViews() const { return imageViews_; }

private:
    std::shared_ptr<UIScrollView> scrollView_;
    std::vector<std::shared_ptr<UIImageView>> imageViews_;
};
