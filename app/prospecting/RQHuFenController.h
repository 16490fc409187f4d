// RQHuFenController: the personal code list ("互粉", home tile keyword "2").
#pragma once

#include "app/prospecting/QunListController.h"

class RQHuFenController : public prospecting::QunListController {
public:
    static std::shared_ptr<RQHuFenController> create() { return std::make_shared<RQHuFenController>(); }
    std::string className() const override { return "RQHuFenController"; }

protected:
    std::string screenTitle() const override { return "互粉"; }
    std::string headerButtonTitle() const override { return "我要发布个人二维码"; }
    std::string listType() const override { return "2"; }
    std::string detailJumpeType() const override { return "geren"; }
    std::shared_ptr<UIViewController> publishForm() const override;
};
