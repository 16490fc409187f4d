// RQZuoGeTuController: an information screen promoting the separate screenshot tool, with one
// button that does nothing yet. No screen opens it.
#pragma once

#include <memory>

#include "app/DDYPPartentsController.h"

class RQZuoGeTuController : public DDYPPartentsController {
public:
    static std::shared_ptr<RQZuoGeTuController> create() { return std::make_shared<RQZuoGeTuController>(); }
    std::string className() const override { return "RQZuoGeTuController"; }

    void viewDidLoad() override;
    // The button's action: nothing.
    void goDownWifiApp() { }

    const std::shared_ptr<UIButton>& downloadButton() const { return downloadButton_; }

private:
    std::shared_ptr<UIButton> downloadButton_;
};
