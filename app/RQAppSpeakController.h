// RQAppSpeakController: the web page screen of the disclaimer and the feature videos. It also
// gives the screen itself the title, before the base set-up.
#pragma once

#include <memory>
#include <string>

#include "app/WebPageScreen.h"

class RQAppSpeakController : public app::WebPageScreen {
public:
    static std::shared_ptr<RQAppSpeakController> create() { return std::make_shared<RQAppSpeakController>(); }
    std::string className() const override { return "RQAppSpeakController"; }

    // Left in place; they do nothing.
    void initNaviViewController() { }
    void startGPSNavi() { }

protected:
    void beforeBaseSetUp() override { setTitle(titleName()); }
    void showTitle() override;
};
