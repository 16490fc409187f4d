// RQQunListController: the messenger-group code list ("加群", home tile keyword "3").
#pragma once

#include "app/prospecting/QunListController.h"

class RQQunListController : public prospecting::QunListController {
public:
    static std::shared_ptr<RQQunListController> create() { return std::make_shared<RQQunListController>(); }
    std::string className() const override { return "RQQunListController"; }

protected:
    std::string screenTitle() const override { return "加群"; }
    std::string headerButtonTitle() const override { return "我要发布聊天群"; }
    std::string listType() const override { return "3"; }
    std::string detailJumpeType() const override { return "qun"; }
    std::shared_ptr<UIViewController> publishForm() const override;
};
