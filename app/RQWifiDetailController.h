// RQWifiDetailController: the download-link page ("WIFI钥匙下载链接"): a framed box with short
// texts and the download address in a copyable label.
#pragma once

#include <memory>
#include <string>

#include "app/DDYPPartentsController.h"
#include "app/UICopyLabel.h"

class RQWifiDetailController : public DDYPPartentsController {
public:
    static std::shared_ptr<RQWifiDetailController> create() { return std::make_shared<RQWifiDetailController>(); }
    std::string className() const override { return "RQWifiDetailController"; }

    void viewDidLoad() override;
    void didReceiveMemoryWarning() override { DDYPPartentsController::didReceiveMemoryWarning(); }

    const std::shared_ptr<UIView>& box() const { return box_; }
    const std::shared_ptr<UICopyLabel>& linkLabel() const { return linkLabel_; }

private:
    std::shared_ptr<UIView> box_;
    std::shared_ptr<UICopyLabel> linkLabel_;
};

// The address shown on the page.
inline constexpr const char* kWifiDownloadLink = "https://www.example.com/";
