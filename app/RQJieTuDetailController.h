// RQJieTuDetailController: the download-link information screen, a rounded box holding a
// copyable line. No screen opens it.
#pragma once

#include <memory>

#include "app/DDYPPartentsController.h"
#include "app/UICopyLabel.h"

class RQJieTuDetailController : public DDYPPartentsController {
public:
    static std::shared_ptr<RQJieTuDetailController> create() { return std::make_shared<RQJieTuDetailController>(); }
    std::string className() const override { return "RQJieTuDetailController"; }

    void viewDidLoad() override;

    const std::shared_ptr<UIView>& box() const { return box_; }
    const std::shared_ptr<UICopyLabel>& linkLabel() const { return linkLabel_; }

private:
    std::shared_ptr<UIView> box_;
    std::shared_ptr<UICopyLabel> linkLabel_;
};
